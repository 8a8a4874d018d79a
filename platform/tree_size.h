#pragma once

#include <cstdint>

#include "platform/unique_fd.h"

namespace varnelo {

// Sums st_size of every non-directory in the tree below the open directory, without
// following links or leaving its device. One directory is open at a time and the way
// back up is "..", checked against the inode seen on the way down, so neither depth nor
// the open-file limit bounds the tree. A tree that moves while it is counted gives what
// was seen so far.
std::uint64_t TreeSize(UniqueFd dir);

}  // namespace varnelo
