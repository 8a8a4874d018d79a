#pragma once

#include <string_view>

namespace varnelo {

// Order of names as people read them: runs of ASCII digits compare by their value
// ("file2" before "file10"), every other byte by its value. Names that differ only in
// leading zeros are still ordered ("a1" before "a01"), so the order is strict and total.
bool NaturalLess(std::string_view a, std::string_view b);

}  // namespace varnelo
