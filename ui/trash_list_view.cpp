#include "ui/trash_list_view.h"

#include <QDateTime>
#include <QFileIconProvider>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QMimeDatabase>

#include "core/errors.h"
#include "core/size_text.h"
#include "platform/locale_text.h"

namespace varnelo {

void TrashListModel::SetContents(TrashContents contents, DateTextFormat format) {
    beginResetModel();
    contents_ = std::move(contents);
    format_ = std::move(format);
    endResetModel();
}

std::string TrashListModel::NameText(int row) const { return DisplayName(Item(row)); }

std::string TrashListModel::DeletedText(int row) const {
    const auto& deletedAt = Item(row).deletedAt;
    return deletedAt ? FormatDateText(*deletedAt, format_) : std::string();
}

std::string TrashListModel::SizeText(int row) const {
    return SizeTextFromBytes(Item(row).sizeBytes);
}

QString TrashListModel::TypeText(int row) const {
    static const QMimeDatabase mimeDatabase;
    const TrashItem& item = Item(row);
    if (item.isDirectory) return mimeDatabase.mimeTypeForName("inode/directory").comment();
    if (item.isSymlink) return mimeDatabase.mimeTypeForName("inode/symlink").comment();
    return mimeDatabase
        .mimeTypeForFile(QString::fromUtf8(NameText(row)), QMimeDatabase::MatchExtension)
        .comment();
}

int TrashListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(contents_.items.size());
}

int TrashListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TrashListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const int row = index.row();
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
            case NameColumn: return QString::fromUtf8(NameText(row));
            case OriginalFolderColumn: return QString::fromUtf8(OriginalFolder(Item(row)));
            case DeletedColumn: return QString::fromUtf8(DeletedText(row));
            case SizeColumn: return QString::fromUtf8(SizeText(row));
            case TypeColumn: return TypeText(row);
            case ModifiedColumn:
                return QString::fromUtf8(FormatDateText(
                    ToMoment(QDateTime::fromSecsSinceEpoch(Item(row).modifiedSeconds)), format_));
        }
    } else if (role == Qt::DecorationRole && index.column() == NameColumn) {
        static const QFileIconProvider icons;
        return icons.icon(Item(row).isDirectory ? QFileIconProvider::Folder
                                                : QFileIconProvider::File);
    } else if (role == Qt::TextAlignmentRole && index.column() == SizeColumn) {
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
}

QVariant TrashListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const captions[ColumnCount] = {"名称", "原位置", "删除日期",
                                                      "大小", "项目类型", "修改日期"};
    return section >= 0 && section < ColumnCount ? QString::fromUtf8(captions[section]) : QVariant();
}

TrashListView::TrashListView(QWidget* parent) : QTreeView(parent), model_(new TrashListModel(this)) {
    setModel(model_);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);  // keeps 100,000 rows cheap to lay out
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAllColumnsShowFocus(true);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    // The selection stays as visible without the focus: the search selects rows while
    // its dialog has the focus.
    QPalette p = palette();
    p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Highlight));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText,
               p.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(p);
    model_->SetContents(ReadTrash(DefaultTrashRoots()), DeletedTextFormat());
    const int widths[TrashListModel::ColumnCount] = {160, 160, 120, 80, 100, 120};
    for (int c = 0; c < TrashListModel::ColumnCount; ++c) setColumnWidth(c, widths[c]);
}

void TrashListView::ReloadList() {
    model_->SetContents(ReadTrash(DefaultTrashRoots()), DeletedTextFormat());
    emit Filled();
}

int TrashListView::ItemCount() const { return model_->rowCount(); }

std::string TrashListView::ItemName(int row) const {
    if (row < 0 || row >= ItemCount()) throw ListIndexError(row);
    return model_->NameText(row);
}

std::string TrashListView::ItemDeletedText(int row) const { return model_->DeletedText(row); }

std::string TrashListView::ItemSizeText(int row) const { return model_->SizeText(row); }

void TrashListView::SelectRow(int row) {
    selectionModel()->select(model_->index(row, 0),
                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

int TrashListView::SelectedRowIndex() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.front().row();
}

std::string TrashListView::SelectedStorePath() const {
    const int row = SelectedRowIndex();
    return row < 0 ? std::string() : model_->Item(row).storePath;
}

FileId TrashListView::SelectedFileId() const {
    const int row = SelectedRowIndex();
    return row < 0 ? FileId{} : model_->Item(row).id;
}

void TrashListView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F5) {
        ReloadList();
        return;
    }
    QTreeView::keyPressEvent(event);
}

}  // namespace varnelo
