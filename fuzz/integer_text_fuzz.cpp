// Reads integers the way the days box and the Size column are read.
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "core/errors.h"
#include "core/integer_text.h"
#include "fuzz/fuzz_check.h"

namespace varnelo {
namespace {

template <typename Int>
std::optional<Int> Convert(Int (*convert)(std::string_view), std::string_view text) {
    try {
        return convert(text);
    } catch (const ConversionError& e) {
        // Any other exception escapes and ends the run.
        // what() is a C string, so a NUL in the text ends the message there.
        const std::string message = "'" + std::string(text) + "' is not a valid integer value";
        VARNELO_FUZZ_CHECK(std::string_view(e.what()) == message.c_str());
        return std::nullopt;
    }
}

int DigitValue(char c, bool hex) {
    if (c >= '0' && c <= '9') return c - '0';
    if (hex && c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (hex && c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A plain second reading of the same rules, in wider arithmetic.
template <typename Int>
std::optional<Int> Reference(std::string_view s) {
    using Unsigned = std::make_unsigned_t<Int>;
    constexpr int kBits = std::numeric_limits<Unsigned>::digits;
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    bool hex = false;
    if (!s.empty() && (s.front() == '$' || s.front() == 'x' || s.front() == 'X')) {
        hex = true;
        s.remove_prefix(1);
    } else if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        hex = true;
        s.remove_prefix(2);
    }
    if (s.empty()) return std::nullopt;
    unsigned __int128 magnitude = 0;
    const unsigned __int128 cap = static_cast<unsigned __int128>(1) << 100;
    for (const char c : s) {
        const int digit = DigitValue(c, hex);
        if (digit < 0) return std::nullopt;
        magnitude = magnitude * (hex ? 16 : 10) + static_cast<unsigned>(digit);
        if (magnitude > cap) magnitude = cap;
    }
    if (hex) {
        if (magnitude >> kBits != 0) return std::nullopt;
        auto bits = static_cast<Unsigned>(magnitude);
        if (negative) bits = static_cast<Unsigned>(Unsigned{0} - bits);
        return static_cast<Int>(bits);
    }
    const auto max = static_cast<unsigned __int128>(std::numeric_limits<Int>::max());
    if (magnitude > max + (negative ? 1 : 0)) return std::nullopt;
    const auto wide = static_cast<__int128>(magnitude);
    return static_cast<Int>(negative ? -wide : wide);
}

bool IsHexForm(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '+' || s.front() == '-'))
        s.remove_prefix(1);
    return !s.empty() && (s.front() == '$' || s.front() == 'x' || s.front() == 'X' ||
                          (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')));
}

template <typename Int>
std::optional<Int> CheckOne(Int (*convert)(std::string_view), std::string_view text) {
    const std::optional<Int> value = Convert(convert, text);
    VARNELO_FUZZ_CHECK(value == Reference<Int>(text));
    if (value) VARNELO_FUZZ_CHECK(Convert(convert, std::to_string(*value)) == value);
    return value;
}

void RunOne(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto narrow = CheckOne(&StrToInt, text);
    const auto wide = CheckOne(&StrToInt64, text);

    // Hexadecimal fills the narrow type's bits; decimal is the same number in both.
    if (narrow) {
        VARNELO_FUZZ_CHECK(wide.has_value());
        VARNELO_FUZZ_CHECK(static_cast<std::int32_t>(static_cast<std::uint32_t>(*wide)) == *narrow);
    }
    if (wide && !IsHexForm(text) && *wide >= std::numeric_limits<std::int32_t>::min() &&
        *wide <= std::numeric_limits<std::int32_t>::max())
        VARNELO_FUZZ_CHECK(narrow == wide);
}

}  // namespace
}  // namespace varnelo

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    varnelo::RunOne(data, size);
    return 0;
}
