#include "cli/Job.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "base/Clock.h"
#include "base/Platform.h"
#include "base/SystemReason.h"
#include "board/Board.h"
#include "cli/ConsoleSink.h"
#include "commands/Commands.h"
#include "commands/Report.h"
#include "data/BufferDir.h"
#include "data/ByteFile.h"
#include "data/Checksum.h"
#include "data/FileMove.h"
#include "data/IoErrors.h"
#include "data/Settings.h"

namespace trilo::cli {

namespace {

using commands::BufferContent;
using commands::FileFormat;
using commands::Outcome;

// This run's own directory for the buffer of a read and for standard input, inside the
// user's private one in $TMPDIR or /tmp: the command line keeps no buffer file of the window's, so
// the two run side by side. It is locked while the run lasts and removed at its end; one that a
// killed run left is unlocked, and the next run that needs one removes it.
class Scratch {
public:
    Scratch() = default;
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    ~Scratch() {
        if (!dir_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(dir_, ignored);
            ::close(lock_);
        }
    }
    std::string file(const char* name) {
        if (dir_.empty()) {
            create();
        }
        return joinPath(dir_, name);
    }

private:
    static constexpr const char* kPrefix = "cli-";

    // A directory of the user's that no running trilo-cli holds.
    static void removeStale(const std::string& base) {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(base, error)) {
            const std::string path = entry.path().string();
            if (!entry.path().filename().string().starts_with(kPrefix)) {
                continue;
            }
            const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
                std::filesystem::remove_all(path, error);
            }
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }

    void create() {
        SystemPlatform platform;
        // Keyed by the user id alone: a root run under sudo -E may carry the XDG_RUNTIME_DIR
        // of the user it came from.
        const std::string base = prepareUserTempDir(platform);
        removeStale(base);
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string pattern = joinPath(base, std::string(kPrefix) + "XXXXXX");
            if (::mkdtemp(pattern.data()) == nullptr) {
                throwIoError(errno);
            }
            // Another run clearing stale directories may take this one before the lock: then
            // it is gone, or goes with no links left, and a new one is made.
            const int fd = ::open(pattern.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (fd < 0 && errno == ENOENT) {
                continue;
            }
            if (fd < 0) {
                throwIoError(errno);
            }
            struct stat st {};
            if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &st) == 0 && st.st_nlink > 0) {
                dir_ = pattern;
                lock_ = fd;
                return;
            }
            ::close(fd);
        }
        throwIoError(EAGAIN);
    }

    std::string dir_;
    int lock_ = -1;
};

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

bool readsInput(Verb verb) {
    return verb == Verb::Write || verb == Verb::Verify || verb == Verb::WriteEeprom;
}

// --checksum=SOUBOR: the only command that needs no board.
bool checksFile(const Step& s) {
    return s.verb == Verb::Checksum && !s.file.empty();
}

bool readsChip(Verb verb) {
    return verb == Verb::Read || verb == Verb::ReadEeprom;
}

bool writesChip(Verb verb) {
    return verb == Verb::Write || verb == Verb::WriteEeprom || verb == Verb::WriteFuses ||
           verb == Verb::WriteSerialFuse;
}

// Where a job that writes the flash erases it automatically, once: at its first write. A flash
// write erases as in the window; an EEPROM or fuse write before it is preceded by the erase,
// which after it would undo it. No later write erases.
const Step* autoEraseStep(const Options& o) {
    const auto& steps = o.steps;
    if (!o.autoErase || std::none_of(steps.begin(), steps.end(),
                                     [](const Step& s) { return s.verb == Verb::Write; })) {
        return nullptr;
    }
    const auto first =
        std::find_if(steps.begin(), steps.end(), [](const Step& s) { return writesChip(s.verb); });
    return &*first;
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

class Runner {
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
            if (readsInput(s.verb) && s.file == "-") {
                limit = std::max<std::int64_t>(
                    limit, s.verb == Verb::WriteEeprom ? device_.eepromSize : device_.flashSize);
            }
        }
        return limit;
    }

    static bool writesStdout(const Options& o) {
        for (const Step& s : o.steps) {
            if (readsChip(s.verb) && s.file == "-") {
                return true;
            }
        }
        return false;
    }

    int runSteps() {
        // A read into a file the program cannot write (an ELF file) is refused before the
        // board is touched, as the window refuses the save.
        for (const Step& s : o_.steps) {
            const auto refusal = readsChip(s.verb) && s.file != "-"
                                     ? commands::saveRefusal(s.file, o_.format)
                                     : std::nullopt;
            if (refusal) {
                sink_.error(s.option + " " + s.file + ": " + *refusal);
                return kFileError;
            }
        }
        // Standard input is read once, for every command that reads "-".
        for (const Step& s : o_.steps) {
            if ((readsInput(s.verb) || checksFile(s)) && s.file == "-" && stdin_.empty()) {
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
        PpdevNodes nodes;
        const BoardSettings settings = boardSettings(nodes);
        const bool noWait = noWaitRequested();
        SteadyClock steady;
        InstantClock instant;
        SystemPortOpener ports(nodes);
        Board board(noWait ? static_cast<Clock&>(instant) : steady, ports);
        board.ignite();
        board.configure(settings);
        // Never the simulated board unless asked for: a user who mistyped the port, or has
        // no ppdev, would believe a real chip was programmed.
        const std::string& node = nodeFor(nodes, board.link().base());
        if (chooseBoard(settings.port.board, nodeExists(node)) == BoardKind::Sim &&
            chooseBoard(settings.port.board, true) != BoardKind::Sim) {
            sink_.error(node +
                        " neexistuje, deska se nepoužije; zaveďte ovladač paralelního portu "
                        "(sudo modprobe ppdev) a přidejte se do skupiny lp (sudo usermod -aG lp "
                        "$USER); bez desky program vyzkoušíte s volbou -c sim");
            return kPortError;
        }
        board.open(settings.port);
        trace_ = board.trace();
        reportTrace();
        // A real chip needs the real waits. A port that cannot be used says why first.
        if (noWait && !board.simulated() && board.status().usable) {
            sink_.error("TRILO_NO_WAIT platí jen pro simulovanou desku (-c sim)");
            return kUsage;
        }
        if (board.simulated()) {
            // Said even under -q: nothing of this run reaches a chip.
            sink_.error("simulovaná deska: žádný skutečný čip");
        }
        board.seat(device_.id);
        if (o_.verbose > 0) {
            sink_.verbose("deska: " + board.status().text);
        }

        bool reads = false;
        for (const Step& s : o_.steps) {
            reads = reads || readsChip(s.verb) || s.verb == Verb::Checksum;
        }
        ByteFile DataFile;
        OpContext c = board.context(DataFile, reads ? scratch_.file("buffer") : "", sink_,
                                    settings.CheckSignature ? &device_ : nullptr);
        c.stop = &stopRequest();
        int status = kOk;
        commands::runOnBoard(c, [&] {
            // As the window starts: the board at rest before the first command, whatever
            // another program left on the port.
            board.rest();
            status = checkInputs(c);
            for (const Step& s : o_.steps) {
                if (status != kOk) {
                    break;
                }
                current_ = &s;
                status = step(c, s);
            }
        });
        return status;
    }

    // The data files as the commands will check them, all before the first command runs.
    int checkInputs(OpContext& c) {
        for (const Step& s : o_.steps) {
            if (!readsInput(s.verb)) {
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
            const bool eeprom = s.verb == Verb::WriteEeprom;
            const bool verify = s.verb == Verb::Verify;
            current_ = &s;
            sink_.begin(s.label);
            const Outcome outcome =
                commands::CheckInput(c, job(false), input(s),
                                     verify   ? commands::Destination::Verify
                                     : eeprom ? commands::Destination::Eeprom
                                              : commands::Destination::Flash,
                                     eeprom ? device_.eepromSize : device_.flashSize);
            sink_.end(outcome == Outcome::Done);
            if (outcome != Outcome::Done) {
                sink_.error(s.option + " " + s.file + ": soubor odmítnut, čip je netknutý");
                return statusOf(outcome);
            }
        }
        return kOk;
    }

    // programmer.ini's board, with what the command line says in its place.
    BoardSettings boardSettings(PpdevNodes& nodes) {
        SettingsFile ini(kSettingsFileName);
        try {
            ini.load();
        } catch (const SettingsReadError& e) {
            throw TriloError("programmer.ini v aktuálním adresáři nelze přečíst: " +
                             e.czechReason());
        }
        if (!ini.trusted()) {
            sink_.error(kUntrustedSettings);
        }
        BoardSettings board = readBoardSettings(ini);
        if (o_.port) {
            board.PortBase = ::strcasecmp(o_.port->c_str(), "LPT2") == 0 ? kLpt2Base : kLpt1Base;
            if (o_.port->front() == '/') {
                nodes.lpt1 = *o_.port;
            }
        }
        board.PollLimit = o_.pollLimit.value_or(board.PollLimit);
        board.port.board = o_.board.value_or(board.port.board);
        board.port.trace = o_.trace.value_or(board.port.trace);
        // -v -v: every port access on standard error, unless a trace file is named.
        if (o_.verbose > 1 && !o_.trace) {
            board.port.trace = std::string(kTraceToStandardError);
        }
        board.port.simSocket = o_.simSocket.value_or(board.port.simSocket);
        return board;
    }

    Job job(bool verify) const {
        Job j{&device_, device_.flashSize, device_.eepromSize, verify, {}};
        if (o_.lockLevel > 0) {
            j.locks[static_cast<std::size_t>(o_.lockLevel - 1)] = true;
        }
        return j;
    }

    commands::InputFile input(const Step& s) const {
        return {s.file == "-" ? stdin_ : s.file, o_.format};
    }

    // Puts what a read left in the buffer at the step's file, in the format its name or -f
    // asks for.
    void deliver(const OpContext& c, const Step& s, BufferContent content) {
        const FileFormat format = commands::savedFormat(s.file == "-" ? "" : s.file, o_.format);
        if (s.file != "-" && !isSpecial(s.file)) {
            commands::storeBuffer(c.BufferFile, s.file, content, format);
            return;
        }
        const std::string staged = scratch_.file("out");
        commands::storeBuffer(c.BufferFile, staged, content, format);
        OpenFile from(staged, "rb");
        if (s.file == "-") {
            pump(from.file, stdout);
        } else {
            OpenFile to(s.file, "wb");
            pump(from.file, to.file);
        }
    }

    // With -v, how each command ended, in the window's status-line words.
    int step(OpContext& c, const Step& s) {
        c.bytes = 0;
        c.difference.reset();
        const std::int64_t start = verboseClock_.nowUs();
        const int status = perform(c, s);
        if (o_.verbose > 0 && s.verb != Verb::Checksum) {
            commands::Report report;
            report.command = commandOf(s.verb);
            report.outcome = lastOutcome_;
            report.bytes = c.bytes;
            report.verified =
                s.verb == Verb::Verify || (s.verb == Verb::Erase && o_.blankCheck) ||
                ((s.verb == Verb::Write || s.verb == Verb::WriteEeprom) && o_.readBack);
            report.durationUs = verboseClock_.nowUs() - start;
            if (c.difference) {
                report.address = c.difference->address;
            }
            sink_.verbose(commands::reportText(report));
        }
        return status;
    }

    static commands::Command commandOf(Verb verb) {
        using commands::Command;
        switch (verb) {
            case Verb::Erase:
                return Command::Erase;
            case Verb::Write:
                return Command::WriteFlash;
            case Verb::Verify:
                return Command::Verify;
            case Verb::ReadEeprom:
                return Command::ReadEeprom;
            case Verb::WriteEeprom:
                return Command::WriteEeprom;
            case Verb::ReadLock:
                return Command::ReadLockBits;
            case Verb::ReadFuses:
                return Command::ReadFuses;
            case Verb::WriteFuses:
                return Command::WriteFuses;
            case Verb::ReadSerialFuse:
                return Command::ReadSerialFuse;
            case Verb::WriteSerialFuse:
                return Command::WriteSerialFuse;
            case Verb::Signature:
                return Command::Signature;
            default:
                return Command::ReadFlash;
        }
    }

    int perform(OpContext& c, const Step& s) {
        sink_.begin(s.label);
        Outcome outcome = Outcome::Done;
        std::string reading;
        const bool erases = &s == autoErase_;
        if (erases && s.verb != Verb::Write) {
            outcome = commands::EraseBeforeWrites(c, job(false));
            if (outcome != Outcome::Done) {
                return finish(s, outcome, reading);
            }
        }
        switch (s.verb) {
            case Verb::Erase:
                outcome = commands::Erase(c, job(o_.blankCheck));
                break;
            case Verb::Write:
                outcome = commands::Write(c, job(o_.readBack), input(s), device_.flashSize, erases);
                break;
            case Verb::Verify:
                outcome = commands::Verify(c, job(o_.readBack), input(s), device_.flashSize);
                break;
            case Verb::Read:
                outcome = commands::Read(c, job(o_.readBack));
                if (outcome == Outcome::Done) {
                    deliver(c, s, commands::ReadContent(device_));
                }
                break;
            case Verb::ReadEeprom:
                outcome = commands::ReadEeprom(c, job(false));
                if (outcome == Outcome::Done) {
                    deliver(c, s, BufferContent::AvrEeprom);
                }
                break;
            case Verb::WriteEeprom:
                outcome = commands::WriteEeprom(c, job(o_.readBack), input(s), device_.eepromSize);
                break;
            case Verb::ReadLock: {
                const auto level = commands::ReadLockBits(c, job(false));
                outcome = level ? Outcome::Done : Outcome::Declined;
                reading = level ? "Lock Bit: " + std::to_string(*level) : "";
                break;
            }
            case Verb::ReadFuses: {
                const auto fuses = commands::ReadFuses(c, job(false));
                outcome = fuses ? Outcome::Done : Outcome::Declined;
                const std::string names = fuses ? programmedFuseNames(device_, *fuses) : "";
                reading = fuses ? "AVR Fuse Bits: " + (names.empty() ? "-" : names) : "";
                break;
            }
            case Verb::WriteFuses:
                outcome = commands::WriteFuses(c, job(o_.readBack), s.fuses);
                break;
            case Verb::ReadSerialFuse:
            case Verb::WriteSerialFuse: {
                const bool writes = s.verb == Verb::WriteSerialFuse;
                const auto on = writes ? commands::WriteSerialFuse(c, job(false), s.off)
                                       : commands::ReadSerialFuse(c, job(false));
                if (!on) {
                    outcome = Outcome::Declined;
                    break;
                }
                reading = std::string("Serial Prog. Fuse: ") + (*on ? "ON" : "OFF");
                // The write reads the fuse back: a fuse that did not take is a failed write.
                outcome = writes && *on == s.off ? Outcome::WriteFailed : Outcome::Done;
                break;
            }
            case Verb::Signature:
                commands::ShowSignature(c, device_);
                break;
            case Verb::Checksum:
                outcome = checksFile(s) ? fileChecksum(s, reading) : flashChecksum(c, reading);
                break;
        }
        return finish(s, outcome, reading);
    }

    // The flash read into the buffer and summed there; the buffer goes afterwards.
    Outcome flashChecksum(OpContext& c, std::string& reading) {
        const Outcome outcome = commands::Read(c, job(o_.readBack));
        if (outcome == Outcome::Done) {
            const commands::InputImage read =
                commands::inputImage({c.BufferFile, FileFormat::Raw}, BufferContent::None);
            removeQuietly(c.BufferFile);
            reading = "FLASH: " + describeImage(std::get<std::vector<std::uint8_t>>(read));
        }
        return outcome;
    }

    // The data file as a write of the flash takes it, or the reason it would refuse it.
    Outcome fileChecksum(const Step& s, std::string& reading) {
        const commands::InputImage image =
            commands::inputImage(input(s), commands::ReadContent(device_));
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
        lastOutcome_ = outcome;
        const bool done = outcome == Outcome::Done;
        sink_.end(done, s.verb == Verb::Signature);
        if (!reading.empty()) {
            sink_.result(reading);
        }
        if (s.verb == Verb::WriteSerialFuse && outcome == Outcome::WriteFailed) {
            sink_.error(s.option + ": pojistka se nezapsala, čip ji ukazuje jinak");
        }
        return statusOf(outcome);
    }

    const Options& o_;
    const DeviceInfo& device_;
    const Step* autoErase_;
    SteadyClock verboseClock_;
    Outcome lastOutcome_ = Outcome::Done;
    ConsoleSink sink_;
    Scratch scratch_;
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
