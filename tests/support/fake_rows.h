#pragma once

#include <string>
#include <utility>
#include <vector>

#include "core/errors.h"
#include "core/trash_rows.h"

namespace varnelo::test {

struct FakeRow {
    std::string name{};
    std::string deletedText{};
    std::string sizeText{};
    std::string storePath{};
    FileId id{};
};

// A list held in memory that refuses rows outside it, as the real one does, and keeps
// every selection made so tests can follow the walk.
class FakeRows : public TrashRows {
  public:
    FakeRows() = default;
    explicit FakeRows(std::vector<FakeRow> rows) : rows_(std::move(rows)) {}

    int ItemCount() const override {
        ++itemCountCalls;
        return static_cast<int>(rows_.size());
    }
    std::string ItemName(int row) const override { return At(row).name; }
    std::string ItemDeletedText(int row) const override { return At(row).deletedText; }
    std::string ItemSizeText(int row) const override { return At(row).sizeText; }
    void SelectRow(int row) override {
        At(row);
        selected = row;
        selections.push_back(row);
    }
    std::string SelectedStorePath() const override { return At(selected).storePath; }
    FileId SelectedFileId() const override { return At(selected).id; }

    int selected = -1;
    std::vector<int> selections;
    mutable int itemCountCalls = 0;

  private:
    const FakeRow& At(int row) const {
        if (row < 0 || row >= static_cast<int>(rows_.size())) throw ListIndexError(row);
        return rows_[static_cast<std::size_t>(row)];
    }

    std::vector<FakeRow> rows_;
};

}  // namespace varnelo::test
