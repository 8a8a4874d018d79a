// One instance at a time, with real processes of the program.
#include <signal.h>

#include <QLocalSocket>
#include <QProcess>
#include <QtTest>

#include <memory>

#include "platform/single_instance.h"
#include "tests/support/sandbox.h"
#include "ui/about_dialog.h"
#include "ui/analyze_dialog.h"
#include "ui/main_window.h"
#include "ui/startup.h"

using namespace varnelo;

namespace {

QString Binary() { return QString::fromLocal8Bit(qgetenv("VARNELO_BINARY")); }

QString MarkPath() { return InstanceDirectory() + "/VarneloMainWindow"; }

bool MarkAnswers() {
    QLocalSocket socket;
    socket.connectToServer(MarkPath());
    return socket.waitForConnected(200);
}

std::unique_ptr<QProcess> Start() {
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_LOGGING_RULES", "varnelo.instance.debug=true");
    process->setProcessEnvironment(env);
    process->start(Binary(), {});
    process->waitForStarted();
    return process;
}

}  // namespace

class TestSingleInstance : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<test::Sandbox> sandbox_;

  private slots:
    void init() { sandbox_ = std::make_unique<test::Sandbox>(); }
    void cleanup() { sandbox_.reset(); }

    void aSecondStartHandsOverAndExitsZero() {
        auto first = Start();
        QTRY_VERIFY_WITH_TIMEOUT(MarkAnswers(), 20000);
        auto second = Start();
        QVERIFY(second->waitForFinished(20000));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);
        QVERIFY(!second->readAllStandardError().contains("activation requested"));
        QByteArray log;
        QTRY_VERIFY_WITH_TIMEOUT(
            (log += first->readAllStandardError()).contains("activation requested"), 10000);
        QCOMPARE(first->state(), QProcess::Running);
        first->terminate();
        QVERIFY(first->waitForFinished(10000));
    }

    void aKilledFirstInstanceDoesNotBlockTheNextStart() {
        auto first = Start();
        QTRY_VERIFY_WITH_TIMEOUT(MarkAnswers(), 20000);
        kill(pid_t(first->processId()), SIGKILL);
        QVERIFY(first->waitForFinished(10000));
        auto next = Start();
        // The next start becomes the first instance: it keeps running and answers.
        QTRY_VERIFY_WITH_TIMEOUT(MarkAnswers(), 20000);
        QCOMPARE(next->state(), QProcess::Running);
        next->terminate();
        QVERIFY(next->waitForFinished(10000));
    }

    void aSecondStartRestoresAMinimisedWindow() {
        SetUpApplication();
        QVERIFY(!IsAlreadyRunning());  // this test process is the first instance
        TForm1 form;
        TfrmAbout about("https://varnelo.example.org/support", &form);
        TfrmAnalyze analyze(&form);
        form.SetDialogs(&about, &analyze);
        InstanceMark mark;
        connect(&mark, &InstanceMark::ActivationRequested, &form, &TForm1::BringToFront);
        QVERIFY(mark.Listen());
        form.showMinimized();
        QVERIFY(form.isMinimized());

        QProcess second;
        second.start(Binary(), {});
        QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning, 20000);
        QCOMPARE(second.exitCode(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!form.isMinimized(), 5000);
        QVERIFY(form.isVisible());
    }
};

QTEST_MAIN(TestSingleInstance)
#include "tst_single_instance.moc"
