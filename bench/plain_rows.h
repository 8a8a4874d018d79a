#pragma once

#include <string>
#include <utility>

#include "core/date_text.h"
#include "core/errors.h"
#include "core/size_text.h"
#include "core/trash_rows.h"
#include "platform/trash_reader.h"

namespace varnelo::bench {

// The rows straight over the reader's vector, with the texts the list shows: what the
// walks cost without a model or a view.
class PlainRows final : public TrashRows {
  public:
    PlainRows(TrashContents contents, DateTextFormat format)
        : contents_(std::move(contents)), format_(std::move(format)) {}

    const TrashContents& Contents() const { return contents_; }

    int ItemCount() const override { return int(contents_.items.size()); }
    std::string ItemName(int row) const override { return DisplayName(At(row)); }
    std::string ItemDeletedText(int row) const override {
        const auto& deletedAt = At(row).deletedAt;
        return deletedAt ? FormatDateText(*deletedAt, format_) : std::string();
    }
    std::string ItemSizeText(int row) const override {
        return SizeTextFromBytes(At(row).sizeBytes);
    }
    void SelectRow(int row) override { selected_ = row; }
    std::string SelectedStorePath() const override { return At(selected_).storePath; }
    FileId SelectedFileId() const override { return At(selected_).id; }

  private:
    const TrashItem& At(int row) const {
        if (row < 0 || row >= ItemCount()) throw ListIndexError(row);
        return contents_.items[std::size_t(row)];
    }

    TrashContents contents_;
    DateTextFormat format_;
    int selected_ = -1;
};

}  // namespace varnelo::bench
