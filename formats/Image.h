#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace trilo {

// A memory image from address 0 to the highest address written; bytes no record gave are
// 0xFF, the erased value.
using HexImage = std::vector<std::uint8_t>;

// Why a file is not valid Intel HEX: the 1-based line at fault and the text, in the user's
// language, of the information box that says so ("... na řádku 12 souboru HEX ! ").
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

// Swaps the two bytes of each 16-bit word: the toolchains' AVR flash order (low byte at the
// even address) to the program's raw order (high byte first), and back, as the swap is its
// own inverse. An odd last byte is first given a partner of 0xFF, the erased value, so it is
// programmed rather than dropped by the word-wise write.
void swapWordBytes(HexImage& image);

}  // namespace trilo
