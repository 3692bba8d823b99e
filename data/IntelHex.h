#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace trilo {

// A memory image from address 0 to the highest address written; bytes no record gave are
// 0xFF, the erased value.
using HexImage = std::vector<std::uint8_t>;

// Why a file is not valid Intel HEX: the 1-based line at fault and the Czech text of the
// information box that says so ("... na řádku 12 souboru HEX ! ").
struct HexRefusal {
    std::size_t line = 0;
    std::string message;
};

// A refusal is an ordinary outcome that the command shows and then stops before the chip is
// touched, not an input/output failure for the top-level error box, so it comes back as a
// value the caller cannot overlook rather than as an exception.
using HexReadResult = std::variant<HexImage, HexRefusal>;

// The highest address a file may give, exclusive: no supported chip comes near it, and it
// bounds the memory a hostile file can make the reader take.
inline constexpr std::size_t kHexAddressLimit = std::size_t{1} << 20;

// Reads the text of an Intel HEX file. Records 00 (data), 01 (end of file), 02 (extended
// segment address) and 04 (extended linear address) are used; 03 and 05 (start address) are
// checked and ignored. Lines end in LF or CRLF, digits are in either case, empty lines are
// skipped. Anything but empty lines after the end-of-file record is refused: a second file
// pasted behind the first would otherwise be dropped without a word.
HexReadResult readIntelHex(std::string_view text);

// The image as Intel HEX text: records of 16 data bytes from address 0, an extended linear
// address record before each 64 KiB above the first, an end-of-file record; upper-case
// digits, lines ending in LF.
std::string writeIntelHex(std::span<const std::uint8_t> image);

// Swaps the two bytes of each 16-bit word: the toolchains' AVR flash order (low byte at the
// even address) to the program's raw order (high byte first), and back, as the swap is its
// own inverse. An odd last byte is first given a partner of 0xFF, the erased value, so it is
// programmed rather than dropped by the word-wise write.
void swapWordBytes(HexImage& image);

}  // namespace trilo
