#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "commands/Report.h"
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
// The lock level boxes chLB1 .. chLB3: the level a flash write programs, or the one read.
const std::array<Control, 3>& lockBoxes();

// A command's button and the controls that give it its values or show what it read. The
// window enables them while the selected device offers the command.
struct CommandControls {
    Command command;
    Control button;
    std::span<const Control> with;
};
std::span<const CommandControls> commandControls();

}  // namespace trilo
