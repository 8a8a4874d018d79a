// Hostile trash contents, through the same steps as a Clear: read the trash, then remove
// every item deleted before the cutoff.
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "core/kill_item.h"
#include "platform/posix_file_system.h"
#include "platform/trash_reader.h"
#include "tests/platform/real_trash.h"
#include "tests/support/private_mounts.h"
#include "tests/support/sandbox.h"

namespace varnelo {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using test::Listing;
using test::Sandbox;

const Moment kCutoff = Day{std::chrono::year{2024} / std::chrono::March / 1};
constexpr const char* kOld = "2024-01-15T10:00:00";
constexpr const char* kNew = "2024-06-01T10:00:00";

struct ClearCount {
    int removed = 0;
    int notRemoved = 0;
    friend bool operator==(const ClearCount&, const ClearCount&) = default;
};

std::ostream& operator<<(std::ostream& out, const ClearCount& c) {
    return out << c.removed << " removed, " << c.notRemoved << " not removed";
}

ClearCount ClearOlderThan(Moment cutoff) {
    const TrashContents contents = ReadTrash(DefaultTrashRoots());
    PosixFileSystem fileSystem;
    ClearCount count;
    for (const TrashItem& item : contents.items) {
        if (!item.deletedAt || !(*item.deletedAt < cutoff)) continue;
        const KillResult r = KillItem(fileSystem, contents.trashDirs,
                                      {.storePath = item.storePath, .listedId = item.id}, cutoff);
        (r == KillResult::NotRemoved ? count.notRemoved : count.removed) += 1;
    }
    return count;
}

class AdversarialTrashTest : public testing::Test {
  protected:
    AdversarialTrashTest() : trash(sandbox.homeTrash()), outside(sandbox.root() / "outside") {
        fs::create_directories(trash / "files");
        fs::create_directories(trash / "info");
        Sandbox::WriteFile(outside / "precious", "keep");
        Sandbox::WriteFile(outside / "dir/inner", "keep too");
        sandbox.RequireInside(trash);
    }

    void AddItem(const std::string& name, const std::string& infoText) const {
        Sandbox::WriteFile(trash / "files" / name, "trashed");
        Sandbox::WriteFile(trash / "info" / (name + ".trashinfo"), infoText);
    }
    static std::string Info(const std::string& path, const std::string& date) {
        return "[Trash Info]\nPath=" + path + "\nDeletionDate=" + date + "\n";
    }

    Sandbox sandbox;
    fs::path trash;
    fs::path outside;
};

TEST_F(AdversarialTrashTest, APathNeverDecidesWhatIsRemoved) {
    const auto before = Listing(outside);
    const std::string outsidePath = (outside / "precious").string();
    AddItem("dots", Info("../../../outside/precious", kOld));
    AddItem("absolute", Info(outsidePath, kOld));
    AddItem("root", Info("/", kOld));
    AddItem("nul", Info("/tmp/a%00b", kOld));
    AddItem("huge", Info("/" + std::string(1 << 20, 'p'), kOld));
    AddItem("raw-nul", "[Trash Info]\nPath=/x\0/y\nDeletionDate="s + kOld + "\n");

    EXPECT_EQ(ClearOlderThan(kCutoff), (ClearCount{.removed = 6}));
    EXPECT_TRUE(fs::is_empty(trash / "files"));
    EXPECT_EQ(Listing(outside), before);
}

TEST_F(AdversarialTrashTest, OddNamesAreListedAndCleared) {
    const std::string names[] = {"line\nbreak", "tab\tand space", "caf\xE9", "\xFF\xFE", "-rf",
                                 "*",           ".hidden",        " lead"};
    for (const std::string& name : names) AddItem(name, Info("/home/u/x", kOld));
    AddItem("keep", Info("/home/u/keep", kNew));
    ASSERT_EQ(ReadTrash(DefaultTrashRoots()).items.size(), std::size(names) + 1);
    EXPECT_EQ(ClearOlderThan(kCutoff), (ClearCount{.removed = int(std::size(names))}));
    const TrashContents after = ReadTrash(DefaultTrashRoots());
    ASSERT_EQ(after.items.size(), 1u);
    EXPECT_EQ(after.items[0].entryName, "keep");
}

TEST_F(AdversarialTrashTest, EntriesWithoutInfoAreListedButNeverClearedByAge) {
    Sandbox::WriteFile(trash / "files/orphan", "no info");
    Sandbox::WriteFile(trash / "info/ghost.trashinfo", Info("/home/u/ghost", kOld));
    Sandbox::WriteFile(trash / "info/odd name\n.trashinfo", Info("/home/u/odd", kOld));
    const TrashContents contents = ReadTrash(DefaultTrashRoots());
    ASSERT_EQ(contents.items.size(), 1u);
    EXPECT_FALSE(contents.items[0].deletedAt.has_value());
    EXPECT_EQ(ClearOlderThan(Moment::max()), ClearCount{});
    EXPECT_TRUE(fs::exists(trash / "files/orphan"));
    EXPECT_TRUE(fs::exists(trash / "info/ghost.trashinfo"));
}

// The user may have moved the home trash and left a link: it is used, and nothing beside
// its files/ and info/ is touched.
TEST_F(AdversarialTrashTest, AHomeTrashThatIsALinkIsUsedAndItsSurroundingsKept) {
    const fs::path moved = sandbox.root() / "moved/Trash";
    fs::create_directories(moved / "files");
    fs::create_directories(moved / "info");
    Sandbox::WriteFile(moved / "../beside", "keep");
    Sandbox::WriteFile(moved / "directorysizes", "");
    fs::remove_all(trash);
    fs::create_directory_symlink(moved, trash);
    Sandbox::WriteFile(moved / "files/old", "x");
    Sandbox::WriteFile(moved / "info/old.trashinfo", Info("/home/u/old", kOld));

    EXPECT_EQ(ClearOlderThan(kCutoff), (ClearCount{.removed = 1}));
    EXPECT_FALSE(fs::exists(moved / "files/old"));
    EXPECT_TRUE(fs::is_symlink(trash));
    EXPECT_EQ(Sandbox::ReadFile(moved / "../beside"), "keep");
}

TEST_F(AdversarialTrashTest, AFileGrowingWhileTheClearRunsIsRemoved) {
    const fs::path item = trash / "files/logs";
    Sandbox::WriteFile(item / "growing.log", "");
    for (int i = 0; i < 200; ++i) Sandbox::WriteFile(item / ("f" + std::to_string(i)), "x");
    Sandbox::WriteFile(trash / "info/logs.trashinfo", Info("/home/u/logs", kOld));
    const int writer = open((item / "growing.log").c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    std::atomic<bool> stop{false};
    std::thread grow([&] {
        const std::string chunk(4096, 'g');
        while (!stop) (void)!write(writer, chunk.data(), chunk.size());
    });
    const ClearCount count = ClearOlderThan(kCutoff);
    stop = true;
    grow.join();
    close(writer);
    EXPECT_EQ(count, (ClearCount{.removed = 1}));
    EXPECT_FALSE(fs::exists(item));
    EXPECT_FALSE(fs::exists(trash / "info/logs.trashinfo"));
}

// Another file system mounted inside an item is not entered: its content stays and the
// item, only partly removed, is reported as not removed and keeps its .trashinfo.
TEST_F(AdversarialTrashTest, AMountPointInsideAnItemIsLeftAlone) {
    const fs::path item = trash / "files/project";
    Sandbox::WriteFile(item / "notes.txt", "x");
    fs::create_directories(item / "mnt");
    Sandbox::WriteFile(trash / "info/project.trashinfo", Info("/home/u/project", kOld));
    const auto outcome = test::InPrivateMounts([&]() -> std::string {
        if (mount("varnelo-test", (item / "mnt").c_str(), "tmpfs", 0, nullptr) != 0)
            return "no mount";
        Sandbox::WriteFile(item / "mnt/on-other-volume", "keep");
        const ClearCount count = ClearOlderThan(kCutoff);
        std::string text = std::to_string(count.removed) + "/" + std::to_string(count.notRemoved);
        if (Sandbox::ReadFile(item / "mnt/on-other-volume") == "keep") text += " kept";
        if (fs::exists(trash / "info/project.trashinfo")) text += " info";
        return text;
    });
    if (!outcome || *outcome == "no mount") GTEST_SKIP() << "cannot mount here";
    EXPECT_EQ(*outcome, "0/1 kept info");
}

TEST_F(AdversarialTrashTest, AHundredThousandItemsAreListedAndClearedByAge) {
    constexpr int kItems = 100'000;
    // Made on a private tmpfs: on a journaling disk the files alone take minutes.
    const auto outcome = test::InPrivateMounts([&]() -> std::string {
        if (mount("varnelo-test", trash.c_str(), "tmpfs", 0, "mode=0700") != 0) return "no mount";
        fs::create_directories(trash / "files");
        fs::create_directories(trash / "info");
        for (int i = 0; i < kItems; ++i) {
            const std::string name = "item" + std::to_string(i);
            AddItem(name, Info("/home/u/" + name, i % 2 ? kOld : kNew));
        }
        const std::size_t listed = ReadTrash(DefaultTrashRoots()).items.size();
        const ClearCount count = ClearOlderThan(kCutoff);
        const std::size_t left = ReadTrash(DefaultTrashRoots()).items.size();
        return std::to_string(listed) + " listed, " + std::to_string(count.removed) + " removed, " +
               std::to_string(count.notRemoved) + " not, " + std::to_string(left) + " left";
    });
    if (!outcome || *outcome == "no mount") GTEST_SKIP() << "cannot mount here";
    EXPECT_EQ(*outcome, "100000 listed, 50000 removed, 0 not, 50000 left");
}

}  // namespace
}  // namespace varnelo
