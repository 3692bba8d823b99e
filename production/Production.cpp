#include "production/Production.h"

#include "base/Hex.h"
#include "base/Text.h"
#include "files/ByteFile.h"
#include "files/FileMove.h"
#include "formats/Checksum.h"

namespace trilo {

namespace {

using commands::FileFormat;
using commands::Outcome;

std::string trimmed(std::string text) {
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return text;
}

// What a step that failed without words of its own failed of.
const char* outcomeText(Outcome outcome) {
    switch (outcome) {
        case Outcome::Declined:
            return _("v patici není zvolený čip");
        case Outcome::Stopped:
            return _("zastaveno");
        case Outcome::NotOffered:
            return _("čip příkaz nemá");
        default:
            return _("selhalo");
    }
}

std::vector<std::uint8_t> imageOf(const std::string& path, commands::BufferContent memory) {
    if (path.empty()) {
        return {};
    }
    commands::InputImage image = commands::inputImage({path, FileFormat::ByName}, memory);
    if (const auto* refusal = std::get_if<std::string>(&image)) {
        throw TriloError(path + ": " + *refusal);
    }
    return std::get<std::vector<std::uint8_t>>(std::move(image));
}

void writeRaw(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    ByteFile file;
    file.create(path);
    for (const std::uint8_t b : bytes) {
        file.writeByte(b);
    }
    file.close();
}

}  // namespace

std::string serialStatePath(const std::string& given, const std::string& jobFile,
                            const std::string& logFile) {
    if (!given.empty()) {
        return given;
    }
    if (!jobFile.empty()) {
        return jobFile + ".sn";
    }
    return logFile.empty() ? "" : logFile + ".sn";
}

// Keeps what the operations say during one step, and the chip that answered.
class ProductionRun::Watcher final : public OperationSink {
public:
    void progress(int) override {}
    void info(const std::string& message) override { messages.push_back(trimmed(message)); }
    // The detail of a verify is its difference, which the chip's line gives on its own.
    void detailedInfo(const std::string& message, const std::string&) override { info(message); }
    bool ask(const std::string&) override { return false; }
    void status(const std::string& text) override { messages.push_back(text); }
    void identified(const ChipIdentity& chip) override { signature = hexBytes(chip.bytes); }
    std::string said() const {
        std::string text;
        for (const std::string& m : messages) {
            text += (text.empty() ? "" : "; ") + m;
        }
        return text;
    }

    std::vector<std::string> messages;
    std::string signature;
};

ProductionRun::ProductionRun(Engine& engine, JobSpec job, std::string jobName,
                             std::string statePath, const std::string& jobFile)
    : engine_(engine), job_(std::move(job)), jobName_(std::move(jobName)) {
    if (job_.serial && !statePath.empty()) {
        state_.emplace(std::move(statePath));
        // Only the file's checks: whether its number fits is the run's to say.
        state_->peek(*job_.serial);
    }
    if (!job_.logFile.empty()) {
        log_ = std::make_unique<ChipLog>(
            job_.logFile, std::vector<std::string>{jobFile, job_.flashFile, job_.eepromFile,
                                                   state_ ? state_->path() : ""});
    }
}

ProductionRun::~ProductionRun() = default;

std::optional<std::uint64_t> ProductionRun::nextSerial() const {
    if (!job_.serial || !state_) {
        return std::nullopt;
    }
    const auto next = state_->peek(*job_.serial);
    return std::holds_alternative<std::uint64_t>(next) ? std::optional(std::get<0>(next))
                                                       : std::nullopt;
}

std::vector<std::string> ProductionRun::planLines() const {
    return planLines_;
}

void ProductionRun::prepare() {
    if (job_.serial && !state_) {
        throw TriloError(_("sériové číslo potřebuje soubor, kde se drží další číslo"));
    }
    auto planned = makePlan(planRequest(job_));
    if (const auto* refusal = std::get_if<PlanRefusal>(&planned)) {
        throw TriloError(refusal->text());
    }
    plan_ = std::get<Plan>(std::move(planned));
    // A chip that got nothing would count as good.
    if (plan_.steps.empty()) {
        throw TriloError(
            _("Úloha nic nezapisuje: není zadán soubor pro FLASH ani EEPROM, fuse bity "
              "ani pojistka"));
    }
    if (const auto refusal = checkInputs(plan_)) {
        throw TriloError(refusal->message.empty() ? refusal->text()
                                                  : refusal->message + "; " + refusal->text());
    }
    // As the job names its files, before the serial number's image takes their place.
    planLines_ = trilo::planLines(plan_);
    const DeviceInfo& device = *job_.device;
    const bool avrFlash = commands::ReadContent(device) == commands::BufferContent::AvrFlash;
    flashImage_ = imageOf(job_.flashFile, commands::ReadContent(device));
    eepromImage_ = imageOf(job_.eepromFile, commands::BufferContent::AvrEeprom);
    writesFlash_ = std::any_of(plan_.steps.begin(), plan_.steps.end(),
                               [](const PlanStep& s) { return s.command == Command::WriteFlash; });
    const bool writesEeprom =
        std::any_of(plan_.steps.begin(), plan_.steps.end(),
                    [](const PlanStep& s) { return s.command == Command::WriteEeprom; });
    // The staged image, where the serial number goes for each chip.
    if (job_.serial) {
        serialFile_ =
            scratch_.file(job_.serial->memory == SerialMemory::Flash ? "flash" : "eeprom");
        for (PlanStep& step : plan_.steps) {
            if (plan_.holdsSerial(step)) {
                step.args.file = serialFile_;
                step.args.format = FileFormat::Raw;
            }
        }
    }
    crc32_.reset();
    if (writesFlash_ || writesEeprom) {
        crc32_ = writesFlash_ ? checksumsInToolOrder(flashImage_, avrFlash).crc32
                              : checksumsOf(eepromImage_).crc32;
    }
    if (job_.serial) {
        if (const auto next = state_->peek(*job_.serial); next.index() == 1) {
            throw RunEnded(std::get<1>(next));
        }
    }
}

void ProductionRun::stage(const std::vector<std::uint8_t>& bytes) {
    const bool flash = job_.serial->memory == SerialMemory::Flash;
    const bool avrFlash =
        flash && commands::ReadContent(*job_.device) == commands::BufferContent::AvrFlash;
    std::vector<std::uint8_t> image = flash ? flashImage_ : eepromImage_;
    placeSerial(image, *job_.serial, bytes, avrFlash);
    writeRaw(serialFile_, image);
    // The sum is the flash's when the job writes it, else the EEPROM's.
    if (flash || !writesFlash_) {
        crc32_ = checksumsInToolOrder(image, avrFlash).crc32;
    }
}

ChipResult ProductionRun::runChip() {
    ChipResult chip;
    chip.number = chips() + 1;
    chip.device = job_.device->name;
    std::optional<std::uint64_t> reserved;
    if (job_.serial) {
        // Taken before the chip is touched, so a run killed meanwhile never hands it out
        // again; a chip that fails gives it back.
        const auto taken = state_->take(*job_.serial);
        if (taken.index() == 1) {
            throw RunEnded(std::get<1>(taken));
        }
        const std::uint64_t number = std::get<0>(taken);
        try {
            stage(*encodeSerial(*job_.serial, number));
        } catch (...) {
            state_->giveBack(*job_.serial, number);
            throw;
        }
        reserved = number;
        chip.serial = number;
    }
    chip.time = isoTimeNow();
    chip.crc32 = crc32_;
    Watcher watcher;
    engine_.setWatcher(&watcher);
    struct Unwatch {
        Engine& engine;
        ~Unwatch() { engine.setWatcher(nullptr); }
    } unwatch{engine_};
    chip.passed = true;
    try {
        const auto ended = [&](const PlanStep& step, const CommandResult& result) {
            chip.durationUs += result.report.durationUs;
            if (result.outcome() == Outcome::Done) {
                return true;
            }
            chip.passed = false;
            chip.failedStep = commandName(step.command);
            const char* failure = commandRow(step.command).failure;
            chip.message = watcher.said();
            if (chip.message.empty()) {
                chip.message = failure != nullptr && result.outcome() == Outcome::WriteFailed
                                   ? _(failure)
                                   : outcomeText(result.outcome());
            }
            chip.difference = result.difference;
            return false;
        };
        engine_.runPlan(plan_, ended, [&](const PlanStep& step) {
            watcher.messages.clear();
            chip.failedStep = commandName(step.command);
        });
    } catch (const Stopped&) {
        chip.passed = false;
        chip.message = outcomeText(Outcome::Stopped);
        chip.signature = watcher.signature;
        finish(chip, reserved);
        throw;
    } catch (const std::exception& error) {
        chip.passed = false;
        chip.message = error.what();
        chip.signature = watcher.signature;
        finish(chip, reserved);
        throw;
    }
    if (chip.passed) {
        chip.failedStep.clear();
    }
    chip.signature = watcher.signature;
    finish(chip, reserved);
    return chip;
}

void ProductionRun::finish(ChipResult& chip, std::optional<std::uint64_t> reserved) {
    if (!chip.passed && reserved && !job_.serialUseFailed) {
        state_->giveBack(*job_.serial, *reserved);
    }
    // The counts say what the log holds.
    if (log_ != nullptr) {
        log_->append(csvRow(chip, jobName_));
    }
    ++(chip.passed ? good_ : bad_);
    recent_.push_back(chip);
    if (recent_.size() > kRecentKept) {
        recent_.pop_front();
    }
}

void ProductionRun::run(ChipFeeder& feeder) {
    if (const auto refusal = jobRefusal(job_)) {
        throw TriloError(refusal->key + std::string(": ") + refusal->reason);
    }
    engine_.selectDevice(job_.device->id);
    prepare();
    engine_.onBoard(
        [&] {
            while (feeder.nextChip(*this)) {
                feeder.chipDone(runChip());
            }
        },
        plan_.checks.checkSignature);
}

}  // namespace trilo
