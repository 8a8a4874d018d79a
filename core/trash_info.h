#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/moment.h"

namespace varnelo {

// The two keys of a .trashinfo file that the trash needs.
struct TrashInfo {
    std::optional<std::string> path;  // percent-decoded bytes of Path
    std::optional<Moment> deletedAt;  // DeletionDate as local time
};

// Reads the [Trash Info] group of a .trashinfo file. Fields that are missing or
// unreadable stay empty; nothing here throws.
TrashInfo ParseTrashInfo(std::string_view content);

// Decodes %XX escapes; nullopt for a malformed escape or an encoded NUL.
std::optional<std::string> PercentDecode(std::string_view text);

// Lenient reader of DeletionDate: "YYYY-MM-DDThh:mm:ss", the compact
// "YYYYMMDDThh:mm:ss", fractions of a second, and a trailing "Z" or "+hh:mm" offset,
// which is converted to local time.
std::optional<Moment> ParseDeletionDate(std::string_view text);

}  // namespace varnelo
