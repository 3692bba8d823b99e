#include "data/DataFormat.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>

#include "data/Elf.h"
#include "data/SRecord.h"

namespace trilo {

namespace {

struct Extension {
    const char* name;
    DataFormat format;
};

constexpr std::array<Extension, 10> kExtensions = {{
    {".bin", DataFormat::Raw},
    {".hex", DataFormat::IntelHex},
    {".ihx", DataFormat::IntelHex},
    {".ihex", DataFormat::IntelHex},
    {".srec", DataFormat::SRecord},
    {".s19", DataFormat::SRecord},
    {".s28", DataFormat::SRecord},
    {".s37", DataFormat::SRecord},
    {".mot", DataFormat::SRecord},
    {".elf", DataFormat::Elf},
}};

const char* nameOf(DataFormat format) {
    switch (format) {
        case DataFormat::IntelHex:
            return "Intel HEX";
        case DataFormat::SRecord:
            return "S-record";
        case DataFormat::Elf:
            return "ELF";
        case DataFormat::Raw:
            break;
    }
    return "binární data";
}

std::string lowerExtension(std::string_view path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

// Whether the first line from `from` is hex digits to its end, at least two of them.
bool hexDigitsFrom(std::string_view head, std::size_t from) {
    const std::string_view line = head.substr(std::min(from, head.size()));
    const std::string_view digits = line.substr(0, line.find_first_of("\r\n"));
    return digits.size() >= 2 && std::all_of(digits.begin(), digits.end(),
                                             [](unsigned char c) { return std::isxdigit(c) != 0; });
}

struct Content {
    DataFormat format;
    bool text;  // printable characters and line ends only, as a text format's reader takes
};

Content contentOf(std::string_view head) {
    if (head.starts_with("\x7f"
                         "ELF")) {
        return {DataFormat::Elf, false};
    }
    const std::string_view lines =
        head.substr(std::min(head.find_first_not_of(" \t\r\n"), head.size()));
    if (lines.starts_with(':') && hexDigitsFrom(lines, 1)) {
        return {DataFormat::IntelHex, true};
    }
    if (lines.size() >= 2 && lines[0] == 'S' &&
        std::isdigit(static_cast<unsigned char>(lines[1])) && hexDigitsFrom(lines, 2)) {
        return {DataFormat::SRecord, true};
    }
    const bool text = std::all_of(head.begin(), head.end(), [](unsigned char c) {
        return (c >= 0x20 && c < 0x7F) || c == '\t' || c == '\r' || c == '\n';
    });
    return {DataFormat::Raw, text};
}

}  // namespace

std::optional<DataFormat> formatOfName(std::string_view path) {
    const std::string extension = lowerExtension(path);
    for (const Extension& e : kExtensions) {
        if (extension == e.name) {
            return e.format;
        }
    }
    return std::nullopt;
}

std::variant<DataFormat, std::string> formatOf(std::string_view path, std::string_view head) {
    const std::optional<DataFormat> named = formatOfName(path);
    if (named == DataFormat::Raw) {
        return DataFormat::Raw;
    }
    const Content content = contentOf(head);
    if (!named) {
        return content.format;
    }
    if (content.format == *named ||
        (content.text && *named != DataFormat::Elf && content.format == DataFormat::Raw)) {
        return *named;
    }
    const bool plainText = content.text && content.format == DataFormat::Raw;
    return "Soubor má příponu " + lowerExtension(path) + " (" + nameOf(*named) +
           "), ale obsahuje " + (plainText ? "prostý text" : nameOf(content.format)) + " ! ";
}

std::variant<HexImage, std::string> readImage(DataFormat format, std::string_view bytes, bool avr,
                                              bool eeprom) {
    if (format != DataFormat::Elf) {
        HexReadResult result =
            format == DataFormat::SRecord ? readSRecord(bytes) : readIntelHex(bytes);
        if (auto* refusal = std::get_if<HexRefusal>(&result)) {
            return std::move(refusal->message);
        }
        return std::get<HexImage>(std::move(result));
    }
    ElfReadResult result =
        readElf(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    if (auto* refusal = std::get_if<ElfRefusal>(&result)) {
        return std::move(refusal->message);
    }
    ElfImages& images = std::get<ElfImages>(result);
    if ((images.machine == kElfMachineAvr) != avr) {
        return std::string(avr ? "Soubor ELF je pro 8051, vybraný čip je AVR ! "
                               : "Soubor ELF je pro AVR, vybraný čip je 8051 ! ");
    }
    if (!eeprom) {
        return std::move(images.flash);
    }
    if (!images.eeprom) {
        return std::string("Soubor ELF nemá sekci .eeprom s daty pro EEPROM ! ");
    }
    return std::move(*images.eeprom);
}

}  // namespace trilo
