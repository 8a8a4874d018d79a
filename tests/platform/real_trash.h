#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <system_error>

#include "core/file_id.h"
#include "core/kill_item.h"
#include "core/moment.h"
#include "platform/posix_file_system.h"
#include "tests/support/sandbox.h"

namespace varnelo::test {

inline FileId IdOf(const std::filesystem::path& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return {};
    return {.device = st.st_dev, .inode = st.st_ino};
}

inline std::string TrashInfoText(const std::string& originalPath, const std::string& date) {
    return "[Trash Info]\nPath=" + originalPath + "\nDeletionDate=" + date + "\n";
}

// Every object below dir, links not followed: kind, mode and content or target. Equal
// listings mean nothing below dir changed.
inline std::map<std::string, std::string> Listing(const std::filesystem::path& dir) {
    namespace fs = std::filesystem;
    std::map<std::string, std::string> out;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        struct stat st {};
        lstat(it->path().c_str(), &st);
        std::string what = std::to_string(st.st_mode) + " " + std::to_string(st.st_ino) + " ";
        if (S_ISLNK(st.st_mode))
            what += fs::read_symlink(it->path(), ec).string();
        else if (S_ISREG(st.st_mode))
            what += Sandbox::ReadFile(it->path());
        out[it->path().lexically_relative(dir).string()] = what;
    }
    return out;
}

inline int OpenDescriptors() {
    int count = 0;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator("/proc/self/fd", ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec))
        ++count;
    return count;
}

// Removes <trash>/files/<name> with the identity it has now, after making sure the path
// lies inside the sandbox.
inline KillResult KillInSandbox(const Sandbox& sandbox, const std::filesystem::path& trash,
                                const std::string& name, Moment cutoff) {
    const std::filesystem::path path = trash / "files" / name;
    sandbox.RequireInside(path);
    PosixFileSystem fs;
    return KillItem(fs, {trash.string()}, {.storePath = path.string(), .listedId = IdOf(path)},
                    cutoff);
}

}  // namespace varnelo::test
