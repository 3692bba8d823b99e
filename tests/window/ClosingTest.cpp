// Start-up errors and the ways the main window closes.
#include "WindowSupport.h"
#include "base/Errors.h"

using namespace trilo;
using namespace trilo::gui;
using namespace trilo::gui::test;

class ClosingTest : public QObject {
    Q_OBJECT
private slots:
    void startupErrorIsShownAndTheWindowOpens();
    void exitClosesTheWindow_data();
    void exitClosesTheWindow();
    void unsavedDataQuestion_data();
    void unsavedDataQuestion();
    void secondInstanceEnds();
    void openChoosesTheFile();
};

void ClosingTest::startupErrorIsShownAndTheWindowOpens() {
    TestHome home;
    QVERIFY(QDir(home.cwd()).mkdir("programmer.ini"));
    Program program;
    QCOMPARE(program.dialogs.texts(ScriptedDialogs::Kind::Error),
             QStringList({"Unable to read " + home.settingsPath() + " (not a regular file)."}));
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

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

}  // namespace

void ClosingTest::unsavedDataQuestion_data() {
    QTest::addColumn<QList<bool>>("answers");
    // The save dialog's answers: a null string cancels, "missing" names a missing directory.
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<bool>("bufferKept");
    QTest::addColumn<int>("errors");
    QTest::newRow("No discards") << QList<bool>{false} << QStringList{} << true << false << 0;
    QTest::newRow("Yes, cancel, then No")
        << QList<bool>{true, false} << QStringList{QString()} << true << false << 0;
    QTest::newRow("Yes and saved")
        << QList<bool>{true} << QStringList{"saved.bin"} << true << false << 0;
    QTest::newRow("Yes, save fails: stays open")
        << QList<bool>{true} << QStringList{"missing/saved.bin"} << false << true << 1;
}

// Closing runs FormClose; an error inside it keeps the window open with the data.
void ClosingTest::unsavedDataQuestion() {
    QFETCH(QList<bool>, answers);
    QFETCH(QStringList, files);
    QFETCH(bool, closes);
    QFETCH(bool, bufferKept);
    QFETCH(int, errors);
    TestHome home;
    Program program;
    program.frmTop->show();
    QVERIFY(QTest::qWaitForWindowExposed(program.frmTop.get()));
    const QString buffer =
        QFile::decodeName(program.frmTop->session().engine().files().BufferFile.c_str());
    writeFile(buffer, "read from the chip");
    for (bool answer : answers) {
        program.dialogs.answers.push_back(answer);
    }
    for (const QString& file : files) {
        program.dialogs.files.push_back(file.isNull() ? QString() : home.path(file));
    }

    program.action("mnuExit")->trigger();

    QCOMPARE(program.frmTop->isVisible(), !closes);
    QCOMPARE(QFile::exists(buffer), bufferKept);
    QCOMPARE(program.dialogs.texts(ScriptedDialogs::Kind::Question),
             QStringList(answers.size(), QString::fromUtf8("Uložit načtená data ?  ")));
    QCOMPARE(program.dialogs.texts(ScriptedDialogs::Kind::Error).size(), errors);
    QVERIFY(program.dialogs.unexpected.isEmpty());
    if (files.value(0) == "saved.bin") {
        QFile saved(home.path("saved.bin"));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), QByteArray("read from the chip"));
    }
}

void ClosingTest::secondInstanceEnds() {
    TestHome home;
    Program first;
    try {
        Program second;
        QFAIL("a second instance started");
    } catch (const StartupAbort& abort) {
        QCOMPARE(abort.kind(), StartupAbort::Kind::Information);
        QVERIFY(!QString::fromStdString(abort.what()).isEmpty());
    }
    // The first one goes on undisturbed.
    first.action("mnu8515")->trigger();
    QCOMPARE(home.setting("CPU"), QStringLiteral("15"));
}

void ClosingTest::openChoosesTheFile() {
    TestHome home;
    Program program;
    const QString chosen = home.path("firmware.bin");
    writeFile(chosen, "data");
    program.dialogs.files.push_back(chosen);

    program.action("mnuOpen")->trigger();

    QCOMPARE(program.dialogs.texts(ScriptedDialogs::Kind::Open), QStringList{QString()});
    QCOMPARE(program.widget<QLabel>("txFile")->text(), chosen);
    QCOMPARE(home.setting("File"), chosen);
    // The next dialog starts from the file chosen.
    program.dialogs.files.push_back(QString());
    program.action("mnuOpen")->trigger();
    QCOMPARE(program.dialogs.texts(ScriptedDialogs::Kind::Open).value(1), chosen);
}

QTEST_MAIN(ClosingTest)
#include "ClosingTest.moc"
