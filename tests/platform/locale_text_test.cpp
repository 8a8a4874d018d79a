#include "platform/locale_text.h"

#include <gtest/gtest.h>

#include <QLocale>

namespace varnelo {
namespace {

using namespace std::chrono;

class DeletedTextRoundTrip : public ::testing::TestWithParam<std::string> {};

// A Date Deleted text must read back as the same minute in every locale; above all a
// two-digit-year format must not put a 2026 deletion into 1926, where it would be "old".
TEST_P(DeletedTextRoundTrip, GivesTheSameMinute) {
    const QLocale locale(QString::fromStdString(GetParam()));
    const DateTextFormat format = DeletedTextFormat(locale);
    const Moment moments[] = {
        local_days{2026y / December / 11} + 0h + 0min,
        local_days{2026y / January / 2} + 12h + 5min,
        local_days{2000y / February / 29} + 23h + 59min,
        local_days{1999y / December / 31} + 11h + 59min,
        local_days{2069y / July / 4} + 13h + 1min,
    };
    for (const Moment m : moments) {
        const std::string text = FormatDateText(m, format);
        const std::optional<Moment> back = ParseDateText(text, format);
        ASSERT_TRUE(back.has_value()) << GetParam() << ": " << text;
        EXPECT_EQ(floor<minutes>(*back), floor<minutes>(m)) << GetParam() << ": " << text;
    }
}

INSTANTIATE_TEST_SUITE_P(Locales, DeletedTextRoundTrip,
                         ::testing::Values("zh_CN", "en_US", "de_DE", "en_GB", "ja_JP", "fr_FR",
                                           "ko_KR", "ar_EG", "fa_IR", "hi_IN", "zh_TW"),
                         [](const auto& info) { return info.param; });

TEST(DeletedTextFormat, ShowsTheLocalesOwnOrderWithAFullYear) {
    const Moment m = local_days{2026y / March / 7} + 15h + 4min;
    EXPECT_EQ(FormatDateText(m, DeletedTextFormat(QLocale("de_DE"))), "07.03.2026 15:04");
    EXPECT_EQ(FormatDateText(m, DeletedTextFormat(QLocale("zh_CN"))), "2026/3/7 15:04");
}

TEST(LocaleDays, ConvertBothWays) {
    const QDate date(2024, 2, 29);
    EXPECT_EQ(ToQDate(ToDay(date)), date);
    EXPECT_EQ(ToDay(date), local_days{2024y / February / 29});
}

}  // namespace
}  // namespace varnelo
