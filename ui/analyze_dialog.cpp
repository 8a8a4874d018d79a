#include "ui/analyze_dialog.h"

#include <algorithm>
#include <cmath>

#include <QChart>
#include <QChartView>
#include <QFontMetrics>
#include <QGraphicsLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLegend>
#include <QPainter>
#include <QPieLegendMarker>
#include <QPieSeries>
#include <QPieSlice>
#include <QPushButton>
#include <QShowEvent>

namespace varnelo {

namespace {

// The layout's client area and where the button sits in it; the dialog's frame adds a
// border of its own around it.
constexpr int kBorder = 10;
constexpr int kClientWidth = 296;
constexpr int kClientHeight = 258;
constexpr int kChartHeight = 209;
constexpr int kButtonLeft = 115;
constexpr int kButtonTop = 233;
// Two report lines of the layout's font; a taller text pushes chart and button down.
constexpr int kLayoutLabelHeight = 26;

}  // namespace

QString PieMarkText(double value, double sum, const QLocale& locale) {
    double percent = sum == 0 ? 0.0 : value * 100.0 / sum;
    percent = std::round(percent * 100.0) / 100.0;
    if (percent == 0) percent = 0;  // no "-0 %"
    QLocale plain = locale;
    plain.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    QString text = plain.toString(percent, 'f', 2);
    const QString point = plain.decimalPoint();
    if (text.contains(point)) {
        const QString zero = plain.zeroDigit();
        while (text.endsWith(zero)) text.chop(zero.size());
        if (text.endsWith(point)) text.chop(point.size());
    }
    return text + QStringLiteral(" %");
}

QString PieLegendText(qint64 valueKb, const QString& label, const QLocale& locale) {
    QLocale grouped = locale;
    grouped.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return grouped.toString(valueKb) + QStringLiteral("KB ") + label;
}

TfrmAnalyze::TfrmAnalyze(QWidget* parent) : QDialog(parent) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);

    Label1 = new QLabel(this);
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    Series1 = new QPieSeries;
    // Qt clips marks to the plot area, so the pie leaves them room: a mark straight
    // above or below the pie needs its arm and a line of text.
    Series1->setPieSize(0.62);
    auto* chart = new QChart;
    chart->addSeries(Series1);
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setBackgroundRoundness(0);
    chart->setBackgroundBrush(palette().window());
    chart->setBackgroundPen(Qt::NoPen);
    chart->setMargins(QMargins(2, 2, 2, 2));
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    // Attached to the top, Qt puts the entries side by side and cuts them short; detached
    // and left-aligned it stacks them, one line per slice, and PlaceLegend() puts that
    // block above the pie.
    chart->legend()->setVisible(true);
    chart->legend()->detachFromChart();
    chart->legend()->setAlignment(Qt::AlignLeft);
    chart->legend()->layout()->setContentsMargins(0, 0, 0, 0);
    chart->legend()->setFont(font());
    chart->legend()->setLabelColor(palette().color(QPalette::WindowText));

    Chart1 = new QChartView(chart, this);
    Chart1->setFrameShape(QFrame::NoFrame);
    Chart1->setRenderHint(QPainter::Antialiasing);
    Chart1->setRubberBand(QChartView::NoRubberBand);
    Chart1->setInteractive(false);
    // A picture, not a control: read through its accessible description instead.
    Chart1->setFocusPolicy(Qt::NoFocus);
    Chart1->setAccessibleName(QStringLiteral("占用空间饼图"));

    BitBtn1 = new QPushButton(QStringLiteral("确定"), this);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);

    Relayout();
    FormCreate();
}

void TfrmAnalyze::FormCreate() {
    setWindowTitle(QGuiApplication::applicationDisplayName() + QStringLiteral(" - 分析"));
}

void TfrmAnalyze::FormShow() {
    QString shown = InfoText;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    Label1->setText(shown);

    Series1->clear();
    AddSlice(SelectedSize, kOldSliceLabel, QColor(255, 0, 0));
    AddSlice(TotalSize - SelectedSize, kOtherSliceLabel, QColor(0, 128, 0));

    // Marks are shares of the sum, known only once every slice is in. Qt keeps slice
    // values non-negative, so a negative rest (a total counted before the list shrank)
    // is drawn and measured by its size; its legend line still shows it signed.
    QStringList description;
    const double sum = Series1->sum();
    const auto markers = Chart1->chart()->legend()->markers(Series1);
    for (QLegendMarker* marker : markers) {
        QPieSlice* slice = static_cast<QPieLegendMarker*>(marker)->slice();
        slice->setLabel(PieMarkText(slice->value(), sum));
        description << marker->label() + QStringLiteral("：") + slice->label();
    }
    Chart1->setAccessibleDescription(description.join(QStringLiteral("；")));

    Relayout();
    PlaceLegend();
}

void TfrmAnalyze::PlaceLegend() {
    QChart* chart = Chart1->chart();
    QLegend* legend = chart->legend();
    const QFontMetrics metrics(legend->font());
    const auto markers = legend->markers(Series1);
    int textWidth = 0;
    for (const QLegendMarker* marker : markers)
        textWidth = std::max(textWidth, metrics.horizontalAdvance(marker->label()));
    // An entry is a colour box, the text and a few pixels of padding around both. The
    // legend's own rectangle reaches to the bottom so that Qt never starts a second
    // column; only the entries are drawn, so the pie below stays visible.
    const int entryWidth = std::min(kClientWidth, textWidth + 30);
    const int entryHeight = metrics.height() + 9;
    legend->setGeometry(QRectF((kClientWidth - entryWidth) / 2.0, 4, entryWidth, kChartHeight - 4));
    legend->update();
    chart->setMargins(QMargins(2, 4 + entryHeight * static_cast<int>(markers.size()) + 2, 2, 2));
}

void TfrmAnalyze::AddSlice(qint64 valueKb, const QString& label, const QColor& color) {
    QPieSlice* slice = Series1->append(label, static_cast<qreal>(valueKb));
    slice->setColor(color);
    slice->setLabelVisible(true);
    slice->setLabelPosition(QPieSlice::LabelOutside);
    slice->setLabelFont(font());
    slice->setLabelColor(palette().color(QPalette::WindowText));
    // The slice label is taken by the percentage; the legend carries value and label.
    const auto markers = Chart1->chart()->legend()->markers(Series1);
    for (QLegendMarker* marker : markers) {
        if (static_cast<QPieLegendMarker*>(marker)->slice() == slice)
            marker->setLabel(PieLegendText(valueKb, label));
    }
}

void TfrmAnalyze::Relayout() {
    int labelHeight = Label1->heightForWidth(kClientWidth);
    if (labelHeight < 0) labelHeight = Label1->sizeHint().height();
    const int extra = std::max(0, labelHeight - kLayoutLabelHeight);
    Label1->setGeometry(kBorder, kBorder, kClientWidth, labelHeight);
    Chart1->setGeometry(kBorder, kBorder + labelHeight, kClientWidth, kChartHeight);
    BitBtn1->setGeometry(kBorder + kButtonLeft, kBorder + kButtonTop + extra, 75, 25);
    setFixedSize(kClientWidth + 2 * kBorder, kClientHeight + extra + 2 * kBorder);
}

void TfrmAnalyze::showEvent(QShowEvent* event) {
    // Before the base class places the dialog, so that it centres the final size.
    if (!event->spontaneous()) FormShow();
    QDialog::showEvent(event);
}

void TfrmAnalyze::hideEvent(QHideEvent* event) {
    // The base class centres the dialog on every showing unless it was moved
    // explicitly; after the first showing it should reopen where it was closed.
    if (!event->spontaneous()) setAttribute(Qt::WA_Moved, true);
    QDialog::hideEvent(event);
}

}  // namespace varnelo
