#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

// Serial numbers, one per chip: where the number goes in the image, how it is spelled in
// bytes, and the file that keeps the next one between runs.
namespace trilo {

enum class SerialMemory { Flash, Eeprom };
// le, be: binary, low or high byte first; bcd: two decimal digits a byte, highest first;
// ascii: decimal digits, padded with '0' in front.
enum class SerialEncoding { Le, Be, Bcd, Ascii };

struct SerialRule {
    SerialMemory memory = SerialMemory::Flash;
    // At the address the user's tools give (an AVR flash's byte address).
    std::int64_t address = 0;
    int bytes = 0;
    std::uint64_t start = 0;
    std::uint64_t step = 1;
    SerialEncoding encoding = SerialEncoding::Le;
    bool operator==(const SerialRule&) const = default;
};

// "flash:0x7F0:4:1000[:STEP][:le|be|bcd|ascii]"; or why not, in Czech.
std::variant<SerialRule, std::string> parseSerialRule(const std::string& text);
// The rule as parseSerialRule reads it back.
std::string serialRuleText(const SerialRule& rule);

// The number as the rule spells it, rule.bytes long; nothing when it does not fit.
std::optional<std::vector<std::uint8_t>> encodeSerial(const SerialRule& rule, std::uint64_t number);

// Puts the number's bytes into an image at the rule's address, growing it with blank bytes
// (0xFF) as far as needed. avrFlash: the image is in the program's word order (high byte
// first), so the tools' byte a is the image's byte a ^ 1.
void placeSerial(std::vector<std::uint8_t>& image, const SerialRule& rule,
                 const std::vector<std::uint8_t>& bytes, bool avrFlash);

// "1012 se nevejde do 1 B (le)": why a number cannot be written.
std::string serialMisfit(const SerialRule& rule, std::uint64_t number);

// The file that keeps the numbers between runs, and between the runs that share it at once
// (one trilo-cli per board, the window): the next new number on its first line, and below
// it, one a line, the numbers that failed chips gave back, which go out again first, the
// smallest first. A file of one line has none given back. Each change is made under the
// file's lock and replaced in one step (a temporary file flushed to disk and renamed), so
// that whatever ends a run, it holds the numbers whole, and no number goes out twice.
// Another user's file, one everyone may write, one its owner made read-only or one that
// holds anything else is refused (TriloError): a guess could hand out a number twice.
class SerialState {
public:
    explicit SerialState(std::string path) : path_(std::move(path)) {}
    const std::string& path() const { return path_; }
    // The number the next take hands out (the rule's start when there is no file yet), or
    // why it cannot be written: it does not fit the rule's bytes, or it is past 2^64-1. The
    // file is checked as a take checks it.
    std::variant<std::uint64_t, std::string> peek(const SerialRule& rule) const;
    // The next number, stored as taken before it returns; or why not, the file unchanged.
    std::variant<std::uint64_t, std::string> take(const SerialRule& rule) const;
    // A number taken and not used: it goes out again before any new one.
    void giveBack(const SerialRule& rule, std::uint64_t number) const;

private:
    std::string path_;
};

}  // namespace trilo
