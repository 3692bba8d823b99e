#pragma once

#include <cstdint>
#include <vector>

#include "ops/Operation.h"

namespace trilo {

// The AVR data EEPROM, byte by byte; file offset i is EEPROM byte i.

// Reads EepromSize bytes into a new buffer file.
void AvrReadEeprom(OpContext& c, std::int32_t EepromSize);
// The same sequence over the first `bytes` bytes, into memory; the gauge is left where the
// last byte put it.
std::vector<std::uint8_t> AvrReadEepromBytes(OpContext& c, std::int64_t bytes);
// Writes every byte of the input, each with a ready-polled strobe and no read-back, and
// closes the input.
void AvrWriteEeprom(OpContext& c);
// Reads the EEPROM back against every byte of the input, in a programming cycle of its own,
// up to the first difference; closes the input. Shows nothing.
Comparison AvrCompareEeprom(OpContext& c);

}  // namespace trilo
