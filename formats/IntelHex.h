#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "formats/Image.h"

namespace trilo {

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

}  // namespace trilo
