#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/moment.h"

namespace varnelo::bench {

// Deletion dates lie 1..365 days before today, never exactly kCutoffDays days before, so
// that a cutoff at 00:00 of that day and one at this very time of that day pick the same
// items: those older than kCutoffDays days, about half.
inline constexpr int kCutoffDays = 183;

struct TrashShape {
    int items = 10000;
    int foldersPerMille = 20;     // share of the items that are folders
    int itemsPerBigTree = 10000;  // one folder of kBigTreeFiles files per this many items
};

struct BuiltTrash {
    std::string trashDir;
    int itemCount = 0;
    int folderCount = 0;
    int fileCount = 0;  // every non-directory, those inside folders included
    int oldCount = 0;
    int oldFolderCount = 0;
    std::int64_t totalKb = 0;  // as the list sums it: each item rounded up to whole KB
    std::int64_t oldKb = 0;
    // <trash>/files/<name> and <trash>/info/<name>.trashinfo of every old item.
    std::vector<std::string> oldPaths;
};

// Writes a trash at trashDir (created; it must not exist) as a desktop would leave it:
// files/, info/ with a .trashinfo per item and a directorysizes cache line per folder.
// The same shape and today give byte-identical trashes, timestamps included. Folders
// hold a link to keepTarget, which clearing must leave alone.
BuiltTrash BuildTrash(const std::string& trashDir, const TrashShape& shape, Day today,
                      const std::string& keepTarget);

}  // namespace varnelo::bench
