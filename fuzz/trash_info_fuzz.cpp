// Reads .trashinfo text, its Path escapes and its DeletionDate, from whatever bytes a file holds.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "core/trash_info.h"
#include "fuzz/fuzz_check.h"

namespace varnelo {
namespace {

using namespace std::chrono;
using fuzz::IsoText;
using fuzz::PercentEncode;

// A fixed zone without summer time, with an odd offset, so that converted dates are exact.
constexpr const char* kZone = "NPT-5:45";
constexpr auto kZoneOffset = hours(5) + minutes(45);
constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kOtherGroup =
    "[Other Group]\nPath=/elsewhere\nDeletionDate=2001-02-03T04:05:06\n";

bool Same(const TrashInfo& a, const TrashInfo& b) {
    return a.path == b.path && a.deletedAt == b.deletedAt;
}

void CheckWholeFile(std::string_view text) {
    const TrashInfo info = ParseTrashInfo(text);
    if (info.path) {
        VARNELO_FUZZ_CHECK(!info.path->empty());
        VARNELO_FUZZ_CHECK(info.path->find('\0') == std::string::npos);
    }

    // Other groups, before or after, never change what the file says.
    std::string after(text);
    after += '\n';
    after += kOtherGroup;
    VARNELO_FUZZ_CHECK(Same(ParseTrashInfo(after), info));
    if (!text.starts_with(kBom)) {
        VARNELO_FUZZ_CHECK(
            Same(ParseTrashInfo(std::string(kOtherGroup) + std::string(text)), info));
        VARNELO_FUZZ_CHECK(Same(ParseTrashInfo(std::string(kBom) + std::string(text)), info));
    }
    if (text.find('\r') == std::string_view::npos) {
        std::string crlf;
        for (const char c : text) {
            if (c == '\n') crlf += '\r';
            crlf += c;
        }
        VARNELO_FUZZ_CHECK(Same(ParseTrashInfo(crlf), info));
    }
}

void CheckPercentDecode(std::string_view text) {
    const auto decoded = PercentDecode(text);
    const auto escapes = static_cast<std::size_t>(std::count(text.begin(), text.end(), '%'));
    if (!decoded) {
        VARNELO_FUZZ_CHECK(escapes != 0 || text.find('\0') != std::string_view::npos);
        return;
    }
    VARNELO_FUZZ_CHECK(decoded->find('\0') == std::string::npos);
    VARNELO_FUZZ_CHECK(decoded->size() == text.size() - 2 * escapes);
    if (escapes == 0) VARNELO_FUZZ_CHECK(*decoded == text);
    VARNELO_FUZZ_CHECK(PercentDecode(PercentEncode(*decoded, "", false)) == decoded);
    VARNELO_FUZZ_CHECK(PercentDecode(PercentEncode(*decoded, "/", true)) == decoded);
}

void CheckDeletionDate(std::string_view text) {
    const auto m = ParseDeletionDate(text);
    if (!m) return;
    const int y = int{year_month_day{floor<days>(*m)}.year()};
    // Four digits, moved by at most a day through the zone.
    VARNELO_FUZZ_CHECK(y >= -1 && y <= 10000);
    if (y >= 0 && y <= 9999) VARNELO_FUZZ_CHECK(ParseDeletionDate(IsoText(*m)) == m);
    VARNELO_FUZZ_CHECK(ParseDeletionDate(" \t" + std::string(text) + "\t ") == m);
}

std::string TwoDigits(int v) {
    return {static_cast<char>('0' + v / 10 % 10), static_cast<char>('0' + v % 10)};
}

// Writes a DeletionDate in one of the forms writers use and says what it must read as.
std::string MakeDate(FuzzedDataProvider& in, std::optional<Moment>& expected) {
    const int y = in.ConsumeIntegralInRange(0, 9999);
    const unsigned mo = in.ConsumeIntegralInRange(1u, 12u);
    const unsigned d = in.ConsumeIntegralInRange(1u, 31u);
    const int h = in.ConsumeIntegralInRange(0, 23);
    const int mi = in.ConsumeIntegralInRange(0, 59);
    const int s = in.ConsumeIntegralInRange(0, 59);
    const bool compactDate = in.ConsumeBool();
    const bool compactTime = in.ConsumeBool();
    const char separator = "Tt "[in.ConsumeIntegralInRange(0, 2)];
    const int fraction = in.ConsumeIntegralInRange(0, 9);
    const int offsetKind = in.ConsumeIntegralInRange(0, 4);  // none, Z, +hh, +hhmm, +hh:mm
    const bool negative = in.ConsumeBool();
    const int oh = in.ConsumeIntegralInRange(0, 23);
    const int om = offsetKind >= 3 ? in.ConsumeIntegralInRange(0, 59) : 0;

    char year4[8];
    std::snprintf(year4, sizeof year4, "%04d", y);
    std::string text = year4;
    text += (compactDate ? "" : "-") + TwoDigits(static_cast<int>(mo)) + (compactDate ? "" : "-") +
            TwoDigits(static_cast<int>(d));
    text += separator;
    text += TwoDigits(h) + (compactTime ? "" : ":") + TwoDigits(mi) + (compactTime ? "" : ":") +
            TwoDigits(s);
    if (fraction > 0) text += "." + std::string(static_cast<std::size_t>(fraction), '7');
    seconds offset{0};
    if (offsetKind == 1) text += 'Z';
    if (offsetKind >= 2) {
        text += negative ? '-' : '+';
        text += TwoDigits(oh);
        if (offsetKind >= 3) text += (offsetKind == 4 ? ":" : "") + TwoDigits(om);
        offset = hours(oh) + minutes(om);
        if (negative) offset = -offset;
    }

    const year_month_day ymd{year(y), month(mo), day(d)};
    expected.reset();
    if (ymd.ok()) {
        Moment naive = local_days(ymd) + hours(h) + minutes(mi) + seconds(s);
        if (offsetKind != 0) naive = naive - offset + kZoneOffset;
        expected = naive;
    }
    return text;
}

// A file the way writers make it, around a path and a date taken from the input.
void CheckWrittenFile(FuzzedDataProvider& in) {
    std::optional<Moment> expectedDate;
    const std::string date = MakeDate(in, expectedDate);
    const bool bom = in.ConsumeBool();
    const bool crlf = in.ConsumeBool();
    const bool dateFirst = in.ConsumeBool();
    const bool spaced = in.ConsumeBool();
    const bool lowerHex = in.ConsumeBool();
    const std::string path = in.ConsumeRandomLengthString(512);
    const std::string nl = crlf ? "\r\n" : "\n";
    const std::string eq = spaced ? " = " : "=";

    const std::string pathLine = "Path" + eq + PercentEncode(path, "/", lowerHex) + nl;
    const std::string dateLine = "DeletionDate" + eq + date + nl;
    std::string file = bom ? std::string(kBom) : std::string();
    file += "# written by a test" + nl + "[Desktop Entry]" + nl + "Path=/not/this" + nl + nl;
    file += "[Trash Info]" + nl + (dateFirst ? dateLine + pathLine : pathLine + dateLine);
    file += "Path=/a/second/one" + nl + "[Trash Info]" + nl + "Path=/a/third/one" + nl;

    const TrashInfo info = ParseTrashInfo(file);
    const bool pathReadable = !path.empty() && path.find('\0') == std::string::npos;
    VARNELO_FUZZ_CHECK(info.path == (pathReadable ? std::optional(path) : std::nullopt));
    VARNELO_FUZZ_CHECK(info.deletedAt == expectedDate);
    VARNELO_FUZZ_CHECK(ParseDeletionDate(date) == expectedDate);
}

void RunOne(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckWholeFile(text);
    CheckPercentDecode(text);
    CheckDeletionDate(text);
    FuzzedDataProvider in(data, size);
    CheckWrittenFile(in);
}

}  // namespace
}  // namespace varnelo

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("TZ", varnelo::kZone, 1);
    tzset();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    varnelo::RunOne(data, size);
    return 0;
}
