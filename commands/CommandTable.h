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

// The option that makes the command check its own work: the run's AutoVerify or blank check.
enum class CheckedBy { Nothing, ReadBack, BlankCheck };
// When the report says "ověřeno": never, always (a verify), or when its check was on.
enum class Checked { Never, Always, WhenChecking };
// What the command line's option takes.
enum class Argument { None, File, OptionalFile, FuseNames, OnOff };

// What a command is given besides the engine's options.
struct CommandArgs {
    // The data file of a command that has input; empty for the engine's data file.
    std::optional<std::string> file = std::nullopt;
    commands::FileFormat format = commands::FileFormat::ByName;
    // A flash write erases first; nothing for the engine's AutoErase.
    std::optional<bool> autoErase = std::nullopt;
    // The lock level a flash write programs last, and the level a lock step programs: 0
    // none, 1 to 3.
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

// A row's run: the command's call of the commands layer with its values.
struct CommandCall {
    OpContext& c;
    const OpParams& params;
    const commands::InputFile& file;
    const CommandArgs& args;
    bool autoErase;
    CommandResult& result;
};

// The row's texts are the catalogue's msgids, in Czech: whoever shows one translates it,
// _(row.name).
struct CommandRow {
    Command id;
    const char* name;  // on the gauge and in the report: "Zápis FLASH"
    // What the device must offer (ops/FamilyTable's entries narrowed by the catalog row);
    // nullptr: every device. lacks says why not, with {} for the device's name.
    bool Offers::*needs = nullptr;
    const char* lacks = nullptr;
    // The data file it reads, checked for this destination and its memory's size.
    std::optional<commands::Destination> input = std::nullopt;
    Leaves leaves = Leaves::Nothing;
    CheckedBy checkedBy = CheckedBy::Nothing;
    Checked checked = Checked::Never;
    // Changes the chip: a run's automatic erase comes before the first one.
    bool writes = false;
    // What a job file (.trilo) may ask of every chip of a series.
    bool inJob = false;
    // The lock bits of a locked chip refuse it: it runs before a run's lock step.
    bool beforeLock = false;
    commands::Outcome (*run)(CommandCall&) = nullptr;
    // The report of a Done that has words of its own, checked and not ("čip je prázdný").
    const char* doneChecked = nullptr;
    const char* doneUnchecked = nullptr;
    // What a WriteFailed says where the operation showed nothing.
    const char* failure = nullptr;
    // trilo-cli: the long option (nullptr: a step of a run that no option names), its letter
    // (0: none), its argument, the progress bar's label and the help's lines.
    const char* option = nullptr;
    char letter = 0;
    Argument argument = Argument::None;
    const char* label = "";
    const char* help = "";
};

std::span<const CommandRow> commandTable();
const CommandRow& commandRow(Command id);

// Whether the device offers the command.
bool offered(const CommandRow& row, const DeviceInfo& device);

// What a finished command read, as trilo-cli prints it and a chip's line keeps it: "Lock Bit:
// 2", "AVR Fuse Bits: SPIEN,FSTRT", "Serial Prog. Fuse: ON"; empty when it read nothing to
// show.
std::string readingText(const CommandResult& result, const DeviceInfo& device);

// The one rule for a report's "ověřeno": the option that the row checks by, as set.
bool countsChecked(const CommandRow& row, bool readBack, bool blankCheck);

}  // namespace trilo
