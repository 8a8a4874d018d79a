#include "core/natural_order.h"

#include <cstddef>

namespace varnelo {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t DigitRunEnd(std::string_view s, std::size_t i) {
    while (i < s.size() && IsDigit(s[i])) ++i;
    return i;
}

}  // namespace

bool NaturalLess(std::string_view a, std::string_view b) {
    // First difference in leading zeros between numbers of equal value; it decides only
    // when everything else is equal.
    int zerosTieBreak = 0;
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const bool digitA = IsDigit(a[i]);
        const bool digitB = IsDigit(b[j]);
        if (!digitA || !digitB) {
            // A number sorts where its digits would: a non-digit byte is never inside
            // '0'..'9', so comparing the first bytes is consistent.
            if (a[i] != b[j])
                return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
            ++i;
            ++j;
            continue;
        }
        const std::size_t endA = DigitRunEnd(a, i);
        const std::size_t endB = DigitRunEnd(b, j);
        std::size_t startA = i;
        std::size_t startB = j;
        while (startA + 1 < endA && a[startA] == '0') ++startA;
        while (startB + 1 < endB && b[startB] == '0') ++startB;
        const std::size_t lengthA = endA - startA;
        const std::size_t lengthB = endB - startB;
        if (lengthA != lengthB) return lengthA < lengthB;
        const int order = a.substr(startA, lengthA).compare(b.substr(startB, lengthB));
        if (order != 0) return order < 0;
        if (zerosTieBreak == 0 && endA - i != endB - j)
            zerosTieBreak = endA - i < endB - j ? -1 : 1;
        i = endA;
        j = endB;
    }
    if (i < a.size() || j < b.size()) return i == a.size();
    return zerosTieBreak < 0;
}

}  // namespace varnelo
