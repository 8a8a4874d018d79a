#include "ui/handler_guard.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace varnelo {

QString ApplicationTitle() { return QCoreApplication::applicationName(); }

void ShowInfo(QWidget* owner, const QString& text) {
    QMessageBox box(QMessageBox::Information, ApplicationTitle(), text, QMessageBox::Ok, owner);
    box.exec();
}

void ShowHandlerError(QWidget* owner, const QString& message) {
    QString text = message;
    if (!text.isEmpty() && text.back().unicode() > u'.') text += u'.';
    QMessageBox box(QMessageBox::Critical, ApplicationTitle(), text, QMessageBox::Ok, owner);
    box.exec();
}

}  // namespace varnelo
