#include <QAccessible>
#include <QApplication>
#include <QDesktopServices>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

#include "tests/support/sandbox.h"
#include "ui/about_dialog.h"
#include "ui/link_label.h"

// Made before QApplication so that nothing Qt caches lands in the real home.
static varnelo::test::Sandbox sandbox;

using varnelo::TfrmAbout;

namespace {
const QString kUrl = QStringLiteral("https://support.varnelo.test/help");
}

// Receives every address the dialog asks the desktop to open, instead of a browser.
class UrlCatcher : public QObject {
    Q_OBJECT
  public:
    QList<QUrl> opened;
  public slots:
    void open(const QUrl& url) { opened << url; }
};

class AboutDialogTest : public QObject {
    Q_OBJECT
  private:
    UrlCatcher catcher_;

  private slots:
    void initTestCase() {
        QApplication::setApplicationDisplayName(QStringLiteral("Varnelo"));
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher_, "open");
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher_, "open");
    }
    void cleanupTestCase() {
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    }
    void init() { catcher_.opened.clear(); }

    void captionAndVersionComeFromTheTitle() {
        TfrmAbout dialog(kUrl);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Varnelo"));
        QCOMPARE(dialog.lblVersion->text(), QStringLiteral("Varnelo1.2"));
        QCOMPARE(dialog.Label2->text(), QStringLiteral("技术支持："));
        QCOMPARE(dialog.BitBtn1->text(), QStringLiteral("确定"));
    }

    void titleIsReadWhenTheDialogIsMade() {
        QApplication::setApplicationDisplayName(QStringLiteral("Other"));
        TfrmAbout dialog(kUrl);
        QApplication::setApplicationDisplayName(QStringLiteral("Varnelo"));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Other"));
        QCOMPARE(dialog.lblVersion->text(), QStringLiteral("Other1.2"));
    }

    void linkShowsTheAddressWithOneTrailingBlank() {
        TfrmAbout dialog(kUrl);
        QCOMPARE(dialog.Label1->text(), kUrl + QLatin1Char(' '));
        QVERIFY(dialog.Label1->font().underline());
        QCOMPARE(dialog.Label1->cursor().shape(), Qt::PointingHandCursor);
    }

    void clickOpensTheAddressWithoutTheBlankAndStaysOpen() {
        TfrmAbout dialog(kUrl);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTest::mouseClick(dialog.Label1, Qt::LeftButton);
        QCOMPARE(catcher_.opened, QList<QUrl>{QUrl(kUrl)});
        QVERIFY(dialog.isVisible());
        QTest::mouseClick(dialog.Label1, Qt::LeftButton);
        QCOMPARE(catcher_.opened.size(), 2);
        QVERIFY(dialog.isVisible());
    }

    void releaseOutsideTheLinkOpensNothing() {
        TfrmAbout dialog(kUrl);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTest::mousePress(dialog.Label1, Qt::LeftButton);
        QTest::mouseRelease(dialog.Label1, Qt::LeftButton, {},
                            QPoint(dialog.Label1->width() + 20, dialog.Label1->height() / 2));
        QVERIFY(catcher_.opened.isEmpty());
        QTest::mouseClick(dialog.Label1, Qt::RightButton);
        QVERIFY(catcher_.opened.isEmpty());
    }

    void keyboardActivatesTheLink_data() {
        QTest::addColumn<int>("key");
        QTest::newRow("return") << int(Qt::Key_Return);
        QTest::newRow("enter") << int(Qt::Key_Enter);
        QTest::newRow("space") << int(Qt::Key_Space);
    }
    void keyboardActivatesTheLink() {
        QFETCH(int, key);
        TfrmAbout dialog(kUrl);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        dialog.Label1->setFocus();
        QTest::keyClick(dialog.Label1, Qt::Key(key));
        QCOMPARE(catcher_.opened, QList<QUrl>{QUrl(kUrl)});
        // The link took the key: it did not fall through to the default button.
        QVERIFY(dialog.isVisible());
    }

    void okButtonClosesAndSecondShowingKeepsTheTexts() {
        TfrmAbout dialog(kUrl);
        QVERIFY(dialog.BitBtn1->isDefault());
        for (int showing = 0; showing < 2; ++showing) {
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Varnelo"));
            QCOMPARE(dialog.lblVersion->text(), QStringLiteral("Varnelo1.2"));
            QCOMPARE(dialog.Label1->text(), kUrl + QLatin1Char(' '));
            QTest::mouseClick(dialog.BitBtn1, Qt::LeftButton);
            QVERIFY(!dialog.isVisible());
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
        }
        QVERIFY(catcher_.opened.isEmpty());
    }

    void escapeAndEnterClose_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("result");
        QTest::newRow("enter on the default button")
            << int(Qt::Key_Return) << int(QDialog::Accepted);
        QTest::newRow("escape") << int(Qt::Key_Escape) << int(QDialog::Rejected);
    }
    void escapeAndEnterClose() {
        QFETCH(int, key);
        QFETCH(int, result);
        TfrmAbout dialog(kUrl);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTest::keyClick(&dialog, Qt::Key(key));
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), result);
        QVERIFY(catcher_.opened.isEmpty());
    }

    void fixedSizeWithoutMinimiseOrMaximise() {
        TfrmAbout dialog(kUrl);
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
        // The layout's client area, plus the dialog's 3-pixel border on each side.
        QCOMPARE(dialog.size(), QSize(355 + 6, 326 + 6));
        const Qt::WindowFlags flags = dialog.windowFlags();
        QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QVERIFY(flags & Qt::WindowCloseButtonHint);
    }

    void artworkAndLayout() {
        TfrmAbout dialog(kUrl);
        const QPoint origin(3, 3);
        QCOMPARE(dialog.Image1->pixmap().size(), QSize(354, 217));
        QCOMPARE(dialog.Image1->geometry(), QRect(origin, QSize(354, 217)));
        QCOMPARE(dialog.Image2->pixmap().size(), QSize(32, 32));
        QCOMPARE(dialog.Image2->geometry(), QRect(origin, QSize(32, 32)));
        QCOMPARE(dialog.Shape1->geometry(), QRect(origin + QPoint(0, 220), QSize(354, 3)));
        QCOMPARE(dialog.BitBtn1->geometry(), QRect(origin + QPoint(288, 296), QSize(51, 25)));
        QCOMPARE(dialog.lblVersion->pos(), origin + QPoint(24, 236));
        // The icon is drawn over the banner, the link and its caption share a line.
        QVERIFY(dialog.children().indexOf(dialog.Image2) >
                dialog.children().indexOf(dialog.Image1));
        QVERIFY(dialog.Label1->geometry().left() > dialog.Label2->geometry().right());
        QVERIFY(qAbs(dialog.Label1->geometry().center().y() -
                     dialog.Label2->geometry().center().y()) <= 2);
    }

    void noTextIsClipped() {
        TfrmAbout dialog(kUrl);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const QRect client = dialog.rect();
        for (QLabel* label :
             {dialog.lblVersion, static_cast<QLabel*>(dialog.Label1), dialog.Label2}) {
            const QSize needed = label->sizeHint();
            QVERIFY2(label->width() >= needed.width() && label->height() >= needed.height(),
                     qPrintable(label->text()));
            QVERIFY2(client.contains(label->geometry()), qPrintable(label->text()));
        }
        const QFontMetrics metrics(dialog.BitBtn1->font());
        QVERIFY(metrics.horizontalAdvance(dialog.BitBtn1->text()) + 8 <= dialog.BitBtn1->width());
        QVERIFY(metrics.height() + 4 <= dialog.BitBtn1->height());
    }

    void keyboardOrderAndAccessibleNames() {
        TfrmAbout dialog(kUrl);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QCOMPARE(QApplication::focusWidget(), dialog.BitBtn1);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), dialog.Label1);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), dialog.BitBtn1);

        const QList<QWidget*> named = {dialog.BitBtn1,    dialog.Image1, dialog.Image2,
                                       dialog.lblVersion, dialog.Label1, dialog.Label2};
        for (QWidget* widget : named) {
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
            QVERIFY(accessible);
            QVERIFY2(!accessible->text(QAccessible::Name).isEmpty(),
                     widget->metaObject()->className());
        }
        // Read out without the blank that only pads the link's caption.
        QCOMPARE(QAccessible::queryAccessibleInterface(dialog.Label1)->text(QAccessible::Name),
                 kUrl);
    }
};

QTEST_MAIN(AboutDialogTest)
#include "tst_about_dialog.moc"
