#include "devices/Catalog.h"

#include <strings.h>

#include <algorithm>

namespace trilo {

namespace {

constexpr FuseLabels kSpienRcen{"SPIEN", nullptr, nullptr, nullptr, nullptr, "RCEN"};
constexpr FuseLabels kSpienFstrt{"SPIEN", nullptr, nullptr, nullptr, nullptr, "FSTRT"};
constexpr FuseLabels kBodParts{"SPIEN", "BODLEVEL", "BODEN", "CKSEL2", "CKSEL1", "CKSEL0"};
constexpr FuseLabels kTiny28{nullptr, "INTCAP", "CKSEL3", "CKSEL2", "CKSEL1", "CKSEL0"};

// The bytes of a signature that are not checked are what a simulated chip answers there. The
// 40-pin AT89 parts check the maker's byte at 0x30 and the part's at 0x31; 0x32 names no
// part (on the 89C parts it tells the programming voltage, FF 12 V or 05 5 V), so none
// checks it.
// clang-format off
constexpr DeviceInfo kCatalog[] = {
    {.id = 1, .name = "89C1051", .menuItem = "mnu1051", .family = Family::X051, .flashSize = 1024,
     .signature = {{0x1E, 0x11, 0xFF}, 2}},
    {.id = 2, .name = "89C2051", .menuItem = "mnu2051", .family = Family::X051, .flashSize = 2048,
     .signature = {{0x1E, 0x21, 0xFF}, 2}},
    {.id = 3, .name = "89C4051", .menuItem = "mnu4051", .family = Family::X051, .flashSize = 4096,
     .signature = {{0x1E, 0x41, 0xFF}, 2}},
    {.id = 4, .name = "89C51", .menuItem = "mnu51", .family = Family::X51, .flashSize = 4096,
     .lockLevels = 3, .signature = {{0x1E, 0x51, 0xFF}, 2}},
    {.id = 5, .name = "89C52", .menuItem = "mnu52", .family = Family::X51, .flashSize = 8192,
     .lockLevels = 3, .signature = {{0x1E, 0x52, 0xFF}, 2}},
    {.id = 6, .name = "89S53", .menuItem = "mnu53", .family = Family::S51, .flashSize = 12288,
     .lockLevels = 3, .signature = {{0x1E, 0x53, 0xFF}, 2}},
    {.id = 7, .name = "89C55", .menuItem = "mnu55", .family = Family::X51, .flashSize = 20480,
     .lockLevels = 3, .signature = {{0x1E, 0x55, 0xFF}, 2}},
    {.id = 8, .name = "89S8252", .menuItem = "mnu8252", .family = Family::S51, .flashSize = 10240,
     .lockLevels = 3, .signature = {{0x1E, 0x72, 0xFF}, 2}},
    {.id = 9, .name = "90S1200", .menuItem = "mnu1200", .family = Family::Avr, .flashSize = 1024,
     .eepromSize = 64, .fuses = kSpienRcen, .fuseReadControl = 0x14, .eepromOps = true,
     .fuseOps = true, .signature = {{0x1E, 0x90, 0x01}, 3}},
    {.id = 10, .name = "90S2313", .menuItem = "mnu2313", .family = Family::Avr, .flashSize = 2048,
     .eepromSize = 128, .fuses = kSpienFstrt, .fuseReadControl = 0x14, .eepromOps = true,
     .fuseOps = true, .signature = {{0x1E, 0x91, 0x01}, 3}},
    {.id = 11, .name = "90S2333", .menuItem = "mnu2333", .family = Family::Avr, .flashSize = 2048,
     .eepromSize = 128, .fuses = kBodParts, .fuseReadControl = 0x04, .eepromOps = true,
     .fuseOps = true, .signature = {{0x1E, 0x91, 0x05}, 3}},
    {.id = 12, .name = "90S4414", .menuItem = "mnu4414", .family = Family::Avr, .flashSize = 4096,
     .eepromSize = 256, .fuses = kSpienFstrt, .fuseReadControl = 0x14, .eepromOps = true,
     .fuseOps = true, .signature = {{0x1E, 0x92, 0x01}, 3}},
    {.id = 13, .name = "90S4433", .menuItem = "mnu4433", .family = Family::Avr, .flashSize = 4096,
     .eepromSize = 256, .fuses = kBodParts, .fuseReadControl = 0x04, .eepromOps = true,
     .fuseOps = true, .signature = {{0x1E, 0x92, 0x03}, 3}},
    {.id = 14, .name = "90S4434", .menuItem = "mnu4434", .family = Family::Avr, .flashSize = 4096,
     .eepromSize = 256, .fuses = kSpienFstrt, .fuseReadControl = 0x14, .eepromOps = true,
     .fuseOps = true, .signature = {{0x1E, 0x92, 0x02}, 3}},
    {.id = 15, .name = "90S8515", .menuItem = "mnu8515", .family = Family::Avr, .flashSize = 8192,
     .eepromSize = 512, .fuses = kSpienFstrt, .fuseReadControl = 0x14, .eepromOps = true,
     .fuseOps = true, .signature = {{0x1E, 0x93, 0x01}, 3}},
    {.id = 18, .name = "90S8534", .menuItem = "mnu8534", .family = Family::Avr, .flashSize = 8192,
     .eepromSize = 512, .fuseReadControl = 0x14, .eepromOps = true,
     .signature = {{0x1E, 0x93, 0x04}, 2}},
    {.id = 16, .name = "90S8535", .menuItem = "mnu8535", .family = Family::Avr, .flashSize = 8192,
     .eepromSize = 512, .fuses = kSpienFstrt, .fuseReadControl = 0x14, .eepromOps = true,
     .fuseOps = true, .signature = {{0x1E, 0x93, 0x03}, 3}},
    {.id = 17, .name = "ATtiny28", .menuItem = "mnat28", .family = Family::Avr, .flashSize = 2048,
     .fuses = kTiny28, .fuseReadControl = 0x04, .fuseOps = true, 
     .signature = {{0x1E, 0x91, 0x07}, 3}},
};
// clang-format on

}  // namespace

const char* familyName(Family family) {
    switch (family) {
        case Family::X051:
            return "X051";
        case Family::X51:
            return "X51";
        case Family::S51:
            return "S51";
        case Family::Avr:
            break;
    }
    return "AVR";
}

std::uint8_t DeviceInfo::fuseMask() const {
    std::uint8_t mask = 0;
    for (std::size_t k = 0; k < fuses.size(); ++k) {
        if (fuses[k] != nullptr) {
            mask = static_cast<std::uint8_t>(mask | (0x20 >> k));
        }
    }
    return mask;
}

std::span<const DeviceInfo> deviceCatalog() {
    return kCatalog;
}

const DeviceInfo* findDevice(std::int32_t id) {
    for (const DeviceInfo& device : kCatalog) {
        if (device.id == id) {
            return &device;
        }
    }
    return nullptr;
}

bool signatureMatches(const DeviceInfo& device, const std::vector<std::uint8_t>& bytes) {
    const auto checked = static_cast<std::size_t>(device.signature.checked);
    if (bytes.size() < checked) {
        return false;
    }
    for (std::size_t i = 0; i < checked; ++i) {
        if (bytes[i] != device.signature.bytes[i]) {
            return false;
        }
    }
    return true;
}

namespace {

// 0 the AVR parts, 1 the 20-pin AT89 parts, 2 the 40-pin ones: each group is read its own way.
int signatureGroup(const DeviceInfo& device) {
    if (device.isAvr()) {
        return 0;
    }
    return device.twentyPin() ? 1 : 2;
}

}  // namespace

const DeviceInfo* deviceWithSignature(const std::vector<std::uint8_t>& bytes,
                                      const DeviceInfo& like) {
    const DeviceInfo* best = nullptr;
    std::size_t bestEqual = 0;
    for (const DeviceInfo& device : kCatalog) {
        if (signatureGroup(device) != signatureGroup(like) || !signatureMatches(device, bytes)) {
            continue;
        }
        // A row that checks fewer bytes (89S53: 1E) also accepts its neighbours' bytes; the
        // row that agrees in more of them is the chip that answered.
        std::size_t equal = 0;
        for (std::size_t i = 0; i < bytes.size() && i < device.signature.bytes.size(); ++i) {
            equal += bytes[i] == device.signature.bytes[i] ? 1 : 0;
        }
        if (best == nullptr || equal > bestEqual) {
            best = &device;
            bestEqual = equal;
        }
    }
    return best;
}

std::uint8_t fuseByteFrom(const std::array<bool, 6>& checked) {
    unsigned value = 0xFF;
    for (std::size_t k = 0; k < checked.size(); ++k) {
        if (checked[k]) {
            value &= ~(0x20u >> k);
        }
    }
    return static_cast<std::uint8_t>(value);
}

std::array<bool, 6> programmedFuses(std::uint8_t fuses) {
    std::array<bool, 6> programmed{};
    for (std::size_t k = 0; k < programmed.size(); ++k) {
        programmed[k] = (fuses & (0x20u >> k)) == 0;
    }
    return programmed;
}

namespace {

std::string namesWhere(const DeviceInfo& device, const std::array<bool, 6>& which) {
    std::string names;
    for (std::size_t k = 0; k < which.size(); ++k) {
        if (which[k] && device.fuses[k] != nullptr) {
            names += names.empty() ? "" : ",";
            names += device.fuses[k];
        }
    }
    return names;
}

}  // namespace

std::string fuseNames(const DeviceInfo& device) {
    return namesWhere(device, {true, true, true, true, true, true});
}

std::string programmedFuseNames(const DeviceInfo& device, std::uint8_t fuses) {
    return namesWhere(device, programmedFuses(fuses));
}

std::optional<std::uint8_t> fuseByteNamed(const DeviceInfo& device, const std::string& list,
                                          std::string& unknown) {
    std::array<bool, 6> programmed{};
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t comma = std::min(list.find(',', start), list.size());
        const std::string name = list.substr(start, comma - start);
        start = comma + 1;
        // "-" is how a reading prints an empty list.
        if (name.empty() || name == "-") {
            continue;
        }
        bool known = false;
        for (std::size_t k = 0; k < device.fuses.size(); ++k) {
            if (device.fuses[k] != nullptr && ::strcasecmp(name.c_str(), device.fuses[k]) == 0) {
                programmed[k] = known = true;
            }
        }
        if (!known) {
            unknown = name;
            return std::nullopt;
        }
    }
    return fuseByteFrom(programmed);
}

}  // namespace trilo
