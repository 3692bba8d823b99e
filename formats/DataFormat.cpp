#include "formats/DataFormat.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "base/Text.h"
#include "formats/Elf.h"
#include "formats/IntelHex.h"
#include "formats/SRecord.h"

namespace trilo {

namespace {

// Whether the first line from `from` is hex digits to its end, at least two of them.
bool hexDigitsFrom(std::string_view head, std::size_t from) {
    const std::string_view line = head.substr(std::min(from, head.size()));
    const std::string_view digits = line.substr(0, line.find_first_of("\r\n"));
    return digits.size() >= 2 && std::all_of(digits.begin(), digits.end(),
                                             [](unsigned char c) { return std::isxdigit(c) != 0; });
}

bool intelHexHead(std::string_view head) {
    return head.starts_with(':') && hexDigitsFrom(head, 1);
}

bool sRecordHead(std::string_view head) {
    return head.size() >= 2 && head[0] == 'S' &&
           std::isdigit(static_cast<unsigned char>(head[1])) && hexDigitsFrom(head, 2);
}

bool elfHead(std::string_view head) {
    return head.starts_with(
        "\x7f"
        "ELF");
}

// A record format's reader, its refusal reduced to the message.
template <HexReadResult (*reader)(std::string_view)>
ImageRead readRecords(std::string_view bytes, ImageFor) {
    HexReadResult result = reader(bytes);
    if (auto* refusal = std::get_if<HexRefusal>(&result)) {
        return std::move(refusal->message);
    }
    return std::get<HexImage>(std::move(result));
}

// An ELF file must be for the chip's family (`avr` or the 8051), and for the EEPROM must have
// a .eeprom section.
ImageRead readElfImage(std::string_view bytes, ImageFor wanted) {
    ElfReadResult result =
        readElf(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    if (auto* refusal = std::get_if<ElfRefusal>(&result)) {
        return std::move(refusal->message);
    }
    ElfImages& images = std::get<ElfImages>(result);
    if ((images.machine == kElfMachineAvr) != wanted.avr) {
        return std::string(wanted.avr ? _("Soubor ELF je pro 8051, vybraný čip je AVR ! ")
                                      : _("Soubor ELF je pro AVR, vybraný čip je 8051 ! "));
    }
    if (!wanted.eeprom) {
        return std::move(images.flash);
    }
    if (!images.eeprom) {
        return std::string(_("Soubor ELF nemá sekci .eeprom s daty pro EEPROM ! "));
    }
    return std::move(*images.eeprom);
}

constexpr std::string_view kRawExtensions[] = {".bin"};
constexpr std::string_view kIntelHexExtensions[] = {".hex", ".ihx", ".ihex"};
constexpr std::string_view kSRecordExtensions[] = {".srec", ".s19", ".s28", ".s37", ".mot"};
constexpr std::string_view kElfExtensions[] = {".elf"};

// In the order the file dialogs list them. The label of raw names *.BIN as the user knows it
// from DOS.
constexpr DataFormat kFormats[] = {
    {.name = N_("binární data"),
     .kind = nullptr,
     .extensions = kRawExtensions,
     .text = false,
     .recognises = nullptr,
     .read = nullptr,
     .write = nullptr,
     .filter = N_("Binární soubory *.BIN"),
     .option = "raw",
     .mimeType = nullptr},
    {.name = "Intel HEX",
     .kind = "HEX",
     .extensions = kIntelHexExtensions,
     .text = true,
     .recognises = intelHexHead,
     .read = readRecords<readIntelHex>,
     .write = writeIntelHex,
     .filter = "Intel HEX",
     .option = "ihex",
     .mimeType = "text/x-ihex"},
    {.name = "S-record",
     .kind = "S-record",
     .extensions = kSRecordExtensions,
     .text = true,
     .recognises = sRecordHead,
     .read = readRecords<readSRecord>,
     .write = writeSRecord,
     .filter = "Motorola S-record",
     .option = "srec",
     .mimeType = "text/x-srecord"},
    // Read only: a save would have to invent the sections and symbols a toolchain writes.
    // Not offered by -f either: its content alone tells it, whatever the name.
    {.name = "ELF",
     .kind = "ELF",
     .extensions = kElfExtensions,
     .text = false,
     .recognises = elfHead,
     .read = readElfImage,
     .write = nullptr,
     .filter = "ELF",
     .option = nullptr,
     .mimeType = nullptr},
};

bool sameLetters(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](unsigned char x, unsigned char y) {
        return std::tolower(x) == std::tolower(y);
    });
}

std::string lowerExtension(std::string_view path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

// The row whose content the head is; nullptr where none recognises it.
const DataFormat* recognised(std::string_view head) {
    const std::string_view text =
        head.substr(std::min(head.find_first_not_of(" \t\r\n"), head.size()));
    for (const DataFormat& format : kFormats) {
        if (format.recognises != nullptr && format.recognises(format.text ? text : head)) {
            return &format;
        }
    }
    return nullptr;
}

// Printable characters and line ends only, as a text format's reader takes.
bool plainText(std::string_view head) {
    return std::all_of(head.begin(), head.end(), [](unsigned char c) {
        return (c >= 0x20 && c < 0x7F) || c == '\t' || c == '\r' || c == '\n';
    });
}

}  // namespace

std::span<const DataFormat> dataFormats() {
    return kFormats;
}

const DataFormat& rawFormat() {
    return kFormats[0];
}

const DataFormat* formatOfName(std::string_view path) {
    const std::string extension = lowerExtension(path);
    for (const DataFormat& format : kFormats) {
        if (std::find(format.extensions.begin(), format.extensions.end(), extension) !=
            format.extensions.end()) {
            return &format;
        }
    }
    return nullptr;
}

const DataFormat* formatForOption(std::string_view name) {
    for (const DataFormat& format : kFormats) {
        if (format.option != nullptr && sameLetters(name, format.option)) {
            return &format;
        }
    }
    return nullptr;
}

std::string alternatives(std::span<const std::string_view> choices) {
    if (choices.empty()) {
        return {};
    }
    std::string text(choices.front());
    for (std::size_t k = 1; k + 1 < choices.size(); ++k) {
        text += ", ";
        text += choices[k];
    }
    return choices.size() == 1 ? text : format(_("{0} nebo {1}"), text, choices.back());
}

std::variant<const DataFormat*, std::string> formatOf(std::string_view path,
                                                      std::string_view head) {
    const DataFormat* named = formatOfName(path);
    if (named != nullptr && named->asIs()) {
        return named;
    }
    const DataFormat* content = recognised(head);
    if (named == nullptr) {
        return content != nullptr ? content : &rawFormat();
    }
    const bool text = content == nullptr && plainText(head);
    if (content == named || (text && named->text)) {
        return named;
    }
    return format(_("Soubor má příponu {0} ({1}), ale obsahuje {2} ! "), lowerExtension(path),
                  _(named->name),
                  text                 ? _("prostý text")
                  : content != nullptr ? _(content->name)
                                       : _(rawFormat().name));
}

}  // namespace trilo
