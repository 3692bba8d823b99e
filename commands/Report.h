#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "commands/Commands.h"

// What the user reads about a command: its name on the running gauge, and after it the line
// that says how it ended. The window's status line and the command line's verbose output
// take the same words from here.
namespace trilo {

// Every command of the programmer, one row each in the command table (CommandTable.h): the
// window's buttons and trilo-cli's options run them.
enum class Command {
    ReadFlash,
    WriteFlash,
    Erase,
    Verify,
    ReadEeprom,
    WriteEeprom,
    VerifyEeprom,
    ReadLockBits,
    ReadFuses,
    WriteFuses,
    ReadSerialFuse,
    WriteSerialFuse,
    Signature,
    Checksum,
    // Steps of a run that no face asks for by name: the erase before a run's first write when
    // that is not the flash write, and the lock level on its own after what a lock would refuse.
    AutoErase,
    WriteLock,
};

// "1,4 s": one decimal, with the language's decimal separator ("1.4 s" in English).
std::string seconds(std::int64_t us);

// "Zápis FLASH", the row's name.
const char* commandName(Command command);

// How a command ended.
struct Report {
    Command command = Command::ReadFlash;
    commands::Outcome outcome = commands::Outcome::Done;
    // What it read, wrote or compared.
    std::int64_t bytes = 0;
    // A write read back, an erase checked blank.
    bool verified = false;
    std::int64_t durationUs = 0;
    // The first difference of a failed write or verify, or where the command stopped.
    std::optional<std::int64_t> address;
    // The difference's place in a raw file, when that is not its address (Difference).
    std::optional<std::int64_t> fileOffset{};
};

// "Zápis FLASH: 2048 B, ověřeno, 1,4 s", "Verifikace: rozdíl na adrese 0x01A4",
// "Verifikace: rozdíl na adrese 0x01A4 (v souboru 0x01A5)", "Zastaveno na adrese 0x0400".
std::string reportText(const Report& report);

// The gauge's text while the command runs: "Zápis FLASH 42 %", and once the gauge has run
// two seconds, the time left estimated from its pace so far: "Zápis FLASH 42 %, zbývá 12 s".
std::string progressText(Command command, int percent, std::int64_t elapsedUs);

}  // namespace trilo
