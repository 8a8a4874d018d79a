#pragma once

#include <QAbstractTableModel>
#include <QTreeView>

#include <optional>
#include <string>
#include <vector>

#include "core/date_text.h"
#include "core/trash_rows.h"
#include "platform/folder_listing.h"
#include "platform/trash_reader.h"
#include "ui/properties_dialog.h"

namespace varnelo {

// The trash's rows with their column texts, or the entries of a folder inside one of
// its items. Texts are derived on demand; they cannot change between two fillings, so
// each read gives the same snapshot.
class TrashListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column {
        NameColumn,
        OriginalFolderColumn,
        DeletedColumn,
        SizeColumn,
        TypeColumn,
        ModifiedColumn,
        ColumnCount
    };

    using QAbstractTableModel::QAbstractTableModel;

    // Shows the trash's rows.
    void SetContents(TrashContents contents, DateTextFormat format);
    const TrashContents& Contents() const { return contents_; }
    // Row of the trash's rows, whichever is on view.
    const TrashItem& Item(int row) const { return contents_.items[std::size_t(row)]; }
    const DateTextFormat& Format() const { return format_; }

    // Shows a folder's entries in place of the trash's rows, which are kept.
    void SetFolder(std::vector<FolderEntry> entries);
    void ShowTrashRows();
    bool ShowsFolder() const { return showsFolder_; }
    // Only while a folder is on view.
    const FolderEntry& Entry(int row) const { return entries_[std::size_t(row)]; }

    // Of the rows on view.
    std::string NameText(int row) const;
    std::string DeletedText(int row) const;
    std::string SizeText(int row) const;
    QString TypeText(int row) const;
    bool IsFolder(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    TrashContents contents_;
    DateTextFormat format_;
    std::vector<FolderEntry> entries_;
    bool showsFolder_ = false;
};

// The trash list of the main window: report view, whole-row single selection shown also
// without the focus, no automatic refresh. Its own commands: open and navigate (Enter,
// double click, Backspace), read again (F5), and on a trash item restore, delete for
// good and properties (context menu, Alt+Enter).
class TrashListView : public QTreeView, public TrashRows {
    Q_OBJECT
  public:
    explicit TrashListView(QWidget* parent = nullptr);

    // Reads the trash again and shows its rows; every filling ends with Filled().
    void ReloadList();
    const std::vector<std::string>& TrashDirs() const { return model_->Contents().trashDirs; }
    TrashListModel* Model() const { return model_; }

    // The rows on view.
    int ItemCount() const override;
    std::string ItemName(int row) const override;
    std::string ItemDeletedText(int row) const override;
    std::string ItemSizeText(int row) const override;
    void SelectRow(int row) override;
    // Empty while a folder is on view: only trash items are ever removed.
    std::string SelectedStorePath() const override;
    FileId SelectedFileId() const override;

    int SelectedRowIndex() const;

    bool ShowsTrashRoot() const { return !folder_; }
    // Back to the trash's rows as they were last read; nothing is read again.
    void ShowTrashRoot();
    // A folder is shown in the list; anything else is opened by the desktop.
    void OpenRow(int row);
    // One folder up; nothing in the trash's root.
    void GoUp();
    // The trash, or the folder on view, read again.
    void RefreshView();
    // Commands on a row of the trash's root; each re-reads the trash when done.
    void RestoreRow(int row);
    void DeleteRow(int row);
    void ShowProperties(int row);
    ItemProperties PropertiesOf(int row) const;

  signals:
    void Filled();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    // A folder inside a trash item, with what the item tells of its origin.
    struct FolderView {
        FolderPlace place;
        std::string originalPath;  // the item's; empty when unknown
        std::string deletedText;
        std::string displayPath;  // "item/sub/sub"
    };

    bool ShowFolder(FolderView view, const std::string& select);
    FolderPlace PlaceOfRow(int row) const;
    std::string PathOfRow(int row) const;
    void ShowContextMenu(const QPoint& globalPos);
    QPoint KeyboardMenuPosition() const;
    void SelectAndShow(int row);

    TrashListModel* model_;
    std::optional<FolderView> folder_;
};

}  // namespace varnelo
