#include "core/date_text.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace varnelo {
namespace {

using namespace std::chrono;

Moment At(int y, unsigned mo, unsigned d, int h, int mi, int s = 0) {
    return local_days{year{y} / month{mo} / day{d}} + hours{h} + minutes{mi} + seconds{s};
}

struct Locale {
    const char* name;
    const char* pattern;
    const char* am;
    const char* pm;
};

// Short date-time patterns as Qt reports them, with their AM/PM texts.
const Locale kLocales[] = {
    {.name = "zh_CN", .pattern = "yyyy/M/d HH:mm", .am = "上午", .pm = "下午"},
    {.name = "en_US", .pattern = "M/d/yy h:mm AP", .am = "AM", .pm = "PM"},
    {.name = "en_US_narrow", .pattern = "M/d/yy h:mm\u202fAP", .am = "AM", .pm = "PM"},
    {.name = "de_DE", .pattern = "dd.MM.yy HH:mm", .am = "AM", .pm = "PM"},
    {.name = "en_GB", .pattern = "dd/MM/yyyy HH:mm", .am = "am", .pm = "pm"},
    {.name = "ja_JP", .pattern = "yyyy/MM/dd H:mm", .am = "午前", .pm = "午後"},
    {.name = "fr_FR", .pattern = "dd/MM/yyyy HH:mm", .am = "AM", .pm = "PM"},
    {.name = "zh_TW", .pattern = "yyyy/M/d AP h:mm", .am = "上午", .pm = "下午"},
    {.name = "ko_KR", .pattern = "yy. M. d. AP h:mm", .am = "오전", .pm = "오후"},
    {.name = "seconds", .pattern = "yyyy-MM-dd HH:mm:ss", .am = "AM", .pm = "PM"},
    {.name = "quoted", .pattern = "dd/MM/yyyy 'at' h:mm ap", .am = "AM", .pm = "PM"},
    {.name = "cjk_units", .pattern = "yyyy'年'M'月'd'日' H'时'm'分'", .am = "", .pm = ""},
    {.name = "packed", .pattern = "yyMdHm", .am = "", .pm = ""},
    {.name = "fallback", .pattern = "d MMM yyyy HH:mm", .am = "", .pm = ""},
};

struct MakeCase {
    const char* pattern;
    const char* am;
    const char* pm;
    const char* made = nullptr;
};

TEST(MakeDateTextFormatTest, KeepsTheLocaleLookWithFourDigitYears) {
    const MakeCase cases[] = {
        {.pattern = "yyyy/M/d HH:mm", .am = "上午", .pm = "下午", .made = "yyyy/M/d HH:mm"},
        {.pattern = "M/d/yy h:mm AP", .am = "AM", .pm = "PM", .made = "M/d/yyyy h:mm AP"},
        {.pattern = "dd.MM.yy HH:mm", .am = "AM", .pm = "PM", .made = "dd.MM.yyyy HH:mm"},
        {.pattern = "dd/MM/yyyy HH:mm", .am = "AM", .pm = "PM", .made = "dd/MM/yyyy HH:mm"},
        {.pattern = "yyyy/MM/dd H:mm", .am = "AM", .pm = "PM", .made = "yyyy/MM/dd H:mm"},
        {.pattern = "yyyy/M/d A h:mm", .am = "上午", .pm = "下午", .made = "yyyy/M/d AP h:mm"},
        {.pattern = "yyyy/M/d ah:mm", .am = "上午", .pm = "下午", .made = "yyyy/M/d aph:mm"},
        {.pattern = "yyyy-MM-dd HH:mm:ss", .am = "", .pm = "", .made = "yyyy-MM-dd HH:mm:ss"},
        // Quotes are only kept where letters need them.
        {.pattern = "yyyy'年'M'月'd'日' H:mm", .am = "", .pm = "", .made = "yyyy年M月d日 H:mm"},
        {.pattern = "dd/MM/yyyy 'at' HH:mm", .am = "", .pm = "", .made = "dd/MM/yyyy' at 'HH:mm"},
        {.pattern = "dd/MM/yyyy HH''mm", .am = "", .pm = "", .made = "dd/MM/yyyy HH''mm"},
        // A short field running into digits could not be split again.
        {.pattern = "yyMdHm", .am = "", .pm = "", .made = "yyyyMMddHHm"},
        {.pattern = "yyyy-M-d H'0'm", .am = "", .pm = "", .made = "yyyy-M-d HH0m"},
        // With no AM/PM token 'h' already counts 0-23.
        {.pattern = "dd/MM/yyyy h:mm", .am = "", .pm = "", .made = "dd/MM/yyyy h:mm"},
    };
    for (const MakeCase& c : cases) {
        SCOPED_TRACE(c.pattern);
        const DateTextFormat f = MakeDateTextFormat(c.pattern, c.am, c.pm);
        EXPECT_EQ(f.pattern, c.made);
        EXPECT_EQ(f.amText, c.am);
        EXPECT_EQ(f.pmText, c.pm);
        EXPECT_EQ(MakeDateTextFormat(f.pattern, c.am, c.pm).pattern, f.pattern);
    }
}

TEST(MakeDateTextFormatTest, FallsBackWhenThePatternCannotBeReadBack) {
    const MakeCase cases[] = {
        {.pattern = "", .am = "AM", .pm = "PM"},
        {.pattern = "d MMM yyyy HH:mm", .am = "AM", .pm = "PM"},
        {.pattern = "dddd, d MMMM yyyy HH:mm", .am = "AM", .pm = "PM"},
        {.pattern = "ddd dd/MM/yyyy HH:mm", .am = "AM", .pm = "PM"},
        {.pattern = "dd/MM/yyyy HH:mm t", .am = "AM", .pm = "PM"},
        {.pattern = "yyyy-MM-dd HH:mm:ss.zzz", .am = "AM", .pm = "PM"},
        {.pattern = "dd/MM/yyyy HH:mm e", .am = "AM", .pm = "PM"},
        {.pattern = "y-MM-dd HH:mm", .am = "AM", .pm = "PM"},
        {.pattern = "yyy-MM-dd HH:mm", .am = "AM", .pm = "PM"},
        {.pattern = "dd/MM/yyyy hhh:mm", .am = "AM", .pm = "PM"},
        // a field missing
        {.pattern = "dd/MM HH:mm", .am = "AM", .pm = "PM"},
        {.pattern = "MM/yyyy HH:mm", .am = "AM", .pm = "PM"},
        {.pattern = "dd/yyyy HH:mm", .am = "AM", .pm = "PM"},
        {.pattern = "dd/MM/yyyy", .am = "AM", .pm = "PM"},
        {.pattern = "dd/MM/yyyy HH", .am = "AM", .pm = "PM"},
        {.pattern = "dd/MM/yyyy 'HH:mm'", .am = "AM", .pm = "PM"},
        // a field twice
        {.pattern = "dd/MM/yyyy HH:mm (yy)", .am = "AM", .pm = "PM"},
        {.pattern = "dd/MM/yyyy h:mm AP AP", .am = "AM", .pm = "PM"},
        // AM/PM texts that the reader could not tell apart
        {.pattern = "M/d/yy h:mm AP", .am = "", .pm = "PM"},
        {.pattern = "M/d/yy h:mm AP", .am = "am", .pm = "AM"},
        {.pattern = "M/d/yy h:mm AP", .am = "A", .pm = "AM"},
        {.pattern = "M/d/yy h:mm AP", .am = "AM", .pm = "a"},
        {.pattern = "M/d/yy h:mmAP", .am = "1st", .pm = "2nd"},
    };
    for (const MakeCase& c : cases) {
        SCOPED_TRACE(c.pattern);
        EXPECT_EQ(MakeDateTextFormat(c.pattern, c.am, c.pm).pattern, kFallbackDatePattern);
    }
    // AM/PM texts only matter when the pattern writes them.
    EXPECT_EQ(MakeDateTextFormat("dd/MM/yyyy HH:mm", "", "").pattern, "dd/MM/yyyy HH:mm");
}

struct Written {
    const char* pattern;
    const char* am;
    const char* pm;
    Moment when;
    const char* text;
};

TEST(FormatDateTextTest, WritesWhatTheLocaleShows) {
    const Written cases[] = {
        {"yyyy/M/d HH:mm", "上午", "下午", At(2026, 1, 5, 9, 5), "2026/1/5 09:05"},
        {"M/d/yy h:mm AP", "AM", "PM", At(2026, 1, 5, 0, 0), "1/5/2026 12:00 AM"},
        {"M/d/yy h:mm AP", "AM", "PM", At(2026, 1, 5, 12, 0), "1/5/2026 12:00 PM"},
        {"M/d/yy h:mm AP", "AM", "PM", At(2026, 1, 5, 13, 5), "1/5/2026 1:05 PM"},
        {"M/d/yy h:mm AP", "am", "pm", At(2026, 1, 5, 13, 5), "1/5/2026 1:05 PM"},
        {"M/d/yy h:mm ap", "AM", "PM", At(2026, 1, 5, 11, 59), "1/5/2026 11:59 am"},
        {"dd.MM.yy HH:mm", "", "", At(1999, 12, 31, 23, 59), "31.12.1999 23:59"},
        {"yyyy/MM/dd H:mm", "", "", At(2000, 1, 1, 0, 0), "2000/01/01 0:00"},
        {"yyyy/M/d AP h:mm", "上午", "下午", At(2026, 3, 9, 15, 30), "2026/3/9 下午 3:30"},
        {"yyyy-MM-dd HH:mm:ss", "", "", At(2026, 3, 9, 15, 30, 7), "2026-03-09 15:30:07"},
        // minute precision when the pattern has no seconds
        {"dd/MM/yyyy HH:mm", "", "", At(2026, 3, 9, 15, 30, 59), "09/03/2026 15:30"},
        {"dd/MM/yyyy 'at' h:mm", "", "", At(2026, 3, 9, 15, 30), "09/03/2026 at 15:30"},
        {"yyMdHm", "", "", At(2026, 3, 9, 5, 7), "20260309057"},
        {"d MMM yyyy", "", "", At(2026, 3, 9, 5, 7), "2026-03-09 05:07"},
    };
    for (const Written& c : cases) {
        SCOPED_TRACE(c.pattern);
        const DateTextFormat f = MakeDateTextFormat(c.pattern, c.am, c.pm);
        EXPECT_EQ(FormatDateText(c.when, f), c.text);
        const bool hasSeconds = f.pattern.find('s') != std::string::npos;
        EXPECT_EQ(ParseDateText(c.text, f), hasSeconds ? c.when : floor<minutes>(c.when));
    }
}

TEST(DateTextTest, EveryLocaleReadsBackItsOwnTexts) {
    const Moment moments[] = {
        At(1999, 12, 31, 23, 59), At(2000, 1, 1, 0, 0),    At(2000, 2, 29, 12, 0),
        At(2026, 1, 1, 0, 0),     At(2026, 6, 15, 12, 0),  At(2026, 6, 15, 12, 59),
        At(2026, 6, 15, 0, 59),   At(2026, 6, 15, 11, 59), At(2026, 6, 15, 13, 0),
        At(2026, 12, 31, 23, 59), At(1970, 1, 1, 0, 0),    At(2099, 10, 10, 10, 10, 10),
        At(1926, 7, 4, 8, 30),
    };
    for (const Locale& loc : kLocales) {
        const DateTextFormat f = MakeDateTextFormat(loc.pattern, loc.am, loc.pm);
        const bool hasSeconds = f.pattern.find('s') != std::string::npos;
        for (const Moment m : moments) {
            const std::string text = FormatDateText(m, f);
            SCOPED_TRACE(std::string(loc.name) + ": " + text);
            const Moment expected = hasSeconds ? m : floor<minutes>(m);
            EXPECT_EQ(ParseDateText(text, f), expected);
        }
    }
}

TEST(ParseDateTextTest, RefusesAnythingItWouldNotWrite) {
    const DateTextFormat us = MakeDateTextFormat("M/d/yy h:mm AP", "AM", "PM");
    const char* bad[] = {
        "",
        "1/5/26 1:05 PM",  // a two-digit year is never guessed
        "2/30/2026 1:05 PM",
        "2/29/2026 1:05 PM",
        "13/5/2026 1:05 PM",
        "0/5/2026 1:05 PM",
        "1/0/2026 1:05 PM",
        "1/5/2026 0:05 AM",
        "1/5/2026 13:05 PM",
        "1/5/2026 123:05 PM",
        "1/5/2026 1:60 PM",
        "1/5/2026 1:5 PM",
        "1/5/2026 1:05",
        "1/5/2026 1:05 XM",
        "1/5/2026 1:05 PM ",
        " 1/5/2026 1:05 PM",
        "1/5/2026  1:05 PM",
        "1-5-2026 1:05 PM",
        "1/5/20266 1:05 PM",
        "1/5/2026 1:05 P",
    };
    for (const char* text : bad) {
        SCOPED_TRACE(text);
        EXPECT_EQ(ParseDateText(text, us), std::nullopt);
    }

    const DateTextFormat plain = MakeDateTextFormat(kFallbackDatePattern, "", "");
    EXPECT_EQ(ParseDateText("2024-02-29 10:00", plain), At(2024, 2, 29, 10, 0));
    const char* badPlain[] = {"2026-02-29 10:00",    "2026-01-05 24:00", "2026-1-05 10:00",
                              "2026-01-05 10:00:00", "2026-01-05T10:00", "2026-01-05 10:0"};
    for (const char* text : badPlain) {
        SCOPED_TRACE(text);
        EXPECT_EQ(ParseDateText(text, plain), std::nullopt);
    }
}

TEST(ParseDateTextTest, AmPmIgnoresAsciiCase) {
    const DateTextFormat us = MakeDateTextFormat("M/d/yy h:mm AP", "AM", "PM");
    for (const char* text : {"1/5/2026 1:05 PM", "1/5/2026 1:05 pm", "1/5/2026 1:05 pM"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(ParseDateText(text, us), At(2026, 1, 5, 13, 5));
    }
    EXPECT_EQ(ParseDateText("1/5/2026 12:30 am", us), At(2026, 1, 5, 0, 30));
}

TEST(ParseDateTextTest, TwentyFourHourFieldMustAgreeWithAmPm) {
    const DateTextFormat f = MakeDateTextFormat("yyyy-MM-dd HH:mm AP", "AM", "PM");
    EXPECT_EQ(FormatDateText(At(2026, 1, 5, 13, 0), f), "2026-01-05 13:00 PM");
    EXPECT_EQ(ParseDateText("2026-01-05 13:00 PM", f), At(2026, 1, 5, 13, 0));
    EXPECT_EQ(ParseDateText("2026-01-05 13:00 AM", f), std::nullopt);
    EXPECT_EQ(ParseDateText("2026-01-05 01:00 PM", f), std::nullopt);
}

TEST(ParseDateTextTest, RefusesFormatsThatWereNotMadeReadable) {
    // Built by hand rather than through MakeDateTextFormat.
    const DateTextFormat cases[] = {
        {.pattern = "M/d/yy h:mm AP", .amText = "AM", .pmText = "PM"},
        {.pattern = "d MMM yyyy HH:mm", .amText = "", .pmText = ""},
        {.pattern = "yyyyMdHm", .amText = "", .pmText = ""},
        {.pattern = "M/d/yyyy h:mm AP", .amText = "AM", .pmText = "am"},
        {.pattern = "yyyy-MM-dd", .amText = "", .pmText = ""},
    };
    for (const DateTextFormat& f : cases) {
        SCOPED_TRACE(f.pattern);
        EXPECT_EQ(ParseDateText(FormatDateText(At(2026, 1, 5, 13, 5), f), f), std::nullopt);
    }
}

}  // namespace
}  // namespace varnelo
