#include <QAccessible>
#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QLabel>
#include <QLegend>
#include <QPieLegendMarker>
#include <QPieSeries>
#include <QPieSlice>
#include <QPushButton>
#include <QTest>
#include <QWindow>

#include "tests/support/sandbox.h"
#include "ui/analyze_dialog.h"

// Made before QApplication so that nothing Qt caches lands in the real home.
static varnelo::test::Sandbox sandbox;

using varnelo::kOldSliceLabel;
using varnelo::kOtherSliceLabel;
using varnelo::PieLegendText;
using varnelo::PieMarkText;
using varnelo::TfrmAnalyze;

namespace {

const QString kTwoLines =
    QStringLiteral("回收站中有 30 天前删除文件或文件夹：3项\r合计占用空间：1,234KB");

QStringList LegendTexts(TfrmAnalyze& dialog) {
    QStringList texts;
    const auto markers = dialog.Chart1->chart()->legend()->markers(dialog.Series1);
    for (const QLegendMarker* marker : markers) texts << marker->label();
    return texts;
}

QStringList MarkTexts(TfrmAnalyze& dialog) {
    QStringList texts;
    for (const QPieSlice* slice : dialog.Series1->slices()) texts << slice->label();
    return texts;
}

void ShowAndClose(TfrmAnalyze& dialog) {
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::mouseClick(dialog.BitBtn1, Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
}

}  // namespace

class AnalyzeDialogTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { QApplication::setApplicationDisplayName(QStringLiteral("Varnelo")); }

    void markText_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("sum");
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("expected");
        const QLocale zh(QLocale::Chinese, QLocale::China);
        const QLocale de(QLocale::German, QLocale::Germany);
        QTest::newRow("a third") << 1.0 << 3.0 << zh << "33.33 %";
        QTest::newRow("two thirds round up") << 2.0 << 3.0 << zh << "66.67 %";
        QTest::newRow("all") << 5.0 << 5.0 << zh << "100 %";
        QTest::newRow("none") << 0.0 << 5.0 << zh << "0 %";
        QTest::newRow("empty pie") << 0.0 << 0.0 << zh << "0 %";
        QTest::newRow("one decimal, no trailing zero") << 1.0 << 8.0 << zh << "12.5 %";
        QTest::newRow("rounds to nothing, no minus") << -1.0 << 300000.0 << zh << "0 %";
        QTest::newRow("tiny share") << 1.0 << 30000.0 << zh << "0 %";
        QTest::newRow("just above nothing") << 1.0 << 10000.0 << zh << "0.01 %";
        QTest::newRow("decimal comma") << 1.0 << 3.0 << de << "33,33 %";
        QTest::newRow("no grouping") << 2000.0 << 1.0 << de << "200000 %";
        QTest::newRow("negative share") << -50.0 << 50.0 << zh << "-100 %";
    }
    void markText() {
        QFETCH(double, value);
        QFETCH(double, sum);
        QFETCH(QLocale, locale);
        QFETCH(QString, expected);
        QCOMPARE(PieMarkText(value, sum, locale), expected);
    }

    void legendText_data() {
        QTest::addColumn<qint64>("value");
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("expected");
        const QLocale zh(QLocale::Chinese, QLocale::China);
        const QLocale de(QLocale::German, QLocale::Germany);
        QTest::newRow("grouped") << qint64(1234) << zh << "1,234KB  指定时间前删除文件占用空间";
        QTest::newRow("zero") << qint64(0) << zh << "0KB  指定时间前删除文件占用空间";
        QTest::newRow("below a thousand")
            << qint64(999) << zh << "999KB  指定时间前删除文件占用空间";
        QTest::newRow("millions") << qint64(1234567) << zh
                                  << "1,234,567KB  指定时间前删除文件占用空间";
        QTest::newRow("beyond 32 bits")
            << qint64(5'000'000'000) << zh << "5,000,000,000KB  指定时间前删除文件占用空间";
        QTest::newRow("negative") << qint64(-1234) << zh << "-1,234KB  指定时间前删除文件占用空间";
        QTest::newRow("locale separator")
            << qint64(1234567) << de << "1.234.567KB  指定时间前删除文件占用空间";
        // The C locale leaves out separators unless asked; the pattern always groups.
        QTest::newRow("C locale still groups")
            << qint64(1234) << QLocale::c() << "1,234KB  指定时间前删除文件占用空间";
    }
    void legendText() {
        QFETCH(qint64, value);
        QFETCH(QLocale, locale);
        QFETCH(QString, expected);
        QCOMPARE(PieLegendText(value, kOldSliceLabel, locale), expected);
    }

    void captionReadsTheTitle() {
        TfrmAnalyze dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Varnelo - 分析"));
        QApplication::setApplicationDisplayName(QStringLiteral("Other"));
        TfrmAnalyze other;
        QApplication::setApplicationDisplayName(QStringLiteral("Varnelo"));
        QCOMPARE(other.windowTitle(), QStringLiteral("Other - 分析"));
    }

    void showingBuildsTwoSlicesFromTheFields() {
        TfrmAnalyze dialog;
        dialog.InfoText = kTwoLines;
        dialog.TotalSize = 3702;
        dialog.SelectedSize = 1234;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));

        const QList<QPieSlice*> slices = dialog.Series1->slices();
        QCOMPARE(slices.size(), 2);
        QCOMPARE(slices[0]->value(), 1234.0);
        QCOMPARE(slices[1]->value(), 2468.0);
        QCOMPARE(slices[0]->color(), QColor(255, 0, 0));
        QCOMPARE(slices[1]->color(), QColor(0, 128, 0));
        QVERIFY(slices[0]->isLabelVisible() && slices[1]->isLabelVisible());
        QCOMPARE(MarkTexts(dialog), (QStringList{"33.33 %", "66.67 %"}));
        QCOMPARE(LegendTexts(dialog), (QStringList{PieLegendText(1234, kOldSliceLabel),
                                                   PieLegendText(2468, kOtherSliceLabel)}));
        QCOMPARE(LegendTexts(dialog).first(),
                 QStringLiteral("1,234KB  指定时间前删除文件占用空间"));
        QCOMPARE(LegendTexts(dialog).last(), QStringLiteral("2,468KB  其它时间删除文件占用空间"));
    }

    void everyShowingRebuildsTheChart() {
        struct Showing {
            qint64 total;
            qint64 selected;
            QStringList marks;
            QStringList legend;
        };
        const Showing showings[] = {
            {.total = 300,
             .selected = 100,
             .marks = {"33.33 %", "66.67 %"},
             .legend = {"100KB  指定时间前删除文件占用空间", "200KB  其它时间删除文件占用空间"}},
            // The same fields again must not add slices.
            {.total = 300,
             .selected = 100,
             .marks = {"33.33 %", "66.67 %"},
             .legend = {"100KB  指定时间前删除文件占用空间", "200KB  其它时间删除文件占用空间"}},
            {.total = 5000,
             .selected = 0,
             .marks = {"0 %", "100 %"},
             .legend = {"0KB  指定时间前删除文件占用空间", "5,000KB  其它时间删除文件占用空间"}},
            {.total = 0,
             .selected = 0,
             .marks = {"0 %", "0 %"},
             .legend = {"0KB  指定时间前删除文件占用空间", "0KB  其它时间删除文件占用空间"}},
            {.total = 4096,
             .selected = 4096,
             .marks = {"100 %", "0 %"},
             .legend = {"4,096KB  指定时间前删除文件占用空间", "0KB  其它时间删除文件占用空间"}},
        };
        TfrmAnalyze dialog;
        for (const Showing& s : showings) {
            dialog.TotalSize = s.total;
            dialog.SelectedSize = s.selected;
            ShowAndClose(dialog);
            QCOMPARE(dialog.Series1->count(), 2);
            QCOMPARE(MarkTexts(dialog), s.marks);
            QCOMPARE(LegendTexts(dialog), s.legend);
        }
    }

    void staleTotalIsNotClamped() {
        // The list shrank since the total was counted: the rest is negative, and the
        // legend says so. Qt draws slices by their size only.
        TfrmAnalyze dialog;
        dialog.TotalSize = 50;
        dialog.SelectedSize = 100;
        ShowAndClose(dialog);
        QCOMPARE(dialog.Series1->count(), 2);
        QCOMPARE(LegendTexts(dialog).last(), QStringLiteral("-50KB  其它时间删除文件占用空间"));
        QCOMPARE(MarkTexts(dialog), (QStringList{"66.67 %", "33.33 %"}));
    }

    void infoTextLinesAreShownOnePerLine() {
        TfrmAnalyze dialog;
        dialog.InfoText = kTwoLines;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.InfoText, kTwoLines);
        QCOMPARE(dialog.Label1->text().split(QLatin1Char('\n')),
                 (QStringList{"回收站中有 30 天前删除文件或文件夹：3项", "合计占用空间：1,234KB"}));
        QVERIFY(dialog.Label1->height() >= 2 * dialog.Label1->fontMetrics().lineSpacing());

        // A report that wraps pushes chart and button down and the dialog grows with it.
        const int twoLineHeight = dialog.height();
        dialog.hide();
        dialog.InfoText = kTwoLines + QStringLiteral("\r第三行\r第四行");
        dialog.show();
        QCOMPARE(dialog.Label1->text().count(QLatin1Char('\n')), 3);
        QVERIFY(dialog.height() > twoLineHeight);
        QCOMPARE(dialog.Chart1->y(), dialog.Label1->geometry().bottom() + 1);
        QVERIFY(dialog.rect().contains(dialog.BitBtn1->geometry()));
    }

    void layoutAndChartSettings() {
        TfrmAnalyze dialog;
        dialog.InfoText = kTwoLines;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
        QVERIFY(!(dialog.windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(dialog.windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(dialog.width(), 296 + 20);
        QVERIFY(dialog.height() >= 258 + 20);

        QCOMPARE(dialog.Label1->geometry().topLeft(), QPoint(10, 10));
        QCOMPARE(dialog.Label1->width(), 296);
        QVERIFY(dialog.Label1->wordWrap());
        QCOMPARE(dialog.Chart1->geometry(),
                 QRect(10, dialog.Label1->geometry().bottom() + 1, 296, 209));
        QCOMPARE(dialog.BitBtn1->size(), QSize(75, 25));
        QCOMPARE(dialog.BitBtn1->x(), 10 + 115);
        QVERIFY(dialog.BitBtn1->y() >= 10 + 233);
        QCOMPARE(dialog.BitBtn1->text(), QStringLiteral("确定"));

        QChart* chart = dialog.Chart1->chart();
        QVERIFY(chart->title().isEmpty());
        QVERIFY(chart->axes().isEmpty());
        QCOMPARE(chart->series().size(), 1);
        QVERIFY(chart->legend()->isVisible());
        QCOMPARE(dialog.Chart1->rubberBand(), QChartView::NoRubberBand);
        // Every legend line sits above the pie.
        const QRectF plot = chart->plotArea();
        QVERIFY(chart->legend()->geometry().top() < plot.top());
        QVERIFY(plot.height() > 100);
    }

    void firstShowingIsCentredLaterOnesKeepTheirPlace() {
        QWidget owner;
        owner.setGeometry(100, 100, 700, 500);
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        TfrmAnalyze dialog(&owner);
        dialog.InfoText = kTwoLines;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const QPoint offset = dialog.frameGeometry().center() - owner.frameGeometry().center();
        QVERIFY2(offset.manhattanLength() <= 30,
                 qPrintable(QStringLiteral("%1,%2").arg(offset.x()).arg(offset.y())));
        // Moved the way a user drags it: through the window, not QWidget::move().
        const QPoint moved = owner.pos() + QPoint(20, 30);
        dialog.windowHandle()->setFramePosition(moved);
        QTRY_COMPARE(dialog.pos(), moved);
        QTest::mouseClick(dialog.BitBtn1, Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.pos(), moved);
    }

    void closesWithOkAndIsReadable() {
        TfrmAnalyze dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QVERIFY(dialog.BitBtn1->isDefault());
        QCOMPARE(QApplication::focusWidget(), dialog.BitBtn1);
        QTest::keyClick(&dialog, Qt::Key_Return);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));

        dialog.TotalSize = 300;
        dialog.SelectedSize = 100;
        ShowAndClose(dialog);
        QAccessibleInterface* chart = QAccessible::queryAccessibleInterface(dialog.Chart1);
        QVERIFY(!chart->text(QAccessible::Name).isEmpty());
        const QString description = chart->text(QAccessible::Description);
        QVERIFY2(description.contains(QStringLiteral("100KB  指定时间前删除文件占用空间")) &&
                     description.contains(QStringLiteral("33.33 %")),
                 qPrintable(description));
    }
};

QTEST_MAIN(AnalyzeDialogTest)
#include "tst_analyze_dialog.moc"
