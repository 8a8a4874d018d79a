#pragma once

#include <QDialog>
#include <QString>

QT_BEGIN_NAMESPACE
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
QT_END_NAMESPACE

namespace varnelo {

// A modeless find dialog. It is made once and only hidden when closed, so the text and
// the direction stay as the user left them.
class FindDialog : public QDialog {
    Q_OBJECT
  public:
    explicit FindDialog(QWidget* parent = nullptr);

    QString findText() const;
    bool searchDown() const;

    // Shows the dialog, or brings it to the front when it is already open.
    void Execute();

    QLabel* findLabel;
    QLineEdit* findEdit;
    QGroupBox* directionGroup;
    QRadioButton* upButton;
    QRadioButton* downButton;
    QPushButton* findNextButton;
    QPushButton* cancelButton;

  signals:
    // Each press of the find-next button.
    void Find();
};

}  // namespace varnelo
