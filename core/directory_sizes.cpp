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

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// False when the line cannot be one for `name`; decides without allocating, mostly at
// the name's last byte. Clearing asks this of every line once per item removed, and a
// full parse of each line there cost more than the removals themselves.
bool MayName(std::string_view line, std::string_view name) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || name.empty()) return false;
    // In a line that decodes at all, a '%' three from the end starts the last escape: no
    // '%' can stand inside one.
    char last = line.back();
    if (line.size() >= 3 && line[line.size() - 3] == '%') {
        const int hi = HexValue(line[line.size() - 2]);
        const int lo = HexValue(line[line.size() - 1]);
        if (hi < 0 || lo < 0) return false;
        last = static_cast<char>(hi * 16 + lo);
    }
    if (last != name.back()) return false;
    const std::size_t first = line.find(' ');
    const std::size_t second = first == std::string_view::npos ? first : line.find(' ', first + 1);
    if (second == std::string_view::npos) return false;
    const std::string_view field = line.substr(second + 1);
    std::size_t k = 0;
    for (std::size_t i = 0; i < field.size(); ++i) {
        char c = field[i];
        if (c == '%') {
            if (i + 2 >= field.size()) return false;
            const int hi = HexValue(field[i + 1]);
            const int lo = HexValue(field[i + 2]);
            if (hi < 0 || lo < 0) return false;
            c = static_cast<char>(hi * 16 + lo);
            i += 2;
        }
        if (k == name.size() || name[k] != c) return false;
        ++k;
    }
    return k == name.size();
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
    std::size_t keptUpTo = 0;  // what lies before is in kept, or dropped
    std::size_t at = 0;
    while (at < content.size()) {
        const std::size_t end = content.find('\n', at);
        const std::size_t length = (end == std::string_view::npos ? content.size() : end + 1) - at;
        const std::string_view line =
            content.substr(at, end == std::string_view::npos ? length : length - 1);
        if (MayName(line, name)) {
            const auto entry = ParseLine(line);
            if (entry && entry->name == name) {
                kept.append(content.substr(keptUpTo, at - keptUpTo));
                keptUpTo = at + length;
            }
        }
        at += length;
    }
    kept.append(content.substr(keptUpTo));
    return kept;
}

}  // namespace varnelo
