#include "ops/FamilyTable.h"

#include "ops/avr/AvrEeprom.h"
#include "ops/avr/AvrFlash.h"
#include "ops/avr/AvrFuseLock.h"
#include "ops/mcs51/M51Flash.h"
#include "ops/mcs51/M51LockFuse.h"

namespace trilo {

namespace {

const FamilyOps kAvr{
    .ReadFlash = [](OpContext& c, const OpParams& j) { AvrReadFlash(c, j.FlashSize); },
    .EraseChip = [](OpContext& c, const OpParams&) { AvrEraseChip(c); },
    .BlankCheck = [](OpContext& c, const OpParams& j) { return AvrBlankCheck(c, j.FlashSize); },
    .WriteFlash = [](OpContext& c,
                     const OpParams& j) { return AvrWriteFlash(c, j.AutoVerify, j.locks); },
    .VerifyFlash = [](OpContext& c, const OpParams&) { return AvrVerifyFlash(c); },
    .ReadSignature = [](OpContext& c, const OpParams&) { return AvrReadSignature(c); },
    .ReadLockBits = AvrReadLockBits,
    .WriteLockBits = AvrWriteLockBits,
    .LockChip = AvrWriteLockBits,
    .ReadFuses = [](OpContext& c,
                    const OpParams& j) { return AvrReadFuses(c, j.device->fuseReadControl); },
    .WriteFuses = AvrWriteFuses,
    .ReadEeprom = [](OpContext& c, const OpParams& j) { AvrReadEeprom(c, j.EepromSize); },
    .WriteEeprom = AvrWriteEeprom,
    .CompareEeprom = AvrCompareEeprom,
    .ReadFlashBytes = [](OpContext& c, const OpParams&,
                         std::int64_t bytes) { return AvrReadFlashBytes(c, bytes); },
    .ReadEepromBytes = AvrReadEepromBytes,
    .wordFlash = true,
};

// The MCS-51 families share their operations, which take the family for its steps.
template <Family F>
constexpr FamilyOps mcs51() {
    return {
        .ReadFlash = [](OpContext& c, const OpParams& j) { M51ReadFlash(c, F, j.FlashSize); },
        .EraseChip = [](OpContext& c, const OpParams&) { M51EraseChip(c, F); },
        .BlankCheck = [](OpContext& c,
                         const OpParams& j) { return M51BlankCheck(c, F, j.FlashSize); },
        .WriteFlash = [](OpContext& c,
                         const OpParams& j) { return M51WriteFlash(c, F, j.AutoVerify, j.locks); },
        .VerifyFlash = [](OpContext& c, const OpParams&) { return M51VerifyFlash(c, F); },
        .ReadSignature = [](OpContext& c, const OpParams&) { return M51ReadSignature(c, F); },
        .WriteLockBits = M51WriteLockBits,
        .LockChip = [](OpContext& c, std::uint8_t level) { M51LockChip(c, F, level); },
        .ReadFlashBytes = [](OpContext& c, const OpParams&,
                             std::int64_t bytes) { return M51ReadFlashBytes(c, F, bytes); },
    };
}

const FamilyOps kX051 = mcs51<Family::X051>();
const FamilyOps kX51 = mcs51<Family::X51>();

FamilyOps s51() {
    FamilyOps ops = mcs51<Family::S51>();
    ops.ReadLockBits = M51ReadLockBits;
    ops.WriteLockBits = S51WriteLockBits;
    ops.ReadSerialFuse = S51ReadSerialFuse;
    ops.WriteSerialFuse = S51WriteSerialFuse;
    return ops;
}

const FamilyOps kS51 = s51();

}  // namespace

const FamilyOps& familyOps(Family family) {
    switch (family) {
        case Family::X051:
            return kX051;
        case Family::X51:
            return kX51;
        case Family::S51:
            return kS51;
        case Family::Avr:
            break;
    }
    return kAvr;
}

Offers offers(const DeviceInfo& device) {
    const FamilyOps& ops = familyOps(device.family);
    Offers o;
    o.eeprom = ops.ReadEeprom != nullptr && device.eepromOps;
    o.fuses = ops.ReadFuses != nullptr && device.fuseOps;
    o.readLock = ops.ReadLockBits != nullptr;
    o.serialFuse = ops.ReadSerialFuse != nullptr;
    o.fuseFamily = ops.ReadFuses != nullptr && !o.serialFuse;
    o.lockLevels = device.lockLevels;
    return o;
}

}  // namespace trilo
