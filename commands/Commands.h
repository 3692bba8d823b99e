#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "base/Text.h"

#include "commands/DataFiles.h"
#include "devices/Catalog.h"
#include "ops/FamilyTable.h"
#include "ops/Operation.h"

// The commands of the window, without the window: the checks of the data file and its size,
// the signature check, the automatic erase and blank check, the choice of the family's
// operation, and which message ends which case. The window and a command line call the same
// functions; the caller reads its controls into the arguments and shows the outcome in them.
//
// Before a command first touches the chip it reads the chip's signature when the context
// names the expected device; a chip that is not that device ends the command, untouched and
// with the board at rest, unless the sink's question is answered Yes.
namespace trilo::commands {

// The board cannot be driven; the text says why and what to do about it.
class PortUnusable : public TriloError {
public:
    using TriloError::TriloError;
};

// Runs commands on the board: refused with the port's reason when it cannot be driven, and
// that reason raised after them when the port failed meanwhile, since whatever they
// concluded came from a board that did not answer. Whatever ends them early, the board is
// released and the data file closed.
void runOnBoard(OpContext& c, const std::function<void()>& commands);

enum class Outcome {
    Done,
    NoInputFile,   // "Nebyl zadán vstupní soubor ! "
    FileTooLarge,  // the data file is larger than the size given
    WriteFailed,   // a byte or word did not read back
    NotBlank,      // the blank check after an erase failed
    VerifyFailed,  // the flash differs from the data file
    Declined,      // the chip is not the device selected, and the user said No
    BadFile,       // the data file is Intel HEX that is not valid
    EmptyFile,     // a verify against an empty file, which would compare nothing
    NotOffered,    // the device's family has no such operation; nothing was done
    // Not returned by a command, but what its runner saw: the user stopped it (Stopped), or
    // an error ended it (Failed).
    Stopped,
    Failed,
};

// A verify refuses an empty file; a write of one writes only the lock bits, and says so. A run
// of several commands refuses a write of a file without bytes for its memory before it starts.
inline constexpr const char* kEmptyFile =
    N_("Soubor vstupních dat je prázdný, není s čím porovnat ! ");
inline constexpr const char* kEmptyWrite = N_("Soubor je prázdný: do FLASH se nic nezapsalo");
inline constexpr const char* kEmptyWriteLocks =
    N_("Soubor je prázdný: do FLASH se nic nezapsalo, jen lock bity");
inline constexpr const char* kNoFlashData =
    N_("Soubor vstupních dat neobsahuje žádná data pro FLASH ! ");
inline constexpr const char* kNoEepromData =
    N_("Soubor vstupních dat neobsahuje žádná data pro EEPROM ! ");

// Every command runs the operation of params.device's family.

// Read: the flash into the buffer file.
Outcome Read(OpContext& c, const OpParams& params);
// What a flash read of the device leaves in the buffer, so that a save as Intel HEX turns
// the words of an AVR image.
BufferContent ReadContent(const DeviceInfo& device);
// Erase, with the blank check when params.AutoVerify is set; "FLASH smazána ! " when done.
Outcome Erase(OpContext& c, const OpParams& params);
// Write the data file into the flash. sizeLimit is "Size FLASH": a larger file is refused
// before anything is sent to the chip, so the automatic erase never destroys a chip's
// contents for a write that cannot run. With params.AutoVerify the lock level written is read
// back (AVR and 89S parts) in a cycle of its own; a chip that shows another is WriteFailed.
// The first difference of a read-back or verify is left in c.difference.
Outcome Write(OpContext& c, const OpParams& params, const InputFile& CurrentFile,
              std::int64_t sizeLimit, bool AutoErase);
// The automatic erase of a job whose first write is not the flash write (an EEPROM or fuse
// write comes before it): run before that first write, so that it undoes none of the job's
// writes (an AVR's erase clears its EEPROM too), and the flash write then gets AutoErase
// false. As Write's own erase: the signature check, no blank check, no message.
Outcome EraseBeforeWrites(OpContext& c, const OpParams& params);
// What a data file is checked for: a flash write's, a verify's, an EEPROM write's.
enum class Destination { Flash, Verify, Eeprom, VerifyEeprom };
// Whether that file is for the EEPROM, and its size checked against "Size EEPROM".
inline bool forEeprom(Destination destination) {
    return destination == Destination::Eeprom || destination == Destination::VerifyEeprom;
}
// The checks a Write, Verify or EEPROM write makes of its data file before it touches the
// chip (the file exists, a HEX, S-record or ELF file is valid, it fits sizeLimit; a verify's
// is not empty either), made ahead of a whole job so that an earlier command never
// changes a chip for a file a later one refuses. Done, or the outcome with its message shown;
// the file is closed again either way.
Outcome CheckInput(OpContext& c, const OpParams& params, const InputFile& file,
                   Destination destination, std::int64_t sizeLimit);
// The lock level alone, after the flash write and whatever a locked chip would refuse: the
// family's lock sequence in a mode entry of its own, read back with params.AutoVerify where the
// family can read its lock bits.
Outcome WriteLock(OpContext& c, const OpParams& params, int level);
// Verify the flash against the data file; the operation shows the result. A file larger than
// sizeLimit ("Size FLASH") is refused as the write refuses it.
Outcome Verify(OpContext& c, const OpParams& params, const InputFile& CurrentFile,
               std::int64_t sizeLimit);

// The EEPROM: read params.EepromSize bytes into the buffer file; write the data file, refused
// when it is larger than sizeLimit ("Size EEPROM").
Outcome ReadEeprom(OpContext& c, const OpParams& params);
// With params.AutoVerify the EEPROM is read back against the file after the write.
Outcome WriteEeprom(OpContext& c, const OpParams& params, const InputFile& CurrentFile,
                    std::int64_t sizeLimit);

// Verify the EEPROM against the data file, as Verify the flash: an empty file or one larger
// than sizeLimit ("Size EEPROM") is refused; the result is shown, a difference with its
// address.
Outcome VerifyEeprom(OpContext& c, const OpParams& params, const InputFile& CurrentFile,
                     std::int64_t sizeLimit);

// The lock level the chip shows (0 none, 1 to 3).
std::optional<int> ReadLockBits(OpContext& c, const OpParams& params);
// The fuse reading of the device (bit k for box chDk, 0 = programmed), and the write of a
// fuse byte, read back in the device's fuse bits with params.AutoVerify.
std::optional<std::uint8_t> ReadFuses(OpContext& c, const OpParams& params);
Outcome WriteFuses(OpContext& c, const OpParams& params, std::uint8_t fuses);
// The serial-programming fuse of the 89S parts, true = ON; the write reads it back.
std::optional<bool> ReadSerialFuse(OpContext& c, const OpParams& params);
std::optional<bool> WriteSerialFuse(OpContext& c, const OpParams& params, bool off);

// What a signature read found, for the selected device.
struct ChipReport {
    std::vector<std::uint8_t> bytes;
    const DeviceInfo* found = nullptr;  // the device those bytes identify, if any
    bool matches = false;               // found is the selected device
    bool silent = false;                // every byte 0xFF or every byte 0x00: no chip answers
    ChipIdentity identity() const;
    // "90S2313, podpis 1E 91 01", as the status line shows it.
    std::string summary() const;
};
// Reads the signature, tells the sink what answered and returns it.
ChipReport IdentifyChip(OpContext& c, const DeviceInfo& selected);
// Reads the signature whatever device is expected and shows what answered:
// "Čip v patici: 90S2313, podpis 1E 91 01".
ChipReport ShowSignature(OpContext& c, const DeviceInfo& selected);
// The check before a command: true when the chip is the expected device (or no device is
// expected), or when the user answers Yes to going on with another. False closes the data
// file the command opened, since the command ends there.
bool ChipAccepted(OpContext& c);

}  // namespace trilo::commands
