#include "commands/Commands.h"

#include "data/FileMove.h"
#include "ops/avr/AvrEeprom.h"
#include "ops/avr/AvrFuseLock.h"
#include "ops/mcs51/M51LockFuse.h"

namespace trilo::commands {

namespace {

// Opens the data file for the operation to read, or says that there is none.
bool openInput(OpContext& c, const std::string& CurrentFile) {
    if (!fileExists(CurrentFile)) {
        c.sink.info(kNoInputFile);
        return false;
    }
    c.DataFile.openRead(CurrentFile);
    c.input = &c.DataFile;
    return true;
}

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

Outcome Read(OpContext& c, const FlashJob& job) {
    flashFamily(job.FamilyTag, FlashCommand::Read).ReadFlash(c, job);
    return Outcome::Done;
}

Outcome Erase(OpContext& c, const FlashJob& job) {
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

Outcome Write(OpContext& c, const FlashJob& job, const std::string& CurrentFile,
              std::int64_t sizeLimit, bool AutoErase) {
    if (!openInput(c, CurrentFile)) {
        return Outcome::NoInputFile;
    }
    if (!fits(c, sizeLimit, kFlashTooSmall)) {
        return Outcome::FileTooLarge;
    }
    const FlashFamily& family = flashFamily(job.FamilyTag, FlashCommand::Write);
    if (AutoErase) {
        family.EraseChip(c, job);
    }
    const bool written = family.WriteFlash(c, job);
    c.in().close();
    return written ? Outcome::Done : Outcome::WriteFailed;
}

Outcome Verify(OpContext& c, const FlashJob& job, const std::string& CurrentFile) {
    if (!openInput(c, CurrentFile)) {
        return Outcome::NoInputFile;
    }
    const bool same = flashFamily(job.FamilyTag, FlashCommand::Verify).VerifyFlash(c, job);
    return same ? Outcome::Done : Outcome::VerifyFailed;
}

Outcome ReadEeprom(OpContext& c, std::int32_t EepromSize) {
    AvrReadEeprom(c, EepromSize);
    return Outcome::Done;
}

Outcome WriteEeprom(OpContext& c, const std::string& CurrentFile, std::int64_t sizeLimit) {
    if (!openInput(c, CurrentFile)) {
        return Outcome::NoInputFile;
    }
    if (!fits(c, sizeLimit, kEepromTooSmall)) {
        return Outcome::FileTooLarge;
    }
    AvrWriteEeprom(c);
    return Outcome::Done;
}

int ReadLockBits(OpContext& c, const std::string& FamilyTag) {
    const int level = FamilyTag == kFamilyAvr ? AvrReadLockBits(c) : M51ReadLockBits(c);
    c.link.ReleaseTarget();
    return level;
}

std::uint8_t ReadFuses(OpContext& c, const DeviceInfo& device) {
    return AvrReadFuses(c, device.fuseReadControl);
}

void WriteFuses(OpContext& c, std::uint8_t fuses) {
    AvrWriteFuses(c, fuses);
}

bool ReadSerialFuse(OpContext& c) {
    const bool on = S51ReadSerialFuse(c);
    c.link.ReleaseTarget();
    return on;
}

bool WriteSerialFuse(OpContext& c, bool off) {
    return S51WriteSerialFuse(c, off);
}

}  // namespace trilo::commands
