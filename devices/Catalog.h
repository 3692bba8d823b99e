#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace trilo {

// The families, which the operations tell apart; their names are only text ("Typ", -l).
enum class Family {
    X051,  // 20-pin 89C1051, 89C2051, 89C4051
    X51,   // 40-pin 89C51, 89C52, 89C55
    S51,   // 40-pin with serial-programming fuse
    Avr,   // AT90S parts and ATtiny28
};

// "X051", "X51", "S51", "AVR".
const char* familyName(Family family);

// The signature bytes a chip answers; only the first `checked` of them identify the type.
struct Signature {
    std::array<std::uint8_t, 3> bytes;
    int checked;
};

using FuseLabels = std::array<const char*, 6>;
inline constexpr FuseLabels kNoFuses{};

// One device: everything the program knows of it, as data.
struct DeviceInfo {
    std::int32_t id;  // DeviceId, as the settings store it
    const char* name;
    // The window's menu item for the device (mnu2313Click's item).
    const char* menuItem;
    Family family;
    std::int32_t flashSize;       // bytes, also for the word-addressed AVR flash
    std::int32_t eepromSize = 0;  // bytes
    // Labels of the fuse bits 5 .. 0 (check boxes chD5 .. chD0); nullptr where the device has
    // no such fuse.
    FuseLabels fuses = kNoFuses;
    // AVR: the read control that shows the fuse bits after command 0x04 (0x04 on the parts
    // that keep fuses and lock bits in separate bytes, 0x14 on the others).
    std::uint8_t fuseReadControl = 0;
    bool eepromOps = false;  // the EEPROM commands apply (AVR parts with an EEPROM of their own)
    bool fuseOps = false;    // the fuse commands apply
    int lockLevels = 2;      // the highest lock level the device offers
    // What the chip answers when its signature is read.
    Signature signature{};

    bool isAvr() const { return family == Family::Avr; }
    // The 20-pin AT89 parts, which need their own preparation and signature addresses.
    bool twentyPin() const { return family == Family::X051; }
    bool hasSerialFuse() const { return family == Family::S51; }
    // How many signature bytes a chip answers: two on the 20-pin parts, three on the others.
    std::size_t signatureLength() const { return twentyPin() ? 2 : 3; }
    // The fuse bits the device has, at their positions in the fuse byte.
    std::uint8_t fuseMask() const;
};

// Every device, in the order of the window's menus ("MCS51", then "AVR").
std::span<const DeviceInfo> deviceCatalog();
// The device with this id, or nullptr.
const DeviceInfo* findDevice(std::int32_t id);

// Whether bytes read from a chip are the device's signature: its checked bytes are equal.
bool signatureMatches(const DeviceInfo& device, const std::vector<std::uint8_t>& bytes);
// The device whose signature those bytes are, among the devices read the way `like` is read
// (the AVR parts, the 20-pin or the 40-pin AT89 parts): of the rows whose checked bytes all
// match, the one equal in the most bytes. nullptr when none matches.
const DeviceInfo* deviceWithSignature(const std::vector<std::uint8_t>& bytes,
                                      const DeviceInfo& like);

// The fuse byte for the checked boxes chD5 .. chD0: 0xFF with the bit of every checked box
// cleared; and the other way, which boxes a fuse reading shows programmed.
std::uint8_t fuseByteFrom(const std::array<bool, 6>& checked);
std::array<bool, 6> programmedFuses(std::uint8_t fuses);
// The device's fuse names, comma-separated: all of them, or those a reading shows programmed.
std::string fuseNames(const DeviceInfo& device);
std::string programmedFuseNames(const DeviceInfo& device, std::uint8_t fuses);
// "SPIEN,FSTRT" (any letter case; "-" or nothing for none): those fuses programmed, the
// device's others not. A name the device has not is returned in unknown, and nothing else.
std::optional<std::uint8_t> fuseByteNamed(const DeviceInfo& device, const std::string& list,
                                          std::string& unknown);

}  // namespace trilo
