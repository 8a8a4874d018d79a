#include "core/trash_info.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace varnelo {
namespace {

using namespace std::chrono;

Moment At(int y, unsigned mo, unsigned d, int h, int mi, int s) {
    return local_days(year(y) / month(mo) / day(d)) + hours(h) + minutes(mi) + seconds(s);
}

// Puts TZ back when a test is done with its own zone.
class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) saved_ = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (saved_)
            setenv("TZ", saved_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

  private:
    std::optional<std::string> saved_;
};

// POSIX zone rules need no zone database on the machine.
constexpr const char* kShanghai = "CST-8";
constexpr const char* kBerlin = "CET-1CEST,M3.5.0,M10.5.0/3";

TEST(ParseTrashInfoTest, ReadsPathAndDateFromItsGroup) {
    struct Case {
        const char* name;
        std::string content;
        std::optional<std::string> path;
        std::optional<Moment> deletedAt;
    };
    using namespace std::string_literals;
    const Moment when = At(2004, 8, 31, 22, 32, 8);
    const Case cases[] = {
        {.name = "plain",
         .content = "[Trash Info]\nPath=/home/u/a%20b.txt\nDeletionDate=2004-08-31T22:32:08\n",
         .path = "/home/u/a b.txt",
         .deletedAt = when},
        {.name = "crlf and no final newline",
         .content = "[Trash Info]\r\nPath=/x\r\nDeletionDate=2004-08-31T22:32:08",
         .path = "/x",
         .deletedAt = when},
        {.name = "byte order mark",
         .content = "\xEF\xBB\xBF[Trash Info]\nPath=/x\n",
         .path = "/x",
         .deletedAt = std::nullopt},
        {.name = "blanks, comments and empty lines",
         .content = "# written by hand\n\n  [Trash Info]  \n\tPath = /x \n# note\nDeletionDate =  "
                    "2004-08-31T22:32:08\n",
         .path = "/x",
         .deletedAt = when},
        {.name = "relative path kept as written",
         .content = "[Trash Info]\nPath=dir/../f\n",
         .path = "dir/../f",
         .deletedAt = std::nullopt},
        {.name = "keys before the group",
         .content = "Path=/early\n[Trash Info]\nDeletionDate=2004-08-31T22:32:08\n",
         .path = std::nullopt,
         .deletedAt = when},
        {.name = "keys of another group",
         .content = "[Trash Info]\nDeletionDate=2004-08-31T22:32:08\n[Other]\nPath=/x\n",
         .path = std::nullopt,
         .deletedAt = when},
        {.name = "second group of the same name",
         .content =
             "[Trash Info]\nPath=/a\n[Trash Info]\nPath=/b\nDeletionDate=20040831T22:32:08\n",
         .path = "/a",
         .deletedAt = std::nullopt},
        {.name = "missing group",
         .content = "Path=/x\nDeletionDate=2004-08-31T22:32:08\n",
         .path = std::nullopt,
         .deletedAt = std::nullopt},
        {.name = "first of repeated keys",
         .content = "[Trash Info]\nPath=/a\nPath=/b\nDeletionDate=2004-08-31T22:32:08\n"
                    "DeletionDate=2001-01-01T00:00:00\n",
         .path = "/a",
         .deletedAt = when},
        {.name = "a broken first value is not replaced by a later one",
         .content = "[Trash Info]\nPath=/a%zz\nPath=/b\nDeletionDate=yesterday\n"
                    "DeletionDate=2004-08-31T22:32:08\n",
         .path = std::nullopt,
         .deletedAt = std::nullopt},
        {.name = "keys are exact",
         .content = "[Trash Info]\npath=/a\nPath[de]=/b\nDeletionDateX=2004-08-31T22:32:08\n",
         .path = std::nullopt,
         .deletedAt = std::nullopt},
        {.name = "group name is exact",
         .content = "[trash info]\nPath=/a\n",
         .path = std::nullopt,
         .deletedAt = std::nullopt},
        {.name = "empty path",
         .content = "[Trash Info]\nPath=\nDeletionDate=2004-08-31T22:32:08\n",
         .path = std::nullopt,
         .deletedAt = when},
        {.name = "encoded NUL in path",
         .content = "[Trash Info]\nPath=/a%00b\nDeletionDate=2004-08-31T22:32:08\n",
         .path = std::nullopt,
         .deletedAt = when},
        {.name = "raw NUL bytes",
         .content = "[Trash Info]\nPath=/a\0b\nDeletionDate=2004-08-31T22:32:08\0\n"s,
         .path = std::nullopt,
         .deletedAt = std::nullopt},
        {.name = "bytes that are not UTF-8",
         .content = "[Trash Info]\nPath=/caf%E9\xFF\n",
         .path = "/caf\xE9\xFF",
         .deletedAt = std::nullopt},
        {.name = "empty", .content = "", .path = std::nullopt, .deletedAt = std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TrashInfo info = ParseTrashInfo(c.content);
        EXPECT_EQ(info.path, c.path);
        EXPECT_EQ(info.deletedAt, c.deletedAt);
    }
}

TEST(ParseTrashInfoTest, SurvivesHugeAndRandomInput) {
    std::string huge = "[Trash Info]\nPath=/" + std::string(1 << 20, 'a') +
                       "\nDeletionDate=" + std::string(1 << 20, '9') + "\n";
    TrashInfo info = ParseTrashInfo(huge);
    ASSERT_TRUE(info.path);
    EXPECT_EQ(info.path->size(), (1u << 20) + 1);
    EXPECT_FALSE(info.deletedAt);

    EXPECT_FALSE(ParseTrashInfo(std::string(1 << 20, '[')).path);
    EXPECT_FALSE(ParseTrashInfo(std::string(1 << 20, '\n')).path);

    // Splices of pieces that sit on the parser's edges; whatever comes out must hold no NUL.
    const char* pieces[] = {"[Trash Info]",
                            "\n",
                            "\r",
                            "Path=",
                            "DeletionDate=",
                            "%",
                            "%0",
                            "%00",
                            "%4",
                            "%41",
                            "=",
                            "[",
                            "]",
                            " ",
                            "#",
                            "\xEF\xBB\xBF",
                            "2004-08-31",
                            "T22:32:08",
                            "+08:00",
                            "Z",
                            ".5",
                            "/",
                            ".."};
    std::uint32_t seed = 12345;
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        for (int k = 0; k < 24; ++k) {
            seed = seed * 1103515245u + 12345u;
            const auto pick = (seed >> 16) % (std::size(pieces) + 1);
            if (pick == std::size(pieces))
                text.push_back(static_cast<char>(seed >> 24));
            else
                text += pieces[pick];
        }
        info = ParseTrashInfo(text);
        if (info.path) {
            EXPECT_FALSE(info.path->empty());
            EXPECT_EQ(info.path->find('\0'), std::string::npos) << text;
        }
    }
}

TEST(PercentDecodeTest, DecodesEscapesAndRejectsBrokenOnes) {
    struct Case {
        std::string_view in;
        std::optional<std::string> out;
    };
    using namespace std::string_view_literals;
    const Case cases[] = {
        {.in = "", .out = ""},
        {.in = "plain+text", .out = "plain+text"},  // '+' is not a blank here
        {.in = "%41%62c", .out = "Abc"},
        {.in = "%2f%2F", .out = "//"},
        {.in = "100%25", .out = "100%"},
        {.in = "%E4%B8%AD", .out = "\xE4\xB8\xAD"},
        {.in = "%FF%fe", .out = "\xFF\xFE"},
        {.in = "%", .out = std::nullopt},
        {.in = "abc%", .out = std::nullopt},
        {.in = "%4", .out = std::nullopt},
        {.in = "%4g", .out = std::nullopt},
        {.in = "%g4", .out = std::nullopt},
        {.in = "% 41", .out = std::nullopt},
        {.in = "%00", .out = std::nullopt},
        {.in = "a%00", .out = std::nullopt},
        {.in = "a\0b"sv, .out = std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.in));
        EXPECT_EQ(PercentDecode(c.in), c.out);
    }
}

TEST(ParseDeletionDateTest, ReadsLocalTimesAndRejectsImpossibleOnes) {
    ScopedTimeZone zone(kShanghai);
    struct Case {
        const char* text;
        std::optional<Moment> moment;
    };
    const Moment when = At(2004, 8, 31, 22, 32, 8);
    const Case cases[] = {
        {.text = "2004-08-31T22:32:08", .moment = when},
        {.text = "20040831T22:32:08", .moment = when},
        {.text = "20040831T223208", .moment = when},
        {.text = " 2004-08-31T22:32:08 ", .moment = when},
        {.text = "2004-08-31 22:32:08", .moment = when},
        {.text = "2004-08-31T22:32:08.123", .moment = when},
        {.text = "2004-08-31T22:32:08.999999999", .moment = when},  // never rounded up
        {.text = "2004-08-31T22:32:08,5", .moment = when},
        {.text = "2024-02-29T00:00:00", .moment = At(2024, 2, 29, 0, 0, 0)},
        {.text = "2000-02-29T23:59:59", .moment = At(2000, 2, 29, 23, 59, 59)},
        {.text = "2023-02-29T00:00:00", .moment = std::nullopt},
        {.text = "2100-02-29T00:00:00", .moment = std::nullopt},
        {.text = "2004-04-31T00:00:00", .moment = std::nullopt},
        {.text = "2004-13-01T00:00:00", .moment = std::nullopt},
        {.text = "2004-00-01T00:00:00", .moment = std::nullopt},
        {.text = "2004-01-00T00:00:00", .moment = std::nullopt},
        {.text = "2004-01-32T00:00:00", .moment = std::nullopt},
        {.text = "2004-01-01T24:00:00", .moment = std::nullopt},
        {.text = "2004-01-01T23:60:00", .moment = std::nullopt},
        {.text = "2004-01-01T23:59:60", .moment = std::nullopt},
        {.text = "2004-08-31", .moment = std::nullopt},
        {.text = "2004-08-31T22:32", .moment = std::nullopt},
        {.text = "04-08-31T22:32:08", .moment = std::nullopt},
        {.text = "2004-8-31T22:32:08", .moment = std::nullopt},
        {.text = "2004-0831T22:32:08", .moment = std::nullopt},
        {.text = "2004-08-31T22:32:08.", .moment = std::nullopt},
        {.text = "2004-08-31T22:32:08 junk", .moment = std::nullopt},
        {.text = "2004-08-31T22:32:08+", .moment = std::nullopt},
        {.text = "2004-08-31T22:32:08+8", .moment = std::nullopt},
        {.text = "2004-08-31T22:32:08+08:", .moment = std::nullopt},
        {.text = "2004-08-31T22:32:08+24:00", .moment = std::nullopt},
        {.text = "2004-08-31T22:32:08+01:60", .moment = std::nullopt},
        {.text = "2004-08-31T22:32:08ZZ", .moment = std::nullopt},
        {.text = "２００４-08-31T22:32:08", .moment = std::nullopt},
        {.text = "", .moment = std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParseDeletionDate(c.text), c.moment);
    }
}

TEST(ParseDeletionDateTest, ConvertsOffsetsToLocalTime) {
    struct Case {
        const char* zone;
        const char* text;
        Moment local;
    };
    const Case cases[] = {
        {.zone = kShanghai, .text = "2004-08-31T22:32:08Z", .local = At(2004, 9, 1, 6, 32, 8)},
        {.zone = kShanghai, .text = "2004-08-31T22:32:08z", .local = At(2004, 9, 1, 6, 32, 8)},
        {.zone = kShanghai,
         .text = "2004-08-31T22:32:08+08:00",
         .local = At(2004, 8, 31, 22, 32, 8)},
        {.zone = kShanghai, .text = "2004-08-31T22:32:08+08", .local = At(2004, 8, 31, 22, 32, 8)},
        {.zone = kShanghai, .text = "2004-08-31T22:32:08+02:00", .local = At(2004, 9, 1, 4, 32, 8)},
        {.zone = kShanghai, .text = "2004-08-31T22:32:08-0130", .local = At(2004, 9, 1, 8, 2, 8)},
        {.zone = kShanghai,
         .text = "20041231T23:30:00.25-05:00",
         .local = At(2005, 1, 1, 12, 30, 0)},
        // Summer time applies by the date of the moment, not by today's offset.
        {.zone = kBerlin, .text = "2023-01-15T12:00:00Z", .local = At(2023, 1, 15, 13, 0, 0)},
        {.zone = kBerlin, .text = "2023-07-15T12:00:00Z", .local = At(2023, 7, 15, 14, 0, 0)},
        {.zone = kBerlin, .text = "2023-03-26T00:59:59Z", .local = At(2023, 3, 26, 1, 59, 59)},
        {.zone = kBerlin, .text = "2023-03-26T01:00:00Z", .local = At(2023, 3, 26, 3, 0, 0)},
        {.zone = "UTC0", .text = "2023-03-26T01:00:00+01:00", .local = At(2023, 3, 26, 0, 0, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.zone) + " " + c.text);
        ScopedTimeZone zone(c.zone);
        EXPECT_EQ(ParseDeletionDate(c.text), c.local);
    }
}

TEST(ParseDeletionDateTest, LocalTimesDoNotDependOnTheZone) {
    ScopedTimeZone zone(kBerlin);
    EXPECT_EQ(ParseDeletionDate("2023-03-26T02:30:00"), At(2023, 3, 26, 2, 30, 0));
}

}  // namespace
}  // namespace varnelo
