#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/date_text.h"
#include "core/moment.h"

namespace varnelo {

class TrashRows;

// What the main window's cutoff controls hold when a button is pressed.
struct CutoffControls {
    bool byDate = true;
    Moment pickerValue{};
    std::string daysText{};
};

// By date: the picker's value. By days: 00:00 of the day N days before today (N may be
// 0 or negative). Throws ConversionError when the days text is not an integer.
Moment CalcCutoff(const CutoffControls& controls, Day today);

enum class ActionResult {
    Removed,
    RemovedWithoutSize,  // gone, but what it took is not known
    NotRemoved,
};

// Runs with the matched row selected; empty when only counting.
using MatchAction = std::function<ActionResult()>;

struct ScanResult {
    int matchCount = 0;
    std::int64_t matchSizeKb = 0;
    int notRemovedCount = 0;
    int skippedCount = 0;  // dates or sizes that could not be read; such rows are left alone
};

// Walks the rows once, in order. A row deleted strictly before cutoff is selected, sized
// and handed to the action. Exceptions from the rows or the action end the walk.
ScanResult ScanOldItems(TrashRows& rows, Moment cutoff, const DateTextFormat& format,
                        const MatchAction& action);

}  // namespace varnelo
