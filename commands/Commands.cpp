#include "commands/Commands.h"

#include <algorithm>

#include "base/Hex.h"
#include "data/FileMove.h"

namespace trilo::commands {

namespace {

// A file larger than the chip's memory: released, closed and refused with its message.
bool fits(OpContext& c, std::int64_t sizeLimit, const char* refusal) {
    if (c.in().size() <= sizeLimit) {
        return true;
    }
    c.link.ReleaseTarget();
    c.in().close();
    c.sink.info(refusal);
    return false;
}

}  // namespace

void runOnBoard(OpContext& c, const std::function<void()>& commands) {
    const PortStatus before = c.link.portStatus();
    if (!before.usable) {
        throw PortUnusable(before.text);
    }
    runReleasing(c, commands);
    const PortStatus after = c.link.portStatus();
    if (!after.usable) {
        throw PortUnusable(after.text);
    }
}

namespace {

const FamilyOps& ops(const Job& job) {
    return familyOps(job.device->family);
}

}  // namespace

Outcome Read(OpContext& c, const Job& job) {
    if (!ChipAccepted(c)) {
        return Outcome::Declined;
    }
    ops(job).ReadFlash(c, job);
    return Outcome::Done;
}

BufferContent ReadContent(const DeviceInfo& device) {
    return familyOps(device.family).wordFlash ? BufferContent::AvrFlash : BufferContent::Mcs51Flash;
}

Outcome Erase(OpContext& c, const Job& job) {
    if (!ChipAccepted(c)) {
        return Outcome::Declined;
    }
    ops(job).EraseChip(c, job);
    if (job.AutoVerify && !ops(job).BlankCheck(c, job)) {
        return Outcome::NotBlank;
    }
    c.link.ReleaseTarget();
    c.sink.progress(0);
    c.sink.info(kErased);
    return Outcome::Done;
}

namespace {

// The data file opened, or the outcome that ends the command without touching the chip.
std::optional<Outcome> refusedInput(OpContext& c, const InputFile& file, bool wordFlash) {
    if (!fileExists(file.path)) {
        c.sink.info(kNoInputFile);
        return Outcome::NoInputFile;
    }
    if (!openInput(c, file, wordFlash)) {
        return Outcome::BadFile;
    }
    return std::nullopt;
}

}  // namespace

Outcome Write(OpContext& c, const Job& job, const InputFile& CurrentFile, std::int64_t sizeLimit,
              bool AutoErase) {
    if (auto refused = refusedInput(c, CurrentFile, ops(job).wordFlash)) {
        return *refused;
    }
    if (!fits(c, sizeLimit, kFlashTooSmall)) {
        return Outcome::FileTooLarge;
    }
    if (!ChipAccepted(c)) {
        return Outcome::Declined;
    }
    if (AutoErase) {
        ops(job).EraseChip(c, job);
    }
    const bool written = ops(job).WriteFlash(c, job);
    c.in().close();
    return written ? Outcome::Done : Outcome::WriteFailed;
}

Outcome CheckInput(OpContext& c, const Job& job, const InputFile& file, Destination destination,
                   std::int64_t sizeLimit) {
    const bool flash = destination == Destination::Flash;
    if (auto refused = refusedInput(c, file, flash && ops(job).wordFlash)) {
        return *refused;
    }
    const bool fitting = fits(c, sizeLimit, flash ? kFlashTooSmall : kEepromTooSmall);
    c.in().close();
    c.input = nullptr;
    c.image.reset();
    return fitting ? Outcome::Done : Outcome::FileTooLarge;
}

Outcome Verify(OpContext& c, const Job& job, const InputFile& CurrentFile) {
    if (auto refused = refusedInput(c, CurrentFile, ops(job).wordFlash)) {
        return *refused;
    }
    if (!ChipAccepted(c)) {
        return Outcome::Declined;
    }
    return ops(job).VerifyFlash(c, job) ? Outcome::Done : Outcome::VerifyFailed;
}

Outcome ReadEeprom(OpContext& c, const Job& job) {
    if (ops(job).ReadEeprom == nullptr) {
        return Outcome::NotOffered;
    }
    if (!ChipAccepted(c)) {
        return Outcome::Declined;
    }
    ops(job).ReadEeprom(c, job);
    return Outcome::Done;
}

Outcome WriteEeprom(OpContext& c, const Job& job, const InputFile& CurrentFile,
                    std::int64_t sizeLimit) {
    if (ops(job).WriteEeprom == nullptr) {
        return Outcome::NotOffered;
    }
    if (auto refused = refusedInput(c, CurrentFile, false)) {
        return *refused;
    }
    if (!fits(c, sizeLimit, kEepromTooSmall)) {
        return Outcome::FileTooLarge;
    }
    if (!ChipAccepted(c)) {
        return Outcome::Declined;
    }
    ops(job).WriteEeprom(c);
    return Outcome::Done;
}

std::optional<int> ReadLockBits(OpContext& c, const Job& job) {
    if (ops(job).ReadLockBits == nullptr || !ChipAccepted(c)) {
        return std::nullopt;
    }
    const int level = ops(job).ReadLockBits(c);
    c.link.ReleaseTarget();
    return level;
}

std::optional<std::uint8_t> ReadFuses(OpContext& c, const Job& job) {
    if (ops(job).ReadFuses == nullptr || !ChipAccepted(c)) {
        return std::nullopt;
    }
    return ops(job).ReadFuses(c, job);
}

Outcome WriteFuses(OpContext& c, const Job& job, std::uint8_t fuses) {
    if (ops(job).WriteFuses == nullptr) {
        return Outcome::NotOffered;
    }
    if (!ChipAccepted(c)) {
        return Outcome::Declined;
    }
    ops(job).WriteFuses(c, fuses);
    return Outcome::Done;
}

std::optional<bool> ReadSerialFuse(OpContext& c, const Job& job) {
    if (ops(job).ReadSerialFuse == nullptr || !ChipAccepted(c)) {
        return std::nullopt;
    }
    const bool on = ops(job).ReadSerialFuse(c);
    c.link.ReleaseTarget();
    return on;
}

std::optional<bool> WriteSerialFuse(OpContext& c, const Job& job, bool off) {
    if (ops(job).WriteSerialFuse == nullptr || !ChipAccepted(c)) {
        return std::nullopt;
    }
    return ops(job).WriteSerialFuse(c, off);
}

std::string ChipReport::summary() const {
    std::string name;
    if (found != nullptr) {
        name = found->name;
    } else {
        name = silent ? "čip neodpovídá" : "neznámý čip";
    }
    return name + ", podpis " + hexBytes(bytes);
}

ChipReport IdentifyChip(OpContext& c, const DeviceInfo& selected) {
    ChipReport report;
    report.bytes = familyOps(selected.family).ReadSignature(c, Job{.device = &selected});
    report.matches = signatureMatches(selected, report.bytes);
    report.found = report.matches ? &selected : deviceWithSignature(report.bytes, selected);
    const auto all = [&](std::uint8_t value) {
        return std::all_of(report.bytes.begin(), report.bytes.end(),
                           [value](std::uint8_t b) { return b == value; });
    };
    report.silent = all(0xFF) || all(0x00);
    c.sink.identified(report.summary());
    return report;
}

ChipReport ShowSignature(OpContext& c, const DeviceInfo& selected) {
    ChipReport report = IdentifyChip(c, selected);
    c.sink.info("Čip v patici: " + report.summary());
    return report;
}

namespace {

bool chipConfirmed(OpContext& c) {
    const ChipReport report = IdentifyChip(c, *c.expected);
    if (report.matches) {
        return true;
    }
    const std::string bytes = hexBytes(report.bytes);
    if (report.silent) {
        return c.sink.ask("V patici není čip, nebo neodpovídá (podpis " + bytes +
                          "). Pokračovat ?");
    }
    const std::string known =
        report.found != nullptr ? " (" + std::string(report.found->name) + ")" : "";
    return c.sink.ask("V patici je jiný čip: podpis " + bytes + known + ", zvolen je " +
                      c.expected->name + ". Pokračovat ?");
}

}  // namespace

bool ChipAccepted(OpContext& c) {
    if (c.expected == nullptr || chipConfirmed(c)) {
        return true;
    }
    // The command ends here: a data file it opened goes too.
    c.in().close();
    return false;
}

}  // namespace trilo::commands
