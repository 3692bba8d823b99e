#include "presenter/Session.h"

#include <algorithm>

#include "base/Errors.h"
#include "base/Text.h"
#include "commands/DataFiles.h"
#include "devices/Catalog.h"
#include "files/FileMove.h"
#include "ops/FamilyTable.h"
#include "presenter/DeviceControls.h"
#include "production/ChipLog.h"
#include "settings/Settings.h"

namespace trilo {

namespace {

using C = Control;

constexpr const char* kNoData = N_("Nejsou data k zápisu !");
constexpr const char* kOverwrite = N_("Přepsat soubor ?");
constexpr const char* kSaveRead = N_("Uložit načtená data ?  ");
constexpr const char* kStopQuestion = N_("Zastavit probíhající operaci?");
constexpr const char* kSetup = "SETUP_PRG";
constexpr const char* kLanguage = "Language";

// The box that refuses a save, naming the file.
std::string refusalText(const std::string& path, const std::string& refusal) {
    return format(_("Do souboru {0} nelze uložit: {1}."), path, refusal);
}

// A spin edit's text as its change handler reads it: a valid integer or 0.
std::int32_t spinValue(const std::string& text) {
    return parseSettingsInteger(text).value_or(0);
}

// The controls that stay live during a command: the gauge and what only shows, and the way
// to Exit, which asks to stop the command.
bool liveDuringCommand(Control c) {
    switch (c) {
        case C::Gauge1:
        case C::Label4:
        case C::txFile:
        case C::txTyp:
        case C::txCpu:
        case C::statusLine:
        case C::gbProces:
        case C::gbEEPROM:
        case C::mnuCPUinf:
        case C::mnuLB:
        case C::mnuSL:
        case C::GroupBox1:
        case C::mnuFile:
        case C::mnuExit:
            return true;
        default:
            return false;
    }
}

}  // namespace

void ViewSink::progress(int percent) {
    if (percent != shown_) {
        shown_ = percent;
        view_.setValue(Control::Gauge1, percent);
    }
}

void ViewSink::info(const std::string& message) {
    view_.showInfo(message);
}

void ViewSink::detailedInfo(const std::string& message, const std::string& detail) {
    view_.showInfo(message, detail);
}

bool ViewSink::ask(const std::string& question) {
    // An operation asks only whether to go on in a doubtful case, such as another chip in
    // the socket: Enter and Esc leave the chip alone.
    return view_.askYesNo({question, {}, false, true});
}

Session::Session(View& v, Clock& clock, Platform& platform, PortOpener& ports)
    : view_(v), sink_(v), engine_(clock, platform, ports, sink_, *this), held_(controlCount()) {}

Session::~Session() = default;

// ---- The command's life -------------------------------------------------------------------

bool Session::runBusy(const std::function<void()>& handler) {
    return engine_.execute([&] { handle(handler); });
}

void Session::busyChanged(bool busy) {
    for (std::size_t k = 0; k < held_.size(); ++k) {
        const auto c = static_cast<Control>(k);
        if (liveDuringCommand(c)) {
            continue;
        }
        if (busy) {
            const bool own = view_.enabled(c);
            view_.setEnabled(c, false);
            held_[k] = own;
        } else if (held_[k]) {
            const bool own = *std::exchange(held_[k], std::nullopt);
            view_.setEnabled(c, own);
        }
    }
    view_.showBusy(busy);
}

void Session::enable(Control c, bool on) {
    // A held control shows disabled until the command has ended, then what it was given.
    if (auto& held = held_[static_cast<std::size_t>(c)]) {
        held = on;
        return;
    }
    view_.setEnabled(c, on);
}

bool Session::isEnabled(Control c) const {
    if (const auto& held = held_[static_cast<std::size_t>(c)]) {
        return *held;
    }
    return view_.enabled(c);
}

void Session::askToStop() {
    if (askingToStop_ || !engine_.busy()) {
        return;
    }
    askingToStop_ = true;
    // The user asked to close: Yes, what Enter gives, stops the command; Esc lets it run.
    if (view_.askYesNo({_(kStopQuestion), {}, true, true})) {
        engine_.stopForClose();
    }
    askingToStop_ = false;
}

void Session::commandStarted(const std::string& gauge) {
    showLastCommand({});
    view_.setCaption(C::Gauge1, gauge);
}

void Session::progressed(const std::string& gauge) {
    view_.setCaption(C::Gauge1, gauge);
}

void Session::commandFinished(const Report& report) {
    view_.setCaption(C::Gauge1, "");
    showLastCommand([report] { return reportText(report); });
    // The protocol keeps every command, in the chips' columns.
    ChipResult row;
    row.passed = report.outcome == commands::Outcome::Done;
    row.time = isoTimeNow();
    row.device = engine_.selectedDeviceName();
    row.failedStep = commandName(report.command);
    row.message = reportText(report);
    row.durationUs = report.durationUs;
    addToProtocol(csvRow(row, jobName()));
}

void Session::bufferChanged() {
    enable(C::mnuSave, true);
    enable(C::mnuSaveAs, true);
    view_.dataChanged(View::DataSide::Chip);
}

void Session::fileChanged() {
    view_.setCaption(C::txFile, engine_.files().CurrentFile);
    view_.dataChanged(View::DataSide::File);
}

// ---- Start-up, closing --------------------------------------------------------------------

void Session::FormCreate() {
    engine_.setupBuffer();
    // The port library starts before the settings are known, the board on the port they give.
    LoadSettings();
    engine_.bringUp(engine_.boardSettings());
    // Nothing read yet, nothing to save.
    enable(C::mnuSave, false);
    enable(C::mnuSaveAs, false);
    // The board at rest, the start-up's trace on disk before the user starts anything.
    engine_.board().rest();
    // The stored device; the selection also rewrites the settings file.
    ApplyDeviceSelection();
}

void Session::mnuExitClick() {
    view_.closeWindow();
}

void Session::mnuAboutClick() {
    view_.showAbout();
}

// ---- Device selection ---------------------------------------------------------------------

void Session::selectDevice(std::int32_t id) {
    engine_.selectDevice(id);
    ApplyDeviceSelection();
}

void Session::ApplyDeviceSelection() {
    // The simulated board seats the chosen device's chip; what answered the last check, and
    // the EEPROM written meanwhile, were another chip's.
    const Selection& selection = engine_.selection();
    engine_.selectDevice(selection.DeviceId);
    eepromWrittenFrom_.reset();
    const DeviceInfo* device = engine_.device();
    for (const DeviceInfo& item : deviceCatalog()) {
        view_.setChecked(menuItemOf(item.id), &item == device);
    }
    for (std::size_t k = 0; k < fuseBoxes().size(); ++k) {
        const char* label = device != nullptr ? device->fuses[k] : nullptr;
        view_.setCaption(fuseBoxes()[k], label != nullptr ? label : fuseUnusedCaptions()[k]);
        view_.setChecked(fuseBoxes()[k], false);
        enable(fuseBoxes()[k], label != nullptr);
    }
    enableCommands(device);
    enable(C::mnuCPUinf, true);
    enable(C::gbEEPROM, true);
    view_.setCaption(C::txTyp, selection.FamilyTag);
    view_.setCaption(C::txCpu, device != nullptr ? device->name : "");
    view_.setValue(C::spFlash, selection.FlashSize);
    spFlashChange();
    // Without a device the EEPROM size goes to 0; the family and the flash size stay.
    view_.setValue(C::spEEprom, device != nullptr ? selection.EepromSize : 0);
    spEEpromChange();
    engine_.publishStatus();
    // The file is read for this device now, and the buffer may be another's.
    view_.dataChanged(View::DataSide::File);
    SaveSettings();
}

void Session::enableCommands(const DeviceInfo* device) {
    // What the device offers is the engine's word, the same that trilo-cli checks against.
    for (const CommandControls& row : commandControls()) {
        enable(row.button, engine_.offered(row.command));
        for (C c : row.with) {
            enable(c, engine_.offered(row.command));
        }
    }
    for (C box : lockBoxes()) {
        view_.setChecked(box, false);
    }
    enable(C::chLB3, device != nullptr && device->lockLevels >= 3);
    // The fuse parts have no serial fuse: their radio buttons show no old chip's state.
    if (device != nullptr && offers(*device).fuseFamily) {
        view_.setChecked(C::rdSON, false);
        view_.setChecked(C::rdSOFF, false);
    }
}

void Session::spFlashChange() {
    const std::int32_t typed = spinValue(view_.text(C::spFlash));
    if (engine_.setFlashSize(typed) != typed) {
        view_.setValue(C::spFlash, engine_.selection().FlashSize);
    }
}

void Session::spEEpromChange() {
    const std::int32_t typed = spinValue(view_.text(C::spEEprom));
    if (engine_.setEepromSize(typed) != typed) {
        view_.setValue(C::spEEprom, engine_.selection().EepromSize);
    }
}

// Entering one lock level's box clears the other two, so one level is chosen at a time.
void Session::chLB1Enter() {
    view_.setChecked(C::chLB2, false);
    view_.setChecked(C::chLB3, false);
}

void Session::chLB2Enter() {
    view_.setChecked(C::chLB1, false);
    view_.setChecked(C::chLB3, false);
}

void Session::chLB3Enter() {
    view_.setChecked(C::chLB2, false);
    view_.setChecked(C::chLB1, false);
}

// ---- Settings -----------------------------------------------------------------------------

void Session::LoadSettings() {
    engine_.loadSettings();
    // The window speaks the language the file names from its first text on.
    const std::string asked = languageSetting(engine_.options().SettingsPath);
    if (asked != language()) {
        setLanguage(asked);
        view_.languageChanged();
    }
    const RunOptions& o = engine_.options();
    const BoardSettings& board = engine_.boardSettings();
    // The port items name the node and the modes they stand for.
    view_.setCaption(C::mnuLPT1, engine_.portCaption(kLpt1Base));
    view_.setCaption(C::mnuLPT2, engine_.portCaption(kLpt2Base));
    // An unknown port name marks no item.
    if (board.PortBase != 0) {
        view_.setChecked(C::mnuLPT1, board.PortBase == kLpt1Base);
        view_.setChecked(C::mnuLPT2, board.PortBase == kLpt2Base);
    }
    view_.setChecked(C::mnuDL, o.AutoVerify);
    view_.setChecked(C::mnuDM, o.AutoErase);
    view_.setChecked(C::mnuFL, o.RememberFile);
    view_.setChecked(C::mnuCP, o.RememberCpu);
    view_.setChecked(C::mnuVerifyRead, o.VerifyByRead);
    if (o.RememberFile) {
        view_.setCaption(C::txFile, engine_.files().CurrentFile);
    }
}

void Session::chooseLanguage(const std::string& code) {
    if (code == language() || !setLanguage(code)) {
        return;
    }
    // What the session shows itself, in the new words; the window's own texts follow.
    view_.languageChanged();
    view_.setCaption(C::mnuLPT1, engine_.portCaption(kLpt1Base));
    view_.setCaption(C::mnuLPT2, engine_.portCaption(kLpt2Base));
    engine_.publishStatus();
    showLastCommand(lastCommand_);
    // Stored only now that the user chose it, over what the file holds now; another user's
    // file stays theirs, as every save leaves it.
    SettingsFile file(engine_.options().SettingsPath);
    file.load();
    if (file.trusted()) {
        file.set(kSetup, kLanguage, code);
        file.save();
    }
}

void Session::showLastCommand(std::function<std::string()> text) {
    lastCommand_ = std::move(text);
    view_.showLastCommand(lastCommand_ ? lastCommand_() : std::string());
}

// Each option item reverses its own mark, takes the flag from it and stores it.
void Session::toggleOption(Control item, Setting setting) {
    const bool on = !view_.checked(item);
    engine_.set(setting, on);
    view_.setChecked(item, on);
    SaveSettings();
}

void Session::mnuDMClick() {
    toggleOption(C::mnuDM, Setting::AutoErase);
}

void Session::mnuCPClick() {
    toggleOption(C::mnuCP, Setting::RememberCpu);
}

void Session::mnuFLClick() {
    toggleOption(C::mnuFL, Setting::RememberFile);
}

// "Aut. verifikovat FLASH": the writes' read-back and the erase's blank check alike.
void Session::mnuDLClick() {
    toggleOption(C::mnuDL, Setting::Checking);
}

void Session::mnuVerifyReadClick() {
    toggleOption(C::mnuVerifyRead, Setting::VerifyByRead);
}

// Switching ports drives nothing: the next operation finds the board on the new port.
void Session::choosePort(std::int32_t base) {
    view_.setChecked(C::mnuLPT1, base == kLpt1Base);
    view_.setChecked(C::mnuLPT2, base == kLpt2Base);
    engine_.choosePort(base);
    SaveSettings();
}

void Session::mnuLPT1Click() {
    choosePort(kLpt1Base);
}

void Session::mnuLPT2Click() {
    choosePort(kLpt2Base);
}

// ---- Files --------------------------------------------------------------------------------

void Session::FormClose() {
    Files& files = engine_.files();
    while (fileExists(files.BufferFile)) {
        // Yes is what Enter gives; read data go only by an explicit No, never by Esc.
        if (view_.askYesNo({_(kSaveRead), {}, true, false})) {
            SaveBufferAs();
        } else {
            removeQuietly(files.BufferFile);
            // Discarded as the user said, even if the deletion failed: the question must not
            // keep the window from closing.
            break;
        }
    }
}

void Session::mnuOpenClick() {
    Files& files = engine_.files();
    std::string choice = files.CurrentFile;
    for (;;) {
        const auto answer = view_.openFileDialog(choice);
        if (!answer) {
            // Cancel ends the command; the file chosen before stays.
            return;
        }
        choice = *answer;
        if (fileExists(choice)) {
            break;
        }
    }
    engine_.useDataFile(choice);
}

void Session::mnuSaveClick() {
    Files& files = engine_.files();
    if (files.CurrentFile.empty()) {
        SaveBufferAs();
        return;
    }
    // Without a buffer there is nothing to put in the file's place, so the file stays.
    if (!fileExists(files.BufferFile)) {
        view_.showInfo(_(kNoData));
        return;
    }
    // A file the program cannot write (the ELF a write took) is no place for a raw dump: the
    // user is told, and chooses another name as if there were none.
    if (const auto refusal = commands::saveRefusal(files.CurrentFile)) {
        view_.showInfo(refusalText(files.CurrentFile, *refusal));
        SaveBufferAs();
        return;
    }
    moveBufferTo(files.CurrentFile);
}

void Session::mnuSaveAsClick() {
    SaveBufferAs();
}

void Session::SaveBufferAs() {
    Files& files = engine_.files();
    if (!fileExists(files.BufferFile)) {
        view_.showInfo(_(kNoData));
        return;
    }
    const std::string remembered = files.CurrentFile;
    // A name of the read's own, never the data file's: three Enters must not turn the
    // program the user wrote into a dump of the chip.
    std::string preset = engine_.proposedSaveName();
    for (;;) {
        files.CurrentFile = view_.saveFileDialog(preset).value_or("");
        if (files.CurrentFile.empty()) {
            break;
        }
        // A rejected name comes back preset.
        preset = files.CurrentFile;
        if (const auto refusal = commands::saveRefusal(files.CurrentFile)) {
            view_.showInfo(refusalText(files.CurrentFile, *refusal));
            continue;
        }
        // A file the save would refuse is refused before it is offered for overwriting.
        try {
            saveTarget(files.CurrentFile);
        } catch (const SaveRefused& refused) {
            view_.showInfo(std::string(refused.what()) + ".");
            continue;
        }
        if (!fileExists(files.CurrentFile) ||
            view_.askYesNo({_(kOverwrite), files.CurrentFile, false, true})) {
            break;
        }
    }
    if (files.CurrentFile.empty()) {
        files.CurrentFile = remembered;
        return;
    }
    moveBufferTo(files.CurrentFile);
}

void Session::moveBufferTo(const std::string& target) {
    engine_.saveBufferTo(target);
    enable(C::mnuSave, false);
    enable(C::mnuSaveAs, false);
    engine_.useDataFile(target);
}

}  // namespace trilo
