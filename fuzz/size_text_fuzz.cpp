// Reads the Size column's text, which the list source writes but nothing forces to be tidy.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "core/errors.h"
#include "core/size_text.h"
#include "fuzz/fuzz_check.h"

namespace varnelo {
namespace {

// The value, or the message of the one allowed failure.
using Outcome = std::variant<std::int64_t, std::string>;

Outcome Parse(std::string_view text) {
    try {
        return ParseSizeText(text);
    } catch (const ConversionError& e) {
        return std::string(e.what());
    }
}

void CheckAnyText(std::string_view text, std::size_t at) {
    const Outcome outcome = Parse(text);
    if (const auto* kb = std::get_if<std::int64_t>(&outcome))
        VARNELO_FUZZ_CHECK(Parse(std::to_string(*kb) + " KB") == outcome);

    // Grouping commas anywhere before the unit, blanks in front and another unit change nothing.
    const std::size_t unitStart = text.size() < 2 ? text.size() : text.size() - 2;
    std::string comma(text);
    comma.insert(std::min(at, unitStart), 1, ',');
    VARNELO_FUZZ_CHECK(Parse(comma) == outcome);
    VARNELO_FUZZ_CHECK(Parse(" \t\x01" + std::string(text)) == outcome);
    if (text.size() >= 2)
        VARNELO_FUZZ_CHECK(Parse(std::string(text.substr(0, unitStart)) + "KB") == outcome);
}

void CheckWrittenTexts(FuzzedDataProvider& in) {
    const auto bytes = in.ConsumeIntegral<std::uint64_t>();
    const std::int64_t kb = static_cast<std::int64_t>(bytes / 1024 + (bytes % 1024 != 0 ? 1 : 0));
    VARNELO_FUZZ_CHECK(Parse(SizeTextFromBytes(bytes)) == Outcome(kb));

    const auto total = in.ConsumeIntegral<std::int64_t>();
    VARNELO_FUZZ_CHECK(Parse(KilobyteDisplay(total, ",")) ==
                       Outcome(std::max<std::int64_t>(total, 0)));

    const std::string separator = in.ConsumeRandomLengthString(8);
    const std::string display = KilobyteDisplay(total, separator);
    VARNELO_FUZZ_CHECK(display.ends_with("KB"));
    if (std::none_of(separator.begin(), separator.end(),
                     [](char c) { return c >= '0' && c <= '9'; })) {
        std::string digits;
        for (const char c : display) {
            if (c >= '0' && c <= '9') digits += c;
        }
        VARNELO_FUZZ_CHECK(digits == std::to_string(std::max<std::int64_t>(total, 0)));
    }
}

void RunOne(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckAnyText(text, size == 0 ? 0 : data[0] % (size + 1));
    FuzzedDataProvider in(data, size);
    CheckWrittenTexts(in);
}

}  // namespace
}  // namespace varnelo

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    varnelo::RunOne(data, size);
    return 0;
}
