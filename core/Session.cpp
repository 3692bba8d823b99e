#include "core/Session.h"

#include "base/Errors.h"
#include "commands/Commands.h"
#include "core/BoardSettings.h"
#include "core/DeviceControls.h"
#include "data/BufferDir.h"
#include "data/Settings.h"
#include "devices/Catalog.h"
#include "sim/SimulatedBoard.h"

namespace trilo {

namespace {

constexpr const char* kSetup = "SETUP_PRG";
constexpr const char* kRun = "RUN_PRG";

constexpr std::int32_t kFlashLimit = 32768;
constexpr std::int32_t kEepromLimit = 1024;

// A spin edit's text as its change handler reads it: a valid integer or 0.
std::int32_t spinValue(const std::string& text) {
    return parseSettingsInteger(text).value_or(0);
}

bool flagSetting(const SettingsFile& file, const char* key) {
    return integerSetting(file, kSetup, key, 1) != 0;
}

}  // namespace

Session::Session(View& v, Clock& clock, Platform& platform, PortOpener& ports)
    : link(portinc, clock), view(v), sink_(v), clock_(clock), platform_(platform), ports_(ports) {
    sink_.onIdentified = [this](const std::string& summary) {
        chipSummary_ = summary;
        updateStatusLine();
    };
    sink_.onStatus = [this](const std::string& text) {
        note_ = text;
        updateStatusLine();
    };
}

Session::~Session() = default;

bool Session::handle(const std::function<void()>& handler) {
    try {
        handler();
        return true;
    } catch (const TriloError& error) {
        view.showError(std::string(error.what()) + ".");
        return false;
    } catch (const StartupAbort&) {
        throw;
    } catch (const std::exception& error) {
        // Anything else would end the program, and the next start would discard the
        // unsaved buffer: say what happened and go on.
        view.showError(std::string(error.what()) + ".");
        return false;
    }
}

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
    status(detail);
    view_.showInfo(message, detail);
}

void ViewSink::status(const std::string& text) {
    if (onStatus) {
        onStatus(text);
    }
}

bool ViewSink::ask(const std::string& question) {
    return view_.askYesNo(question);
}

void ViewSink::identified(const std::string& summary) {
    if (onIdentified) {
        onIdentified(summary);
    }
}

void Session::runOperation(const std::function<void(OpContext&)>& operation) {
    note_.clear();
    OpContext context{link, DataFile, BufferFile, sink_};
    context.expected = CheckSignature ? findDevice(DeviceId) : nullptr;
    try {
        commands::runOnBoard(context, [&] { operation(context); });
    } catch (...) {
        updateStatusLine();
        throw;
    }
    // A trace that stopped during the operation says so.
    updateStatusLine();
}

void Session::FormCreate() {
    // 1. The device-name table.
    DeviceNames.fill(std::string());
    for (const DeviceInfo& device : deviceCatalog()) {
        DeviceNames[static_cast<std::size_t>(device.id)] = device.name;
    }
    // 2, 3. The buffer path in the user's private directory; a stale buffer goes.
    setupBuffer();
    // 4. The port library starts before the settings are known.
    portinc.Ignite();
    // 5, 6. The settings.
    std::string dir = platform_.currentDirectory();
    if (dir.empty() || dir.back() != '/') {
        dir += '/';
    }
    SettingsPath = dir + "programmer.ini";
    LoadSettings();
    openPort();
    // 7. Nothing read yet, nothing to save.
    view.setEnabled(Control::mnuSave, false);
    view.setEnabled(Control::mnuSaveAs, false);
    // 8. The board starts at rest.
    link.ReleaseTarget();
    link.SetDataLines(0x00);
    // The release flushed the trace before this last write; the start-up's lines all belong
    // on disk before the user starts anything.
    portinc.Flush();
    // 9. The stored device, which also rewrites the settings file.
    ApplyDeviceSelection();
}

void Session::mnuExitClick() {
    view.closeWindow();
}

void Session::mnuAboutClick() {
    view.showAbout();
}

// ---- Port ------------------------------------------------------------------------------

void Session::openPort() {
    portOptions.base = link.base();
    port_ = ports_.openPort(portOptions, clock_);
    link.useClock(port_.clock ? *port_.clock : clock_);
    portinc.attach(port_.layer.get());
    updateStatusLine();
}

PortStatus Session::portStatus() const {
    return link.portStatus();
}

void Session::updateStatusLine() {
    PortStatus status = portStatus();
    for (const std::string* part : {&chipSummary_, &note_}) {
        if (!part->empty()) {
            status.text += " · " + *part;
        }
    }
    view.showPortStatus(status);
}

// ---- Device selection -------------------------------------------------------------------

void Session::selectDevice(std::int32_t id) {
    DeviceId = id;
    ApplyDeviceSelection();
}

void Session::ApplyDeviceSelection() {
    using C = Control;
    // 1.
    for (C c : {C::spFlash, C::btnRead, C::btnWrite, C::btnErase, C::btnVerify, C::btnReadLB,
                C::chLB1, C::chLB2, C::chLB3, C::rdSOFF, C::rdSON, C::btnReadS, C::btnWriteS}) {
        view.setEnabled(c, true);
    }
    // 2.
    for (const DeviceInfo& device : deviceCatalog()) {
        view.setChecked(menuItemOf(device.id), false);
    }
    // 3.
    for (std::size_t k = 0; k < fuseBoxes().size(); ++k) {
        view.setCaption(fuseBoxes()[k], fuseUnusedCaptions()[k]);
    }
    for (C box : fuseBoxes()) {
        view.setChecked(box, false);
        view.setEnabled(box, false);
    }
    // 4.
    view.setValue(C::spEEprom, 0);
    spEEpromChange();
    // 5.
    const DeviceInfo* device = findDevice(DeviceId);
    if (device != nullptr) {
        view.setChecked(menuItemOf(device->id), true);
        FamilyTag = device->family;
        FlashSize = device->flashSize;
        EepromSize = device->eepromSize;
        for (std::size_t k = 0; k < fuseBoxes().size(); ++k) {
            if (device->fuses[k] != nullptr) {
                view.setEnabled(fuseBoxes()[k], true);
                view.setChecked(fuseBoxes()[k], false);
                view.setCaption(fuseBoxes()[k], device->fuses[k]);
            }
        }
    }
    // 6.
    view.setEnabled(C::mnuCPUinf, true);
    view.setEnabled(C::btnReadFuse, false);
    view.setEnabled(C::btnWrFuse, false);
    view.setChecked(C::chLB1, false);
    view.setChecked(C::chLB2, false);
    view.setChecked(C::chLB3, false);
    view.setEnabled(C::gbEEPROM, true);
    for (C c : {C::chLB3, C::btnReadLB, C::rdSON, C::rdSOFF, C::btnReadS, C::btnWriteS}) {
        view.setEnabled(c, true);
    }
    for (C c : {C::btnReaEE, C::btnWriEE, C::spEEprom}) {
        view.setEnabled(c, false);
    }
    // 7.
    view.setCaption(C::txTyp, FamilyTag);
    const bool named = DeviceId >= 0 && DeviceId < static_cast<std::int32_t>(DeviceNames.size());
    view.setCaption(C::txCpu, named ? DeviceNames[static_cast<std::size_t>(DeviceId)] : "");
    view.setValue(C::spFlash, FlashSize);
    spFlashChange();
    // 8, 9. A device with two lock levels has no box 3.
    if (device != nullptr && device->lockLevels < 3) {
        view.setChecked(C::chLB3, false);
        view.setEnabled(C::chLB3, false);
    }
    if (FamilyTag == kFamilyX051 || FamilyTag == kFamilyX51) {
        for (C c : {C::btnReadLB, C::rdSON, C::rdSOFF, C::btnReadS, C::btnWriteS}) {
            view.setEnabled(c, false);
        }
    }
    // 10.
    if (FamilyTag == kFamilyAvr) {
        view.setEnabled(C::spEEprom, true);
        view.setValue(C::spEEprom, EepromSize);
        spEEpromChange();
        for (C c : {C::rdSON, C::rdSOFF}) {
            view.setChecked(c, false);
            view.setEnabled(c, false);
        }
        view.setEnabled(C::btnReadS, false);
        view.setEnabled(C::btnWriteS, false);
        view.setEnabled(C::btnReadFuse, true);
        view.setEnabled(C::btnWrFuse, true);
        if (device != nullptr && !device->eepromOps) {
            view.setEnabled(C::spEEprom, false);
        } else {
            view.setEnabled(C::btnReaEE, true);
            view.setEnabled(C::btnWriEE, true);
        }
        if (device != nullptr && !device->fuseOps) {
            view.setEnabled(C::btnReadFuse, false);
            view.setEnabled(C::btnWrFuse, false);
        }
    }
    // 11.
    if (DeviceId == 0) {
        for (C c : {C::spFlash, C::btnRead, C::btnWrite, C::btnErase, C::btnVerify, C::btnReadLB,
                    C::chLB1, C::chLB2, C::chLB3, C::rdSOFF, C::rdSON, C::btnReadS, C::btnWriteS}) {
            view.setEnabled(c, false);
        }
    }
    // The simulated board puts the chosen device's chip in its socket; what answered the
    // last check was another device's.
    view.setEnabled(C::mnuSignature, DeviceId != 0);
    chipSummary_.clear();
    if (port_.board != nullptr) {
        port_.board->selectDevice(DeviceId);
    }
    // The board's name, and whether the start-up's trace reached its file.
    updateStatusLine();
    // 12.
    SaveSettings();
}

void Session::spFlashChange() {
    FlashSize = spinValue(view.text(Control::spFlash));
    if (FlashSize > kFlashLimit) {
        FlashSize = kFlashLimit;
        view.setValue(Control::spFlash, kFlashLimit);
    }
}

void Session::spEEpromChange() {
    EepromSize = spinValue(view.text(Control::spEEprom));
    if (EepromSize > kEepromLimit) {
        EepromSize = kEepromLimit;
        view.setValue(Control::spEEprom, kEepromLimit);
    }
}

// Entering one lock level's box clears the other two, so one level is chosen at a time.
void Session::chLB1Enter() {
    view.setChecked(Control::chLB2, false);
    view.setChecked(Control::chLB3, false);
}

void Session::chLB2Enter() {
    view.setChecked(Control::chLB1, false);
    view.setChecked(Control::chLB3, false);
}

void Session::chLB3Enter() {
    view.setChecked(Control::chLB2, false);
    view.setChecked(Control::chLB1, false);
}

// ---- Settings ---------------------------------------------------------------------------

void Session::LoadSettings() {
    SettingsFile file(SettingsPath);
    settingsUnreadable_.clear();
    try {
        file.load();
    } catch (const SettingsReadError& error) {
        // The run goes on with the defaults; the saves say why and leave the file alone.
        settingsUnreadable_ = error.what();
    }
    settingsUntrusted_ = !file.trusted();
    if (settingsUntrusted_) {
        view.showError(kUntrustedSettings);
    }
    const BoardSettings board = readBoardSettings(file);
    // 1. An unknown port name marks no item and leaves the port as it was.
    PortName = board.PortName;
    if (board.PortBase != 0) {
        view.setChecked(Control::mnuLPT1, board.PortBase == kLpt1Base);
        view.setChecked(Control::mnuLPT2, board.PortBase == kLpt2Base);
        link.PortBase = board.PortBase;
    }
    // 2.
    link.PollLimit = board.PollLimit;
    // 3 - 6.
    AutoVerify = flagSetting(file, "VerMemm");
    view.setChecked(Control::mnuDL, AutoVerify);
    AutoErase = flagSetting(file, "DelMemm");
    view.setChecked(Control::mnuDM, AutoErase);
    RememberFile = flagSetting(file, "inFile");
    view.setChecked(Control::mnuFL, RememberFile);
    RememberCpu = flagSetting(file, "inCpu");
    view.setChecked(Control::mnuCP, RememberCpu);
    if (RememberCpu) {
        DeviceId = integerSetting(file, kRun, "CPU", 2);
        // A number no device has would leave the window half-configured: no device then.
        if (DeviceId < 0 || DeviceId > kDeviceCount) {
            DeviceId = 0;
        }
    }
    // 7.
    if (RememberFile) {
        CurrentFile = file.value(kRun, "File").value_or("");
        view.setCaption(Control::txFile, CurrentFile);
    }
    // The board to drive and the trace: read here, never written.
    portOptions = board.port;
    CheckSignature = board.CheckSignature;
}

void Session::SaveSettings() {
    // 1.
    if (link.PortBase == kLpt1Base) {
        PortName = "LPT1";
    } else if (link.PortBase == kLpt2Base) {
        PortName = "LPT2";
    }
    // Another user's file stays theirs; the start-up said so once.
    if (settingsUntrusted_) {
        return;
    }
    // A file that could not be read at start-up is never replaced by one built without it.
    if (!settingsUnreadable_.empty()) {
        throw TriloError(settingsUnreadable_);
    }
    // Re-read the file first, so what the user changed by hand meanwhile in other keys stays.
    SettingsFile file(SettingsPath);
    file.load();
    // 2, 3.
    file.set(kSetup, "Port", PortName);
    file.set(kSetup, "Cycle", std::to_string(link.PollLimit));
    file.set(kSetup, "VerMemm", AutoVerify ? "1" : "0");
    file.set(kSetup, "DelMemm", AutoErase ? "1" : "0");
    file.set(kSetup, "inFile", RememberFile ? "1" : "0");
    file.set(kSetup, "inCpu", RememberCpu ? "1" : "0");
    file.set(kRun, "CPU", std::to_string(DeviceId));
    file.set(kRun, "File", CurrentFile);
    file.save();
}

// Each option item reverses its own mark, takes the flag from it and stores it.
void Session::toggleOption(Control item, bool& flag) {
    flag = !view.checked(item);
    view.setChecked(item, flag);
    SaveSettings();
}

void Session::mnuDMClick() {
    toggleOption(Control::mnuDM, AutoErase);
}

void Session::mnuCPClick() {
    toggleOption(Control::mnuCP, RememberCpu);
}

void Session::mnuFLClick() {
    toggleOption(Control::mnuFL, RememberFile);
}

void Session::mnuDLClick() {
    toggleOption(Control::mnuDL, AutoVerify);
}

// Switching ports drives nothing: the next operation finds the board on the new port.
void Session::choosePort(std::int32_t base) {
    view.setChecked(Control::mnuLPT1, base == kLpt1Base);
    view.setChecked(Control::mnuLPT2, base == kLpt2Base);
    link.PortBase = base;
    updateStatusLine();
    SaveSettings();
}

void Session::mnuLPT1Click() {
    choosePort(kLpt1Base);
}

void Session::mnuLPT2Click() {
    choosePort(kLpt2Base);
}

}  // namespace trilo
