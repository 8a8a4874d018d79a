#pragma once

#include <QAbstractTableModel>
#include <QTreeView>

#include <string>
#include <vector>

#include "core/date_text.h"
#include "core/trash_rows.h"
#include "platform/trash_reader.h"

namespace varnelo {

// The trash's rows with their column texts. Texts are derived from the item on demand;
// they cannot change between two fillings, so each read gives the same snapshot.
class TrashListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { NameColumn, OriginalFolderColumn, DeletedColumn, SizeColumn, TypeColumn,
                  ModifiedColumn, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    void SetContents(TrashContents contents, DateTextFormat format);
    const TrashContents& Contents() const { return contents_; }
    const TrashItem& Item(int row) const { return contents_.items[std::size_t(row)]; }
    const DateTextFormat& Format() const { return format_; }

    std::string NameText(int row) const;
    std::string DeletedText(int row) const;
    std::string SizeText(int row) const;
    QString TypeText(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    TrashContents contents_;
    DateTextFormat format_;
};

// The trash list of the main window: report view, whole-row single selection shown also
// without the focus, no automatic refresh.
class TrashListView : public QTreeView, public TrashRows {
    Q_OBJECT
public:
    explicit TrashListView(QWidget* parent = nullptr);

    // Reads the trash again; every filling ends with Filled().
    void ReloadList();
    const std::vector<std::string>& TrashDirs() const { return model_->Contents().trashDirs; }
    TrashListModel* Model() const { return model_; }

    int ItemCount() const override;
    std::string ItemName(int row) const override;
    std::string ItemDeletedText(int row) const override;
    std::string ItemSizeText(int row) const override;
    void SelectRow(int row) override;
    std::string SelectedStorePath() const override;
    FileId SelectedFileId() const override;

    int SelectedRowIndex() const;

signals:
    void Filled();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    TrashListModel* model_;
};

}  // namespace varnelo
