#pragma once

#include <array>
#include <cstdint>

#include "sim/SimChip.h"

namespace trilo {

// An AT90S part or ATtiny28 in parallel programming mode. Control byte: bit 0 XTAL1, bit 1
// XA1, bit 2 XA0, bit 4 BS1, bit 5 /OE, bit 6 supply off, bit 7 12 V off.
class AvrChip final : public SimChip {
public:
    AvrChip(const DeviceInfo& device, ProtocolFaults& faults);

private:
    void latched(std::uint8_t previous, std::uint8_t current, std::uint8_t lines) override;
    void pulseStarted(std::uint8_t control, std::uint8_t lines, std::int64_t nowUs) override;
    void pulseEnded(std::int64_t nowUs) override;
    int drive(std::uint8_t control) override;

    int address() const { return (addressHigh_ << 8) | addressLow_; }
    int fuseAndLockReading(bool bs1);
    bool readProtected() const { return lockBits[0] && lockBits[1]; }

    // 90S2333, 90S4433 and ATtiny28 show their fuses with BS1 low and their lock bits at
    // bits 1 and 2; the others show everything in one byte with BS1 high.
    bool fusesApart_ = false;
    // The fuse bits the device has, at the positions of the fuse byte.
    std::uint8_t fuseMask_ = 0;
    std::array<std::uint8_t, 3> signature_{};

    bool programming_ = false;
    std::uint8_t command_ = 0;
    std::uint8_t addressHigh_ = 0;
    std::uint8_t addressLow_ = 0;
    std::uint8_t dataLow_ = 0xFF;
    std::uint8_t dataHigh_ = 0xFF;
};

}  // namespace trilo
