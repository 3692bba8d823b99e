#pragma once

#include <cstdint>

#include "ops/Operation.h"

namespace trilo {

// The lock level the AVR's lock bits show (0 none, 1, 2). Leaves the target in programming
// mode: the Read LB command releases it.
int AvrReadLockBits(OpContext& c);
// The fuse reading taken with this read control (the catalog's fuseReadControl); bit k is the
// fuse of box chDk, 0 = programmed.
std::uint8_t AvrReadFuses(OpContext& c, std::uint8_t readControl);
// Writes the fuse byte with a fixed 1 ms strobe; the fuses are not read back.
void AvrWriteFuses(OpContext& c, std::uint8_t fuses);

}  // namespace trilo
