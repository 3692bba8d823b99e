#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/Errors.h"
#include "base/OperationSink.h"
#include "base/Text.h"
#include "files/ByteFile.h"
#include "files/ByteSource.h"
#include "link/Link.h"

namespace trilo {

struct DeviceInfo;

// The first byte in which the chip differs from the data file: its address as the user's
// tools number the bytes of that file, what the file holds there and what the chip gave.
struct Difference {
    std::int64_t address = 0;
    std::uint8_t inFile = 0;
    std::uint8_t inChip = 0;
    // Where the byte is in the file itself, when that is not its address: a raw AVR image
    // holds each word high byte first, so a hex viewer finds the tools' byte 0x01A4 at 0x01A5.
    std::optional<std::int64_t> fileOffset{};
    // "první rozdíl na adrese 0x01A5: v souboru 5A, v čipu FF", with the file's own offset
    // beside the address when it has one: "na adrese 0x01A4 (v souboru 0x01A5): ..."
    std::string text() const;
    bool operator==(const Difference&) const = default;
};

// What a write's read-back or a verify found: the chip as the file, or the first difference.
struct Comparison {
    std::optional<Difference> difference;
    bool same() const { return !difference; }
};

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
    // The input is an AVR flash image, which the operations take high byte first: the user's
    // tools number each word low byte first, so the input's byte o is their byte o ^ 1.
    bool swappedWords = false;
    // The input is the data file as it stands (raw), not an image decoded from it: its byte
    // o is also the file's own offset o.
    bool rawInput = false;
    // The first difference the last write or verify found, for whoever shows it.
    std::optional<Difference> difference;
    // The user asked the running operation to stop: it ends at the next byte or word, through
    // the same release as a failure. nullptr: nothing can stop it.
    const std::atomic<bool>* stop = nullptr;
    // How many bytes the last command read, wrote or compared, for its report.
    std::int64_t bytes = 0;
    // What a failed verify adds to its first difference, asked once the board is released
    // and before the message: the command reads the whole memory and says what all the
    // differences show. Empty: nothing to add.
    std::function<std::string()> explainFailure;

    ByteSource& in() { return input != nullptr ? *input : DataFile; }
};

// The difference at byte `offset` of the input, numbered as the user's tools number it, with
// the raw file's own offset beside when the two differ.
Difference differenceAt(const OpContext& c, std::int64_t offset, std::uint8_t inFile,
                        std::uint8_t inChip);

// Each step of an operation's loop: ends the operation with Stopped at `address` when a stop
// was asked for, and moves the gauge to percent otherwise.
void stepAt(OpContext& c, std::int64_t address, int percent);

// How a flash verify ends, the board released: "Verifikace - OK    ", or the failure with the
// 1-based number of the differing byte appended (none when number is 0) and the first
// difference as its detail, with what explainFailure adds on a line of its own; then the
// gauge back to 0.
void verifyEnded(OpContext& c, const std::optional<Difference>& differs, std::int64_t number);

// The detail of a failure: the first difference, and what all of them show on a line of its
// own when there is anything.
std::string failureDetail(const Difference& first, const std::string& explanation);

// The lock levels checked in chLB1, chLB2 and chLB3.
using LockBoxes = std::array<bool, 3>;

// done of total in whole percent, computed in double and rounded half to even
// (1 of 8 gives 12, 3 of 8 gives 38).
int percentOf(std::int64_t done, std::int64_t total);

// Runs an operation so that whatever ends it early, the programmer is released and the data
// file closed: no programming voltage is left on the chip, no handle open.
void runReleasing(OpContext& c, const std::function<void()>& operation);

// The messages of the operations and commands, as the catalogue's msgids: shown through _().
inline constexpr const char* kWriteFailed = N_("Při zápisu do FLASH došlo k chybě ! ");
inline constexpr const char* kNotBlank = N_("FLASH neni dostatečně smazána ! ");
inline constexpr const char* kVerifyFailed =
    N_("Při verifikaci zápisu do FLASH byla nalezena chyba! ");
inline constexpr const char* kVerifyOk = N_("Verifikace - OK    ");
inline constexpr const char* kErased = N_("FLASH smazána ! ");
inline constexpr const char* kNoInputFile = N_("Nebyl zadán vstupní soubor ! ");
inline constexpr const char* kFlashTooSmall =
    N_("Soubor vstupních dat je větší než velikost FLASH v CPU ! ");
inline constexpr const char* kEepromTooSmall =
    N_("Soubor vstupních dat je větší než velikost EEPROM v CPU ! ");

}  // namespace trilo
