#include "core/delete_tree.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/support/memory_file_system.h"

namespace varnelo {
namespace {

using test::FsCall;
using test::MemoryFileSystem;

constexpr std::uint32_t kUser = 1000;
const std::string kFiles = "/t/files";
const std::string kItem = "/t/files/item";

bool Below(const std::string& path, const std::string& dir) {
    return path.size() > dir.size() && path.starts_with(dir) && path[dir.size()] == '/';
}

bool InItem(const std::string& path) { return path == kItem || Below(path, kItem); }

class DeleteTreeTest : public testing::Test {
  protected:
    DeleteTreeTest() {
        fs.AddDirectory(kItem);
        fs.AddFile("/t/files/sibling", "keep");
        fs.AddFile("/outside/data/precious", "keep");
    }

    TreeResult Delete() { return DeleteTree(fs, kItem); }

    TreeResult DeleteTree(MemoryFileSystem& on, const std::string& path) {
        const std::optional<EntryStatus> listed = on.Lstat(path);
        FsResult<DirHandle> parent = on.OpenDirectory(path.substr(0, path.rfind('/')));
        EXPECT_TRUE(parent.ok());
        ScopedDir holder(on, parent.value());
        return varnelo::DeleteTree(on, holder.get(), path.substr(path.rfind('/') + 1),
                                   listed ? listed->id : FileId{});
    }

    // Every change the walk made happened inside the item.
    void ExpectOnlyItemChanged() const {
        for (const test::CallRecord& call : fs.Calls())
            if (test::Mutates(call.call)) {
                EXPECT_TRUE(InItem(call.path)) << call.path;
            }
        EXPECT_EQ(fs.Content("/outside/data/precious"), "keep");
        EXPECT_EQ(fs.Content("/t/files/sibling"), "keep");
        EXPECT_EQ(fs.OpenHandles(), 0u);
    }

    MemoryFileSystem fs{kUser};
};

TEST_F(DeleteTreeTest, RemovesNestedFoldersDepthFirst) {
    fs.AddFile(kItem + "/top.txt", "1");
    fs.AddFile(kItem + "/a/one", "2");
    fs.AddFile(kItem + "/a/b/two", "3");
    fs.AddFile(kItem + "/a/b/c/three", "4");
    fs.AddDirectory(kItem + "/a/empty");
    fs.AddFile(kItem + "/z/last", "5");

    EXPECT_EQ(Delete(), TreeResult::Removed);
    EXPECT_FALSE(fs.Exists(kItem));
    ExpectOnlyItemChanged();

    // A folder goes only once nothing below it is left, the item's own folder last.
    std::vector<std::string> removed;
    for (const test::CallRecord& call : fs.Calls())
        if ((call.call == FsCall::RemoveFile || call.call == FsCall::RemoveDirectory) &&
            call.result == FsCode::Ok)
            removed.push_back(call.path);
    ASSERT_EQ(removed.size(), 11u);
    EXPECT_EQ(removed.back(), kItem);
    for (std::size_t i = 0; i < removed.size(); ++i)
        for (std::size_t j = i + 1; j < removed.size(); ++j)
            EXPECT_FALSE(Below(removed[j], removed[i])) << removed[j] << " after " << removed[i];
}

TEST_F(DeleteTreeTest, OpensUpFoldersThatDenyTheirOwner) {
    struct Case {
        const char* label;
        std::uint32_t itemMode;
        std::uint32_t subMode;
    };
    const Case cases[] = {
        {.label = "read-only sub-folder", .itemMode = 0755, .subMode = 0500},
        {.label = "no rights at all", .itemMode = 0755, .subMode = 0000},
        {.label = "search only", .itemMode = 0755, .subMode = 0100},
        {.label = "no search", .itemMode = 0755, .subMode = 0600},
        {.label = "write and search, no read", .itemMode = 0755, .subMode = 0300},
        {.label = "read-only item", .itemMode = 0500, .subMode = 0755},
        {.label = "both locked", .itemMode = 0000, .subMode = 0000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        MemoryFileSystem local{kUser};
        local.AddFile(kItem + "/sub/locked.txt", "x", 0444);
        local.AddFile(kItem + "/sub/deeper/more", "y", 0000);
        local.AddFile(kItem + "/readonly.txt", "z", 0400);
        local.Chmod(kItem + "/sub", c.subMode);
        local.Chmod(kItem, c.itemMode);
        local.AddFile("/t/files/other/keep", "k");
        local.Chmod("/t/files/other", 0500);

        EXPECT_EQ(DeleteTree(local, kItem), TreeResult::Removed);
        EXPECT_FALSE(local.Exists(kItem));
        for (const test::CallRecord& call : local.Calls())
            if (call.call == FsCall::SetMode) {
                EXPECT_TRUE(InItem(call.path)) << call.path;
            }
        EXPECT_EQ(local.Lstat("/t/files/other")->mode, 0500u);
        EXPECT_EQ(local.OpenHandles(), 0u);
    }
}

TEST_F(DeleteTreeTest, LeavesFoldersOfOtherUsersAsTheyAre) {
    fs.AddFile(kItem + "/foreign/theirs", "t");
    fs.Chown(kItem + "/foreign", 2000);
    fs.Chmod(kItem + "/foreign", 0555);
    fs.AddFile(kItem + "/mine/file", "m");

    EXPECT_EQ(Delete(), TreeResult::NotRemoved);
    EXPECT_EQ(fs.Content(kItem + "/foreign/theirs"), "t");
    EXPECT_EQ(fs.Lstat(kItem + "/foreign")->mode, 0555u);
    EXPECT_FALSE(fs.Exists(kItem + "/mine"));
    ExpectOnlyItemChanged();
}

TEST_F(DeleteTreeTest, RootChangesNoModes) {
    MemoryFileSystem asRoot{0};
    asRoot.AddFile(kItem + "/locked/file", "x", 0000);
    asRoot.Chmod(kItem + "/locked", 0000);
    asRoot.Chmod(kItem, 0500);

    EXPECT_EQ(DeleteTree(asRoot, kItem), TreeResult::Removed);
    for (const test::CallRecord& call : asRoot.Calls()) EXPECT_NE(call.call, FsCall::SetMode);
}

TEST_F(DeleteTreeTest, RemovesLinksAsLinks) {
    fs.AddSymlink(kItem + "/to-folder", "/outside/data");
    fs.AddSymlink(kItem + "/to-file", "/outside/data/precious");
    fs.AddSymlink(kItem + "/dangling", "/nowhere");
    fs.AddSymlink(kItem + "/sub/up", "..");

    EXPECT_EQ(Delete(), TreeResult::Removed);
    EXPECT_FALSE(fs.Exists(kItem));
    ExpectOnlyItemChanged();
}

TEST_F(DeleteTreeTest, DoesNotEnterOtherFileSystems) {
    struct Case {
        const char* label;
        bool sameDevice;
    };
    for (const Case c : {Case{"another device", false}, Case{"a bind mount", true}}) {
        SCOPED_TRACE(c.label);
        MemoryFileSystem local{kUser};
        local.AddFile(kItem + "/mnt/on-the-mount", "m");
        local.AddFile(kItem + "/plain", "p");
        local.MountAt(kItem + "/mnt", c.sameDevice);

        EXPECT_EQ(DeleteTree(local, kItem), TreeResult::NotRemoved);
        EXPECT_EQ(local.Content(kItem + "/mnt/on-the-mount"), "m");
        EXPECT_FALSE(local.Exists(kItem + "/plain"));
        for (const test::CallRecord& call : local.Calls())
            if (test::Mutates(call.call)) {
                EXPECT_FALSE(Below(call.path, kItem + "/mnt")) << call.path;
            }
    }
}

TEST_F(DeleteTreeTest, TouchesNothingWhenTheItemIsNotTheListedFolder) {
    struct Case {
        const char* label;
        std::function<void(MemoryFileSystem&)> change;
        TreeResult expected;
    };
    const Case cases[] = {
        {"gone", [](MemoryFileSystem& f) { f.Erase(kItem); }, TreeResult::AlreadyGone},
        {"another folder",
         [](MemoryFileSystem& f) {
             f.Erase(kItem);
             f.AddFile(kItem + "/new", "n");
         },
         TreeResult::Changed},
        {"now a file",
         [](MemoryFileSystem& f) {
             f.Erase(kItem);
             f.AddFile(kItem, "f");
         },
         TreeResult::Changed},
        {"a mount point since", [](MemoryFileSystem& f) { f.MountAt(kItem); }, TreeResult::Changed},
        {"a bind mount since", [](MemoryFileSystem& f) { f.MountAt(kItem, true); },
         TreeResult::NotRemoved},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        MemoryFileSystem local{kUser};
        local.AddFile(kItem + "/content", "c");
        const FileId listed = local.Lstat(kItem)->id;
        c.change(local);
        const auto before = local.Snapshot();

        FsResult<DirHandle> parent = local.OpenDirectory(kFiles);
        ASSERT_TRUE(parent.ok());
        {
            ScopedDir holder(local, parent.value());
            EXPECT_EQ(varnelo::DeleteTree(local, holder.get(), "item", listed), c.expected);
        }
        EXPECT_EQ(local.Snapshot(), before);
        EXPECT_EQ(local.OpenHandles(), 0u);
    }
}

// Another process changes the tree between the look at an entry and the step into it.
TEST_F(DeleteTreeTest, NeverFollowsAFolderSwappedDuringTheWalk) {
    struct Case {
        const char* label;
        std::function<void(MemoryFileSystem&)> swap;
    };
    const Case cases[] = {
        {"for a link to a folder outside",
         [](MemoryFileSystem& f) {
             f.Erase(kItem + "/sub");
             f.AddSymlink(kItem + "/sub", "/outside/data");
         }},
        {"for a folder moved in from outside",
         [](MemoryFileSystem& f) {
             f.Erase(kItem + "/sub");
             f.Rename("/outside/data", kItem + "/sub");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        MemoryFileSystem local{kUser};
        local.AddFile(kItem + "/sub/inner", "i");
        local.AddFile("/outside/data/precious", "keep");
        bool swapped = false;
        local.SetHook([&](FsCall call, const std::string& path) {
            if (!swapped && call == FsCall::OpenChildDirectory && path == kItem + "/sub") {
                swapped = true;
                c.swap(local);
            }
        });

        EXPECT_EQ(DeleteTree(local, kItem), TreeResult::NotRemoved);
        EXPECT_TRUE(swapped);
        const std::string precious =
            local.Exists("/outside/data") ? "/outside/data/precious" : kItem + "/sub/precious";
        EXPECT_EQ(local.Content(precious), "keep");
        EXPECT_EQ(local.OpenHandles(), 0u);
    }
}

TEST_F(DeleteTreeTest, StopsWhenTheFolderItStandsInIsMovedAway) {
    fs.AddFile(kItem + "/a/b/x", "x");
    fs.AddFile(kItem + "/a/later", "l");
    fs.AddFile("/elsewhere/neighbour", "keep");
    fs.SetHook([&](FsCall call, const std::string& path) {
        if (call == FsCall::StatEntry && path == kItem + "/a/b/x")
            fs.Rename(kItem + "/a/b", "/elsewhere/b");
    });

    EXPECT_EQ(Delete(), TreeResult::NotRemoved);
    // What was listed inside the moved folder may go; nothing beside it may.
    EXPECT_EQ(fs.Content("/elsewhere/neighbour"), "keep");
    EXPECT_TRUE(fs.Exists("/elsewhere/b"));
    for (const test::CallRecord& call : fs.Calls())
        if (test::Mutates(call.call)) {
            EXPECT_TRUE(InItem(call.path) || call.path == "/elsewhere/b/x") << call.path;
        }
    EXPECT_EQ(fs.OpenHandles(), 0u);
}

TEST_F(DeleteTreeTest, KeepsFewFoldersOpenInADeepTree) {
    std::string path = kItem;
    for (int level = 0; level < 1000; ++level) {
        path += "/d";
        fs.AddDirectory(path);
    }
    fs.AddFile(path + "/bottom", "b");

    EXPECT_EQ(Delete(), TreeResult::Removed);
    EXPECT_FALSE(fs.Exists(kItem));
    EXPECT_LE(fs.MostOpenHandles(), 3u);
    ExpectOnlyItemChanged();
}

}  // namespace
}  // namespace varnelo
