#include "devices/Catalog.h"

#include <strings.h>

#include <cstring>

namespace trilo {

namespace {

constexpr std::array<const char*, 6> kNoFuses{nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
constexpr std::array<const char*, 6> kSpienRcen{"SPIEN", nullptr, nullptr,
                                                nullptr, nullptr, "RCEN"};
constexpr std::array<const char*, 6> kSpienFstrt{"SPIEN", nullptr, nullptr,
                                                 nullptr, nullptr, "FSTRT"};
constexpr std::array<const char*, 6> kBodParts{"SPIEN",  "BODLEVEL", "BODEN",
                                               "CKSEL2", "CKSEL1",   "CKSEL0"};
constexpr std::array<const char*, 6> kTiny28{nullptr,  "INTCAP", "CKSEL3",
                                             "CKSEL2", "CKSEL1", "CKSEL0"};

// Factory fuses (0 = programmed): SPIEN programmed where the part has it, the clock fuses as
// shipped (CKSEL 010 on the BOD parts, 0010 on ATtiny28), everything else unprogrammed.
constexpr std::uint8_t kSpienOnly = 0xDF;
constexpr std::uint8_t kBodFactory = 0xDA;
constexpr std::uint8_t kTiny28Factory = 0xF2;

// The bytes of a signature that are not checked are what a simulated chip answers there.
// clang-format off
const std::array<DeviceInfo, kDeviceCount> kCatalog{{
    // id, name, family, flash, EEPROM, fuse labels, fuse read control, EEPROM commands,
    // fuse commands, lock levels, factory fuses, signature
    {1, "89C1051", kFamilyX051, 1024, 0, kNoFuses, 0, false, false, 2, 0xFF, {{0x1E, 0x11, 0xFF}, 2}},
    {2, "89C2051", kFamilyX051, 2048, 0, kNoFuses, 0, false, false, 2, 0xFF, {{0x1E, 0x21, 0xFF}, 2}},
    {3, "89C4051", kFamilyX051, 4096, 0, kNoFuses, 0, false, false, 2, 0xFF, {{0x1E, 0x41, 0xFF}, 2}},
    {4, "89C51", kFamilyX51, 4096, 0, kNoFuses, 0, false, false, 3, 0xFF, {{0x1E, 0x51, 0xFF}, 2}},
    {5, "89C52", kFamilyX51, 8192, 0, kNoFuses, 0, false, false, 3, 0xFF, {{0x1E, 0x52, 0xFF}, 2}},
    {6, "89S53", kFamilyS51, 12288, 0, kNoFuses, 0, false, false, 3, 0xFF, {{0x1E, 0x53, 0xFF}, 1}},
    {7, "89C55", kFamilyX51, 20480, 0, kNoFuses, 0, false, false, 3, 0xFF, {{0x1E, 0x55, 0xFF}, 2}},
    {8, "89S8252", kFamilyS51, 10240, 0, kNoFuses, 0, false, false, 3, 0xFF, {{0x1E, 0x72, 0xFF}, 1}},
    {9, "90S1200", kFamilyAvr, 1024, 64, kSpienRcen, 0x14, true, true, 2, kSpienOnly, {{0x1E, 0x90, 0x01}, 3}},
    {10, "90S2313", kFamilyAvr, 2048, 128, kSpienFstrt, 0x14, true, true, 2, kSpienOnly, {{0x1E, 0x91, 0x01}, 3}},
    {11, "90S2333", kFamilyAvr, 2048, 128, kBodParts, 0x04, true, true, 2, kBodFactory, {{0x1E, 0x91, 0x05}, 3}},
    {12, "90S4414", kFamilyAvr, 4096, 256, kSpienFstrt, 0x14, true, true, 2, kSpienOnly, {{0x1E, 0x92, 0x01}, 3}},
    {13, "90S4433", kFamilyAvr, 4096, 256, kBodParts, 0x04, true, true, 2, kBodFactory, {{0x1E, 0x92, 0x03}, 3}},
    {14, "90S4434", kFamilyAvr, 4096, 256, kSpienFstrt, 0x14, true, true, 2, kSpienOnly, {{0x1E, 0x92, 0x02}, 3}},
    {15, "90S8515", kFamilyAvr, 8192, 512, kSpienFstrt, 0x14, true, true, 2, kSpienOnly, {{0x1E, 0x93, 0x01}, 3}},
    {16, "90S8535", kFamilyAvr, 8192, 512, kSpienFstrt, 0x14, true, true, 2, kSpienOnly, {{0x1E, 0x93, 0x03}, 3}},
    {17, "ATtiny28", kFamilyAvr, 2048, 0, kTiny28, 0x04, false, true, 2, kTiny28Factory, {{0x1E, 0x91, 0x07}, 3}},
    {18, "90S8534", kFamilyAvr, 8192, 512, kNoFuses, 0x14, true, false, 2, 0xFF, {{0x1E, 0x93, 0x04}, 2}},
}};
// clang-format on

}  // namespace

bool DeviceInfo::isAvr() const {
    return std::strcmp(family, kFamilyAvr) == 0;
}

bool DeviceInfo::readsLockBits() const {
    return isAvr() || hasSerialFuse();
}

bool DeviceInfo::hasSerialFuse() const {
    return std::strcmp(family, kFamilyS51) == 0;
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

const std::array<DeviceInfo, kDeviceCount>& deviceCatalog() {
    return kCatalog;
}

const DeviceInfo* findDevice(std::int32_t id) {
    if (id < 1 || id > kDeviceCount) {
        return nullptr;
    }
    return &kCatalog[static_cast<std::size_t>(id - 1)];
}

const DeviceInfo* findDeviceNamed(const std::string& name) {
    for (const DeviceInfo& device : kCatalog) {
        if (::strcasecmp(device.name, name.c_str()) == 0) {
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
    return std::strcmp(device.family, kFamilyX051) == 0 ? 1 : 2;
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

const std::array<std::int32_t, 8>& mcs51MenuOrder() {
    static const std::array<std::int32_t, 8> order{1, 2, 3, 4, 5, 6, 7, 8};
    return order;
}

const std::array<std::int32_t, 10>& avrMenuOrder() {
    static const std::array<std::int32_t, 10> order{9, 10, 11, 12, 13, 14, 15, 18, 16, 17};
    return order;
}

}  // namespace trilo
