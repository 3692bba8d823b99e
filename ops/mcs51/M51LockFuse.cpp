#include "ops/mcs51/M51LockFuse.h"

#include <array>

namespace trilo {

namespace {

// The lock-bit and fuse readings: the mode byte, 100 ms for the chip to present it, one read.
std::int32_t readInMode(Link& link, std::uint8_t mode) {
    link.SetDataLines(0xFF);
    link.WriteControlLatch(mode);
    link.wait(100);
    link.ReadDataLines();
    return link.LastRead;
}

}  // namespace

void M51WriteLockBits(OpContext& c, std::uint8_t level) {
    static constexpr std::array<std::uint8_t, 3> kSteps{0x36, 0x30, 0x24};
    Link& link = c.link;
    link.SetDataLines(0xFF);
    for (std::uint8_t step = 1; step <= level && step <= kSteps.size(); ++step) {
        link.WriteControlLatch(kSteps[step - 1]);
        link.PulseControlLow(1);
    }
}

void S51WriteLockBits(OpContext& c, std::uint8_t level) {
    static constexpr std::array<std::uint8_t, 3> kLockBytes{0x7F, 0x3F, 0x1F};
    Link& link = c.link;
    // The data lines still hold what the flash write left on them until the lock byte.
    link.WriteControlLatch(0x24);
    link.SetDataLines(kLockBytes.at(level - 1u));
    link.PulseControlLow(1);
}

int M51ReadLockBits(OpContext& c) {
    const std::int32_t s = readInMode(c.link, 0x30);
    // The highest programmed lock bit is the level.
    int level = 0;
    if ((s & 0x04) == 0) {
        level = 1;
    }
    if ((s & 0x02) == 0) {
        level = 2;
    }
    if ((s & 0x01) == 0) {
        level = 3;
    }
    return level;
}

bool S51ReadSerialFuse(OpContext& c) {
    return (readInMode(c.link, 0x32) & 0x01) != 0;
}

bool S51WriteSerialFuse(OpContext& c, bool off) {
    Link& link = c.link;
    // Here the data byte goes out before the mode byte.
    link.SetDataLines(off ? 0xFE : 0xFF);
    link.WriteControlLatch(0x12);
    link.wait(100);
    link.PulseControlLow(10);
    const bool on = S51ReadSerialFuse(c);
    link.ReleaseTarget();
    return on;
}

}  // namespace trilo
