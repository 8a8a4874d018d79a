#include "core/find_walk.h"

#include <algorithm>
#include <string>

#include "core/trash_rows.h"

namespace varnelo {

FindResult FindNext(TrashRows& rows, int& searchPos, std::string_view text,
                    FindDirection direction) {
    const int n = rows.ItemCount();
    const bool down = direction == FindDirection::Down;
    if (down ? searchPos > n - 1 : searchPos < 0) return {};
    // A position left behind the walk's start by an earlier hit, or past the end of a list
    // that has shrunk, starts at the nearest row instead of failing on a missing one.
    const int start = down ? std::max(searchPos, 0) : std::min(searchPos, n - 1);
    if (start < 0 || start > n - 1) return {};
    if (text.empty()) return {.outcome = FindOutcome::EndReached};

    const int step = down ? 1 : -1;
    for (int i = start; i >= 0 && i < n; i += step) {
        if (rows.ItemName(i).find(text) != std::string::npos) {
            rows.SelectRow(i);
            searchPos = i + step;
            return {.outcome = FindOutcome::Hit, .row = i};
        }
    }
    return {.outcome = FindOutcome::EndReached};
}

}  // namespace varnelo
