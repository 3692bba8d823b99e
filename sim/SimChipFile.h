#pragma once

#include <cstdint>
#include <string>

#include "base/Errors.h"
#include "base/Text.h"
#include "devices/Catalog.h"
#include "sim/SimChip.h"

namespace trilo {

// A simulated chip as a text file, so that it lasts from one run to the next: the device it
// is, its lock bits, fuse bits and serial fuse, and the rows of its flash and EEPROM that
// are not blank, in the chip's byte order (an AVR flash word low byte first, as the tools
// number it):
//
//   trilo-sim-chip 1
//   device 89C2051
//   lock-bits 000
//   fuses FF
//   serial-fuse on
//   flash 0000 0203FF...
//
// lock-bits gives lock bits 1 to 3, 1 = programmed; fuses and serial-fuse as the chip holds
// them (0 = programmed fuse).
std::string chipText(const SimChip& chip);

// A text that is no such file, or that cannot be, says where and why.
class ChipTextError : public TriloError {
public:
    ChipTextError(int line, const std::string& why)
        : TriloError(line > 0 ? format(_("řádek {0}: {1}"), std::to_string(line), why) : why) {}
};

// The device that a chip's text names; ChipTextError when it names none.
const DeviceInfo& chipTextDevice(const std::string& text);
// Puts what the text holds into the chip, which must be of the device it names; raises
// ChipTextError, leaving the chip as it was, for a text it cannot take whole.
void restoreChip(SimChip& chip, const std::string& text);

}  // namespace trilo
