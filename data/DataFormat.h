#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "data/IntelHex.h"

namespace trilo {

enum class DataFormat { Raw, IntelHex, SRecord, Elf };

// The format a name's extension says, in any letter case: .bin raw; .hex, .ihx, .ihex Intel
// HEX; .srec, .s19, .s28, .s37, .mot S-record; .elf ELF. Nothing for any other name.
std::optional<DataFormat> formatOfName(std::string_view path);

// The format a data file is read in, from its name and its first bytes: by the extension where
// the program knows it, else by the content (":" and hex digits Intel HEX, "S0".."S9" and hex
// digits S-record, "\x7fELF" ELF, anything else raw). A raw file may hold any bytes, but a text
// or ELF extension on content that is another format, or binary, is refused with a message
// that names both; text that is no valid record is left to the format's reader, whose
// message names the line.
std::variant<DataFormat, std::string> formatOf(std::string_view path, std::string_view head);

// The image a text or ELF file holds, in the toolchains' byte order: the EEPROM's when
// `eeprom`, the flash's otherwise. An ELF file must be for the chip's family (`avr` or the
// 8051), and for the EEPROM must have a .eeprom section. The refusal's text otherwise.
std::variant<HexImage, std::string> readImage(DataFormat format, std::string_view bytes, bool avr,
                                              bool eeprom);

}  // namespace trilo
