// The window as a desktop program: its own command line, a file named on it, dropped on the
// window or handed over by a later start, and the File menu's recent files.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QProcessEnvironment>

#include "WindowSupport.h"
#include "app/CommandLine.h"
#include "app/SingleWindow.h"

using namespace trilo;
using namespace trilo::gui;
using namespace trilo::gui::test;

namespace {

QString makeFile(const QString& path) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write("\x02\x00\x00", 3);
    }
    return path;
}

// The File menu's recent items as the user sees them when the menu opens.
QStringList recentItems(Program& program) {
    emit program.widget<QMenu>("mnuFile")->aboutToShow();
    QStringList shown;
    for (int k = 1; k <= 5; ++k) {
        const QAction* item =
            program.frmTop->findChild<QAction*>(QStringLiteral("mnuRecent%1").arg(k));
        if (item != nullptr && item->isVisible()) {
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
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    // None of them has a display: help and version need none, and the window says it needs one.
    QTest::newRow("help") << QStringList{"--help"} << 0
                          << QString::fromUtf8("Použití: trilo-programmer [SOUBOR]") << QString();
    QTest::newRow("version") << QStringList{"--version"} << 0
                             << QStringLiteral("trilo-programmer " TRILO_VERSION "\n") << QString();
    QTest::newRow("unknown option")
        << QStringList{"-x"} << 2 << QString()
        << QString::fromUtf8(
               "trilo-programmer: neznámá volba „-x“\nNápověda: trilo-programmer --help\n");
    QTest::newRow("two files")
        << QStringList{"a.bin", "b.bin"} << 2 << QString()
        << QString::fromUtf8(
               "trilo-programmer: jen jeden SOUBOR, nečekaný argument „b.bin“\n"
               "Nápověda: trilo-programmer --help\n");
    QTest::newRow("no display") << QStringList{"fw.hex"} << 1 << QString()
                                << noGraphicalSessionMessage();
}

void DesktopTest::commandLine() {
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);
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
    QVERIFY2(out.isEmpty() ? stdOut.isEmpty() : stdOut.startsWith(out), qPrintable(stdOut));
    QCOMPARE(QString::fromUtf8(program.readAllStandardError()), err);
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
    if (exists) {
        makeFile(home.cwd() + "/fw.hex");
    }
    const QString file = home.cwd() + "/fw.hex";
    Program program;
    WindowServer server(*program.frmTop, windowSocketPath(program.platform));
    QVERIFY(server.listening());

    if (way == "argument") {
        // A name relative to where the program started.
        const CommandLine line = parseCommandLine({"trilo-programmer", "fw.hex"});
        QVERIFY(!line.exitStatus);
        program.frmTop->openDataFile(line.file);
    } else if (way == "drop") {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(file)});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        enter.ignore();
        QApplication::sendEvent(program.frmTop.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(program.frmTop.get(), &drop);
    } else {
        // The running window is hidden behind others; the later start brings it up.
        program.frmTop->hide();
        QVERIFY(handOver(windowSocketPath(program.platform), file));
        QTRY_VERIFY_WITH_TIMEOUT(program.frmTop->isVisible(), 5000);
        if (!exists) {
            QTRY_VERIFY_WITH_TIMEOUT(!program.dialogs.texts(ScriptedDialogs::Kind::Error).isEmpty(),
                                     5000);
        }
    }

    const QString expected = exists ? file : before;
    QTRY_COMPARE_WITH_TIMEOUT(program.caption(Control::txFile), expected, 5000);
    QCOMPARE(home.setting("File"), expected);
    QCOMPARE(program.dialogs.texts(ScriptedDialogs::Kind::Error),
             exists ? QStringList() : QStringList{"File not found."});
    QCOMPARE(home.setting("File1"), exists ? file : QString());
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
    const auto item = [&](int number, int file) {
        QString path = files[file - 1];
        return QStringLiteral("&%1  %2").arg(number).arg(path.replace("&", "&&"));
    };
    QCOMPARE(recentItems(program),
             QStringList({item(1, 6), item(2, 5), item(3, 4), item(4, 3), item(5, 2)}));

    QVERIFY(QFile::remove(files[3]));
    program.frmTop->findChild<QAction*>("mnuRecent3")->trigger();
    QCOMPARE(program.dialogs.texts(ScriptedDialogs::Kind::Info),
             QStringList{QString::fromUtf8("Soubor %1 už neexistuje, ze seznamu posledních "
                                           "souborů je odebrán.")
                             .arg(files[3])});
    QCOMPARE(program.caption(Control::txFile), files[5]);
    QCOMPARE(recentItems(program), QStringList({item(1, 6), item(2, 5), item(3, 3), item(4, 2)}));
    QCOMPARE(home.readSettings(),
             head + files[5].toUtf8() + tail + "\n[RECENT_PRG]\nFile1=" + files[5].toUtf8() +
                 "\nFile2=" + files[4].toUtf8() + "\nFile3=" + files[2].toUtf8() +
                 "\nFile4=" + files[1].toUtf8() + "\nFile5=\n");
}

QTEST_MAIN(DesktopTest)
#include "DesktopTest.moc"
