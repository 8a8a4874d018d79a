#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/file_id.h"
#include "core/moment.h"

namespace varnelo {

// One entry of a trash directory's files/ folder.
struct TrashItem {
    std::string storePath;            // <trashDir>/files/<entry>, the file system's exact bytes
    std::string entryName;            // the name in files/
    std::string originalPath;         // absolute original location (bytes); empty when unknown
    std::optional<Moment> deletedAt;  // empty: no .trashinfo or unreadable DeletionDate
    std::uint64_t sizeBytes = 0;      // file: st_size; folder: whole tree, links not followed
    bool isDirectory = false;         // the entry itself, not followed
    bool isSymlink = false;
    std::int64_t modifiedSeconds = 0;  // the entry's mtime, seconds since the epoch
    FileId id;                         // st_dev/st_ino of the entry (lstat)
};

struct TrashRoots {
    std::string homeTrash;
    std::vector<std::string> volumeRoots;
};

// homeTrash is $XDG_DATA_HOME/Trash ($HOME/.local/share/Trash when that is unset, empty or
// relative). volumeRoots are the mount points of real file systems, or, when the environment
// variable VARNELO_VOLUME_ROOTS is set (even empty), the ':'-separated list it holds.
TrashRoots DefaultTrashRoots();

// The current user's trash directories, home trash first, then for each volume root
// $topdir/.Trash/$uid and $topdir/.Trash-$uid where they pass the safety checks. Paths as
// given, without a trailing slash; no directory twice.
std::vector<std::string> UsableTrashDirs(const TrashRoots& roots);

struct TrashContents {
    std::vector<std::string> trashDirs;
    std::vector<TrashItem> items;  // folders first, then by display name in natural order
};

// One item per entry of each files/ folder.
TrashContents ReadTrash(const TrashRoots& roots);

// Basename of originalPath, else entryName.
std::string DisplayName(const TrashItem& item);
// Dirname of originalPath, else "".
std::string OriginalFolder(const TrashItem& item);

}  // namespace varnelo
