#pragma once

#include <QWidget>

#include "core/moment.h"
#include "core/old_items_scan.h"

class QComboBox;
class QDateEdit;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace varnelo {

class FileSystem;
class FindDialog;
class LinkLabel;
class TfrmAbout;
class TfrmAnalyze;
class TrashListView;

// The main window: the trash list with its info panel, and the controls that analyse,
// clear and search it.
class TForm1 : public QWidget {
    Q_OBJECT
  public:
    explicit TForm1(QWidget* parent = nullptr);

    // The dialogs are created after the main window; they live as long as it does.
    void SetDialogs(TfrmAbout* about, TfrmAnalyze* analyze);

    QGroupBox* GroupBox1;
    QGroupBox* GroupBox2;
    QPushButton* BtnAnalyse;
    QPushButton* BtnDelete;
    QRadioButton* RbDate;
    QDateEdit* DtCeil;
    QLabel* Label1;
    QRadioButton* RbDays;
    QComboBox* CmbDays;
    QLabel* Label2;
    TrashListView* ShellListView1;
    QFrame* Panel1;
    QLabel* Image1;
    LinkLabel* lblAbout;
    QLabel* Label3;
    QLabel* lblTotal;
    QLabel* Label4;
    QLabel* lblTotalSpace;
    FindDialog* FindDialog1;
    QPushButton* BtnSeek;

    ActionResult KillItem(FileSystem& fileSystem, Moment cutoff);
    void BtnDeleteClick();
    void FormCreate();
    void BtnAnalyseClick();
    void lblAboutClick();
    void FormShow();
    void RefreshSum();
    void BtnSeekClick();
    void FindDialog1Find();

    // A later start asked for this window: restore it when minimised and bring it forward.
    void BringToFront();

    int SearchPos() const { return searchPos_; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    CutoffControls CutoffInput() const;

    TfrmAbout* frmAbout_ = nullptr;
    TfrmAnalyze* frmAnalyze_ = nullptr;
    int searchPos_ = 0;  // where the next find starts; kept for the life of the program
};

}  // namespace varnelo
