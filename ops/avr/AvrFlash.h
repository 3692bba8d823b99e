#pragma once

#include <cstdint>
#include <vector>

#include "ops/Operation.h"

namespace trilo {

// The flash of the AVR parts in parallel programming mode, word by word. In a data file or the
// buffer each word stands high byte first. Every operation ends with the target released,
// except a blank check that passes: the Erase command then releases it.

// Reads FlashSize / 2 words into a new buffer file.
void AvrReadFlash(OpContext& c, std::int32_t FlashSize);
// The same sequence over the words that hold the first `bytes` bytes, into memory in a data
// file's order; the gauge is left where the last word put it.
std::vector<std::uint8_t> AvrReadFlashBytes(OpContext& c, std::int64_t bytes);
// Programs every word of the input, low byte first, reading each back when AutoVerify is set,
// then the lock levels of the checked boxes (1 and 2). The first difference, after its
// message, when a word does not read back; the lock bits are then not written. The input
// stays open.
Comparison AvrWriteFlash(OpContext& c, bool AutoVerify, const LockBoxes& locks);
// Level 1 programs lock bit 1 (0xFD), level 2 lock bits 1 and 2 (0xF9).
void AvrWriteLockBits(OpContext& c, std::uint8_t level);
void AvrEraseChip(OpContext& c);
// True when every one of FlashSize / 2 words reads 0xFFFF; false after its message.
bool AvrBlankCheck(OpContext& c, std::int32_t FlashSize);
// Compares the flash with the input, shows the outcome and closes the input.
Comparison AvrVerifyFlash(OpContext& c);

// A word's two address bytes, high first, as every AVR memory operation loads them.
void avrLoadAddress(Link& link, std::int64_t address);

}  // namespace trilo
