#include "core/directory_sizes.h"

#include <limits>
#include <optional>

#include "core/trash_info.h"

namespace varnelo {

namespace {

template <typename Int>
bool TakeInteger(std::string_view& s, Int& out) {
    bool negative = false;
    if constexpr (std::numeric_limits<Int>::is_signed) {
        if (!s.empty() && s.front() == '-') {
            negative = true;
            s.remove_prefix(1);
        }
    }
    std::size_t i = 0;
    Int value = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        const Int digit = static_cast<Int>(s[i] - '0');
        // Accumulating towards the sign keeps the most negative value reachable.
        if (negative) {
            if (value < (std::numeric_limits<Int>::min() + digit) / 10) return false;
            value = static_cast<Int>(value * 10 - digit);
        } else {
            if (value > (std::numeric_limits<Int>::max() - digit) / 10) return false;
            value = static_cast<Int>(value * 10 + digit);
        }
    }
    if (i == 0) return false;
    s.remove_prefix(i);
    out = value;
    return true;
}

// One line without its '\n'.
std::optional<DirectorySizeEntry> ParseLine(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    DirectorySizeEntry entry;
    if (!TakeInteger(line, entry.sizeBytes)) return std::nullopt;
    if (line.empty() || line.front() != ' ') return std::nullopt;
    line.remove_prefix(1);
    if (!TakeInteger(line, entry.mtime)) return std::nullopt;
    if (line.empty() || line.front() != ' ') return std::nullopt;
    line.remove_prefix(1);
    auto name = PercentDecode(line);
    // Anything else could not name an entry directly inside files/.
    if (!name || name->empty() || *name == "." || *name == ".." ||
        name->find('/') != std::string::npos)
        return std::nullopt;
    entry.name = std::move(*name);
    return entry;
}

}  // namespace

std::vector<DirectorySizeEntry> ParseDirectorySizes(std::string_view content) {
    std::vector<DirectorySizeEntry> entries;
    while (!content.empty()) {
        const std::size_t end = content.find('\n');
        if (auto entry = ParseLine(content.substr(0, end))) entries.push_back(std::move(*entry));
        content.remove_prefix(end == std::string_view::npos ? content.size() : end + 1);
    }
    return entries;
}

bool DirectorySizeIsCurrent(const DirectorySizeEntry& entry, std::int64_t infoMtimeSeconds,
                            std::int64_t infoMtimeMilliseconds) {
    return entry.mtime == infoMtimeSeconds || entry.mtime == infoMtimeMilliseconds;
}

std::string RemoveDirectorySizeEntry(std::string_view content, std::string_view name) {
    std::string kept;
    kept.reserve(content.size());
    while (!content.empty()) {
        const std::size_t end = content.find('\n');
        const std::size_t length = end == std::string_view::npos ? content.size() : end + 1;
        const std::string_view line = content.substr(0, length);
        const auto entry = ParseLine(line.substr(0, end));
        if (!entry || entry->name != name) kept.append(line);
        content.remove_prefix(length);
    }
    return kept;
}

}  // namespace varnelo
