#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace trilo::commands {

// What the differences between a data file and the chip show beyond the first of them, for
// a failed verify or read-back: "rozdílných bajtů: 37 z 2048", and where every differing
// byte points one way, that way: a chip that reads all FF or all 00 (nothing answers, or a
// blank or read-protected chip), a single data line ("všechny rozdíly jsou v bitu D3:
// zkontrolujte datový vodič D3"), bytes that kept 1s a write should have cleared (not
// programmed) or 0s the file does not have (not erased before the write; cells only lose
// bits). The bytes are compared up to the shorter side; empty when none differ.
std::string ExplainDifferences(std::span<const std::uint8_t> file,
                               std::span<const std::uint8_t> chip);

}  // namespace trilo::commands
