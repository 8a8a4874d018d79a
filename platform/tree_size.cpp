#include "platform/tree_size.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <string>
#include <utility>
#include <vector>

namespace varnelo {

namespace {

constexpr int kChildFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW;

struct Level {
    ino_t inode;
    std::vector<std::string> subdirs;
    std::size_t next = 0;
};

// Adds the sizes of the non-directories in fd and notes its subdirectories.
void ListLevel(int fd, dev_t device, Level& level, std::uint64_t& total) {
    const int copy = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (copy < 0) return;
    DIR* dir = fdopendir(copy);
    if (dir == nullptr) {
        ::close(copy);
        return;
    }
    while (const dirent* entry = readdir(dir)) {
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
        // A directory's device is checked once it is open, so it needs no stat here.
        if (entry->d_type == DT_DIR) {
            level.subdirs.emplace_back(name);
            continue;
        }
        struct stat st {};
        if (fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            if (st.st_dev == device) level.subdirs.emplace_back(name);
        } else {
            total += static_cast<std::uint64_t>(st.st_size);
        }
    }
    closedir(dir);
}

}  // namespace

std::uint64_t TreeSize(UniqueFd fd) {
    struct stat st {};
    if (!fd || fstat(fd.get(), &st) != 0) return 0;
    const dev_t device = st.st_dev;
    std::uint64_t total = 0;
    std::vector<Level> stack;
    stack.push_back(Level{st.st_ino, {}});
    ListLevel(fd.get(), device, stack.back(), total);
    while (!stack.empty()) {
        Level& top = stack.back();
        if (top.next < top.subdirs.size()) {
            const std::string child = std::move(top.subdirs[top.next++]);
            UniqueFd childFd(openat(fd.get(), child.c_str(), kChildFlags));
            if (!childFd || fstat(childFd.get(), &st) != 0 || st.st_dev != device) continue;
            fd = std::move(childFd);
            stack.push_back(Level{st.st_ino, {}});
            ListLevel(fd.get(), device, stack.back(), total);
            continue;
        }
        stack.pop_back();
        if (stack.empty()) break;
        UniqueFd parent(openat(fd.get(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!parent || fstat(parent.get(), &st) != 0 || st.st_dev != device ||
            st.st_ino != stack.back().inode)
            break;
        fd = std::move(parent);
    }
    return total;
}

}  // namespace varnelo
