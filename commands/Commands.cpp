#include "commands/Commands.h"

#include <algorithm>

#include "data/FileMove.h"
#include "ops/avr/AvrEeprom.h"
#include "ops/avr/AvrFuseLock.h"
#include "ops/mcs51/M51LockFuse.h"

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

Outcome Read(OpContext& c, const FlashJob& job) {
    if (!ChipAccepted(c)) {
        return Outcome::Declined;
    }
    flashFamily(job.FamilyTag, FlashCommand::Read).ReadFlash(c, job);
    return Outcome::Done;
}

BufferContent ReadContent(const std::string& FamilyTag) {
    return &flashFamily(FamilyTag, FlashCommand::Read) ==
                   &flashFamily(kFamilyAvr, FlashCommand::Read)
               ? BufferContent::AvrFlash
               : BufferContent::Mcs51Flash;
}

Outcome Erase(OpContext& c, const FlashJob& job) {
    if (!ChipAccepted(c)) {
        return Outcome::Declined;
    }
    const FlashFamily& family = flashFamily(job.FamilyTag, FlashCommand::Erase);
    family.EraseChip(c, job);
    if (job.AutoVerify && !family.BlankCheck(c, job)) {
        return Outcome::NotBlank;
    }
    c.link.ReleaseTarget();
    c.sink.progress(0);
    c.sink.info(kErased);
    return Outcome::Done;
}

namespace {

// The data file opened, or the outcome that ends the command without touching the chip.
std::optional<Outcome> refusedInput(OpContext& c, const InputFile& file, BufferContent memory) {
    if (!fileExists(file.path)) {
        c.sink.info(kNoInputFile);
        return Outcome::NoInputFile;
    }
    if (!openInput(c, file, memory)) {
        return Outcome::BadFile;
    }
    return std::nullopt;
}

}  // namespace

Outcome Write(OpContext& c, const FlashJob& job, const InputFile& CurrentFile,
              std::int64_t sizeLimit, bool AutoErase) {
    if (auto refused = refusedInput(c, CurrentFile, ReadContent(job.FamilyTag))) {
        return *refused;
    }
    if (!fits(c, sizeLimit, kFlashTooSmall)) {
        return Outcome::FileTooLarge;
    }
    if (!ChipAccepted(c)) {
        return Outcome::Declined;
    }
    const FlashFamily& family = flashFamily(job.FamilyTag, FlashCommand::Write);
    if (AutoErase) {
        family.EraseChip(c, job);
    }
    const bool written = family.WriteFlash(c, job);
    c.in().close();
    return written ? Outcome::Done : Outcome::WriteFailed;
}

Outcome CheckInput(OpContext& c, const InputFile& file, BufferContent memory,
                   std::int64_t sizeLimit, const char* tooLarge) {
    if (auto refused = refusedInput(c, file, memory)) {
        return *refused;
    }
    const bool fitting = fits(c, sizeLimit, tooLarge);
    c.in().close();
    c.input = nullptr;
    c.image.reset();
    return fitting ? Outcome::Done : Outcome::FileTooLarge;
}

Outcome Verify(OpContext& c, const FlashJob& job, const InputFile& CurrentFile) {
    if (auto refused = refusedInput(c, CurrentFile, ReadContent(job.FamilyTag))) {
        return *refused;
    }
    if (!ChipAccepted(c)) {
        return Outcome::Declined;
    }
    const bool same = flashFamily(job.FamilyTag, FlashCommand::Verify).VerifyFlash(c, job);
    return same ? Outcome::Done : Outcome::VerifyFailed;
}

Outcome ReadEeprom(OpContext& c, std::int32_t EepromSize) {
    if (!ChipAccepted(c)) {
        return Outcome::Declined;
    }
    AvrReadEeprom(c, EepromSize);
    return Outcome::Done;
}

Outcome WriteEeprom(OpContext& c, const InputFile& CurrentFile, std::int64_t sizeLimit) {
    if (auto refused = refusedInput(c, CurrentFile, BufferContent::AvrEeprom)) {
        return *refused;
    }
    if (!fits(c, sizeLimit, kEepromTooSmall)) {
        return Outcome::FileTooLarge;
    }
    if (!ChipAccepted(c)) {
        return Outcome::Declined;
    }
    AvrWriteEeprom(c);
    return Outcome::Done;
}

std::optional<int> ReadLockBits(OpContext& c, const std::string& FamilyTag) {
    if (!ChipAccepted(c)) {
        return std::nullopt;
    }
    const int level = FamilyTag == kFamilyAvr ? AvrReadLockBits(c) : M51ReadLockBits(c);
    c.link.ReleaseTarget();
    return level;
}

std::optional<std::uint8_t> ReadFuses(OpContext& c, const DeviceInfo& device) {
    if (!ChipAccepted(c)) {
        return std::nullopt;
    }
    return AvrReadFuses(c, device.fuseReadControl);
}

Outcome WriteFuses(OpContext& c, std::uint8_t fuses) {
    if (!ChipAccepted(c)) {
        return Outcome::Declined;
    }
    AvrWriteFuses(c, fuses);
    return Outcome::Done;
}

std::optional<bool> ReadSerialFuse(OpContext& c) {
    if (!ChipAccepted(c)) {
        return std::nullopt;
    }
    const bool on = S51ReadSerialFuse(c);
    c.link.ReleaseTarget();
    return on;
}

std::optional<bool> WriteSerialFuse(OpContext& c, bool off) {
    if (!ChipAccepted(c)) {
        return std::nullopt;
    }
    return S51WriteSerialFuse(c, off);
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
    report.bytes = ReadSignature(c, selected.family);
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
