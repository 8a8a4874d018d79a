#include "platform/folder_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "core/natural_order.h"
#include "platform/tree_size.h"
#include "platform/unique_fd.h"

namespace varnelo {

namespace {

constexpr int kDirFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

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

ListingResult CheckedOpen(int at, const char* name, FileId expected, UniqueFd& out) {
    UniqueFd fd(openat(at, name, kDirFlags));
    if (!fd) return FailureOf(errno);
    struct stat st {};
    if (fstat(fd.get(), &st) != 0) return ListingResult::Failed;
    if (IdOf(st) != expected) return ListingResult::Changed;
    out = std::move(fd);
    return ListingResult::Listed;
}

ListingResult OpenPlace(const FolderPlace& place, UniqueFd& out) {
    if (place.itemPath.empty() || place.itemPath.front() != '/' ||
        place.itemPath.find('\0') != std::string::npos)
        return ListingResult::Failed;
    // The path up to files/ may hold links (a home trash moved elsewhere); the item and
    // every step below it may not.
    UniqueFd fd;
    if (ListingResult r = CheckedOpen(AT_FDCWD, place.itemPath.c_str(), place.itemId, fd);
        r != ListingResult::Listed)
        return r;
    for (const FolderStep& step : place.steps) {
        if (!PlainName(step.name)) return ListingResult::Failed;
        UniqueFd next;
        if (ListingResult r = CheckedOpen(fd.get(), step.name.c_str(), step.id, next);
            r != ListingResult::Listed)
            return r;
        fd = std::move(next);
    }
    out = std::move(fd);
    return ListingResult::Listed;
}

}  // namespace

FolderListing ListFolder(const FolderPlace& place) {
    FolderListing listing;
    UniqueFd fd;
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
    UniqueFd fd;
    if (OpenPlace(place, fd) != ListingResult::Listed) return std::nullopt;
    return TreeSize(std::move(fd));
}

}  // namespace varnelo
