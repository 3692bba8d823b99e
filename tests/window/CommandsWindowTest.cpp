// The command buttons pressed as a user presses them, on the simulated board.
#include <QProgressBar>
#include <QPushButton>
#include <set>

#include "WindowSupport.h"

using namespace trilo;
using namespace trilo::gui;
using namespace trilo::gui::test;

namespace {

// A data file of size bytes in the current directory, chosen as the data file.
void useDataFile(Program& program, const TestHome& home, int size) {
    QByteArray data(size, 0);
    for (int i = 0; i < size; ++i) {
        data[i] = static_cast<char>(i * 37 + 5);
    }
    const QString path = home.cwd() + QStringLiteral("/data.bin");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(data);
    file.close();
    program.frmTop->session().files().CurrentFile = QFile::encodeName(path).toStdString();
}

}  // namespace

class CommandsWindowTest : public QObject {
    Q_OBJECT
private slots:
    void buttonsShowTheirMessagesAndMoveTheGauge();
    void theWindowPaintsAndStaysOpenWhileACommandRuns();
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
    QVERIFY(program.frmTop->isVisible());
    QVERIFY(!program.frmTop->busy());
}

QTEST_MAIN(CommandsWindowTest)
#include "CommandsWindowTest.moc"
