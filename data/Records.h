#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "data/IntelHex.h"

// What the readers and writers of the record formats (Intel HEX, S-record) and the ELF reader
// share: the image a file builds up, the lines and hex bytes of a text, and its refusals.
namespace trilo::records {

// Collects the bytes a file gives at their addresses. A byte at or above kHexAddressLimit, or
// a second, different value for one address, is a fault: two records that disagree leave no
// right answer to program.
class ImageBuilder {
public:
    // Nothing when the bytes are taken, else the fault ("Adresa 0x1234 je za hranicí 1 MiB").
    std::optional<std::string> put(std::size_t address, std::span<const std::uint8_t> data);
    HexImage take() && { return std::move(image_); }

private:
    HexImage image_;
    std::vector<bool> written_;
};

// The value of the two hex digits at `at`, or -1 where they are not hex digits.
int hexByte(std::string_view text, std::size_t at);

// Upper-case hex with at least `digits` digits, as addresses and record types are written.
std::string hexNumber(std::size_t value, int digits);

// "<fault> na řádku <line> souboru <kind> ! ": the fault first, then where to look.
HexRefusal lineRefusal(std::size_t line, const std::string& fault, std::string_view kind);

// The refusal of a file that stops after line `lastLine` without its end record.
HexRefusal missingEnd(std::size_t lastLine, std::string_view kind);

// Hands each line of the text to `take` with its 1-based number, without its LF or CRLF,
// until `take` refuses one.
std::optional<HexRefusal> forEachLine(
    std::string_view text,
    const std::function<std::optional<HexRefusal>(std::string_view, std::size_t)>& take);

// Appends a record's bytes as upper-case hex digits and keeps their sum for the checksum.
class RecordText {
public:
    explicit RecordText(std::string& out) : out_(out) {}
    void put(std::uint8_t byte);
    void put(std::span<const std::uint8_t> bytes);
    std::uint8_t sum() const { return static_cast<std::uint8_t>(sum_); }

private:
    std::string& out_;
    unsigned sum_ = 0;
};

}  // namespace trilo::records
