// Renders the main window to PNG files for the documentation when TRILO_SCREENSHOT_DIR
// names a directory; otherwise it has nothing to do.
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>

#include "WindowSupport.h"

using namespace trilo;
using namespace trilo::gui;
using namespace trilo::gui::test;

class ScreenshotTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void windows_data();
    void windows();
    void setUpMenu();
    void aboutBox();

private:
    QString outputDir_;
};

namespace {

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

}  // namespace

void ScreenshotTest::init() {
    outputDir_ = qEnvironmentVariable("TRILO_SCREENSHOT_DIR");
    if (outputDir_.isEmpty()) {
        QSKIP("TRILO_SCREENSHOT_DIR names no output directory");
    }
}

void ScreenshotTest::windows_data() {
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QString>("file");
    QTest::newRow("no device") << QByteArray("[SETUP_PRG]\ninCpu=0\n") << "window-none.png";
    QTest::newRow("AVR") << QByteArray("[RUN_PRG]\nCPU=10\nFile=/home/user/avr/blink.bin\n")
                         << "window-avr.png";
    QTest::newRow("MCS-51") << QByteArray("[RUN_PRG]\nCPU=2\nFile=/home/user/x051/clock.bin\n")
                            << "window-mcs51.png";
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
    const QImage image = grab({program.frmTop.get()});
    QVERIFY(!image.isNull());
    QVERIFY(image.save(outputDir_ + "/" + file));
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
    QVERIFY(image.save(outputDir_ + "/window-setup-menu.png"));
    setUp->close();
    file->close();
}

void ScreenshotTest::aboutBox() {
    TestHome home;
    Program program;
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
    QVERIFY(image.save(outputDir_ + "/about.png"));
}

QTEST_MAIN(ScreenshotTest)
#include "ScreenshotTest.moc"
