#pragma once

#include <cstdint>
#include <vector>

#include "devices/Catalog.h"
#include "ops/Operation.h"
#include "ops/Signature.h"

namespace trilo {

// What an operation takes from the selection and the options.
struct OpParams {
    const DeviceInfo* device = nullptr;
    std::int32_t FlashSize = 0;
    std::int32_t EepromSize = 0;
    bool AutoVerify = true;
    LockBoxes locks{};
    // A verify reads the chip with the Read's sequence and compares in the program, without
    // the MCS-51 verify's wait before every byte.
    bool VerifyByRead = false;
};

// Every entry point of one family. An absent entry: the family does not offer it. The flash
// operations, the reads and the writes end with the board released, except a blank check that
// passes and the lock-bit read, which the command releases.
struct FamilyOps {
    void (*ReadFlash)(OpContext&, const OpParams&);
    void (*EraseChip)(OpContext&, const OpParams&);
    bool (*BlankCheck)(OpContext&, const OpParams&);
    Comparison (*WriteFlash)(OpContext&, const OpParams&);
    Comparison (*VerifyFlash)(OpContext&, const OpParams&);
    SignatureBytes (*ReadSignature)(OpContext&, const OpParams&);
    // The lock level the chip shows (0 none, 1 to 3).
    int (*ReadLockBits)(OpContext&) = nullptr;
    // One lock level, as the flash write ends.
    void (*WriteLockBits)(OpContext&, std::uint8_t level) = nullptr;
    // One lock level on its own, after the flash write and what must come before the lock:
    // the mode entry the write makes, the write's lock sequence, released.
    void (*LockChip)(OpContext&, std::uint8_t level) = nullptr;
    // Bit k for box chDk, 0 = programmed.
    std::uint8_t (*ReadFuses)(OpContext&, const OpParams&) = nullptr;
    void (*WriteFuses)(OpContext&, std::uint8_t fuses) = nullptr;
    void (*ReadEeprom)(OpContext&, const OpParams&) = nullptr;
    void (*WriteEeprom)(OpContext&) = nullptr;
    // The EEPROM against the input, up to the first difference; shows nothing.
    Comparison (*CompareEeprom)(OpContext&) = nullptr;
    // The serial-programming fuse, true = ON; the write reads it back and releases.
    bool (*ReadSerialFuse)(OpContext&) = nullptr;
    bool (*WriteSerialFuse)(OpContext&, bool off) = nullptr;
    // The Read's own sequence over the first `bytes` bytes (an AVR's whole words), into memory
    // in a data file's order, for a comparison in the program; ends released.
    std::vector<std::uint8_t> (*ReadFlashBytes)(OpContext&, const OpParams&,
                                                std::int64_t bytes) = nullptr;
    std::vector<std::uint8_t> (*ReadEepromBytes)(OpContext&, std::int64_t bytes) = nullptr;
    // The flash holds 16-bit words, each high byte first in a data file.
    bool wordFlash = false;
};

const FamilyOps& familyOps(Family family);

// What a device offers the user: its family's entries, narrowed by its catalog row.
struct Offers {
    bool eeprom = false;
    bool fuses = false;
    bool readLock = false;
    bool serialFuse = false;
    // The family has fuse bits (whether or not this device uses them) and no serial fuse.
    bool fuseFamily = false;
    int lockLevels = 0;
};
Offers offers(const DeviceInfo& device);

}  // namespace trilo
