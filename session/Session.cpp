#include "session/Session.h"

#include "base/Errors.h"
#include "board/BoardSettings.h"
#include "commands/Commands.h"
#include "session/DeviceControls.h"
#include "data/BufferDir.h"
#include "data/Settings.h"
#include "devices/Catalog.h"
#include "ops/FamilyTable.h"

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
    : view_(v), sink_(v, clock), platform_(platform), clock_(clock), board_(clock, ports) {
    sink_.onIdentified = [this](const std::string& summary) {
        chipSummary_ = summary;
        updateStatusLine();
    };
    sink_.onStatus = [this](const std::string& text) {
        note_ = text;
        updateStatusLine();
    };
    sink_.onProgress = [this](int percent) {
        if (!running_) {
            return;
        }
        // A gauge that goes back has started the command's next pass, at a pace of its own.
        if (percent < lastPercent_) {
            runStartUs_ = clock_.nowUs();
            runWaitedUs_ = sink_.waitedUs();
        }
        lastPercent_ = percent;
        const std::int64_t elapsed =
            clock_.nowUs() - runStartUs_ - (sink_.waitedUs() - runWaitedUs_);
        view_.setCaption(Control::Gauge1, commands::progressText(*running_, percent, elapsed));
    };
}

Session::~Session() = default;

bool Session::handle(const std::function<void()>& handler) {
    try {
        handler();
        return true;
    } catch (const TriloError& error) {
        view_.showError(std::string(error.what()) + ".");
        return false;
    } catch (const Stopped&) {
        // The status line says where; a stop is no error.
        return false;
    } catch (const StartupAbort&) {
        throw;
    } catch (const std::exception& error) {
        // Anything else would end the program, and the next start would discard the
        // unsaved buffer: say what happened and go on.
        view_.showError(std::string(error.what()) + ".");
        return false;
    }
}

void ViewSink::progress(int percent) {
    if (percent != shown_) {
        shown_ = percent;
        if (onProgress) {
            onProgress(percent);
        }
        view_.setValue(Control::Gauge1, percent);
    }
}

template <typename F>
auto ViewSink::waiting(F&& box) -> decltype(box()) {
    const std::int64_t from = clock_.nowUs();
    struct Count {
        ViewSink& sink;
        std::int64_t from;
        ~Count() { sink.waitedUs_ += sink.clock_.nowUs() - from; }
    } count{*this, from};
    return box();
}

void ViewSink::info(const std::string& message) {
    waiting([&] { view_.showInfo(message); });
}

void ViewSink::detailedInfo(const std::string& message, const std::string& detail) {
    status(detail);
    waiting([&] { view_.showInfo(message, detail); });
}

void ViewSink::status(const std::string& text) {
    if (onStatus) {
        onStatus(text);
    }
}

bool ViewSink::ask(const std::string& question) {
    // An operation asks only whether to go on in a doubtful case, such as another chip in
    // the socket: Enter and Esc leave the chip alone.
    return waiting([&] { return view_.askYesNo({question, {}, false, true}); });
}

void ViewSink::identified(const std::string& summary) {
    if (onIdentified) {
        onIdentified(summary);
    }
}

void Session::runOperation(const std::function<void(OpContext&)>& operation) {
    note_.clear();
    OpContext context =
        board_.context(files_.DataFile, files_.BufferFile, sink_,
                       options_.CheckSignature ? findDevice(selection_.DeviceId) : nullptr);
    stop_.store(false);
    context.stop = &stop_;
    try {
        commands::runOnBoard(context, [&] { operation(context); });
    } catch (...) {
        updateStatusLine();
        throw;
    }
    // A trace that stopped during the operation says so.
    updateStatusLine();
}

void Session::runCommand(commands::Command command,
                         const std::function<commands::Outcome(OpContext&)>& operation) {
    using commands::Command;
    using commands::Outcome;
    commands::Report report;
    report.command = command;
    report.outcome = Outcome::Failed;
    report.verified =
        command == Command::Verify ||
        (options_.AutoVerify && (command == Command::WriteFlash || command == Command::Erase ||
                                 command == Command::WriteEeprom));
    const std::int64_t start = clock_.nowUs();
    const std::int64_t waited = sink_.waitedUs();
    running_ = command;
    runStartUs_ = start;
    runWaitedUs_ = waited;
    lastPercent_ = 0;
    // The last command's words would read as this one's.
    view_.showLastCommand("");
    view_.setCaption(Control::Gauge1, commands::progressText(command, 0, 0));
    const auto finish = [&] {
        running_.reset();
        report.durationUs = clock_.nowUs() - start - (sink_.waitedUs() - waited);
        view_.setCaption(Control::Gauge1, "");
        view_.showLastCommand(commands::reportText(report));
    };
    try {
        runOperation([&](OpContext& c) {
            report.outcome = operation(c);
            report.bytes = c.bytes;
            if (c.difference) {
                report.address = c.difference->address;
            }
        });
    } catch (const Stopped& stopped) {
        report.outcome = Outcome::Stopped;
        report.address = stopped.address();
        sink_.progress(0);
        finish();
        throw;
    } catch (...) {
        report.outcome = Outcome::Failed;
        finish();
        throw;
    }
    finish();
}

void Session::FormCreate() {
    // 1 (the device names are the catalog's). 2, 3. The buffer path in the user's private
    // directory; a stale buffer goes.
    setupBuffer();
    // 4. The port library starts before the settings are known.
    board_.ignite();
    // 5, 6. The settings.
    std::string dir = platform_.currentDirectory();
    if (dir.empty() || dir.back() != '/') {
        dir += '/';
    }
    options_.SettingsPath = dir + kSettingsFileName;
    LoadSettings();
    board_.open(options_.portOptions);
    updateStatusLine();
    // 7. Nothing read yet, nothing to save.
    view_.setEnabled(Control::mnuSave, false);
    view_.setEnabled(Control::mnuSaveAs, false);
    // 8. The board starts at rest, the start-up's trace on disk before the user starts anything.
    board_.rest();
    // 9. The stored device, which also rewrites the settings file.
    ApplyDeviceSelection();
}

void Session::mnuExitClick() {
    view_.closeWindow();
}

void Session::mnuAboutClick() {
    view_.showAbout();
}

// ---- Port ------------------------------------------------------------------------------

PortStatus Session::portStatus() const {
    return board_.status();
}

void Session::updateStatusLine() {
    PortStatus status = portStatus();
    // The simulated board's words end with the chip in its socket, which is the chip that
    // answered: the signature then adds only its bytes, so the chip is named once.
    const std::string chip = chipSummary_.substr(0, chipSummary_.find(','));
    if (!chip.empty() && chip != chipSummary_ && status.text.ends_with(" " + chip)) {
        status.text += chipSummary_.substr(chip.size());
    } else if (!chipSummary_.empty()) {
        status.text += " · " + chipSummary_;
    }
    if (!note_.empty()) {
        status.text += " · " + note_;
    }
    view_.showPortStatus(status);
}

// ---- Device selection -------------------------------------------------------------------

void Session::selectDevice(std::int32_t id) {
    selection_.DeviceId = id;
    ApplyDeviceSelection();
}

void Session::ApplyDeviceSelection() {
    using C = Control;
    // 1.
    for (C c : {C::spFlash, C::btnRead, C::btnWrite, C::btnErase, C::btnVerify, C::btnReadLB,
                C::chLB1, C::chLB2, C::chLB3, C::rdSOFF, C::rdSON, C::btnReadS, C::btnWriteS}) {
        view_.setEnabled(c, true);
    }
    // 2.
    for (const DeviceInfo& device : deviceCatalog()) {
        view_.setChecked(menuItemOf(device.id), false);
    }
    // 3.
    for (std::size_t k = 0; k < fuseBoxes().size(); ++k) {
        view_.setCaption(fuseBoxes()[k], fuseUnusedCaptions()[k]);
    }
    for (C box : fuseBoxes()) {
        view_.setChecked(box, false);
        view_.setEnabled(box, false);
    }
    // 4.
    view_.setValue(C::spEEprom, 0);
    spEEpromChange();
    // 5.
    const DeviceInfo* device = findDevice(selection_.DeviceId);
    if (device != nullptr) {
        view_.setChecked(menuItemOf(device->id), true);
        selection_.FamilyTag = familyName(device->family);
        selection_.FlashSize = device->flashSize;
        selection_.EepromSize = device->eepromSize;
        for (std::size_t k = 0; k < fuseBoxes().size(); ++k) {
            if (device->fuses[k] != nullptr) {
                view_.setEnabled(fuseBoxes()[k], true);
                view_.setChecked(fuseBoxes()[k], false);
                view_.setCaption(fuseBoxes()[k], device->fuses[k]);
            }
        }
    }
    // 6.
    view_.setEnabled(C::mnuCPUinf, true);
    view_.setEnabled(C::btnReadFuse, false);
    view_.setEnabled(C::btnWrFuse, false);
    view_.setChecked(C::chLB1, false);
    view_.setChecked(C::chLB2, false);
    view_.setChecked(C::chLB3, false);
    view_.setEnabled(C::gbEEPROM, true);
    for (C c : {C::chLB3, C::btnReadLB, C::rdSON, C::rdSOFF, C::btnReadS, C::btnWriteS}) {
        view_.setEnabled(c, true);
    }
    for (C c : {C::btnReaEE, C::btnWriEE, C::spEEprom}) {
        view_.setEnabled(c, false);
    }
    // 7.
    view_.setCaption(C::txTyp, selection_.FamilyTag);
    view_.setCaption(C::txCpu, device != nullptr ? device->name : "");
    view_.setValue(C::spFlash, selection_.FlashSize);
    spFlashChange();
    // 8, 9. A device with two lock levels has no box 3.
    const Offers offered = device != nullptr ? offers(*device) : Offers{};
    if (device != nullptr && offered.lockLevels < 3) {
        view_.setChecked(C::chLB3, false);
        view_.setEnabled(C::chLB3, false);
    }
    if (device != nullptr && !offered.readLock) {
        for (C c : {C::btnReadLB, C::rdSON, C::rdSOFF, C::btnReadS, C::btnWriteS}) {
            view_.setEnabled(c, false);
        }
    }
    // 10.
    if (offered.fuseFamily) {
        view_.setEnabled(C::spEEprom, true);
        view_.setValue(C::spEEprom, selection_.EepromSize);
        spEEpromChange();
        for (C c : {C::rdSON, C::rdSOFF}) {
            view_.setChecked(c, false);
            view_.setEnabled(c, false);
        }
        view_.setEnabled(C::btnReadS, false);
        view_.setEnabled(C::btnWriteS, false);
        view_.setEnabled(C::btnReadFuse, true);
        view_.setEnabled(C::btnWrFuse, true);
        if (!offered.eeprom) {
            view_.setEnabled(C::spEEprom, false);
        } else {
            view_.setEnabled(C::btnReaEE, true);
            view_.setEnabled(C::btnWriEE, true);
        }
        if (!offered.fuses) {
            view_.setEnabled(C::btnReadFuse, false);
            view_.setEnabled(C::btnWrFuse, false);
        }
    }
    // 11.
    if (selection_.DeviceId == 0) {
        for (C c : {C::spFlash, C::btnRead, C::btnWrite, C::btnErase, C::btnVerify, C::btnReadLB,
                    C::chLB1, C::chLB2, C::chLB3, C::rdSOFF, C::rdSON, C::btnReadS, C::btnWriteS}) {
            view_.setEnabled(c, false);
        }
    }
    // The simulated board puts the chosen device's chip in its socket; what answered the
    // last check was another device's.
    view_.setEnabled(C::mnuSignature, selection_.DeviceId != 0);
    chipSummary_.clear();
    board_.seat(selection_.DeviceId);
    // The board's name, and whether the start-up's trace reached its file.
    updateStatusLine();
    // The file is read for this device now, and the buffer may be another's.
    view_.dataChanged(View::DataSide::File);
    // 12.
    SaveSettings();
}

void Session::spFlashChange() {
    selection_.FlashSize = spinValue(view_.text(Control::spFlash));
    if (selection_.FlashSize > kFlashLimit) {
        selection_.FlashSize = kFlashLimit;
        view_.setValue(Control::spFlash, kFlashLimit);
    }
}

void Session::spEEpromChange() {
    selection_.EepromSize = spinValue(view_.text(Control::spEEprom));
    if (selection_.EepromSize > kEepromLimit) {
        selection_.EepromSize = kEepromLimit;
        view_.setValue(Control::spEEprom, kEepromLimit);
    }
}

// Entering one lock level's box clears the other two, so one level is chosen at a time.
void Session::chLB1Enter() {
    view_.setChecked(Control::chLB2, false);
    view_.setChecked(Control::chLB3, false);
}

void Session::chLB2Enter() {
    view_.setChecked(Control::chLB1, false);
    view_.setChecked(Control::chLB3, false);
}

void Session::chLB3Enter() {
    view_.setChecked(Control::chLB2, false);
    view_.setChecked(Control::chLB1, false);
}

// ---- Settings ---------------------------------------------------------------------------

void Session::LoadSettings() {
    SettingsFile file(options_.SettingsPath);
    settingsUnreadable_.clear();
    try {
        file.load();
    } catch (const SettingsReadError& error) {
        // The run goes on with the defaults; the saves say why and leave the file alone.
        settingsUnreadable_ = error.what();
    }
    settingsUntrusted_ = !file.trusted();
    if (settingsUntrusted_) {
        view_.showError(kUntrustedSettings);
    }
    const BoardSettings board = readBoardSettings(file);
    // 1. An unknown port name marks no item and leaves the port as it was.
    options_.PortName = board.PortName;
    if (board.PortBase != 0) {
        view_.setChecked(Control::mnuLPT1, board.PortBase == kLpt1Base);
        view_.setChecked(Control::mnuLPT2, board.PortBase == kLpt2Base);
    }
    // 2.
    board_.configure(board);
    // 3 - 6.
    options_.AutoVerify = flagSetting(file, "VerMemm");
    view_.setChecked(Control::mnuDL, options_.AutoVerify);
    options_.AutoErase = flagSetting(file, "DelMemm");
    view_.setChecked(Control::mnuDM, options_.AutoErase);
    options_.RememberFile = flagSetting(file, "inFile");
    view_.setChecked(Control::mnuFL, options_.RememberFile);
    options_.RememberCpu = flagSetting(file, "inCpu");
    view_.setChecked(Control::mnuCP, options_.RememberCpu);
    if (options_.RememberCpu) {
        selection_.DeviceId = integerSetting(file, kRun, "CPU", 2);
        // A number no device has would leave the window half-configured: no device then.
        if (findDevice(selection_.DeviceId) == nullptr) {
            selection_.DeviceId = 0;
        }
    }
    // 7.
    if (options_.RememberFile) {
        files_.CurrentFile = file.value(kRun, "File").value_or("");
        view_.setCaption(Control::txFile, files_.CurrentFile);
    }
    loadRecentFiles(file);
    // The board to drive and the trace: read here, never written.
    options_.portOptions = board.port;
    options_.CheckSignature = board.CheckSignature;
}

void Session::SaveSettings() {
    // 1.
    if (board_.link().PortBase == kLpt1Base) {
        options_.PortName = "LPT1";
    } else if (board_.link().PortBase == kLpt2Base) {
        options_.PortName = "LPT2";
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
    SettingsFile file(options_.SettingsPath);
    file.load();
    // 2, 3.
    file.set(kSetup, "Port", options_.PortName);
    file.set(kSetup, "Cycle", std::to_string(board_.link().PollLimit));
    file.set(kSetup, "VerMemm", options_.AutoVerify ? "1" : "0");
    file.set(kSetup, "DelMemm", options_.AutoErase ? "1" : "0");
    file.set(kSetup, "inFile", options_.RememberFile ? "1" : "0");
    file.set(kSetup, "inCpu", options_.RememberCpu ? "1" : "0");
    file.set(kRun, "CPU", std::to_string(selection_.DeviceId));
    file.set(kRun, "File", files_.CurrentFile);
    storeRecentFiles(file);
    file.save();
}

// Each option item reverses its own mark, takes the flag from it and stores it.
void Session::toggleOption(Control item, bool& flag) {
    flag = !view_.checked(item);
    view_.setChecked(item, flag);
    SaveSettings();
}

void Session::mnuDMClick() {
    toggleOption(Control::mnuDM, options_.AutoErase);
}

void Session::mnuCPClick() {
    toggleOption(Control::mnuCP, options_.RememberCpu);
}

void Session::mnuFLClick() {
    toggleOption(Control::mnuFL, options_.RememberFile);
}

void Session::mnuDLClick() {
    toggleOption(Control::mnuDL, options_.AutoVerify);
}

// Switching ports drives nothing: the next operation finds the board on the new port.
void Session::choosePort(std::int32_t base) {
    view_.setChecked(Control::mnuLPT1, base == kLpt1Base);
    view_.setChecked(Control::mnuLPT2, base == kLpt2Base);
    board_.link().PortBase = base;
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
