#include "core/integer_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "core/errors.h"

namespace varnelo {
namespace {

struct Good32 {
    const char* text;
    std::int32_t value;
};

TEST(StrToIntTest, AcceptsTheRuntimeForms) {
    const Good32 cases[] = {
        {.text = "0", .value = 0},
        {.text = "60", .value = 60},
        {.text = "007", .value = 7},
        {.text = "   30", .value = 30},
        {.text = "+5", .value = 5},
        {.text = "-5", .value = -5},
        {.text = "  -12", .value = -12},
        {.text = "2147483647", .value = std::numeric_limits<std::int32_t>::max()},
        {.text = "-2147483648", .value = std::numeric_limits<std::int32_t>::min()},
        {.text = "$10", .value = 16},
        {.text = "x1f", .value = 31},
        {.text = "X1F", .value = 31},
        {.text = "0x10", .value = 16},
        {.text = "0XaB", .value = 171},
        {.text = "-$10", .value = -16},
        {.text = "+0x10", .value = 16},
        {.text = " $7FFFFFFF", .value = std::numeric_limits<std::int32_t>::max()},
        // Eight hex digits fill all 32 bits; the top one turns into the sign.
        {.text = "$80000000", .value = std::numeric_limits<std::int32_t>::min()},
        {.text = "$FFFFFFFF", .value = -1},
        {.text = "-$FFFFFFFF", .value = 1},
        {.text = "$000000000001", .value = 1},  // leading zeros do not count against the width
    };
    for (const Good32& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(StrToInt(c.text), c.value);
    }
}

TEST(StrToIntTest, RejectsWithTheWholeTextInTheMessage) {
    const char* cases[] = {
        "",           " ",           "   ",
        "+",          "-",           "+-1",
        "--1",
        "- 1",  // the sign must touch the number
        "30 ",  // trailing blank
        "30x",        "1.5",         "1,000",
        "\t30",  // only ' ' counts as a leading blank
        "abc",        "$",           "0x",
        "x",          "$G",          "0x1G",
        "2147483648", "-2147483649", "99999999999999999999",
        "$100000000",  // nine significant hex digits
        "1e3",
        "٣",  // a non-ASCII digit
    };
    for (const char* text : cases) {
        SCOPED_TRACE(text);
        try {
            StrToInt(text);
            ADD_FAILURE() << "accepted";
        } catch (const ConversionError& e) {
            EXPECT_EQ(e.what(), "'" + std::string(text) + "' is not a valid integer value");
        }
    }
}

TEST(StrToIntTest, EmbeddedNulIsNotTheEnd) {
    const std::string text(
        "12\0"
        "3",
        4);
    EXPECT_THROW(StrToInt(text), ConversionError);
}

struct Good64 {
    const char* text;
    std::int64_t value;
};

TEST(StrToInt64Test, SameRulesWithSixtyFourBits) {
    const Good64 cases[] = {
        {.text = " 2147483648", .value = 2147483648LL},
        {.text = "-2147483649", .value = -2147483649LL},
        {.text = "9223372036854775807", .value = std::numeric_limits<std::int64_t>::max()},
        {.text = "-9223372036854775808", .value = std::numeric_limits<std::int64_t>::min()},
        {.text = "$100000000", .value = 0x100000000LL},
        {.text = "$7FFFFFFFFFFFFFFF", .value = std::numeric_limits<std::int64_t>::max()},
        {.text = "$FFFFFFFFFFFFFFFF", .value = -1},
        {.text = "-0x10", .value = -16},
    };
    for (const Good64& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(StrToInt64(c.text), c.value);
    }
    const char* bad[] = {"9223372036854775808", "-9223372036854775809", "$10000000000000000", "1 ",
                         ""};
    for (const char* text : bad) {
        SCOPED_TRACE(text);
        EXPECT_THROW(StrToInt64(text), ConversionError);
    }
}

}  // namespace
}  // namespace varnelo
