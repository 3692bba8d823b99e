#pragma once

#include <cstdint>
#include <string>

#include "devices/Catalog.h"
#include "ops/FamilyTable.h"
#include "ops/Operation.h"

// The commands of the window, without the window: the checks of the data file and its size,
// the automatic erase and blank check, the choice of the family's operation, and which
// message ends which case. The window and a command line call the same functions; the
// caller reads its controls into the arguments and shows the outcome in them.
namespace trilo::commands {

enum class Outcome {
    Done,
    NoInputFile,   // "Nebyl zadán vstupní soubor ! "
    FileTooLarge,  // the data file is larger than the size given
    WriteFailed,   // a byte or word did not read back
    NotBlank,      // the blank check after an erase failed
    VerifyFailed,  // the flash differs from the data file
};

// Read: the flash into the buffer file.
Outcome Read(OpContext& c, const FlashJob& job);
// Erase, with the blank check when job.AutoVerify is set; "FLASH smazána ! " when done.
Outcome Erase(OpContext& c, const FlashJob& job);
// Write the data file into the flash. sizeLimit is "Size FLASH": a larger file is refused
// before anything is sent to the chip, so the automatic erase never destroys a chip's
// contents for a write that cannot run.
Outcome Write(OpContext& c, const FlashJob& job, const std::string& CurrentFile,
              std::int64_t sizeLimit, bool AutoErase);
// Verify the flash against the data file; the operation shows the result.
Outcome Verify(OpContext& c, const FlashJob& job, const std::string& CurrentFile);

// The AVR EEPROM: read EepromSize bytes into the buffer file; write the data file, refused
// when it is larger than sizeLimit ("Size EEPROM").
Outcome ReadEeprom(OpContext& c, std::int32_t EepromSize);
Outcome WriteEeprom(OpContext& c, const std::string& CurrentFile, std::int64_t sizeLimit);

// The lock level the chip shows (0 none, 1 to 3), for the AVR or an MCS-51 family.
int ReadLockBits(OpContext& c, const std::string& FamilyTag);
// The AVR fuse reading of the device (bit k for box chDk, 0 = programmed), and the write of
// a fuse byte.
std::uint8_t ReadFuses(OpContext& c, const DeviceInfo& device);
void WriteFuses(OpContext& c, std::uint8_t fuses);
// The serial-programming fuse of the 89S parts, true = ON; the write reads it back.
bool ReadSerialFuse(OpContext& c);
bool WriteSerialFuse(OpContext& c, bool off);

}  // namespace trilo::commands
