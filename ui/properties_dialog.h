#pragma once

#include <QDialog>
#include <QString>

class QLabel;

namespace varnelo {

// What the properties dialog shows of one row; empty texts show as unknown.
struct ItemProperties {
    QString name;
    QString location;  // the folder the item was deleted from
    QString deleted;
    QString size;
    QString type;
    bool isFolder = false;
};

// The properties of one list row, shown modally with an OK button.
class PropertiesDialog : public QDialog {
    Q_OBJECT
  public:
    explicit PropertiesDialog(const ItemProperties& properties, QWidget* parent = nullptr);

    QLabel* nameValue;
    QLabel* locationValue;
    QLabel* deletedValue;
    QLabel* sizeValue;
    QLabel* typeValue;
};

}  // namespace varnelo
