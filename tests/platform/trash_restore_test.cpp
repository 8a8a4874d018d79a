// Items trashed by other programs are put back where they came from, or refused with
// nothing changed.

#include "platform/trash_restore.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/trash_reader.h"
#include "tests/platform/real_trash.h"
#include "tests/support/private_mounts.h"
#include "tests/support/run_tool.h"
#include "tests/support/sandbox.h"

extern char** environ;

namespace varnelo {
namespace {

namespace fs = std::filesystem;
using test::Listing;
using test::RunTool;
using test::ToolRun;
using test::Sandbox;

enum class Tool { TrashPut, Gio };

// Public: the case tables below reach into it.
class TrashRestoreTest : public testing::Test {
  public:
    TrashRestoreTest() : trash(sandbox.homeTrash()), docs(sandbox.home() / "docs") {}

    // Trashes `original` with a peer tool and gives the entry as the list reads it.
    TrashItem Trash(const fs::path& original, Tool tool = Tool::TrashPut) {
        const std::vector<std::string> args =
            tool == Tool::TrashPut ? std::vector<std::string>{"trash-put", original.string()}
                                   : std::vector<std::string>{"env", "GIO_USE_VFS=local", "gio",
                                                              "trash", original.string()};
        EXPECT_EQ(RunTool(args).status, 0) << args[0];
        for (TrashItem& item : ReadTrash(DefaultTrashRoots()).items)
            if (item.originalPath == original.string()) return item;
        ADD_FAILURE() << "not listed: " << original;
        return {};
    }

    RestoreOutcome Restore(const TrashItem& item) const {
        return RestoreItem(
            {trash.string()},
            {.storePath = item.storePath, .listedId = item.id, .originalPath = item.originalPath});
    }

    fs::path InfoOf(const TrashItem& item) const {
        return trash / "info" / (item.entryName + ".trashinfo");
    }

    Sandbox sandbox;
    fs::path trash;
    fs::path docs;
};

TEST_F(TrashRestoreTest, PutsEveryKindOfItemBackWhereItWas) {
    struct Case {
        const char* label;
        const char* name;
        Tool tool;
        std::function<void(const fs::path&)> make;
    };
    const Case cases[] = {
        {"file by trash-put", "report.txt", Tool::TrashPut,
         [](const fs::path& p) { Sandbox::WriteFile(p, "report"); }},
        {"file by gio", "notes.txt", Tool::Gio,
         [](const fs::path& p) { Sandbox::WriteFile(p, "notes"); }},
        {"folder tree", "tree", Tool::TrashPut,
         [](const fs::path& p) {
             Sandbox::WriteFile(p / "sub/deeper/file", "deep");
             Sandbox::WriteFile(p / "top", "top");
             fs::create_symlink("../top", p / "sub/link");
         }},
        {"folder by gio", "album", Tool::Gio,
         [](const fs::path& p) { Sandbox::WriteFile(p / "a.jpg", "jpeg"); }},
        {"link", "shortcut", Tool::TrashPut,
         [](const fs::path& p) { fs::create_symlink("/nowhere/at/all", p); }},
        {"name with blanks and CJK", "季度 报告 %.txt", Tool::TrashPut,
         [](const fs::path& p) { Sandbox::WriteFile(p, "q"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const fs::path original = docs / c.name;
        c.make(original);
        const auto shape = Listing(original.parent_path());
        const TrashItem item = Trash(original, c.tool);
        ASSERT_FALSE(fs::exists(fs::symlink_status(original)));

        const RestoreOutcome outcome = Restore(item);

        EXPECT_EQ(outcome.result, RestoreResult::Restored) << outcome.message;
        EXPECT_EQ(outcome.message, "");
        EXPECT_EQ(Listing(original.parent_path()), shape);  // same objects, same inodes
        EXPECT_FALSE(fs::exists(fs::symlink_status(item.storePath)));
        EXPECT_FALSE(fs::exists(InfoOf(item)));
    }
    const ToolRun listed = RunTool({"trash-list"});
    EXPECT_EQ(listed.out.find(sandbox.root().string()), std::string::npos) << listed.out;
}

TEST_F(TrashRestoreTest, RefusesAnOccupiedPlaceAndChangesNothing) {
    struct Case {
        const char* label;
        std::function<void(const fs::path&)> occupy;
    };
    const Case cases[] = {
        {"file", [](const fs::path& p) { Sandbox::WriteFile(p, "newer work"); }},
        {"empty folder", [](const fs::path& p) { fs::create_directory(p); }},
        {"folder", [](const fs::path& p) { Sandbox::WriteFile(p / "inside", "i"); }},
        {"dangling link", [](const fs::path& p) { fs::create_symlink("/nowhere", p); }},
        {"link to a folder", [](const fs::path& p) { fs::create_directory_symlink("..", p); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const fs::path original = docs / c.label;
        Sandbox::WriteFile(original, "old work");
        const TrashItem item = Trash(original);
        c.occupy(original);
        const auto before = Listing(sandbox.root());

        const RestoreOutcome outcome = Restore(item);

        EXPECT_EQ(outcome.result, RestoreResult::Occupied);
        EXPECT_FALSE(outcome.message.empty());
        EXPECT_EQ(Listing(sandbox.root()), before);
        EXPECT_TRUE(fs::exists(InfoOf(item)));
    }
}

TEST_F(TrashRestoreTest, RecreatesMissingFolders) {
    const fs::path original = docs / "projects/2024/plan.txt";
    Sandbox::WriteFile(original, "plan");
    const TrashItem item = Trash(original);
    sandbox.RequireInside(docs / "projects");
    fs::remove_all(docs / "projects");

    const RestoreOutcome outcome = Restore(item);

    EXPECT_EQ(outcome.result, RestoreResult::Restored) << outcome.message;
    EXPECT_EQ(Sandbox::ReadFile(original), "plan");
    EXPECT_FALSE(fs::exists(InfoOf(item)));
}

TEST_F(TrashRestoreTest, RefusesWithoutTouchingAnything) {
    struct Case {
        const char* label;
        // Changes what the list read, or the world after it was read.
        std::function<void(TrashItem&, const TrashRestoreTest&)> change;
        RestoreResult expected;
    };
    const Case cases[] = {
        {"no original location",
         [](TrashItem& item, const TrashRestoreTest&) { item.originalPath.clear(); },
         RestoreResult::UnknownOrigin},
        {"relative original location",
         [](TrashItem& item, const TrashRestoreTest&) { item.originalPath = "docs/entry"; },
         RestoreResult::UnknownOrigin},
        {"original location with ..",
         [](TrashItem& item, const TrashRestoreTest& t) {
             item.originalPath = (t.docs / "../docs/entry").string();
         },
         RestoreResult::UnknownOrigin},
        {"a file where a folder should be",
         [](TrashItem& item, const TrashRestoreTest& t) {
             Sandbox::WriteFile(t.docs / "plain", "p");
             item.originalPath = (t.docs / "plain/sub/entry").string();
         },
         RestoreResult::Failed},
        {"another file system",
         [](TrashItem& item, const TrashRestoreTest&) {
             item.originalPath = "/proc/varnelo-absent/entry";
         },
         RestoreResult::CrossDevice},
        {"entry replaced since listed",
         [](TrashItem& item, const TrashRestoreTest& t) {
             // Moved aside rather than removed, so that its inode number is not reused.
             fs::rename(item.storePath, t.sandbox.root() / "moved aside");
             Sandbox::WriteFile(item.storePath, "trashed again");
         },
         RestoreResult::Changed},
        {"entry gone",
         [](TrashItem& item, const TrashRestoreTest&) { fs::remove_all(item.storePath); },
         RestoreResult::Changed},
        {".trashinfo gone",
         [](TrashItem& item, const TrashRestoreTest& t) { fs::remove(t.InfoOf(item)); },
         RestoreResult::Changed},
        {"not in files/",
         [](TrashItem& item, const TrashRestoreTest& t) {
             item.storePath = (t.trash / "info" / (item.entryName + ".trashinfo")).string();
         },
         RestoreResult::Failed},
        {"into the item itself",
         [](TrashItem& item, const TrashRestoreTest&) {
             item.originalPath = item.storePath + "/new/sub/entry";
         },
         RestoreResult::Failed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const fs::path original = docs / "entry";
        Sandbox::WriteFile(original / "content", "c");
        TrashItem item = Trash(original);
        sandbox.RequireInside(item.storePath);
        c.change(item, *this);
        const auto before = Listing(sandbox.root());

        const RestoreOutcome outcome = Restore(item);

        EXPECT_EQ(outcome.result, c.expected) << outcome.message;
        EXPECT_FALSE(outcome.message.empty());
        EXPECT_EQ(Listing(sandbox.root()), before);

        // Clean up for the next case.
        sandbox.RequireInside(trash);
        sandbox.RequireInside(docs);
        for (const char* dir : {"files", "info"})
            for (const auto& entry : fs::directory_iterator(trash / dir)) fs::remove_all(entry);
        fs::remove_all(docs);
        fs::remove_all(sandbox.root() / "moved aside");
    }
}

// Another file system is refused whether the device number tells (a tmpfs) or only the
// rename does (a bind mount shares the device); folders made on the way go again.
TEST_F(TrashRestoreTest, RefusesToMoveAcrossFileSystemsAndCopiesNothing) {
    const fs::path original = docs / "moved/entry";
    Sandbox::WriteFile(original / "content", "c");
    const TrashItem item = Trash(original);
    sandbox.RequireInside(docs / "moved");
    fs::remove_all(docs / "moved");
    struct Case {
        const char* label;
        const char* source;
        const char* type;
        unsigned long flags;
    };
    const Case cases[] = {
        {"tmpfs", "varnelo-test", "tmpfs", 0},
        {"bind mount", nullptr, nullptr, MS_BIND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const auto seen = test::InPrivateMounts([&]() -> std::string {
            const std::string source = c.source ? c.source : docs.string();
            if (mount(source.c_str(), docs.c_str(), c.type, c.flags, nullptr) != 0)
                return "no mount";
            const auto before = Listing(sandbox.root());
            const RestoreOutcome outcome = Restore(item);
            std::string text = std::to_string(static_cast<int>(outcome.result));
            if (Listing(sandbox.root()) != before) text += ", something changed";
            if (outcome.message.empty()) text += ", no message";
            return text;
        });
        if (!seen || *seen == "no mount") GTEST_SKIP() << "no private mounts here";
        EXPECT_EQ(*seen, std::to_string(static_cast<int>(RestoreResult::CrossDevice)));
    }
    EXPECT_TRUE(fs::exists(item.storePath));
    EXPECT_TRUE(fs::exists(InfoOf(item)));
}

TEST_F(TrashRestoreTest, DropsOnlyTheItemsLineFromTheFolderSizeCache) {
    const fs::path original = docs / "big folder";
    Sandbox::WriteFile(original / "data", std::string(5000, 'd'));
    const TrashItem item = Trash(original);
    Sandbox::WriteFile(trash / "directorysizes",
                       "5000 1700000000 big%20folder\n777 1700000001 other\n");

    const RestoreOutcome outcome = Restore(item);

    EXPECT_EQ(outcome.result, RestoreResult::Restored) << outcome.message;
    EXPECT_EQ(Sandbox::ReadFile(trash / "directorysizes"), "777 1700000001 other\n");
    EXPECT_EQ(Sandbox::ReadFile(original / "data").size(), 5000u);
}

}  // namespace
}  // namespace varnelo
