#include "cli/Run.h"

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "base/Clock.h"
#include "base/Platform.h"
#include "base/Printable.h"
#include "base/SystemReason.h"
#include "board/PortList.h"
#include "cli/ConsoleSink.h"
#include "engine/Engine.h"
#include "engine/ScratchDir.h"
#include "files/FileMove.h"
#include "files/IoErrors.h"
#include "formats/Checksum.h"
#include "production/Production.h"
#include "settings/Settings.h"

namespace trilo::cli {

namespace {

using commands::BufferContent;
using commands::FileFormat;
using commands::Outcome;

const CommandRow& rowOf(const Step& s) {
    return commandRow(s.command);
}

// --checksum=SOUBOR: the only command that needs no board.
bool checksFile(const Step& s) {
    return s.command == Command::Checksum && !s.file.empty();
}

// A read whose buffer goes to the step's file.
bool readsChip(const Step& s) {
    return rowOf(s).leaves == Leaves::FlashBuffer || rowOf(s).leaves == Leaves::EepromBuffer;
}

// Where a job that writes the flash erases it automatically, once: before the first command
// that changes the chip. A flash write erases as in the window; an EEPROM or fuse write
// before it is preceded by the erase, which after it would undo it. No later write erases.
const Step* autoEraseStep(const Options& o) {
    const auto& steps = o.steps;
    if (!o.autoErase || std::none_of(steps.begin(), steps.end(), [](const Step& s) {
            return s.command == Command::WriteFlash;
        })) {
        return nullptr;
    }
    return &*std::find_if(steps.begin(), steps.end(),
                          [](const Step& s) { return rowOf(s).writes; });
}

// Copies standard input into to, at most limit bytes and one more, so an endless input costs
// no more than that; a signal breaks a read that waits. True when the input held more than
// limit bytes.
bool spool(std::FILE* to, std::int64_t limit) {
    char block[64 * 1024];
    std::int64_t total = 0;
    while (total <= limit) {
        const auto want =
            static_cast<std::size_t>(std::min<std::int64_t>(sizeof block, limit + 1 - total));
        const ssize_t got = ::read(STDIN_FILENO, block, want);
        if (got < 0) {
            if (errno != EINTR) {
                throwIoError(errno);
            }
            checkInterrupt();
            continue;
        }
        if (got == 0) {
            break;
        }
        if (std::fwrite(block, 1, static_cast<std::size_t>(got), to) !=
            static_cast<std::size_t>(got)) {
            throwIoError(errno);
        }
        total += got;
    }
    if (std::fflush(to) != 0) {
        throwIoError(errno);
    }
    return total > limit;
}

// Copies one open stream into another to its end.
void pump(std::FILE* from, std::FILE* to) {
    char block[64 * 1024];
    std::size_t got = 0;
    while ((got = std::fread(block, 1, sizeof block, from)) > 0) {
        if (std::fwrite(block, 1, got, to) != got) {
            throwIoError(errno);
        }
    }
    if (std::ferror(from) != 0 || std::fflush(to) != 0) {
        throwIoError(errno);
    }
}

// Opens a file for pump, closing it at the end of the scope.
struct OpenFile {
    OpenFile(const std::string& path, const char* mode) : file(std::fopen(path.c_str(), mode)) {
        if (file == nullptr) {
            throwIoError(errno);
        }
    }
    ~OpenFile() { std::fclose(file); }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    std::FILE* file;
};

// A device node, a pipe or a directory: a file that must be written into, never replaced
// (renaming the buffer over /dev/null would put a plain file in its place).
bool isSpecial(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
}

int statusOf(Outcome outcome) {
    switch (outcome) {
        case Outcome::Done:
            return kOk;
        case Outcome::NoInputFile:
        case Outcome::FileTooLarge:
        case Outcome::BadFile:
        case Outcome::EmptyFile:
            return kFileError;
        default:
            return kFailed;
    }
}

// A file error as the command line says it; the window's error box keeps the table's texts.
std::string czechText(const TriloError& e) {
    const auto* io = dynamic_cast<const IoError*>(&e);
    if (io == nullptr) {
        return std::string(e.what()) + ".";
    }
    if (dynamic_cast<const SaveRefused*>(io) != nullptr) {
        return e.what();
    }
    if (dynamic_cast<const FileSwapped*>(io) != nullptr) {
        return "soubor se změnil mezi prohlédnutím a otevřením";
    }
    if (const auto* other = dynamic_cast<const NotRegularFile*>(io)) {
        return other->directory() ? "je to adresář"
                                  : "není obyčejný soubor (roura nebo zařízení); data se čtou "
                                    "jen ze souboru nebo ze standardního vstupu (-)";
    }
    if (io->systemError() != 0) {
        return systemReason(io->systemError());
    }
    switch (io->code()) {
        case IoError::ReadBeyondEnd:
            return "čtení za koncem souboru";
        case IoError::DiskFull:
            return systemReason(ENOSPC);
        default:
            return "chyba souboru " + std::to_string(io->code());
    }
}

bool noWaitRequested() {
    const char* value = std::getenv("TRILO_NO_WAIT");
    return value != nullptr && *value != '\0' && std::string(value) != "0";
}

// The job over the engine: the options as the engine's values, the commands in their order
// on one claim of the board, and what each left on the console.
class Runner final : private EngineListener {
public:
    // job: the job a production run runs, chip after chip with --repeat.
    explicit Runner(const Options& o, const JobSpec* job = nullptr)
        : o_(o),
          job_(job),
          device_(*o.device),
          autoErase_(autoEraseStep(o)),
          sink_(writesStdout(o) ? stderr : stdout, !o.quiet && ::isatty(2) != 0, o.quiet, o.force) {
        sink_.tellIdentity(o.verbose > 0);
    }

    int run() {
        const int status = runGuarded();
        reportTrace();
        return status;
    }

private:
    // What the engine has to complain of, such as another user's programmer.ini.
    void error(const std::string& message) override { sink_.error(message); }

    int interrupted() {
        sink_.end(false);
        sink_.error("přerušeno; deska je v klidu");
        return 128 + interruptSignal();
    }

    int runGuarded() {
        try {
            return runSteps();
        } catch (const commands::PortUnusable& e) {
            sink_.end(false);
            sink_.error(e.what());
            return kPortError;
        } catch (const Interrupted&) {
            return interrupted();
        } catch (const Stopped&) {
            return interrupted();
        } catch (const StartupAbort& e) {
            // The run's scratch directory refused: a file error as any other.
            sink_.end(false);
            sink_.error(e.what());
            return kFileError;
        } catch (const TriloError& e) {
            // A read or open that a signal broke fails; the signal is what ended it.
            if (interruptSignal() != 0) {
                return interrupted();
            }
            sink_.end(false);
            const std::string where =
                current_ == nullptr
                    ? ""
                    : current_->option + (current_->file.empty() ? "" : " " + current_->file) +
                          ": ";
            sink_.error(where + czechText(e));
            return kFileError;
        }
    }

    // A trace that could not start, or stopped since the last report, says why.
    void reportTrace() {
        if (trace_ == nullptr) {
            return;
        }
        trace_->flush();
        if (trace_->problem() != traceReported_) {
            traceReported_ = trace_->problem();
            sink_.error(traceReported_);
        }
    }

    // The most bytes any command of the job takes from standard input: the largest memory
    // it is for when it is raw; the text of a data file told by its content may be larger.
    std::int64_t inputLimit() const {
        if (o_.format != FileFormat::Raw) {
            return commands::kLargestHexText;
        }
        std::int64_t limit = 0;
        for (const Step& s : o_.steps) {
            if (rowOf(s).input && s.file == "-") {
                limit = std::max<std::int64_t>(limit, commands::forEeprom(*rowOf(s).input)
                                                          ? device_.eepromSize
                                                          : device_.flashSize);
            }
        }
        return limit;
    }

    static bool writesStdout(const Options& o) {
        return std::any_of(o.steps.begin(), o.steps.end(),
                           [](const Step& s) { return readsChip(s) && s.file == "-"; });
    }

    int runSteps() {
        // A read into a file the program cannot write (an ELF file) is refused before the
        // board is touched, as the window refuses the save.
        for (const Step& s : o_.steps) {
            const auto refusal = readsChip(s) && s.file != "-"
                                     ? commands::saveRefusal(s.file, o_.format)
                                     : std::nullopt;
            if (refusal) {
                sink_.error(s.option + " " + s.file + ": " + *refusal);
                return kFileError;
            }
        }
        // Standard input is read once, for every command that reads "-".
        for (const Step& s : o_.steps) {
            if ((rowOf(s).input || checksFile(s)) && s.file == "-" && stdin_.empty()) {
                stdin_ = scratch_.file("stdin");
                OpenFile to(stdin_, "wb");
                if (spool(to.file, inputLimit())) {
                    sink_.error(s.option + " -: standardní vstup je delší než " +
                                (o_.format == FileFormat::Raw ? "paměť čipu"
                                                              : "největší přijatý soubor dat") +
                                " (" + std::to_string(inputLimit()) + " B), čip je netknutý");
                    return kFileError;
                }
            }
        }
        if (job_ == nullptr && std::all_of(o_.steps.begin(), o_.steps.end(), checksFile)) {
            int status = kOk;
            for (const Step& s : o_.steps) {
                if (status == kOk) {
                    current_ = &s;
                    sink_.begin("");
                    std::string reading;
                    status = finish(s, fileChecksum(s, reading), reading);
                }
            }
            return status;
        }
        const PpdevNodes nodes;
        const bool noWait = noWaitRequested();
        SteadyClock steady;
        InstantClock instant;
        SystemPortOpener ports(nodes);
        SystemPlatform platform;
        Engine engine(noWait ? static_cast<Clock&>(instant) : steady, platform, ports, sink_,
                      *this);
        // A series' serial state and log are checked, and the log opened, before the claim.
        std::optional<ProductionRun> series;
        if (job_ != nullptr) {
            series.emplace(
                engine, *job_, o_.job ? o_.job->substr(o_.job->rfind('/') + 1) : std::string(),
                serialStatePath(o_.serialState.value_or(""), o_.job.value_or(""), job_->logFile),
                o_.job.value_or(""));
        }
        const BoardSettings settings = commandLineBoard(o_, engine.readBoardSettings());
        engine_ = &engine;
        engine.setTimingClock(steady);
        engine.bringUp(settings, &nodes);
        trace_ = engine.board().trace();
        reportTrace();
        // The chip first: the simulated board's words name the chip in its socket.
        engine.selectDevice(device_.id);
        if (const int status = announceBoard(o_, engine.board(), noWait, sink_); status != kOk) {
            return status;
        }

        RunOptions& options = engine.options();
        options.AutoVerify = o_.readBack;
        options.BlankCheck = o_.blankCheck;
        options.VerifyByRead = o_.verifyByRead;
        const bool reads = std::any_of(o_.steps.begin(), o_.steps.end(), [](const Step& s) {
            return readsChip(s) || s.command == Command::Checksum;
        });
        engine.files().BufferFile = reads ? scratch_.file("buffer") : "";
        engine.setStopSource(&stopRequest());
        if (series) {
            return produce(*series);
        }
        int status = kOk;
        engine.onBoard([&] {
            // As the window starts: the board at rest before the first command, whatever
            // another program left on the port.
            engine.board().rest();
            status = checkInputs();
            for (const Step& s : o_.steps) {
                if (status != kOk) {
                    break;
                }
                current_ = &s;
                status = step(s);
            }
        });
        return status;
    }

    // Standard input says when the next chip is in the socket; each chip gets its line.
    class ChipsFromStdin final : public ChipFeeder {
    public:
        ChipsFromStdin(ConsoleSink& sink, bool repeat) : sink_(sink), repeat_(repeat) {}
        bool nextChip(const ProductionRun& run) override {
            if (run.chips() > 0 && (!repeat_ || !askForChip())) {
                return false;
            }
            sink_.begin("Čip #" + std::to_string(run.chips() + 1));
            return true;
        }
        void chipDone(const ChipResult& chip) override {
            // The chip's line says how it went, its failing step's words included.
            sink_.drop();
            sink_.result(chipLine(chip));
        }

    private:
        // A line on standard input: Enter goes on; q, its end or a signal end the run.
        bool askForChip() {
            sink_.prompt("Vložte další čip a stiskněte Enter, q skončí");
            std::string line;
            for (;;) {
                char c = 0;
                const ssize_t got = ::read(STDIN_FILENO, &c, 1);
                if (got < 0 && errno == EINTR && interruptSignal() == 0) {
                    continue;
                }
                if (got <= 0) {
                    return false;
                }
                if (c == '\n') {
                    break;
                }
                line += c;
            }
            while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
                line.pop_back();
            }
            return line != "q" && line != "Q";
        }

        ConsoleSink& sink_;
        bool repeat_;
    };

    // The job on one chip, or chip after chip; 0 only when every chip was good.
    int produce(ProductionRun& run) {
        ChipsFromStdin feeder(sink_, o_.repeat);
        const auto counts = [&] {
            if (o_.repeat && run.chips() > 0) {
                sink_.result(countsLine(run.chips(), run.good(), run.bad()));
            }
        };
        try {
            run.run(feeder);
        } catch (const RunEnded& e) {
            sink_.end(false);
            sink_.error(e.what());
            counts();
            return kFailed;
        } catch (...) {
            counts();
            throw;
        }
        counts();
        return run.bad() > 0 ? kFailed : kOk;
    }

    // The data files as the commands will check them, all before the first command runs.
    int checkInputs() {
        for (const Step& s : o_.steps) {
            if (!rowOf(s).input) {
                continue;
            }
            // Named for what it is: "no file was given" would not be true.
            struct stat st {};
            const bool missing =
                s.file != "-" && ::stat(s.file.c_str(), &st) != 0 && errno == ENOENT;
            if (missing || (s.file != "-" && S_ISDIR(st.st_mode))) {
                sink_.error(s.option + ": " +
                            (missing ? "soubor „" + s.file + "“ neexistuje"
                                     : "„" + s.file + "“ je adresář"));
                return kFileError;
            }
            current_ = &s;
            sink_.begin(rowOf(s).label);
            const Outcome outcome = engine_->checkInput(s.command, args(s));
            sink_.end(outcome == Outcome::Done);
            if (outcome != Outcome::Done) {
                sink_.error(s.option + " " + s.file + ": soubor odmítnut, čip je netknutý");
                return statusOf(outcome);
            }
        }
        return kOk;
    }

    // What the step gives its row: its file, the format, and the job's automatic erase.
    CommandArgs args(const Step& s) const {
        const bool erases = &s == autoErase_;
        CommandArgs a{s.file == "-" ? stdin_ : s.file, o_.format, erases,
                      erases && s.command != Command::WriteFlash};
        a.lockLevel = s.command == Command::WriteFlash ? o_.lockLevel : 0;
        a.fuses = s.fuses;
        a.serialFuseOff = s.off;
        return a;
    }

    // Puts what a read left in the buffer at the step's file, in the format its name or -f
    // asks for.
    void deliver(const Step& s) {
        const Files& files = engine_->files();
        const FileFormat format = commands::savedFormat(s.file == "-" ? "" : s.file, o_.format);
        if (s.file != "-" && !isSpecial(s.file)) {
            commands::storeBuffer(files.BufferFile, s.file, files.bufferContent, format);
            return;
        }
        const std::string staged = scratch_.file("out");
        commands::storeBuffer(files.BufferFile, staged, files.bufferContent, format);
        OpenFile from(staged, "rb");
        if (s.file == "-") {
            pump(from.file, stdout);
        } else {
            OpenFile to(s.file, "wb");
            pump(from.file, to.file);
        }
    }

    // Runs the step's row, says what it left and, with -v, how it ended in the window's
    // status-line words.
    int step(const Step& s) {
        sink_.begin(rowOf(s).label);
        if (checksFile(s)) {
            std::string reading;
            return finish(s, fileChecksum(s, reading), reading);
        }
        const CommandResult r = engine_->run(s.command, args(s));
        const bool done = r.outcome() == Outcome::Done;
        std::string reading;
        switch (rowOf(s).leaves) {
            case Leaves::FlashBuffer:
            case Leaves::EepromBuffer:
                if (done) {
                    deliver(s);
                }
                break;
            case Leaves::Checksum:
                if (done) {
                    const commands::InputImage read = commands::inputImage(
                        {engine_->files().BufferFile, FileFormat::Raw}, BufferContent::None);
                    removeQuietly(engine_->files().BufferFile);
                    reading = "FLASH: " + describeImage(std::get<std::vector<std::uint8_t>>(read));
                }
                break;
            case Leaves::LockLevel:
                reading = r.lockLevel ? "Lock Bit: " + std::to_string(*r.lockLevel) : "";
                break;
            case Leaves::FuseByte: {
                const std::string names = r.fuses ? programmedFuseNames(device_, *r.fuses) : "";
                reading = r.fuses ? "AVR Fuse Bits: " + (names.empty() ? "-" : names) : "";
                break;
            }
            case Leaves::SerialFuse:
                reading = r.serialFuse
                              ? std::string("Serial Prog. Fuse: ") + (*r.serialFuse ? "ON" : "OFF")
                              : "";
                break;
            case Leaves::Signature:
            case Leaves::Nothing:
                break;
        }
        const int status = finish(s, r.outcome(), reading);
        if (o_.verbose > 0 && s.command != Command::Checksum) {
            sink_.verbose(reportText(r.report));
        }
        return status;
    }

    // The data file as a write of the flash takes it, or the reason it would refuse it.
    Outcome fileChecksum(const Step& s, std::string& reading) {
        const commands::InputImage image = commands::inputImage(
            {s.file == "-" ? stdin_ : s.file, o_.format}, commands::ReadContent(device_));
        if (const auto* refusal = std::get_if<std::string>(&image)) {
            sink_.info(*refusal);
            return Outcome::BadFile;
        }
        reading = s.file + ": " + describeImage(std::get<std::vector<std::uint8_t>>(image));
        return Outcome::Done;
    }

    std::string describeImage(const std::vector<std::uint8_t>& image) const {
        return describe(checksumsInToolOrder(image, device_.isAvr()));
    }

    int finish(const Step& s, Outcome outcome, const std::string& reading) {
        const bool done = outcome == Outcome::Done;
        sink_.end(done, s.command == Command::Signature);
        if (!reading.empty()) {
            sink_.result(reading);
        }
        if (s.command == Command::WriteSerialFuse && outcome == Outcome::WriteFailed) {
            sink_.error(s.option + ": pojistka se nezapsala, čip ji ukazuje jinak");
        }
        return statusOf(outcome);
    }

    const Options& o_;
    const JobSpec* job_;
    const DeviceInfo& device_;
    const Step* autoErase_;
    ConsoleSink sink_;
    ScratchDir scratch_;
    Engine* engine_ = nullptr;
    std::string stdin_;
    const Step* current_ = nullptr;
    std::shared_ptr<TraceFile> trace_;
    std::string traceReported_;
};

}  // namespace

namespace {

// The job file with the command line laid over it; nothing after its message when it cannot
// be run.
std::optional<JobSpec> jobOf(const Options& o, int& status) {
    const auto refuse = [&](const std::string& why, int code) {
        std::fprintf(stderr, "trilo-cli: %s\n", printable(why).c_str());
        status = code;
        return std::nullopt;
    };
    JobSpec job;
    if (o.job) {
        try {
            job = readJobFile(*o.job);
        } catch (const JobFileError& e) {
            return refuse(e.what(), kFileError);
        }
    }
    job.device = o.device != nullptr ? o.device : job.device;
    for (const Step& s : o.steps) {
        switch (s.command) {
            case Command::WriteFlash:
                job.flashFile = s.file;
                break;
            case Command::WriteEeprom:
                job.eepromFile = s.file;
                break;
            case Command::WriteFuses:
                job.fuses = s.file;
                break;
            default:
                job.serialFuseOn = !s.off;
                break;
        }
    }
    job.erase = job.erase && o.autoErase;
    job.verify = job.verify && o.readBack;
    job.verifyByRead = job.verifyByRead || o.verifyByRead;
    job.lockLevel = o.lockGiven ? o.lockLevel : job.lockLevel;
    job.logFile = o.log.value_or(job.logFile);
    if (o.serial) {
        job.serial = std::get<SerialRule>(parseSerialRule(*o.serial));
    }
    job.serialUseFailed = job.serialUseFailed || o.serialUseFailed;
    if (const auto refusal = jobRefusal(job)) {
        const bool file =
            std::string(refusal->key) == "Flash" || refusal->key == std::string("Eeprom");
        return refuse(
            (o.job ? *o.job + ": " : std::string()) + refusal->key + ": " + refusal->reason,
            file ? kFileError : kUsage);
    }
    if (job.serial &&
        serialStatePath(o.serialState.value_or(""), o.job.value_or(""), job.logFile).empty()) {
        return refuse("--serial: kde se drží další číslo? --serial-state=SOUBOR, --log nebo --job",
                      kUsage);
    }
    return job;
}

}  // namespace

int runJob(const Options& options) {
    if (!options.production()) {
        return Runner(options).run();
    }
    int status = kOk;
    const std::optional<JobSpec> job = jobOf(options, status);
    if (!job) {
        return status;
    }
    Options o = options;
    o.device = job->device;
    return Runner(o, &*job).run();
}

int announceBoard(const Options& options, const Board& board, bool noWait, ConsoleSink& sink) {
    const PortStatus status = board.status();
    // A real chip needs the real waits. A port that cannot be used says why first.
    if (!board.simulated() && status.usable) {
        for (const auto& [given, what] : {std::pair{noWait, "TRILO_NO_WAIT"},
                                          std::pair{options.simFault.has_value(), "--sim-fault"},
                                          std::pair{options.simChip.has_value(), "--sim-chip"}}) {
            if (given) {
                sink.error(std::string(what) + " platí jen pro simulovanou desku (-c sim)");
                return kUsage;
            }
        }
    }
    if (board.simulated()) {
        // Said even under -q: nothing of this run reaches a chip.
        sink.error("simulovaná deska: žádný skutečný čip");
    }
    if (options.verbose > 0) {
        sink.verbose("deska: " + status.text);
        if (!status.sharedWith.empty()) {
            std::string drivers;
            for (const std::string& driver : status.sharedWith) {
                drivers += drivers.empty() ? "" : ", ";
                drivers += driver;
            }
            sink.verbose(
                "deska: port je zabrán bez výhradního přístupu, protože je na něm "
                "registrován ovladač " +
                drivers + "; program ho drží do konce běhu, ovladač do té doby čeká");
        }
    }
    return kOk;
}

int listPorts() {
    PpdevNodes nodes;
    try {
        SettingsFile file(kSettingsFileName);
        file.load();
        if (file.trusted()) {
            nodes = nodesFor(readBoardSettings(file).port);
        }
    } catch (const SettingsReadError&) {
        // The defaults: the list does not rest on the settings.
    }
    const ParportSystem system = readParports();
    std::fputs(portListText(system, nodes).c_str(), stdout);
    return system.ports.empty() ? kPortError : kOk;
}

}  // namespace trilo::cli
