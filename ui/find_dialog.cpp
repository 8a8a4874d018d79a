#include "ui/find_dialog.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace varnelo {

FindDialog::FindDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("查找"));
    setModal(false);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);

    findLabel = new QLabel(QStringLiteral("查找内容(&N):"), this);
    findEdit = new QLineEdit(this);
    findEdit->setMaxLength(255);
    findEdit->setMinimumWidth(180);
    findEdit->setAccessibleName(QStringLiteral("查找内容"));
    findLabel->setBuddy(findEdit);

    directionGroup = new QGroupBox(QStringLiteral("方向"), this);
    upButton = new QRadioButton(QStringLiteral("向上(&U)"), directionGroup);
    downButton = new QRadioButton(QStringLiteral("向下(&D)"), directionGroup);
    downButton->setChecked(true);
    auto* directionLayout = new QHBoxLayout(directionGroup);
    directionLayout->addWidget(upButton);
    directionLayout->addWidget(downButton);

    findNextButton = new QPushButton(QStringLiteral("查找下一个(&F)"), this);
    findNextButton->setDefault(true);
    findNextButton->setEnabled(false);
    cancelButton = new QPushButton(QStringLiteral("取消"), this);
    // Only find-next reacts to Enter; the dialog's own Esc handling covers cancel.
    cancelButton->setAutoDefault(false);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(findNextButton);
    buttons->addWidget(cancelButton);
    buttons->addStretch();

    auto* grid = new QGridLayout(this);
    grid->addWidget(findLabel, 0, 0);
    grid->addWidget(findEdit, 0, 1);
    grid->addWidget(directionGroup, 1, 1, Qt::AlignRight | Qt::AlignTop);
    grid->addLayout(buttons, 0, 2, 2, 1);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(findEdit, upButton);
    setTabOrder(upButton, downButton);
    setTabOrder(downButton, findNextButton);
    setTabOrder(findNextButton, cancelButton);

    connect(findEdit, &QLineEdit::textChanged, this,
            [this](const QString& text) { findNextButton->setEnabled(!text.isEmpty()); });
    connect(findNextButton, &QPushButton::clicked, this, &FindDialog::Find);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

QString FindDialog::findText() const { return findEdit->text(); }

bool FindDialog::searchDown() const { return downButton->isChecked(); }

void FindDialog::Execute() {
    if (!isVisible()) show();
    raise();
    activateWindow();
    findEdit->setFocus();
    findEdit->selectAll();
}

}  // namespace varnelo
