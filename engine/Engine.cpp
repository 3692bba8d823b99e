#include "engine/Engine.h"

#include <algorithm>

#include "base/Errors.h"
#include "base/Text.h"
#include "board/PortList.h"
#include "devices/Catalog.h"
#include "files/BufferDir.h"
#include "settings/Settings.h"

namespace trilo {

namespace {

constexpr const char* kSetup = "SETUP_PRG";
constexpr const char* kRun = "RUN_PRG";
constexpr const char* kVerifyByRead = "VerifyByRead";

constexpr std::int32_t kFlashLimit = 32768;
constexpr std::int32_t kEepromLimit = 1024;

bool flagSetting(const SettingsFile& file, const char* key) {
    return integerSetting(file, kSetup, key, 1) != 0;
}

}  // namespace

// The face's sink as the engine passes it to the operations: the boxes are timed, so that a
// command's duration and its time left are its own however long a box stood open, and the
// gauge's text and the status line follow what the operations say.
class Engine::TimedSink final : public OperationSink {
public:
    TimedSink(Engine& engine, OperationSink& face) : engine_(engine), face_(face) {}

    void progress(int percent) override {
        if (percent != shown_) {
            shown_ = percent;
            moved(percent);
        }
        face_.progress(percent);
    }
    void info(const std::string& message) override {
        if (engine_.watcher_ != nullptr) {
            engine_.watcher_->info(message);
        }
        waiting([&] { face_.info(message); });
    }
    // The detail also goes to the status line, where it stays after the box is closed, its
    // lines joined into one.
    void detailedInfo(const std::string& message, const std::string& detail) override {
        std::string line = detail;
        for (std::size_t at = 0; (at = line.find('\n', at)) != std::string::npos;) {
            line.replace(at, 1, "; ");
        }
        note(line);
        if (engine_.watcher_ != nullptr) {
            engine_.watcher_->detailedInfo(message, detail);
        }
        waiting([&] { face_.detailedInfo(message, detail); });
    }
    bool ask(const std::string& question) override {
        return waiting([&] { return face_.ask(question); });
    }
    void status(const std::string& text) override {
        note(text);
        face_.status(text);
    }
    void identified(const ChipIdentity& chip) override {
        if (engine_.watcher_ != nullptr) {
            engine_.watcher_->identified(chip);
        }
        engine_.chip_ = chip;
        engine_.publishStatus();
        face_.identified(chip);
    }

    // A command starts on the gauge; and what its duration is, once it has ended.
    void start(Command command) {
        running_ = command;
        startUs_ = runStartUs_ = now();
        startWaited_ = runWaited_ = waitedUs_;
        lastPercent_ = 0;
    }
    std::int64_t finish() {
        running_.reset();
        return now() - startUs_ - (waitedUs_ - startWaited_);
    }

private:
    std::int64_t now() const { return engine_.timing_->nowUs(); }

    void note(const std::string& text) {
        engine_.note_ = text;
        engine_.publishStatus();
    }

    void moved(int percent) {
        if (!running_) {
            return;
        }
        // A gauge that goes back has started the command's next pass, at a pace of its own.
        if (percent < lastPercent_) {
            runStartUs_ = now();
            runWaited_ = waitedUs_;
        }
        lastPercent_ = percent;
        const std::int64_t elapsed = now() - runStartUs_ - (waitedUs_ - runWaited_);
        engine_.listener_.progressed(progressText(*running_, percent, elapsed));
    }

    template <typename F>
    auto waiting(F&& box) -> decltype(box()) {
        struct Count {
            TimedSink& sink;
            std::int64_t from;
            ~Count() { sink.waitedUs_ += sink.now() - from; }
        } count{*this, now()};
        return box();
    }

    Engine& engine_;
    OperationSink& face_;
    int shown_ = 0;  // the gauge starts at 0, and every operation leaves it there
    std::int64_t waitedUs_ = 0;
    // The command on the gauge, when it began, and when the gauge's present run from 0 began,
    // with the boxes' time at each.
    std::optional<Command> running_;
    std::int64_t startUs_ = 0;
    std::int64_t startWaited_ = 0;
    std::int64_t runStartUs_ = 0;
    std::int64_t runWaited_ = 0;
    int lastPercent_ = 0;
};

Engine::Engine(Clock& clock, Platform& platform, PortOpener& ports, OperationSink& sink,
               EngineListener& listener)
    : platform_(platform),
      clock_(clock),
      timing_(&clock),
      listener_(listener),
      sink_(std::make_unique<TimedSink>(*this, sink)),
      board_(clock, ports) {}

Engine::~Engine() = default;

void Engine::tell(const std::string& message) {
    sink_->info(message);
}

const DeviceInfo* Engine::device() const {
    return findDevice(selection_.DeviceId);
}

bool Engine::offered(Command command) const {
    const DeviceInfo* selected = device();
    return selected != nullptr && trilo::offered(commandRow(command), *selected);
}

bool Engine::handle(const std::function<void()>& handler) {
    try {
        handler();
        return true;
    } catch (const TriloError& error) {
        listener_.error(std::string(error.what()) + ".");
        return false;
    } catch (const Stopped&) {
        // The status line says where; a stop is no error.
        return false;
    } catch (const StartupAbort&) {
        throw;
    } catch (const std::exception& error) {
        // Anything else would end the program, and the next start would discard the
        // unsaved buffer: say what happened and go on.
        listener_.error(std::string(error.what()) + ".");
        return false;
    }
}

// ---- Settings, board ---------------------------------------------------------------------

void Engine::set(Setting setting, bool on) {
    switch (setting) {
        case Setting::AutoErase:
            options_.AutoErase = on;
            break;
        case Setting::Checking:
            options_.AutoVerify = options_.BlankCheck = on;
            break;
        case Setting::VerifyByRead:
            options_.VerifyByRead = on;
            break;
        case Setting::RememberFile:
            options_.RememberFile = on;
            break;
        case Setting::RememberCpu:
            options_.RememberCpu = on;
            break;
        case Setting::CheckSignature:
            options_.CheckSignature = on;
            break;
    }
}

bool Engine::setting(Setting setting) const {
    switch (setting) {
        case Setting::AutoErase:
            return options_.AutoErase;
        case Setting::Checking:
            return options_.AutoVerify;
        case Setting::VerifyByRead:
            return options_.VerifyByRead;
        case Setting::RememberFile:
            return options_.RememberFile;
        case Setting::RememberCpu:
            return options_.RememberCpu;
        case Setting::CheckSignature:
            break;
    }
    return options_.CheckSignature;
}

void Engine::loadSettings() {
    std::string dir = platform_.currentDirectory();
    if (dir.empty() || dir.back() != '/') {
        dir += '/';
    }
    options_.SettingsPath = dir + kSettingsFileName;
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
        listener_.error(_(kUntrustedSettings));
    }
    boardSettings_ = trilo::readBoardSettings(file);
    // An unknown port name leaves the port as it was.
    options_.PortName = boardSettings_.PortName;
    options_.AutoVerify = options_.BlankCheck = flagSetting(file, "VerMemm");
    options_.AutoErase = flagSetting(file, "DelMemm");
    options_.VerifyByRead = integerSetting(file, kSetup, kVerifyByRead, 0) != 0;
    options_.RememberFile = flagSetting(file, "inFile");
    options_.RememberCpu = flagSetting(file, "inCpu");
    if (options_.RememberCpu) {
        selection_.DeviceId = integerSetting(file, kRun, "CPU", 2);
        // A number no device has would leave the window half-configured: no device then.
        if (findDevice(selection_.DeviceId) == nullptr) {
            selection_.DeviceId = 0;
        }
    }
    if (options_.RememberFile) {
        files_.CurrentFile = file.value(kRun, "File").value_or("");
    }
    loadRecentFiles(file);
    // The board to drive and the trace: read here, never written.
    options_.portOptions = boardSettings_.port;
    options_.CheckSignature = boardSettings_.CheckSignature;
}

void Engine::saveSettings() {
    if (board_.link().PortBase == kLpt1Base) {
        options_.PortName = "LPT1";
    } else if (board_.link().PortBase == kLpt2Base) {
        options_.PortName = "LPT2";
    }
    // Another user's file stays theirs; the start-up said so once.
    if (settingsUntrusted_ || options_.SettingsPath.empty()) {
        return;
    }
    // A file that could not be read at start-up is never replaced by one built without it.
    if (!settingsUnreadable_.empty()) {
        throw TriloError(settingsUnreadable_);
    }
    // Re-read the file first, so what the user changed by hand meanwhile in other keys stays.
    SettingsFile file(options_.SettingsPath);
    file.load();
    file.set(kSetup, "Port", options_.PortName);
    file.set(kSetup, "Cycle", std::to_string(board_.link().PollLimit));
    file.set(kSetup, "VerMemm", options_.AutoVerify ? "1" : "0");
    file.set(kSetup, "DelMemm", options_.AutoErase ? "1" : "0");
    // A file that never had the key keeps its lines as they were.
    if (options_.VerifyByRead || file.value(kSetup, kVerifyByRead)) {
        file.set(kSetup, kVerifyByRead, options_.VerifyByRead ? "1" : "0");
    }
    file.set(kSetup, "inFile", options_.RememberFile ? "1" : "0");
    file.set(kSetup, "inCpu", options_.RememberCpu ? "1" : "0");
    file.set(kRun, "CPU", std::to_string(selection_.DeviceId));
    file.set(kRun, "File", files_.CurrentFile);
    storeRecentFiles(file);
    file.save();
}

BoardSettings Engine::readBoardSettings() {
    SettingsFile file(kSettingsFileName);
    try {
        file.load();
    } catch (const SettingsReadError& error) {
        throw TriloError(format(_("programmer.ini v aktuálním adresáři nelze přečíst: {}"),
                                error.czechReason()));
    }
    if (!file.trusted()) {
        listener_.error(_(kUntrustedSettings));
    }
    boardSettings_ = trilo::readBoardSettings(file);
    options_.CheckSignature = boardSettings_.CheckSignature;
    options_.portOptions = boardSettings_.port;
    return boardSettings_;
}

void Engine::bringUp(const BoardSettings& settings, const PpdevNodes* refuseUnaskedSim) {
    boardSettings_ = settings;
    board_.ignite();
    board_.configure(settings);
    // A user who mistyped the port, or has no ppdev, would believe a real chip was
    // programmed.
    if (refuseUnaskedSim != nullptr) {
        const PpdevNodes nodes = nodesFor(settings.port, *refuseUnaskedSim);
        const std::string& node = nodeFor(nodes, board_.link().base());
        if (chooseBoard(settings.port.board, nodeExists(node)) == BoardKind::Sim &&
            chooseBoard(settings.port.board, true) != BoardKind::Sim) {
            throw commands::PortUnusable(
                format(_("{} neexistuje, deska se nepoužije; zaveďte ovladač paralelního portu "
                         "(sudo modprobe ppdev) a přidejte se do skupiny lp (sudo usermod -aG lp "
                         "$USER); bez desky program vyzkoušíte s volbou -c sim"),
                       node));
        }
    }
    board_.open(settings.port);
    publishStatus();
}

void Engine::choosePort(std::int32_t base) {
    board_.link().PortBase = base;
    publishStatus();
}

std::string Engine::portCaption(std::int32_t base) const {
    const PpdevNodes nodes = nodesFor(boardSettings_.port);
    const bool lpt2 = base == kLpt2Base;
    return portItemCaption(lpt2 ? "LPT2" : "LPT1", lpt2 ? nodes.lpt2 : nodes.lpt1,
                           platform_.kernelRoot());
}

void Engine::publishStatus() {
    PortStatus status = board_.status();
    // The simulated board's words end with the chip in its socket, which is the chip that
    // answered: the signature then adds only its bytes, so the chip is named once.
    // Said again each time, so that a new language shows at once.
    const std::string summary = chip_ ? chip_->summary() : std::string();
    const std::string chip = summary.substr(0, summary.find(','));
    if (!chip.empty() && chip != summary && status.text.ends_with(" " + chip)) {
        status.text += summary.substr(chip.size());
    } else if (!summary.empty()) {
        status.text += " · " + summary;
    }
    if (!note_.empty()) {
        status.text += " · " + note_;
    }
    listener_.statusChanged(status);
}

// ---- Selection ----------------------------------------------------------------------------

void Engine::selectDevice(std::int32_t id) {
    selection_.DeviceId = id;
    if (const DeviceInfo* selected = device()) {
        selection_.FamilyTag = familyName(selected->family);
        selection_.FlashSize = selected->flashSize;
        selection_.EepromSize = selected->eepromSize;
    }
    chip_.reset();
    board_.seat(id);
}

std::int32_t Engine::setFlashSize(std::int32_t size) {
    return selection_.FlashSize = std::min(size, kFlashLimit);
}

std::int32_t Engine::setEepromSize(std::int32_t size) {
    return selection_.EepromSize = std::min(size, kEepromLimit);
}

// ---- Commands -----------------------------------------------------------------------------

bool Engine::execute(const std::function<void()>& work) {
    if (busy_.exchange(true)) {
        return false;
    }
    listener_.busyChanged(true);
    std::exception_ptr escaped;
    host_->runOnWorker([&] {
        try {
            work();
        } catch (...) {
            escaped = std::current_exception();
        }
    });
    busy_.store(false);
    listener_.busyChanged(false);
    if (auto file = std::exchange(pendingFile_, std::nullopt)) {
        handle([&] { openDataFile(*file); });
    }
    if (std::exchange(closeAfterStop_, false)) {
        listener_.closeAfterStop();
    }
    if (escaped) {
        std::rethrow_exception(escaped);
    }
    return true;
}

void Engine::stopForClose() {
    requestStop();
    closeAfterStop_ = true;
}

void Engine::onBoard(const std::function<void()>& commands, std::optional<bool> checkSignature) {
    checkSignature_ = checkSignature;
    runOperation([&](OpContext& c) {
        claim_ = &c;
        struct Unclaim {
            OpContext*& claim;
            ~Unclaim() { claim = nullptr; }
        } unclaim{claim_};
        commands();
    });
}

void Engine::runOperation(const std::function<void(OpContext&)>& operation) {
    note_.clear();
    const bool check =
        std::exchange(checkSignature_, std::nullopt).value_or(options_.CheckSignature);
    OpContext context =
        board_.context(files_.DataFile, files_.BufferFile, *sink_, check ? device() : nullptr);
    stop_.store(false);
    context.stop = stopSource_ != nullptr ? stopSource_ : &stop_;
    try {
        commands::runOnBoard(context, [&] { operation(context); });
    } catch (...) {
        // What a simulated chip took before the end stays in it, as in a real one.
        handle([&] { board_.keepChip(); });
        publishStatus();
        throw;
    }
    board_.keepChip();
    // A trace that stopped during the operation says so.
    publishStatus();
}

void Engine::claimed(const std::function<void(OpContext&)>& operation) {
    if (claim_ == nullptr) {
        runOperation(operation);
        return;
    }
    note_.clear();
    operation(*claim_);
}

RunChecks Engine::optionChecks() const {
    return {options_.AutoVerify, options_.BlankCheck, options_.VerifyByRead,
            options_.CheckSignature};
}

CommandResult Engine::run(Command id, const CommandArgs& args) {
    CommandArgs own = args;
    own.autoErase = args.autoErase.value_or(options_.AutoErase);
    return run(PlanStep{id, own, {}}, optionChecks());
}

void Engine::runPlan(const Plan& plan,
                     const std::function<bool(const PlanStep&, const CommandResult&)>& ended,
                     const std::function<void(const PlanStep&)>& starting) {
    const auto steps = [&] {
        for (const PlanStep& step : plan.steps) {
            if (starting) {
                starting(step);
            }
            const CommandResult result = run(step, plan.checks);
            if (!ended(step, result) || result.outcome() != commands::Outcome::Done) {
                return;
            }
        }
    };
    if (claim_ != nullptr) {
        steps();
    } else {
        onBoard(steps, plan.checks.checkSignature);
    }
}

CommandResult Engine::run(const PlanStep& step, const RunChecks& checks) {
    using commands::Outcome;
    const Command id = step.command;
    const CommandArgs& args = step.args;
    const CommandRow& row = commandRow(id);
    CommandResult result;
    Report& report = result.report;
    report.command = id;
    report.outcome = Outcome::Failed;
    const DeviceInfo* selected = device();
    if (selected == nullptr) {
        report.outcome = Outcome::NotOffered;
        return result;
    }
    report.verified = countsChecked(row, checks.readBack, checks.blankCheck);
    OpParams params{selected,
                    selection_.FlashSize,
                    selection_.EepromSize,
                    row.checkedBy == CheckedBy::BlankCheck
                        ? checks.blankCheck
                        : row.checkedBy == CheckedBy::ReadBack && checks.readBack,
                    {}};
    params.VerifyByRead = checks.verifyByRead;
    if (args.lockLevel > 0 && id == Command::WriteFlash) {
        params.locks[static_cast<std::size_t>(args.lockLevel - 1)] = true;
    }
    const commands::InputFile file(args.file.value_or(files_.CurrentFile), args.format);
    sink_->start(id);
    // The last command's words would read as this one's.
    listener_.commandStarted(progressText(id, 0, 0));
    const auto finish = [&] {
        report.durationUs = sink_->finish();
        listener_.commandFinished(report);
    };
    try {
        claimed([&](OpContext& c) {
            c.bytes = 0;
            c.difference.reset();
            CommandCall call{c, params, file, args, args.autoErase.value_or(false), result};
            report.outcome = row.run(call);
            report.bytes = c.bytes;
            result.difference = c.difference;
            if (c.difference) {
                report.address = c.difference->address;
                report.fileOffset = c.difference->fileOffset;
            }
        });
    } catch (const Stopped& stopped) {
        report.outcome = Outcome::Stopped;
        report.address = stopped.address();
        sink_->progress(0);
        finish();
        throw;
    } catch (...) {
        report.outcome = Outcome::Failed;
        finish();
        throw;
    }
    finish();
    // A read left data in the buffer that can be saved.
    const bool flash = row.leaves == Leaves::FlashBuffer || row.leaves == Leaves::Checksum;
    if (report.outcome == Outcome::Done && (flash || row.leaves == Leaves::EepromBuffer)) {
        files_.bufferContent =
            flash ? commands::ReadContent(*selected) : commands::BufferContent::AvrEeprom;
        files_.bufferDevice = selection_.DeviceId;
        listener_.bufferChanged();
    }
    return result;
}

// ---- The board test -----------------------------------------------------------------------

// The user took the chip out for the test: the simulated socket that follows the selection is
// empty meanwhile, and the selected chip is back afterwards.
class Engine::EmptySocket {
public:
    explicit EmptySocket(Engine& engine) : engine_(engine) { engine_.board_.seat(0); }
    ~EmptySocket() { engine_.board_.seat(engine_.selection_.DeviceId); }
    EmptySocket(const EmptySocket&) = delete;
    EmptySocket& operator=(const EmptySocket&) = delete;

private:
    Engine& engine_;
};

std::optional<BoardTestResult> Engine::boardTest(
    const std::function<void(const BoardCheckResult&)>& told) {
    if (!sink_->ask(_(kBoardTestQuestion))) {
        return std::nullopt;
    }
    note_.clear();
    BoardTestResult result;
    {
        const EmptySocket empty(*this);
        OpContext c = board_.context(files_.DataFile, files_.BufferFile, *sink_, nullptr);
        runReleasing(c, [&] { result = runBoardTest(board_.link(), told); });
    }
    publishStatus();
    return result;
}

bool Engine::holdControlByte(std::uint8_t byte, const std::function<void()>& held) {
    if (!sink_->ask(_(kBoardTestQuestion))) {
        return false;
    }
    note_.clear();
    {
        const EmptySocket empty(*this);
        OpContext c = board_.context(files_.DataFile, files_.BufferFile, *sink_, nullptr);
        commands::runOnBoard(c, [&] {
            latchForHold(board_.link(), byte);
            held();
            board_.rest();
        });
    }
    publishStatus();
    return true;
}

}  // namespace trilo
