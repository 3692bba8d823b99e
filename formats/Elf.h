#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>

#include "formats/Image.h"

namespace trilo {

// The machines whose ELF files the program takes, by their e_machine numbers.
inline constexpr std::uint16_t kElfMachineAvr = 83;
inline constexpr std::uint16_t kElfMachine8051 = 165;

// What an ELF file holds for the chip, in the toolchains' byte order.
struct ElfImages {
    std::uint16_t machine = 0;
    // The loadable sections (.text, .data and the like) at their load addresses.
    HexImage flash;
    // The .eeprom section from address 0, when the file has one.
    std::optional<HexImage> eeprom;
};

// Why a file is not an ELF file the program can use; the text of its information box.
struct ElfRefusal {
    std::string message;
};

using ElfReadResult = std::variant<ElfImages, ElfRefusal>;

// Reads a 32-bit little-endian ELF file for AVR or the 8051. A section's load address is
// taken from the program header that holds its bytes in the file, as objcopy takes it (.data
// runs in RAM but loads behind .text), or is its own address where none does. The flash image
// is made of the allocated sections with contents below the AVR data space (0x800000), so the
// EEPROM, fuse, lock and signature sections stay out of it; the EEPROM image of .eeprom, moved
// from 0x810000 to 0 in an AVR file. Every offset and size is checked against the file, those of
// the loadable segments and of every section with contents included, and a file without a
// section table whose segments hold bytes is refused.
ElfReadResult readElf(std::span<const std::uint8_t> bytes);

}  // namespace trilo
