#pragma once

#include <string>

#include "core/file_id.h"
#include "core/file_system.h"

namespace varnelo {

enum class TreeResult {
    Removed,      // the directory and everything below it are gone
    AlreadyGone,  // nothing stood at the name; nothing was touched
    Changed,      // the name holds another object than the one expected; nothing was touched
    NotRemoved,   // something stayed; what could be removed is gone
};

// Removes the directory `name` inside parent with everything below it, provided it is
// still the object `expected`. Links below it are removed as links, other file systems
// mounted below it are left alone, and a folder whose owner lacks read, write or search
// rights is given them when the user owns it. The walk keeps one directory open at a
// time and never builds paths, so depth is bounded only by memory.
[[nodiscard]] TreeResult DeleteTree(FileSystem& fs, DirHandle parent, const std::string& name,
                                    FileId expected);

}  // namespace varnelo
