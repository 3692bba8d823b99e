#pragma once

#include <cstdint>

#include "ops/Operation.h"

namespace trilo {

// Lock levels of "X051" and "X51": lock bits 1 up to the level, one 1 ms pulse each. The
// flash write calls it in write mode; the programmer is not released here.
void M51WriteLockBits(OpContext& c, std::uint8_t level);
// The lock byte of "S51" (0x7F, 0x3F, 0x1F for levels 1, 2, 3) in one pulse.
void S51WriteLockBits(OpContext& c, std::uint8_t level);
// The level the "S51" lock bits show, 0 to 3: the highest programmed lock bit. Not released.
int M51ReadLockBits(OpContext& c);
// The serial-programming fuse of the 89S parts, true = ON. Not released.
bool S51ReadSerialFuse(OpContext& c);
// Writes the fuse (OFF when off is set, ON otherwise), reads it back, releases and returns
// what was read.
bool S51WriteSerialFuse(OpContext& c, bool off);

}  // namespace trilo
