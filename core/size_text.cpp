#include "core/size_text.h"

#include <string>

#include "core/integer_text.h"

namespace varnelo {

namespace {

std::string GroupDigits(std::uint64_t value, std::string_view separator) {
    const std::string digits = std::to_string(value);
    std::string out;
    out.reserve(digits.size() + digits.size() / 3 * separator.size());
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (digits.size() - i) % 3 == 0) out += separator;
        out += digits[i];
    }
    return out;
}

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 32; }

}  // namespace

std::int64_t ParseSizeText(std::string_view sizeText) {
    const std::string_view withoutUnit =
        sizeText.size() <= 2 ? std::string_view{} : sizeText.substr(0, sizeText.size() - 2);
    std::string number;
    number.reserve(withoutUnit.size());
    for (const char c : withoutUnit) {
        if (c != ',') number += c;
    }
    std::string_view trimmed = number;
    while (!trimmed.empty() && IsBlankOrControl(trimmed.front())) trimmed.remove_prefix(1);
    while (!trimmed.empty() && IsBlankOrControl(trimmed.back())) trimmed.remove_suffix(1);
    return StrToInt64(trimmed);
}

std::string SizeTextFromBytes(std::uint64_t bytes) {
    const std::uint64_t kb = bytes / 1024 + (bytes % 1024 != 0 ? 1 : 0);
    return GroupDigits(kb, ",") + " KB";
}

std::string KilobyteDisplay(std::int64_t kb, std::string_view thousandsSeparator) {
    if (kb <= 0) return "0KB";
    return GroupDigits(static_cast<std::uint64_t>(kb), thousandsSeparator) + "KB";
}

}  // namespace varnelo
