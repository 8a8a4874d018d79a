#include "core/trash_info.h"

#include <chrono>
#include <cstdint>
#include <ctime>

namespace varnelo {

namespace {

using namespace std::chrono;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads exactly `count` ASCII digits from the front of `s`.
bool TakeNumber(std::string_view& s, int count, int& out) {
    if (s.size() < static_cast<std::size_t>(count)) return false;
    int value = 0;
    for (int i = 0; i < count; ++i) {
        const char c = s[static_cast<std::size_t>(i)];
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    s.remove_prefix(static_cast<std::size_t>(count));
    out = value;
    return true;
}

bool TakeChar(std::string_view& s, char c) {
    if (s.empty() || s.front() != c) return false;
    s.remove_prefix(1);
    return true;
}

// "hh", "hhmm" or "hh:mm" after the sign.
bool TakeOffset(std::string_view& s, seconds& out) {
    if (s.empty() || (s.front() != '+' && s.front() != '-')) return false;
    const bool negative = s.front() == '-';
    s.remove_prefix(1);
    int h = 0;
    int m = 0;
    if (!TakeNumber(s, 2, h)) return false;
    if (!s.empty()) {
        TakeChar(s, ':');
        if (!TakeNumber(s, 2, m)) return false;
    }
    if (h > 23 || m > 59) return false;
    out = hours(h) + minutes(m);
    if (negative) out = -out;
    return true;
}

std::optional<Moment> LocalFromUtc(sys_seconds utc) {
    const std::int64_t count = utc.time_since_epoch().count();
    const auto t = static_cast<std::time_t>(count);
    if (static_cast<std::int64_t>(t) != count) return std::nullopt;
    // std::localtime, unlike localtime_r, picks up a changed TZ at every call.
    const std::tm* tm = std::localtime(&t);
    if (tm == nullptr) return std::nullopt;
    const year_month_day ymd{year(tm->tm_year + 1900), month(static_cast<unsigned>(tm->tm_mon + 1)),
                             day(static_cast<unsigned>(tm->tm_mday))};
    if (!ymd.ok()) return std::nullopt;
    return local_days(ymd) + hours(tm->tm_hour) + minutes(tm->tm_min) + seconds(tm->tm_sec);
}

}  // namespace

std::optional<std::string> PercentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%') {
            if (i + 2 >= text.size()) return std::nullopt;
            const int hi = HexValue(text[i + 1]);
            const int lo = HexValue(text[i + 2]);
            if (hi < 0 || lo < 0) return std::nullopt;
            c = static_cast<char>(hi * 16 + lo);
            i += 2;
        }
        // No file name or path can hold a NUL byte.
        if (c == '\0') return std::nullopt;
        out.push_back(c);
    }
    return out;
}

std::optional<Moment> ParseDeletionDate(std::string_view text) {
    std::string_view s = TrimBlanks(text);
    int y = 0;
    int mo = 0;
    int d = 0;
    int h = 0;
    int mi = 0;
    int sec = 0;
    if (!TakeNumber(s, 4, y)) return std::nullopt;
    const bool extendedDate = TakeChar(s, '-');
    if (!TakeNumber(s, 2, mo)) return std::nullopt;
    if (extendedDate && !TakeChar(s, '-')) return std::nullopt;
    if (!TakeNumber(s, 2, d)) return std::nullopt;
    if (!TakeChar(s, 'T') && !TakeChar(s, 't') && !TakeChar(s, ' ')) return std::nullopt;
    if (!TakeNumber(s, 2, h)) return std::nullopt;
    const bool extendedTime = TakeChar(s, ':');
    if (!TakeNumber(s, 2, mi)) return std::nullopt;
    if (extendedTime && !TakeChar(s, ':')) return std::nullopt;
    if (!TakeNumber(s, 2, sec)) return std::nullopt;

    if (TakeChar(s, '.') || TakeChar(s, ',')) {
        std::size_t digits = 0;
        while (digits < s.size() && s[digits] >= '0' && s[digits] <= '9') ++digits;
        if (digits == 0) return std::nullopt;
        s.remove_prefix(digits);  // the list shows whole seconds
    }

    std::optional<seconds> offset;
    if (TakeChar(s, 'Z') || TakeChar(s, 'z')) {
        offset = seconds(0);
    } else if (!s.empty()) {
        seconds value{};
        if (!TakeOffset(s, value)) return std::nullopt;
        offset = value;
    }
    if (!s.empty()) return std::nullopt;

    const year_month_day ymd{year(y), month(static_cast<unsigned>(mo)),
                             day(static_cast<unsigned>(d))};
    if (!ymd.ok() || h > 23 || mi > 59 || sec > 59) return std::nullopt;
    const seconds timeOfDay = hours(h) + minutes(mi) + seconds(sec);
    if (!offset) return local_days(ymd) + timeOfDay;
    return LocalFromUtc(sys_days(ymd) + timeOfDay - *offset);
}

TrashInfo ParseTrashInfo(std::string_view content) {
    TrashInfo info;
    if (content.substr(0, 3) == "\xEF\xBB\xBF") content.remove_prefix(3);

    bool inGroup = false;
    bool sawPath = false;
    bool sawDate = false;
    while (!content.empty()) {
        const std::size_t end = content.find('\n');
        std::string_view line = content.substr(0, end);
        content.remove_prefix(end == std::string_view::npos ? content.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        line = TrimBlanks(line);
        if (line.empty() || line.front() == '#') continue;

        if (line.front() == '[') {
            // Only the first group of that name counts; whatever follows it is another group.
            if (inGroup) break;
            inGroup = line == "[Trash Info]";
            continue;
        }
        if (!inGroup) continue;

        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        const std::string_view key = TrimBlanks(line.substr(0, eq));
        const std::string_view value = TrimBlanks(line.substr(eq + 1));
        // A repeated key is a broken file; the first value is the one the writer meant.
        if (key == "Path" && !sawPath) {
            sawPath = true;
            auto decoded = PercentDecode(value);
            if (decoded && !decoded->empty()) info.path = std::move(*decoded);
        } else if (key == "DeletionDate" && !sawDate) {
            sawDate = true;
            info.deletedAt = ParseDeletionDate(value);
        }
    }
    return info;
}

}  // namespace varnelo
