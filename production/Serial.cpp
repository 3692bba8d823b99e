#include "production/Serial.h"

#include <strings.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>

#include "base/Errors.h"
#include "files/ByteFile.h"
#include "files/FileMove.h"
#include "files/IoErrors.h"

namespace trilo {

namespace {

constexpr const char* kEncodings[] = {"le", "be", "bcd", "ascii"};

// Decimal, or hexadecimal after 0x.
std::optional<std::uint64_t> number(const std::string& text) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char* first = text.data() + (hex ? 2 : 0);
    const char* last = text.data() + text.size();
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(first, last, value, hex ? 16 : 10);
    if (first == last || error != std::errc() || end != last) {
        return std::nullopt;
    }
    return value;
}

std::vector<std::string> fields(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t colon = text.find(':', start);
        parts.push_back(text.substr(start, colon - start));
        if (colon == std::string::npos) {
            return parts;
        }
        start = colon + 1;
    }
}

// How many values of that spelling fit in the bytes; nothing when all 64 bits do.
std::optional<std::uint64_t> capacity(const SerialRule& rule) {
    const int digitsPerByte = rule.encoding == SerialEncoding::Bcd     ? 2
                              : rule.encoding == SerialEncoding::Ascii ? 1
                                                                       : 0;
    std::uint64_t limit = 1;
    for (int k = 0; k < rule.bytes; ++k) {
        const std::uint64_t factor = digitsPerByte == 0 ? 256 : digitsPerByte == 2 ? 100 : 10;
        if (limit > UINT64_MAX / factor) {
            return std::nullopt;
        }
        limit *= factor;
    }
    return limit;
}

}  // namespace

std::variant<SerialRule, std::string> parseSerialRule(const std::string& text) {
    const std::vector<std::string> parts = fields(text);
    if (parts.size() < 4 || parts.size() > 6) {
        return std::string("chce PAMĚŤ:ADRESA:BAJTY:POČÁTEK[:KROK][:le|be|bcd|ascii], ne „") +
               text + "“";
    }
    SerialRule rule;
    if (::strcasecmp(parts[0].c_str(), "flash") == 0) {
        rule.memory = SerialMemory::Flash;
    } else if (::strcasecmp(parts[0].c_str(), "eeprom") == 0) {
        rule.memory = SerialMemory::Eeprom;
    } else {
        return "paměť je flash nebo eeprom, ne „" + parts[0] + "“";
    }
    const auto address = number(parts[1]);
    if (!address || *address > 0xFFFFFF) {
        return "adresa „" + parts[1] + "“ není číslo";
    }
    rule.address = static_cast<std::int64_t>(*address);
    const auto bytes = number(parts[2]);
    if (!bytes || *bytes < 1 || *bytes > 16) {
        return "počet bajtů musí být 1 až 16, ne „" + parts[2] + "“";
    }
    rule.bytes = static_cast<int>(*bytes);
    const auto start = number(parts[3]);
    if (!start) {
        return "počáteční číslo „" + parts[3] + "“ není číslo";
    }
    rule.start = *start;
    std::size_t next = 4;
    if (parts.size() > next && number(parts[next])) {
        rule.step = *number(parts[next]);
        if (rule.step == 0) {
            return std::string("krok musí být aspoň 1");
        }
        ++next;
    }
    if (parts.size() > next) {
        bool known = false;
        for (int k = 0; k < 4; ++k) {
            if (::strcasecmp(parts[next].c_str(), kEncodings[k]) == 0) {
                rule.encoding = static_cast<SerialEncoding>(k);
                known = true;
            }
        }
        if (!known) {
            return "zápis čísla je le, be, bcd nebo ascii, ne „" + parts[next] + "“";
        }
        ++next;
    }
    if (next != parts.size()) {
        return "nečekané „" + parts[next] + "“";
    }
    return rule;
}

std::string serialRuleText(const SerialRule& rule) {
    char address[24];
    std::snprintf(address, sizeof address, "0x%llX", static_cast<unsigned long long>(rule.address));
    return std::string(rule.memory == SerialMemory::Flash ? "flash" : "eeprom") + ":" + address +
           ":" + std::to_string(rule.bytes) + ":" + std::to_string(rule.start) + ":" +
           std::to_string(rule.step) + ":" + kEncodings[static_cast<int>(rule.encoding)];
}

std::optional<std::vector<std::uint8_t>> encodeSerial(const SerialRule& rule,
                                                      std::uint64_t number) {
    const auto limit = capacity(rule);
    if (limit && number >= *limit) {
        return std::nullopt;
    }
    const auto n = static_cast<std::size_t>(rule.bytes);
    std::vector<std::uint8_t> bytes(n, 0);
    std::uint64_t rest = number;
    // Filled from the last byte back; le turns it round at the end.
    for (std::size_t k = n; k-- > 0;) {
        switch (rule.encoding) {
            case SerialEncoding::Le:
            case SerialEncoding::Be:
                bytes[k] = static_cast<std::uint8_t>(rest & 0xFF);
                rest >>= 8;
                break;
            case SerialEncoding::Bcd:
                bytes[k] = static_cast<std::uint8_t>((rest % 10) | ((rest / 10 % 10) << 4));
                rest /= 100;
                break;
            case SerialEncoding::Ascii:
                bytes[k] = static_cast<std::uint8_t>('0' + rest % 10);
                rest /= 10;
                break;
        }
    }
    if (rule.encoding == SerialEncoding::Le) {
        std::reverse(bytes.begin(), bytes.end());
    }
    return bytes;
}

void placeSerial(std::vector<std::uint8_t>& image, const SerialRule& rule,
                 const std::vector<std::uint8_t>& bytes, bool avrFlash) {
    std::size_t end = static_cast<std::size_t>(rule.address) + bytes.size();
    // An AVR flash is written in whole words.
    if (avrFlash && end % 2 != 0) {
        ++end;
    }
    if (image.size() < end) {
        image.resize(end, 0xFF);
    }
    for (std::size_t k = 0; k < bytes.size(); ++k) {
        const std::size_t at = static_cast<std::size_t>(rule.address) + k;
        image[avrFlash ? at ^ 1 : at] = bytes[k];
    }
}

std::string serialMisfit(const SerialRule& rule, std::uint64_t number) {
    return "sériové číslo " + std::to_string(number) + " se nevejde do " +
           std::to_string(rule.bytes) + " B (" + kEncodings[static_cast<int>(rule.encoding)] + ")";
}

std::uint64_t SerialState::next(std::uint64_t start) const {
    if (!fileExists(path_)) {
        return start;
    }
    ByteFile file;
    file.openRead(path_);
    std::string text;
    const std::int64_t size = file.size();
    for (std::int64_t k = 0; k < size && k < 64; ++k) {
        text += static_cast<char>(file.readByte());
    }
    file.close();
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
        text.pop_back();
    }
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || size > 64 || error != std::errc() || end != text.data() + text.size()) {
        throw TriloError("Soubor sériových čísel " + path_ +
                         " nedrží číslo; opravte ho nebo smažte, aby žádné číslo nebylo "
                         "vydáno dvakrát");
    }
    return value;
}

void SerialState::store(std::uint64_t next) const {
    writeWholeFile(path_, std::to_string(next) + "\n");
}

}  // namespace trilo
