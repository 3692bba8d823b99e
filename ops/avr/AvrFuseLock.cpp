#include "ops/avr/AvrFuseLock.h"

namespace trilo {

namespace {

constexpr std::uint8_t kReadFuseAndLock = 0x04;
constexpr std::uint8_t kWriteFuses = 0x40;

}  // namespace

int AvrReadLockBits(OpContext& c) {
    Link& link = c.link;
    link.EnterAvrProgramming();
    link.LoadCommand(kReadFuseAndLock);
    link.ReadWithControl(0x14);
    const std::int32_t s = link.LastRead;
    // Both places of each lock bit are looked at, whichever the part uses.
    int level = 0;
    if ((s & 0x02) == 0 || (s & 0x80) == 0) {
        level = 1;
    }
    if ((s & 0x04) == 0 || (s & 0x40) == 0) {
        level = 2;
    }
    return level;
}

std::uint8_t AvrReadFuses(OpContext& c, std::uint8_t readControl) {
    Link& link = c.link;
    link.EnterAvrProgramming();
    link.LoadCommand(kReadFuseAndLock);
    link.ReadWithControl(readControl);
    const auto fuses = static_cast<std::uint8_t>(link.LastRead);
    link.ReleaseTarget();
    return fuses;
}

void AvrWriteFuses(OpContext& c, std::uint8_t fuses) {
    Link& link = c.link;
    link.EnterAvrProgramming();
    link.LoadCommand(kWriteFuses);
    link.LoadControlAndData(0x24, fuses);
    link.PulseControlLow(1);
    link.ReleaseTarget();
}

}  // namespace trilo
