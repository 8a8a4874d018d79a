#pragma once

#include <cstdint>
#include <string_view>

namespace varnelo {

// Text to integer with the rules users know from the days box and the Size column:
// leading blanks, one sign, decimal digits or a hexadecimal form ("$1F", "x1F", "0x1F").
// Anything else, trailing blanks included, throws ConversionError naming the whole text.
// Hexadecimal values fill the type's bits and may wrap to negative ("$FFFFFFFF" is -1).
std::int32_t StrToInt(std::string_view text);
std::int64_t StrToInt64(std::string_view text);

}  // namespace varnelo
