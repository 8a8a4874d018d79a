#pragma once

#include <string_view>

namespace varnelo {

class TrashRows;

enum class FindDirection { Down, Up };

enum class FindOutcome {
    Hit,
    EndReached,  // walked to the end of the list without a hit
    Nothing,     // the position lies past the end the walk moves toward: no walk at all
};

struct FindResult {
    FindOutcome outcome = FindOutcome::Nothing;
    int row = -1;
};

// Looks for the next row, from searchPos on, whose name holds text exactly (case
// matters; an empty text matches nothing). A hit is selected and moves searchPos one
// past it in the walk's direction; otherwise searchPos stays.
FindResult FindNext(TrashRows& rows, int& searchPos, std::string_view text,
                    FindDirection direction);

}  // namespace varnelo
