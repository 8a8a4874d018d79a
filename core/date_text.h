#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/moment.h"

namespace varnelo {

// How the Date Deleted column writes a moment, in Qt's pattern letters (d, dd, M, MM,
// yyyy, h, hh, H, HH, m, mm, s, ss, AP/ap/A/a, text in single quotes).
struct DateTextFormat {
    std::string pattern{};
    std::string amText{};
    std::string pmText{};
};

// Used whenever a locale's pattern cannot be read back without loss.
inline constexpr std::string_view kFallbackDatePattern = "yyyy-MM-dd HH:mm";

// Turns the locale's short date-time pattern into one whose texts read back to the same
// moment: years are always written with four digits (a two-digit year read in the wrong
// century would make a new item look old), and a one-or-two-digit field that runs into
// digits is written with two. Patterns with names, zones, fractions or without a year,
// month, day, hour and minute, and AM/PM texts that cannot be told apart, give
// kFallbackDatePattern.
DateTextFormat MakeDateTextFormat(std::string_view localePattern, std::string amText,
                                  std::string pmText);

// Minute precision, or second precision when the pattern has seconds.
std::string FormatDateText(Moment m, const DateTextFormat& f);

// The exact reverse of FormatDateText: the whole text must match, the date must exist,
// AM/PM texts match ignoring ASCII case. nullopt for anything else, and for any pattern
// that MakeDateTextFormat would not give.
std::optional<Moment> ParseDateText(std::string_view text, const DateTextFormat& f);

}  // namespace varnelo
