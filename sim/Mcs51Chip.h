#pragma once

#include <cstdint>

#include "sim/SimChip.h"

namespace trilo {

// An AT89 part in parallel programming mode. Control byte: bits 5, 4, 2, 1 the mode lines,
// bit 7 low the programming voltage, bit 6 high holds the address counter at 0, bit 0 its
// clock. A 20-pin part has power only after the latch goes 0x88, 0x80, until the next 0x88.
class Mcs51Chip final : public SimChip {
public:
    Mcs51Chip(const DeviceInfo& device, ProtocolFaults& faults);

private:
    void latched(std::uint8_t previous, std::uint8_t current, std::uint8_t lines) override;
    void pulseStarted(std::uint8_t control, std::uint8_t lines, std::int64_t nowUs) override;
    void pulseEnded(std::int64_t nowUs) override;
    int drive(std::uint8_t control) override;
    int signatureAt(int address) const;

    bool twentyPin_ = false;
    // 89S53 and 89S8252: the lock-byte write, the lock-bit read and the serial fuse.
    bool serialParts_ = false;
    bool powered_ = true;
    int counter_ = 0;
    // The byte being programmed: data polling shows it with bit 7 inverted while busy.
    std::uint8_t polled_ = 0xFF;
};

}  // namespace trilo
