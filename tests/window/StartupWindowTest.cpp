// The main window after start-up: the settings file it writes, the device it selects, and
// the layout, menus and frame of the window itself.
#include <QActionGroup>
#include <QFontInfo>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QSpinBox>
#include <QStatusBar>

#include "WindowSupport.h"
#include "base/Text.h"
#include "devices/Catalog.h"
#include "presenter/DeviceControls.h"

using namespace trilo;
using namespace trilo::gui;
using namespace trilo::gui::test;

class StartupWindowTest : public QObject {
    Q_OBJECT
private slots:
    void firstStartWritesDefaultsAndSelects89C2051();
    void startFromSettings_data();
    void startFromSettings();
    void designedPlaces_data();
    void designedPlaces();
    void controlsStayInsideTheirBoxes();
    void captionsShowWhole();
    void menus();
    void everyControlHasItsObject();
    void windowFrame();
    void fontShowsCzechLetters();
    void longStatusLineStaysOneLine();
};

void StartupWindowTest::firstStartWritesDefaultsAndSelects89C2051() {
    TestHome home;
    QVERIFY(!QFile::exists(home.settingsPath()));
    Program program;

    QCOMPARE(home.readSettings(),
             QByteArray("[SETUP_PRG]\nPort=LPT1\nCycle=800\nVerMemm=1\nDelMemm=1\ninFile=1\n"
                        "inCpu=1\n\n[RUN_PRG]\nCPU=2\nFile=\n"));
    QVERIFY(program.dialogs.log.empty());
    QCOMPARE(program.widget<QLabel>("txCpu")->text(), QStringLiteral("89C2051"));
    QCOMPARE(program.widget<QLabel>("txTyp")->text(), QStringLiteral("X051"));
    QCOMPARE(program.widget<QLabel>("txFile")->text(), QString());
    QCOMPARE(program.widget<QSpinBox>("spFlash")->value(), 2048);
    QCOMPARE(program.widget<QSpinBox>("spEEprom")->value(), 0);
    QVERIFY(!program.widget("spEEprom")->isEnabled());
    QVERIFY(program.widget("mnuCPUinf")->isEnabled());
    QVERIFY(!program.widget("chLB3")->isEnabled());
    QVERIFY(program.widget("btnRead")->isEnabled());
    // Only the selected device carries the mark.
    for (const DeviceInfo& device : deviceCatalog()) {
        QCOMPARE(program.action(TfrmTop::controlName(menuItemOf(device.id)))->isChecked(),
                 device.id == 2);
    }
    for (const char* name : {"mnuDM", "mnuCP", "mnuFL", "mnuDL", "mnuLPT1"}) {
        QVERIFY2(program.action(name)->isChecked(), name);
    }
    QVERIFY(!program.action("mnuLPT2")->isChecked());
    QVERIFY(!program.action("mnuSave")->isEnabled());
    QVERIFY(!program.action("mnuSaveAs")->isEnabled());
    // The status line names the board the window drives.
    QVERIFY2(program.caption(Control::statusLine).startsWith(QStringLiteral("LPT1")),
             qPrintable(program.caption(Control::statusLine)));
}

void StartupWindowTest::startFromSettings_data() {
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QString>("cpu");
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("operationsEnabled");
    QTest::addColumn<QString>("port");

    QTest::newRow("remembered AVR device and file")
        << QByteArray("[SETUP_PRG]\nPort=LPT2\n[RUN_PRG]\nCPU=15\nFile=/data/chip.bin\n")
        << "90S8515"
        << "AVR"
        << "/data/chip.bin" << true << "LPT2";
    QTest::newRow("device not remembered: none")
        << QByteArray("[SETUP_PRG]\ninCpu=0\ninFile=0\n[RUN_PRG]\nCPU=15\nFile=/data/chip.bin\n")
        << ""
        << ""
        << "" << false << "LPT1";
    QTest::newRow("device number no device has") << QByteArray("[RUN_PRG]\nCPU=77\n") << ""
                                                 << ""
                                                 << "" << false << "LPT1";
}

void StartupWindowTest::startFromSettings() {
    QFETCH(QByteArray, settings);
    QFETCH(QString, cpu);
    QFETCH(QString, family);
    QFETCH(QString, file);
    QFETCH(bool, operationsEnabled);
    QFETCH(QString, port);
    TestHome home;
    home.writeSettings(settings);
    Program program;

    QCOMPARE(program.widget<QLabel>("txCpu")->text(), cpu);
    QCOMPARE(program.widget<QLabel>("txTyp")->text(), family);
    QCOMPARE(program.widget<QLabel>("txFile")->text(), file);
    for (const char* name : {"btnRead", "btnWrite", "btnErase", "btnVerify", "spFlash"}) {
        QVERIFY2(program.widget(name)->isEnabled() == operationsEnabled, name);
    }
    QCOMPARE(program.action("mnuLPT1")->isChecked(), port == "LPT1");
    QCOMPARE(program.action("mnuLPT2")->isChecked(), port == "LPT2");
    QCOMPARE(home.setting("Port"), port);
    QVERIFY(program.dialogs.log.empty());
}

// The places the window's design fixes, in design pixels relative to the parent.
void StartupWindowTest::designedPlaces_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("place");

    auto row = [](const char* name, const char* parent, const char* caption, QRect place) {
        QTest::newRow(name) << name << parent << QString::fromUtf8(caption) << place;
    };
    row("gbProces", "client", "Proces CPU", {10, 10, 523, 80});
    row("btnRead", "gbProces", "Read", {20, 30, 70, 30});
    row("btnWrite", "gbProces", "Write", {98, 30, 70, 30});
    row("btnErase", "gbProces", "Erase", {177, 30, 70, 30});
    row("btnVerify", "gbProces", "Verify", {256, 30, 70, 30});
    row("gbEEPROM", "gbProces", "EEPROM", {345, 10, 168, 60});
    row("Gauge1", "client", "", {10, 98, 523, 21});
    row("txFile", "client", "", {39, 128, 494, 21});
    row("mnuCPUinf", "client", "CPU Info / Set Up", {10, 158, 523, 217});
    row("mnuLB", "mnuCPUinf", "Lock Bit", {10, 20, 218, 60});
    row("mnuSL", "mnuCPUinf", "Serial Prog. Fuse", {10, 89, 296, 60});
    row("GroupBox1", "mnuCPUinf", "AVR Fuse Bits", {345, 20, 168, 188});
    row("spFlash", "mnuCPUinf", "2048", {89, 167, 70, 26});
    row("spEEprom", "mnuCPUinf", "0", {266, 167, 70, 26});
}

void StartupWindowTest::designedPlaces() {
    QFETCH(QString, name);
    QFETCH(QString, parent);
    QFETCH(QString, caption);
    QFETCH(QRect, place);
    TestHome home;
    Program program;
    const Metrics metrics;

    QWidget* widget = program.widget(qPrintable(name));
    QVERIFY(widget != nullptr);
    QCOMPARE(widget->parentWidget()->objectName(), parent);
    QCOMPARE(widget->geometry(),
             metrics.rect(place.left(), place.top(), place.width(), place.height()));
    QString shown;
    if (auto* box = qobject_cast<QGroupBox*>(widget)) {
        shown = box->title();
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        shown = test::shown(button->text());
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        shown = label->text();
    } else if (auto* spin = qobject_cast<QSpinBox*>(widget)) {
        shown = spin->text();
    }
    QCOMPARE(shown, caption);
}

// Every control lies inside its box and clear of its neighbours, whatever the scale.
void StartupWindowTest::controlsStayInsideTheirBoxes() {
    TestHome home;
    Program program;
    QWidget* client = program.widget("client");
    QVERIFY(client != nullptr);
    QStringList faults;
    std::function<void(QWidget*)> visit = [&](QWidget* parent) {
        QList<QWidget*> children;
        for (QObject* object : parent->children()) {
            auto* child = qobject_cast<QWidget*>(object);
            // Spin boxes keep an inner line edit that is theirs to place; the stop button
            // shows only while a command runs, when the gauge makes room for it.
            if (child != nullptr && !child->isWindow() && !child->isHidden() &&
                !child->objectName().isEmpty() && qobject_cast<QSpinBox*>(parent) == nullptr) {
                children << child;
            }
        }
        for (QWidget* child : children) {
            if (!parent->rect().contains(child->geometry())) {
                faults << child->objectName() + " leaves " + parent->objectName();
            }
            for (QWidget* other : children) {
                if (other != child && child->objectName() < other->objectName() &&
                    child->geometry().intersects(other->geometry())) {
                    faults << child->objectName() + " overlaps " + other->objectName();
                }
            }
            visit(child);
        }
    };
    visit(client);
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(", ")));
}

// Captions show whole for every device, with the longest fuse names and device names.
void StartupWindowTest::captionsShowWhole() {
    TestHome home;
    Program program;
    QStringList faults;
    for (const DeviceInfo& device : deviceCatalog()) {
        program.action(TfrmTop::controlName(menuItemOf(device.id)))->trigger();
        for (QWidget* widget : program.widget("client")->findChildren<QWidget*>()) {
            QString why;
            if (!widget->objectName().isEmpty() && !captionFits(widget, &why)) {
                faults << QString::fromLatin1(device.name) + ": " + why;
            }
        }
    }
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join("\n")));
}

namespace {

// A menu's items as captions; "-" for a separator, ">" before a submenu.
QStringList items(const QMenu* menu) {
    QStringList out;
    for (const QAction* action : menu->actions()) {
        // As the user sees the menu: without the recent files when there are none.
        if (!action->isVisible()) {
            continue;
        }
        if (action->isSeparator()) {
            out << "-";
        } else if (action->menu() != nullptr) {
            out << ">" + shown(action->text());
        } else {
            out << shown(action->text());
        }
    }
    return out;
}

}  // namespace

void StartupWindowTest::menus() {
    TestHome home;
    Program program;
    QMenuBar* bar = program.frmTop->menuBar();
    QCOMPARE(bar->objectName(), QStringLiteral("MainMenu1"));
    QStringList titles;
    for (const QAction* action : bar->actions()) {
        titles << shown(action->text());
    }
    QCOMPARE(titles, QStringList({"File", "MCS51", "AVR", "Data", "Index"}));
    QCOMPARE(items(program.widget<QMenu>("mnuData")),
             QStringList({"Zobrazit data", "-", QString::fromUtf8("Sériové programování…"),
                          QString::fromUtf8("Protokol…")}));

    QCOMPARE(items(program.widget<QMenu>("mnuFile")),
             QStringList({"Open", "Save", "Save As", "-", QString::fromUtf8("Otevřít úlohu…"),
                          QString::fromUtf8("Uložit úlohu…"), "-", ">Set Up", "-", "Exit"}));
    QCOMPARE(
        items(program.widget<QMenu>("mnuSetUp")),
        QStringList({QString::fromUtf8("Aut. mazat FLASH před zapisem"),
                     QString::fromUtf8("Aut. ukládat zvolené CPU"),
                     QString::fromUtf8("Aut. ukládat zvolený soubor"),
                     QString::fromUtf8("Aut. verifikovat FLASH"),
                     QString::fromUtf8("Verifikovat FLASH čtením"), "-", "LPT1 (/dev/parport0)",
                     "LPT2 (/dev/parport1)", "-", ">Jazyk / Language"}));
    // One item for each language the build speaks, named in that language.
    QStringList spoken;
    for (const std::string& code : trilo::languages()) {
        spoken << QString::fromStdString(trilo::languageName(code));
    }
    QCOMPARE(spoken.mid(0, 2), QStringList({QString::fromUtf8("čeština"), "English"}));
    QCOMPARE(items(program.widget<QMenu>("mnuLanguage")), spoken);
    QCOMPARE(items(program.widget<QMenu>("mnuX51")),
             QStringList(
                 {"89C1051", "89C2051", "89C4051", "89C51", "89C52", "89S53", "89C55", "89S8252"}));
    QCOMPARE(items(program.widget<QMenu>("mnuAVR")),
             QStringList({"90S1200", "90S2313", "90S2333", "90S4414", "90S4433", "90S4434",
                          "90S8515", "90S8534", "90S8535", "ATtiny28"}));
    QCOMPARE(items(program.widget<QMenu>("mnuIndex")),
             QStringList({QString::fromUtf8("Podpis čipu v patici"), "Test desky", "About"}));

    // The four options are independent check items; the ports are one radio pair.
    for (const char* name : {"mnuDM", "mnuCP", "mnuFL", "mnuDL"}) {
        QVERIFY2(program.action(name)->isCheckable(), name);
        QVERIFY2(program.action(name)->actionGroup() == nullptr, name);
    }
    QActionGroup* ports = program.action("mnuLPT1")->actionGroup();
    QVERIFY(ports != nullptr);
    QCOMPARE(program.action("mnuLPT2")->actionGroup(), ports);
    QVERIFY(ports->isExclusive());
}

void StartupWindowTest::everyControlHasItsObject() {
    TestHome home;
    Program program;
    for (std::size_t k = 0; k < controlCount(); ++k) {
        const auto c = static_cast<Control>(k);
        const QString name = QString::fromLatin1(TfrmTop::controlName(c));
        const bool found = program.frmTop->findChild<QWidget*>(name) != nullptr ||
                           program.frmTop->findChild<QAction*>(name) != nullptr;
        QVERIFY2(found, qPrintable(name));
        // The view reaches the same object: a caption set through it shows there.
        if (c == Control::Gauge1 || c == Control::spFlash || c == Control::spEEprom) {
            continue;
        }
        const std::string before = program.frmTop->caption(c);
        program.frmTop->setCaption(c, "probe " + name.toStdString());
        QCOMPARE(program.caption(c), "probe " + name);
        program.frmTop->setCaption(c, before);
    }
}

void StartupWindowTest::windowFrame() {
    TestHome home;
    Program program;
    TfrmTop* window = program.frmTop.get();
    const Metrics metrics;

    QCOMPARE(window->windowTitle(), QStringLiteral("Trilo Programmer"));
    QCOMPARE(window->minimumSize(), window->maximumSize());
    const Qt::WindowFlags flags = window->windowFlags();
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(flags & Qt::WindowMinimizeButtonHint);
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!window->windowIcon().isNull());

    window->showCentred();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    // The designed client area under the menu bar, the status line under that.
    QCOMPARE(window->size(), window->minimumSize());
    QCOMPARE(window->centralWidget()->size(), QSize(metrics.px(542), metrics.px(385)));
    QCOMPARE(window->width(), metrics.px(542));
    QCOMPARE(window->height(),
             window->menuBar()->height() + metrics.px(385) + window->statusBar()->height());
    QVERIFY(window->statusBar()->isVisible());
    const QPoint centre = window->screen()->availableGeometry().center();
    QVERIFY2((window->frameGeometry().center() - centre).manhattanLength() <= 2,
             qPrintable(QStringLiteral("centre %1,%2")
                            .arg(window->frameGeometry().center().x())
                            .arg(window->frameGeometry().center().y())));
}

void StartupWindowTest::fontShowsCzechLetters() {
    TestHome home;
    Program program;
    const Metrics metrics;
    const QFont font = program.frmTop->font();
    QCOMPARE(QFontInfo(font).family(), QStringLiteral("DejaVu Sans"));
    QCOMPARE(QFontInfo(font).pixelSize(), metrics.px(14));
    const QFontMetrics shown(program.widget<QMenu>("mnuSetUp")->font());
    for (QChar letter : QString::fromUtf8("řáéýěščžůúíóťďňŘÁÉÝĚŠČŽŮÚÍÓŤĎŇ")) {
        QVERIFY2(shown.inFont(letter), qPrintable(QString(letter)));
    }
}

// A port that cannot be used names the reason and the remedy: the line keeps one line and the
// window its size, the end elided, and the whole of it is the tooltip and what a screen
// reader reads.
void StartupWindowTest::longStatusLineStaysOneLine() {
    TestHome home;
    Program program;
    TfrmTop* window = program.frmTop.get();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    const QSize size = window->size();
    auto* line = program.widget<QLabel>("statusLine");
    const QString reason = QString::fromUtf8(
        "LPT1: /dev/parport0 používá jiný program nebo tiskový ovladač lp; ukončete ten program "
        "nebo ovladač odstraňte (sudo modprobe -r lp), pak spusťte program znovu");

    window->setCaption(Control::statusLine, reason.toStdString());
    QApplication::processEvents();
    QCOMPARE(window->size(), size);
    QVERIFY2(line->text().endsWith(QChar(0x2026)) && reason.startsWith(line->text().chopped(1)),
             qPrintable(line->text()));
    QVERIFY(line->fontMetrics().horizontalAdvance(line->text()) <= line->width());
    QVERIFY(window->rect().contains(line->mapTo(window, line->rect().bottomRight())));
    QCOMPARE(line->toolTip(), reason);
    QCOMPARE(line->accessibleDescription(), reason);
    QCOMPARE(program.caption(Control::statusLine), reason);
}

QTEST_MAIN(StartupWindowTest)
#include "StartupWindowTest.moc"
