#include "app/Triloprog.h"

#include <QAbstractButton>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QFile>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <thread>
#include <utility>

#include "app/Accessibility.h"
#include "app/Artwork.h"
#include "app/BoardTestWindow.h"
#include "app/DataWindow.h"
#include "app/Unit2.h"
#include "app/ValueText.h"
#include "base/Text.h"
#include "devices/Catalog.h"
#include "presenter/DeviceControls.h"
#include "presenter/Handlers.h"

namespace trilo::gui {

namespace {

using C = Control;

// A classic spin edit lets the user type any number and its change handler clamps; this
// range only keeps out what no size could be, so the core's clamp is what acts.
constexpr int kSpinEditTypingLimit = 999999;

// The gauge's row, and the stop button that shares it while a command runs.
constexpr int kGaugeLeft = 10;
constexpr int kGaugeTop = 98;
constexpr int kGaugeWidth = 523;
constexpr int kGaugeHeight = 21;
constexpr int kStopWidth = 80;
constexpr int kStopGap = 8;

QString fromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}

std::string toUtf8(const QString& text) {
    return text.toStdString();
}

}  // namespace

const char* TfrmTop::controlName(Control c) {
    return trilo::controlName(c);
}

TfrmTop::TfrmTop(Dialogs& dialogs, Platform& platform, PortOpener& ports, Clock& clock,
                 QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowCloseButtonHint),
      dialogs_(dialogs),
      guiView_(*this, *this),
      session_(guiView_, clock, platform, ports) {
    session_.engine().setHost(host_);
    setObjectName(QStringLiteral("frmTop"));
    setWindowTitle(kAppTitle);
    setWindowIcon(programIcon());
    setFont(metrics_.font(14));
    createControls();
    createMenus();
    connectCommands();

    auto* status = new QStatusBar(this);
    status->setSizeGripEnabled(false);
    statusMark_ = new QLabel(status);
    statusMark_->setObjectName(QStringLiteral("statusMark"));
    statusMark_->setAlignment(Qt::AlignTop);
    statusMark_->hide();
    status->addWidget(statusMark_);
    // One line whatever it says: a port that cannot be used says why and what to do, which
    // may not fit; its end is elided then, and the whole of it is the tooltip and what a
    // screen reader reads. The window never grows for it.
    auto* line = new ValueText(status, Qt::ElideRight);
    line->setFrameStyle(QFrame::NoFrame);
    line->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    line->setObjectName(QStringLiteral("statusLine"));
    status->addWidget(line, 1);
    lastCommand_ = new QLabel(status);
    lastCommand_->setTextFormat(Qt::PlainText);
    lastCommand_->setObjectName(QStringLiteral("lastCommand"));
    // Clear of the window's edge, as the line's start is.
    lastCommand_->setContentsMargins(0, 0, metrics_.px(6), 0);
    status->addPermanentWidget(lastCommand_);
    setStatusBar(status);
    slots_[static_cast<std::size_t>(C::statusLine)].widget = line;
    fitToStatusLine();
    retranslate();
    setUpAccessibility();
    setAcceptDrops(true);

    session_.handle([this] { session_.FormCreate(); });
}

void TfrmTop::fitToStatusLine() {
    // The designed client area under the menu bar, and the status line under it, one line of
    // text or the mark beside it high; the frame around them is the window manager's.
    const int lineHeight =
        std::max(slot(C::statusLine).widget->fontMetrics().height(), metrics_.px(16));
    statusBar()->setFixedHeight(lineHeight + metrics_.px(6));
    setFixedSize(centralWidget()->width(), menuBar()->sizeHint().height() +
                                               centralWidget()->height() + statusBar()->height());
}

TfrmTop::~TfrmTop() = default;

void TfrmTop::showCentred() {
    centreOnScreen(this);
    show();
}

template <typename W>
W* TfrmTop::place(W* widget, Control c, int left, int top, int width, int height) {
    widget->setObjectName(QString::fromLatin1(controlName(c)));
    widget->setGeometry(metrics_.rect(left, top, width, height));
    slots_[static_cast<std::size_t>(c)].widget = widget;
    return widget;
}

void TfrmTop::createControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(metrics_.px(542), metrics_.px(385));
    setCentralWidget(client);

    auto sunken = [](QLabel* label, Qt::Alignment alignment) {
        // A file name is shown as it is, never taken for markup.
        label->setTextFormat(Qt::PlainText);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setAlignment(alignment | Qt::AlignVCenter);
        return label;
    };
    auto label = [this](QWidget* parent, const char* name, const QString& text, int left, int top,
                        int width, int height) {
        auto* l = new QLabel(text, parent);
        l->setObjectName(QString::fromLatin1(name));
        l->setGeometry(metrics_.rect(left, top, width, height));
        return l;
    };

    // "Proces CPU"
    auto* gbProces =
        place(new QGroupBox(QStringLiteral("Proces CPU"), client), C::gbProces, 10, 10, 523, 80);
    place(new QPushButton(QStringLiteral("Read"), gbProces), C::btnRead, 20, 30, 70, 30);
    place(new QPushButton(QStringLiteral("Write"), gbProces), C::btnWrite, 98, 30, 70, 30);
    place(new QPushButton(QStringLiteral("Erase"), gbProces), C::btnErase, 177, 30, 70, 30);
    place(new QPushButton(QStringLiteral("Verify"), gbProces), C::btnVerify, 256, 30, 70, 30);
    auto* gbEEPROM =
        place(new QGroupBox(QStringLiteral("EEPROM"), gbProces), C::gbEEPROM, 345, 10, 168, 60);
    place(new QPushButton(QStringLiteral("Read"), gbEEPROM), C::btnReaEE, 10, 22, 70, 30);
    place(new QPushButton(QStringLiteral("Write"), gbEEPROM), C::btnWriEE, 88, 22, 70, 30);

    auto* gauge = place(new QProgressBar(client), C::Gauge1, kGaugeLeft, kGaugeTop, kGaugeWidth,
                        kGaugeHeight);
    gauge->setRange(0, 100);
    gauge->setValue(0);
    gauge->setAlignment(Qt::AlignCenter);
    // Idle, the gauge says nothing; a command names itself on it.
    gauge->setFormat(QString());
    stop_ = new QPushButton(client);
    stop_->setObjectName(QStringLiteral("btnStop"));
    stop_->setGeometry(metrics_.rect(kGaugeLeft + kGaugeWidth - kStopWidth, kGaugeTop - 2,
                                     kStopWidth, kGaugeHeight + 4));
    stop_->setFocusPolicy(Qt::NoFocus);
    stop_->hide();
    connect(stop_, &QPushButton::clicked, this, [this] { session_.engine().requestStop(); });

    place(new QLabel(QStringLiteral("File:"), client), C::Label4, 10, 128, 29, 21)
        ->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    sunken(place(new ValueText(client), C::txFile, 39, 128, 494, 21), Qt::AlignLeft);

    // "CPU Info / Set Up": disabled until a selection has been applied.
    auto* cpu = place(new QGroupBox(QStringLiteral("CPU Info / Set Up"), client), C::mnuCPUinf, 10,
                      158, 523, 217);
    cpu->setEnabled(false);

    auto* lb = place(new QGroupBox(QStringLiteral("Lock Bit"), cpu), C::mnuLB, 10, 20, 218, 60);
    place(new QCheckBox(QStringLiteral("1"), lb), C::chLB1, 12, 26, 40, 22);
    place(new QCheckBox(QStringLiteral("2"), lb), C::chLB2, 52, 26, 40, 22);
    place(new QCheckBox(QStringLiteral("3"), lb), C::chLB3, 92, 26, 40, 22);
    place(new QPushButton(QStringLiteral("Read LB"), lb), C::btnReadLB, 138, 22, 72, 30);
    for (C c : {C::chLB1, C::chLB2, C::chLB3}) {
        slot(c).widget->installEventFilter(this);
    }

    auto* sl =
        place(new QGroupBox(QStringLiteral("Serial Prog. Fuse"), cpu), C::mnuSL, 10, 89, 296, 60);
    place(new QRadioButton(QStringLiteral("ON"), sl), C::rdSON, 12, 26, 52, 22);
    place(new QRadioButton(QStringLiteral("OFF"), sl), C::rdSOFF, 66, 26, 60, 22);
    place(new QPushButton(QStringLiteral("Read"), sl), C::btnReadS, 136, 22, 70, 30);
    place(new QPushButton(QStringLiteral("Write"), sl), C::btnWriteS, 214, 22, 70, 30);

    // Wider than designed and so a little further left: DejaVu Sans runs wider than the
    // design's font, and "89S8252" or "ATtiny28" must show whole.
    label(cpu, "Label1", QStringLiteral("Typ"), 234, 30, 30, 20);
    sunken(place(new ValueText(cpu), C::txTyp, 266, 30, 50, 20), Qt::AlignHCenter);
    label(cpu, "Label2", QStringLiteral("CPU"), 234, 59, 30, 21);
    sunken(place(new ValueText(cpu), C::txCpu, 266, 59, 74, 21), Qt::AlignHCenter);

    auto* fuses =
        place(new QGroupBox(QStringLiteral("AVR Fuse Bits"), cpu), C::GroupBox1, 345, 20, 168, 188);
    const std::array<C, 6>& boxes = fuseBoxes();
    for (std::size_t k = 0; k < boxes.size(); ++k) {
        place(new QCheckBox(QStringLiteral("D%1").arg(5 - static_cast<int>(k)), fuses), boxes[k],
              14, 24 + static_cast<int>(k) * 20, 146, 20);
    }
    place(new QPushButton(QStringLiteral("Read"), fuses), C::btnReadFuse, 10, 148, 70, 30);
    place(new QPushButton(QStringLiteral("Write"), fuses), C::btnWrFuse, 88, 148, 70, 30);

    label(cpu, "Label3", QStringLiteral("Size FLASH"), 10, 167, 76, 26);
    auto* spFlash = place(new QSpinBox(cpu), C::spFlash, 89, 167, 70, 26);
    label(cpu, "Label5", QStringLiteral("Size EEPROM"), 172, 167, 92, 26);
    auto* spEEprom = place(new QSpinBox(cpu), C::spEEprom, 266, 167, 70, 26);
    for (QSpinBox* spin : {spFlash, spEEprom}) {
        spin->setRange(0, kSpinEditTypingLimit);
        spin->setValue(0);
    }
    // Every change of the text, as the user types it, also one that is no number yet (an
    // empty edit reads as size 0): the spin box itself reports only finished numbers.
    connect(spFlash->findChild<QLineEdit*>(), &QLineEdit::textChanged, this,
            [this] { run(&Session::spFlashChange); });
    connect(spEEprom->findChild<QLineEdit*>(), &QLineEdit::textChanged, this,
            [this] { run(&Session::spEEpromChange); });
}

QMenu* TfrmTop::addMenu(QWidget* parent, Control c, const QString& title) {
    auto* menu = new QMenu(title, parent);
    menu->setObjectName(QString::fromLatin1(controlName(c)));
    menu->menuAction()->setObjectName(QString::fromLatin1(controlName(c)));
    // Popups are windows of their own and do not inherit the window's font.
    menu->setFont(font());
    slots_[static_cast<std::size_t>(c)].action = menu->menuAction();
    return menu;
}

QAction* TfrmTop::addItem(QMenu* menu, Control c, const QString& caption) {
    auto* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(controlName(c)));
    slots_[static_cast<std::size_t>(c)].action = action;
    return action;
}

void TfrmTop::createMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    QMenu* file = addMenu(bar, C::mnuFile, QStringLiteral("File"));
    bar->addMenu(file);
    auto connectItem = [this](QAction* action, void (Session::*handler)()) {
        connect(action, &QAction::triggered, this, [this, handler] { run(handler); });
    };
    connectItem(addItem(file, C::mnuOpen, QStringLiteral("Open")), &Session::mnuOpenClick);
    connectItem(addItem(file, C::mnuSave, QStringLiteral("Save")), &Session::mnuSaveClick);
    connectItem(addItem(file, C::mnuSaveAs, QStringLiteral("Save As")), &Session::mnuSaveAsClick);
    createJobItems(file);
    file->addSeparator();
    for (std::size_t k = 0; k < recentItems_.size(); ++k) {
        QAction* item = file->addAction(QString());
        item->setObjectName(QStringLiteral("mnuRecent%1").arg(k + 1));
        item->setVisible(false);
        connect(item, &QAction::triggered, this,
                [this, k] { session_.handle([this, k] { session_.openRecentFile(k); }); });
        recentItems_[k] = item;
    }
    recentSeparator_ = file->addSeparator();
    recentSeparator_->setVisible(false);
    connect(file, &QMenu::aboutToShow, this, &TfrmTop::updateRecentItems);

    QMenu* setUp = addMenu(file, C::mnuSetUp, QStringLiteral("Set Up"));
    file->addMenu(setUp);
    const struct {
        C item;
        void (Session::*handler)();
    } options[] = {
        {C::mnuDM, &Session::mnuDMClick},
        {C::mnuCP, &Session::mnuCPClick},
        {C::mnuFL, &Session::mnuFLClick},
        {C::mnuDL, &Session::mnuDLClick},
        {C::mnuVerifyRead, &Session::mnuVerifyReadClick},
    };
    for (const auto& option : options) {
        QAction* action = addItem(setUp, option.item, QString());
        action->setCheckable(true);
        action->setChecked(option.item != C::mnuVerifyRead);
        connect(action, &QAction::triggered, this, [this, action, handler = option.handler] {
            // Qt has already reversed the mark; the handler reverses it itself.
            {
                const QSignalBlocker quiet(action);
                action->setChecked(!action->isChecked());
            }
            run(handler);
        });
    }
    setUp->setToolTipsVisible(true);
    setUp->addSeparator();
    auto* ports = new QActionGroup(setUp);
    ports->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    QAction* lpt1 = addItem(setUp, C::mnuLPT1, QStringLiteral("LPT1"));
    QAction* lpt2 = addItem(setUp, C::mnuLPT2, QStringLiteral("LPT2"));
    for (QAction* port : {lpt1, lpt2}) {
        port->setCheckable(true);
        ports->addAction(port);
    }
    lpt1->setChecked(true);
    connectItem(lpt1, &Session::mnuLPT1Click);
    connectItem(lpt2, &Session::mnuLPT2Click);
    setUp->addSeparator();
    createLanguageMenu(setUp);

    file->addSeparator();
    connectItem(addItem(file, C::mnuExit, QStringLiteral("Exit")), &Session::mnuExitClick);

    // The catalog's devices, in its order: the AT89 parts under "MCS51", the AVR under "AVR".
    QMenu* mcs51 = addMenu(bar, C::mnuX51, QStringLiteral("MCS51"));
    QMenu* avr = addMenu(bar, C::mnuAVR, QStringLiteral("AVR"));
    bar->addMenu(mcs51);
    bar->addMenu(avr);
    for (const DeviceInfo& device : deviceCatalog()) {
        QAction* action = addItem(device.isAvr() ? avr : mcs51, menuItemOf(device.id),
                                  QString::fromLatin1(device.name));
        // The selection sets every device item's mark itself.
        action->setCheckable(true);
        connect(action, &QAction::triggered, this,
                [this, id = device.id] { session_.handle([&] { session_.selectDevice(id); }); });
    }
    createDataMenu();

    QMenu* index = addMenu(bar, C::mnuIndex, QStringLiteral("Index"));
    bar->addMenu(index);
    QAction* signature = addItem(index, C::mnuSignature, QString());
    connect(signature, &QAction::triggered, this,
            [this] { runBusy([this] { mnuSignatureClick(session_); }); });
    QAction* boardTest = addItem(index, C::mnuBoardTest, QString());
    connect(boardTest, &QAction::triggered, this,
            [this] { runBusy([this] { mnuBoardTestClick(session_); }); });
    connectItem(addItem(index, C::mnuAbout, QStringLiteral("About")), &Session::mnuAboutClick);
}

void TfrmTop::createLanguageMenu(QMenu* setUp) {
    // Named in both languages, so that whoever reads only the one finds the other.
    auto* menu = new QMenu(QStringLiteral("&Jazyk / Language"), setUp);
    menu->setObjectName(QStringLiteral("mnuLanguage"));
    menu->setFont(font());
    setUp->addMenu(menu);
    auto* spoken = new QActionGroup(menu);
    spoken->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    for (const std::string& code : languages()) {
        // Each language by its own name: "čeština", "English".
        QAction* item = menu->addAction(fromUtf8(languageName(code)));
        item->setObjectName(QStringLiteral("mnuLanguage_") + fromUtf8(code));
        item->setCheckable(true);
        spoken->addAction(item);
        connect(item, &QAction::triggered, this,
                [this, code] { session_.handle([&] { session_.chooseLanguage(code); }); });
        languageItems_.push_back({item, code});
    }
}

void TfrmTop::retranslate() {
    useLanguageInQt();
    const struct {
        C control;
        const char* caption;
    } captions[] = {
        {C::mnuDM, N_("Aut. mazat FLASH před zapisem")},
        {C::mnuCP, N_("Aut. ukládat zvolené CPU")},
        {C::mnuFL, N_("Aut. ukládat zvolený soubor")},
        {C::mnuDL, N_("Aut. verifikovat FLASH")},
        {C::mnuVerifyRead, N_("Verifikovat FLASH čtením")},
        {C::mnuSignature, N_("Podpis čipu v patici")},
        {C::mnuBoardTest, N_("Test desky")},
        {C::gbProces, N_("Proces CPU")},
    };
    for (const auto& entry : captions) {
        setCaption(entry.control, _(entry.caption));
    }
    QAction* byReading = slot(C::mnuVerifyRead).action;
    byReading->setToolTip(QString::fromUtf8(
        _("Verify přečte FLASH postupem čtení a porovná ji v programu, bez čekání 1 ms před "
          "každým bajtem: 89C55 asi za 1,4 s místo 22 s. U AVR trvají oba způsoby stejně.")));
    byReading->setStatusTip(byReading->toolTip());
    // The items that are no control of the core's carry their mnemonics in their words.
    const struct {
        const char* name;
        const char* caption;
    } items[] = {
        {"mnuOpenJob", N_("Ot&evřít úlohu…")}, {"mnuSaveJob", N_("U&ložit úlohu…")},
        {"mnuShowData", N_("&Zobrazit data")}, {"mnuProduction", N_("&Sériové programování…")},
        {"mnuProtocol", N_("&Protokol…")},
    };
    for (const auto& item : items) {
        findChild<QAction*>(QString::fromLatin1(item.name))
            ->setText(QString::fromUtf8(_(item.caption)));
    }
    for (const auto& [item, code] : languageItems_) {
        item->setChecked(code == language());
    }
    findChild<QLabel*>(QStringLiteral("Label1"))->setText(QString::fromUtf8(_("Typ")));
    stop_->setText(QString::fromUtf8(_("Zastavit")));
    // A button's text makes its mnemonic its shortcut: Esc again after it.
    stop_->setShortcut(QKeySequence(Qt::Key_Escape));
    slot(C::Gauge1).widget->setAccessibleName(QString::fromUtf8(_("Průběh")));
    if (dataWindow_ != nullptr) {
        dataWindow_->retranslate();
        // Why the file cannot be shown, in the new words.
        refreshFile();
    }
    if (boardTest_ != nullptr) {
        boardTest_->retranslate();
    }
    if (frmInfo_ != nullptr) {
        frmInfo_->retranslate();
    }
}

void TfrmTop::updateRecentItems() {
    const std::vector<std::string>& files = session_.engine().files().RecentFiles;
    for (std::size_t k = 0; k < recentItems_.size(); ++k) {
        QAction* item = recentItems_[k];
        item->setVisible(k < files.size());
        if (k < files.size()) {
            // A long path keeps its start and its file name; a '&' in it is no mnemonic.
            QString path = fontMetrics().elidedText(QFile::decodeName(files[k].c_str()),
                                                    Qt::ElideMiddle, metrics_.px(420));
            path.replace(QLatin1Char('&'), QStringLiteral("&&"));
            item->setText(QStringLiteral("&%1  %2").arg(k + 1).arg(path));
        }
    }
    recentSeparator_->setVisible(!files.empty());
}

void TfrmTop::openDataFile(const QString& file) {
    // During a command the engine keeps it, and takes it once the command has ended.
    const std::string path = QFile::encodeName(file).toStdString();
    session_.handle([this, &path] { session_.engine().openDataFile(path); });
}

void TfrmTop::bringToFront() {
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

namespace {

// The one local file a drag carries, or nothing.
QString droppedFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls() || data->urls().size() != 1 ||
        !data->urls().constFirst().isLocalFile()) {
        return {};
    }
    return data->urls().constFirst().toLocalFile();
}

}  // namespace

void TfrmTop::dragEnterEvent(QDragEnterEvent* event) {
    if (!busy() && !droppedFile(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void TfrmTop::dropEvent(QDropEvent* event) {
    const QString file = droppedFile(event->mimeData());
    if (busy() || file.isEmpty()) {
        return;
    }
    event->acceptProposedAction();
    openDataFile(file);
}

void TfrmTop::run(void (Session::*handler)()) {
    session_.handle([this, handler] { (session_.*handler)(); });
}

void TfrmTop::connectCommands() {
    const struct {
        C button;
        void (*command)(Session&);
    } commands[] = {
        {C::btnRead, &btnReadClick},     {C::btnWrite, &btnWriteClick},
        {C::btnErase, &btnEraseClick},   {C::btnVerify, &btnVerifyClick},
        {C::btnReaEE, &btnReaEEClick},   {C::btnWriEE, &btnWriEEClick},
        {C::btnReadLB, &btnReadLBClick}, {C::btnReadS, &btnReadSClick},
        {C::btnWriteS, &btnWriteSClick}, {C::btnReadFuse, &btnReadFuseClick},
        {C::btnWrFuse, &btnWrFuseClick},
    };
    for (const auto& entry : commands) {
        connectCommand(entry.button, entry.command);
    }
}

void TfrmTop::connectCommand(Control button, std::function<void(Session&)> command) {
    auto* widget = qobject_cast<QAbstractButton*>(slot(button).widget);
    connect(widget, &QAbstractButton::clicked, this,
            [this, command = std::move(command)] { runBusy([&] { command(session_); }); });
}

void TfrmTop::runBusy(const std::function<void()>& handler) {
    session_.runBusy(handler);
}

// A full-chip write on a real port takes tens of seconds: the window must go on painting, so
// the command runs on a worker while this thread serves paint events, the worker's calls to
// the window and the stop button; every other control is disabled meanwhile.
void TfrmTop::WorkerHost::runOnWorker(const std::function<void()>& work) {
    QEventLoop loop;
    std::thread worker([&] {
        work();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
}

void TfrmTop::showBusy(bool busy) {
    if (busy) {
        QApplication::setOverrideCursor(Qt::BusyCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
    // What is no control of the core's but acts on the session all the same: the recent
    // files (File stays open for Exit) and the data view.
    for (QAction* item : recentItems_) {
        item->setEnabled(!busy);
    }
    for (QAction* item : jobItems_) {
        item->setEnabled(!busy);
    }
    if (auto* data = menuBar()->findChild<QMenu*>(QStringLiteral("mnuData"))) {
        data->menuAction()->setEnabled(!busy);
    }
    if (dataWindow_ != nullptr) {
        dataWindow_->setEnabled(!busy);
    }
    auto* gauge = slot(C::Gauge1).widget;
    const int gaugeWidth = busy ? kGaugeWidth - kStopWidth - kStopGap : kGaugeWidth;
    gauge->setGeometry(metrics_.rect(kGaugeLeft, kGaugeTop, gaugeWidth, kGaugeHeight));
    stop_->setVisible(busy);
}

const TfrmTop::Slot& TfrmTop::slot(Control c) const {
    return slots_[static_cast<std::size_t>(c)];
}

bool TfrmTop::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        if (watched == slot(C::chLB1).widget) {
            run(&Session::chLB1Enter);
        } else if (watched == slot(C::chLB2).widget) {
            run(&Session::chLB2Enter);
        } else if (watched == slot(C::chLB3).widget) {
            run(&Session::chLB3Enter);
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfrmTop::closeEvent(QCloseEvent* event) {
    // Never in the middle of a command: the board would be left in programming mode. The
    // user may stop it, and the window closes once the board is at rest.
    if (busy()) {
        event->ignore();
        session_.askToStop();
        return;
    }
    // However the window is closed, FormClose runs first; an error in it keeps it open.
    if (session_.handle([this] { session_.FormClose(); })) {
        // The data window goes too, and keeps its size.
        if (dataWindow_ != nullptr && dataWindow_->isVisible()) {
            dataWindow_->close();
        }
        event->accept();
    } else {
        event->ignore();
    }
}

// ---- View ----------------------------------------------------------------------------------

void TfrmTop::setEnabled(Control c, bool on) {
    const Slot& s = slot(c);
    if (s.widget != nullptr) {
        s.widget->setEnabled(on);
    } else if (s.action != nullptr) {
        s.action->setEnabled(on);
    }
    if (c == C::btnRead && dataWindow_ != nullptr) {
        dataWindow_->setReadEnabled(on);
    }
}

bool TfrmTop::enabled(Control c) const {
    const Slot& s = slot(c);
    if (s.widget != nullptr) {
        // The control's own flag, not whether a disabled group box greys it out.
        return !s.widget->testAttribute(Qt::WA_ForceDisabled);
    }
    return s.action != nullptr && s.action->isEnabled();
}

void TfrmTop::setChecked(Control c, bool on) {
    const Slot& s = slot(c);
    if (auto* button = qobject_cast<QAbstractButton*>(s.widget)) {
        const QSignalBlocker quiet(button);
        // A radio button of a group refuses to be unchecked by itself; the core unchecks both.
        const bool exclusive = button->autoExclusive();
        button->setAutoExclusive(false);
        button->setChecked(on);
        button->setAutoExclusive(exclusive);
    } else if (s.action != nullptr) {
        const QSignalBlocker quiet(s.action);
        s.action->setChecked(on);
    }
}

bool TfrmTop::checked(Control c) const {
    const Slot& s = slot(c);
    if (auto* button = qobject_cast<QAbstractButton*>(s.widget)) {
        return button->isChecked();
    }
    return s.action != nullptr && s.action->isChecked();
}

void TfrmTop::setCaption(Control c, const std::string& text) {
    const Slot& s = slot(c);
    const QString caption = fromUtf8(text);
    if (auto* button = qobject_cast<QAbstractButton*>(s.widget)) {
        button->setText(withMnemonic(c, caption));
    } else if (auto* value = qobject_cast<ValueText*>(s.widget)) {
        value->setValue(caption);
    } else if (auto* label = qobject_cast<QLabel*>(s.widget)) {
        label->setText(caption);
    } else if (auto* box = qobject_cast<QGroupBox*>(s.widget)) {
        box->setTitle(caption);
        box->setAccessibleName(caption);
    } else if (auto* gauge = qobject_cast<QProgressBar*>(s.widget)) {
        gauge->setFormat(caption);
    } else if (s.action != nullptr) {
        s.action->setText(withMnemonic(c, caption));
    }
}

void TfrmTop::showLastCommand(const std::string& text) {
    // At most half the line, so the board's words keep the rest; elided as the line is.
    const QString whole = fromUtf8(text);
    const QString shown =
        lastCommand_->fontMetrics().elidedText(whole, Qt::ElideRight, centralWidget()->width() / 2);
    lastCommand_->setText(shown);
    lastCommand_->setToolTip(shown == whole ? QString() : whole);
    lastCommand_->setAccessibleDescription(whole);
}

void TfrmTop::showPortStatus(const PortStatus& status) {
    // Words alone are easily read past: a board that touches no real chip, or none that can
    // be used, also shows the style's information or warning icon, drawn for light and dark
    // themes alike.
    if (status.usable && !status.simulated) {
        statusMark_->hide();
    } else {
        const QIcon icon = style()->standardIcon(status.usable ? QStyle::SP_MessageBoxInformation
                                                               : QStyle::SP_MessageBoxWarning);
        statusMark_->setPixmap(icon.pixmap(metrics_.px(16)));
        // A screen reader says what the picture means; the status text follows it.
        statusMark_->setAccessibleName(
            QString::fromUtf8(status.usable ? _("Stav desky: simulovaná deska")
                                            : _("Stav desky: desku nelze použít")));
        statusMark_->show();
    }
    setCaption(C::statusLine, status.text);
}

std::string TfrmTop::caption(Control c) const {
    const Slot& s = slot(c);
    if (auto* button = qobject_cast<QAbstractButton*>(s.widget)) {
        return toUtf8(withoutMnemonic(button->text()));
    }
    if (auto* value = qobject_cast<ValueText*>(s.widget)) {
        return toUtf8(value->value());
    }
    if (auto* label = qobject_cast<QLabel*>(s.widget)) {
        return toUtf8(label->text());
    }
    if (auto* box = qobject_cast<QGroupBox*>(s.widget)) {
        return toUtf8(box->title());
    }
    if (auto* gauge = qobject_cast<QProgressBar*>(s.widget)) {
        return toUtf8(gauge->text());
    }
    if (s.action != nullptr) {
        return toUtf8(withoutMnemonic(s.action->text()));
    }
    return {};
}

void TfrmTop::setValue(Control c, int value) {
    const Slot& s = slot(c);
    if (auto* spin = qobject_cast<QSpinBox*>(s.widget)) {
        // The core calls the change handler itself when it wants it.
        const QSignalBlocker quiet(spin);
        const QSignalBlocker quietText(spin->findChild<QLineEdit*>());
        spin->setValue(value);
    } else if (auto* gauge = qobject_cast<QProgressBar*>(s.widget)) {
        // Operations block the event loop; the gauge must show progress all the same.
        if (gauge->value() != value) {
            gauge->setValue(value);
            gauge->repaint();
        }
    }
}

std::string TfrmTop::text(Control c) const {
    if (auto* spin = qobject_cast<QSpinBox*>(slot(c).widget)) {
        return toUtf8(spin->text());
    }
    return caption(c);
}

void TfrmTop::showInfo(const std::string& message, const std::string& detail) {
    dialogs_.info(this, fromUtf8(message), fromUtf8(detail));
}

bool TfrmTop::askYesNo(const Question& question) {
    return dialogs_.yesNo(this, question);
}

void TfrmTop::showError(const std::string& message) {
    dialogs_.error(this, fromUtf8(message));
}

std::optional<std::string> TfrmTop::openFileDialog(const std::string& preset) {
    // Paths are bytes to the system; QFile's codec is the one that maps them back unchanged.
    const auto chosen = dialogs_.openFile(this, QFile::decodeName(preset.c_str()));
    if (!chosen) {
        return std::nullopt;
    }
    return QFile::encodeName(*chosen).toStdString();
}

std::optional<std::string> TfrmTop::saveFileDialog(const std::string& preset) {
    const auto chosen = dialogs_.saveFile(this, QFile::decodeName(preset.c_str()));
    if (!chosen) {
        return std::nullopt;
    }
    return QFile::encodeName(*chosen).toStdString();
}

void TfrmTop::closeWindow() {
    close();
}

void TfrmTop::boardTestStep(const BoardCheckResult& step) {
    if (boardTest_ == nullptr) {
        boardTest_ = new BoardTestWindow(this);
        boardTest_->setFont(font());
    }
    boardTest_->showStep(step);
    if (step.check == boardChecks().front()) {
        boardTest_->show();
        boardTest_->raise();
    }
    // The worker waits for this call: the row shows before the next step runs.
    boardTest_->repaint();
}

void TfrmTop::showAbout() {
    if (frmInfo_ != nullptr) {
        frmInfo_->showModal();
    }
}

}  // namespace trilo::gui
