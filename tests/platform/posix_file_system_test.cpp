#include "platform/posix_file_system.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "core/kill_item.h"
#include "tests/platform/real_trash.h"
#include "tests/support/private_mounts.h"
#include "tests/support/sandbox.h"

namespace varnelo {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using test::IdOf;
using test::Listing;
using test::Sandbox;

const Moment kCutoff = Day{std::chrono::year{2024} / std::chrono::March / 1};
constexpr const char* kOldDate = "2024-01-15T10:00:00";
constexpr const char* kNewDate = "2024-03-10T08:00:00";
constexpr uid_t kNobody = 65534;

// Public: the case tables change the trash through a reference to the fixture.
class PosixTrashTest : public testing::Test {
  public:
    PosixTrashTest() : trash(sandbox.homeTrash()), outside(sandbox.root() / "outside") {
        fs::create_directories(trash / "files");
        fs::create_directories(trash / "info");
        Sandbox::WriteFile(outside / "data/precious", "keep");
        Sandbox::WriteFile(outside / "data/sub/more", "keep too");
        Sandbox::WriteFile(outside / "file", "keep");
    }

    fs::path Entry(const std::string& name) const { return trash / "files" / name; }
    fs::path InfoOf(const std::string& name) const {
        return trash / "info" / (name + ".trashinfo");
    }
    void WriteInfo(const std::string& name, const std::string& date) const {
        Sandbox::WriteFile(InfoOf(name), test::TrashInfoText("/home/u/" + name, date));
    }
    KillResult Kill(const std::string& name) const {
        return test::KillInSandbox(sandbox, trash, name, kCutoff);
    }

    Sandbox sandbox;
    fs::path trash;
    fs::path outside;
};

TEST_F(PosixTrashTest, RemovesAFolderWithLockedPartsAndLinks) {
    const std::string name = "project";
    const fs::path item = Entry(name);
    Sandbox::WriteFile(item / "a/b/c/deep.txt", "deep");
    Sandbox::WriteFile(item / "a/one.txt", "1");
    Sandbox::WriteFile(item / "readonly.txt", "ro");
    fs::permissions(item / "readonly.txt", fs::perms::owner_read);
    Sandbox::WriteFile(item / "locked/inside.txt", "in");
    fs::permissions(item / "locked", static_cast<fs::perms>(0500));
    fs::create_directory_symlink(outside / "data", item / "a/to-outside");
    fs::create_symlink(outside / "file", item / "file-link");
    Sandbox::WriteFile(item / "caf\xE9\xFF/na\xEFve", "latin-1");
    WriteInfo(name, kOldDate);
    Sandbox::WriteFile(Entry("newer"), "new");
    WriteInfo("newer", kNewDate);
    Sandbox::WriteFile(trash / "directorysizes", "9 1 newer\n4096 1705284000 project\n");
    const auto outsideBefore = Listing(outside);
    const auto newerBefore = Sandbox::ReadFile(InfoOf("newer"));
    const int descriptors = test::OpenDescriptors();

    EXPECT_EQ(Kill(name), KillResult::Removed);
    EXPECT_FALSE(fs::exists(fs::symlink_status(item)));
    EXPECT_FALSE(fs::exists(InfoOf(name)));
    EXPECT_EQ(Sandbox::ReadFile(trash / "directorysizes"), "9 1 newer\n");
    EXPECT_EQ(Listing(outside), outsideBefore);
    EXPECT_EQ(Sandbox::ReadFile(Entry("newer")), "new");
    EXPECT_EQ(Sandbox::ReadFile(InfoOf("newer")), newerBefore);
    EXPECT_EQ(test::OpenDescriptors(), descriptors);
    // The cache was replaced whole, not left half-written beside a temporary.
    for (const auto& entry : fs::directory_iterator(trash))
        EXPECT_TRUE(entry.path().filename() == "files" || entry.path().filename() == "info" ||
                    entry.path().filename() == "directorysizes")
            << entry.path();
}

TEST_F(PosixTrashTest, RemovesTopLevelFilesAndLinksThemselves) {
    struct Case {
        const char* label;
        std::string name;
        std::function<void(const fs::path&)> make;
    };
    const Case cases[] = {
        {"read-only file", "report.pdf",
         [](const fs::path& p) {
             Sandbox::WriteFile(p, "pdf");
             fs::permissions(p, fs::perms::none);
         }},
        {"link to a folder outside", "docs-link",
         [this](const fs::path& p) { fs::create_directory_symlink(outside / "data", p); }},
        {"link to a file outside", "file-link",
         [this](const fs::path& p) { fs::create_symlink(outside / "file", p); }},
        {"name that is not UTF-8", "r\xE9sum\xE9.txt",
         [](const fs::path& p) { Sandbox::WriteFile(p, "cv"); }},
        {"empty folder", "empty", [](const fs::path& p) { fs::create_directory(p); }},
    };
    const auto outsideBefore = Listing(outside);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        c.make(Entry(c.name));
        WriteInfo(c.name, kOldDate);

        EXPECT_EQ(Kill(c.name), KillResult::Removed);
        EXPECT_FALSE(fs::exists(fs::symlink_status(Entry(c.name))));
        EXPECT_FALSE(fs::exists(InfoOf(c.name)));
        EXPECT_EQ(Listing(outside), outsideBefore);
    }
}

TEST_F(PosixTrashTest, LeavesItemsThatAreNotOldOrNotTheListedOnes) {
    struct Case {
        const char* label;
        std::function<void(PosixTrashTest&)> change;  // after the list was read
        KillResult expected;
    };
    const Case cases[] = {
        {"deleted after the cutoff", [](PosixTrashTest& t) { t.WriteInfo("item", kNewDate); },
         KillResult::NotRemoved},
        {".trashinfo rewritten with a newer date",
         [](PosixTrashTest& t) {
             fs::remove(t.InfoOf("item"));
             t.WriteInfo("item", "2024-05-01T12:00:00");
         },
         KillResult::NotRemoved},
        {".trashinfo gone", [](PosixTrashTest& t) { fs::remove(t.InfoOf("item")); },
         KillResult::NotRemoved},
        {"entry replaced by another",
         [](PosixTrashTest& t) {
             fs::rename(t.Entry("item"), t.sandbox.root() / "moved-away");
             Sandbox::WriteFile(t.Entry("item") / "content", "another");
         },
         KillResult::NotRemoved},
        {"entry swapped for a link",
         [](PosixTrashTest& t) {
             fs::rename(t.Entry("item"), t.sandbox.root() / "moved-away");
             fs::create_directory_symlink(t.outside / "data", t.Entry("item"));
         },
         KillResult::NotRemoved},
        {"entry already gone", [](PosixTrashTest& t) { fs::remove_all(t.Entry("item")); },
         KillResult::AlreadyGone},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        fs::remove_all(sandbox.root() / "moved-away");
        fs::remove_all(Entry("item"));
        Sandbox::WriteFile(Entry("item") / "content", "c");
        WriteInfo("item", kOldDate);
        const fs::path path = Entry("item");
        const FileId listed = IdOf(path);
        c.change(*this);
        const auto before = Listing(sandbox.root());

        sandbox.RequireInside(path);
        PosixFileSystem posix;
        EXPECT_EQ(KillItem(posix, {trash.string()},
                           {.storePath = path.string(), .listedId = listed}, kCutoff),
                  c.expected);
        EXPECT_EQ(Listing(sandbox.root()), before);
    }
}

TEST_F(PosixTrashTest, RefusesPathsNotDirectlyInFilesFolder) {
    Sandbox::WriteFile(Entry("item") / "inner/file", "i");
    WriteInfo("item", kOldDate);
    const std::string files = (trash / "files").string();
    const std::string cases[] = {
        "",
        "files/item",
        "./item",
        trash.string(),
        (trash / "item").string(),
        InfoOf("item").string(),
        files,
        files + "/",
        files + "/.",
        files + "/..",
        files + "/../info",
        files + "/item/inner",
        files + "/item/",
        files + "//item",
        trash.string() + "/./files/item",
        files + "/item\0/inner"s,
        (sandbox.root() / "other/Trash/files/item").string(),
        trash.string() + "2/files/item",
    };
    const auto before = Listing(sandbox.root());
    // The only trash given lies in the sandbox, so nothing else could be removed even if a
    // refusal failed.
    sandbox.RequireInside(trash);
    PosixFileSystem posix;
    for (const std::string& path : cases) {
        SCOPED_TRACE(path);
        EXPECT_EQ(KillItem(posix, {trash.string()},
                           {.storePath = path, .listedId = IdOf(Entry("item"))}, kCutoff),
                  KillResult::NotRemoved);
    }
    EXPECT_EQ(Listing(sandbox.root()), before);
}

// Far beyond PATH_MAX and any recursion the stack allows; the descriptor limit is held
// low to show that the walk does not keep one per level.
// Builds a tree of `levels` folders below <trash>/files/deep, clears it with the open-file
// limit held just above what is open now, and says what is left.
std::string ClearDeepTree(const PosixTrashTest& t, int levels) {
    fs::create_directories(t.trash / "files");
    fs::create_directories(t.trash / "info");
    const fs::path item = t.Entry("deep");
    fs::create_directory(item);
    int fd = open(item.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int level = 0; fd >= 0 && level < levels; ++level) {
        if (mkdirat(fd, "d", 0755) != 0) return "not built";
        const int next = openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        close(fd);
        fd = next;
    }
    if (fd < 0) return "not built";
    const int file = openat(fd, "bottom.txt", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    close(file);
    close(fd);
    t.WriteInfo("deep", kOldDate);

    rlimit saved{};
    getrlimit(RLIMIT_NOFILE, &saved);
    rlimit tight = saved;
    tight.rlim_cur = static_cast<rlim_t>(test::OpenDescriptors() + 16);
    setrlimit(RLIMIT_NOFILE, &tight);
    const KillResult result = t.Kill("deep");
    setrlimit(RLIMIT_NOFILE, &saved);

    std::string text = result == KillResult::Removed ? "removed" : "not removed";
    if (fs::exists(item)) text += ", tree left";
    if (fs::exists(t.InfoOf("deep"))) text += ", info left";
    return text;
}

TEST_F(PosixTrashTest, RemovesATreeOfAHundredThousandLevels) {
    constexpr int kLevels = 100'000;
    sandbox.RequireInside(trash);
    // On a journaling disk 100,000 folders take minutes to make and free; on a private
    // tmpfs they cost little and vanish with the child.
    const auto onTmpfs = test::InPrivateMounts([&]() -> std::string {
        if (mount("varnelo-test", trash.c_str(), "tmpfs", 0, "mode=0700") != 0) return "no tmpfs";
        return ClearDeepTree(*this, kLevels);
    });
    if (onTmpfs && *onTmpfs != "no tmpfs") {
        EXPECT_EQ(*onTmpfs, "removed");
        return;
    }
    EXPECT_EQ(ClearDeepTree(*this, kLevels), "removed");
}

// Runs body as an unprivileged user when the tests run as root, where permission bits
// stop nothing; gives body's exit status.
int RunUnprivileged(const std::function<int()>& body) {
    if (geteuid() != 0) return body();
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(100);
        _exit(body());
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return 101;
    return WEXITSTATUS(status);
}

void ChownTree(const fs::path& top, uid_t uid) {
    ASSERT_EQ(lchown(top.c_str(), uid, uid), 0) << top;
    for (const auto& entry : fs::recursive_directory_iterator(top)) {
        ASSERT_EQ(lchown(entry.path().c_str(), uid, uid), 0) << entry.path();
    }
}

TEST_F(PosixTrashTest, OpensUpFoldersThatDenyTheirOwner) {
    const bool root = geteuid() == 0;
    if (root) {
        // The unprivileged user must reach the trash; what lies beside it stays closed.
        for (fs::path p = trash.parent_path(); p != sandbox.root().parent_path();
             p = p.parent_path())
            fs::permissions(p, static_cast<fs::perms>(0755));
    }
    struct Case {
        const char* label;
        std::function<void(const fs::path&)> make;  // run before the modes are set
        std::function<void(const fs::path&)> lock;
        KillResult expected;
        bool needsRoot = false;
    };
    const Case cases[] = {
        {.label = "read-only and closed folders",
         .make =
             [](const fs::path& item) {
                 Sandbox::WriteFile(item / "ro/file", "r");
                 Sandbox::WriteFile(item / "none/deeper/file", "n");
                 Sandbox::WriteFile(item / "write-search/file", "w");
                 Sandbox::WriteFile(item / "no-search/file", "s");
                 Sandbox::WriteFile(item / "readonly-file", "f");
             },
         .lock =
             [](const fs::path& item) {
                 fs::permissions(item / "readonly-file", fs::perms::owner_read);
                 fs::permissions(item / "ro", static_cast<fs::perms>(0500));
                 fs::permissions(item / "none/deeper", static_cast<fs::perms>(0000));
                 fs::permissions(item / "none", static_cast<fs::perms>(0000));
                 fs::permissions(item / "write-search", static_cast<fs::perms>(0300));
                 fs::permissions(item / "no-search", static_cast<fs::perms>(0600));
                 fs::permissions(item, static_cast<fs::perms>(0500));
             },
         .expected = KillResult::Removed},
        {.label = "a folder of another user",
         .make = [](const fs::path& item) { Sandbox::WriteFile(item / "theirs/file", "t"); },
         .lock =
             [](const fs::path& item) {
                 ASSERT_EQ(lchown((item / "theirs").c_str(), 0, 0), 0);
                 fs::permissions(item / "theirs", static_cast<fs::perms>(0555));
             },
         .expected = KillResult::NotRemoved,
         .needsRoot = true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        if (c.needsRoot && !root) continue;
        const fs::path item = Entry("locked");
        c.make(item);
        WriteInfo("locked", kOldDate);
        if (root) ChownTree(trash, kNobody);
        c.lock(item);

        const int status = RunUnprivileged([&] { return static_cast<int>(Kill("locked")); });
        EXPECT_EQ(status, static_cast<int>(c.expected));
        if (c.expected == KillResult::Removed) {
            EXPECT_FALSE(fs::exists(fs::symlink_status(item)));
            EXPECT_FALSE(fs::exists(InfoOf("locked")));
        } else {
            EXPECT_EQ(Sandbox::ReadFile(item / "theirs/file"), "t");
            EXPECT_EQ(fs::status(item / "theirs").permissions(), static_cast<fs::perms>(0555));
            EXPECT_TRUE(fs::exists(InfoOf("locked")));
            fs::permissions(item / "theirs", fs::perms::owner_all);
            fs::remove_all(item);
        }
    }
}

class PosixFileSystemTest : public testing::Test {
  protected:
    PosixFileSystemTest() : dir(sandbox.root() / "dir") {
        Sandbox::WriteFile(dir / "file", "content");
        fs::create_directory(dir / "sub");
        fs::create_directory_symlink(dir / "sub", dir / "sub-link");
        opened = posix.OpenDirectory(dir.string()).value();
    }
    ~PosixFileSystemTest() override { posix.Close(opened); }

    Sandbox sandbox;
    fs::path dir;
    PosixFileSystem posix;
    DirHandle opened;
};

TEST_F(PosixFileSystemTest, TellsKindsAndIdentityAsLstatDoes) {
    struct Case {
        std::string name;
        EntryKind kind;
    };
    for (const Case& c : {Case{"file", EntryKind::File}, Case{"sub", EntryKind::Directory},
                          Case{"sub-link", EntryKind::Symlink}}) {
        SCOPED_TRACE(c.name);
        FsResult<EntryStatus> status = posix.StatEntry(opened, c.name);
        ASSERT_TRUE(status.ok());
        EXPECT_EQ(status.value().kind, c.kind);
        EXPECT_EQ(status.value().id, IdOf(dir / c.name));
        EXPECT_FALSE(status.value().mountRoot);
    }
    EXPECT_EQ(posix.StatEntry(opened, "missing").code(), FsCode::NotFound);
    EXPECT_EQ(posix.StatEntry(opened, "sub/../file").code(), FsCode::Failed);
}

TEST_F(PosixFileSystemTest, SeesAMountPoint) {
    if (!fs::exists("/proc/self")) GTEST_SKIP() << "no /proc here";
    FsResult<DirHandle> top = posix.OpenDirectory("/");
    ASSERT_TRUE(top.ok());
    ScopedDir holder(posix, top.value());
    FsResult<EntryStatus> proc = posix.StatEntry(holder.get(), "proc");
    ASSERT_TRUE(proc.ok());
    EXPECT_TRUE(proc.value().mountRoot);
}

TEST_F(PosixFileSystemTest, OpensOnlyRealFoldersBelowAHandle) {
    EXPECT_EQ(posix.OpenChildDirectory(opened, "sub-link").code(), FsCode::NotDirectory);
    EXPECT_EQ(posix.OpenChildDirectory(opened, "file").code(), FsCode::NotDirectory);
    EXPECT_EQ(posix.OpenChildDirectory(opened, "..").code(), FsCode::Failed);
    FsResult<DirHandle> sub = posix.OpenChildDirectory(opened, "sub");
    ASSERT_TRUE(sub.ok());
    ScopedDir holder(posix, sub.value());
    FsResult<DirHandle> up = posix.OpenParent(holder.get());
    ASSERT_TRUE(up.ok());
    ScopedDir upHolder(posix, up.value());
    EXPECT_EQ(posix.StatDirectory(upHolder.get()).value().id, IdOf(dir));
}

TEST_F(PosixFileSystemTest, ListsTheSameEntriesEveryTime) {
    Sandbox::WriteFile(dir / "caf\xE9", "x");
    for (int round = 0; round < 2; ++round) {
        FsResult<std::vector<std::string>> names = posix.ListEntries(opened);
        ASSERT_TRUE(names.ok());
        std::sort(names.value().begin(), names.value().end());
        EXPECT_EQ(names.value(), (std::vector<std::string>{"caf\xE9", "file", "sub", "sub-link"}));
    }
}

TEST_F(PosixFileSystemTest, ReadsOnlySmallRegularFiles) {
    fs::create_symlink(dir / "file", dir / "file-link");
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    Sandbox::WriteFile(dir / "big", std::string(5000, 'x'));

    EXPECT_EQ(posix.ReadSmallFile(opened, "file", 100).value(), "content");
    EXPECT_FALSE(posix.ReadSmallFile(opened, "file-link", 100).ok());
    EXPECT_FALSE(posix.ReadSmallFile(opened, "fifo", 100).ok());
    EXPECT_EQ(posix.ReadSmallFile(opened, "big", 4999).code(), FsCode::TooLarge);
    EXPECT_EQ(posix.ReadSmallFile(opened, "big", 5000).value().size(), 5000u);
    EXPECT_EQ(posix.ReadSmallFile(opened, "missing", 100).code(), FsCode::NotFound);
}

TEST_F(PosixFileSystemTest, ReplacesAFileWhole) {
    fs::permissions(dir / "file", static_cast<fs::perms>(0640));
    Sandbox::WriteFile(sandbox.root() / "target", "outside");
    fs::create_symlink(sandbox.root() / "target", dir / "link");
    const auto namesBefore = posix.ListEntries(opened).value().size();

    ASSERT_TRUE(posix.ReplaceSmallFile(opened, "file", "new content").ok());
    EXPECT_EQ(Sandbox::ReadFile(dir / "file"), "new content");
    EXPECT_EQ(fs::status(dir / "file").permissions(), static_cast<fs::perms>(0640));
    EXPECT_EQ(posix.ListEntries(opened).value().size(), namesBefore);

    EXPECT_FALSE(posix.ReplaceSmallFile(opened, "link", "through the link").ok());
    EXPECT_EQ(Sandbox::ReadFile(sandbox.root() / "target"), "outside");
    EXPECT_TRUE(fs::is_symlink(dir / "link"));
}

}  // namespace
}  // namespace varnelo
