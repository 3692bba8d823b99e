#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "formats/Image.h"

namespace trilo {

// What a decoded image is wanted for: an ELF file must be for the chip's family and holds the
// EEPROM's bytes apart from the flash's.
struct ImageFor {
    bool avr = false;
    bool eeprom = false;
};

// The image a file holds, in the toolchains' byte order, or the text of its refusal.
using ImageRead = std::variant<HexImage, std::string>;

// One kind of data file the program knows; every place that tells formats apart asks its row.
struct DataFormat {
    // As a message names it ("Soubor má příponu .hex (Intel HEX), ..."); marked for the
    // catalogue, so shown through _().
    const char* name;
    // As the refusals of its files name it ("Soubor HEX je příliš velký ! "); nullptr for raw,
    // whose files are not decoded.
    const char* kind;
    // Lower case, with the dot; a name the program proposes or completes takes the first.
    std::span<const std::string_view> extensions;
    // Lines of text: text that is no valid record is left to the reader, whose message names
    // the line, where a binary format refuses plain text at once.
    bool text;
    // Whether a file's first bytes are of this format (a text format's from its first
    // character that is not blank); nullptr for raw, which is whatever no other row takes.
    bool (*recognises)(std::string_view head);
    // The whole file decoded. nullptr for raw, whose bytes are the memory's as the operations
    // transfer them (an AVR flash word high byte first): it is streamed, and a save moves the
    // buffer there as it is.
    ImageRead (*read)(std::string_view bytes, ImageFor wanted);
    // The image as the whole file, in the toolchains' byte order; nullptr for raw and for a
    // format the program only reads (ELF), into which nothing is saved.
    std::string (*write)(std::span<const std::uint8_t> image);
    // The file dialogs' name of the kind ("Intel HEX"); shown through _(), as the name.
    const char* filter;
    // trilo-cli's -f name; nullptr where -f does not offer the format.
    const char* option;
    // The shared MIME type the desktop entry claims for it; nullptr where there is only a
    // generic type (raw bytes, executables), which every binary on the machine shares.
    const char* mimeType;

    bool asIs() const { return read == nullptr; }
    bool writable() const { return asIs() || write != nullptr; }
};

// Every format, raw first.
std::span<const DataFormat> dataFormats();
const DataFormat& rawFormat();

// The format a name's extension says, in any letter case (.bin raw; .hex Intel HEX, ...).
// nullptr for any other name.
const DataFormat* formatOfName(std::string_view path);

// The format -f names, in any letter case; nullptr for a name it does not offer.
const DataFormat* formatForOption(std::string_view name);

// The format a data file is read in, from its name and its first bytes: by the extension where
// the program knows it, else by the content (a row that recognises it, raw otherwise). A raw
// file may hold any bytes, but a text or ELF extension on content that is another format, or
// binary, is refused with a message that names both; text that is no valid record is left to
// the format's reader, whose message names the line.
std::variant<const DataFormat*, std::string> formatOf(std::string_view path, std::string_view head);

// Choices as a sentence offers them: "raw, ihex nebo srec".
std::string alternatives(std::span<const std::string_view> choices);

}  // namespace trilo
