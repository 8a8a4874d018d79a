#include "ui/trash_list_view.h"

#include <QContextMenuEvent>
#include <QDateTime>
#include <QDesktopServices>
#include <QFile>
#include <QFileIconProvider>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QPushButton>
#include <QUrl>

#include "core/errors.h"
#include "core/kill_item.h"
#include "core/size_text.h"
#include "platform/locale_text.h"
#include "platform/posix_file_system.h"
#include "platform/trash_restore.h"
#include "ui/handler_guard.h"

namespace varnelo {

namespace {

QString TypeTextFor(std::string_view name, bool isDirectory, bool isSymlink) {
    static const QMimeDatabase mimeDatabase;
    if (isDirectory) return mimeDatabase.mimeTypeForName("inode/directory").comment();
    if (isSymlink) return mimeDatabase.mimeTypeForName("inode/symlink").comment();
    return mimeDatabase
        .mimeTypeForFile(QString::fromUtf8(name.data(), qsizetype(name.size())),
                         QMimeDatabase::MatchExtension)
        .comment();
}

QString FromPath(std::string_view path) {
    return QFile::decodeName(QByteArray(path.data(), qsizetype(path.size())));
}

QString Quoted(const std::string& name) {
    return QStringLiteral("“") + QString::fromUtf8(name) + QStringLiteral("”");
}

QString SizeWithBytes(std::uint64_t bytes) {
    return QString::fromUtf8(SizeTextFromBytes(bytes)) + QStringLiteral("（") +
           QLocale().toString(qulonglong(bytes)) + QStringLiteral(" 字节）");
}

// A failed command: the title as caption, the warning icon, OK.
void ShowWarning(QWidget* owner, const QString& text) {
    QMessageBox box(QMessageBox::Warning, ApplicationTitle(), text, QMessageBox::Ok, owner);
    box.exec();
}

}  // namespace

void TrashListModel::SetContents(TrashContents contents, DateTextFormat format) {
    beginResetModel();
    contents_ = std::move(contents);
    format_ = std::move(format);
    entries_.clear();
    showsFolder_ = false;
    endResetModel();
}

void TrashListModel::SetFolder(std::vector<FolderEntry> entries) {
    beginResetModel();
    entries_ = std::move(entries);
    showsFolder_ = true;
    endResetModel();
}

void TrashListModel::ShowTrashRows() {
    if (!showsFolder_) return;
    beginResetModel();
    entries_.clear();
    showsFolder_ = false;
    endResetModel();
}

std::string TrashListModel::NameText(int row) const {
    return showsFolder_ ? Entry(row).name : DisplayName(Item(row));
}

std::string TrashListModel::DeletedText(int row) const {
    if (showsFolder_) return {};
    const auto& deletedAt = Item(row).deletedAt;
    return deletedAt ? FormatDateText(*deletedAt, format_) : std::string();
}

std::string TrashListModel::SizeText(int row) const {
    if (!showsFolder_) return SizeTextFromBytes(Item(row).sizeBytes);
    const FolderEntry& entry = Entry(row);
    // A folder's size inside an item is counted only when asked for (properties).
    return entry.isDirectory ? std::string() : SizeTextFromBytes(entry.sizeBytes);
}

QString TrashListModel::TypeText(int row) const {
    if (showsFolder_) {
        const FolderEntry& entry = Entry(row);
        return TypeTextFor(entry.name, entry.isDirectory, entry.isSymlink);
    }
    const TrashItem& item = Item(row);
    return TypeTextFor(NameText(row), item.isDirectory, item.isSymlink);
}

bool TrashListModel::IsFolder(int row) const {
    return showsFolder_ ? Entry(row).isDirectory : Item(row).isDirectory;
}

int TrashListModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    return int(showsFolder_ ? entries_.size() : contents_.items.size());
}

int TrashListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TrashListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const int row = index.row();
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
            case NameColumn:
                return QString::fromUtf8(NameText(row));
            case OriginalFolderColumn:
                return showsFolder_ ? QString() : QString::fromUtf8(OriginalFolder(Item(row)));
            case DeletedColumn:
                return QString::fromUtf8(DeletedText(row));
            case SizeColumn:
                return QString::fromUtf8(SizeText(row));
            case TypeColumn:
                return TypeText(row);
            case ModifiedColumn: {
                const std::int64_t seconds =
                    showsFolder_ ? Entry(row).modifiedSeconds : Item(row).modifiedSeconds;
                return QString::fromUtf8(
                    FormatDateText(ToMoment(QDateTime::fromSecsSinceEpoch(seconds)), format_));
            }
        }
    } else if (role == Qt::DecorationRole && index.column() == NameColumn) {
        static const QFileIconProvider icons;
        return icons.icon(IsFolder(row) ? QFileIconProvider::Folder : QFileIconProvider::File);
    } else if (role == Qt::TextAlignmentRole && index.column() == SizeColumn) {
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
}

QVariant TrashListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const captions[ColumnCount] = {"名称", "原位置",   "删除日期",
                                                      "大小", "项目类型", "修改日期"};
    return section >= 0 && section < ColumnCount ? QString::fromUtf8(captions[section])
                                                 : QVariant();
}

TrashListView::TrashListView(QWidget* parent)
    : QTreeView(parent), model_(new TrashListModel(this)) {
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
    p.setColor(QPalette::Inactive, QPalette::Highlight,
               p.color(QPalette::Active, QPalette::Highlight));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText,
               p.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(p);
    model_->SetContents(ReadTrash(DefaultTrashRoots()), DeletedTextFormat());
    const int widths[TrashListModel::ColumnCount] = {160, 160, 120, 80, 100, 120};
    for (int c = 0; c < TrashListModel::ColumnCount; ++c) setColumnWidth(c, widths[c]);
    connect(this, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { RunHandler(this, [&] { OpenRow(index.row()); }); });
}

void TrashListView::ReloadList() {
    folder_.reset();
    setAccessibleDescription({});
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
    return row < 0 || folder_ ? std::string() : model_->Item(row).storePath;
}

FileId TrashListView::SelectedFileId() const {
    const int row = SelectedRowIndex();
    return row < 0 || folder_ ? FileId{} : model_->Item(row).id;
}

void TrashListView::SelectAndShow(int row) {
    const QModelIndex index = model_->index(row, 0);
    selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(index);
}

void TrashListView::ShowTrashRoot() {
    if (!folder_) return;
    folder_.reset();
    setAccessibleDescription({});
    model_->ShowTrashRows();
}

bool TrashListView::ShowFolder(FolderView view, const std::string& select) {
    FolderListing listing = ListFolder(view.place);
    if (listing.result != ListingResult::Listed) return false;
    setAccessibleDescription(
        QStringLiteral("回收站 › ") +
        QString::fromUtf8(view.displayPath).replace('/', QStringLiteral(" › ")));
    folder_ = std::move(view);
    model_->SetFolder(std::move(listing.entries));
    int row = 0;
    for (int i = 0; i < ItemCount(); ++i) {
        if (model_->Entry(i).name == select) row = i;
    }
    if (ItemCount() > 0) SelectAndShow(row);
    return true;
}

FolderPlace TrashListView::PlaceOfRow(int row) const {
    if (!folder_) {
        const TrashItem& item = model_->Item(row);
        return FolderPlace{.itemPath = item.storePath, .itemId = item.id, .steps = {}};
    }
    FolderPlace place = folder_->place;
    place.steps.push_back({.name = model_->Entry(row).name, .id = model_->Entry(row).id});
    return place;
}

std::string TrashListView::PathOfRow(int row) const {
    const FolderPlace place = PlaceOfRow(row);
    std::string path = place.itemPath;
    for (const FolderStep& step : place.steps) path.append("/").append(step.name);
    return path;
}

void TrashListView::OpenRow(int row) {
    if (row < 0 || row >= ItemCount()) return;
    const std::string name = model_->NameText(row);
    if (model_->IsFolder(row)) {
        FolderView view;
        if (folder_) {
            view = *folder_;
            view.displayPath += "/" + name;
        } else {
            view.originalPath = model_->Item(row).originalPath;
            view.deletedText = model_->DeletedText(row);
            view.displayPath = name;
        }
        view.place = PlaceOfRow(row);
        if (!ShowFolder(std::move(view), {}))
            ShowWarning(this,
                        QStringLiteral("无法打开文件夹") + Quoted(name) +
                            QStringLiteral("：它已不在回收站中、自列出以来已改变，或无法读取。"));
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(FromPath(PathOfRow(row)))))
        ShowWarning(this, QStringLiteral("没有能打开") + Quoted(name) + QStringLiteral("的程序。"));
}

void TrashListView::GoUp() {
    if (!folder_) return;
    if (folder_->place.steps.empty()) {
        const std::string itemPath = folder_->place.itemPath;
        ShowTrashRoot();
        for (int i = 0; i < ItemCount(); ++i) {
            if (model_->Item(i).storePath == itemPath) SelectAndShow(i);
        }
        return;
    }
    FolderView up = *folder_;
    const std::string left = up.place.steps.back().name;
    up.place.steps.pop_back();
    up.displayPath.resize(up.displayPath.rfind('/'));
    // A folder above that changed meanwhile leaves only the way back to the root.
    if (!ShowFolder(std::move(up), left)) ShowTrashRoot();
}

void TrashListView::RefreshView() {
    if (!folder_) {
        ReloadList();
        return;
    }
    const int row = SelectedRowIndex();
    const std::string selected = row >= 0 ? model_->NameText(row) : std::string();
    if (!ShowFolder(*folder_, selected)) ReloadList();
}

void TrashListView::RestoreRow(int row) {
    if (folder_ || row < 0 || row >= ItemCount()) return;
    const TrashItem item = model_->Item(row);  // a copy: the trash is read again below
    const RestoreOutcome outcome = RestoreItem(
        TrashDirs(),
        {.storePath = item.storePath, .listedId = item.id, .originalPath = item.originalPath});
    const QString message = QString::fromUtf8(outcome.message);
    switch (outcome.result) {
        case RestoreResult::Restored:
            break;
        case RestoreResult::RestoredInfoKept:
            ShowInfo(this, message);
            break;
        case RestoreResult::UnknownOrigin:
        case RestoreResult::Changed:
            ShowWarning(this, QStringLiteral("无法还原") + Quoted(DisplayName(item)) +
                                  QStringLiteral("。\n") + message);
            break;
        case RestoreResult::Occupied:
        case RestoreResult::CrossDevice:
        case RestoreResult::Failed:
            ShowWarning(this, QStringLiteral("无法还原") + Quoted(DisplayName(item)) +
                                  QStringLiteral("。\n") + message + QStringLiteral("\n") +
                                  FromPath(item.originalPath));
            break;
    }
    ReloadList();
}

void TrashListView::DeleteRow(int row) {
    if (folder_ || row < 0 || row >= ItemCount()) return;
    const TrashItem item = model_->Item(row);
    const QString name = Quoted(DisplayName(item));
    QMessageBox question(
        QMessageBox::Question, ApplicationTitle(),
        QStringLiteral("确实要永久删除") + name + QStringLiteral("吗？\n删除后无法恢复。"),
        QMessageBox::Yes | QMessageBox::No, this);
    question.button(QMessageBox::Yes)->setText(QStringLiteral("是(&Y)"));
    question.button(QMessageBox::No)->setText(QStringLiteral("否(&N)"));
    question.setDefaultButton(QMessageBox::No);
    if (question.exec() != QMessageBox::Yes) return;

    PosixFileSystem fileSystem;
    switch (KillPickedItem(fileSystem, TrashDirs(),
                           {.storePath = item.storePath, .listedId = item.id})) {
        case KillResult::Removed:
            break;
        case KillResult::AlreadyGone:
            ShowInfo(this, name + QStringLiteral("已不在回收站中，没有删除任何内容。"));
            break;
        case KillResult::NotRemoved:
            ShowWarning(this, QStringLiteral("未能删除") + name +
                                  QStringLiteral("：它自列出以来已改变，或其中有无法删除的内容。"
                                                 "没有删除的内容仍在回收站中。"));
            break;
    }
    ReloadList();
}

ItemProperties TrashListView::PropertiesOf(int row) const {
    ItemProperties p;
    if (row < 0 || row >= ItemCount()) return p;
    p.name = QString::fromUtf8(model_->NameText(row));
    p.type = model_->TypeText(row);
    p.isFolder = model_->IsFolder(row);
    if (!folder_) {
        const TrashItem& item = model_->Item(row);
        p.location = FromPath(OriginalFolder(item));
        p.deleted = QString::fromUtf8(model_->DeletedText(row));
        p.size = SizeWithBytes(item.sizeBytes);
        return p;
    }
    // Inside a trashed folder: where the entry was before, and when it went with it.
    if (!folder_->originalPath.empty()) {
        std::string location = folder_->originalPath;
        for (const FolderStep& step : folder_->place.steps) location.append("/").append(step.name);
        p.location = FromPath(location);
    }
    p.deleted = QString::fromUtf8(folder_->deletedText);
    const FolderEntry& entry = model_->Entry(row);
    const std::optional<std::uint64_t> bytes =
        entry.isDirectory ? FolderTreeSize(PlaceOfRow(row)) : std::optional(entry.sizeBytes);
    if (bytes) p.size = SizeWithBytes(*bytes);
    return p;
}

void TrashListView::ShowProperties(int row) {
    if (row < 0 || row >= ItemCount()) return;
    PropertiesDialog dialog(PropertiesOf(row), this);
    dialog.exec();
}

QPoint TrashListView::KeyboardMenuPosition() const {
    const int row = SelectedRowIndex();
    const QRect rect = row >= 0 ? visualRect(model_->index(row, 0)) : QRect();
    if (!rect.isValid() || !viewport()->rect().intersects(rect))
        return viewport()->mapToGlobal(viewport()->rect().center());
    return viewport()->mapToGlobal(rect.bottomLeft());
}

void TrashListView::ShowContextMenu(const QPoint& globalPos) {
    const int row = SelectedRowIndex();
    if (row < 0) return;
    QMenu menu(this);
    QAction* restore = nullptr;
    QAction* remove = nullptr;
    // Inside a trashed folder there is nothing to restore or delete on its own.
    if (!folder_) {
        restore = menu.addAction(QStringLiteral("还原(&E)"));
        restore->setStatusTip(QStringLiteral("把项目移回它被删除前所在的位置"));
        remove = menu.addAction(QStringLiteral("删除(&D)"));
        remove->setStatusTip(QStringLiteral("永久删除项目，删除后无法恢复"));
        menu.addSeparator();
    }
    QAction* properties = menu.addAction(QStringLiteral("属性(&R)"));
    properties->setStatusTip(QStringLiteral("显示项目的名称、原位置、删除日期、大小和类型"));
    properties->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Return));
    for (QAction* action : menu.actions()) action->setToolTip(action->statusTip());

    // Chosen by click, key or shortcut alike; acted on once the menu is gone.
    QAction* chosen = nullptr;
    connect(&menu, &QMenu::triggered, &menu, [&](QAction* action) {
        chosen = action;
        menu.close();
    });
    menu.exec(globalPos);
    if (chosen == nullptr) return;
    if (chosen == restore) RestoreRow(row);
    if (chosen == remove) DeleteRow(row);
    if (chosen == properties) ShowProperties(row);
}

void TrashListView::contextMenuEvent(QContextMenuEvent* event) {
    RunHandler(this, [&] {
        if (event->reason() != QContextMenuEvent::Mouse) {
            ShowContextMenu(KeyboardMenuPosition());
            return;
        }
        const QModelIndex at = indexAt(viewport()->mapFromGlobal(event->globalPos()));
        if (!at.isValid()) return;
        SelectAndShow(at.row());
        ShowContextMenu(event->globalPos());
    });
}

void TrashListView::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    switch (event->key()) {
        case Qt::Key_F5:
            RunHandler(this, [this] { RefreshView(); });
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (modifiers == Qt::AltModifier)
                RunHandler(this, [this] { ShowProperties(SelectedRowIndex()); });
            else
                RunHandler(this, [this] { OpenRow(SelectedRowIndex()); });
            return;
        case Qt::Key_Backspace:
            RunHandler(this, [this] { GoUp(); });
            return;
        case Qt::Key_Menu:
            RunHandler(this, [this] { ShowContextMenu(KeyboardMenuPosition()); });
            return;
        case Qt::Key_F10:
            if (modifiers == Qt::ShiftModifier) {
                RunHandler(this, [this] { ShowContextMenu(KeyboardMenuPosition()); });
                return;
            }
            break;
        default:
            break;
    }
    QTreeView::keyPressEvent(event);
}

}  // namespace varnelo
