#pragma once

#include <array>
#include <cstdint>

#include "core/View.h"

namespace trilo {

// The window's side of the catalog: the menu item of each device and the fuse check boxes.
Control menuItemOf(std::int32_t deviceId);

// The fuse check boxes chD5 .. chD0 in that order, and their captions when a device does not
// use them.
const std::array<Control, 6>& fuseBoxes();
const std::array<const char*, 6>& fuseUnusedCaptions();

}  // namespace trilo
