#include "ui/about_dialog.h"

#include <algorithm>

#include <QDesktopServices>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QUrl>

#include "ui/link_label.h"

namespace varnelo {

namespace {

// The layout is measured from the client area; the dialog frame adds this much on
// every side inside the window.
constexpr int kBorder = 3;

}  // namespace

TfrmAbout::TfrmAbout(const QString& supportUrl, QWidget* parent)
    : QDialog(parent), supportUrl_(supportUrl) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);

    // Made in the layout's drawing order: the icon lies over the banner.
    Image1 = new QLabel(this);
    Image2 = new QLabel(this);
    Shape1 = new QFrame(this);
    lblVersion = new QLabel(this);
    Label1 = new LinkLabel(supportUrl_ + QLatin1Char(' '), this);
    Label2 = new QLabel(QStringLiteral("技术支持："), this);
    BitBtn1 = new QPushButton(QStringLiteral("确定"), this);

    Image1->setPixmap(QPixmap(QStringLiteral(":/about-banner.png")));
    Image1->setGeometry(kBorder + 0, kBorder + 0, 354, 217);
    Image1->setAccessibleName(QStringLiteral("说明"));
    Image1->setAccessibleDescription(QStringLiteral(
        "一下子清空整个回收站，可能把刚刚误删的文件也一起丢掉；一直不清空，垃圾文件又长期占着"
        "磁盘空间。本程序只把删除时间早于指定天数（例如 30 天）或指定日期的项目永久删除，"
        "较新的删除照旧保留；清除前还能先分析可以腾出多少空间。"));

    Image2->setPixmap(QPixmap(QStringLiteral(":/varnelo-icon.png")));
    Image2->setGeometry(kBorder + 0, kBorder + 0, 32, 32);
    Image2->setAccessibleName(QStringLiteral("程序图标"));

    Shape1->setGeometry(kBorder + 0, kBorder + 220, 354, 3);
    Shape1->setStyleSheet(
        QStringLiteral("QFrame { background-color: white; border: 1px solid black; }"));

    lblVersion->setGeometry(kBorder + 24, kBorder + 236, 281, 13);

    Label2->adjustSize();
    Label2->move(kBorder + 24, kBorder + 257);

    // The link must not run into its caption when the caption is wider than the layout's.
    Label1->setAccessibleDescription(QStringLiteral("在浏览器中打开技术支持网址"));
    Label1->adjustSize();
    Label1->move(std::max(kBorder + 88, Label2->geometry().right() + 5), kBorder + 256);
    connect(Label1, &LinkLabel::Clicked, this, &TfrmAbout::Label1Click);

    BitBtn1->setGeometry(kBorder + 288, kBorder + 296, 51, 25);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);

    setTabOrder(BitBtn1, Label1);
    BitBtn1->setFocus();

    setFixedSize(355 + 2 * kBorder, 326 + 2 * kBorder);
    FormCreate();
}

void TfrmAbout::FormCreate() {
    const QString title = QGuiApplication::applicationDisplayName();
    setWindowTitle(title);
    lblVersion->setText(title + QStringLiteral("1.2"));
    // The layout's 13 pixels fit an 8-point Latin font; a CJK font needs a little more.
    lblVersion->resize(281, std::max(13, lblVersion->sizeHint().height()));
}

void TfrmAbout::Label1Click() {
    // Whether a browser could be started is not reported; the dialog stays either way.
    QDesktopServices::openUrl(QUrl(supportUrl_));
}

}  // namespace varnelo
