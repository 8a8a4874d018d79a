#include "tests/support/private_mounts.h"

#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace varnelo::test {

std::optional<std::string> InPrivateMounts(const std::function<std::string()>& body) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return std::nullopt;
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipeFds[0]);
        if (unshare(CLONE_NEWNS) != 0 ||
            mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            _exit(2);
        const std::string text = body();
        const bool sent =
            write(pipeFds[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
        _exit(sent ? 0 : 1);
    }
    close(pipeFds[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t n; pid > 0 && (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    close(pipeFds[0]);
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return std::nullopt;
    return text;
}

}  // namespace varnelo::test
