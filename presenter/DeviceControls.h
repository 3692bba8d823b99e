#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "presenter/View.h"

namespace trilo {

// The window's side of the catalog. Each device's menu item is a control after Control::Count,
// in catalog order, named as the window names it (mnu1051, mnat28, ...).
Control menuItemOf(std::int32_t deviceId);
// Every control, the device items included.
std::size_t controlCount();
const char* controlName(Control c);

// The fuse check boxes chD5 .. chD0 in that order, and their captions when a device does not
// use them.
const std::array<Control, 6>& fuseBoxes();
const std::array<const char*, 6>& fuseUnusedCaptions();

}  // namespace trilo
