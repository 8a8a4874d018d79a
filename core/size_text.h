#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace varnelo {

// The Size column's text ("1,234 KB") to whole kilobytes: the last two bytes go, then
// every ',', then blanks and control bytes at both ends. Throws ConversionError naming
// what is left when that is not an integer.
std::int64_t ParseSizeText(std::string_view sizeText);

// The Size column's text for a byte count: kilobytes rounded up, grouped by ',', " KB".
std::string SizeTextFromBytes(std::uint64_t bytes);

// The totals' display: "0KB" for nothing, else the digits grouped in threes with the
// locale's separator (any UTF-8 text) and "KB" right after them.
std::string KilobyteDisplay(std::int64_t kb, std::string_view thousandsSeparator);

}  // namespace varnelo
