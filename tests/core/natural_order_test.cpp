#include "core/natural_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace varnelo {
namespace {

TEST(NaturalLessTest, ComparesDigitRunsByValue) {
    struct Case {
        std::string_view a;
        std::string_view b;
    };
    // Each a sorts strictly before its b.
    const Case cases[] = {
        {.a = "file2", .b = "file10"},
        {.a = "file9.txt", .b = "file10.txt"},
        {.a = "a2b3", .b = "a2b12"},
        {.a = "a2b99", .b = "a10b1"},
        {.a = "", .b = "a"},
        {.a = "a", .b = "a1"},
        {.a = "a1", .b = "a1b"},
        {.a = "x-1", .b = "x1"},  // '-' is below the digits
        {.a = "x1", .b = "x:"},   // ':' is above them
        {.a = "9", .b = "a"},
        {.a = "Zeta", .b = "alpha"},  // plain byte order, upper case first
        {.a = "z", .b = "\xE4\xB8\xAD"},
        {.a = "a1", .b = "a01"},  // equal values: fewer leading zeros first
        {.a = "a01", .b = "a001"},
        {.a = "a0", .b = "a00"},
        {.a = "a1b01", .b = "a01b1"},  // the first difference in zeros decides
        {.a = "a01b", .b = "a1c"},     // a later byte outranks the zeros
        {.a = "n18446744073709551615", .b = "n18446744073709551616"},
        {.a = "n99999999999999999999999", .b = "n100000000000000000000000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " < " + std::string(c.b));
        EXPECT_TRUE(NaturalLess(c.a, c.b));
        EXPECT_FALSE(NaturalLess(c.b, c.a));
    }
    EXPECT_FALSE(NaturalLess("same10", "same10"));
    EXPECT_FALSE(NaturalLess("", ""));
}

TEST(NaturalLessTest, IsAStrictTotalOrder) {
    const std::vector<std::string> names = {
        "",   "0",   "00", "1",   "01",  "001",  "10",    "9",     "a",
        "a0", "a00", "a1", "a01", "a1b", "a01b", "a1b01", "a01b1", "a10",
        "a9", "a-1", "a:", "b",   "B",   "x2y",  "x02y",  "x2y0",  "\xFF"};
    for (const auto& x : names) {
        for (const auto& y : names) {
            const bool xy = NaturalLess(x, y);
            const bool yx = NaturalLess(y, x);
            if (x == y) {
                EXPECT_FALSE(xy) << x;
            } else {
                EXPECT_NE(xy, yx) << x << " vs " << y;
            }
            for (const auto& z : names) {
                if (xy && NaturalLess(y, z)) {
                    EXPECT_TRUE(NaturalLess(x, z)) << x << " " << y << " " << z;
                }
            }
        }
    }
}

TEST(NaturalLessTest, SortsNamesAsPeopleRead) {
    std::vector<std::string> names = {"img12.png", "img2.png",  "IMG3.png", "img02.png",
                                      "img1.png",  "img10.png", "img"};
    std::sort(names.begin(), names.end(),
              [](const auto& a, const auto& b) { return NaturalLess(a, b); });
    const std::vector<std::string> expected = {"IMG3.png",  "img",       "img1.png", "img2.png",
                                               "img02.png", "img10.png", "img12.png"};
    EXPECT_EQ(names, expected);
}

}  // namespace
}  // namespace varnelo
