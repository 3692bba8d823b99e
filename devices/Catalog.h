#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace trilo {

// Family tags as the operations compare them (exact, case-sensitive).
inline constexpr const char* kFamilyX051 = "X051";  // 20-pin 89C1051, 89C2051, 89C4051
inline constexpr const char* kFamilyX51 = "X51";    // 40-pin 89C51, 89C52, 89C55
inline constexpr const char* kFamilyS51 = "S51";    // 40-pin with serial-programming fuse
inline constexpr const char* kFamilyAvr = "AVR";    // AT90S parts and ATtiny28

// The signature bytes a chip answers; only the first `checked` of them identify the type.
struct Signature {
    std::array<std::uint8_t, 3> bytes;
    int checked;
};

// One device: everything the program knows of it, as data.
struct DeviceInfo {
    std::int32_t id;
    const char* name;
    const char* family;
    std::int32_t flashSize;   // bytes, also for the word-addressed AVR flash
    std::int32_t eepromSize;  // bytes
    // Labels of the fuse bits 5 .. 0 (check boxes chD5 .. chD0); nullptr where the device has
    // no such fuse.
    std::array<const char*, 6> fuses;
    // AVR: the read control that shows the fuse bits after command 0x04 (0x04 on the parts
    // that keep fuses and lock bits in separate bytes, 0x14 on the others).
    std::uint8_t fuseReadControl;
    bool eepromOps;  // the EEPROM commands apply (AVR parts with an EEPROM of their own)
    bool fuseOps;    // the fuse commands apply
    int lockLevels;  // the highest lock level the device offers
    // What a new simulated chip holds: its fuse byte (0 = programmed) and its signature.
    std::uint8_t factoryFuses;
    Signature signature;

    bool isAvr() const;
    // The lock bits can be read back ("S51" and "AVR"); the serial-programming fuse exists
    // ("S51").
    bool readsLockBits() const;
    bool hasSerialFuse() const;
    // The fuse bits the device has, at their positions in the fuse byte.
    std::uint8_t fuseMask() const;
};

constexpr int kDeviceCount = 18;

// The eighteen devices, indexed by DeviceId - 1 (the ids are not in menu order).
const std::array<DeviceInfo, kDeviceCount>& deviceCatalog();
// The device with this id, or nullptr outside 1..18.
const DeviceInfo* findDevice(std::int32_t id);
// The device of that name, matched without regard to case ("90s2313"), or nullptr.
const DeviceInfo* findDeviceNamed(const std::string& name);

// Whether bytes read from a chip are the device's signature: its checked bytes are equal.
bool signatureMatches(const DeviceInfo& device, const std::vector<std::uint8_t>& bytes);
// The device whose signature those bytes are, among the devices read the way `like` is read
// (the AVR parts, the 20-pin or the 40-pin AT89 parts): of the rows whose checked bytes all
// match, the one equal in the most bytes. nullptr when none matches.
const DeviceInfo* deviceWithSignature(const std::vector<std::uint8_t>& bytes,
                                      const DeviceInfo& like);

// The menus list the devices in this order.
const std::array<std::int32_t, 8>& mcs51MenuOrder();
const std::array<std::int32_t, 10>& avrMenuOrder();

}  // namespace trilo
