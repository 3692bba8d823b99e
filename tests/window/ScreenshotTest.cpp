// Renders the windows the README shows to PNG files, into the directory TRILO_SCREENSHOT_DIR
// names: docs/ for the screenshots target, a scratch folder under CTest. Either way it then
// checks that it made every picture README.md shows and every picture docs/ holds, so that
// no picture there is older than the program. Without the variable it has nothing to do.
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>

#include "WindowSupport.h"
#include "app/DataWindow.h"
#include "formats/IntelHex.h"

using namespace trilo;
using namespace trilo::gui;
using namespace trilo::gui::test;

class ScreenshotTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void windows_data();
    void windows();
    void setUpMenu();
    void aboutBox();
    void dataDifferences();
    void runningCommand();
    void chipQuestion();
    void cleanupTestCase();

private:
    bool save(const QImage& image, const QString& name);
    QString outputDir_;
    QStringList saved_;
};

namespace {

const QString kSourceDir = QFile::decodeName(TRILO_SOURCE_DIR);

// What the screen shows over the window and any menu open over it.
QImage grab(const QList<QWidget*>& windows) {
    QRect area;
    for (QWidget* window : windows) {
        area |= window->frameGeometry();
    }
    QScreen* screen = windows.constFirst()->screen();
    return screen->grabWindow(0, area.x(), area.y(), area.width(), area.height()).toImage();
}

void settle() {
    for (int i = 0; i < 10; ++i) {
        QApplication::processEvents();
        QTest::qWait(30);
    }
}

// The program as Program builds it, but on the real clock, so that the bar's estimate of the
// time left is the one a user reads, and with the boxes a user sees when asked (the
// watchdog answers them).
struct LiveProgram {
    LiveProgram(bool realBoxes, int slowEvery) {
        ports.slowEvery = slowEvery;
        frmTop = std::make_unique<TfrmTop>(realBoxes ? static_cast<Dialogs&>(real) : scripted,
                                           platform, ports, clock);
    }
    template <typename T = QWidget>
    T* widget(const char* name) const {
        return frmTop->findChild<T*>(QString::fromLatin1(name));
    }

    QtDialogs real;
    ScriptedDialogs scripted;
    SystemPlatform platform;
    SimulatedPorts ports;
    SteadyClock clock;
    std::unique_ptr<TfrmTop> frmTop;
};

// The pictures name a data file where a user keeps one, not the test's scratch folder.
void showFileAs(TfrmTop& window, const QString& path, const char* shown) {
    window.session().engine().files().CurrentFile = QFile::encodeName(path).toStdString();
    window.setCaption(Control::txFile, shown);
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

void ScreenshotTest::initTestCase() {
    outputDir_ = qEnvironmentVariable("TRILO_SCREENSHOT_DIR");
    if (outputDir_.isEmpty()) {
        QSKIP("TRILO_SCREENSHOT_DIR names no output directory");
    }
    QVERIFY(QDir().mkpath(outputDir_));
}

bool ScreenshotTest::save(const QImage& image, const QString& name) {
    if (image.isNull() || !image.save(outputDir_ + "/" + name)) {
        return false;
    }
    saved_ << name;
    return true;
}

void ScreenshotTest::windows_data() {
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QString>("file");
    QTest::newRow("no device") << QByteArray("[SETUP_PRG]\ninCpu=0\n") << "window-none.png";
    QTest::newRow("AVR") << QByteArray("[RUN_PRG]\nCPU=10\nFile=/home/user/avr/blink.hex\n")
                         << "window-avr.png";
    QTest::newRow("MCS-51") << QByteArray("[RUN_PRG]\nCPU=2\nFile=/home/user/x051/clock.bin\n")
                            << "window-mcs51.png";
    QTest::newRow("AVR, English")
        << QByteArray(
               "[SETUP_PRG]\nLanguage=en\n[RUN_PRG]\nCPU=10\nFile=/home/user/avr/blink.hex\n")
        << "window-avr-en.png";
}

void ScreenshotTest::windows() {
    QFETCH(QByteArray, settings);
    QFETCH(QString, file);
    TestHome home;
    home.writeSettings(settings);
    Program program;
    program.frmTop->showCentred();
    QVERIFY(QTest::qWaitForWindowExposed(program.frmTop.get()));
    settle();
    QVERIFY(save(grab({program.frmTop.get()}), file));
}

void ScreenshotTest::setUpMenu() {
    TestHome home;
    home.writeSettings("[RUN_PRG]\nCPU=15\n");
    Program program;
    program.frmTop->showCentred();
    QVERIFY(QTest::qWaitForWindowExposed(program.frmTop.get()));
    auto* file = program.widget<QMenu>("mnuFile");
    auto* setUp = program.widget<QMenu>("mnuSetUp");
    program.frmTop->menuBar()->setActiveAction(file->menuAction());
    QTRY_VERIFY(file->isVisible());
    file->setActiveAction(setUp->menuAction());
    QTRY_VERIFY(setUp->isVisible());
    setUp->setActiveAction(program.action("mnuDM"));
    settle();
    const QImage image = grab({program.frmTop.get(), file, setUp});
    setUp->close();
    file->close();
    QVERIFY(save(image, "window-setup-menu.png"));
}

// As the package shows it: its README is where every installed program finds it.
void ScreenshotTest::aboutBox() {
    TestHome home;
    Program program;
    program.frmTop->setAboutWindow(
        new TfrmInfo(program.opener, program.frmTop.get(),
                     {QStringLiteral("file:///usr/share/doc/trilo-programmer/README.md"), true}));
    program.frmTop->showCentred();
    QVERIFY(QTest::qWaitForWindowExposed(program.frmTop.get()));
    QImage image;
    ModalWatchdog watchdog([&](QWidget* modal) {
        settle();
        image = grab({modal});
        modal->close();
    });
    program.action("mnuAbout")->trigger();
    QVERIFY(watchdog.seen());
    QVERIFY(save(image, "about.png"));
}

// The toolchain's blink program written into a 90S2313, then a new build of it, three bytes
// changed, compared with the chip by "Načíst čip a porovnat".
void ScreenshotTest::dataDifferences() {
    TestHome home;
    home.writeSettings("[RUN_PRG]\nCPU=10\n");
    Program program;
    const QString path = home.cwd() + "/blink.hex";
    const QByteArray toolchain = readFile(kSourceDir + "/tests/fixtures/intelhex/avr-blink.hex");
    QVERIFY(!toolchain.isEmpty());
    QVERIFY(QFile::copy(kSourceDir + "/tests/fixtures/intelhex/avr-blink.hex", path));
    showFileAs(*program.frmTop, path, "/home/user/avr/blink.hex");
    program.frmTop->showCentred();
    QVERIFY(QTest::qWaitForWindowExposed(program.frmTop.get()));
    QTest::mouseClick(program.widget<QPushButton>("btnWrite"), Qt::LeftButton);

    auto image = std::get<HexImage>(readIntelHex(toolchain.toStdString()));
    QVERIFY(image.size() > 0x40);
    for (const std::size_t at : {0x12, 0x13, 0x3A}) {
        image[at] ^= 0x5A;
    }
    QFile rebuilt(path);
    QVERIFY(rebuilt.open(QIODevice::WriteOnly | QIODevice::Truncate));
    rebuilt.write(QByteArray::fromStdString(writeIntelHex(image)));
    rebuilt.close();

    program.frmTop->showDataWindow();
    DataWindow* data = program.frmTop->dataWindow();
    data->move(program.frmTop->geometry().topLeft());
    QVERIFY(QTest::qWaitForWindowExposed(data));
    QTest::mouseClick(data->findChild<QPushButton*>("btnReadCompare"), Qt::LeftButton);
    QVERIFY(data->differenceCount() > 0);
    QVERIFY2(program.dialogs.unexpected.isEmpty(),
             qPrintable(program.dialogs.unexpected.join("|")));
    settle();
    QVERIFY(save(grab({data}), "data-differences.png"));
}

// A flash write under way on a board slow enough to watch: the bar names the command and the
// time left, and "Zastavit" stands beside it; the picture taken, it stops the write.
void ScreenshotTest::runningCommand() {
    TestHome home;
    home.writeSettings("[RUN_PRG]\nCPU=10\n");
    LiveProgram program(false, 150);
    QByteArray firmware(2048, 0);
    for (int i = 0; i < firmware.size(); ++i) {
        firmware[i] = static_cast<char>(i * 37 + 5);
    }
    const QString path = home.cwd() + "/blink.bin";
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(firmware);
    file.close();
    showFileAs(*program.frmTop, path, "/home/user/avr/blink.bin");
    program.frmTop->showCentred();
    QVERIFY(QTest::qWaitForWindowExposed(program.frmTop.get()));

    auto* gauge = program.widget<QProgressBar>("Gauge1");
    auto* stop = program.widget<QPushButton>("btnStop");
    QImage image;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (gauge->value() < 40 || !gauge->text().contains(QString::fromUtf8("zbývá"))) {
            return;
        }
        poll.stop();
        settle();
        image = grab({program.frmTop.get()});
        QTest::mouseClick(stop, Qt::LeftButton);
    });
    poll.start(50);
    QTest::mouseClick(program.widget<QPushButton>("btnWrite"), Qt::LeftButton);
    poll.stop();
    QVERIFY2(!image.isNull(), "the write ended before the bar showed the time left");
    QVERIFY(program.scripted.log.empty());
    QVERIFY(save(image, "window-running.png"));
}

// Another chip in the socket than the one selected: the question as a user sees it; No
// leaves the chip untouched.
void ScreenshotTest::chipQuestion() {
    TestHome home;
    home.writeSettings(
        "[SETUP_PRG]\nSimSocket=90S8515\n[RUN_PRG]\nCPU=10\n"
        "File=/home/user/avr/blink.hex\n");
    LiveProgram program(true, 0);
    program.frmTop->showCentred();
    QVERIFY(QTest::qWaitForWindowExposed(program.frmTop.get()));
    QImage image;
    QString question;
    ModalWatchdog watchdog([&](QWidget* modal) {
        settle();
        image = grab({modal});
        auto* box = qobject_cast<QMessageBox*>(modal);
        question = box != nullptr ? box->text() : QString();
        if (box != nullptr && box->button(QMessageBox::No) != nullptr) {
            box->button(QMessageBox::No)->click();
        } else {
            modal->close();
        }
    });
    QTest::mouseClick(program.widget<QPushButton>("btnRead"), Qt::LeftButton);
    QVERIFY(watchdog.seen());
    QVERIFY2(question.startsWith(QString::fromUtf8("V patici je jiný čip")), qPrintable(question));
    QVERIFY(save(image, "chip-question.png"));
}

// Every picture the README shows was made just now, and docs/ holds no other.
void ScreenshotTest::cleanupTestCase() {
    if (outputDir_.isEmpty()) {
        return;
    }
    const QString readme = QString::fromUtf8(readFile(kSourceDir + "/README.md"));
    QVERIFY(!readme.isEmpty());
    QStringList faults;
    auto shown = QRegularExpression(QStringLiteral(R"(\]\(docs/([^)\s]+)\))")).globalMatch(readme);
    int pictures = 0;
    while (shown.hasNext()) {
        const QString name = shown.next().captured(1);
        ++pictures;
        if (!saved_.contains(name)) {
            faults << "README.md shows docs/" + name + ", which no case here makes";
        }
    }
    for (const QString& name : QDir(kSourceDir + "/docs").entryList({"*.png"}, QDir::Files)) {
        if (!saved_.contains(name)) {
            faults << "docs/" + name + " is made by no case here";
        }
    }
    QVERIFY(pictures > 0);
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join("; ")));
}

QTEST_MAIN(ScreenshotTest)
#include "ScreenshotTest.moc"
