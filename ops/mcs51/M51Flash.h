#pragma once

#include <cstdint>
#include <vector>

#include "devices/Catalog.h"
#include "ops/Operation.h"

namespace trilo {

// The three MCS-51 families differ in their mode entries: "X051" and "S51" each change a
// step, any other family runs as "X51".

// The flash of the AT89 parts, byte by byte: no address is sent, the chip's counter moves on
// one byte per clock step from 0 after the mode entry. Each operation ends with the target
// released, except a blank check that passes: the Erase command then releases it.

// Reads FlashSize bytes into a new buffer file.
void M51ReadFlash(OpContext& c, Family family, std::int32_t FlashSize);
// The same sequence over the first `bytes` bytes, into memory; the gauge is left where the
// last byte put it.
std::vector<std::uint8_t> M51ReadFlashBytes(OpContext& c, Family family, std::int64_t bytes);
// Programs every byte of the input, checking each by data polling when AutoVerify is set,
// then the lock levels of the checked boxes. The first difference, after its message, when a
// byte does not read back; no lock bit is then written. The input stays open.
Comparison M51WriteFlash(OpContext& c, Family family, bool AutoVerify, const LockBoxes& locks);
// The lock level alone, as the flash write ends, in a write-mode entry of its own; released.
void M51LockChip(OpContext& c, Family family, std::uint8_t level);
void M51EraseChip(OpContext& c, Family family);
// True when every one of FlashSize bytes reads 0xFF; false after its message.
bool M51BlankCheck(OpContext& c, Family family, std::int32_t FlashSize);
// Compares the flash with the input, shows the outcome (a difference with the 1-based number
// of its byte) and closes the input.
Comparison M51VerifyFlash(OpContext& c, Family family);

}  // namespace trilo
