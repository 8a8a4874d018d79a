#include "platform/trash_restore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>
#include <utility>

#include "core/directory_sizes.h"
#include "platform/posix_file_system.h"
#include "platform/unique_fd.h"

namespace varnelo {

namespace {

constexpr int kDirFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
constexpr std::size_t kDirectorySizesLimit = std::size_t{64} << 20;
constexpr const char* kChanged = "该项目自列出以来已改变或已不在回收站中。";
constexpr const char* kParentNotAFolder = "原位置的上级路径中有一项不是文件夹。";

FileId IdOf(const struct stat& st) {
    return FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

bool PlainName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

// An absolute path whose every component is a plain name; "/" itself is not one.
bool CleanAbsolute(std::string_view path) {
    if (path.size() < 2 || path.front() != '/') return false;
    std::size_t start = 1;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos) end = path.size();
        if (!PlainName(path.substr(start, end - start))) return false;
        start = end + 1;
    }
    return true;
}

std::string DirName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

struct StoreLocation {
    std::string trashDir;
    std::string name;
};

// The path must be exactly <trashDir>/files/<name> for one of the trash directories.
std::optional<StoreLocation> Locate(const std::vector<std::string>& trashDirs,
                                    std::string_view storePath) {
    for (const std::string& candidate : trashDirs) {
        std::string_view dir = candidate;
        while (dir.size() > 1 && dir.back() == '/') dir.remove_suffix(1);
        if (!CleanAbsolute(dir)) continue;
        std::string prefix(dir);
        prefix += "/files/";
        if (!storePath.starts_with(prefix)) continue;
        const std::string_view name = storePath.substr(prefix.size());
        if (!PlainName(name)) continue;
        return StoreLocation{.trashDir = std::string(dir), .name = std::string(name)};
    }
    return std::nullopt;
}

RestoreOutcome Outcome(RestoreResult result, std::string message) {
    return {.result = result, .message = std::move(message)};
}

RestoreOutcome FromErrno(int error, const std::string& what) {
    switch (error) {
        case EEXIST:
        case ENOTEMPTY:
            return Outcome(RestoreResult::Occupied, "原位置已有同名的文件或文件夹。");
        case EXDEV:
            return Outcome(RestoreResult::CrossDevice,
                           "原位置在另一个文件系统上，无法直接移回（本程序不复制后删除）。");
        default:
            return Outcome(RestoreResult::Failed, what + std::strerror(error));
    }
}

// Without RENAME_NOREPLACE support (some network and FUSE file systems) the place is
// checked once more just before a plain rename. A file or an empty folder put there in
// between would still be replaced; rename() never replaces a non-empty folder.
int RenameWithoutReplacing(int fromDir, const char* from, int toDir, const char* to) {
    if (renameat2(fromDir, from, toDir, to, RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return -1;
    struct stat st {};
    if (fstatat(toDir, to, &st, AT_SYMLINK_NOFOLLOW) == 0) {
        errno = EEXIST;
        return -1;
    }
    if (errno != ENOENT) return -1;
    return renameat(fromDir, from, toDir, to);
}

void RemoveCreated(const std::vector<std::string>& created) {
    for (auto it = created.rbegin(); it != created.rend(); ++it) ::rmdir(it->c_str());
}

// The cache is left as it is when it cannot be read: it is only a cache.
void DropDirectorySize(const std::string& trashDir, const std::string& name) {
    PosixFileSystem fs;
    FsResult<DirHandle> dir = fs.OpenDirectory(trashDir);
    if (!dir.ok()) return;
    ScopedDir trash(fs, dir.value());
    FsResult<std::string> content =
        fs.ReadSmallFile(trash.get(), "directorysizes", kDirectorySizesLimit);
    if (!content.ok()) return;
    const std::string rest = RemoveDirectorySizeEntry(content.value(), name);
    if (rest != content.value()) (void)fs.ReplaceSmallFile(trash.get(), "directorysizes", rest);
}

}  // namespace

RestoreOutcome RestoreItem(const std::vector<std::string>& trashDirs, const RestoreTarget& target) {
    const std::optional<StoreLocation> where = Locate(trashDirs, target.storePath);
    if (!where) return Outcome(RestoreResult::Failed, "该项目不在回收站的文件夹中。");
    const std::string& name = where->name;
    const std::string infoName = name + ".trashinfo";
    const std::string& destination = target.originalPath;
    if (!CleanAbsolute(destination))
        return Outcome(RestoreResult::UnknownOrigin, "回收站没有记录该项目的原位置。");
    const std::string parent = DirName(destination);
    const std::string leaf = destination.substr(destination.rfind('/') + 1);

    // The home trash may be a link; files/ and info/ below it may not.
    const UniqueFd trash(open(where->trashDir.c_str(), kDirFlags));
    if (!trash) return FromErrno(errno, "无法打开回收站：");
    const UniqueFd files(openat(trash.get(), "files", kDirFlags | O_NOFOLLOW));
    if (!files && errno != ENOENT) return FromErrno(errno, "无法打开回收站：");
    const UniqueFd info(openat(trash.get(), "info", kDirFlags | O_NOFOLLOW));
    if (!info && errno != ENOENT) return FromErrno(errno, "无法打开回收站：");
    struct stat entry {};
    struct stat infoSt {};
    if (!files || !info || fstatat(files.get(), name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0 ||
        IdOf(entry) != target.listedId ||
        fstatat(info.get(), infoName.c_str(), &infoSt, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(infoSt.st_mode))
        return Outcome(RestoreResult::Changed, kChanged);

    // lstat: a link, even one that leads nowhere, occupies the place.
    struct stat st {};
    if (lstat(destination.c_str(), &st) == 0)
        return Outcome(RestoreResult::Occupied, "原位置已有同名的文件或文件夹。");
    if (errno == ENOTDIR) return Outcome(RestoreResult::Failed, kParentNotAFolder);
    if (errno != ENOENT) return FromErrno(errno, "无法查看原位置：");

    // The nearest folder that exists decides the file system the item would land on;
    // refusing here saves making folders that would only be removed again.
    std::vector<std::string> missing;
    std::string existing = parent;
    while (stat(existing.c_str(), &st) != 0) {
        if (errno != ENOENT) {
            if (errno == ENOTDIR) return Outcome(RestoreResult::Failed, kParentNotAFolder);
            return FromErrno(errno, "无法查看原位置：");
        }
        missing.push_back(existing);
        existing = DirName(existing);
    }
    if (!S_ISDIR(st.st_mode)) return Outcome(RestoreResult::Failed, kParentNotAFolder);
    if (st.st_dev != entry.st_dev) return FromErrno(EXDEV, {});

    std::vector<std::string> created;
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (::mkdir(it->c_str(), 0777) == 0) {
            created.push_back(*it);
            continue;
        }
        const int error = errno;
        if (error == EEXIST && stat(it->c_str(), &st) == 0 && S_ISDIR(st.st_mode)) continue;
        RemoveCreated(created);
        return FromErrno(error, "无法重新创建原来的文件夹：");
    }

    const UniqueFd parentFd(open(parent.c_str(), kDirFlags));
    if (!parentFd ||
        RenameWithoutReplacing(files.get(), name.c_str(), parentFd.get(), leaf.c_str()) != 0) {
        const int error = errno;
        RemoveCreated(created);
        if (error == ENOENT) return Outcome(RestoreResult::Changed, kChanged);
        return FromErrno(error, "无法移回原位置：");
    }

    // Only now that the item is back: a failed move keeps the record that restores it.
    const bool infoRemoved = unlinkat(info.get(), infoName.c_str(), 0) == 0 || errno == ENOENT;
    const int infoError = errno;
    DropDirectorySize(where->trashDir, name);
    if (!infoRemoved)
        return Outcome(
            RestoreResult::RestoredInfoKept,
            std::string("项目已还原，但无法删除它在回收站中的记录：") + std::strerror(infoError));
    return Outcome(RestoreResult::Restored, {});
}

}  // namespace varnelo
