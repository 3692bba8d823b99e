#include "cli/Job.h"

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "base/Clock.h"
#include "base/Platform.h"
#include "base/SystemReason.h"
#include "cli/ConsoleSink.h"
#include "data/Checksum.h"
#include "data/FileMove.h"
#include "data/IoErrors.h"
#include "session/Engine.h"
#include "session/ScratchDir.h"

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
    explicit Runner(const Options& o)
        : o_(o),
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
        if (std::all_of(o_.steps.begin(), o_.steps.end(), checksFile)) {
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
        // -P /dev/parportN names the node of LPT1.
        PpdevNodes nodes;
        if (o_.port && o_.port->front() == '/') {
            nodes.lpt1 = *o_.port;
        }
        const bool noWait = noWaitRequested();
        SteadyClock steady;
        InstantClock instant;
        SystemPortOpener ports(nodes);
        SystemPlatform platform;
        Engine engine(noWait ? static_cast<Clock&>(instant) : steady, platform, ports, sink_,
                      *this);
        const BoardSettings settings = boardSettings(engine.readBoardSettings());
        engine_ = &engine;
        engine.setTimingClock(steady);
        engine.bringUp(settings, &nodes);
        trace_ = engine.board().trace();
        reportTrace();
        // A real chip needs the real waits. A port that cannot be used says why first.
        if (noWait && !engine.board().simulated() && engine.board().status().usable) {
            sink_.error("TRILO_NO_WAIT platí jen pro simulovanou desku (-c sim)");
            return kUsage;
        }
        if (o_.simChip && !engine.board().simulated() && engine.board().status().usable) {
            sink_.error("--sim-chip platí jen pro simulovanou desku (-c sim)");
            return kUsage;
        }
        if (engine.board().simulated()) {
            // Said even under -q: nothing of this run reaches a chip.
            sink_.error("simulovaná deska: žádný skutečný čip");
        }
        engine.selectDevice(device_.id);
        if (o_.verbose > 0) {
            sink_.verbose("deska: " + engine.board().status().text);
        }

        RunOptions& options = engine.options();
        options.AutoVerify = o_.readBack;
        options.BlankCheck = o_.blankCheck;
        options.VerifyByRead = o_.verifyByRead;
        options.LockLevel = o_.lockLevel;
        const bool reads = std::any_of(o_.steps.begin(), o_.steps.end(), [](const Step& s) {
            return readsChip(s) || s.command == Command::Checksum;
        });
        engine.files().BufferFile = reads ? scratch_.file("buffer") : "";
        engine.setStopSource(&stopRequest());
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

    // programmer.ini's board, with what the command line says in its place.
    BoardSettings boardSettings(BoardSettings board) const {
        if (o_.port) {
            board.PortBase = ::strcasecmp(o_.port->c_str(), "LPT2") == 0 ? kLpt2Base : kLpt1Base;
        }
        board.PollLimit = o_.pollLimit.value_or(board.PollLimit);
        board.port.board = o_.board.value_or(board.port.board);
        board.port.trace = o_.trace.value_or(board.port.trace);
        // -v -v: every port access on standard error, unless a trace file is named.
        if (o_.verbose > 1 && !o_.trace) {
            board.port.trace = std::string(kTraceToStandardError);
        }
        board.port.simSocket = o_.simSocket.value_or(board.port.simSocket);
        board.port.simChip = o_.simChip.value_or(board.port.simChip);
        return board;
    }

    // What the step gives its row: its file, the format, and the job's automatic erase.
    CommandArgs args(const Step& s) const {
        const bool erases = &s == autoErase_;
        return {s.file == "-" ? stdin_ : s.file, o_.format, erases,
                erases && s.command != Command::WriteFlash};
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
        RunOptions& options = engine_->options();
        options.Fuses = s.fuses;
        options.SerialFuseOff = s.off;
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

int runJob(const Options& options) {
    return Runner(options).run();
}

}  // namespace trilo::cli
