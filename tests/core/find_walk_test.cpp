#include "core/find_walk.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/fake_rows.h"

namespace varnelo {
namespace {

using test::FakeRow;
using test::FakeRows;

FakeRows Named(const std::vector<std::string>& names) {
    std::vector<FakeRow> rows;
    for (const std::string& n : names) rows.push_back({.name = n});
    return FakeRows(std::move(rows));
}

struct Step {
    FindDirection direction;
    FindOutcome outcome;
    int row;       // the hit, -1 for none
    int posAfter;  // searchPos afterwards
};

void Walk(FakeRows& rows, int searchPos, const std::string& text, const std::vector<Step>& steps) {
    for (std::size_t k = 0; k < steps.size(); ++k) {
        SCOPED_TRACE("step " + std::to_string(k));
        const Step& s = steps[k];
        const int selectedBefore = rows.selected;
        const FindResult r = FindNext(rows, searchPos, text, s.direction);
        EXPECT_EQ(r.outcome, s.outcome);
        EXPECT_EQ(r.row, s.row);
        EXPECT_EQ(searchPos, s.posAfter);
        EXPECT_EQ(rows.selected, s.outcome == FindOutcome::Hit ? s.row : selectedBefore);
    }
}

constexpr auto kDown = FindDirection::Down;
constexpr auto kUp = FindDirection::Up;
constexpr auto kHit = FindOutcome::Hit;
constexpr auto kEnd = FindOutcome::EndReached;
constexpr auto kNothing = FindOutcome::Nothing;

// Five items, the second and the fourth holding the text.
const std::vector<std::string> kFive = {"a.txt", "report-1.odt", "b.txt", "old report.pdf",
                                        "c.txt"};

TEST(FindNextTest, WalksDownThenRepeatsTheEndMessage) {
    FakeRows rows = Named(kFive);
    Walk(rows, 0, "report",
         {
             {.direction = kDown, .outcome = kHit, .row = 1, .posAfter = 2},
             {.direction = kDown, .outcome = kHit, .row = 3, .posAfter = 4},
             {.direction = kDown, .outcome = kEnd, .row = -1, .posAfter = 4},
             {.direction = kDown, .outcome = kEnd, .row = -1, .posAfter = 4},
         });
}

TEST(FindNextTest, TurningUpStartsAtTheRowAfterTheLastHit) {
    FakeRows rows = Named(kFive);
    Walk(rows, 0, "report",
         {
             {.direction = kDown, .outcome = kHit, .row = 1, .posAfter = 2},
             {.direction = kDown, .outcome = kHit, .row = 3, .posAfter = 4},
             {.direction = kUp, .outcome = kHit, .row = 3, .posAfter = 2},
             {.direction = kUp, .outcome = kHit, .row = 1, .posAfter = 0},
             {.direction = kUp, .outcome = kEnd, .row = -1, .posAfter = 0},
             {.direction = kDown, .outcome = kHit, .row = 1, .posAfter = 2},
         });
}

TEST(FindNextTest, PositionsOutsideTheListAreClampedOrDoNothing) {
    FakeRows lastMatches = Named({"x", "y", "match"});
    Walk(lastMatches, 0, "match",
         {
             {.direction = kDown, .outcome = kHit, .row = 2, .posAfter = 3},
             {.direction = kDown, .outcome = kNothing, .row = -1, .posAfter = 3},
             {.direction = kUp, .outcome = kHit, .row = 2, .posAfter = 1},
         });

    FakeRows firstMatches = Named({"match", "y", "z"});
    Walk(firstMatches, 0, "match",
         {
             {.direction = kDown, .outcome = kHit, .row = 0, .posAfter = 1},
             {.direction = kUp, .outcome = kHit, .row = 0, .posAfter = -1},
             {.direction = kUp, .outcome = kNothing, .row = -1, .posAfter = -1},
             {.direction = kDown, .outcome = kHit, .row = 0, .posAfter = 1},
         });

    // A list that shrank since the last hit.
    FakeRows shrunk = Named({"match", "y", "match"});
    Walk(shrunk, 10, "match",
         {
             {.direction = kDown, .outcome = kNothing, .row = -1, .posAfter = 10},
             {.direction = kUp, .outcome = kHit, .row = 2, .posAfter = 1},
         });
}

TEST(FindNextTest, EmptyListDoesNothingEitherWay) {
    for (const int start : {0, -1, 5}) {
        SCOPED_TRACE(start);
        FakeRows rows;
        Walk(rows, start, "x",
             {
                 {.direction = kDown, .outcome = kNothing, .row = -1, .posAfter = start},
                 {.direction = kUp, .outcome = kNothing, .row = -1, .posAfter = start},
             });
        EXPECT_TRUE(rows.selections.empty());
    }
}

TEST(FindNextTest, MatchesExactBytesOnly) {
    FakeRows rows = Named({"REPORT.TXT", "Report.txt", "年度报告.doc"});
    Walk(rows, 0, "report",
         {
             {.direction = kDown, .outcome = kEnd, .row = -1, .posAfter = 0},
             {.direction = kUp, .outcome = kEnd, .row = -1, .posAfter = 0},
         });
    Walk(rows, 0, "Report", {{.direction = kDown, .outcome = kHit, .row = 1, .posAfter = 2}});
    Walk(rows, 0, "报告", {{.direction = kDown, .outcome = kHit, .row = 2, .posAfter = 3}});
    // An empty text matches nothing, not every row.
    Walk(rows, 0, "", {{.direction = kDown, .outcome = kEnd, .row = -1, .posAfter = 0}});
    Walk(rows, 2, "", {{.direction = kUp, .outcome = kEnd, .row = -1, .posAfter = 2}});
}

}  // namespace
}  // namespace varnelo
