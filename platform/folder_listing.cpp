#include "platform/folder_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "core/natural_order.h"

namespace varnelo {

namespace {

constexpr int kDirFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            if (fd_ >= 0) ::close(fd_);
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

  private:
    int fd_;
};

FileId IdOf(const struct stat& st) {
    return FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

bool IsDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

bool PlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

ListingResult FailureOf(int error) {
    // A step that vanished or turned into a link or a file is a change, not a fault.
    return error == ENOENT || error == ELOOP || error == ENOTDIR ? ListingResult::Changed
                                                                 : ListingResult::Failed;
}

ListingResult CheckedOpen(int at, const char* name, FileId expected, Fd& out) {
    Fd fd(openat(at, name, kDirFlags));
    if (!fd) return FailureOf(errno);
    struct stat st {};
    if (fstat(fd.get(), &st) != 0) return ListingResult::Failed;
    if (IdOf(st) != expected) return ListingResult::Changed;
    out = std::move(fd);
    return ListingResult::Listed;
}

ListingResult OpenPlace(const FolderPlace& place, Fd& out) {
    if (place.itemPath.empty() || place.itemPath.front() != '/' ||
        place.itemPath.find('\0') != std::string::npos)
        return ListingResult::Failed;
    // The path up to files/ may hold links (a home trash moved elsewhere); the item and
    // every step below it may not.
    Fd fd;
    if (ListingResult r = CheckedOpen(AT_FDCWD, place.itemPath.c_str(), place.itemId, fd);
        r != ListingResult::Listed)
        return r;
    for (const FolderStep& step : place.steps) {
        if (!PlainName(step.name)) return ListingResult::Failed;
        Fd next;
        if (ListingResult r = CheckedOpen(fd.get(), step.name.c_str(), step.id, next);
            r != ListingResult::Listed)
            return r;
        fd = std::move(next);
    }
    out = std::move(fd);
    return ListingResult::Listed;
}

struct Level {
    ino_t inode;
    std::vector<std::string> subdirs;
    std::size_t next = 0;
};

void ListLevel(int fd, dev_t device, Level& level, std::uint64_t& total) {
    const int copy = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (copy < 0) return;
    DIR* dir = fdopendir(copy);
    if (dir == nullptr) {
        ::close(copy);
        return;
    }
    while (const dirent* entry = readdir(dir)) {
        if (IsDotOrDotDot(entry->d_name)) continue;
        struct stat st {};
        if (fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            if (st.st_dev == device) level.subdirs.emplace_back(entry->d_name);
        } else {
            total += static_cast<std::uint64_t>(st.st_size);
        }
    }
    closedir(dir);
}

// One directory open at a time, the way back up through ".." checked against the inode
// seen on the way down, so that neither depth nor the open-file limit bounds the tree.
std::uint64_t TreeSize(Fd fd) {
    struct stat st {};
    if (fstat(fd.get(), &st) != 0) return 0;
    const dev_t device = st.st_dev;
    std::uint64_t total = 0;
    std::vector<Level> stack;
    stack.push_back(Level{st.st_ino, {}});
    ListLevel(fd.get(), device, stack.back(), total);
    while (!stack.empty()) {
        Level& top = stack.back();
        if (top.next < top.subdirs.size()) {
            const std::string child = std::move(top.subdirs[top.next++]);
            Fd childFd(openat(fd.get(), child.c_str(), kDirFlags));
            if (!childFd || fstat(childFd.get(), &st) != 0 || st.st_dev != device) continue;
            fd = std::move(childFd);
            stack.push_back(Level{st.st_ino, {}});
            ListLevel(fd.get(), device, stack.back(), total);
            continue;
        }
        stack.pop_back();
        if (stack.empty()) break;
        Fd parent(openat(fd.get(), "..", kDirFlags));
        if (!parent || fstat(parent.get(), &st) != 0 || st.st_dev != device ||
            st.st_ino != stack.back().inode)
            break;  // the tree moved while it was counted; what was seen must do
        fd = std::move(parent);
    }
    return total;
}

}  // namespace

FolderListing ListFolder(const FolderPlace& place) {
    FolderListing listing;
    Fd fd;
    listing.result = OpenPlace(place, fd);
    if (listing.result != ListingResult::Listed) return listing;

    const int copy = fcntl(fd.get(), F_DUPFD_CLOEXEC, 0);
    DIR* dir = copy < 0 ? nullptr : fdopendir(copy);
    if (dir == nullptr) {
        if (copy >= 0) ::close(copy);
        listing.result = ListingResult::Failed;
        return listing;
    }
    errno = 0;
    while (const dirent* entry = readdir(dir)) {
        if (IsDotOrDotDot(entry->d_name)) continue;
        struct stat st {};
        if (fstatat(fd.get(), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        FolderEntry item;
        item.name = entry->d_name;
        item.isDirectory = S_ISDIR(st.st_mode);
        item.isSymlink = S_ISLNK(st.st_mode);
        item.sizeBytes = item.isDirectory ? 0 : static_cast<std::uint64_t>(st.st_size);
        item.modifiedSeconds = static_cast<std::int64_t>(st.st_mtim.tv_sec);
        item.id = IdOf(st);
        listing.entries.push_back(std::move(item));
        errno = 0;
    }
    if (errno != 0) listing.result = ListingResult::Failed;
    closedir(dir);

    std::sort(listing.entries.begin(), listing.entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) {
                  if (a.isDirectory != b.isDirectory) return a.isDirectory;
                  return NaturalLess(a.name, b.name);
              });
    return listing;
}

std::optional<std::uint64_t> FolderTreeSize(const FolderPlace& place) {
    Fd fd;
    if (OpenPlace(place, fd) != ListingResult::Listed) return std::nullopt;
    return TreeSize(std::move(fd));
}

}  // namespace varnelo
