#include "cli/Run.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "base/Printable.h"
#include "base/Text.h"
#include "board/PortList.h"
#include "cli/Board.h"
#include "cli/ConsoleSink.h"
#include "engine/ScratchDir.h"
#include "files/FileMove.h"
#include "files/IoErrors.h"
#include "files/Streams.h"
#include "formats/Checksum.h"
#include "production/Production.h"
#include "settings/Settings.h"

namespace trilo::cli {

namespace {

using commands::BufferContent;
using commands::FileFormat;
using commands::Outcome;

bool readsChip(const CommandRow& row) {
    return row.leaves == Leaves::FlashBuffer || row.leaves == Leaves::EepromBuffer;
}

// --checksum=SOUBOR: the only command that needs no board.
bool checksFile(const PlanStep& s) {
    return s.command == Command::Checksum && !s.args.file.value_or("").empty();
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

// The plan of a command line that is no job: its commands as given, with the options' checks.
PlanRequest requestOf(const Options& o, const std::string& stdinCopy) {
    PlanRequest r;
    r.device = o.device;
    for (const Step& s : o.steps) {
        const CommandRow& row = commandRow(s.command);
        CommandArgs args;
        if (row.argument == Argument::File || row.argument == Argument::OptionalFile) {
            args.file = s.file == "-" && row.input ? stdinCopy : s.file;
        }
        args.format = o.format;
        args.fuses = s.fuses;
        args.serialFuseOff = s.off;
        r.asked.push_back(Asked{s.command, std::move(args), s.option});
    }
    r.autoErase = o.autoErase;
    r.lockLevel = o.lockLevel;
    r.lockOrigin = "--lock";
    r.verifyAfterWrite = o.verifyByRead;
    r.verifyOrigin = "--verify-by-read";
    r.checks = {o.readBack, o.blankCheck, o.verifyByRead, true};
    return r;
}

// The job file with the command line laid over it; its refusal otherwise.
std::variant<JobSpec, PlanRefusal> jobOf(const Options& o) {
    using Kind = PlanRefusal::Kind;
    JobSpec job;
    if (o.job) {
        try {
            job = readJobFile(*o.job);
        } catch (const JobFileError& e) {
            return PlanRefusal{Kind::File, "", e.what(), {}};
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
    job.serialOverImage = job.serialOverImage || o.serialOverImage;
    if (const auto refusal = jobRefusal(job, !o.job)) {
        return PlanRefusal{refusal->file ? Kind::File : Kind::Usage,
                           (o.job ? *o.job + ": " : std::string()) + refusal->key,
                           refusal->reason,
                           {}};
    }
    if (job.serial &&
        serialStatePath(o.serialState.value_or(""), o.job.value_or(""), job.logFile).empty()) {
        return PlanRefusal{Kind::Usage,
                           "--serial",
                           _("kde se drží další číslo? --serial-state=SOUBOR, --log nebo --job"),
                           {}};
    }
    return job;
}

// A refusal before the board is touched, as the command line says it.
int refuse(const PlanRefusal& refusal) {
    if (!refusal.message.empty()) {
        std::fprintf(stderr, "%s\n", printable(refusal.message).c_str());
    }
    std::fprintf(stderr, "trilo-cli: %s\n", printable(refusal.text()).c_str());
    if (refusal.kind == PlanRefusal::Kind::Usage) {
        std::fprintf(stderr, "%s\n", _("Nápověda: trilo-cli --help"));
        return kUsage;
    }
    return kFileError;
}

// Standard input says when the next chip is in the socket; each chip gets its line.
class ChipsFromStdin final : public ChipFeeder {
public:
    ChipsFromStdin(ConsoleSink& sink, bool repeat) : sink_(sink), repeat_(repeat) {}
    bool nextChip(const ProductionRun& run) override {
        if (run.chips() > 0 && (!repeat_ || !askForChip())) {
            return false;
        }
        sink_.begin(format(_("Čip #{}"), std::to_string(run.chips() + 1)));
        return true;
    }
    void chipDone(const ChipResult& chip) override {
        // The chip's line says how it went, its failing step's words included.
        sink_.drop();
        try {
            sink_.result(chipLine(chip));
        } catch (const ReportLost& lost) {
            // No chip goes on unreported; the log, written first, still has this one.
            throw ReportLost(lost.error, format(_("řádek čipu #{} se ztratil, řada je zastavena"),
                                                std::to_string(chip.number)));
        }
    }

private:
    // A line on standard input: Enter goes on, q or the end of the input ends the run, a signal
    // interrupts it; anything else is asked again, as a stray key must not start a chip.
    bool askForChip() {
        for (;;) {
            sink_.prompt(_("Vložte další čip a stiskněte Enter, q skončí"));
            std::string line;
            bool cut = false;
            for (char c = 0;;) {
                if (readInput(&c, 1) <= 0) {
                    return false;
                }
                if (c == '\n') {
                    break;
                }
                // What is shown back stays short, however long the line.
                if (line.size() < kShownAnswer) {
                    line += c;
                } else {
                    cut = true;
                }
            }
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            if (line.empty() && !cut) {
                return true;
            }
            if ((line == "q" || line == "Q") && !cut) {
                return false;
            }
            sink_.error(format(_("nerozumím „{}“"), line + (cut ? "…" : "")));
        }
    }

    static constexpr std::size_t kShownAnswer = 40;

    ConsoleSink& sink_;
    bool repeat_;
};

// A run of trilo-cli: the plan made and checked before the board is opened, then its steps on
// one claim of the board, or the job chip after chip, and what each step left on the console.
class Runner {
public:
    explicit Runner(const Options& o)
        : o_(o),
          sink_(writesStdout(o) ? stderr : stdout, !o.quiet && ::isatty(2) != 0, o.quiet, o.force) {
        sink_.tellIdentity(o.verbose > 0);
    }

    int run() {
        return guarded(
            sink_, [&] { return planned(); }, [&] { return at_; });
    }

private:
    static bool writesStdout(const Options& o) {
        return std::any_of(o.steps.begin(), o.steps.end(), [](const Step& s) {
            return readsChip(commandRow(s.command)) && s.file == "-";
        });
    }

    std::string shownFile(const std::string& file) const {
        return !stdin_.empty() && file == stdin_ ? "-" : file;
    }

    // What an input/output error names: the step that was running.
    void at(const PlanStep& s) {
        const std::string file = s.args.file.value_or("");
        at_ = s.origin + (file.empty() ? "" : " " + shownFile(file));
    }

    // The most bytes any command takes from standard input: the largest memory it is for when
    // it is raw; the text of a data file told by its content may be larger.
    std::int64_t inputLimit() const {
        if (o_.format != FileFormat::Raw) {
            return commands::kLargestHexText;
        }
        std::int64_t limit = 0;
        for (const Step& s : o_.steps) {
            const auto input = commandRow(s.command).input;
            if (input && s.file == "-") {
                limit = std::max<std::int64_t>(limit, commands::forEeprom(*input)
                                                          ? o_.device->eepromSize
                                                          : o_.device->flashSize);
            }
        }
        return limit;
    }

    // Standard input is read once, for every command that reads "-".
    int spoolStdin() {
        for (const Step& s : o_.steps) {
            const CommandRow& row = commandRow(s.command);
            if ((row.input || s.command == Command::Checksum) && s.file == "-" && stdin_.empty()) {
                stdin_ = scratch_.file("stdin");
                OpenStream to(stdin_, "wb");
                if (spool(STDIN_FILENO, to.file, inputLimit(), checkInterrupt)) {
                    sink_.error(format(
                        o_.format == FileFormat::Raw
                            ? _("{0} -: standardní vstup je delší než paměť čipu ({1} B), čip je "
                                "netknutý")
                            : _("{0} -: standardní vstup je delší než největší přijatý soubor dat "
                                "({1} B), čip je netknutý"),
                        s.option, std::to_string(inputLimit())));
                    return kFileError;
                }
            }
        }
        return kOk;
    }

    int planned() {
        std::optional<JobSpec> job;
        if (o_.production()) {
            auto made = jobOf(o_);
            if (const auto* refusal = std::get_if<PlanRefusal>(&made)) {
                return refuse(*refusal);
            }
            job = std::get<JobSpec>(std::move(made));
        } else if (const int status = spoolStdin(); status != kOk) {
            return status;
        }
        auto made = job ? makePlan(planRequest(*job, !o_.job)) : makePlan(requestOf(o_, stdin_));
        if (auto* refusal = std::get_if<PlanRefusal>(&made)) {
            refusal->origin = (o_.job ? *o_.job + ": " : "") + refusal->origin;
            return refuse(*refusal);
        }
        Plan plan = std::get<Plan>(std::move(made));
        for (const PlanStep& s : plan.steps) {
            at(s);
            if (const auto refusal = checkInput(plan, s)) {
                return refuse(*refusal);
            }
        }
        at_.clear();
        if (o_.dryRun) {
            for (const std::string& line : planLines(plan)) {
                sink_.result(line);
            }
            return kOk;
        }
        if (!job && std::all_of(plan.steps.begin(), plan.steps.end(), checksFile)) {
            return steps(plan, nullptr);
        }
        board_ = std::make_unique<CliBoard>(o_, sink_, noWaitRequested());
        Engine& engine = board_->engine();
        // A series' serial state and log are checked, and the log opened, before the claim.
        std::optional<ProductionRun> series;
        if (job) {
            series.emplace(
                engine, *job, o_.job ? o_.job->substr(o_.job->rfind('/') + 1) : std::string(),
                serialStatePath(o_.serialState.value_or(""), o_.job.value_or(""), job->logFile),
                o_.job.value_or(""));
        } else {
            plan.checks.checkSignature = board_->settings().CheckSignature;
        }
        if (const int status = board_->open(); status != kOk) {
            return status;
        }
        engine.files().BufferFile = scratch_.file("buffer");
        engine.setStopSource(&stopRequest());
        if (series) {
            return produce(*series);
        }
        int status = kOk;
        engine.onBoard(
            [&] {
                // As the window starts: the board at rest before the first command, whatever
                // another program left on the port.
                engine.board().rest();
                status = steps(plan, &engine);
            },
            plan.checks.checkSignature);
        return status;
    }

    // The plan's steps until one fails; without an engine, only the files' checksums.
    int steps(const Plan& plan, Engine* engine) {
        int status = kOk;
        for (auto s = plan.steps.begin(); s != plan.steps.end() && status == kOk; ++s) {
            at(*s);
            if (engine == nullptr || checksFile(*s)) {
                status = stepped(*s, {});
            } else {
                sink_.begin(_(commandRow(s->command).label));
                status = stepped(*s, engine->run(*s, plan.checks));
            }
        }
        return status;
    }

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

    // Puts what a read left in the buffer at the step's file, in the format its name or -f
    // asks for.
    void deliver(const PlanStep& s) {
        const Files& files = board_->engine().files();
        const std::string target = s.args.file.value_or("-");
        const FileFormat format = commands::savedFormat(target == "-" ? "" : target, o_.format);
        if (target != "-" && !isSpecial(target)) {
            commands::storeBuffer(files.BufferFile, target, files.bufferContent, format);
            return;
        }
        const std::string staged = scratch_.file("out");
        commands::storeBuffer(files.BufferFile, staged, files.bufferContent, format);
        OpenStream from(staged, "rb");
        if (target == "-") {
            pump(from.file, stdout);
        } else {
            OpenStream to(target, "wb");
            pump(from.file, to.file);
        }
    }

    // What the step left: a read's file, a reading, a checksum; its status, and with -v how
    // it ended in the window's status-line words.
    int stepped(const PlanStep& s, const CommandResult& r) {
        const CommandRow& row = commandRow(s.command);
        std::string reading = readingText(r, *o_.device);
        Outcome outcome = r.outcome();
        if (checksFile(s)) {
            sink_.begin("");
            outcome = fileChecksum(s, reading);
        } else if (outcome == Outcome::Done && readsChip(row)) {
            deliver(s);
        } else if (outcome == Outcome::Done && row.leaves == Leaves::Checksum) {
            const std::string& buffer = board_->engine().files().BufferFile;
            const auto read = commands::inputImage({buffer, FileFormat::Raw}, BufferContent::None);
            removeQuietly(buffer);
            reading = "FLASH: " + describeImage(std::get<std::vector<std::uint8_t>>(read));
        }
        sink_.end(outcome == Outcome::Done, s.command == Command::Signature);
        if (!reading.empty()) {
            sink_.result(reading);
        }
        if (outcome == Outcome::WriteFailed && row.failure != nullptr) {
            sink_.error(s.origin + ": " + _(row.failure));
        }
        if (o_.verbose > 0 && !checksFile(s) && s.command != Command::Checksum) {
            sink_.verbose(reportText(r.report));
        }
        return statusOf(outcome);
    }

    // The data file as a write of the flash takes it, or the reason it would refuse it.
    Outcome fileChecksum(const PlanStep& s, std::string& reading) {
        const std::string file = s.args.file.value_or("");
        const commands::InputImage image =
            commands::inputImage({file, o_.format}, commands::ReadContent(*o_.device));
        if (const auto* refusal = std::get_if<std::string>(&image)) {
            sink_.info(*refusal);
            return Outcome::BadFile;
        }
        reading =
            shownFile(file) + ": " + describeImage(std::get<std::vector<std::uint8_t>>(image));
        return Outcome::Done;
    }

    std::string describeImage(const std::vector<std::uint8_t>& image) const {
        return describe(checksumsInToolOrder(image, o_.device->isAvr()));
    }

    const Options& o_;
    ConsoleSink sink_;
    ScratchDir scratch_;
    std::unique_ptr<CliBoard> board_;
    std::string stdin_;
    std::string at_;
};

}  // namespace

int runCommands(const Options& options) {
    return Runner(options).run();
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
