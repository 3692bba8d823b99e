#include "production/Serial.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <set>

#include "base/Errors.h"
#include "base/SystemReason.h"
#include "base/Text.h"
#include "files/Fd.h"
#include "files/FileMove.h"
#include "production/RecordFile.h"

namespace trilo {

namespace {

constexpr const char* kEncodings[] = {"le", "be", "bcd", "ascii"};

constexpr const char* kLargest = "18446744073709551615";

// A field of the rule as a number: decimal, or hexadecimal after 0x.
struct Reading {
    enum { Number, NotNumber, Negative, TooLarge } kind;
    std::uint64_t value;
};

Reading reading(const std::string& text) {
    const bool negative = text.starts_with('-');
    const std::string digits = negative ? text.substr(1) : text;
    const bool hex =
        digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X');
    const char* first = digits.data() + (hex ? 2 : 0);
    const char* last = digits.data() + digits.size();
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(first, last, value, hex ? 16 : 10);
    if (first == last || end != last ||
        (error != std::errc() && error != std::errc::result_out_of_range)) {
        return {Reading::NotNumber, 0};
    }
    if (negative && (value != 0 || error != std::errc())) {
        return {Reading::Negative, 0};
    }
    return {error == std::errc() ? Reading::Number : Reading::TooLarge, value};
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
        return format(_("chce PAMĚŤ:ADRESA:BAJTY:POČÁTEK[:KROK][:le|be|bcd|ascii], ne „{}“"), text);
    }
    SerialRule rule;
    if (::strcasecmp(parts[0].c_str(), "flash") == 0) {
        rule.memory = SerialMemory::Flash;
    } else if (::strcasecmp(parts[0].c_str(), "eeprom") == 0) {
        rule.memory = SerialMemory::Eeprom;
    } else {
        return format(_("paměť je flash nebo eeprom, ne „{}“"), parts[0]);
    }
    const Reading address = reading(parts[1]);
    if (address.kind == Reading::NotNumber) {
        return format(_("adresa „{}“ není číslo"), parts[1]);
    }
    if (address.kind == Reading::Negative) {
        return format(_("adresa nesmí být záporná, ne „{}“"), parts[1]);
    }
    if (address.kind == Reading::TooLarge || address.value > 0xFFFFFF) {
        return format(_("adresa „{}“ je větší než 0xFFFFFF"), parts[1]);
    }
    rule.address = static_cast<std::int64_t>(address.value);
    const Reading bytes = reading(parts[2]);
    if (bytes.kind != Reading::Number || bytes.value < 1 || bytes.value > 16) {
        return format(_("počet bajtů musí být 1 až 16, ne „{}“"), parts[2]);
    }
    rule.bytes = static_cast<int>(bytes.value);
    const Reading start = reading(parts[3]);
    if (start.kind == Reading::NotNumber) {
        return format(_("počáteční číslo „{}“ není číslo"), parts[3]);
    }
    if (start.kind == Reading::Negative) {
        return format(_("počáteční číslo nesmí být záporné, ne „{}“"), parts[3]);
    }
    if (start.kind == Reading::TooLarge) {
        return format(_("počáteční číslo „{0}“ je větší než {1}"), parts[3], kLargest);
    }
    rule.start = start.value;
    std::size_t next = 4;
    // A step begins with a digit or a sign, a spelling with a letter.
    if (parts.size() > next && !parts[next].empty() &&
        (std::isdigit(static_cast<unsigned char>(parts[next][0])) != 0 || parts[next][0] == '-' ||
         parts[next][0] == '+')) {
        const Reading step = reading(parts[next]);
        if (step.kind == Reading::NotNumber) {
            return format(_("krok „{}“ není číslo"), parts[next]);
        }
        if (step.kind == Reading::Negative) {
            return format(_("krok nesmí být záporný, ne „{}“"), parts[next]);
        }
        if (step.kind == Reading::TooLarge) {
            return format(_("krok „{0}“ je větší než {1}"), parts[next], kLargest);
        }
        if (step.value == 0) {
            return std::string(_("krok musí být aspoň 1"));
        }
        rule.step = step.value;
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
            return format(_("zápis čísla je le, be, bcd nebo ascii, ne „{}“"), parts[next]);
        }
        ++next;
    }
    if (next != parts.size()) {
        return format(_("nečekané „{}“"), parts[next]);
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
    return format(_("sériové číslo {0} se nevejde do {1} B ({2})"), std::to_string(number),
                  std::to_string(rule.bytes), kEncodings[static_cast<int>(rule.encoding)]);
}

namespace {

// The count goes past 2^64-1 in the file, so that a run there stops rather than wraps.
__extension__ typedef unsigned __int128 Wide;
constexpr Wide kLast = UINT64_MAX;
constexpr std::size_t kLargestState = 64 * 1024;

std::string wideText(Wide value) {
    std::string text;
    do {
        text.insert(text.begin(), static_cast<char>('0' + static_cast<int>(value % 10)));
        value /= 10;
    } while (value != 0);
    return text;
}

struct Numbers {
    Wide next = 0;
    std::set<std::uint64_t> givenBack;
};

// The file's lines as numbers; nothing when it holds anything else.
std::optional<Numbers> numbersIn(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
        text.pop_back();
    }
    if (text.empty()) {
        return std::nullopt;
    }
    Numbers numbers;
    bool first = true;
    std::size_t at = 0;
    while (at <= text.size()) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        std::string line = text.substr(at, end - at);
        at = end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
            line.pop_back();
        }
        // 38 digits stay below 2^128.
        if (line.empty() || line.size() > 38 ||
            line.find_first_not_of("0123456789") != std::string::npos) {
            return std::nullopt;
        }
        Wide value = 0;
        for (const char c : line) {
            value = value * 10 + static_cast<unsigned>(c - '0');
        }
        if (first) {
            numbers.next = value;
            first = false;
        } else if (value > kLast ||
                   !numbers.givenBack.insert(static_cast<std::uint64_t>(value)).second) {
            return std::nullopt;
        }
    }
    return numbers;
}

std::string textOf(const Numbers& numbers) {
    std::string text = wideText(numbers.next) + "\n";
    for (const std::uint64_t number : numbers.givenBack) {
        text += std::to_string(number) + "\n";
    }
    return text;
}

// The number that goes out next, or why it cannot.
std::variant<std::uint64_t, std::string> firstOf(const Numbers& numbers, const SerialRule& rule) {
    const Wide first = numbers.givenBack.empty() ? numbers.next : *numbers.givenBack.begin();
    if (first > kLast) {
        return format(_("sériové číslo {0} je větší než {1}"), wideText(first), kLargest);
    }
    const auto number = static_cast<std::uint64_t>(first);
    if (!encodeSerial(rule, number)) {
        return serialMisfit(rule, number);
    }
    return number;
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Reads the file's numbers; with change, under its lock, and edit's numbers written back
// when it says so before the lock goes. No file yet holds the rule's start: read, it is
// only that; changed, it is created first, once whoever creates it first.
void access(const std::string& path, const SerialRule& rule,
            const std::function<bool(Numbers&)>& edit, bool change) {
    const std::string name = format(_("Soubor sériových čísel {}"), path);
    const auto refused = [&](const std::string& why) { return TriloError(name + ": " + why); };
    const auto unwritable = [&](const std::string& why) {
        return TriloError(format(_("{0} nelze zapsat: {1}"), name, why));
    };
    // A new file is made, and each change renamed, in its directory.
    if (::faccessat(AT_FDCWD, directoryOf(path).c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
        throw unwritable(systemReason(errno));
    }
    for (;;) {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) {
            struct stat link {};
            if (errno != ENOENT) {
                throw refused(systemReason(errno));
            }
            if (::lstat(path.c_str(), &link) == 0) {
                throw refused(_("je odkaz, který nevede na žádný soubor"));
            }
            Numbers none;
            none.next = rule.start;
            if (!change) {
                edit(none);
                return;
            }
            try {
                createWholeFile(path, textOf(none));
            } catch (const IoError& error) {
                throw unwritable(error.systemError() != 0 ? systemReason(error.systemError())
                                                          : error.what());
            }
            continue;
        }
        if (const std::string why = recordDistrust(st); !why.empty()) {
            throw refused(why);
        }
        const Fd fd(
            ::open(path.c_str(), (change ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
        if (fd.get() < 0) {
            if (errno == ENOENT) {
                continue;
            }
            throw refused(systemReason(errno));
        }
        struct stat opened {};
        if (::fstat(fd.get(), &opened) != 0) {
            throw refused(systemReason(errno));
        }
        if (!sameFile(st, opened)) {
            continue;
        }
        std::optional<RecordLock> lock;
        if (change) {
            lock.emplace(fd.get(), name);
            // The run before this one may have replaced the file while this one waited.
            if (::stat(path.c_str(), &st) != 0 || !sameFile(st, opened)) {
                continue;
            }
        }
        std::string text;
        char block[4096];
        for (;;) {
            const ssize_t got = ::read(fd.get(), block, sizeof block);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got < 0) {
                throw refused(systemReason(errno));
            }
            if (got == 0 || text.size() > kLargestState) {
                break;
            }
            text.append(block, static_cast<std::size_t>(got));
        }
        std::optional<Numbers> numbers =
            text.size() > kLargestState ? std::nullopt : numbersIn(text);
        if (!numbers) {
            throw TriloError(format(_("{} nedrží číslo; opravte ho nebo smažte, aby žádné číslo "
                                      "nebylo vydáno dvakrát"),
                                    name));
        }
        if (edit(*numbers) && change) {
            try {
                writeWholeFile(path, textOf(*numbers));
            } catch (const SaveRefused&) {
                throw;
            } catch (const IoError& error) {
                throw unwritable(error.systemError() != 0 ? systemReason(error.systemError())
                                                          : error.what());
            }
        }
        return;
    }
}

}  // namespace

std::variant<std::uint64_t, std::string> SerialState::peek(const SerialRule& rule) const {
    std::variant<std::uint64_t, std::string> first;
    access(
        path_, rule,
        [&](Numbers& numbers) {
            first = firstOf(numbers, rule);
            return false;
        },
        false);
    return first;
}

std::variant<std::uint64_t, std::string> SerialState::take(const SerialRule& rule) const {
    std::variant<std::uint64_t, std::string> taken;
    access(
        path_, rule,
        [&](Numbers& numbers) {
            taken = firstOf(numbers, rule);
            if (std::holds_alternative<std::string>(taken)) {
                return false;
            }
            if (numbers.givenBack.empty()) {
                numbers.next += rule.step;
            } else {
                numbers.givenBack.erase(numbers.givenBack.begin());
            }
            return true;
        },
        true);
    return taken;
}

void SerialState::giveBack(const SerialRule& rule, std::uint64_t number) const {
    access(
        path_, rule,
        [&](Numbers& numbers) {
            numbers.givenBack.insert(number);
            // The numbers just below the count go back into it, so that one run's file
            // stays one line: nobody took a number after them.
            while (numbers.next >= rule.step && numbers.next - rule.step <= kLast &&
                   numbers.givenBack.erase(static_cast<std::uint64_t>(numbers.next - rule.step)) !=
                       0) {
                numbers.next -= rule.step;
            }
            return true;
        },
        true);
}

}  // namespace trilo
