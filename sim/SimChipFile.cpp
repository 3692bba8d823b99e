#include "sim/SimChipFile.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <optional>
#include <sstream>
#include <string_view>
#include <vector>

#include "base/Text.h"
#include "devices/DeviceNames.h"

namespace trilo {

namespace {

constexpr const char* kHeader = "trilo-sim-chip 1";
constexpr std::size_t kRow = 32;

void rows(std::string& text, const char* name, const std::vector<std::uint8_t>& cells) {
    for (std::size_t at = 0; at < cells.size(); at += kRow) {
        const std::size_t end = std::min(at + kRow, cells.size());
        if (std::all_of(cells.begin() + static_cast<long>(at),
                        cells.begin() + static_cast<long>(end),
                        [](std::uint8_t b) { return b == 0xFF; })) {
            continue;
        }
        char address[24];
        std::snprintf(address, sizeof address, " %04zX ", at);
        text += name;
        text += address;
        for (std::size_t i = at; i < end; ++i) {
            char byte[3];
            std::snprintf(byte, sizeof byte, "%02X", cells[i]);
            text += byte;
        }
        text += '\n';
    }
}

std::optional<unsigned> hexNumber(std::string_view digits) {
    unsigned value = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return value;
}

// What a text holds, taken whole before any of it reaches a chip.
struct Parsed {
    const DeviceInfo* device = nullptr;
    std::array<bool, 3> lockBits{};
    std::uint8_t fuses = 0xFF;
    bool serialProgramming = true;
    std::vector<std::uint8_t> flash;
    std::vector<std::uint8_t> eeprom;
};

Parsed parse(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    int number = 0;
    if (!std::getline(in, line) || line != kHeader) {
        throw ChipTextError(
            0, format(_("není to soubor simulovaného čipu (chybí první řádek „{}“)"), kHeader));
    }
    ++number;
    Parsed p;
    while (std::getline(in, line)) {
        ++number;
        std::istringstream words(line);
        std::string key;
        std::string value;
        std::string extra;
        words >> key >> value;
        const auto bad = [&](const std::string& why) { throw ChipTextError(number, why); };
        if (key.empty()) {
            continue;
        }
        if (key == "device") {
            if (p.device != nullptr) {
                bad(_("čip je uveden podruhé"));
            }
            p.device = deviceFromTypedName(value);
            if (p.device == nullptr) {
                bad(format(_("neznámý čip „{}“"), value));
            }
            p.flash.assign(static_cast<std::size_t>(p.device->flashSize), 0xFF);
            p.eeprom.assign(static_cast<std::size_t>(p.device->eepromSize), 0xFF);
            continue;
        }
        if (p.device == nullptr) {
            bad(format(_("před „{}“ chybí řádek device"), key));
        }
        if (key == "lock-bits") {
            if (value.size() != 3 || value.find_first_not_of("01") != std::string::npos) {
                bad(format(_("lock-bits chce tři číslice 0 nebo 1, ne „{}“"), value));
            }
            for (std::size_t k = 0; k < 3; ++k) {
                p.lockBits[k] = value[k] == '1';
            }
        } else if (key == "fuses") {
            const auto fuses = hexNumber(value);
            if (value.size() != 2 || !fuses) {
                bad(format(_("fuses chce dvě šestnáctkové číslice, ne „{}“"), value));
            }
            p.fuses = static_cast<std::uint8_t>(*fuses);
        } else if (key == "serial-fuse") {
            if (value != "on" && value != "off") {
                bad(format(_("serial-fuse chce on nebo off, ne „{}“"), value));
            }
            p.serialProgramming = value == "on";
        } else if (key == "flash" || key == "eeprom") {
            std::vector<std::uint8_t>& cells = key == "flash" ? p.flash : p.eeprom;
            std::string data;
            words >> data;
            const auto address = hexNumber(value);
            if (!address || data.empty() || data.size() % 2 != 0) {
                bad(format(_("{} chce adresu a bajty v šestnáctkové soustavě"), key));
            }
            const std::size_t count = data.size() / 2;
            if (*address > cells.size() || count > cells.size() - *address) {
                bad(format(_("{0}: bajty za koncem paměti {1}"), key, p.device->name));
            }
            for (std::size_t i = 0; i < count; ++i) {
                const auto byte = hexNumber(std::string_view(data).substr(2 * i, 2));
                if (!byte) {
                    bad(format(_("{0}: „{1}“ není bajt"), key, data.substr(2 * i, 2)));
                }
                cells[*address + i] = static_cast<std::uint8_t>(*byte);
            }
        } else {
            bad(format(_("neznámý klíč „{}“"), key));
        }
        if (words >> extra) {
            bad(format(_("nadbytečný text „{}“"), extra));
        }
    }
    if (p.device == nullptr) {
        throw ChipTextError(0, _("chybí řádek device"));
    }
    return p;
}

}  // namespace

std::string chipText(const SimChip& chip) {
    std::string text = std::string(kHeader) + "\ndevice " + chip.device().name + "\nlock-bits ";
    for (bool programmed : chip.lockBits) {
        text += programmed ? '1' : '0';
    }
    char fuses[3];
    std::snprintf(fuses, sizeof fuses, "%02X", chip.fuses);
    text += std::string("\nfuses ") + fuses + "\nserial-fuse " +
            (chip.serialProgramming ? "on" : "off") + "\n";
    rows(text, "flash", chip.flash);
    rows(text, "eeprom", chip.eeprom);
    return text;
}

const DeviceInfo& chipTextDevice(const std::string& text) {
    return *parse(text).device;
}

void restoreChip(SimChip& chip, const std::string& text) {
    Parsed p = parse(text);
    if (p.device != &chip.device()) {
        throw ChipTextError(
            0, format(_("soubor je čip {0}, ne {1}"), p.device->name, chip.device().name));
    }
    chip.flash = std::move(p.flash);
    chip.eeprom = std::move(p.eeprom);
    chip.lockBits = p.lockBits;
    chip.fuses = p.fuses;
    chip.serialProgramming = p.serialProgramming;
}

}  // namespace trilo
