#include "core/old_items_scan.h"

#include "core/errors.h"
#include "core/integer_text.h"
#include "core/size_text.h"
#include "core/trash_rows.h"

namespace varnelo {

Moment CalcCutoff(const CutoffControls& controls, Day today) {
    if (controls.byDate) return controls.pickerValue;
    const std::int32_t n = StrToInt(controls.daysText);
    // In 64-bit seconds even -INT32_MIN days fit.
    return std::chrono::time_point_cast<std::chrono::seconds>(today) -
           std::chrono::seconds{std::int64_t{n} * 86400};
}

ScanResult ScanOldItems(TrashRows& rows, Moment cutoff, const DateTextFormat& format,
                        const MatchAction& action) {
    ScanResult r;
    const int n = rows.ItemCount();
    for (int i = 0; i < n; ++i) {
        const std::optional<Moment> deleted = ParseDateText(rows.ItemDeletedText(i), format);
        if (!deleted) {
            ++r.skippedCount;
            continue;
        }
        if (*deleted >= cutoff) continue;

        rows.SelectRow(i);
        std::int64_t sizeKb = 0;
        try {
            sizeKb = ParseSizeText(rows.ItemSizeText(i));
        } catch (const ConversionError&) {
            // An item whose size cannot be read is not removed: the report could not say what it
            // freed.
            ++r.skippedCount;
            continue;
        }
        if (!action) {
            ++r.matchCount;
            r.matchSizeKb += sizeKb;
            continue;
        }
        switch (action()) {
            case ActionResult::Removed:
                ++r.matchCount;
                r.matchSizeKb += sizeKb;
                break;
            case ActionResult::RemovedWithoutSize:
                ++r.matchCount;
                break;
            case ActionResult::NotRemoved:
                ++r.notRemovedCount;
                break;
        }
    }
    return r;
}

}  // namespace varnelo
