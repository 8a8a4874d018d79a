#pragma once

#include <string>
#include <vector>

#include "core/file_id.h"

namespace varnelo {

// What the list showed of the item to be put back.
struct RestoreTarget {
    std::string storePath;     // <trashDir>/files/<entry>, exact bytes
    FileId listedId;           // identity of that entry when the list was read
    std::string originalPath;  // absolute, as read from the item's .trashinfo
};

enum class RestoreResult {
    Restored,
    RestoredInfoKept,  // the item is back, but its .trashinfo could not be removed
    Occupied,          // something, a link included, stands at the original location
    CrossDevice,       // the original location is on another file system
    UnknownOrigin,     // no usable original location
    Changed,           // the entry or its .trashinfo is no longer what the list showed
    Failed,
};

struct RestoreOutcome {
    RestoreResult result = RestoreResult::Failed;
    std::string message;  // UTF-8, for the user; empty when restored
};

// Moves a trash item back to its original location with one rename, recreating
// missing parent folders, and only then drops its .trashinfo and its line in the
// folder-size cache. Nothing is replaced and nothing is copied: an occupied place or
// another file system is refused, and folders made for a move that then fails are
// removed again. trashDirs are the user's trash directories; a path not directly inside
// one of their files/ folders is refused.
[[nodiscard]] RestoreOutcome RestoreItem(const std::vector<std::string>& trashDirs,
                                         const RestoreTarget& target);

}  // namespace varnelo
