#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/moment.h"

namespace varnelo::fuzz {

// A broken property must stop the run even in builds without assertions, and say which one.
[[noreturn]] inline void Fail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: property failed: %s\n", file, line, what);
    std::abort();
}

#define VARNELO_FUZZ_CHECK(cond) \
    ((cond) ? static_cast<void>(0) : ::varnelo::fuzz::Fail(#cond, __FILE__, __LINE__))

inline bool IsUnreserved(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

// The writer's side of the escapes: everything but unreserved bytes and `keep` is escaped,
// in upper or lower case hex.
inline std::string PercentEncode(std::string_view bytes, std::string_view keep, bool lowerHex) {
    const char* hex = lowerHex ? "0123456789abcdef" : "0123456789ABCDEF";
    std::string out;
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (IsUnreserved(c) || keep.find(ch) != std::string_view::npos) {
            out += ch;
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0xF];
        }
    }
    return out;
}

// "YYYY-MM-DDThh:mm:ss" for years 0 to 9999.
inline std::string IsoText(Moment m) {
    using namespace std::chrono;
    const auto date = floor<days>(m);
    const year_month_day ymd{date};
    const hh_mm_ss<seconds> t{m - date};
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02uT%02d:%02d:%02d", int{ymd.year()},
                  unsigned{ymd.month()}, unsigned{ymd.day()}, static_cast<int>(t.hours().count()),
                  static_cast<int>(t.minutes().count()), static_cast<int>(t.seconds().count()));
    return buf;
}

}  // namespace varnelo::fuzz
