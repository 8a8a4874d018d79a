// The list's own commands over a sandboxed trash filled by the real trash tools: open,
// navigate, read again, restore, delete one item, properties.
#include <QAccessible>
#include <QComboBox>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <functional>
#include <memory>

#include "tests/support/sandbox.h"
#include "tests/ui/modal_answerer.h"
#include "tests/ui/program_fixture.h"
#include "ui/about_dialog.h"
#include "ui/analyze_dialog.h"
#include "ui/find_dialog.h"
#include "ui/main_window.h"
#include "ui/properties_dialog.h"
#include "ui/startup.h"
#include "ui/trash_list_view.h"

using namespace varnelo;
using varnelo::test::BackDate;
using varnelo::test::Program;
using varnelo::test::RunPeer;
using varnelo::test::Sandbox;

namespace {

QStringList Names(TrashListView& list) {
    QStringList names;
    for (int row = 0; row < list.ItemCount(); ++row)
        names << QString::fromStdString(list.ItemName(row));
    return names;
}

int RowOf(TrashListView& list, const QString& name) { return Names(list).indexOf(name); }

QString Cell(TrashListView& list, int row, int column) {
    return list.Model()->data(list.Model()->index(row, column), Qt::DisplayRole).toString();
}

QStringList AccessibleNames(QMenu* menu) {
    QStringList names;
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(menu);
    for (int i = 0; face && i < face->childCount(); ++i) {
        const QString name = face->child(i)->text(QAccessible::Name);
        if (!name.isEmpty()) names << name;
    }
    return names;
}

// Answers what a command opens: picks a menu entry (or closes the menu), answers a
// question with `answer`, records every message box by its icon, hands any other dialog
// to onDialog before closing it.
class Answerer : public QObject {
  public:
    Answerer() {
        connect(&timer_, &QTimer::timeout, this, [this] { Answer(); });
        timer_.start(10);
    }

    QString pick;  // the accessible name of the menu entry to choose; empty: close the menu
    QMessageBox::StandardButton answer = QMessageBox::Yes;
    std::function<void(QWidget*)> onDialog;
    std::function<void(QMenu*)> onMenu;

    QStringList menu;  // accessible names of the entries of the last menu shown
    QStringList infos, warnings, errors, questions;

  private:
    void Answer() {
        if (auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            if (!popup->isVisible()) return;
            menu = AccessibleNames(popup);
            if (onMenu) onMenu(popup);
            QAction* chosen = nullptr;
            for (QAction* action : popup->actions())
                if (!pick.isEmpty() && QString(action->text()).remove('&') == pick) chosen = action;
            if (chosen) {
                popup->setActiveAction(chosen);
                QTest::keyClick(popup, Qt::Key_Return);
            } else {
                QTest::keyClick(popup, Qt::Key_Escape);
            }
            return;
        }
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) return;
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            switch (box->icon()) {
                case QMessageBox::Question:
                    questions << box->text();
                    break;
                case QMessageBox::Warning:
                    warnings << box->text();
                    break;
                case QMessageBox::Critical:
                    errors << box->text();
                    break;
                default:
                    infos << box->text();
                    break;
            }
            if (QAbstractButton* button = box->button(answer))
                button->click();
            else
                box->accept();
        } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            if (onDialog) onDialog(dialog);
            dialog->accept();
        }
    }

    QTimer timer_;
};

}  // namespace

class TestListCommands : public QObject {
    Q_OBJECT

  public slots:
    // The desktop's handler for file: addresses while a test runs.
    void openUrl(const QUrl& url) { opened_ << url; }

  private:
    std::unique_ptr<Sandbox> sandbox_;
    QList<QUrl> opened_;

    QString Data() const { return QString::fromStdString(sandbox_->root().string()) + "/data"; }
    QString Trash() const { return QString::fromStdString(sandbox_->homeTrash().string()); }
    QString Make(const QString& relative, const QByteArray& content = "x") {
        const QString path = Data() + "/" + relative;
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        if (file.open(QIODevice::WriteOnly)) file.write(content);
        return path;
    }
    static QByteArray Read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QString FilesPath(const QString& entry) const { return Trash() + "/files/" + entry; }
    QString InfoPath(const QString& entry) const {
        return Trash() + "/info/" + entry + ".trashinfo";
    }
    static bool Exists(const QString& path) {
        return QFileInfo(path).exists() || QFileInfo(path).isSymLink();
    }

    // Every object below the sandbox, links not followed: equal listings mean nothing
    // changed.
    QStringList Everything() const {
        QStringList all;
        QDirIterator it(QString::fromStdString(sandbox_->root().string()),
                        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            const QFileInfo info(path);
            all << path + " " + QString::number(info.size()) + " " +
                       (info.isFile() && !info.isSymLink() ? QString::fromUtf8(Read(path)) : "");
        }
        all.sort();
        return all;
    }

    // As a mouse gives it: the first click's press and release, then the double click.
    static void DoubleClick(TrashListView& list, QPoint at) {
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, at);
    }

    static void OpenMenu(TrashListView& list) {
        list.setFocus();
        QTest::keyClick(&list, Qt::Key_Menu);
    }

  private slots:
    void initTestCase() { SetUpApplication(); }
    void init() {
        sandbox_ = std::make_unique<Sandbox>();
        opened_.clear();
        QDesktopServices::setUrlHandler("file", this, "openUrl");
    }
    void cleanup() {
        QDesktopServices::unsetUrlHandler("file");
        sandbox_.reset();
    }

    void restorePutsTheItemBackAndRecounts() {
        Make("report.txt", "quarterly");
        Make("keep.txt", "k");
        RunPeer("trash-put", {Data() + "/report.txt", Data() + "/keep.txt"});
        Program p;
        QCOMPARE(p.form.lblTotal->text(), QString("2个"));
        p.list().SelectRow(RowOf(p.list(), "report.txt"));

        Answerer answerer;
        answerer.pick = "还原(E)";
        OpenMenu(p.list());

        QCOMPARE(answerer.menu, (QStringList{"还原(E)", "删除(D)", "属性(R)"}));
        QCOMPARE(Read(Data() + "/report.txt"), QByteArray("quarterly"));
        QVERIFY(!Exists(FilesPath("report.txt")));
        QVERIFY(!Exists(InfoPath("report.txt")));
        QVERIFY(Exists(InfoPath("keep.txt")));
        QCOMPARE(Names(p.list()), QStringList{"keep.txt"});
        QCOMPARE(p.form.lblTotal->text(), QString("1个"));
        QVERIFY(answerer.warnings.isEmpty() && answerer.errors.isEmpty() &&
                answerer.infos.isEmpty());
    }

    void restoreRefusesAnOccupiedPlaceAndChangesNothing() {
        Make("draft.txt", "old");
        RunPeer("trash-put", {Data() + "/draft.txt"});
        Make("draft.txt", "rewritten since");
        Program p;
        p.list().SelectRow(0);
        const QStringList before = Everything();

        Answerer answerer;
        answerer.pick = "还原(E)";
        OpenMenu(p.list());

        QCOMPARE(answerer.warnings.size(), 1);
        QVERIFY2(answerer.warnings[0].startsWith("无法还原“draft.txt”。\n原位置已有同名"),
                 qPrintable(answerer.warnings[0]));
        QVERIFY(answerer.warnings[0].endsWith(Data() + "/draft.txt"));
        QCOMPARE(Everything(), before);
        QCOMPARE(p.list().ItemCount(), 1);  // read again all the same
    }

    void restoreRecreatesAMissingFolder() {
        Make("projects/2024/plan.txt", "plan");
        RunPeer("trash-put", {Data() + "/projects/2024/plan.txt"});
        sandbox_->RequireInside((Data() + "/projects").toStdString());
        QVERIFY(QDir(Data() + "/projects").removeRecursively());
        Program p;
        p.list().SelectRow(0);

        Answerer answerer;
        answerer.pick = "还原(E)";
        OpenMenu(p.list());

        QCOMPARE(Read(Data() + "/projects/2024/plan.txt"), QByteArray("plan"));
        QVERIFY(!Exists(InfoPath("plan.txt")));
        QCOMPARE(p.list().ItemCount(), 0);
        QVERIFY(answerer.warnings.isEmpty());
    }

    void deleteRemovesThatItemOnlyOnceConfirmed() {
        Make("tree/sub/deep.txt", QByteArray(3000, 'd'));
        Make("other.txt", "o");
        RunPeer("gio", {"trash", Data() + "/tree", Data() + "/other.txt"});
        // An entry without a .trashinfo, as a crashed tool may leave it.
        Sandbox::WriteFile(sandbox_->homeTrash() / "files" / "orphan", "o");
        Program p;
        QCOMPARE(Names(p.list()), (QStringList{"tree", "orphan", "other.txt"}));
        sandbox_->RequireInside(FilesPath("tree").toStdString());
        sandbox_->RequireInside(FilesPath("orphan").toStdString());

        // Declined: nothing at all happens.
        p.list().SelectRow(0);
        const QStringList before = Everything();
        Answerer answerer;
        answerer.pick = "删除(D)";
        answerer.answer = QMessageBox::No;
        OpenMenu(p.list());
        QCOMPARE(answerer.questions, QStringList{"确实要永久删除“tree”吗？\n删除后无法恢复。"});
        QCOMPARE(Everything(), before);
        QCOMPARE(p.list().ItemCount(), 3);

        // Confirmed, for a folder deleted just now and for an entry without a record.
        answerer.answer = QMessageBox::Yes;
        OpenMenu(p.list());
        QVERIFY(!Exists(FilesPath("tree")));
        QVERIFY(!Exists(InfoPath("tree")));
        QCOMPARE(Names(p.list()), (QStringList{"orphan", "other.txt"}));
        QCOMPARE(p.form.lblTotal->text(), QString("2个"));
        p.list().SelectRow(RowOf(p.list(), "orphan"));
        OpenMenu(p.list());
        QVERIFY(!Exists(FilesPath("orphan")));
        QCOMPARE(Names(p.list()), QStringList{"other.txt"});
        QVERIFY(Exists(FilesPath("other.txt")) && Exists(InfoPath("other.txt")));
        QCOMPARE(answerer.questions.size(), 3);
        QVERIFY(answerer.warnings.isEmpty() && answerer.infos.isEmpty());
    }

    void deleteSaysSoWhenTheItemChangedMeanwhile() {
        Make("note.txt", "first");
        RunPeer("trash-put", {Data() + "/note.txt"});
        Program p;
        p.list().SelectRow(0);
        // Replaced behind the list's back; the old one moved aside keeps its inode busy.
        sandbox_->RequireInside(FilesPath("note.txt").toStdString());
        QVERIFY(QFile::rename(FilesPath("note.txt"), Data() + "/aside"));
        Sandbox::WriteFile(FilesPath("note.txt").toStdString(), "second");

        Answerer answerer;
        answerer.pick = "删除(D)";
        OpenMenu(p.list());
        QCOMPARE(answerer.warnings.size(), 1);
        QVERIFY(answerer.warnings[0].startsWith("未能删除“note.txt”"));
        QCOMPARE(Read(FilesPath("note.txt")), QByteArray("second"));
        QVERIFY(Exists(InfoPath("note.txt")));
    }

    void navigatesIntoATrashedFolderAndBack() {
        Make("album/sub/c.txt", "c");
        Make("album/a.jpg", QByteArray(2048, 'a'));
        Make("album/b10.jpg", "b");
        Make("album/b2.jpg", "b");
        Make("elsewhere/secret", "s");
        QFile::link(Data() + "/elsewhere", Data() + "/album/link");
        Make("loose.txt", "l");
        RunPeer("trash-put", {Data() + "/album", Data() + "/loose.txt"});
        Program p;
        TrashListView& list = p.list();
        QCOMPARE(list.editTriggers(), QAbstractItemView::NoEditTriggers);
        list.setFocus();
        list.SelectRow(0);

        QTest::keyClick(&list, Qt::Key_Return);
        QVERIFY(!list.ShowsTrashRoot());
        QCOMPARE(Names(list), (QStringList{"sub", "a.jpg", "b2.jpg", "b10.jpg", "link"}));
        QCOMPARE(Cell(list, 1, TrashListModel::SizeColumn), QString("2 KB"));
        QCOMPARE(Cell(list, 0, TrashListModel::SizeColumn), QString());
        QCOMPARE(Cell(list, 1, TrashListModel::OriginalFolderColumn), QString());
        QCOMPARE(Cell(list, 1, TrashListModel::DeletedColumn), QString());
        QVERIFY(!Cell(list, 1, TrashListModel::ModifiedColumn).isEmpty());
        QCOMPARE(list.SelectedRowIndex(), 0);
        QCOMPARE(list.SelectedStorePath(), std::string());  // nothing here is a trash item
        QCOMPARE(p.form.lblTotal->text(), QString("2个"));  // the totals stay the trash's

        // A link is shown, not entered: the desktop gets it like a file.
        list.SelectRow(RowOf(list, "link"));
        QTest::keyClick(&list, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(Names(list).size(), 5);
        QCOMPARE(opened_.size(), 1);

        const QRect sub = list.visualRect(list.Model()->index(0, 0));
        DoubleClick(list, sub.center());
        QCOMPARE(Names(list), QStringList{"c.txt"});
        QTest::keyClick(&list, Qt::Key_F2);  // names are not edited in place
        QVERIFY(!list.viewport()->findChild<QLineEdit*>());

        QTest::keyClick(&list, Qt::Key_Backspace);
        QCOMPARE(Names(list).size(), 5);
        QCOMPARE(list.SelectedRowIndex(), RowOf(list, "sub"));
        QTest::keyClick(&list, Qt::Key_Backspace);
        QVERIFY(list.ShowsTrashRoot());
        QCOMPARE(Names(list), (QStringList{"album", "loose.txt"}));
        QCOMPARE(list.SelectedRowIndex(), 0);

        // In the root Backspace does nothing.
        list.SelectRow(1);
        Answerer answerer;
        QTest::keyClick(&list, Qt::Key_Backspace);
        QVERIFY(list.ShowsTrashRoot());
        QCOMPARE(Names(list), (QStringList{"album", "loose.txt"}));
        QCOMPARE(list.SelectedRowIndex(), 1);
        QTest::qWait(30);
        QVERIFY(answerer.infos.isEmpty() && answerer.warnings.isEmpty());
    }

    void refreshInAFolderReadsThatFolderAgain() {
        Make("album/a.jpg", "a");
        RunPeer("trash-put", {Data() + "/album"});
        Program p;
        TrashListView& list = p.list();
        list.SelectRow(0);
        list.OpenRow(0);
        QCOMPARE(Names(list), QStringList{"a.jpg"});
        Sandbox::WriteFile(sandbox_->homeTrash() / "files/album/late.txt", "l");

        QTest::keyClick(&list, Qt::Key_F5);
        QVERIFY(!list.ShowsTrashRoot());
        QCOMPARE(Names(list), (QStringList{"a.jpg", "late.txt"}));
        QCOMPARE(p.form.lblTotal->text(), QString("1个"));

        // A folder that went away meanwhile: F5 falls back to reading the trash.
        sandbox_->RequireInside(FilesPath("album").toStdString());
        QVERIFY(QDir(FilesPath("album")).removeRecursively());
        QTest::keyClick(&list, Qt::Key_F5);
        QVERIFY(list.ShowsTrashRoot());
        QCOMPARE(list.ItemCount(), 0);
        QCOMPARE(p.form.lblTotal->text(), QString("0个"));
    }

    void analyseClearAndSearchFromAFolderWorkOnTheTrash() {
        Make("old.txt", QByteArray(3000, 'o'));
        Make("album/a.jpg", QByteArray(1000, 'a'));
        RunPeer("trash-put", {Data() + "/old.txt", Data() + "/album"});
        BackDate(InfoPath("old.txt"), 90);
        sandbox_->RequireInside(FilesPath("old.txt").toStdString());
        Program p;
        TrashListView& list = p.list();
        p.form.RbDays->setChecked(true);
        p.form.CmbDays->setCurrentText("30");

        list.OpenRow(RowOf(list, "album"));
        QVERIFY(!list.ShowsTrashRoot());
        QString report;
        Answerer answerer;
        answerer.onDialog = [&](QWidget* dialog) {
            if (dialog == &p.analyze) report = p.analyze.InfoText;
        };
        QTest::mouseClick(p.form.BtnAnalyse, Qt::LeftButton);
        QCOMPARE(report, QString("回收站中有 30 天前删除文件或文件夹：1项\r合计占用空间：3KB"));
        QVERIFY(list.ShowsTrashRoot());

        list.OpenRow(RowOf(list, "album"));
        QTest::mouseClick(p.form.BtnSeek, Qt::LeftButton);
        QVERIFY(list.ShowsTrashRoot());
        p.form.FindDialog1->hide();

        list.OpenRow(RowOf(list, "album"));
        QTest::mouseClick(p.form.BtnDelete, Qt::LeftButton);
        QCOMPARE(answerer.infos, (QStringList{"删除文件或文件夹：1项", "释放空间：3KB"}));
        QVERIFY(!Exists(FilesPath("old.txt")));
        QVERIFY(Exists(FilesPath("album/a.jpg")));
        QCOMPARE(Names(list), QStringList{"album"});
        QVERIFY(answerer.errors.isEmpty());

        // The search's own step from a folder view.
        list.OpenRow(0);
        p.form.FindDialog1->findEdit->setText("album");
        emit p.form.FindDialog1->Find();
        QVERIFY(list.ShowsTrashRoot());
        QCOMPARE(list.SelectedRowIndex(), 0);
    }

    void openingAFileHandsItToTheDesktop() {
        Make("季度 报告.txt", "r");
        Make("album/photo.jpg", "p");
        RunPeer("trash-put", {Data() + "/季度 报告.txt", Data() + "/album"});
        Program p;
        TrashListView& list = p.list();
        const int file = RowOf(list, "季度 报告.txt");
        list.SelectRow(file);
        list.setFocus();

        QTest::keyClick(&list, Qt::Key_Return);
        QCOMPARE(opened_, QList<QUrl>{QUrl::fromLocalFile(FilesPath("季度 报告.txt"))});
        const QRect rect = list.visualRect(list.Model()->index(file, 0));
        DoubleClick(list, rect.center());
        QCOMPARE(opened_.size(), 2);
        QVERIFY(list.ShowsTrashRoot());

        list.OpenRow(RowOf(list, "album"));
        list.OpenRow(0);
        QCOMPARE(opened_.last(), QUrl::fromLocalFile(FilesPath("album/photo.jpg")));
        QCOMPARE(Read(FilesPath("album/photo.jpg")), QByteArray("p"));  // only handed over
    }

    void propertiesShowWhatTheItemWas() {
        Make("report.txt", QByteArray(1500, 'r'));
        Make("album/sub/deep.txt", QByteArray(4000, 'd'));
        Make("album/a.jpg", QByteArray(100, 'a'));
        RunPeer("trash-put", {Data() + "/report.txt", Data() + "/album"});
        Program p;
        TrashListView& list = p.list();

        struct Shown {
            QString title, name, location, deleted, size, type;
        };
        Shown shown;
        Answerer answerer;
        answerer.onDialog = [&](QWidget* dialog) {
            auto* d = qobject_cast<PropertiesDialog*>(dialog);
            if (!d) return;
            shown = {d->windowTitle(),        d->nameValue->text(), d->locationValue->text(),
                     d->deletedValue->text(), d->sizeValue->text(), d->typeValue->text()};
        };

        // Alt+Enter on a file of the trash's root.
        const int report = RowOf(list, "report.txt");
        list.SelectRow(report);
        list.setFocus();
        QTest::keyClick(&list, Qt::Key_Return, Qt::AltModifier);
        QCOMPARE(shown.title, QString("Varnelo - report.txt 属性"));
        QCOMPARE(shown.name, QString("report.txt"));
        QCOMPARE(shown.location, Data());
        QCOMPARE(shown.deleted, Cell(list, report, TrashListModel::DeletedColumn));
        QVERIFY(!shown.deleted.isEmpty());
        QCOMPARE(shown.size, QString("2 KB（1,500 字节）"));
        QCOMPARE(shown.type, Cell(list, report, TrashListModel::TypeColumn));
        QVERIFY(!shown.type.isEmpty());

        // From the menu, on a folder: the size of its whole tree.
        const QString albumDeleted =
            Cell(list, RowOf(list, "album"), TrashListModel::DeletedColumn);
        list.SelectRow(RowOf(list, "album"));
        answerer.pick = "属性(R)";
        OpenMenu(list);
        QCOMPARE(shown.size, QString("5 KB（4,100 字节）"));

        // Inside the folder the menu offers properties only; a folder there is counted too.
        list.OpenRow(RowOf(list, "album"));
        list.SelectRow(RowOf(list, "sub"));
        OpenMenu(list);
        QCOMPARE(answerer.menu, QStringList{"属性(R)"});
        QCOMPARE(shown.name, QString("sub"));
        QCOMPARE(shown.location, Data() + "/album");
        QCOMPARE(shown.deleted, albumDeleted);
        QCOMPARE(shown.size, QString("4 KB（4,000 字节）"));
        list.OpenRow(RowOf(list, "sub"));
        list.SelectRow(0);
        QTest::keyClick(&list, Qt::Key_Return, Qt::AltModifier);
        QCOMPARE(shown.name, QString("deep.txt"));
        QCOMPARE(shown.location, Data() + "/album/sub");
    }

    void theMenuOpensFromKeyboardAndMouse() {
        Make("a.txt", "a");
        Make("b.txt", "b");
        RunPeer("trash-put", {Data() + "/a.txt", Data() + "/b.txt"});
        Program p;
        TrashListView& list = p.list();
        Answerer answerer;

        list.clearSelection();
        OpenMenu(list);
        QTest::qWait(30);
        QVERIFY(answerer.menu.isEmpty());  // no row, no menu

        list.SelectRow(0);
        list.setFocus();
        QTest::keyClick(&list, Qt::Key_F10, Qt::ShiftModifier);
        QCOMPARE(answerer.menu, (QStringList{"还原(E)", "删除(D)", "属性(R)"}));

        // A right click selects the row under the mouse first.
        answerer.menu.clear();
        const QRect second = list.visualRect(list.Model()->index(1, 0));
        QContextMenuEvent click(QContextMenuEvent::Mouse, second.center(),
                                list.viewport()->mapToGlobal(second.center()));
        QApplication::sendEvent(list.viewport(), &click);
        QCOMPARE(list.SelectedRowIndex(), 1);
        QCOMPARE(answerer.menu.size(), 3);
        QVERIFY(Exists(FilesPath("a.txt")) && Exists(FilesPath("b.txt")));  // closed unused
    }

    void screenshots() {
        const QByteArray dir = qgetenv("VARNELO_SCREENSHOT_DIR");
        if (dir.isEmpty())
            QSKIP("set VARNELO_SCREENSHOT_DIR to keep pictures of the menu and dialog");
        Make("季度报告.docx", QByteArray(35000, 'q'));
        RunPeer("trash-put", {Data() + "/季度报告.docx"});
        Program p;
        QTest::qWait(50);
        p.list().SelectRow(0);
        bool menuSaved = false, dialogSaved = false;
        Answerer answerer;
        answerer.onMenu = [&](QMenu* menu) {
            QTest::qWait(20);
            menuSaved = menu->grab().save(QString::fromLocal8Bit(dir) + "/context_menu.png");
        };
        answerer.onDialog = [&](QWidget* dialog) {
            dialogSaved = dialog->grab().save(QString::fromLocal8Bit(dir) + "/properties.png");
        };
        OpenMenu(p.list());
        p.list().ShowProperties(0);
        QVERIFY(menuSaved && dialogSaved);
    }
};

QTEST_MAIN(TestListCommands)
#include "tst_list_commands.moc"
