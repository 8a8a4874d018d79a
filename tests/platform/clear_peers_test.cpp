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
#include "tests/support/sandbox.h"

extern char** environ;

namespace varnelo {
namespace {

namespace fs = std::filesystem;
using test::Sandbox;

// Everything trashed today is old against this.
const Moment kFarFuture = Day{std::chrono::year{2100} / std::chrono::January / 1};

struct ToolRun {
    int status = -1;  // exit status; -1 when it could not run or was killed
    std::string out;
};

// Runs a program with the sandbox's environment, capturing its standard output.
ToolRun RunTool(const std::vector<std::string>& args, bool quiet = false) {
    ToolRun run;
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (quiet) posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned == 0) {
        char buffer[4096];
        for (ssize_t got; (got = read(out[0], buffer, sizeof buffer)) > 0;)
            run.out.append(buffer, got);
        int status = 0;
        if (waitpid(pid, &status, 0) == pid && WIFEXITED(status)) run.status = WEXITSTATUS(status);
    }
    close(out[0]);
    return run;
}

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
