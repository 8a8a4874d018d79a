#include "core/size_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "core/errors.h"

namespace varnelo {
namespace {

struct SizeCase {
    std::string text;
    std::int64_t kb;
};

TEST(ParseSizeTextTest, ReadsTheSizeColumn) {
    const SizeCase cases[] = {
        {.text = "0 KB", .kb = 0},
        {.text = "999 KB", .kb = 999},
        {.text = "12,345 KB", .kb = 12345},
        {.text = "1,234,567 KB", .kb = 1234567},
        {.text = "3,000,000,000 KB", .kb = 3000000000},  // beyond 32 bits
        {.text = "7XY", .kb = 7},                        // the last two bytes go, whatever they are
        {.text = " \t12 \n KB", .kb = 12},               // blanks and control bytes at both ends
        {.text = ",1,,2, KB", .kb = 12},
        {.text = "-5 KB", .kb = -5},
        {.text = "$10 KB", .kb = 16},
        {.text = std::string("\x01"
                             "8\x1f"
                             "KB"),
         .kb = 8},
    };
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParseSizeText(c.text), c.kb);
    }
}

struct BadSize {
    const char* text;
    const char* shown;  // what the message quotes: the text after dropping, removing and trimming
};

TEST(ParseSizeTextTest, FailsNamingWhatWasConverted) {
    const BadSize cases[] = {
        {.text = "", .shown = ""},
        {.text = "KB", .shown = ""},
        {.text = "5K", .shown = ""},
        {.text = " KB", .shown = ""},
        {.text = "1 234 KB", .shown = "1 234"},  // only ',' groups digits
        {.text = "1.234 KB", .shown = "1.234"},
        {.text = " 1,2a3 KB", .shown = "12a3"},
        {.text = "99999999999999999999 KB", .shown = "99999999999999999999"},
    };
    for (const BadSize& c : cases) {
        SCOPED_TRACE(c.text);
        try {
            ParseSizeText(c.text);
            ADD_FAILURE() << "accepted";
        } catch (const ConversionError& e) {
            EXPECT_EQ(e.what(), "'" + std::string(c.shown) + "' is not a valid integer value");
        }
    }
}

struct BytesCase {
    std::uint64_t bytes;
    const char* text;
};

TEST(SizeTextFromBytesTest, RoundsUpToWholeKilobytes) {
    const BytesCase cases[] = {
        {.bytes = 0, .text = "0 KB"},
        {.bytes = 1, .text = "1 KB"},
        {.bytes = 1023, .text = "1 KB"},
        {.bytes = 1024, .text = "1 KB"},
        {.bytes = 1025, .text = "2 KB"},
        {.bytes = 999 * 1024, .text = "999 KB"},
        {.bytes = 1000 * 1024, .text = "1,000 KB"},
        {.bytes = 1234567ULL * 1024, .text = "1,234,567 KB"},
        {.bytes = std::numeric_limits<std::uint64_t>::max(), .text = "18,014,398,509,481,984 KB"},
    };
    for (const BytesCase& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(SizeTextFromBytes(c.bytes), c.text);
    }
}

TEST(SizeTextFromBytesTest, ReadsBackThroughParseSizeText) {
    const std::uint64_t tb = 1024ULL * 1024 * 1024 * 1024;
    const std::uint64_t sizes[] = {0,
                                   1,
                                   1024,
                                   1025,
                                   4096 * 1000,
                                   2 * tb - 1,
                                   2 * tb,
                                   2 * tb + 1,
                                   3 * tb + 7,
                                   1000 * tb,
                                   std::numeric_limits<std::uint64_t>::max()};
    for (const std::uint64_t bytes : sizes) {
        SCOPED_TRACE(bytes);
        const auto kb = static_cast<std::int64_t>(bytes / 1024 + (bytes % 1024 != 0));
        EXPECT_EQ(ParseSizeText(SizeTextFromBytes(bytes)), kb);
    }
}

struct DisplayCase {
    std::int64_t kb;
    const char* separator;
    const char* text;
};

TEST(KilobyteDisplayTest, GroupsWithTheLocaleSeparator) {
    const DisplayCase cases[] = {
        {.kb = 0, .separator = ",", .text = "0KB"},
        {.kb = -1, .separator = ",", .text = "0KB"},
        {.kb = std::numeric_limits<std::int64_t>::min(), .separator = ",", .text = "0KB"},
        {.kb = 1, .separator = ",", .text = "1KB"},
        {.kb = 999, .separator = ",", .text = "999KB"},
        {.kb = 1000, .separator = ",", .text = "1,000KB"},
        {.kb = 1234567, .separator = ",", .text = "1,234,567KB"},
        {.kb = 100000, .separator = ",", .text = "100,000KB"},
        {.kb = 1234567, .separator = ".", .text = "1.234.567KB"},
        {.kb = 1234567, .separator = "\u00a0", .text = "1\u00a0234\u00a0567KB"},
        {.kb = 1234567, .separator = "\u202f", .text = "1\u202f234\u202f567KB"},
        {.kb = 1234567, .separator = "", .text = "1234567KB"},
        {.kb = 3000000000, .separator = ",", .text = "3,000,000,000KB"},
        {.kb = std::numeric_limits<std::int64_t>::max(),
         .separator = ",",
         .text = "9,223,372,036,854,775,807KB"},
    };
    for (const DisplayCase& c : cases) {
        SCOPED_TRACE(c.kb);
        EXPECT_EQ(KilobyteDisplay(c.kb, c.separator), c.text);
    }
}

}  // namespace
}  // namespace varnelo
