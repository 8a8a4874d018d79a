#pragma once

#include <cstdint>

namespace varnelo {

// Identity of a file-system object: what the list saw must be what gets removed.
struct FileId {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    friend bool operator==(const FileId&, const FileId&) = default;
};

}  // namespace varnelo
