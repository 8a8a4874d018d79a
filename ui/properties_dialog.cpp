#include "ui/properties_dialog.h"

#include <QDialogButtonBox>
#include <QFileIconProvider>
#include <QFormLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/handler_guard.h"

namespace varnelo {

namespace {

QLabel* ValueLabel(const QString& text, const QString& caption, QWidget* parent) {
    auto* label = new QLabel(text.isEmpty() ? QStringLiteral("未知") : text, parent);
    label->setTextFormat(Qt::PlainText);  // names are the user's, never markup
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    label->setFocusPolicy(Qt::TabFocus);
    label->setWordWrap(true);
    label->setMinimumWidth(260);
    label->setAccessibleName(caption);
    return label;
}

}  // namespace

PropertiesDialog::PropertiesDialog(const ItemProperties& properties, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(ApplicationTitle() + QStringLiteral(" - ") + properties.name +
                   QStringLiteral(" 属性"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    static const QFileIconProvider icons;
    auto* icon = new QLabel(this);
    icon->setPixmap(
        icons.icon(properties.isFolder ? QFileIconProvider::Folder : QFileIconProvider::File)
            .pixmap(32, 32));
    nameValue = ValueLabel(properties.name, QStringLiteral("名称"), this);
    QFont bold = nameValue->font();
    bold.setBold(true);
    nameValue->setFont(bold);
    auto* header = new QHBoxLayout;
    header->addWidget(icon);
    header->addWidget(nameValue, 1);

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    auto* form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignLeft);
    const auto addRow = [&](const char* caption, const QString& text) {
        const QString captionText = QString::fromUtf8(caption);
        QLabel* value = ValueLabel(text, captionText, this);
        auto* label = new QLabel(captionText + QStringLiteral("："), this);
        label->setBuddy(value);
        form->addRow(label, value);
        return value;
    };
    locationValue = addRow("原位置", properties.location);
    deletedValue = addRow("删除日期", properties.deleted);
    sizeValue = addRow("大小", properties.size);
    typeValue = addRow("类型", properties.type);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(header);
    layout->addWidget(line);
    layout->addLayout(form);
    layout->addStretch(1);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    buttons->button(QDialogButtonBox::Ok)->setFocus();
}

}  // namespace varnelo
