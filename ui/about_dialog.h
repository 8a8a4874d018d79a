#pragma once

#include <QDialog>
#include <QString>

QT_BEGIN_NAMESPACE
class QFrame;
class QLabel;
class QPushButton;
QT_END_NAMESPACE

namespace varnelo {

class LinkLabel;

class TfrmAbout : public QDialog {
    Q_OBJECT
  public:
    // supportUrl is shown as the link and opened on a click.
    explicit TfrmAbout(const QString& supportUrl, QWidget* parent = nullptr);

    QPushButton* BitBtn1;
    QLabel* Image1;
    QLabel* Image2;
    QFrame* Shape1;
    QLabel* lblVersion;
    LinkLabel* Label1;
    QLabel* Label2;

    void FormCreate();
    void Label1Click();

  private:
    QString supportUrl_;
};

}  // namespace varnelo
