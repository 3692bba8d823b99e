#pragma once

#include <algorithm>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/Text.h"
#include "formats/Image.h"

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

// The refusal of a file that stops after line `lastLine` without its end record; `addEnd`,
// where given (a text marked for the catalogue), says in brackets how to have one written.
HexRefusal missingEnd(std::size_t lastLine, std::string_view kind, const char* addEnd = nullptr);

// What a record format's reader builds up: the image, whether the end record has come (after
// which nothing may follow), and whether the records so far prove, without one, that nothing
// is missing (an S-record count that matches).
struct RecordState {
    ImageBuilder image;
    bool ended = false;
    bool complete = false;
    // How to have the end record written, for the refusal of a file without one; a reader
    // hides it with its own.
    static constexpr const char* kAddEnd = nullptr;
};

// Reads the text of a record format ("HEX", "S-record" in `kind`) line by line: each line,
// without its LF or CRLF, goes to a Reader's take(line, number), which gives the refusal of
// the line or nothing. Empty lines are skipped. Anything after the end record is refused (a
// second file pasted behind the first would otherwise be dropped without a word), and so is
// a text that stops without one, unless its records so far prove it whole (`complete`).
template <class Reader>
requires std::derived_from<Reader, RecordState> HexReadResult readLines(std::string_view text,
                                                                        std::string_view kind) {
    Reader reader;
    std::size_t number = 0;
    std::size_t lastLine = 0;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty()) {
            continue;
        }
        if (reader.ended) {
            return lineRefusal(number, _("Data za záznamem konce souboru"), kind);
        }
        lastLine = number;
        if (std::optional<HexRefusal> refusal = reader.take(line, number)) {
            return std::move(*refusal);
        }
    }
    if (!reader.ended && !reader.complete) {
        return missingEnd(lastLine, kind, Reader::kAddEnd);
    }
    return std::move(reader.image).take();
}

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
