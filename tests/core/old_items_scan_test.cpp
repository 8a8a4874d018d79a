#include "core/old_items_scan.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/errors.h"
#include "tests/support/fake_rows.h"

namespace varnelo {
namespace {

using namespace std::chrono;
using test::FakeRow;
using test::FakeRows;

const Day kToday = local_days{year{2026} / 3 / 10};

Moment At(int y, unsigned mo, unsigned d, int h, int mi) {
    return local_days{year{y} / month{mo} / day{d}} + hours{h} + minutes{mi};
}

Moment DaysFromToday(std::int64_t n) { return time_point_cast<seconds>(kToday) + hours{n * 24}; }

TEST(CalcCutoffTest, ByDateTakesThePickerAsItIs) {
    const CutoffControls controls{
        .byDate = true, .pickerValue = At(2026, 1, 9, 13, 45), .daysText = "not a number"};
    EXPECT_EQ(CalcCutoff(controls, kToday), At(2026, 1, 9, 13, 45));
}

struct DaysCase {
    const char* text;
    std::int64_t fromToday;
};

TEST(CalcCutoffTest, ByDaysCountsBackFromMidnightToday) {
    const DaysCase cases[] = {
        {.text = "60", .fromToday = -60},
        {.text = "0", .fromToday = 0},
        {.text = "-5", .fromToday = 5},
        {.text = "   30", .fromToday = -30},
        {.text = "+7", .fromToday = -7},
        {.text = "$10", .fromToday = -16},
        {.text = "2147483647", .fromToday = -2147483647LL},
        {.text = "-2147483648", .fromToday = 2147483648LL},
    };
    for (const DaysCase& c : cases) {
        SCOPED_TRACE(c.text);
        const CutoffControls controls{
            .byDate = false, .pickerValue = At(2000, 1, 1, 0, 0), .daysText = c.text};
        EXPECT_EQ(CalcCutoff(controls, kToday), DaysFromToday(c.fromToday));
    }
}

TEST(CalcCutoffTest, ByDaysRefusesTextThatIsNoInteger) {
    for (const char* text : {"30 ", "", " ", "abc", "1.5", "30天", "2147483648", "\t30"}) {
        SCOPED_TRACE(text);
        const CutoffControls controls{.byDate = false, .daysText = text};
        try {
            CalcCutoff(controls, kToday);
            ADD_FAILURE() << "accepted";
        } catch (const ConversionError& e) {
            EXPECT_EQ(e.what(), "'" + std::string(text) + "' is not a valid integer value");
        }
    }
}

// Rows use the portable date text; one test checks that the locale's format is the one used.
const DateTextFormat kPlain = MakeDateTextFormat(kFallbackDatePattern, "", "");

FakeRow Row(const char* deleted, const char* size) {
    return {.name = deleted, .deletedText = deleted, .sizeText = size};
}

TEST(ScanOldItemsTest, OnlyItemsStrictlyBeforeTheCutoffAreOld) {
    FakeRows rows({
        Row("2026-03-09 23:59", "10 KB"),  // the minute before
        Row("2026-03-10 00:00", "20 KB"),  // exactly at the cutoff
        Row("2026-03-10 10:00", "40 KB"),
        Row("2025-12-31 08:00", "80 KB"),
        Row("2026-04-01 00:00", "160 KB"),
    });
    const ScanResult r = ScanOldItems(rows, At(2026, 3, 10, 0, 0), kPlain, {});
    EXPECT_EQ(r.matchCount, 2);
    EXPECT_EQ(r.matchSizeKb, 90);
    EXPECT_EQ(r.skippedCount, 0);
    EXPECT_EQ(r.notRemovedCount, 0);
    EXPECT_EQ(rows.selections, (std::vector<int>{0, 3}));
    EXPECT_EQ(rows.selected, 3);  // the last old row stays selected
    EXPECT_EQ(rows.itemCountCalls, 1);
}

TEST(ScanOldItemsTest, SixtyDaysMeansBeforeMidnightOfThatDay) {
    // 60 days before 2026-03-10 is 2026-01-09.
    FakeRows rows({Row("2026-01-09 10:00", "1 KB"), Row("2026-01-08 23:59", "2 KB")});
    const Moment cutoff = CalcCutoff({.byDate = false, .daysText = "60"}, kToday);
    const ScanResult r = ScanOldItems(rows, cutoff, kPlain, {});
    EXPECT_EQ(r.matchCount, 1);
    EXPECT_EQ(r.matchSizeKb, 2);
    EXPECT_EQ(rows.selected, 1);
}

TEST(ScanOldItemsTest, ZeroAndNegativeDaysMoveTheCutoffForward) {
    FakeRows rows({Row("2026-03-09 23:59", "1 KB"), Row("2026-03-10 00:00", "2 KB"),
                   Row("2026-03-14 23:59", "4 KB"), Row("2026-03-15 00:00", "8 KB")});
    const ScanResult today =
        ScanOldItems(rows, CalcCutoff({.byDate = false, .daysText = "0"}, kToday), kPlain, {});
    EXPECT_EQ(today.matchSizeKb, 1);
    const ScanResult ahead =
        ScanOldItems(rows, CalcCutoff({.byDate = false, .daysText = "-5"}, kToday), kPlain, {});
    EXPECT_EQ(ahead.matchSizeKb, 7);
}

TEST(ScanOldItemsTest, ReadsDatesInTheGivenFormat) {
    const DateTextFormat us = MakeDateTextFormat("M/d/yy h:mm AP", "AM", "PM");
    FakeRows rows({Row("3/9/2026 11:59 PM", "5 KB"), Row("3/10/2026 12:00 AM", "7 KB")});
    const ScanResult r = ScanOldItems(rows, At(2026, 3, 10, 0, 0), us, {});
    EXPECT_EQ(r.matchCount, 1);
    EXPECT_EQ(r.matchSizeKb, 5);
    // The same texts mean nothing in another format, so nothing is old.
    const ScanResult plain = ScanOldItems(rows, At(2026, 3, 10, 0, 0), kPlain, {});
    EXPECT_EQ(plain.matchCount, 0);
    EXPECT_EQ(plain.skippedCount, 2);
}

TEST(ScanOldItemsTest, RowsItCannotReadAreLeftAlone) {
    FakeRows rows({
        Row("", "1 KB"),                      // no date
        Row("yesterday", "2 KB"),             // unreadable date
        Row("2026-02-30 10:00", "4 KB"),      // no such day
        Row("2020-01-01 00:00", "12 34 KB"),  // old, size unreadable
        Row("2030-01-01 00:00", "junk"),      // not old: its size is never read
        Row("2020-01-01 00:00", "8 KB"),
    });
    int actions = 0;
    const ScanResult r = ScanOldItems(rows, At(2026, 3, 10, 0, 0), kPlain, [&] {
        ++actions;
        EXPECT_EQ(rows.selected, 5);
        return ActionResult::Removed;
    });
    EXPECT_EQ(actions, 1);
    EXPECT_EQ(r.matchCount, 1);
    EXPECT_EQ(r.matchSizeKb, 8);
    EXPECT_EQ(r.skippedCount, 4);
    EXPECT_EQ(rows.selections, (std::vector<int>{3, 5}));
}

TEST(ScanOldItemsTest, CountsWhatTheActionReports) {
    FakeRows rows({Row("2020-01-01 00:00", "1 KB"), Row("2020-01-02 00:00", "2 KB"),
                   Row("2030-01-01 00:00", "999 KB"), Row("2020-01-03 00:00", "4 KB"),
                   Row("2020-01-04 00:00", "8 KB")});
    const ActionResult results[] = {ActionResult::Removed, ActionResult::RemovedWithoutSize,
                                    ActionResult::NotRemoved, ActionResult::Removed};
    std::vector<int> actedOn;
    const ScanResult r = ScanOldItems(rows, At(2026, 3, 10, 0, 0), kPlain, [&] {
        actedOn.push_back(rows.selected);
        return results[actedOn.size() - 1];
    });
    EXPECT_EQ(actedOn, (std::vector<int>{0, 1, 3, 4}));
    EXPECT_EQ(r.matchCount, 3);
    EXPECT_EQ(r.matchSizeKb, 1 + 8);  // a removal without size and a failure free nothing
    EXPECT_EQ(r.notRemovedCount, 1);
    EXPECT_EQ(r.skippedCount, 0);
}

TEST(ScanOldItemsTest, ErrorsFromTheActionEndTheWalk) {
    FakeRows rows({Row("2020-01-01 00:00", "1 KB"), Row("2020-01-02 00:00", "2 KB"),
                   Row("2020-01-03 00:00", "4 KB")});
    int actions = 0;
    EXPECT_THROW(ScanOldItems(rows, At(2026, 3, 10, 0, 0), kPlain,
                              [&]() -> ActionResult {
                                  if (++actions == 2) throw std::runtime_error("disk gone");
                                  return ActionResult::Removed;
                              }),
                 std::runtime_error);
    EXPECT_EQ(actions, 2);
    EXPECT_EQ(rows.selected, 1);
}

TEST(ScanOldItemsTest, SizesAddUpBeyondThirtyTwoBits) {
    FakeRows rows(
        {Row("2020-01-01 00:00", "2,000,000,000 KB"), Row("2020-01-01 00:00", "2,000,000,000 KB")});
    EXPECT_EQ(ScanOldItems(rows, At(2026, 3, 10, 0, 0), kPlain, {}).matchSizeKb, 4000000000LL);
}

TEST(ScanOldItemsTest, EmptyListRunsNoAction) {
    FakeRows rows;
    int actions = 0;
    const ScanResult r = ScanOldItems(rows, At(2026, 3, 10, 0, 0), kPlain, [&] {
        ++actions;
        return ActionResult::Removed;
    });
    EXPECT_EQ(actions, 0);
    EXPECT_EQ(r.matchCount, 0);
    EXPECT_EQ(r.matchSizeKb, 0);
    EXPECT_EQ(r.skippedCount, 0);
    EXPECT_TRUE(rows.selections.empty());
}

}  // namespace
}  // namespace varnelo
