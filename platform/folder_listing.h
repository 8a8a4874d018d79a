#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/file_id.h"

namespace varnelo {

// One step down into a folder: the entry's name and the identity it had when listed.
struct FolderStep {
    std::string name;
    FileId id;
};

// A folder inside a trash item: the item's entry in files/, then the steps below it
// (none: the item itself).
struct FolderPlace {
    std::string itemPath;
    FileId itemId;
    std::vector<FolderStep> steps;
};

struct FolderEntry {
    std::string name;             // the file system's exact bytes
    std::uint64_t sizeBytes = 0;  // st_size of a non-directory; 0 for a folder
    bool isDirectory = false;     // the entry itself, not followed
    bool isSymlink = false;
    std::int64_t modifiedSeconds = 0;
    FileId id;
};

enum class ListingResult {
    Listed,
    Changed,  // a step is gone, is a link now, or is no longer the object that was listed
    Failed,   // a step or the folder could not be read
};

struct FolderListing {
    ListingResult result = ListingResult::Failed;
    std::vector<FolderEntry> entries;  // folders first, then by name in natural order
};

// Reaches the place one step at a time, each opened without following a link and
// checked against the identity that was listed, and lists it.
FolderListing ListFolder(const FolderPlace& place);

// Total st_size of the non-directories in the tree at the place; links are not followed
// and the file system is not left. nullopt when the place cannot be reached as listed.
std::optional<std::uint64_t> FolderTreeSize(const FolderPlace& place);

}  // namespace varnelo
