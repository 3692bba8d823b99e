// Start-up errors and the ways the main window closes.
#include "WindowSupport.h"

using namespace trilo;
using namespace trilo::gui;
using namespace trilo::gui::test;

class ClosingTest : public QObject {
    Q_OBJECT
private slots:
    void startupErrorIsShownAndTheWindowOpens();
    void exitClosesTheWindow_data();
    void exitClosesTheWindow();
};

void ClosingTest::startupErrorIsShownAndTheWindowOpens() {
    TestHome home;
    QVERIFY(QDir(home.cwd()).mkdir("programmer.ini"));
    Program program;
    QCOMPARE(program.dialogs.texts(ScriptedDialogs::Kind::Error),
             QStringList({"Unable to write to " + home.settingsPath() + "."}));
    // The rest of the start-up ran before the failed save.
    QCOMPARE(program.widget<QLabel>("txCpu")->text(), QStringLiteral("89C2051"));
    program.frmTop->showCentred();
    QVERIFY(QTest::qWaitForWindowExposed(program.frmTop.get()));
}

void ClosingTest::exitClosesTheWindow_data() {
    QTest::addColumn<bool>("byMenu");
    QTest::newRow("File > Exit") << true;
    QTest::newRow("close box") << false;
}

void ClosingTest::exitClosesTheWindow() {
    QFETCH(bool, byMenu);
    TestHome home;
    Program program;
    program.frmTop->show();
    QVERIFY(QTest::qWaitForWindowExposed(program.frmTop.get()));
    if (byMenu) {
        program.action("mnuExit")->trigger();
    } else {
        program.frmTop->close();
    }
    QVERIFY(!program.frmTop->isVisible());
    QVERIFY(program.dialogs.log.empty());
}

QTEST_MAIN(ClosingTest)
#include "ClosingTest.moc"
