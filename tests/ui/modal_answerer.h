#pragma once

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace varnelo::test {

// Answers the modal windows a handler opens: each message box is recorded and closed;
// any other modal dialog is handed to onDialog, then closed.
class ModalAnswerer : public QObject {
  public:
    explicit ModalAnswerer(std::function<void(QWidget*)> onDialog = {})
        : onDialog_(std::move(onDialog)) {
        connect(&timer_, &QTimer::timeout, this, [this] { Answer(); });
        timer_.start(10);
    }

    QStringList messages;
    QStringList errors;

  private:
    void Answer() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) return;
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            (box->icon() == QMessageBox::Critical ? errors : messages) << box->text();
            box->accept();
        } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            if (onDialog_) onDialog_(dialog);
            dialog->accept();
        }
    }

    std::function<void(QWidget*)> onDialog_;
    QTimer timer_;
};

// Runs a trash tool of another desktop (trash-put, gio) inside the test's environment.
inline void RunPeer(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    QVERIFY2(process.waitForFinished(30000), qPrintable(program));
    QVERIFY2(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0,
             qPrintable(program + ": " + process.readAllStandardError()));
}

// Moves an item's deletion date back, as if it had been trashed `days` days ago.
inline void BackDate(const QString& infoPath, int days) {
    QFile file(infoPath);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QString text = QString::fromUtf8(file.readAll());
    file.close();
    const QString when =
        QDateTime::currentDateTime().addDays(-days).toString("yyyy-MM-ddTHH:mm:ss");
    text.replace(QRegularExpression("DeletionDate=[^\n]*"), "DeletionDate=" + when);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.toUtf8());
}

}  // namespace varnelo::test
