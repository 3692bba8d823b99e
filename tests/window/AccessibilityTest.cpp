// The main window as a screen reader and a keyboard user meet it.
#include <QAccessible>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QStyle>
#include <QTabBar>

#include "WindowSupport.h"
#include "app/DataWindow.h"

using namespace trilo;
using namespace trilo::gui;
using namespace trilo::gui::test;

namespace {

// Each object of the window's accessibility tree as AT-SPI shows it: "role name < enclosing
// group box or menu", and "@ label" when a label names it.
QHash<QString, QString> accessibleTree(QAccessibleInterface* parent, const QString& group = {}) {
    QHash<QString, QString> tree;
    const QMetaEnum roles = QMetaEnum::fromType<QAccessible::Role>();
    for (int k = 0; k < parent->childCount(); ++k) {
        QAccessibleInterface* child = parent->child(k);
        const QString name = child->text(QAccessible::Name);
        QString seen = QString::fromLatin1(roles.valueToKey(child->role())) + " " + name;
        seen += group.isEmpty() ? QString() : " < " + group;
        for (const auto& [by, relation] : child->relations(QAccessible::Label)) {
            // Qt counts the enclosing group box as a label too.
            if (qobject_cast<QLabel*>(by->object()) != nullptr) {
                seen += " @ " + by->object()->objectName();
            }
        }
        const bool encloses =
            child->role() == QAccessible::Grouping || child->role() == QAccessible::PopupMenu;
        // A menu item's popup carries its name; the item is what the tree shows for it.
        tree.insert(accessibleTree(child, encloses ? name : group));
        tree.insert(child->object()->objectName(), seen);
    }
    return tree;
}

}  // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT
private slots:
    void everyControlHasItsRoleNameAndGroup();
    void mnemonicsAreUniqueInEachWindow();
    void shortcuts_data();
    void shortcuts();
    void tabFollowsReadingOrder();
    void longPathKeepsItsFileName();
    void statusLineMarksABoardThatIsNotReal();
};

void AccessibilityTest::everyControlHasItsRoleNameAndGroup() {
    TestHome home;
    Program program;
    const char* const rows[][2] = {{"gbProces", "Grouping Proces CPU"},
                                   {"btnRead", "Button Read < Proces CPU"},
                                   {"btnWrite", "Button Write < Proces CPU"},
                                   {"btnErase", "Button Erase < Proces CPU"},
                                   {"btnVerify", "Button Verify < Proces CPU"},
                                   {"gbEEPROM", "Grouping EEPROM < Proces CPU"},
                                   {"btnReaEE", "Button Read < EEPROM"},
                                   {"btnWriEE", "Button Write < EEPROM"},
                                   {"Gauge1", "ProgressBar Průběh"},
                                   {"statusMark", "Graphic Stav desky: simulovaná deska"},
                                   {"txFile", "StaticText File: @ Label4"},
                                   {"mnuCPUinf", "Grouping CPU Info / Set Up"},
                                   {"mnuLB", "Grouping Lock Bit < CPU Info / Set Up"},
                                   {"chLB1", "CheckBox 1 < Lock Bit"},
                                   {"chLB2", "CheckBox 2 < Lock Bit"},
                                   {"chLB3", "CheckBox 3 < Lock Bit"},
                                   {"btnReadLB", "Button Read LB < Lock Bit"},
                                   {"mnuSL", "Grouping Serial Prog. Fuse < CPU Info / Set Up"},
                                   {"rdSON", "RadioButton ON < Serial Prog. Fuse"},
                                   {"rdSOFF", "RadioButton OFF < Serial Prog. Fuse"},
                                   {"btnReadS", "Button Read < Serial Prog. Fuse"},
                                   {"btnWriteS", "Button Write < Serial Prog. Fuse"},
                                   {"txTyp", "StaticText X051 < CPU Info / Set Up @ Label1"},
                                   {"txCpu", "StaticText 89C2051 < CPU Info / Set Up @ Label2"},
                                   {"GroupBox1", "Grouping AVR Fuse Bits < CPU Info / Set Up"},
                                   {"chD5", "CheckBox D5 - NC < AVR Fuse Bits"},
                                   {"chD0", "CheckBox D0 - NC < AVR Fuse Bits"},
                                   {"btnReadFuse", "Button Read < AVR Fuse Bits"},
                                   {"btnWrFuse", "Button Write < AVR Fuse Bits"},
                                   {"spFlash", "SpinBox Size FLASH < CPU Info / Set Up @ Label3"},
                                   {"spEEprom", "SpinBox Size EEPROM < CPU Info / Set Up @ Label5"},
                                   {"mnuFile", "MenuItem File"},
                                   {"mnuSaveAs", "MenuItem Save As < File"},
                                   {"mnuDM", "MenuItem Aut. mazat FLASH před zapisem < Set Up"},
                                   {"mnu2051", "MenuItem 89C2051 < MCS51"},
                                   {"mnuAbout", "MenuItem About < Index"}};
    const QHash<QString, QString> tree =
        accessibleTree(QAccessible::queryAccessibleInterface(program.frmTop.get()));
    for (const auto& [object, expected] : rows) {
        QCOMPARE(object + QString(": ") + tree.value(object), object + QString(": ") + expected);
    }
}

// Each Alt key is one control's, whatever is enabled or shown: in each window (the main one,
// the data window, the About box) over its buttons, check boxes, group boxes, tabs, labels
// that name a control and menu titles; in each popup menu over its items.
void AccessibilityTest::mnemonicsAreUniqueInEachWindow() {
    TestHome home;
    Program program;
    program.action("mnuShowData")->trigger();
    QHash<QPair<QObject*, QString>, QString> owner;
    const auto claim = [&](QObject* scope, const QString& caption) {
        const QString key = QKeySequence::mnemonic(caption).toString();
        QVERIFY2(key.isEmpty() || !owner.contains({scope, key}),
                 qPrintable(key + ": " + owner.value({scope, key}) + " / " + caption));
        owner.insert({scope, key}, caption);
    };
    for (QWidget* w : program.frmTop->findChildren<QWidget*>()) {
        QStringList captions;
        if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            captions << button->text();
        } else if (auto* label = qobject_cast<QLabel*>(w); label && label->buddy()) {
            captions << label->text();
        } else if (auto* box = qobject_cast<QGroupBox*>(w)) {
            captions << box->title();
        } else if (auto* tabs = qobject_cast<QTabBar*>(w)) {
            for (int k = 0; k < tabs->count(); ++k) {
                captions << tabs->tabText(k);
            }
        } else if (qobject_cast<QMenuBar*>(w) != nullptr || qobject_cast<QMenu*>(w) != nullptr) {
            // A menu bar's titles count in its window, a popup's items in the popup.
            for (QAction* item : w->actions()) {
                claim(qobject_cast<QMenu*>(w) != nullptr ? w : w->window(), item->text());
            }
        }
        for (const QString& caption : captions) {
            claim(w->window(), caption);
        }
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
    QTest::newRow("EEPROM Read") << QKeySequence(Qt::ALT | Qt::Key_D) << "btnReaEE";
    QTest::newRow("Data menu") << QKeySequence(Qt::ALT | Qt::Key_T) << "mnuData";
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
    program.frmTop->setEnabled(Control::btnReaEE, true);
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
    auto name = [&] {
        return QAccessible::queryAccessibleInterface(mark)->text(QAccessible::Name);
    };
    QCOMPARE(program.caption(Control::statusLine),
             QString::fromUtf8("LPT1: Simulovaná deska, v patici 89C2051"));
    QVERIFY(!mark->isHidden());
    QCOMPARE(mark->pixmap().toImage(), icon(QStyle::SP_MessageBoxInformation));
    QCOMPARE(name(), QString::fromUtf8("Stav desky: simulovaná deska"));

    program.frmTop->showPortStatus({false, "LPT1: /dev/parport0 …", false});
    QVERIFY(!mark->isHidden());
    QCOMPARE(mark->pixmap().toImage(), icon(QStyle::SP_MessageBoxWarning));
    QCOMPARE(name(), QString::fromUtf8("Stav desky: desku nelze použít"));

    program.frmTop->showPortStatus({true, "LPT1: /dev/parport0", false});
    QVERIFY(mark->isHidden());
}

QTEST_MAIN(AccessibilityTest)
#include "AccessibilityTest.moc"
