#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace varnelo {

// One line of a trash directory's "directorysizes" cache.
struct DirectorySizeEntry {
    std::uint64_t sizeBytes = 0;
    std::int64_t mtime = 0;  // the .trashinfo's modification time, in seconds or milliseconds
    std::string name;        // percent-decoded entry name in files/
};

// Malformed lines are skipped.
std::vector<DirectorySizeEntry> ParseDirectorySizes(std::string_view content);

// Whether a cached entry still belongs to the .trashinfo with this modification time.
bool DirectorySizeIsCurrent(const DirectorySizeEntry& entry, std::int64_t infoMtimeSeconds,
                            std::int64_t infoMtimeMilliseconds);

// The cache content without the lines for `name`; every other line is kept byte for byte.
std::string RemoveDirectorySizeEntry(std::string_view content, std::string_view name);

}  // namespace varnelo
