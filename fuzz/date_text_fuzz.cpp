// Reads Date Deleted texts back, and turns any locale pattern into one that can be read back.
#include <fuzzer/FuzzedDataProvider.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/date_text.h"
#include "fuzz/fuzz_check.h"

namespace varnelo {
namespace {

using namespace std::chrono;

struct Fixed {
    DateTextFormat format;
    bool seconds;
};

// Locale patterns as the toolkit reports them, with their AM/PM texts.
const std::vector<Fixed>& FixedFormats() {
    static const std::vector<Fixed> formats = [] {
        return std::vector<Fixed>{
            {MakeDateTextFormat("yyyy/M/d HH:mm", "上午", "下午"), false},
            {MakeDateTextFormat("M/d/yy h:mm AP", "AM", "PM"), false},
            {MakeDateTextFormat("M/d/yy h:mm\u202fAP", "AM", "PM"), false},
            {MakeDateTextFormat("dd.MM.yy HH:mm", "AM", "PM"), false},
            {MakeDateTextFormat("yyyy/M/d AP h:mm", "上午", "下午"), false},
            {MakeDateTextFormat("dd/MM/yyyy 'at' h:mm ap", "AM", "PM"), false},
            {MakeDateTextFormat("yyyy'年'M'月'd'日' H'时'm'分'", "", ""), false},
            {MakeDateTextFormat("yyMdHm", "", ""), false},
            {MakeDateTextFormat("yyyy-MM-dd HH:mm:ss", "", ""), true},
        };
    }();
    return formats;
}

Moment Minute(Moment m) { return floor<minutes>(m); }

int YearOf(Moment m) { return int{year_month_day{floor<days>(m)}.year()}; }

// Any moment of years 0 to 9999.
Moment TakeMoment(FuzzedDataProvider& in) {
    constexpr local_days first{year(0) / 1 / 1};
    constexpr local_days last{year(9999) / 12 / 31};
    const auto day = in.ConsumeIntegralInRange<int>(0, (last - first).count());
    const auto second = in.ConsumeIntegralInRange<int>(0, 86399);
    return first + days(day) + seconds(second);
}

// What a text that was read means must be written and read again to the same moment.
void CheckReadBack(std::string_view text, const DateTextFormat& f,
                   std::optional<bool> withSeconds) {
    const std::optional<Moment> m = ParseDateText(text, f);
    if (!m) return;
    VARNELO_FUZZ_CHECK(YearOf(*m) >= 0 && YearOf(*m) <= 9999);
    if (withSeconds == false) VARNELO_FUZZ_CHECK(Minute(*m) == *m);
    VARNELO_FUZZ_CHECK(ParseDateText(FormatDateText(*m, f), f) == m);
}

void CheckWritten(Moment m, const DateTextFormat& f, bool withSeconds) {
    const std::optional<Moment> back = ParseDateText(FormatDateText(m, f), f);
    VARNELO_FUZZ_CHECK(back == (withSeconds ? m : Minute(m)));
}

void CheckPattern(FuzzedDataProvider& in) {
    const std::string pattern = in.ConsumeRandomLengthString(48);
    const std::string am = in.ConsumeRandomLengthString(8);
    const std::string pm = in.ConsumeRandomLengthString(8);
    const DateTextFormat made = MakeDateTextFormat(pattern, am, pm);
    VARNELO_FUZZ_CHECK(made.amText == am && made.pmText == pm);
    VARNELO_FUZZ_CHECK(MakeDateTextFormat(made.pattern, am, pm).pattern == made.pattern);

    const Moment any = TakeMoment(in);
    const Moment date = floor<days>(any);
    const Moment halfMinute = Minute(any) + seconds(30);
    const bool withSeconds = ParseDateText(FormatDateText(halfMinute, made), made) == halfMinute;
    // Both sides of noon and of midnight, where twelve-hour clocks go wrong.
    for (const Moment m :
         {any, halfMinute, date, date + minutes(59), date + hours(11) + minutes(59),
          date + hours(12), date + hours(12) + minutes(1), date + hours(23) + minutes(59)})
        CheckWritten(m, made, withSeconds);

    // The raw pattern is only read when it needed no change, and then it writes the same texts.
    const DateTextFormat raw{pattern, am, pm};
    const std::string rawText = FormatDateText(any, raw);
    if (const auto back = ParseDateText(rawText, raw)) {
        VARNELO_FUZZ_CHECK(*back == (withSeconds ? any : Minute(any)));
        VARNELO_FUZZ_CHECK(rawText == FormatDateText(any, made));
    }
    CheckReadBack(in.ConsumeRemainingBytesAsString(), raw, std::nullopt);
}

void RunOne(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const Fixed& f : FixedFormats()) CheckReadBack(text, f.format, f.seconds);

    FuzzedDataProvider in(data, size);
    const Moment m = TakeMoment(in);
    for (const Fixed& f : FixedFormats()) CheckWritten(m, f.format, f.seconds);
    CheckPattern(in);
}

}  // namespace
}  // namespace varnelo

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    varnelo::RunOne(data, size);
    return 0;
}
