#include "sim/AvrChip.h"

#include <algorithm>
#include <string>
#include <string_view>

namespace trilo {

namespace {

constexpr std::uint8_t kXtal1 = 0x01;
constexpr std::uint8_t kBs1 = 0x10;
constexpr std::uint8_t kOeHigh = 0x20;
constexpr std::uint8_t kSupplyOff = 0x40;
constexpr std::uint8_t kHighVoltageOff = 0x80;

bool isKnownCommand(std::uint8_t command) {
    switch (command) {
        case 0x00:  // no operation
        case 0x02:
        case 0x03:
        case 0x04:
        case 0x08:
        case 0x10:
        case 0x11:
        case 0x20:
        case 0x40:
        case 0x80:
            return true;
        default:
            return false;
    }
}

// The fuse byte a new chip holds (0 = programmed), as the parts are shipped: SPIEN programmed
// where the part has it, the clock fuses of the parts that have them as shipped (CKSEL 010 on
// 90S2333 and 90S4433, 0010 on ATtiny28), everything else unprogrammed.
std::uint8_t factoryFuses(const DeviceInfo& device) {
    constexpr struct {
        std::int32_t deviceId;
        std::uint8_t fuses;
    } kClockParts[] = {{11, 0xDA}, {13, 0xDA}, {17, 0xF2}};
    for (const auto& part : kClockParts) {
        if (part.deviceId == device.id) {
            return part.fuses;
        }
    }
    const bool spien = device.fuses[0] != nullptr && std::string_view(device.fuses[0]) == "SPIEN";
    return spien ? 0xDF : 0xFF;
}

}  // namespace

AvrChip::AvrChip(const DeviceInfo& device, ProtocolFaults& faults) : SimChip(device, faults) {
    fusesApart_ = device.fuseReadControl == 0x04;
    fuseMask_ = device.fuseMask();
    fuses = factoryFuses(device);
    signature_ = device.signature.bytes;
}

void AvrChip::latched(std::uint8_t previous, std::uint8_t current, std::uint8_t lines) {
    const bool poweredNow = (current & (kSupplyOff | kHighVoltageOff)) == 0;
    const bool poweredBefore = (previous & (kSupplyOff | kHighVoltageOff)) == 0;
    if (!poweredNow) {
        programming_ = false;
        cancelErasePulse();
    } else if (!poweredBefore) {
        // 12 V on RESET only after the supply is up selects parallel programming.
        if ((previous & (kSupplyOff | kHighVoltageOff)) == kHighVoltageOff) {
            programming_ = true;
            command_ = 0;
        } else {
            fault("12 V applied without the supply up first (control " + hexByte(previous) +
                  " to " + hexByte(current) + ")");
        }
    }
    if (!programming_ || (previous & kXtal1) != 0 || (current & kXtal1) == 0) {
        return;
    }
    const bool bs1 = (current & kBs1) != 0;
    const bool xa1 = (current & 0x02) != 0;
    const bool xa0 = (current & 0x04) != 0;
    if (xa1 && !xa0) {
        command_ = lines;
        if (!isKnownCommand(lines)) {
            fault("unknown command " + hexByte(lines) + " loaded");
        }
    } else if (!xa1 && !xa0) {
        (bs1 ? addressHigh_ : addressLow_) = lines;
    } else if (!xa1 && xa0) {
        (bs1 ? dataHigh_ : dataLow_) = lines;
    }
    // XA1:XA0 = 11 is the idle combination: the edge loads nothing.
}

void AvrChip::pulseStarted(std::uint8_t control, std::uint8_t, std::int64_t nowUs) {
    if (!programming_) {
        fault("programming pulse outside programming mode (control " + hexByte(control) + ")");
        return;
    }
    if (busy()) {
        fault("programming pulse while the last write is still busy");
        return;
    }
    const bool bs1 = (control & kBs1) != 0;
    switch (command_) {
        case 0x10: {
            if (lockBits[0]) {
                return;
            }
            const int words = static_cast<int>(flash.size() / 2);
            if (words == 0) {
                return;
            }
            const int at = (address() % words) * 2 + (bs1 ? 1 : 0);
            program(Memory::Flash, at, bs1 ? dataHigh_ : dataLow_);
            startBusy();
            return;
        }
        case 0x11:
            if (eeprom.empty()) {
                fault("EEPROM write to a part without EEPROM");
                return;
            }
            if (lockBits[0]) {
                return;
            }
            replace(Memory::Eeprom, address() % static_cast<int>(eeprom.size()), dataLow_);
            startBusy();
            return;
        case 0x20:
            lock(1, (dataLow_ & 0x02) == 0);
            lock(2, (dataLow_ & 0x04) == 0);
            startBusy();
            return;
        case 0x40:
            if (fuseMask_ == 0) {
                fault("fuse write to a part without fuses");
                return;
            }
            if (lockBits[0]) {
                return;
            }
            fuses = static_cast<std::uint8_t>((fuses & ~fuseMask_) | (dataLow_ & fuseMask_));
            return;
        case 0x80:
            startErasePulse(nowUs);
            return;
        default:
            fault("programming pulse with command " + hexByte(command_) + " loaded");
            return;
    }
}

void AvrChip::pulseEnded(std::int64_t nowUs) {
    if (!erasePulseCompleted(nowUs)) {
        return;
    }
    std::fill(flash.begin(), flash.end(), std::uint8_t{0xFF});
    std::fill(eeprom.begin(), eeprom.end(), std::uint8_t{0xFF});
    lockBits = {};
}

int AvrChip::drive(std::uint8_t control) {
    if (!programming_) {
        fault("data lines read outside programming mode (control " + hexByte(control) + ")");
        return -1;
    }
    if ((control & kOeHigh) != 0) {
        fault("data lines read with /OE high (control " + hexByte(control) + ")");
        return -1;
    }
    const bool bs1 = (control & kBs1) != 0;
    switch (command_) {
        case 0x02: {
            if (readProtected()) {
                return kLockedReadValue;
            }
            const int words = static_cast<int>(flash.size() / 2);
            if (words == 0) {
                return -1;
            }
            return flash[static_cast<std::size_t>((address() % words) * 2 + (bs1 ? 1 : 0))];
        }
        case 0x03:
            if (eeprom.empty()) {
                fault("EEPROM read from a part without EEPROM");
                return -1;
            }
            if (readProtected()) {
                return kLockedReadValue;
            }
            return eeprom[static_cast<std::size_t>(address() % static_cast<int>(eeprom.size()))];
        case 0x04:
            return fuseAndLockReading(bs1);
        case 0x08:
            if (addressLow_ < signature_.size()) {
                return signature_[addressLow_];
            }
            fault("signature read at address " + hexByte(addressLow_));
            return -1;
        default:
            fault("data lines read with command " + hexByte(command_) + " loaded");
            return -1;
    }
}

int AvrChip::fuseAndLockReading(bool bs1) {
    const int unusedHigh = static_cast<std::uint8_t>(~fuseMask_);
    if (fusesApart_) {
        if (!bs1) {
            return (fuses | unusedHigh) & 0xFF;
        }
        return 0xFF & ~(lockBits[0] ? 0x02 : 0) & ~(lockBits[1] ? 0x04 : 0);
    }
    if (!bs1) {
        fault("fuse and lock bits read with BS1 low; this part shows them with BS1 high");
        return -1;
    }
    return (fuses | unusedHigh) & 0xFF & ~(lockBits[0] ? 0x80 : 0) & ~(lockBits[1] ? 0x40 : 0);
}

}  // namespace trilo
