#include "core/integer_text.h"

#include <limits>
#include <optional>
#include <string>

#include "core/errors.h"

namespace varnelo {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Unsigned carries the hexadecimal range (all bits of the type), Signed the decimal one.
template <typename Signed>
std::optional<Signed> Convert(std::string_view text) {
    using Unsigned = std::make_unsigned_t<Signed>;
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }

    bool hex = false;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' &&
               (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i == text.size()) return std::nullopt;

    Unsigned value = 0;
    if (hex) {
        constexpr Unsigned kTopNibble = Unsigned{0xF}
                                        << (std::numeric_limits<Unsigned>::digits - 4);
        for (; i < text.size(); ++i) {
            const int digit = HexDigit(text[i]);
            if (digit < 0 || (value & kTopNibble) != 0) return std::nullopt;
            value = static_cast<Unsigned>(value << 4) | static_cast<Unsigned>(digit);
        }
        // Wraps like the old runtime: the bits are kept, the sign applies afterwards.
        if (negative) value = static_cast<Unsigned>(Unsigned{0} - value);
        return static_cast<Signed>(value);
    }

    // The magnitude may reach one past the largest positive value, for the most negative one.
    const Unsigned limit =
        static_cast<Unsigned>(std::numeric_limits<Signed>::max()) + (negative ? 1u : 0u);
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return std::nullopt;
        const auto digit = static_cast<Unsigned>(c - '0');
        if (value > (limit - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    if (negative) return static_cast<Signed>(Unsigned{0} - value);
    return static_cast<Signed>(value);
}

template <typename Signed>
Signed ConvertOrThrow(std::string_view text) {
    if (const auto value = Convert<Signed>(text)) return *value;
    throw ConversionError("'" + std::string(text) + "' is not a valid integer value");
}

}  // namespace

std::int32_t StrToInt(std::string_view text) { return ConvertOrThrow<std::int32_t>(text); }

std::int64_t StrToInt64(std::string_view text) { return ConvertOrThrow<std::int64_t>(text); }

}  // namespace varnelo
