// Items trashed by other programs are cleared, and those programs agree they are gone.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "core/kill_item.h"
#include "tests/platform/real_trash.h"
#include "tests/support/run_tool.h"
#include "tests/support/sandbox.h"

extern char** environ;

namespace varnelo {
namespace {

namespace fs = std::filesystem;
using test::RunTool;
using test::ToolRun;
using test::Sandbox;

// Everything trashed today is old against this.
const Moment kFarFuture = Day{std::chrono::year{2100} / std::chrono::January / 1};

class ClearPeersTest : public testing::Test {
  protected:
    ClearPeersTest() : trash(sandbox.homeTrash()), docs(sandbox.home() / "docs") {
        Sandbox::WriteFile(docs / "report.txt", "report");
        Sandbox::WriteFile(docs / "name with spaces", "spaces");
        Sandbox::WriteFile(docs / "tree/sub/deeper/file", "deep");
        Sandbox::WriteFile(docs / "keep/precious", "keep");
        fs::create_directory_symlink(docs / "keep", docs / "tree/sub/to-keep");
    }

    std::vector<std::string> Originals() const {
        return {(docs / "report.txt").string(), (docs / "name with spaces").string(),
                (docs / "tree").string()};
    }

    // Clears every entry the peer put in files/, with the identity it has there.
    void ClearAll() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(trash / "files"))
            names.push_back(entry.path().filename());
        EXPECT_EQ(names.size(), 3u);
        for (const std::string& name : names) {
            SCOPED_TRACE(name);
            EXPECT_EQ(test::KillInSandbox(sandbox, trash, name, kFarFuture), KillResult::Removed);
        }
        EXPECT_TRUE(fs::is_empty(trash / "files"));
        EXPECT_TRUE(fs::is_empty(trash / "info"));
        EXPECT_EQ(Sandbox::ReadFile(docs / "keep/precious"), "keep");
    }

    // trash-list also reads volume trashes outside the sandbox: only our own items count.
    void ExpectTrashListShowsNone() const {
        const ToolRun listed = RunTool({"trash-list"});
        EXPECT_EQ(listed.status, 0);
        EXPECT_EQ(listed.out.find(sandbox.root().string()), std::string::npos) << listed.out;
    }

    Sandbox sandbox;
    fs::path trash;
    fs::path docs;
};

TEST_F(ClearPeersTest, ClearsWhatTrashPutTrashed) {
    std::vector<std::string> args = {"trash-put"};
    for (const std::string& path : Originals()) args.push_back(path);
    ASSERT_EQ(RunTool(args).status, 0);
    const ToolRun before = RunTool({"trash-list"});
    ASSERT_NE(before.out.find((docs / "tree").string()), std::string::npos) << before.out;

    ClearAll();
    ExpectTrashListShowsNone();
}

TEST_F(ClearPeersTest, ClearsWhatGioTrashed) {
    // The local back end only: no desktop session is started for trashing.
    std::vector<std::string> args = {"env", "GIO_USE_VFS=local", "gio", "trash"};
    for (const std::string& path : Originals()) args.push_back(path);
    ASSERT_EQ(RunTool(args).status, 0);

    // Listing trash:// needs the trash back end of gvfs on a private session bus.
    const std::vector<std::string> gioList = {"timeout", "60",   "dbus-run-session", "--",
                                              "gio",     "list", "trash://"};
    const ToolRun listedBefore = RunTool(gioList, true);
    const bool gioLists =
        listedBefore.status == 0 && listedBefore.out.find("report.txt") != std::string::npos;

    ClearAll();
    ExpectTrashListShowsNone();

    if (!gioLists)
        GTEST_SKIP()
            << "gio cannot list trash:// here (gvfs trash back end unavailable); exit status "
            << listedBefore.status;
    const ToolRun listedAfter = RunTool(gioList, true);
    EXPECT_EQ(listedAfter.status, 0);
    EXPECT_EQ(listedAfter.out, "");
}

}  // namespace
}  // namespace varnelo
