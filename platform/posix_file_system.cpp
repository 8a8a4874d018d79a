#include "platform/posix_file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace varnelo {

namespace {

int Fd(DirHandle dir) { return static_cast<int>(dir.value); }

FsCode FromErrno(int error) {
    switch (error) {
        case ENOENT:
            return FsCode::NotFound;
        case ENOTDIR:
            return FsCode::NotDirectory;
        case EACCES:
        case EPERM:
            return FsCode::AccessDenied;
        case ENOTEMPTY:
        case EEXIST:
            return FsCode::NotEmpty;
        default:
            return FsCode::Failed;
    }
}

FsStatus StatusOf(int rc) { return {rc == 0 ? FsCode::Ok : FromErrno(errno)}; }

// Callers hand over single names; anything that would make the kernel walk a path is
// refused here as well.
bool PlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

// A folder whose owner may not read it can still be opened as O_PATH (search on the
// parent suffices), verified, and given its rights back.
FsResult<DirHandle> OpenDirAt(int at, const char* name, int extraFlags) {
    int fd = openat(at, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | extraFlags);
    if (fd < 0 && errno == EACCES)
        fd = openat(at, name, O_PATH | O_DIRECTORY | O_CLOEXEC | extraFlags);
    if (fd < 0) {
        // With O_NOFOLLOW a link in place of the folder shows as ELOOP.
        if (errno == ELOOP && (extraFlags & O_NOFOLLOW) != 0) return FsCode::NotDirectory;
        return FromErrno(errno);
    }
    return DirHandle{static_cast<std::uint64_t>(fd)};
}

EntryKind KindOf(unsigned mode) {
    if (S_ISDIR(mode)) return EntryKind::Directory;
    if (S_ISREG(mode)) return EntryKind::File;
    if (S_ISLNK(mode)) return EntryKind::Symlink;
    return EntryKind::Other;
}

FsResult<EntryStatus> StatAt(int at, const char* name, int flags) {
    flags |= AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT;
    struct statx sx {};
    if (statx(at, name, flags, STATX_TYPE | STATX_MODE | STATX_UID | STATX_INO, &sx) == 0) {
        return EntryStatus{
            .kind = KindOf(sx.stx_mode),
            .id = {.device = makedev(sx.stx_dev_major, sx.stx_dev_minor), .inode = sx.stx_ino},
            .mode = sx.stx_mode & 07777u,
            .owner = sx.stx_uid,
            .mountRoot = (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0 &&
                         (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0,
        };
    }
    if (errno != ENOSYS) return FromErrno(errno);
    // Without statx only a change of device shows a mount.
    struct stat st {};
    if (fstatat(at, name, &st, flags & ~AT_NO_AUTOMOUNT) != 0) return FromErrno(errno);
    return EntryStatus{.kind = KindOf(st.st_mode),
                       .id = {.device = st.st_dev, .inode = st.st_ino},
                       .mode = st.st_mode & 07777u,
                       .owner = st.st_uid};
}

}  // namespace

FsResult<DirHandle> PosixFileSystem::OpenDirectory(const std::string& path) {
    if (path.empty() || path.front() != '/' || path.find('\0') != std::string::npos)
        return FsCode::Failed;
    return OpenDirAt(AT_FDCWD, path.c_str(), 0);
}

FsResult<DirHandle> PosixFileSystem::OpenChildDirectory(DirHandle dir, const std::string& name) {
    if (!PlainName(name)) return FsCode::Failed;
    return OpenDirAt(Fd(dir), name.c_str(), O_NOFOLLOW);
}

FsResult<DirHandle> PosixFileSystem::OpenParent(DirHandle dir) {
    return OpenDirAt(Fd(dir), "..", O_NOFOLLOW);
}

void PosixFileSystem::Close(DirHandle dir) { ::close(Fd(dir)); }

FsResult<EntryStatus> PosixFileSystem::StatDirectory(DirHandle dir) {
    return StatAt(Fd(dir), "", AT_EMPTY_PATH);
}

FsResult<EntryStatus> PosixFileSystem::StatEntry(DirHandle dir, const std::string& name) {
    if (!PlainName(name)) return FsCode::Failed;
    return StatAt(Fd(dir), name.c_str(), 0);
}

FsResult<std::vector<std::string>> PosixFileSystem::ListEntries(DirHandle dir) {
    const int flags = fcntl(Fd(dir), F_GETFL);
    if (flags < 0) return FromErrno(errno);
    // The stream takes its own descriptor so that the handle stays open. An O_PATH
    // handle cannot be read: open the folder itself through it.
    const int listFd = (flags & O_PATH) != 0
                           ? openat(Fd(dir), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                           : fcntl(Fd(dir), F_DUPFD_CLOEXEC, 0);
    if (listFd < 0) return FromErrno(errno);
    DIR* stream = fdopendir(listFd);
    if (stream == nullptr) {
        const int error = errno;
        ::close(listFd);
        return FromErrno(error);
    }
    // A duplicate shares the read position with the handle.
    rewinddir(stream);
    std::vector<std::string> names;
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(stream);
        if (entry == nullptr) break;
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        names.emplace_back(entry->d_name);
    }
    const int error = errno;
    closedir(stream);
    if (error != 0) return FromErrno(error);
    return names;
}

FsStatus PosixFileSystem::SetMode(DirHandle dir, std::uint32_t mode) {
    if (fchmod(Fd(dir), mode) == 0) return {};
    if (errno != EBADF) return {FromErrno(errno)};
    // An O_PATH descriptor refuses fchmod; its /proc link leads to the very object it
    // holds, whatever has happened to the name since.
    const std::string link = "/proc/self/fd/" + std::to_string(Fd(dir));
    return StatusOf(::chmod(link.c_str(), mode));
}

FsStatus PosixFileSystem::RemoveFile(DirHandle dir, const std::string& name) {
    if (!PlainName(name)) return {FsCode::Failed};
    return StatusOf(unlinkat(Fd(dir), name.c_str(), 0));
}

FsStatus PosixFileSystem::RemoveDirectory(DirHandle dir, const std::string& name) {
    if (!PlainName(name)) return {FsCode::Failed};
    return StatusOf(unlinkat(Fd(dir), name.c_str(), AT_REMOVEDIR));
}

FsResult<std::string> PosixFileSystem::ReadSmallFile(DirHandle dir, const std::string& name,
                                                     std::size_t limit) {
    if (!PlainName(name)) return FsCode::Failed;
    // O_NONBLOCK: a FIFO put in place of the file must not hang the caller.
    const int fd =
        openat(Fd(dir), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return FromErrno(errno == ELOOP ? EINVAL : errno);
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return FsCode::Failed;
    }
    // Sized from fstat, so that a whole file comes in one read.
    const std::size_t most = limit < SIZE_MAX ? limit + 1 : limit;  // one more shows TooLarge
    const std::size_t expected = static_cast<std::size_t>(std::max<off_t>(st.st_size, 0));
    std::string content(std::min(std::max(expected + 1, std::size_t{4096}), most), '\0');
    std::size_t length = 0;
    for (;;) {
        if (length == content.size()) {
            if (length > limit) {
                ::close(fd);
                return FsCode::TooLarge;
            }
            content.resize(std::min(content.size() * 2, most));
        }
        const ssize_t got = ::read(fd, content.data() + length, content.size() - length);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            const int error = errno;
            ::close(fd);
            return FromErrno(error);
        }
        if (got == 0) break;
        const bool shortRead = static_cast<std::size_t>(got) < content.size() - length;
        length += static_cast<std::size_t>(got);
        // A regular file that has given all fstat promised ends at a short read; that
        // saves a system call per file, and clearing reads two files per item. A size of
        // 0 promises nothing: kernel files show it and hand out their text in pieces.
        if (shortRead && expected > 0 && length >= expected) break;
    }
    ::close(fd);
    if (length > limit) return FsCode::TooLarge;
    content.resize(length);
    return content;
}

FsStatus PosixFileSystem::ReplaceSmallFile(DirHandle dir, const std::string& name,
                                           std::string_view content) {
    if (!PlainName(name)) return {FsCode::Failed};
    const int at = Fd(dir);
    mode_t mode = 0600;
    struct stat old {};
    if (fstatat(at, name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0) {
        if (!S_ISREG(old.st_mode)) return {FsCode::Failed};
        mode = old.st_mode & 07777;
    } else if (errno != ENOENT) {
        return {FromErrno(errno)};
    }

    static std::atomic<unsigned> serial{0};
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        const auto clock = std::chrono::steady_clock::now().time_since_epoch().count();
        char suffix[64];
        std::snprintf(suffix, sizeof suffix, ".%d.%u.%llx", static_cast<int>(getpid()), serial++,
                      static_cast<unsigned long long>(clock));
        temp = "." + name + suffix;
        fd = openat(at, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST) return {FromErrno(errno)};
    }
    if (fd < 0) return {FsCode::Failed};

    bool written = true;
    for (std::size_t done = 0; done < content.size();) {
        const ssize_t put = ::write(fd, content.data() + done, content.size() - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            written = false;
            break;
        }
        done += static_cast<std::size_t>(put);
    }
    written = written && fchmod(fd, mode) == 0 && fsync(fd) == 0;
    written = ::close(fd) == 0 && written;
    if (!written) {
        unlinkat(at, temp.c_str(), 0);
        return {FsCode::Failed};
    }
    if (renameat(at, temp.c_str(), at, name.c_str()) != 0) {
        const int error = errno;
        unlinkat(at, temp.c_str(), 0);
        return {FromErrno(error)};
    }
    return {};
}

std::uint32_t PosixFileSystem::EffectiveUser() const { return geteuid(); }

}  // namespace varnelo
