#include "core/kill_item.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/file_system.h"
#include "tests/support/memory_file_system.h"

namespace varnelo {
namespace {

using namespace std::string_literals;
using test::FsCall;
using test::MemoryFileSystem;

constexpr std::uint32_t kUser = 1000;
const std::string kTrash = "/home/u/.local/share/Trash";
const std::string kFiles = kTrash + "/files";
const std::string kInfo = kTrash + "/info";
const std::string kSizes = kTrash + "/directorysizes";
const std::string kPrecious = "/home/u/docs/precious";
const Moment kCutoff = Day{std::chrono::year{2024} / std::chrono::March / 1};

std::string InfoText(const std::string& date) {
    return "[Trash Info]\nPath=/home/u/docs/old\nDeletionDate=" + date + "\n";
}

bool Below(const std::string& path, const std::string& dir) {
    return path.size() > dir.size() && path.starts_with(dir) && path[dir.size()] == '/';
}

// A home trash holding one old item, "old item", one newer item and a folder-size cache.
class KillItemTest : public testing::Test {
  protected:
    static constexpr const char* kName = "old item";

    KillItemTest() { BuildTrash(fs); }

    static void BuildTrash(MemoryFileSystem& on) {
        on.AddDirectory(kFiles, 0700);
        on.AddDirectory(kInfo, 0700);
        on.AddFile(kInfo + "/" + kName + ".trashinfo", InfoText("2024-01-15T10:00:00"));
        on.AddFile(kFiles + "/newer", "new");
        on.AddFile(kInfo + "/newer.trashinfo", InfoText("2024-03-10T08:00:00"));
        on.AddFile(kSizes, "4096 1705284000 old%20item\n8192 1705284001 other\n");
        on.AddFile(kPrecious, "keep");
    }

    static std::string ItemPath() { return kFiles + "/" + kName; }
    static std::string InfoPath() { return kInfo + "/" + kName + ".trashinfo"; }
    static bool InItem(const std::string& path) {
        return path == ItemPath() || Below(path, ItemPath());
    }

    static KillTarget Target(const MemoryFileSystem& on, const std::string& path) {
        const std::optional<EntryStatus> status = on.Lstat(path);
        return {.storePath = path, .listedId = status ? status->id : FileId{}};
    }

    KillResult Kill() { return KillItem(fs, {kTrash}, Target(fs, ItemPath()), kCutoff); }

    static bool ChangedSomething(const MemoryFileSystem& on) {
        for (const test::CallRecord& call : on.Calls())
            if (test::Mutates(call.call) && call.result == FsCode::Ok) return true;
        return false;
    }

    // Everything but the item, its .trashinfo and the cache, which a removal may change.
    static std::map<std::string, std::string> Others(const MemoryFileSystem& on) {
        std::map<std::string, std::string> all = on.Snapshot();
        std::erase_if(all, [](const auto& entry) {
            return InItem(entry.first) || entry.first == InfoPath() || entry.first == kSizes;
        });
        return all;
    }

    MemoryFileSystem fs{kUser};
};

TEST_F(KillItemTest, RemovesEveryKindOfItem) {
    struct Case {
        const char* label;
        std::function<void(MemoryFileSystem&)> make;
    };
    const Case cases[] = {
        {"read-only file", [](MemoryFileSystem& f) { f.AddFile(ItemPath(), "x", 0444); }},
        {"folder tree",
         [](MemoryFileSystem& f) {
             f.AddFile(ItemPath() + "/a/b/c", "c");
             f.AddFile(ItemPath() + "/top", "t");
         }},
        {"locked folders",
         [](MemoryFileSystem& f) {
             f.AddFile(ItemPath() + "/inner/file", "f", 0000);
             f.Chmod(ItemPath() + "/inner", 0000);
             f.Chmod(ItemPath(), 0500);
         }},
        {"link to a folder outside",
         [](MemoryFileSystem& f) { f.AddSymlink(ItemPath(), "/home/u/docs"); }},
        {"folder holding a link outside",
         [](MemoryFileSystem& f) { f.AddSymlink(ItemPath() + "/docs", "/home/u/docs"); }},
        {"dangling link", [](MemoryFileSystem& f) { f.AddSymlink(ItemPath(), "/gone"); }},
        {"name that is not UTF-8",
         [](MemoryFileSystem& f) { f.AddFile(ItemPath() + "/caf\xE9\xFF", "latin-1"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        MemoryFileSystem local{kUser};
        BuildTrash(local);
        c.make(local);
        const auto others = Others(local);

        EXPECT_EQ(KillItem(local, {kTrash}, Target(local, ItemPath()), kCutoff),
                  KillResult::Removed);
        EXPECT_FALSE(local.Exists(ItemPath()));
        EXPECT_FALSE(local.Exists(InfoPath()));
        EXPECT_EQ(local.Content(kSizes), "8192 1705284001 other\n");
        EXPECT_EQ(Others(local), others);
        EXPECT_EQ(local.OpenHandles(), 0u);
    }
}

TEST_F(KillItemTest, RemovesTheTrashInfoOnlyOnceTheEntryIsGone) {
    fs.AddFile(ItemPath() + "/a/b", "b");

    EXPECT_EQ(Kill(), KillResult::Removed);
    std::size_t lastTreeRemoval = 0;
    std::size_t infoRemoval = 0;
    std::size_t check = 0;
    const auto& calls = fs.Calls();
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (test::Mutates(calls[i].call) && InItem(calls[i].path)) lastTreeRemoval = i;
        if (calls[i].call == FsCall::RemoveFile && calls[i].path == InfoPath()) infoRemoval = i;
        if (calls[i].call == FsCall::StatEntry && calls[i].path == ItemPath()) check = i;
    }
    EXPECT_LT(lastTreeRemoval, check);
    EXPECT_LT(check, infoRemoval);
}

TEST_F(KillItemTest, RefusesPathsNotDirectlyInAFilesFolder) {
    struct Case {
        const char* label;
        std::string storePath;
        std::vector<std::string> trashDirs = {kTrash};
    };
    const Case cases[] = {
        {.label = "empty", .storePath = ""},
        {.label = "relative", .storePath = "home/u/.local/share/Trash/files/old item"},
        {.label = "relative to here", .storePath = "./files/old item"},
        {.label = "the root", .storePath = "/"},
        {.label = "the trash directory", .storePath = kTrash},
        {.label = "beside files/", .storePath = kTrash + "/old item"},
        {.label = "inside info/", .storePath = InfoPath()},
        {.label = "files/ itself", .storePath = kFiles},
        {.label = "files/ with a slash", .storePath = kFiles + "/"},
        {.label = "dot", .storePath = kFiles + "/."},
        {.label = "dot dot", .storePath = kFiles + "/.."},
        {.label = "climbing out", .storePath = kFiles + "/../info"},
        {.label = "two levels down", .storePath = ItemPath() + "/inner"},
        {.label = "trailing slash", .storePath = ItemPath() + "/"},
        {.label = "doubled slash", .storePath = kFiles + "//old item"},
        {.label = "dot component", .storePath = kTrash + "/./files/old item"},
        {.label = "embedded NUL", .storePath = kFiles + "/old item\0/x"s},
        {.label = "a trash not given", .storePath = "/other/Trash/files/old item"},
        {.label = "a longer trash name", .storePath = kTrash + "2/files/old item"},
        {.label = "no trash directories", .storePath = ItemPath(), .trashDirs = {}},
        {.label = "relative trash directory",
         .storePath = "home/u/.local/share/Trash/files/old item",
         .trashDirs = {"home/u/.local/share/Trash"}},
        {.label = "trash directory with ..",
         .storePath = "/home/u/docs/../.local/share/Trash/files/old item",
         .trashDirs = {"/home/u/docs/../.local/share/Trash"}},
        {.label = "empty trash directory", .storePath = "/files/old item", .trashDirs = {""}},
    };
    fs.AddFile(ItemPath() + "/inner", "i");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const auto before = fs.Snapshot();
        const std::size_t callsBefore = fs.CallCount();
        const KillTarget target{.storePath = c.storePath, .listedId = fs.Lstat(ItemPath())->id};

        EXPECT_EQ(KillItem(fs, c.trashDirs, target, kCutoff), KillResult::NotRemoved);
        EXPECT_EQ(fs.CallCount(), callsBefore);
        EXPECT_EQ(fs.Snapshot(), before);
    }
}

TEST_F(KillItemTest, AcceptsTheTrashDirectoryAsTheListGivesIt) {
    struct Case {
        const char* label;
        std::vector<std::string> trashDirs;
    };
    const Case cases[] = {
        {"with a trailing slash", {kTrash + "/"}},
        {"second of several", {"/media/disk/.Trash-1000", kTrash}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        MemoryFileSystem local{kUser};
        BuildTrash(local);
        local.AddFile(ItemPath(), "x");
        EXPECT_EQ(KillItem(local, c.trashDirs, Target(local, ItemPath()), kCutoff),
                  KillResult::Removed);
    }
}

TEST_F(KillItemTest, LeavesAnEntryReplacedSinceTheListWasRead) {
    fs.AddFile(ItemPath() + "/content", "c");
    const KillTarget listed = Target(fs, ItemPath());
    fs.Erase(ItemPath());
    fs.AddFile(ItemPath() + "/content", "restored and trashed again");
    const auto before = fs.Snapshot();

    EXPECT_EQ(KillItem(fs, {kTrash}, listed, kCutoff), KillResult::NotRemoved);
    EXPECT_EQ(fs.Snapshot(), before);
}

TEST_F(KillItemTest, NeedsATrashInfoThatStillGivesAnOldDate) {
    struct Case {
        const char* label;
        std::optional<std::string> info;  // nullopt: no .trashinfo
        KillResult expected = KillResult::NotRemoved;
        bool infoIsLink = false;
    };
    const Case cases[] = {
        {.label = "rewritten with a newer date", .info = InfoText("2024-03-02T09:00:00")},
        {.label = "exactly the cutoff", .info = InfoText("2024-03-01T00:00:00")},
        {.label = "no DeletionDate", .info = "[Trash Info]\nPath=/home/u/docs/old\n"},
        {.label = "unreadable date", .info = InfoText("last Tuesday")},
        {.label = "date outside the group", .info = "[Other]\nDeletionDate=2020-01-01T00:00:00\n"},
        {.label = "too large", .info = InfoText("2020-01-01T00:00:00") + std::string(5 << 20, '#')},
        {.label = "missing", .info = std::nullopt},
        {.label = "a link to an old one", .info = std::nullopt, .infoIsLink = true},
        {.label = "a second before the cutoff",
         .info = InfoText("2024-02-29T23:59:59"),
         .expected = KillResult::Removed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        MemoryFileSystem local{kUser};
        BuildTrash(local);
        local.AddFile(ItemPath() + "/content", "c");
        local.Erase(InfoPath());
        if (c.info) local.AddFile(InfoPath(), *c.info);
        if (c.infoIsLink) {
            local.AddFile("/home/u/old.trashinfo", InfoText("2020-01-01T00:00:00"));
            local.AddSymlink(InfoPath(), "/home/u/old.trashinfo");
        }

        EXPECT_EQ(KillItem(local, {kTrash}, Target(local, ItemPath()), kCutoff), c.expected);
        if (c.expected == KillResult::NotRemoved) {
            EXPECT_FALSE(ChangedSomething(local));
            EXPECT_TRUE(local.Exists(ItemPath() + "/content"));
        }
    }
}

TEST_F(KillItemTest, TouchesNothingWhenTheItemIsAlreadyGone) {
    struct Case {
        const char* label;
        std::function<void(MemoryFileSystem&)> remove;
    };
    const Case cases[] = {
        {"entry gone", [](MemoryFileSystem& f) { f.Erase(ItemPath()); }},
        {"files/ gone", [](MemoryFileSystem& f) { f.Erase(kFiles); }},
        {"whole trash gone", [](MemoryFileSystem& f) { f.Erase(kTrash); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        MemoryFileSystem local{kUser};
        BuildTrash(local);
        local.AddFile(ItemPath(), "x");
        const KillTarget target = Target(local, ItemPath());
        c.remove(local);
        const auto before = local.Snapshot();

        EXPECT_EQ(KillItem(local, {kTrash}, target, kCutoff), KillResult::AlreadyGone);
        EXPECT_EQ(local.Snapshot(), before);
        EXPECT_EQ(local.OpenHandles(), 0u);
    }
}

TEST_F(KillItemTest, DropsOnlyTheItemsLineFromTheFolderSizeCache) {
    struct Case {
        const char* label;
        std::optional<std::string> before;  // nullopt: no cache file
        std::optional<std::string> after;
        bool rewritten;
    };
    const Case cases[] = {
        {.label = "among others, kept byte for byte",
         .before = "10 1 keep\r\n20 2 old%20item\n30 3 other%2Fodd \n",
         .after = "10 1 keep\r\n30 3 other%2Fodd \n",
         .rewritten = true},
        {.label = "every line of the item",
         .before = "20 2 old%20item\n21 3 old%20item",
         .after = "",
         .rewritten = true},
        {.label = "no line for the item",
         .before = "10 1 keep\n20 2 old%20item2\n",
         .after = "10 1 keep\n20 2 old%20item2\n",
         .rewritten = false},
        {.label = "no cache", .before = std::nullopt, .after = std::nullopt, .rewritten = false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        MemoryFileSystem local{kUser};
        BuildTrash(local);
        local.AddFile(ItemPath() + "/content", "c");
        local.Erase(kSizes);
        if (c.before) local.AddFile(kSizes, *c.before);

        EXPECT_EQ(KillItem(local, {kTrash}, Target(local, ItemPath()), kCutoff),
                  KillResult::Removed);
        EXPECT_EQ(local.Content(kSizes), c.after);
        bool rewritten = false;
        for (const test::CallRecord& call : local.Calls())
            rewritten = rewritten || call.call == FsCall::ReplaceSmallFile;
        EXPECT_EQ(rewritten, c.rewritten);
    }
}

TEST_F(KillItemTest, APartlyRemovedItemKeepsItsTrashInfo) {
    struct Case {
        const char* label;
        std::function<void(MemoryFileSystem&)> make;
    };
    const Case cases[] = {
        {"a folder of another user",
         [](MemoryFileSystem& f) {
             f.AddFile(ItemPath() + "/theirs/file", "t");
             f.Chown(ItemPath() + "/theirs", 2000);
             f.Chmod(ItemPath() + "/theirs", 0555);
             f.AddFile(ItemPath() + "/mine", "m");
         }},
        {"a mounted file system",
         [](MemoryFileSystem& f) {
             f.AddFile(ItemPath() + "/mnt/file", "m");
             f.MountAt(ItemPath() + "/mnt");
         }},
        {"a file that will not go",
         [](MemoryFileSystem& f) {
             f.AddFile(ItemPath() + "/stuck", "s");
             f.FailAt(FsCall::RemoveFile, ItemPath() + "/stuck", FsCode::Failed);
         }},
        {"a top-level file that will not go",
         [](MemoryFileSystem& f) {
             f.AddFile(ItemPath(), "s");
             f.FailAt(FsCall::RemoveFile, ItemPath(), FsCode::AccessDenied);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        MemoryFileSystem local{kUser};
        BuildTrash(local);
        const std::string sizes = *local.Content(kSizes);
        c.make(local);

        EXPECT_EQ(KillItem(local, {kTrash}, Target(local, ItemPath()), kCutoff),
                  KillResult::NotRemoved);
        EXPECT_TRUE(local.Exists(ItemPath()));
        EXPECT_TRUE(local.Exists(InfoPath()));
        EXPECT_EQ(local.Content(kSizes), sizes);
    }
}

TEST_F(KillItemTest, DoesNotClaimANewEntryThatTookTheName) {
    fs.AddFile(ItemPath() + "/content", "c");
    fs.SetHook([this](FsCall call, const std::string& path) {
        if (call == FsCall::StatEntry && path == ItemPath() && !fs.Exists(ItemPath()))
            fs.AddFile(ItemPath() + "/fresh", "trashed just now");
    });

    EXPECT_EQ(Kill(), KillResult::NotRemoved);
    EXPECT_EQ(fs.Content(ItemPath() + "/fresh"), "trashed just now");
    EXPECT_TRUE(fs.Exists(InfoPath()));
}

// Each call of a whole removal fails in turn, with each kind of answer: nothing outside
// the item is touched, nothing is left open, and the answer never claims more than was
// done.
TEST_F(KillItemTest, StaysHonestWhicheverCallFails) {
    struct Shape {
        const char* label;
        std::function<void(MemoryFileSystem&)> make;
    };
    const Shape shapes[] = {
        {"folder tree",
         [](MemoryFileSystem& f) {
             const std::string item = ItemPath();
             for (const char* dir : {"/a", "/a/b", "/a/b/c", "/d", "/d/e"}) {
                 f.AddFile(item + dir + "/one", "1");
                 f.AddFile(item + dir + "/two", "2", 0444);
             }
             f.AddDirectory(item + "/empty");
             f.AddSymlink(item + "/a/docs", "/home/u/docs");
             f.AddSymlink(item + "/d/file-link", kPrecious);
             f.AddFile(item + "/locked/inside", "x");
             f.Chmod(item + "/locked", 0500);
             f.Chmod(item + "/d/e", 0000);
             f.AddFile(item + "/top", "t");
         }},
        {"single file", [](MemoryFileSystem& f) { f.AddFile(ItemPath(), "f", 0400); }},
        {"link", [](MemoryFileSystem& f) { f.AddSymlink(ItemPath(), "/home/u/docs"); }},
    };
    for (const Shape& shape : shapes) {
        MemoryFileSystem clean{kUser};
        BuildTrash(clean);
        shape.make(clean);
        ASSERT_EQ(KillItem(clean, {kTrash}, Target(clean, ItemPath()), kCutoff),
                  KillResult::Removed);
        const std::size_t callCount = clean.CallCount();
        if (std::string(shape.label) == "folder tree") {
            EXPECT_GT(callCount, 40u);
        }

        for (FsCode code :
             {FsCode::Failed, FsCode::AccessDenied, FsCode::NotFound, FsCode::NotEmpty}) {
            for (std::size_t failing = 0; failing < callCount; ++failing) {
                SCOPED_TRACE(std::string(shape.label) + ", call " + std::to_string(failing) +
                             " fails with " + std::to_string(static_cast<int>(code)));
                MemoryFileSystem local{kUser};
                BuildTrash(local);
                shape.make(local);
                const auto others = Others(local);
                const std::string sizes = *local.Content(kSizes);
                local.FailCall(failing, code);

                const KillResult result =
                    KillItem(local, {kTrash}, Target(local, ItemPath()), kCutoff);

                EXPECT_EQ(Others(local), others);
                EXPECT_EQ(local.OpenHandles(), 0u);
                for (const test::CallRecord& call : local.Calls())
                    if (test::Mutates(call.call)) {
                        EXPECT_TRUE(InItem(call.path) || call.path == InfoPath() ||
                                    call.path == kSizes)
                            << call.path;
                    }
                if (local.Exists(ItemPath())) {
                    EXPECT_NE(result, KillResult::Removed);
                    EXPECT_TRUE(local.Exists(InfoPath()));
                    EXPECT_EQ(local.Content(kSizes), sizes);
                }
                if (result == KillResult::AlreadyGone) {
                    EXPECT_FALSE(ChangedSomething(local));
                    // Only a call that wrongly answers "not found" can mislead it.
                    if (code != FsCode::NotFound) {
                        EXPECT_FALSE(local.Exists(ItemPath()));
                    }
                }
            }
        }
    }
}

// The user's own pick: the date is no reason to refuse, and a missing .trashinfo or
// info/ is no obstacle.
TEST_F(KillItemTest, APickedItemGoesWhateverItsDate) {
    struct Case {
        const char* label;
        std::optional<std::string> info;  // nullopt: no .trashinfo
        bool noInfoFolder = false;
        bool infoIsLink = false;
    };
    const Case cases[] = {
        {.label = "deleted after the cutoff", .info = InfoText("2024-03-02T09:00:00")},
        {.label = "no DeletionDate", .info = "[Trash Info]\nPath=/home/u/docs/old\n"},
        {.label = "unreadable date", .info = InfoText("last Tuesday")},
        {.label = "too large to read",
         .info = InfoText("2020-01-01T00:00:00") + std::string(5 << 20, '#')},
        {.label = "no .trashinfo", .info = std::nullopt},
        {.label = "no info folder", .info = std::nullopt, .noInfoFolder = true},
        {.label = ".trashinfo is a link", .info = std::nullopt, .infoIsLink = true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        MemoryFileSystem local{kUser};
        BuildTrash(local);
        local.AddFile(ItemPath() + "/sub/content", "c");
        local.Erase(InfoPath());
        if (c.info) local.AddFile(InfoPath(), *c.info);
        if (c.noInfoFolder) local.Erase(kInfo);
        if (c.infoIsLink) {
            local.AddFile("/home/u/elsewhere.trashinfo", InfoText("2020-01-01T00:00:00"));
            local.AddSymlink(InfoPath(), "/home/u/elsewhere.trashinfo");
        }
        const auto others = Others(local);

        EXPECT_EQ(KillPickedItem(local, {kTrash}, Target(local, ItemPath())), KillResult::Removed);
        EXPECT_FALSE(local.Exists(ItemPath()));
        EXPECT_FALSE(local.Exists(InfoPath()));
        EXPECT_EQ(local.Content(kSizes), "8192 1705284001 other\n");
        EXPECT_EQ(Others(local), others);  // a linked .trashinfo's target stays
        EXPECT_EQ(local.OpenHandles(), 0u);
    }
}

TEST_F(KillItemTest, APickedItemKeepsEveryOtherCheck) {
    struct Case {
        const char* label;
        std::string storePath = ItemPath();
        std::function<void(MemoryFileSystem&)> change = {};  // after the list was read
        KillResult expected = KillResult::NotRemoved;
    };
    const Case cases[] = {
        {.label = "beside files/", .storePath = kTrash + "/old item"},
        {.label = "inside info/", .storePath = InfoPath()},
        {.label = "climbing out", .storePath = kFiles + "/../info"},
        {.label = "two levels down", .storePath = ItemPath() + "/content"},
        {.label = "a trash not given", .storePath = "/other/Trash/files/old item"},
        {.label = "replaced since listed",
         .change =
             [](MemoryFileSystem& f) {
                 f.Erase(ItemPath());
                 f.AddFile(ItemPath() + "/content", "trashed again");
             }},
        {.label = "info folder that will not open",
         .change =
             [](MemoryFileSystem& f) {
                 f.FailAt(FsCall::OpenChildDirectory, kInfo, FsCode::AccessDenied);
             }},
        {.label = "info folder is a link",
         .change =
             [](MemoryFileSystem& f) {
                 f.Rename(kInfo, kTrash + "/real-info");
                 f.AddSymlink(kInfo, kTrash + "/real-info");
             }},
        {.label = "already gone",
         .change = [](MemoryFileSystem& f) { f.Erase(ItemPath()); },
         .expected = KillResult::AlreadyGone},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        MemoryFileSystem local{kUser};
        BuildTrash(local);
        local.AddFile(ItemPath() + "/content", "c");
        const KillTarget target{.storePath = c.storePath, .listedId = local.Lstat(ItemPath())->id};
        if (c.change) c.change(local);
        const auto before = local.Snapshot();

        EXPECT_EQ(KillPickedItem(local, {kTrash}, target), c.expected);
        EXPECT_EQ(local.Snapshot(), before);
        EXPECT_EQ(local.OpenHandles(), 0u);
    }
}

TEST_F(KillItemTest, APickedItemLosesItsTrashInfoOnlyOnceItIsGone) {
    fs.AddFile(ItemPath() + "/a/b", "b");
    EXPECT_EQ(KillPickedItem(fs, {kTrash}, Target(fs, ItemPath())), KillResult::Removed);
    std::size_t lastTreeRemoval = 0;
    std::size_t infoRemoval = 0;
    const auto& calls = fs.Calls();
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (test::Mutates(calls[i].call) && InItem(calls[i].path)) lastTreeRemoval = i;
        if (calls[i].call == FsCall::RemoveFile && calls[i].path == InfoPath()) infoRemoval = i;
    }
    EXPECT_LT(lastTreeRemoval, infoRemoval);

    // Part of a folder that stays keeps the .trashinfo and the cache line with it.
    MemoryFileSystem partly{kUser};
    BuildTrash(partly);
    partly.AddFile(ItemPath() + "/theirs/file", "t");
    partly.Chown(ItemPath() + "/theirs", 2000);
    partly.Chmod(ItemPath() + "/theirs", 0555);
    const std::string sizes = *partly.Content(kSizes);
    EXPECT_EQ(KillPickedItem(partly, {kTrash}, Target(partly, ItemPath())), KillResult::NotRemoved);
    EXPECT_TRUE(partly.Exists(ItemPath() + "/theirs/file"));
    EXPECT_TRUE(partly.Exists(InfoPath()));
    EXPECT_EQ(partly.Content(kSizes), sizes);
}

// As for the age-based removal: whichever call fails, nothing outside the item changes
// and the answer claims no more than was done.
TEST_F(KillItemTest, APickedItemStaysHonestWhicheverCallFails) {
    const auto make = [](MemoryFileSystem& f) {
        f.AddFile(ItemPath() + "/a/one", "1");
        f.AddFile(ItemPath() + "/a/b/two", "2", 0444);
        f.AddSymlink(ItemPath() + "/a/docs", "/home/u/docs");
        f.AddFile(ItemPath() + "/locked/inside", "x");
        f.Chmod(ItemPath() + "/locked", 0500);
    };
    MemoryFileSystem clean{kUser};
    BuildTrash(clean);
    make(clean);
    ASSERT_EQ(KillPickedItem(clean, {kTrash}, Target(clean, ItemPath())), KillResult::Removed);
    const std::size_t callCount = clean.CallCount();

    for (FsCode code : {FsCode::Failed, FsCode::AccessDenied, FsCode::NotFound}) {
        for (std::size_t failing = 0; failing < callCount; ++failing) {
            SCOPED_TRACE("call " + std::to_string(failing) + " fails with " +
                         std::to_string(static_cast<int>(code)));
            MemoryFileSystem local{kUser};
            BuildTrash(local);
            make(local);
            const auto others = Others(local);
            local.FailCall(failing, code);

            const KillResult result = KillPickedItem(local, {kTrash}, Target(local, ItemPath()));

            EXPECT_EQ(Others(local), others);
            EXPECT_EQ(local.OpenHandles(), 0u);
            if (local.Exists(ItemPath())) {
                EXPECT_NE(result, KillResult::Removed);
                EXPECT_TRUE(local.Exists(InfoPath()));
            }
            if (result == KillResult::AlreadyGone) {
                EXPECT_FALSE(ChangedSomething(local));
            }
        }
    }
}

}  // namespace
}  // namespace varnelo
