// Choosing devices, options and ports through the window's own menu items, and what the
// window's controls do with the user's typing and focus.
#include <QMenu>
#include <QProgressBar>
#include <QSpinBox>

#include "WindowSupport.h"

using namespace trilo;
using namespace trilo::gui;
using namespace trilo::gui::test;

class DeviceMenuTest : public QObject {
    Q_OBJECT
private slots:
    void chooseDevice_data();
    void chooseDevice();
    void mcs51AfterAvr();
    void setUpOptionToggles_data();
    void setUpOptionToggles();
    void portItems();
    void spinEditsClampWhatIsTyped_data();
    void spinEditsClampWhatIsTyped();
    void lockBitFocusClearsTheOthers();
    void radioButtonsUncheckedForAvr();
    void viewSettersDoNotCallBack();
    void jobOpenedAndRunChipAfterChip();
};

void DeviceMenuTest::chooseDevice_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("flash");
    QTest::addColumn<int>("eeprom");
    QTest::addColumn<bool>("eepromButtons");
    QTest::addColumn<bool>("fuseButtons");
    QTest::addColumn<bool>("serialFuse");
    QTest::addColumn<QStringList>("fuses");

    const QStringList none{"D5 - NC", "D4 - NC", "D3 - NC", "D2 - NC", "D1 - NC", "D0 - NC"};
    const QStringList bod{"SPIEN", "BODLEVEL", "BODEN", "CKSEL2", "CKSEL1", "CKSEL0"};
    auto row = [](const char* item, int id, const char* family, int flash, int eeprom,
                  bool eepromButtons, bool fuseButtons, bool serialFuse, QStringList fuses) {
        QTest::newRow(item) << item << id << family << flash << eeprom << eepromButtons
                            << fuseButtons << serialFuse << fuses;
    };
    // One device of each family; SelectionTest has every device.
    row("mnu2051", 2, "X051", 2048, 0, false, false, false, none);
    row("mnu52", 5, "X51", 8192, 0, false, false, false, none);
    row("mnu53", 6, "S51", 12288, 0, false, false, true, none);
    row("mnu4433", 13, "AVR", 4096, 256, true, true, false, bod);
}

void DeviceMenuTest::chooseDevice() {
    QFETCH(QString, item);
    QFETCH(int, id);
    QFETCH(QString, family);
    QFETCH(int, flash);
    QFETCH(int, eeprom);
    QFETCH(bool, eepromButtons);
    QFETCH(bool, fuseButtons);
    QFETCH(bool, serialFuse);
    QFETCH(QStringList, fuses);
    TestHome home;
    Program program;
    QAction* action = program.action(qPrintable(item));
    QVERIFY(action != nullptr);

    action->trigger();

    QVERIFY(program.dialogs.log.empty());
    QCOMPARE(program.widget<QLabel>("txCpu")->text(), action->text());
    QCOMPARE(program.widget<QLabel>("txTyp")->text(), family);
    QCOMPARE(program.widget<QSpinBox>("spFlash")->value(), flash);
    QCOMPARE(program.widget<QSpinBox>("spEEprom")->value(), eeprom);
    QCOMPARE(program.frmTop->session().engine().selection().FlashSize, flash);
    QCOMPARE(program.frmTop->session().engine().selection().EepromSize, eeprom);
    // What the user can reach, under the enabled group boxes.
    QCOMPARE(program.widget("btnReaEE")->isEnabled(), eepromButtons);
    QCOMPARE(program.widget("btnWriEE")->isEnabled(), eepromButtons);
    QCOMPARE(program.widget("spEEprom")->isEnabled(), eepromButtons);
    QCOMPARE(program.widget("btnReadFuse")->isEnabled(), fuseButtons);
    QCOMPARE(program.widget("btnWrFuse")->isEnabled(), fuseButtons);
    QCOMPARE(program.widget("rdSON")->isEnabled(), serialFuse);
    QCOMPARE(program.widget("btnWriteS")->isEnabled(), serialFuse);
    QCOMPARE(program.widget("chLB3")->isEnabled(), family == "X51" || family == "S51");
    QCOMPARE(program.widget("btnReadLB")->isEnabled(), family == "S51" || family == "AVR");
    for (const char* name : {"btnRead", "btnWrite", "btnErase", "btnVerify", "spFlash"}) {
        QVERIFY2(program.widget(name)->isEnabled(), name);
    }
    const char* boxes[] = {"chD5", "chD4", "chD3", "chD2", "chD1", "chD0"};
    for (int k = 0; k < 6; ++k) {
        auto* box = program.widget<QCheckBox>(boxes[k]);
        QCOMPARE(box->text(), fuses[k]);
        QCOMPARE(box->isEnabled(), !fuses[k].endsWith(" - NC"));
        QVERIFY(!box->isChecked());
    }
    // One mark in the two device menus: the chosen item's.
    for (const char* menu : {"mnuX51", "mnuAVR"}) {
        for (QAction* other : program.widget<QMenu>(menu)->actions()) {
            QCOMPARE(other->isChecked(), other == action);
        }
    }
    QCOMPARE(home.setting("CPU"), QString::number(id));
}

void DeviceMenuTest::mcs51AfterAvr() {
    TestHome home;
    Program program;
    program.action("mnu8515")->trigger();
    QVERIFY(program.widget("btnReaEE")->isEnabled());
    QCOMPARE(program.widget<QCheckBox>("chD0")->text(), QStringLiteral("FSTRT"));

    program.action("mnu2051")->trigger();
    QCOMPARE(program.widget<QCheckBox>("chD5")->text(), QStringLiteral("D5 - NC"));
    QCOMPARE(program.widget<QCheckBox>("chD0")->text(), QStringLiteral("D0 - NC"));
    QVERIFY(!program.widget("btnReaEE")->isEnabled());
    QVERIFY(!program.widget("btnWriEE")->isEnabled());
    QVERIFY(!program.widget("spEEprom")->isEnabled());
    QCOMPARE(program.widget<QSpinBox>("spEEprom")->text(), QStringLiteral("0"));
    QVERIFY(!program.widget("chLB3")->isEnabled());
    QCOMPARE(program.widget<QLabel>("txTyp")->text(), QStringLiteral("X051"));
    QCOMPARE(program.widget<QLabel>("txCpu")->text(), QStringLiteral("89C2051"));
    QCOMPARE(home.setting("CPU"), QStringLiteral("2"));
}

void DeviceMenuTest::setUpOptionToggles_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("key");
    QTest::newRow("erase before write") << "mnuDM"
                                        << "DelMemm";
    QTest::newRow("remember device") << "mnuCP"
                                     << "inCpu";
    QTest::newRow("remember file") << "mnuFL"
                                   << "inFile";
    QTest::newRow("verify while writing") << "mnuDL"
                                          << "VerMemm";
}

// A click reverses only its own item's mark, once, and the file follows at once.
void DeviceMenuTest::setUpOptionToggles() {
    QFETCH(QString, item);
    QFETCH(QString, key);
    TestHome home;
    Program program;
    QAction* action = program.action(qPrintable(item));
    const QStringList all{"mnuDM", "mnuCP", "mnuFL", "mnuDL"};

    action->trigger();
    QVERIFY(!action->isChecked());
    QCOMPARE(home.setting(key), QStringLiteral("0"));
    for (const QString& other : all) {
        if (other != item) {
            QVERIFY2(program.action(qPrintable(other))->isChecked(), qPrintable(other));
        }
    }

    action->trigger();
    QVERIFY(action->isChecked());
    QCOMPARE(home.setting(key), QStringLiteral("1"));
    QVERIFY(program.dialogs.log.empty());
}

void DeviceMenuTest::portItems() {
    TestHome home;
    Program program;
    program.action("mnuLPT2")->trigger();
    QVERIFY(program.action("mnuLPT2")->isChecked());
    QVERIFY(!program.action("mnuLPT1")->isChecked());
    QCOMPARE(home.setting("Port"), QStringLiteral("LPT2"));
    QVERIFY2(program.caption(Control::statusLine).startsWith("LPT2"),
             qPrintable(program.caption(Control::statusLine)));

    // Choosing the marked port again keeps it marked.
    program.action("mnuLPT1")->trigger();
    program.action("mnuLPT1")->trigger();
    QVERIFY(program.action("mnuLPT1")->isChecked());
    QVERIFY(!program.action("mnuLPT2")->isChecked());
    QCOMPARE(home.setting("Port"), QStringLiteral("LPT1"));
    QVERIFY(program.caption(Control::statusLine).startsWith("LPT1"));
}

void DeviceMenuTest::spinEditsClampWhatIsTyped_data() {
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("size");
    QTest::newRow("flash within range") << "spFlash"
                                        << "4096"
                                        << "4096" << 4096;
    QTest::newRow("flash above 32768") << "spFlash"
                                       << "40000"
                                       << "32768" << 32768;
    QTest::newRow("flash emptied") << "spFlash"
                                   << ""
                                   << "" << 0;
    QTest::newRow("eeprom within range") << "spEEprom"
                                         << "300"
                                         << "300" << 300;
    QTest::newRow("eeprom above 1024") << "spEEprom"
                                       << "2000"
                                       << "1024" << 1024;
}

// As a classic spin edit: every keystroke reaches the change handler, which clamps.
void DeviceMenuTest::spinEditsClampWhatIsTyped() {
    QFETCH(QString, edit);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(int, size);
    TestHome home;
    Program program;
    program.action("mnu8515")->trigger();
    auto* spin = program.widget<QSpinBox>(qPrintable(edit));
    program.frmTop->show();
    QVERIFY(QTest::qWaitForWindowExposed(program.frmTop.get()));

    spin->selectAll();
    QTest::keyClick(spin, Qt::Key_Delete);
    QTest::keyClicks(spin, typed);

    QCOMPARE(spin->text(), shown);
    const Session& session = program.frmTop->session();
    QCOMPARE(edit == "spFlash" ? session.engine().selection().FlashSize
                               : session.engine().selection().EepromSize,
             size);
}

void DeviceMenuTest::lockBitFocusClearsTheOthers() {
    TestHome home;
    Program program;
    program.action("mnu51")->trigger();
    program.frmTop->show();
    program.frmTop->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(program.frmTop.get()));
    auto* lb1 = program.widget<QCheckBox>("chLB1");
    auto* lb2 = program.widget<QCheckBox>("chLB2");
    auto* lb3 = program.widget<QCheckBox>("chLB3");

    QTest::mouseClick(lb1, Qt::LeftButton);
    QVERIFY(lb1->isChecked());
    // Entering box 3 clears 1 (and 2); the click then checks 3.
    QTest::mouseClick(lb3, Qt::LeftButton);
    QVERIFY(!lb1->isChecked());
    QVERIFY(lb3->isChecked());
    // By keyboard: the focus moving to box 2 clears 3, without checking 2.
    lb2->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(lb2->hasFocus());
    QVERIFY(!lb3->isChecked());
    QVERIFY(!lb2->isChecked());
}

void DeviceMenuTest::radioButtonsUncheckedForAvr() {
    TestHome home;
    Program program;
    program.action("mnu53")->trigger();
    program.frmTop->show();
    QVERIFY(QTest::qWaitForWindowExposed(program.frmTop.get()));
    auto* on = program.widget<QRadioButton>("rdSON");
    QTest::mouseClick(on, Qt::LeftButton);
    QVERIFY(on->isChecked());

    program.action("mnu2313")->trigger();
    QVERIFY(!on->isChecked());
    QVERIFY(!program.widget<QRadioButton>("rdSOFF")->isChecked());
    QVERIFY(!on->isEnabled());

    // Still one choice of two once offered again.
    program.action("mnu53")->trigger();
    QTest::mouseClick(on, Qt::LeftButton);
    QTest::mouseClick(program.widget("rdSOFF"), Qt::LeftButton);
    QVERIFY(!on->isChecked());
    QVERIFY(program.widget<QRadioButton>("rdSOFF")->isChecked());
}

// The core relies on two things of the view: a control's own enabled flag, whatever its
// group box shows, and setters that never run a change handler behind its back.
void DeviceMenuTest::viewSettersDoNotCallBack() {
    TestHome home;
    Program program;
    TfrmTop& view = *program.frmTop;
    view.setEnabled(Control::mnuCPUinf, false);
    QVERIFY(view.enabled(Control::spFlash));
    QVERIFY(!program.widget("spFlash")->isEnabled());
    view.setEnabled(Control::mnuCPUinf, true);

    view.setValue(Control::spFlash, 40000);
    QCOMPARE(view.text(Control::spFlash), std::string("40000"));
    QCOMPARE(view.session().engine().selection().FlashSize, 2048);

    view.setValue(Control::Gauge1, 42);
    QCOMPARE(program.widget<QProgressBar>("Gauge1")->value(), 42);
}

QTEST_MAIN(DeviceMenuTest)
// File, Otevřít úlohu names the job in the title; Data, Sériové programování runs it as one
// command, asking between chips.
void DeviceMenuTest::jobOpenedAndRunChipAfterChip() {
    TestHome home;
    QFile data(home.cwd() + QStringLiteral("/fw.bin"));
    QVERIFY(data.open(QIODevice::WriteOnly));
    data.write(QByteArray(64, '\x5A'));
    data.close();
    QFile job(home.cwd() + QStringLiteral("/j.trilo"));
    QVERIFY(job.open(QIODevice::WriteOnly));
    job.write("[JOB]\nDevice=90S2313\nFlash=fw.bin\n");
    job.close();
    Program program;
    program.dialogs.files.push_back(job.fileName());
    program.action("mnuOpenJob")->trigger();
    QCOMPARE(program.frmTop->windowTitle(), QString::fromUtf8("Trilo Programmer – j.trilo"));
    QCOMPARE(program.widget<QLabel>("txCpu")->text(), QStringLiteral("90S2313"));

    program.dialogs.log.clear();
    program.dialogs.chips = {true, false};
    program.action("mnuProduction")->trigger();
    QCOMPARE(program.dialogs.texts(ScriptedDialogs::Kind::Info),
             QStringList({QString::fromUtf8("Hotovo: 0 čipů, 0 dobrých, 0 vadných"),
                          QString::fromUtf8("Hotovo: 1 čip, 1 dobrý, 0 vadných"),
                          QString::fromUtf8("Hotovo: 1 čip, 1 dobrý, 0 vadných")}));
    QVERIFY(program.dialogs.unexpected.isEmpty());
    QVERIFY(!program.frmTop->busy());
}

#include "DeviceMenuTest.moc"
