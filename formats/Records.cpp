#include "formats/Records.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "base/Hex.h"
#include "base/Text.h"

namespace trilo::records {

std::optional<std::string> ImageBuilder::put(std::size_t address,
                                             std::span<const std::uint8_t> data) {
    for (std::size_t i = 0; i < data.size(); ++i, ++address) {
        if (address >= kHexAddressLimit) {
            return format(_("Adresa 0x{} je za hranicí 1 MiB"), hexNumber(address, 4));
        }
        if (address >= image_.size()) {
            image_.resize(address + 1, 0xFF);
            written_.resize(address + 1, false);
        }
        if (written_[address] && image_[address] != data[i]) {
            return format(_("Adresa 0x{} dostává jinou hodnotu než dříve"), hexNumber(address, 4));
        }
        image_[address] = data[i];
        written_[address] = true;
    }
    return std::nullopt;
}

int hexByte(std::string_view text, std::size_t at) {
    const int high = hexDigit(text[at]);
    const int low = hexDigit(text[at + 1]);
    return high < 0 || low < 0 ? -1 : high * 16 + low;
}

std::string hexNumber(std::size_t value, int digits) {
    std::array<char, 24> text{};
    std::snprintf(text.data(), text.size(), "%0*zX", digits, value);
    return text.data();
}

HexRefusal lineRefusal(std::size_t line, const std::string& fault, std::string_view kind) {
    return {line, format(_("{0} na řádku {1} souboru {2} ! "), fault, std::to_string(line), kind)};
}

HexRefusal missingEnd(std::size_t lastLine, std::string_view kind, const char* addEnd) {
    const std::size_t line = std::max<std::size_t>(lastLine, 1);
    if (addEnd == nullptr) {
        return {line, format(_("Soubor {0} končí na řádku {1} bez záznamu konce souboru ! "), kind,
                             std::to_string(line))};
    }
    return {line, format(_("Soubor {0} končí na řádku {1} bez záznamu konce souboru ({2}) ! "),
                         kind, std::to_string(line), _(addEnd))};
}

void RecordText::put(std::uint8_t byte) {
    out_ += kHexDigits[byte >> 4];
    out_ += kHexDigits[byte & 0x0F];
    sum_ += byte;
}

void RecordText::put(std::span<const std::uint8_t> bytes) {
    for (const std::uint8_t byte : bytes) {
        put(byte);
    }
}

}  // namespace trilo::records
