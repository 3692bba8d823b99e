#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/View.h"

namespace trilo {

// Family tags as the operations compare them (exact, case-sensitive).
inline constexpr const char* kFamilyX051 = "X051";  // 20-pin 89C1051, 89C2051, 89C4051
inline constexpr const char* kFamilyX51 = "X51";    // 40-pin 89C51, 89C52, 89C55
inline constexpr const char* kFamilyS51 = "S51";    // 40-pin with serial-programming fuse
inline constexpr const char* kFamilyAvr = "AVR";    // AT90S parts and ATtiny28

struct DeviceInfo {
    std::int32_t id;
    const char* name;
    Control menuItem;
    const char* family;
    std::int32_t flashSize;   // bytes, also for the word-addressed AVR flash
    std::int32_t eepromSize;  // bytes
    // Labels of the fuse check boxes chD5 .. chD0; nullptr where the device has no such fuse.
    std::array<const char*, 6> fuses;
};

constexpr int kDeviceCount = 18;

// The eighteen devices, indexed by DeviceId - 1 (the ids are not in menu order).
const std::array<DeviceInfo, kDeviceCount>& deviceCatalog();
// The device with this id, or nullptr outside 1..18.
const DeviceInfo* findDevice(std::int32_t id);

// The menus list the devices in this order.
const std::array<std::int32_t, 8>& mcs51MenuOrder();
const std::array<std::int32_t, 10>& avrMenuOrder();

// The fuse check boxes chD5 .. chD0 in that order, and their unused captions.
const std::array<Control, 6>& fuseBoxes();
const std::array<const char*, 6>& fuseUnusedCaptions();

}  // namespace trilo
