#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "commands/Commands.h"
#include "commands/Report.h"
#include "ops/FamilyTable.h"

// One row per command: what it runs, what it needs and leaves, when it counts as checked,
// and how trilo-cli names it. The engine runs a row (Engine::run); the window's handlers and
// trilo-cli only say which row and with what, so a new command is a new row.
namespace trilo {

// What a finished command leaves besides its report.
enum class Leaves {
    Nothing,
    FlashBuffer,   // the flash in the buffer file, to be saved
    EepromBuffer,  // the EEPROM in the buffer file
    LockLevel,
    FuseByte,
    SerialFuse,
    Signature,
    Checksum,  // the flash in the buffer file, to be summed
};

// The option that makes the command check its own work: it is the job's AutoVerify.
enum class CheckedBy { Nothing, ReadBack, BlankCheck };
// When the report says "ověřeno": never, always (a verify), or when its check was on.
enum class Checked { Never, Always, WhenChecking };
// What the command line's option takes.
enum class Argument { None, File, OptionalFile, FuseNames, OnOff };

// What a command is given besides the engine's options.
struct CommandArgs {
    // The data file of a command that has input; empty for the engine's data file.
    std::optional<std::string> file;
    commands::FileFormat format = commands::FileFormat::ByName;
    // A flash write erases first; nothing for the engine's AutoErase.
    std::optional<bool> autoErase;
    // The job's automatic erase runs just before this command (one that changes the chip).
    bool eraseFirst = false;
    // The lock level a flash write programs last: 0 none, 1 to 3.
    int lockLevel = 0;
    // The fuse byte a fuse write writes (bit k for box chDk, 0 = programmed), and the serial
    // fuse a serial-fuse write sets.
    std::uint8_t fuses = 0xFF;
    bool serialFuseOff = false;
};

// What a finished command gives back.
struct CommandResult {
    Report report;
    std::optional<int> lockLevel;
    std::optional<std::uint8_t> fuses;  // bit k for box chDk, 0 = programmed
    std::optional<bool> serialFuse;     // true = ON
    std::optional<Difference> difference;
    commands::Outcome outcome() const { return report.outcome; }
};

// A row's run: the command's call of the commands layer with the job's values.
struct CommandCall {
    OpContext& c;
    const OpParams& params;
    const commands::InputFile& file;
    bool autoErase;
    std::uint8_t fuses;
    bool serialFuseOff;
    CommandResult& result;
};

struct CommandRow {
    Command id;
    const char* name;  // on the gauge and in the report: "Zápis FLASH"
    // What the device must offer (ops/FamilyTable's entries narrowed by the catalog row);
    // nullptr: every device. lacks says why not, with {} for the device's name.
    bool Offers::*needs;
    const char* lacks;
    // The data file it reads, checked for this destination and its memory's size.
    std::optional<commands::Destination> input;
    Leaves leaves;
    CheckedBy checkedBy;
    Checked checked;
    // A write to the chip: a job's automatic erase comes before the first one.
    bool writes;
    commands::Outcome (*run)(CommandCall&);
    // trilo-cli: the long option, its letter (0: none), its argument, the progress bar's
    // label and the help's lines.
    const char* option;
    char letter;
    Argument argument;
    const char* label;
    const char* help;
};

std::span<const CommandRow> commandTable();
const CommandRow& commandRow(Command id);

// Whether the device offers the command.
bool offered(const CommandRow& row, const DeviceInfo& device);

// The one rule for a report's "ověřeno": the option that the row checks by, as set.
bool countsChecked(const CommandRow& row, bool readBack, bool blankCheck);

}  // namespace trilo
