#include "ui/main_window.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

#include "core/find_walk.h"
#include "core/kill_item.h"
#include "core/report_text.h"
#include "core/size_text.h"
#include "platform/locale_text.h"
#include "platform/posix_file_system.h"
#include "ui/about_dialog.h"
#include "ui/analyze_dialog.h"
#include "ui/find_dialog.h"
#include "ui/handler_guard.h"
#include "ui/link_label.h"
#include "ui/trash_list_view.h"

namespace varnelo {

namespace {

QLabel* MakeLabel(const char* text, QWidget* parent, QRect geometry) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setGeometry(geometry);
    return label;
}

}  // namespace

TForm1::TForm1(QWidget* parent) : QWidget(parent) {
    resize(692, 502);

    GroupBox1 = new QGroupBox(QString::fromUtf8("安全清理回收站"), this);
    GroupBox1->setFixedHeight(105);
    GroupBox2 = new QGroupBox(QString::fromUtf8("回收站"), this);
    auto* windowLayout = new QVBoxLayout(this);
    windowLayout->setContentsMargins(0, 0, 0, 0);
    windowLayout->setSpacing(0);
    windowLayout->addWidget(GroupBox2, 1);
    windowLayout->addWidget(GroupBox1);

    // The clearing group keeps its controls at fixed places when the window is resized.
    BtnAnalyse = new QPushButton(QString::fromUtf8("分析"), GroupBox1);
    BtnAnalyse->setGeometry(389, 22, 65, 25);
    BtnDelete = new QPushButton(QString::fromUtf8("清除"), GroupBox1);
    BtnDelete->setGeometry(473, 22, 65, 25);
    RbDate = new QRadioButton(QString::fromUtf8("按日期：清除"), GroupBox1);
    RbDate->setGeometry(24, 24, 113, 17);
    RbDate->setChecked(true);
    DtCeil = new QDateEdit(GroupBox1);
    DtCeil->setGeometry(133, 21, 86, 21);
    DtCeil->setCalendarPopup(true);
    DtCeil->setAccessibleName(QString::fromUtf8("之前删除到回收站的文件"));
    Label1 = MakeLabel("之前删除到回收站的文件", GroupBox1, {225, 24, 177, 17});
    Label1->setBuddy(DtCeil);
    RbDays = new QRadioButton(QString::fromUtf8("按天数：清除"), GroupBox1);
    RbDays->setGeometry(24, 61, 113, 17);
    CmbDays = new QComboBox(GroupBox1);
    CmbDays->setGeometry(133, 56, 44, 21);
    CmbDays->setEditable(true);
    CmbDays->addItems({"10", "15", "30", "60", "180"});
    CmbDays->setCurrentText("60");
    CmbDays->setAccessibleName(QString::fromUtf8("天之前删除到回收站中的文件"));
    Label2 = MakeLabel("天之前删除到回收站中的文件", GroupBox1, {181, 61, 193, 17});
    Label2->setBuddy(CmbDays);
    BtnSeek = new QPushButton(QString::fromUtf8("搜索"), GroupBox1);
    BtnSeek->setGeometry(556, 22, 65, 25);
    lblAbout = new LinkLabel(QString::fromUtf8("关于\"Varnelo\""), GroupBox1);
    lblAbout->setGeometry(519, 64, 169, 17);
    lblAbout->setAlignment(Qt::AlignCenter);
    QPalette linkPalette = lblAbout->palette();
    linkPalette.setColor(QPalette::WindowText, Qt::blue);
    lblAbout->setPalette(linkPalette);

    ShellListView1 = new TrashListView(GroupBox2);
    ShellListView1->setAccessibleName(QString::fromUtf8("回收站"));
    Panel1 = new QFrame(GroupBox2);
    Panel1->setFixedWidth(119);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setAutoFillBackground(true);
    QPalette white = Panel1->palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);
    Panel1->setPalette(white);
    auto* listLayout = new QHBoxLayout(GroupBox2);
    listLayout->setContentsMargins(4, 4, 4, 4);
    listLayout->setSpacing(0);
    listLayout->addWidget(Panel1);
    listLayout->addWidget(ShellListView1, 1);

    Image1 = new QLabel(Panel1);
    Image1->setGeometry(8, 8, 32, 32);
    Image1->setPixmap(QPixmap(":/varnelo-icon.png"));
    Image1->setAccessibleName(QString::fromUtf8("回收站图标"));
    Label3 = MakeLabel("回收站中已删除文件、文件夹共：", Panel1, {8, 50, 105, 39});
    Label3->setWordWrap(true);
    lblTotal = MakeLabel("lblTotal", Panel1, {26, 90, 88, 17});
    Label4 = MakeLabel("合计占用空间：", Panel1, {8, 138, 105, 17});
    lblTotalSpace = MakeLabel("lblTotalSpace", Panel1, {16, 156, 0, 17});
    lblTotalSpace->adjustSize();
    lblTotal->setAccessibleDescription(Label3->text());
    lblTotalSpace->setAccessibleDescription(Label4->text());

    FindDialog1 = new FindDialog(this);

    setTabOrder(BtnAnalyse, BtnDelete);
    setTabOrder(BtnDelete, RbDate);
    setTabOrder(RbDate, DtCeil);
    setTabOrder(DtCeil, RbDays);
    setTabOrder(RbDays, CmbDays);
    setTabOrder(CmbDays, BtnSeek);
    setTabOrder(BtnSeek, lblAbout);
    setTabOrder(lblAbout, ShellListView1);

    ConnectHandler(BtnAnalyse, &QPushButton::clicked, this, [this] { BtnAnalyseClick(); });
    ConnectHandler(BtnDelete, &QPushButton::clicked, this, [this] { BtnDeleteClick(); });
    ConnectHandler(BtnSeek, &QPushButton::clicked, this, [this] { BtnSeekClick(); });
    ConnectHandler(lblAbout, &LinkLabel::Clicked, this, [this] { lblAboutClick(); });
    ConnectHandler(FindDialog1, &FindDialog::Find, this, [this] { FindDialog1Find(); });
    // Every filling is recounted, so the totals always belong to the list on view.
    ConnectHandler(ShellListView1, &TrashListView::Filled, this, [this] { RefreshSum(); });

    FormCreate();
}

void TForm1::SetDialogs(TfrmAbout* about, TfrmAnalyze* analyze) {
    frmAbout_ = about;
    frmAnalyze_ = analyze;
}

void TForm1::FormCreate() {
    setWindowTitle(ApplicationTitle());
    DtCeil->setDate(QDate::currentDate().addDays(-60));
}

void TForm1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) RunHandler(this, [this] { FormShow(); });
}

void TForm1::FormShow() { RefreshSum(); }

void TForm1::RefreshSum() {
    int count = 0;
    std::int64_t totalKb = 0;
    const int n = ShellListView1->ItemCount();
    for (int i = 0; i < n; ++i) {
        ShellListView1->SelectRow(i);
        totalKb += ParseSizeText(ShellListView1->ItemSizeText(i));
        ++count;
    }
    lblTotal->setText(QString::number(count) + QString::fromUtf8("个"));
    lblTotalSpace->setText(QString::fromUtf8(KilobyteDisplay(totalKb, GroupSeparator())));
    lblTotalSpace->adjustSize();
    if (frmAnalyze_) frmAnalyze_->TotalSize = totalKb;
}

CutoffControls TForm1::CutoffInput() const {
    return CutoffControls{.byDate = RbDate->isChecked(),
                          .pickerValue = ToDay(DtCeil->date()),
                          .daysText = CmbDays->currentText().toStdString()};
}

void TForm1::BtnAnalyseClick() {
    ShellListView1->ShowTrashRoot();  // the walks work on the trash, not on a folder inside it
    const Moment cutoff = CalcCutoff(CutoffInput(), Today());
    const ScanResult result =
        ScanOldItems(*ShellListView1, cutoff, ShellListView1->Model()->Format(), {});
    const bool byDate = RbDate->isChecked();
    const QString cutoffText =
        byDate ? QLocale().toString(DtCeil->date(), QLocale::ShortFormat) : CmbDays->currentText();
    frmAnalyze_->InfoText = QString::fromUtf8(
        AnalyseReportText(byDate, cutoffText.toStdString(), result, GroupSeparator()));
    frmAnalyze_->SelectedSize = result.matchSizeKb;
    frmAnalyze_->exec();
}

ActionResult TForm1::KillItem(FileSystem& fileSystem, Moment cutoff) {
    const KillTarget target{ShellListView1->SelectedStorePath(), ShellListView1->SelectedFileId()};
    switch (varnelo::KillItem(fileSystem, ShellListView1->TrashDirs(), target, cutoff)) {
        case KillResult::Removed:
            return ActionResult::Removed;
        case KillResult::AlreadyGone:
            return ActionResult::RemovedWithoutSize;
        case KillResult::NotRemoved:
            break;
    }
    return ActionResult::NotRemoved;
}

void TForm1::BtnDeleteClick() {
    ShellListView1->ShowTrashRoot();
    const Moment cutoff = CalcCutoff(CutoffInput(), Today());
    PosixFileSystem fileSystem;
    const ScanResult result =
        ScanOldItems(*ShellListView1, cutoff, ShellListView1->Model()->Format(),
                     [&] { return KillItem(fileSystem, cutoff); });
    for (const std::string& message : ClearReportMessages(result))
        ShowInfo(this, QString::fromUtf8(message));
    ShellListView1->ReloadList();  // followed by RefreshSum
}

void TForm1::lblAboutClick() { frmAbout_->exec(); }

void TForm1::BtnSeekClick() {
    ShellListView1->ShowTrashRoot();
    searchPos_ = 0;
    ShellListView1->scrollToTop();
    FindDialog1->Execute();
}

void TForm1::FindDialog1Find() {
    ShellListView1->ShowTrashRoot();
    const FindDirection direction =
        FindDialog1->searchDown() ? FindDirection::Down : FindDirection::Up;
    const FindResult found =
        FindNext(*ShellListView1, searchPos_, FindDialog1->findText().toStdString(), direction);
    if (found.outcome == FindOutcome::Hit) {
        ShellListView1->scrollTo(ShellListView1->Model()->index(found.row, 0),
                                 QAbstractItemView::PositionAtTop);
    } else if (found.outcome == FindOutcome::EndReached) {
        ShowInfo(this, QString::fromUtf8("搜索结束！"));
    }
}

void TForm1::BringToFront() {
    if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

}  // namespace varnelo
