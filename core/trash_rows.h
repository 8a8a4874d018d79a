#pragma once

#include <string>

#include "core/file_id.h"

namespace varnelo {

// What the walks need of the trash list. Texts are UTF-8; StorePath is the
// file system's exact bytes.
class TrashRows {
public:
    virtual ~TrashRows() = default;

    virtual int ItemCount() const = 0;
    // Throws ListIndexError for a row outside 0 .. ItemCount() - 1.
    virtual std::string ItemName(int row) const = 0;
    virtual std::string ItemDeletedText(int row) const = 0;
    virtual std::string ItemSizeText(int row) const = 0;
    virtual void SelectRow(int row) = 0;
    // Only called while a row is selected.
    virtual std::string SelectedStorePath() const = 0;
    // The identity the entry had when the list was read.
    virtual FileId SelectedFileId() const = 0;
};

}  // namespace varnelo
