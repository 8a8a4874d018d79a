#pragma once

#include <QDialog>
#include <QLocale>
#include <QString>

QT_BEGIN_NAMESPACE
class QChartView;
class QLabel;
class QPieSeries;
class QPushButton;
QT_END_NAMESPACE

namespace varnelo {

// A slice's mark: its share of sum in percent, "##0.## %" (at most two decimals, no
// trailing zeros, the locale's decimal point). A sum of 0 gives "0 %".
QString PieMarkText(double value, double sum, const QLocale& locale = QLocale());

// A legend line: the value in kilobytes as "#,##0KB" (grouped by the locale's
// separator), a blank, then the label as given.
QString PieLegendText(qint64 valueKb, const QString& label, const QLocale& locale = QLocale());

inline const QString kOldSliceLabel = QStringLiteral(" 指定时间前删除文件占用空间");
inline const QString kOtherSliceLabel = QStringLiteral(" 其它时间删除文件占用空间");

class TfrmAnalyze : public QDialog {
    Q_OBJECT
  public:
    explicit TfrmAnalyze(QWidget* parent = nullptr);

    // Lines are separated by "\r"; kept as given, shown one per line.
    QString InfoText;
    // Kilobytes.
    qint64 TotalSize = 0;
    qint64 SelectedSize = 0;

    QLabel* Label1;
    QChartView* Chart1;
    QPieSeries* Series1;
    QPushButton* BitBtn1;

    void FormCreate();
    void FormShow();

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void AddSlice(qint64 valueKb, const QString& label, const QColor& color);
    void Relayout();
    void PlaceLegend();
};

}  // namespace varnelo
