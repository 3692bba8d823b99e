// The window as a desktop program: its own command line, a file named on it, dropped on the
// window or handed over by a later start, and the File menu's recent files.
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QProcess>

#include "WindowSupport.h"
#include "app/CommandLine.h"
#include "app/SingleWindow.h"

using namespace trilo;
using namespace trilo::gui;
using namespace trilo::gui::test;

namespace {

QString makeFile(const QString& path) {
    QFile file(path);
    (void)file.open(QIODevice::WriteOnly);
    return path;
}

// The File menu's recent items as the user sees them when the menu opens.
QStringList recentItems(Program& program) {
    emit program.widget<QMenu>("mnuFile")->aboutToShow();
    QStringList shown;
    for (const QAction* item : program.widget<QMenu>("mnuFile")->actions()) {
        if (item->objectName().startsWith("mnuRecent") && item->isVisible()) {
            shown << item->text();
        }
    }
    return shown;
}

}  // namespace

class DesktopTest : public QObject {
    Q_OBJECT
private slots:
    void commandLine_data();
    void commandLine();
    void fileFromOutside_data();
    void fileFromOutside();
    void recentFilesSurviveARestart();
};

void DesktopTest::commandLine_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");  // how the output begins
    QTest::addColumn<bool>("onStderr");
    // None has a display: help and version need none, and the window says it needs one.
    QTest::newRow("help") << QStringList{"--help"} << 0
                          << QString::fromUtf8("Použití: trilo-programmer") << false;
    QTest::newRow("version, Qt's options") << QStringList{"-style", "fusion", "--version"} << 0
                                           << "trilo-programmer " TRILO_VERSION "\n"
                                           << false;
    QTest::newRow("unknown option")
        << QStringList{"-x"} << 2
        << QString::fromUtf8(
               "trilo-programmer: neznámá volba „-x“\nNápověda: trilo-programmer --help\n")
        << true;
    QTest::newRow("no display") << QStringList{"fw.hex"} << 1 << noGraphicalSessionMessage()
                                << true;
}

void DesktopTest::commandLine() {
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(bool, onStderr);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        env.remove(QString::fromLatin1(name));
    }
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(TRILO_PROGRAMMER), arguments);
    QVERIFY(program.waitForFinished(20000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), status);
    const QString stdOut = QString::fromUtf8(program.readAllStandardOutput());
    const QString stdErr = QString::fromUtf8(program.readAllStandardError());
    QVERIFY2((onStderr ? stdErr : stdOut).startsWith(out), qPrintable(stdOut + stdErr));
    QVERIFY((onStderr ? stdOut : stdErr).isEmpty());
}

void DesktopTest::fileFromOutside_data() {
    QTest::addColumn<QString>("way");
    QTest::addColumn<bool>("exists");
    QTest::newRow("command line") << "argument" << true;
    QTest::newRow("drop") << "drop" << true;
    QTest::newRow("later start") << "handover" << true;
    QTest::newRow("missing file") << "handover" << false;
}

// Each way makes the file the data file as Open does: shown, stored, first among the recent
// ones. A missing file says so and changes nothing.
void DesktopTest::fileFromOutside() {
    QFETCH(QString, way);
    QFETCH(bool, exists);
    TestHome home;
    const QString before = makeFile(home.path("before.bin"));
    home.writeSettings(QStringLiteral("[RUN_PRG]\nFile=%1\n").arg(before).toUtf8());
    const QString file = exists ? makeFile(home.cwd() + "/fw.hex") : home.cwd() + "/fw.hex";
    Program program;
    WindowServer server(*program.frmTop, windowSocketPath(program.platform));
    QVERIFY(server.listening());

    if (way == "argument") {
        // A name relative to where the program started.
        program.frmTop->openDataFile(parseCommandLine({"trilo-programmer", "fw.hex"}).file);
    } else if (way == "drop") {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(file)});
        QDragEnterEvent enter({10, 10}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        enter.ignore();
        QApplication::sendEvent(program.frmTop.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop({10, 10}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(program.frmTop.get(), &drop);
    } else {
        // The running window is hidden behind others; the later start brings it up.
        program.frmTop->hide();
        QVERIFY(handOver(windowSocketPath(program.platform), file));
        QTRY_VERIFY_WITH_TIMEOUT(program.frmTop->isVisible(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(exists == program.dialogs.log.empty(), 5000);
    }

    QTRY_COMPARE_WITH_TIMEOUT(program.caption(Control::txFile), exists ? file : before, 5000);
    QCOMPARE(home.setting("File"), exists ? file : before);
    QCOMPARE(program.dialogs.texts(ScriptedDialogs::Kind::Error),
             exists ? QStringList() : QStringList{"File not found."});
}

// The last five files, newest first, come back after a restart; a file gone from the disk
// leaves the list when chosen; every other byte of programmer.ini stays as it was.
void DesktopTest::recentFilesSurviveARestart() {
    TestHome home;
    const QByteArray head =
        "# the bench's programmer\n[SETUP_PRG]\nPort=LPT1\nCycle=800\nVerMemm=1\nDelMemm=1\n"
        "inFile=1\ninCpu=1\n\n[RUN_PRG]\nCPU=2\nFile=";
    const QByteArray tail = "\n; written by hand\n[MINE]\nKey = kept  as typed \n";
    home.writeSettings(head + tail);
    QStringList files;
    for (int k = 1; k <= 6; ++k) {
        files << makeFile(home.path(QStringLiteral("f&%1.bin").arg(k)));
    }
    {
        Program program;
        for (const QString& file : files) {
            program.frmTop->openDataFile(file);
        }
    }
    Program program;
    QStringList shown;
    for (int k : {6, 5, 4, 3, 2}) {
        shown << QStringLiteral("&%1  %2")
                     .arg(shown.size() + 1)
                     .arg(QString(files[k - 1]).replace("&", "&&"));
    }
    QCOMPARE(recentItems(program), shown);

    QVERIFY(QFile::remove(files[3]));
    program.frmTop->findChild<QAction*>("mnuRecent3")->trigger();
    QCOMPARE(program.dialogs.texts(ScriptedDialogs::Kind::Info),
             QStringList{QString::fromUtf8("Soubor %1 už neexistuje, ze seznamu posledních "
                                           "souborů je odebrán.")
                             .arg(files[3])});
    QCOMPARE(program.caption(Control::txFile), files[5]);
    const QString recent =
        QStringLiteral("\n[RECENT_PRG]\nFile1=%1\nFile2=%2\nFile3=%3\nFile4=%4\nFile5=\n")
            .arg(files[5], files[4], files[2], files[1]);
    QCOMPARE(home.readSettings(), head + files[5].toUtf8() + tail + recent.toUtf8());
}

QTEST_MAIN(DesktopTest)
#include "DesktopTest.moc"
