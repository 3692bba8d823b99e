#pragma once

#include <cstdint>
#include <vector>

#include "ops/Operation.h"
#include "ops/mcs51/M51Flash.h"

namespace trilo {

// The signature bytes a chip answers: three for the AVR and the 40-pin AT89 parts, two for
// the 20-pin ones. Every read starts and ends with the board at rest and never applies the
// programming voltage.
using SignatureBytes = std::vector<std::uint8_t>;

// The parallel-mode "read signature bytes" command, addresses 0 to 2.
SignatureBytes AvrReadSignature(OpContext& c);
// The signature mode (all mode lines low, latch 0x80): addresses 0 and 1 of the 20-pin parts,
// 0x30 to 0x32 of the 40-pin parts.
SignatureBytes M51ReadSignature(OpContext& c, Family family);

}  // namespace trilo
