#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "base/OperationSink.h"
#include "data/ByteFile.h"
#include "data/ByteSource.h"
#include "link/Link.h"

namespace trilo {

struct DeviceInfo;

// What every operation works over. Reads create the buffer file through DataFile; Write,
// Verify and the EEPROM write read their data through in(), which the command has opened.
struct OpContext {
    OpContext(Link& l, ByteFile& file, std::string buffer, OperationSink& s)
        : link(l), DataFile(file), BufferFile(std::move(buffer)), sink(s) {}

    Link& link;
    ByteFile& DataFile;
    std::string BufferFile;
    OperationSink& sink;
    ByteSource* input = nullptr;
    // The device the chip must be: its signature is checked before a command touches the
    // chip. nullptr: no check.
    const DeviceInfo* expected = nullptr;
    // An image the input is read from, when the data file is not read as it stands.
    std::unique_ptr<ImageSource> image;

    ByteSource& in() { return input != nullptr ? *input : DataFile; }
};

// The lock levels checked in chLB1, chLB2 and chLB3.
using LockBoxes = std::array<bool, 3>;

// done of total in whole percent, computed in double and rounded half to even
// (1 of 8 gives 12, 3 of 8 gives 38).
int percentOf(std::int64_t done, std::int64_t total);

// Runs an operation so that whatever ends it early, the programmer is released and the data
// file closed: no programming voltage is left on the chip, no handle open.
void runReleasing(OpContext& c, const std::function<void()>& operation);

// The messages of the operations and commands.
inline constexpr const char* kWriteFailed = "Při zápisu do FLASH došlo k chybě ! ";
inline constexpr const char* kNotBlank = "FLASH neni dostatečně smazána ! ";
inline constexpr const char* kVerifyFailed = "Při verifikaci zápisu do FLASH byla nalezena chyba! ";
inline constexpr const char* kVerifyOk = "Verifikace - OK    ";
inline constexpr const char* kErased = "FLASH smazána ! ";
inline constexpr const char* kNoInputFile = "Nebyl zadán vstupní soubor ! ";
inline constexpr const char* kFlashTooSmall =
    "Soubor vstupních dat je větší než velikost FLASH v CPU ! ";
inline constexpr const char* kEepromTooSmall =
    "Soubor vstupních dat je větší než velikost EEPROM v CPU ! ";

}  // namespace trilo
