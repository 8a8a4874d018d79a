#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include "tests/support/sandbox.h"
#include "ui/find_dialog.h"

// Made before QApplication so that nothing Qt caches lands in the real home.
static varnelo::test::Sandbox sandbox;

using varnelo::FindDialog;

namespace {

int VisibleFindDialogs() {
    int count = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        count += (qobject_cast<FindDialog*>(w) && w->isVisible()) ? 1 : 0;
    return count;
}

}  // namespace

class FindDialogTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { QApplication::setApplicationDisplayName(QStringLiteral("Varnelo")); }

    void defaults() {
        FindDialog dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("查找"));
        QVERIFY(!dialog.isModal());
        QVERIFY(dialog.findText().isEmpty());
        QVERIFY(dialog.searchDown());
        QVERIFY(dialog.downButton->isChecked());
        QVERIFY(!dialog.upButton->isChecked());
        QVERIFY(!dialog.findNextButton->isEnabled());
        QVERIFY(dialog.findNextButton->isDefault());
        QCOMPARE(dialog.findEdit->maxLength(), 255);
        QCOMPARE(dialog.directionGroup->title(), QStringLiteral("方向"));
        // The list search always matches case and part of a name: no boxes that pretend
        // otherwise.
        QVERIFY(dialog.findChildren<QCheckBox*>().isEmpty());
    }

    void findNextIsEnabledOnlyWithText() {
        FindDialog dialog;
        dialog.Execute();
        QTest::keyClicks(dialog.findEdit, QStringLiteral("a"));
        QVERIFY(dialog.findNextButton->isEnabled());
        QTest::keyClick(dialog.findEdit, Qt::Key_Backspace);
        QVERIFY(!dialog.findNextButton->isEnabled());
    }

    void findSignalOnEachPress() {
        FindDialog dialog;
        QSignalSpy finds(&dialog, &FindDialog::Find);
        dialog.Execute();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));

        // Enter with nothing to look for does nothing, and does not close the dialog.
        QTest::keyClick(dialog.findEdit, Qt::Key_Return);
        QCOMPARE(finds.count(), 0);
        QVERIFY(dialog.isVisible());

        dialog.findEdit->insert(QStringLiteral("报告"));
        QTest::mouseClick(dialog.findNextButton, Qt::LeftButton);
        QTest::mouseClick(dialog.findNextButton, Qt::LeftButton);
        QCOMPARE(finds.count(), 2);
        QCOMPARE(dialog.findText(), QStringLiteral("报告"));
        // Enter in the text box is find-next too, and the dialog stays for the next one.
        QTest::keyClick(dialog.findEdit, Qt::Key_Return);
        QCOMPARE(finds.count(), 3);
        QVERIFY(dialog.isVisible());
    }

    void directionIsReadAtEachFind() {
        FindDialog dialog;
        QList<bool> directions;
        connect(&dialog, &FindDialog::Find, this, [&] { directions << dialog.searchDown(); });
        dialog.Execute();
        dialog.findEdit->setText(QStringLiteral("x"));
        QTest::mouseClick(dialog.upButton, Qt::LeftButton);
        QVERIFY(dialog.upButton->isChecked() && !dialog.downButton->isChecked());
        dialog.findNextButton->click();
        QTest::mouseClick(dialog.downButton, Qt::LeftButton);
        dialog.findNextButton->click();
        QCOMPARE(directions, (QList<bool>{false, true}));
    }

    void textAndDirectionSurviveClosing_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("cancel button") << QStringLiteral("cancel");
        QTest::newRow("escape") << QStringLiteral("escape");
        QTest::newRow("close box") << QStringLiteral("close");
    }
    void textAndDirectionSurviveClosing() {
        QFETCH(QString, how);
        FindDialog dialog;
        dialog.Execute();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTest::keyClicks(dialog.findEdit, QStringLiteral("Report"));
        dialog.upButton->click();

        if (how == QLatin1String("cancel"))
            QTest::mouseClick(dialog.cancelButton, Qt::LeftButton);
        else if (how == QLatin1String("escape"))
            QTest::keyClick(dialog.findEdit, Qt::Key_Escape);
        else
            dialog.close();
        QVERIFY(!dialog.isVisible());

        dialog.Execute();
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.findText(), QStringLiteral("Report"));
        QVERIFY(!dialog.searchDown());
        QVERIFY(dialog.findNextButton->isEnabled());
    }

    void executeTwiceKeepsOneDialog() {
        QWidget owner;
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        FindDialog dialog(&owner);
        dialog.Execute();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        dialog.findEdit->setText(QStringLiteral("abc"));
        dialog.upButton->setChecked(true);
        const QPoint where = dialog.pos();

        dialog.Execute();
        QCOMPARE(VisibleFindDialogs(), 1);
        QCOMPARE(dialog.pos(), where);
        QCOMPARE(dialog.findText(), QStringLiteral("abc"));
        QVERIFY(!dialog.searchDown());
        // Reopening puts the cursor in the text, ready to be typed over.
        QCOMPARE(dialog.findEdit->selectedText(), QStringLiteral("abc"));
        // The owner stays usable beside it.
        QVERIFY(owner.isEnabled());
        QVERIFY(!QApplication::activeModalWidget());
    }

    void textIsCutAt255Characters() {
        FindDialog dialog;
        dialog.findEdit->setText(QString(300, QLatin1Char('a')));
        QCOMPARE(dialog.findText().size(), 255);
        dialog.findEdit->setText(QString(300, QChar(0x6587)));
        QCOMPARE(dialog.findText().size(), 255);
    }

    void keyboardOrderMnemonicsAndNames() {
        FindDialog dialog;
        dialog.Execute();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QCOMPARE(QApplication::focusWidget(), dialog.findEdit);

        const QList<QWidget*> order = {dialog.findEdit, dialog.upButton, dialog.downButton,
                                       dialog.findNextButton, dialog.cancelButton};
        QList<QWidget*> chain;
        QWidget* w = dialog.findEdit;
        do {
            if (w->focusPolicy() & Qt::TabFocus) chain << w;
            w = w->nextInFocusChain();
        } while (w != dialog.findEdit);
        QCOMPARE(chain, order);

        QCOMPARE(dialog.findLabel->buddy(), dialog.findEdit);
        for (QWidget* widget : order) {
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
            QVERIFY(accessible);
            QVERIFY2(!accessible->text(QAccessible::Name).isEmpty(),
                     widget->metaObject()->className());
        }

        // Alt+U and Alt+D pick the direction, Alt+N goes back to the text.
        // Sent to the window, as a keyboard would, so that shortcuts are looked up; a
        // button answers its mnemonic with an animated click, hence the waits.
        QWindow* window = dialog.windowHandle();
        dialog.cancelButton->setFocus();
        QTest::keyClick(window, Qt::Key_U, Qt::AltModifier);
        QTRY_VERIFY(!dialog.searchDown());
        QTest::keyClick(window, Qt::Key_D, Qt::AltModifier);
        QTRY_VERIFY(dialog.searchDown());
        QTest::keyClick(window, Qt::Key_N, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), dialog.findEdit);

        // Alt+F is find-next, but only once there is something to find.
        QSignalSpy finds(&dialog, &FindDialog::Find);
        QTest::keyClick(window, Qt::Key_F, Qt::AltModifier);
        QTest::qWait(300);
        QCOMPARE(finds.count(), 0);
        dialog.findEdit->setText(QStringLiteral("x"));
        QTest::keyClick(window, Qt::Key_F, Qt::AltModifier);
        QTRY_COMPARE(finds.count(), 1);
    }

    void nothingIsClipped() {
        FindDialog dialog;
        dialog.Execute();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const QList<QWidget*> widgets = {dialog.findLabel, dialog.upButton, dialog.downButton,
                                         dialog.findNextButton, dialog.cancelButton};
        for (QWidget* widget : widgets) {
            QVERIFY2(widget->width() >= widget->sizeHint().width() &&
                         widget->height() >= widget->sizeHint().height(),
                     widget->metaObject()->className());
        }
        QVERIFY(dialog.minimumSize() == dialog.maximumSize());
    }
};

QTEST_MAIN(FindDialogTest)
#include "tst_find_dialog.moc"
