#include "core/directory_sizes.h"

#include <gtest/gtest.h>

#include <string>

namespace varnelo {
namespace {

TEST(ParseDirectorySizesTest, ReadsWellFormedLinesAndSkipsTheRest) {
    const std::string content =
        "4096 1700000000 plain\n"
        "12 1700000000123 with%20blank%25\n"     // milliseconds, encoded name
        "18446744073709551615 -5 %E4%B8%AD\r\n"  // largest size, CRLF
        "18446744073709551616 1 too-big\n"
        "-1 1 negative-size\n"
        "12 1\n"
        "12 1 \n"
        "12  1 two-blanks\n"
        "12 x name\n"
        "x 1 name\n"
        "12 1 bad%zz\n"
        "12 1 nul%00\n"
        "12 1 a%2Fb\n"
        "12 1 ..\n"
        "\n"
        "7 9 last-without-newline";
    const auto entries = ParseDirectorySizes(content);
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].sizeBytes, 4096u);
    EXPECT_EQ(entries[0].mtime, 1700000000);
    EXPECT_EQ(entries[0].name, "plain");
    EXPECT_EQ(entries[1].mtime, 1700000000123);
    EXPECT_EQ(entries[1].name, "with blank%");
    EXPECT_EQ(entries[2].sizeBytes, 18446744073709551615u);
    EXPECT_EQ(entries[2].mtime, -5);
    EXPECT_EQ(entries[2].name, "\xE4\xB8\xAD");
    EXPECT_EQ(entries[3].sizeBytes, 7u);
    EXPECT_EQ(entries[3].name, "last-without-newline");
}

TEST(DirectorySizeIsCurrentTest, MatchesSecondsOrMilliseconds) {
    struct Case {
        std::int64_t cached;
        bool current;
    };
    const Case cases[] = {
        {.cached = 1700000000, .current = true},     {.cached = 1700000000456, .current = true},
        {.cached = 1700000000000, .current = false},  // milliseconds of another moment
        {.cached = 1700000001, .current = false},    {.cached = 0, .current = false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cached);
        const DirectorySizeEntry entry{.sizeBytes = 1, .mtime = c.cached, .name = "d"};
        EXPECT_EQ(DirectorySizeIsCurrent(entry, 1700000000, 1700000000456), c.current);
    }
}

TEST(RemoveDirectorySizeEntryTest, DropsOnlyThatNameAndKeepsEveryOtherByte) {
    struct Case {
        const char* what;
        std::string content;
        std::string name;
        std::string expected;
    };
    const Case cases[] = {
        {.what = "middle line",
         .content = "1 2 a\n3 4 b\n5 6 c\n",
         .name = "b",
         .expected = "1 2 a\n5 6 c\n"},
        {.what = "every line of a repeated name",
         .content = "1 2 b\n3 4 a\n5 6 b\n",
         .name = "b",
         .expected = "3 4 a\n"},
        {.what = "encoded on disk",
         .content = "1 2 my%20dir\n3 4 my dir2\n",
         .name = "my dir",
         .expected = "3 4 my dir2\n"},
        {.what = "last byte encoded, lower-case hex",
         .content = "1 2 dir%7e\n3 4 dir~x\n5 6 di%72~\n",
         .name = "dir~",
         .expected = "3 4 dir~x\n"},
        {.what = "prefixes and suffixes stay",
         .content = "1 2 ab\n3 4 a\n5 6 xa\n",
         .name = "a",
         .expected = "1 2 ab\n5 6 xa\n"},
        {.what = "crlf, odd and malformed lines stay",
         .content = "1 2 a\r\n\n  junk \nx 1 b\n3 4 b\r\n9 9 c",
         .name = "b",
         .expected = "1 2 a\r\n\n  junk \nx 1 b\n9 9 c"},
        {.what = "last line without newline",
         .content = "1 2 a\n3 4 b",
         .name = "b",
         .expected = "1 2 a\n"},
        {.what = "absent name",
         .content = "1 2 a\n3 4 b",
         .name = "zz",
         .expected = "1 2 a\n3 4 b"},
        {.what = "bytes that are not UTF-8",
         .content = "1 2 %FF\n3 4 \xFF\xFE\n",
         .name = "\xFF",
         .expected = "3 4 \xFF\xFE\n"},
        {.what = "empty", .content = "", .name = "a", .expected = ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(RemoveDirectorySizeEntry(c.content, c.name), c.expected);
    }
}

}  // namespace
}  // namespace varnelo
