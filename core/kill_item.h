#pragma once

#include <string>
#include <vector>

#include "core/file_id.h"
#include "core/moment.h"

namespace varnelo {

class FileSystem;

// What the list showed of the item to be removed.
struct KillTarget {
    std::string storePath;  // absolute path of the entry in <trash>/files/, exact bytes
    FileId listedId;        // identity of that entry when the list was read
};

enum class KillResult {
    Removed,      // the entry is verifiably gone; then its .trashinfo and cache line are dropped
    AlreadyGone,  // nothing stood at the path any more; nothing was touched
    NotRemoved,   // refused, changed since listed, or only partly removed
};

// Removes one trash item for good. trashDirs are the user's trash directories (each
// holding files/ and info/); a path not directly inside one of their files/ folders is
// refused. The entry must still be the listed object and its .trashinfo must still give a
// deletion moment before cutoff.
[[nodiscard]] KillResult KillItem(FileSystem& fs, const std::vector<std::string>& trashDirs,
                                  const KillTarget& target, Moment cutoff);

// Removes one item the user picked, whatever its deletion date. Every other rule above
// holds: the path, the identity, the .trashinfo removed only once the entry is gone. An
// entry without a .trashinfo, or a trash without info/, can be removed this way.
[[nodiscard]] KillResult KillPickedItem(FileSystem& fs, const std::vector<std::string>& trashDirs,
                                        const KillTarget& target);

}  // namespace varnelo
