// The command buttons pressed as a user presses them, on the simulated board.
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <set>

#include "WindowSupport.h"
#include "app/BoardTestWindow.h"

using namespace trilo;
using namespace trilo::gui;
using namespace trilo::gui::test;

namespace {

// A data file of size bytes in the current directory, chosen as the data file; blank: as
// an erased chip holds it.
void useDataFile(Program& program, const TestHome& home, int size, bool blank = false) {
    QByteArray data(size, 0);
    for (int i = 0; i < size; ++i) {
        data[i] = static_cast<char>(blank ? 0xFF : i * 37 + 5);
    }
    const QString path = home.cwd() + QStringLiteral("/data.bin");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(data);
    file.close();
    program.frmTop->session().engine().files().CurrentFile = QFile::encodeName(path).toStdString();
}

}  // namespace

class CommandsWindowTest : public QObject {
    Q_OBJECT
private slots:
    void buttonsShowTheirMessagesAndMoveTheGauge();
    void theWindowPaintsAndStaysOpenWhileACommandRuns();
    void zastavitEndsASlowVerifyAtOnce();
    void testDeskyShowsEachStepsVerdict();
};

void CommandsWindowTest::buttonsShowTheirMessagesAndMoveTheGauge() {
    TestHome home;
    home.writeSettings("[RUN_PRG]\nCPU=10\n");  // 90S2313
    Program program;
    useDataFile(program, home, 2048);
    auto* gauge = program.widget<QProgressBar>("Gauge1");
    std::vector<int> shown;
    QObject::connect(gauge, &QProgressBar::valueChanged, [&](int v) { shown.push_back(v); });

    const struct {
        const char* button;
        QStringList messages;
        std::size_t gaugeValues;  // at least, 0 included
    } presses[] = {
        {"btnWrite", {}, 100},
        {"btnVerify", {QStringLiteral("Verifikace - OK    ")}, 100},
        {"btnRead", {}, 100},
        {"btnErase", {QString::fromUtf8("FLASH smazána ! ")}, 100},
        // The first of 1024 words differs: the gauge stays at 0 %.
        {"btnVerify",
         {QString::fromUtf8("Při verifikaci zápisu do FLASH byla nalezena chyba! ")},
         0},
    };
    for (const auto& press : presses) {
        program.dialogs.log.clear();
        shown.clear();
        QTest::mouseClick(program.widget<QPushButton>(press.button), Qt::LeftButton);
        QCOMPARE(program.dialogs.texts(ScriptedDialogs::Kind::Info), press.messages);
        QVERIFY(program.dialogs.texts(ScriptedDialogs::Kind::Error).isEmpty());
        QVERIFY2(std::set<int>(shown.begin(), shown.end()).size() >= press.gaugeValues,
                 qPrintable(QString::fromLatin1(press.button) + QLatin1Char(' ') +
                            QString::number(std::set<int>(shown.begin(), shown.end()).size())));
        QCOMPARE(gauge->value(), 0);
    }
    QVERIFY(program.action("mnuSave")->isEnabled());
}

void CommandsWindowTest::theWindowPaintsAndStaysOpenWhileACommandRuns() {
    TestHome home;
    home.writeSettings("[RUN_PRG]\nCPU=10\n");
    Program program(100);
    useDataFile(program, home, 256);
    program.frmTop->showCentred();
    QVERIFY(QTest::qWaitForWindowExposed(program.frmTop.get()));

    auto* gauge = program.widget<QProgressBar>("Gauge1");
    std::set<int> paintedWhileBusy;
    int ticksWhileBusy = 0;
    bool closeRefused = false;
    struct PaintWatch : QObject {
        std::function<void()> onPaint;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint) {
                onPaint();
            }
            return false;
        }
    } watch;
    watch.onPaint = [&] {
        if (program.frmTop->busy()) {
            paintedWhileBusy.insert(gauge->value());
        }
    };
    gauge->installEventFilter(&watch);
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (program.frmTop->busy()) {
            ++ticksWhileBusy;
            closeRefused = closeRefused || !program.frmTop->close();
        }
    });
    timer.start(10);

    QTest::mouseClick(program.widget<QPushButton>("btnWrite"), Qt::LeftButton);
    timer.stop();
    QVERIFY2(ticksWhileBusy >= 5, qPrintable(QString::number(ticksWhileBusy)));
    QVERIFY(paintedWhileBusy.size() >= 3);
    QVERIFY(closeRefused);
    // Each close asked whether to stop the command, and No let it run on.
    QVERIFY(program.dialogs.texts(ScriptedDialogs::Kind::Question)
                .contains(QString::fromUtf8("Zastavit probíhající operaci?")));
    QVERIFY(program.frmTop->isVisible());
    QVERIFY(!program.frmTop->busy());
}

// An 89C55 verify takes its 20 KB a byte at a time on a slow port. While it runs, the gauge
// names it and the other controls show disabled; "Zastavit" ends it at the next byte, the
// board released, with no box, and the controls come back as they were.
void CommandsWindowTest::zastavitEndsASlowVerifyAtOnce() {
    TestHome home;
    home.writeSettings("[RUN_PRG]\nCPU=7\n");
    Program program(10);
    // The blank chip as it stands, so the verify would go all the way.
    useDataFile(program, home, 20480, true);
    auto* gauge = program.widget<QProgressBar>("Gauge1");
    auto* stop = program.widget<QPushButton>("btnStop");
    auto* read = program.widget<QPushButton>("btnRead");
    const bool lockReadEnabled = program.widget("btnReadLB")->isEnabled();
    QString barWhileBusy;
    bool heldWhileBusy = false;
    QElapsedTimer sinceStop;
    // Once the verify is under way: the gauge has moved.
    QObject::connect(gauge, &QProgressBar::valueChanged, [&](int percent) {
        if (percent < 1 || sinceStop.isValid()) {
            return;
        }
        barWhileBusy = gauge->text();
        heldWhileBusy = !read->isEnabled() && !program.action("mnuOpen")->isEnabled() &&
                        !program.action("mnuData")->isEnabled() && !stop->isHidden() &&
                        stop->isEnabled();
        sinceStop.start();
        QTest::mouseClick(stop, Qt::LeftButton);
    });
    QTest::mouseClick(program.widget<QPushButton>("btnVerify"), Qt::LeftButton);
    QVERIFY(sinceStop.isValid());
    QVERIFY2(sinceStop.elapsed() < 200, qPrintable(QString::number(sinceStop.elapsed())));
    QVERIFY2(barWhileBusy.startsWith(QString::fromUtf8("Verifikace ")), qPrintable(barWhileBusy));
    QVERIFY(heldWhileBusy);
    QVERIFY(program.dialogs.log.empty());
    QVERIFY(program.widget<QLabel>("lastCommand")->text().startsWith("Zastaveno na adrese 0x"));
    QCOMPARE(gauge->text(), QString());
    QCOMPARE(gauge->value(), 0);
    QVERIFY(stop->isHidden());
    QVERIFY(read->isEnabled());
    QCOMPARE(program.widget("btnReadLB")->isEnabled(), lockReadEnabled);
    QVERIFY(!program.frmTop->session().engine().files().DataFile.isOpen());
    QCOMPARE(program.frmTop->session().engine().board().link().LastControlByte, 0xC0);
}

QTEST_MAIN(CommandsWindowTest)
// Declined, nothing runs; then on a board with a stuck data line, each step with its verdict,
// and the selected chip back in the simulated socket afterwards.
void CommandsWindowTest::testDeskyShowsEachStepsVerdict() {
    TestHome home;
    home.writeSettings("[SETUP_PRG]\nSimFault=stuck-low:3\n[RUN_PRG]\nCPU=10\n");
    Program program;
    QAction* item = program.action("mnuBoardTest");
    program.dialogs.answers = {false, true};
    item->trigger();
    QCOMPARE(program.frmTop->boardTestWindow(), nullptr);
    item->trigger();
    QCOMPARE(program.dialogs.texts(ScriptedDialogs::Kind::Question),
             QStringList(2, QString::fromUtf8(kBoardTestQuestion)));
    QVERIFY(!program.dialogs.questions.front().yesIsDefault);

    BoardTestWindow* shown = program.frmTop->boardTestWindow();
    QVERIFY(shown != nullptr && shown->isVisible());
    QStringList verdicts;
    for (BoardCheck check : boardChecks()) {
        verdicts << shown->verdict(check);
    }
    QCOMPARE(verdicts, QStringList({"OK", "OK", "CHYBA", "OK", "OK", "CHYBA"}));
    QVERIFY(shown->detail(BoardCheck::DataForward)
                .startsWith(QString::fromUtf8("D3 čte 0, zapsáno 1\n→ zkontrolujte")));
    QCOMPARE(shown->summary(), QString::fromUtf8("Test desky: neprošly 2 kroky z 6"));
    QCOMPARE(program.widget<QLabel>("lastCommand")->text(), shown->summary());
    QVERIFY(program.caption(Control::statusLine).contains(QStringLiteral("v patici 90S2313")));
    QVERIFY(item->isEnabled());
}

#include "CommandsWindowTest.moc"
