// The main window as a screen reader and a keyboard user meet it.
#include <QAccessible>
#include <QMenu>
#include <QSignalSpy>
#include <QStyle>

#include "WindowSupport.h"

using namespace trilo;
using namespace trilo::gui;
using namespace trilo::gui::test;

namespace {

struct Seen {
    QAccessible::Role role;
    QString name;
    QString group;  // the nearest enclosing group box or menu
    QString label;  // the object of the label that names it, if any
};

// Every named object in the accessibility tree under the window, as AT-SPI would show it.
QHash<QString, Seen> accessibleTree(QWidget* window) {
    QHash<QString, Seen> tree;
    std::function<void(QAccessibleInterface*, const QString&)> visit = [&](QAccessibleInterface*
                                                                               parent,
                                                                           const QString& group) {
        for (int k = 0; k < parent->childCount(); ++k) {
            QAccessibleInterface* child = parent->child(k);
            const QString object = child->object()->objectName();
            QString label;  // Qt also counts an enclosing group box as a label
            for (const auto& [by, relation] : child->relations(QAccessible::Label)) {
                if (qobject_cast<QLabel*>(by->object()) != nullptr) {
                    label = by->object()->objectName();
                }
            }
            if (!object.isEmpty() && !tree.contains(object)) {
                tree.insert(object, {child->role(), child->text(QAccessible::Name), group, label});
            }
            const bool encloses =
                child->role() == QAccessible::Grouping || child->role() == QAccessible::PopupMenu;
            visit(child, encloses ? child->text(QAccessible::Name) : group);
        }
    };
    visit(QAccessible::queryAccessibleInterface(window), QString());
    return tree;
}

}  // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT
private slots:
    void everyControlHasItsRoleNameAndGroup();
    void shortcuts_data();
    void shortcuts();
    void tabFollowsReadingOrder();
    void longPathKeepsItsFileName();
    void statusLineMarksABoardThatIsNotReal();
};

void AccessibilityTest::everyControlHasItsRoleNameAndGroup() {
    TestHome home;
    Program program;
    using R = QAccessible::Role;
    const QString proces = "Proces CPU", cpu = "CPU Info / Set Up", lock = "Lock Bit",
                  serial = "Serial Prog. Fuse", fuses = "AVR Fuse Bits";
    const struct {
        const char* object;
        Seen expected;
    } rows[] = {
        {"gbProces", {R::Grouping, proces, "", ""}},
        {"btnRead", {R::PushButton, "Read", proces, ""}},
        {"btnWrite", {R::PushButton, "Write", proces, ""}},
        {"btnErase", {R::PushButton, "Erase", proces, ""}},
        {"btnVerify", {R::PushButton, "Verify", proces, ""}},
        {"gbEEPROM", {R::Grouping, "EEPROM", proces, ""}},
        {"btnReaEE", {R::PushButton, "Read", "EEPROM", ""}},
        {"btnWriEE", {R::PushButton, "Write", "EEPROM", ""}},
        {"Gauge1", {R::ProgressBar, QString::fromUtf8("Průběh"), "", ""}},
        {"txFile", {R::StaticText, "File:", "", "Label4"}},
        {"mnuCPUinf", {R::Grouping, cpu, "", ""}},
        {"mnuLB", {R::Grouping, lock, cpu, ""}},
        {"chLB1", {R::CheckBox, "1", lock, ""}},
        {"chLB3", {R::CheckBox, "3", lock, ""}},
        {"btnReadLB", {R::PushButton, "Read LB", lock, ""}},
        {"mnuSL", {R::Grouping, serial, cpu, ""}},
        {"rdSON", {R::RadioButton, "ON", serial, ""}},
        {"rdSOFF", {R::RadioButton, "OFF", serial, ""}},
        {"btnReadS", {R::PushButton, "Read", serial, ""}},
        {"btnWriteS", {R::PushButton, "Write", serial, ""}},
        {"txTyp", {R::StaticText, "Typ", cpu, "Label1"}},
        {"txCpu", {R::StaticText, "CPU", cpu, "Label2"}},
        {"GroupBox1", {R::Grouping, fuses, cpu, ""}},
        {"chD5", {R::CheckBox, "D5 - NC", fuses, ""}},
        {"chD0", {R::CheckBox, "D0 - NC", fuses, ""}},
        {"btnReadFuse", {R::PushButton, "Read", fuses, ""}},
        {"btnWrFuse", {R::PushButton, "Write", fuses, ""}},
        {"spFlash", {R::SpinBox, "Size FLASH", cpu, "Label3"}},
        {"spEEprom", {R::SpinBox, "Size EEPROM", cpu, "Label5"}},
        {"mnuFile", {R::MenuItem, "File", "", ""}},
        {"mnuSaveAs", {R::MenuItem, "Save As", "File", ""}},
        {"mnuDM", {R::MenuItem, QString::fromUtf8("Aut. mazat FLASH před zapisem"), "Set Up", ""}},
        {"mnu2051", {R::MenuItem, "89C2051", "MCS51", ""}},
        {"mnuAbout", {R::MenuItem, "About", "Index", ""}},
    };
    const QHash<QString, Seen> tree = accessibleTree(program.frmTop.get());
    for (const auto& row : rows) {
        const Seen seen = tree.value(row.object, {R::NoRole, "(missing)", "", ""});
        const QString where = QString::fromLatin1(row.object);
        QVERIFY2(seen.role == row.expected.role, qPrintable(where));
        QCOMPARE(seen.name, row.expected.name);
        QCOMPARE(seen.group, row.expected.group);
        QCOMPARE(seen.label, row.expected.label);
    }
}

void AccessibilityTest::shortcuts_data() {
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<QString>("object");
    // An action's shortcut shows in its menu; a mnemonic clicks a button, opens a menu or
    // focuses the control a label names.
    QTest::newRow("Open") << QKeySequence(Qt::CTRL | Qt::Key_O) << "mnuOpen";
    QTest::newRow("Save") << QKeySequence(Qt::CTRL | Qt::Key_S) << "mnuSave";
    QTest::newRow("Save As") << QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S) << "mnuSaveAs";
    QTest::newRow("Exit") << QKeySequence(Qt::CTRL | Qt::Key_Q) << "mnuExit";
    QTest::newRow("About") << QKeySequence(Qt::Key_F1) << "mnuAbout";
    QTest::newRow("File menu") << QKeySequence(Qt::ALT | Qt::Key_F) << "mnuFile";
    QTest::newRow("Verify") << QKeySequence(Qt::ALT | Qt::Key_V) << "btnVerify";
    QTest::newRow("Size EEPROM") << QKeySequence(Qt::ALT | Qt::Key_P) << "spEEprom";
}

void AccessibilityTest::shortcuts() {
    QFETCH(QKeySequence, keys);
    QFETCH(QString, object);
    TestHome home;
    Program program;
    // Whatever the command shows: the About box, or a box that asks.
    ModalWatchdog closer([](QWidget* modal) { modal->close(); }, 1000);
    program.frmTop->setEnabled(Control::mnuSave, true);
    program.frmTop->setEnabled(Control::mnuSaveAs, true);
    program.frmTop->setEnabled(Control::spEEprom, true);
    program.frmTop->show();
    program.frmTop->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(program.frmTop.get()));
    QAction* action = program.action(qPrintable(object));
    auto* button = program.widget<QAbstractButton>(qPrintable(object));
    std::optional<QSignalSpy> triggered;
    if (action != nullptr) {
        triggered.emplace(action, &QAction::triggered);
    } else if (button != nullptr) {
        triggered.emplace(button, &QAbstractButton::clicked);
    }

    QTest::keySequence(program.frmTop.get(), keys);

    if (auto* menu = program.widget<QMenu>(qPrintable(object))) {
        QTRY_VERIFY(menu->isVisible());
        menu->close();
    } else if (triggered) {
        QTRY_COMPARE(triggered->count(), 1);
        if (action != nullptr) {
            QCOMPARE(action->shortcut(), keys);
        }
    } else {
        QTRY_COMPARE(QApplication::focusWidget(), program.widget(qPrintable(object)));
    }
}

void AccessibilityTest::tabFollowsReadingOrder() {
    TestHome home;
    Program program;
    for (int k = 0; k < static_cast<int>(Control::Count); ++k) {
        program.frmTop->setEnabled(static_cast<Control>(k), true);
    }
    program.frmTop->show();
    program.frmTop->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(program.frmTop.get()));
    program.widget("btnRead")->setFocus();
    QStringList visited;
    do {
        visited << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    } while (QApplication::focusWidget() != program.widget("btnRead") && visited.size() < 40);
    QCOMPARE(visited.join(' '),
             QStringLiteral("btnRead btnWrite btnErase btnVerify btnReaEE btnWriEE chLB1 chLB2 "
                            "chLB3 btnReadLB rdSON btnReadS btnWriteS spFlash spEEprom chD5 chD4 "
                            "chD3 chD2 chD1 chD0 btnReadFuse btnWrFuse"));
}

void AccessibilityTest::longPathKeepsItsFileName() {
    TestHome home;
    Program program;
    auto* txFile = program.widget<QLabel>("txFile");
    const QString path = "/home/" + QString("a-rather-long-directory/").repeated(6) + "chip.bin";

    program.frmTop->setCaption(Control::txFile, path.toStdString());

    QVERIFY(captionFits(txFile));
    QVERIFY2(txFile->text().startsWith("/home/a-rather") && txFile->text().endsWith("/chip.bin"),
             qPrintable(txFile->text()));
    QCOMPARE(txFile->toolTip(), path);
    QCOMPARE(QAccessible::queryAccessibleInterface(txFile)->text(QAccessible::Description), path);
    QCOMPARE(program.caption(Control::txFile), path);
}

void AccessibilityTest::statusLineMarksABoardThatIsNotReal() {
    TestHome home;
    Program program;
    auto* mark = program.widget<QLabel>("statusMark");
    auto icon = [&](QStyle::StandardPixmap which) {
        return program.frmTop->style()->standardIcon(which).pixmap(mark->pixmap().size()).toImage();
    };
    QCOMPARE(program.caption(Control::statusLine),
             QString::fromUtf8("LPT1: Simulovaná deska, v patici 89C2051"));
    QVERIFY(!mark->isHidden());
    QCOMPARE(mark->pixmap().toImage(), icon(QStyle::SP_MessageBoxInformation));

    program.frmTop->showPortStatus({false, "LPT1: /dev/parport0 …", false});
    QVERIFY(!mark->isHidden());
    QCOMPARE(mark->pixmap().toImage(), icon(QStyle::SP_MessageBoxWarning));

    program.frmTop->showPortStatus({true, "LPT1: /dev/parport0", false});
    QVERIFY(mark->isHidden());
}

QTEST_MAIN(AccessibilityTest)
#include "AccessibilityTest.moc"
