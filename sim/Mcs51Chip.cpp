#include "sim/Mcs51Chip.h"

#include <algorithm>
#include <string>

namespace trilo {

namespace {

constexpr std::uint8_t kCounterClock = 0x01;
constexpr std::uint8_t kCounterHold = 0x40;
constexpr std::uint8_t kVppOff = 0x80;
constexpr std::uint8_t kModeLines = 0x36;
constexpr std::uint8_t kPowerUpFirst = 0x88;
constexpr std::uint8_t kPowerUpSecond = 0x80;
constexpr std::uint8_t kRelease = 0xC0;

enum Mode : std::uint8_t {
    kRead = 0x06,
    kWrite = 0x16,
    kErase = 0x20,
    kLockBit1 = 0x36,
    kLockBit2 = 0x30,  // without a pulse on the 89S parts: the lock-bit read
    kLockBit3 = 0x24,  // the lock byte on the 89S parts
    kFuseRead = 0x32,
    kFuseWrite = 0x12,
    kSignature = 0x00,  // all four mode lines low, no programming voltage
};

}  // namespace

Mcs51Chip::Mcs51Chip(const DeviceInfo& device, ProtocolFaults& faults)
    : SimChip(device, faults),
      twentyPin_(device.twentyPin()),
      serialParts_(device.hasSerialFuse()),
      powered_(!twentyPin_) {}

void Mcs51Chip::latched(std::uint8_t previous, std::uint8_t current, std::uint8_t) {
    const bool powerUp = previous == kPowerUpFirst && current == kPowerUpSecond;
    if (twentyPin_) {
        if (powerUp) {
            powered_ = true;
            counter_ = 0;
            return;
        }
        // 0x88 cuts the supply of the 20-pin socket until the 0x80 that follows it. The rest
        // byte 0xC0 keeps it: it only holds the counter, as 0xC6 does in the read entry.
        if (current == kPowerUpFirst) {
            powered_ = false;
        }
        if (current == kRelease) {
            cancelErasePulse();
        }
    } else if (powerUp) {
        fault("the 20-pin power-up 0x88, 0x80 sent to a 40-pin part");
    }
    if (!powered_) {
        return;
    }
    if ((current & kCounterHold) != 0) {
        counter_ = 0;
    } else if ((previous & kCounterClock) == 0 && (current & kCounterClock) != 0) {
        const int size = static_cast<int>(flash.size());
        counter_ = size == 0 ? 0 : (counter_ + 1) % size;
    }
}

void Mcs51Chip::pulseStarted(std::uint8_t control, std::uint8_t lines, std::int64_t nowUs) {
    if (!powered_) {
        fault("programming pulse to a 20-pin part without power (control " + hexByte(control) +
              ")");
        return;
    }
    if ((control & kVppOff) != 0) {
        fault("programming pulse without the programming voltage (control " + hexByte(control) +
              ")");
        return;
    }
    if (busy()) {
        fault("programming pulse while the last write is still busy");
        return;
    }
    switch (control & kModeLines) {
        case kWrite:
            if (lockBits[0] || flash.empty()) {
                return;
            }
            program(Memory::Flash, counter_, lines);
            polled_ = lines;
            startBusy();
            return;
        case kErase:
            startErasePulse(nowUs);
            return;
        case kLockBit1:
            lock(1, true);
            return;
        case kLockBit2:
            lock(2, true);
            return;
        case kLockBit3:
            if (serialParts_) {
                // The lock byte: bits 7, 6, 5 low program lock bits 1, 2, 3.
                lock(1, (lines & 0x80) == 0);
                lock(2, (lines & 0x40) == 0);
                lock(3, (lines & 0x20) == 0);
                return;
            }
            if (!twentyPin_) {
                lock(3, true);
                return;
            }
            break;
        case kFuseWrite:
            if (serialParts_) {
                serialProgramming = (lines & 0x01) != 0;
                return;
            }
            break;
        default:
            break;
    }
    fault("programming pulse in mode " + hexByte(control & kModeLines) + " (control " +
          hexByte(control) + ")");
}

void Mcs51Chip::pulseEnded(std::int64_t nowUs) {
    if (!erasePulseCompleted(nowUs)) {
        return;
    }
    std::fill(flash.begin(), flash.end(), std::uint8_t{0xFF});
    lockBits = {};
}

int Mcs51Chip::drive(std::uint8_t control) {
    if (!powered_) {
        fault("data lines read from a 20-pin part without power");
        return -1;
    }
    switch (control & kModeLines) {
        case kRead:
            if (busy()) {
                return polled_ ^ 0x80;
            }
            if (lockBits[0] && lockBits[1]) {
                return kLockedReadValue;
            }
            if (flash.empty()) {
                return -1;
            }
            return flash[static_cast<std::size_t>(counter_)];
        case kLockBit2:
            if (serialParts_) {
                return 0xF8 | (lockBits[0] ? 0 : 0x04) | (lockBits[1] ? 0 : 0x02) |
                       (lockBits[2] ? 0 : 0x01);
            }
            break;
        case kFuseRead:
            if (serialParts_) {
                return 0xFE | (serialProgramming ? 0x01 : 0);
            }
            break;
        case kSignature:
            if ((control & kVppOff) != 0) {
                return signatureAt(counter_);
            }
            break;
        default:
            break;
    }
    fault("data lines read in mode " + hexByte(control & kModeLines) + " (control " +
          hexByte(control) + ")");
    return -1;
}

int Mcs51Chip::signatureAt(int address) const {
    // The 20-pin parts keep theirs at 0 and 1, the 40-pin parts at 0x30 to 0x32; a locked chip
    // still shows it. Other addresses show no byte of their own.
    const int first = twentyPin_ ? 0 : 0x30;
    const int count = twentyPin_ ? 2 : 3;
    if (address >= first && address < first + count) {
        return device().signature.bytes[static_cast<std::size_t>(address - first)];
    }
    return 0xFF;
}

}  // namespace trilo
