#include "bench/peers.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

extern char** environ;

namespace varnelo::bench {

namespace {

// Reads both pipes to their end, counting the lines of the first and keeping the start
// of the second.
void Drain(int outFd, int errFd, std::size_t& lines, std::string& errors) {
    pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    char buffer[65536];
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        for (pollfd& p : fds) {
            if (p.fd < 0 || p.revents == 0) continue;
            const ssize_t got = ::read(p.fd, buffer, sizeof buffer);
            if (got <= 0) {
                p.fd = -1;
                continue;
            }
            if (&p == &fds[0]) {
                for (ssize_t i = 0; i < got; ++i) lines += buffer[i] == '\n';
            } else if (errors.size() < 512) {
                errors.append(buffer, std::size_t(got));
            }
        }
    }
}

std::optional<std::string> FindInPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string rest = path != nullptr ? path : "/usr/bin:/bin";
    while (!rest.empty()) {
        const std::size_t colon = rest.find(':');
        const std::string dir = rest.substr(0, colon);
        rest.erase(0, colon == std::string::npos ? rest.size() : colon + 1);
        const std::string candidate = (dir.empty() ? "." : dir) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return std::nullopt;
}

// The interpreter trash-cli's own scripts start, so that its modules are found.
std::optional<std::string> TrashCliPython() {
    static const std::optional<std::string> python = []() -> std::optional<std::string> {
        const auto script = FindInPath("trash-list");
        if (!script) return std::nullopt;
        std::ifstream in(*script);
        std::string first;
        std::getline(in, first);
        if (!first.starts_with("#!")) return std::nullopt;
        std::string interpreter = first.substr(2);
        while (!interpreter.empty() && interpreter.front() == ' ') interpreter.erase(0, 1);
        if (interpreter.find(' ') != std::string::npos) return std::nullopt;
        // Only the layout known to take its mount points from this one function qualifies.
        const ToolRun probe = RunTool(
            {interpreter, "-c",
             "import trashcli.list_mount_points as m, trashcli.cmds as c\n"
             "assert callable(m.mount_points) and callable(c.list) and callable(c.empty)\n"});
        if (probe.status != 0) return std::nullopt;
        return interpreter;
    }();
    return python;
}

constexpr const char* kNoVolumes =
    "import sys\n"
    "import trashcli.list_mount_points as m\n"
    "m.mount_points = lambda: []\n"
    "import trashcli.cmds as c\n";

}  // namespace

ToolRun RunTool(const std::vector<std::string>& args) {
    ToolRun run;
    int out[2];
    int err[2];
    if (pipe2(out, O_CLOEXEC) != 0) return run;
    if (pipe2(err, O_CLOEXEC) != 0) {
        ::close(out[0]);
        ::close(out[1]);
        return run;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    if (spawned == 0) {
        std::string errors;
        Drain(out[0], err[0], run.lines, errors);
        int status = 0;
        rusage usage{};
        if (wait4(pid, &status, 0, &usage) == pid && WIFEXITED(status))
            run.status = WEXITSTATUS(status);
        run.cpuSeconds = double(usage.ru_utime.tv_sec) + usage.ru_utime.tv_usec / 1e6 +
                         double(usage.ru_stime.tv_sec) + usage.ru_stime.tv_usec / 1e6;
        run.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        run.firstError = errors.substr(0, errors.find('\n'));
    }
    ::close(out[0]);
    ::close(err[0]);
    return run;
}

std::optional<std::vector<std::string>> ConfinedTrashList() {
    const auto python = TrashCliPython();
    if (!python) return std::nullopt;
    return std::vector<std::string>{
        *python, "-c", std::string(kNoVolumes) + "sys.argv = ['trash-list']\nc.list()\n"};
}

std::optional<std::vector<std::string>> ConfinedTrashEmpty(int days) {
    const auto python = TrashCliPython();
    if (!python) return std::nullopt;
    return std::vector<std::string>{*python, "-c",
                                    std::string(kNoVolumes) + "sys.exit(c.empty(['trash-empty', '" +
                                        std::to_string(days) + "']))\n"};
}

std::vector<std::string> RemoveListed(const std::string& listFile) {
    return {"xargs", "-0", "-a", listFile, "rm", "-rf", "--"};
}

void WriteNulList(const std::string& listFile, const std::vector<std::string>& paths) {
    std::ofstream out(listFile, std::ios::binary | std::ios::trunc);
    for (const std::string& path : paths) out << path << '\0';
    if (!out) throw std::runtime_error("cannot write " + listFile);
}

}  // namespace varnelo::bench
