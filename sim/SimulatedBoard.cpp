#include "sim/SimulatedBoard.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <string>

#include "base/Text.h"
#include "sim/AvrChip.h"
#include "sim/Mcs51Chip.h"

namespace trilo {

namespace {

constexpr std::uint8_t kLatchOpen = 0x01;
constexpr std::uint8_t kLatchData = 0x02;  // inverted serial data
constexpr std::uint8_t kShiftClock = 0x04;
constexpr std::uint8_t kPulseHigh = 0x08;  // the programming pulse is active low
constexpr std::uint8_t kReadLines = 0x20;
constexpr std::uint8_t kBusy = 0x08;
// The status bits the board does not drive read high.
constexpr std::uint8_t kStatusIdle = 0xF7;
// The control byte of the board at rest.
constexpr std::uint8_t kRest = 0xC0;

struct FaultName {
    SimFault::Kind kind;
    const char* name;
};
constexpr FaultName kFaultNames[] = {
    {SimFault::Kind::None, "none"},          {SimFault::Kind::Busy, "busy"},
    {SimFault::Kind::StuckLow, "stuck-low"}, {SimFault::Kind::StuckHigh, "stuck-high"},
    {SimFault::Kind::NoBoard, "no-board"},   {SimFault::Kind::Spp, "spp"},
};

bool takesLine(SimFault::Kind kind) {
    return kind == SimFault::Kind::StuckLow || kind == SimFault::Kind::StuckHigh;
}

}  // namespace

std::optional<SimFault> parseSimFault(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const std::size_t colon = lower.find(':');
    const std::string name = lower.substr(0, colon);
    for (const FaultName& entry : kFaultNames) {
        if (name != entry.name) {
            continue;
        }
        if (!takesLine(entry.kind)) {
            return colon == std::string::npos ? std::optional(SimFault{entry.kind}) : std::nullopt;
        }
        if (colon == std::string::npos || lower.size() != colon + 2 || lower[colon + 1] < '0' ||
            lower[colon + 1] > '7') {
            return std::nullopt;
        }
        return SimFault{entry.kind, lower[colon + 1] - '0'};
    }
    return std::nullopt;
}

std::string simFaultName(const SimFault& fault) {
    for (const FaultName& entry : kFaultNames) {
        if (entry.kind == fault.kind) {
            std::string name = entry.name;
            if (takesLine(fault.kind)) {
                name += ':';
                name += static_cast<char>('0' + (fault.line & 7));
            }
            return name;
        }
    }
    return "none";
}

SimulatedBoard::SimulatedBoard(Clock& clock) : clock_(clock) {}

SimulatedBoard::~SimulatedBoard() = default;

void SimulatedBoard::out(std::uint16_t port, std::uint8_t value) {
    // LPT2's registers sit 0x100 below LPT1's: one test serves both.
    const unsigned reg = static_cast<unsigned>(port | 0x100) - kLpt1Base;
    if (reg == 2) {
        control(value);
    } else if (reg == 0) {
        data_ = value;
    } else {
        strayWrite(port, value);
    }
}

std::uint8_t SimulatedBoard::in(std::uint16_t port) {
    std::uint8_t value = 0xFF;
    switch (port) {
        case kLpt1Base:
        case kLpt2Base:
            if ((control_ & kReadLines) == 0 || spp_) {
                // The port reads back the byte it drives, as a real port does. The board test
                // reads it so with the board at rest; an operation must turn the lines round.
                if ((control_ & kReadLines) == 0 && latch_ != kRest && !noBoard_) {
                    fault("data register read while the port drives the data lines");
                }
                value = data_;
            } else if (SimChip* chip = wired()) {
                const int driven = chip->drive(latch_);
                value = driven < 0 ? std::uint8_t{0xFF} : static_cast<std::uint8_t>(driven);
            }
            value = seen(value);
            break;
        case kLpt1Base + 1:
        case kLpt2Base + 1:
            value = noBoard_ ? std::uint8_t{0xFF} : kStatusIdle;
            if (busyHeld_ || (wired() != nullptr && wired()->busy())) {
                value |= kBusy;
            }
            break;
        default:
            strayRead(port);
            return 0xFF;
    }
    if (SimChip* chip = wired()) {
        chip->countRead();
    }
    return value;
}

void SimulatedBoard::control(std::uint8_t value) {
    const std::uint8_t changed = static_cast<std::uint8_t>(control_ ^ value);
    control_ = value;
    if (noBoard_) {
        return;
    }
    if ((changed & value & kShiftClock) != 0) {
        // The first bit shifted in ends up as bit 0 of the byte.
        const auto bit = static_cast<std::uint8_t>((~value & kLatchData) << 6);
        shift_ = static_cast<std::uint8_t>((shift_ >> 1) | bit);
        ++shifted_;
        if ((value & kLatchOpen) == 0) {
            fault("latch shift clock while no latch load is open");
        }
    }
    if ((changed & kLatchOpen) != 0) {
        if ((value & kLatchOpen) != 0) {
            shifted_ = 0;
        } else {
            if (shifted_ != 8) {
                shortLoad(shifted_);
            }
            take(shift_);
        }
    }
    if ((changed & kPulseHigh) != 0 && socket_ != nullptr) {
        if ((value & kPulseHigh) == 0) {
            socket_->pulseStarted(latch_, seen(data_), clock_.nowUs());
        } else {
            socket_->pulseEnded(clock_.nowUs());
        }
    }
}

void SimulatedBoard::take(std::uint8_t byte) {
    const std::uint8_t previous = latch_;
    latch_ = byte;
    // Only edges act: the same byte latched again changes no line.
    if (byte != previous && socket_ != nullptr) {
        socket_->latched(previous, byte, seen(data_));
    }
}

void SimulatedBoard::fault(const char* what) {
    faults_.record(what);
}

void SimulatedBoard::strayWrite(std::uint16_t port, std::uint8_t value) {
    faults_.record("write of " + hexByte(value) + " to port " + std::to_string(port) +
                   ", where the board has no register to write");
}

void SimulatedBoard::strayRead(std::uint16_t port) {
    faults_.record("read of port " + std::to_string(port) +
                   ", where the board has no register to read");
}

void SimulatedBoard::shortLoad(int bits) {
    faults_.record("latch load of " + std::to_string(bits) + " bits");
}

PortStatus SimulatedBoard::status(std::uint16_t base) const {
    std::string port;
    if (base == kLpt1Base) {
        port = "LPT1";
    } else if (base == kLpt2Base) {
        port = "LPT2";
    } else {
        return {false, _("Simulovaná deska odpovídá jen na adresách LPT1 a LPT2"), true};
    }
    // The socket holds the chip of the device chosen in the menu: the line says so rather
    // than reading like a chip that was detected.
    std::string text =
        socket_ == nullptr
            ? format(_("{}: Simulovaná deska, patice je prázdná"), port)
            : format(_("{0}: Simulovaná deska, v patici {1}"), port, socket_->device().name);
    if (injected_.kind != SimFault::Kind::None) {
        text = format(_("{0}, simulovaná porucha {1}"), text, simFaultName(injected_));
    }
    return {true, text, true};
}

std::optional<unsigned> SimulatedBoard::modes(std::uint16_t base) const {
    if (base != kLpt1Base && base != kLpt2Base) {
        return std::nullopt;
    }
    return spp_ ? PortMode::PcSpp : PortMode::PcSpp | PortMode::Tristate;
}

void SimulatedBoard::inject(const SimFault& fault) {
    injected_ = fault;
    busyHeld_ = fault.kind == SimFault::Kind::Busy;
    freeDataLines();
    if (takesLine(fault.kind)) {
        stickDataLine(fault.line, fault.kind == SimFault::Kind::StuckHigh);
    }
    noBoard_ = fault.kind == SimFault::Kind::NoBoard;
    spp_ = fault.kind == SimFault::Kind::Spp;
}

void SimulatedBoard::selectDevice(std::int32_t deviceId) {
    selected_ = findDevice(deviceId) == nullptr ? 0 : deviceId;
    if (!forced_) {
        socket_ = selected_ == 0 ? nullptr : &chip(selected_);
    }
}

SimChip& SimulatedBoard::chip(std::int32_t deviceId) {
    const DeviceInfo* device = findDevice(deviceId);
    if (device == nullptr) {
        throw std::out_of_range("no device " + std::to_string(deviceId));
    }
    auto& slot = chips_[deviceId];
    if (!slot) {
        if (device->isAvr()) {
            slot = std::make_unique<AvrChip>(*device, faults_);
        } else {
            slot = std::make_unique<Mcs51Chip>(*device, faults_);
        }
        slot->setBusyReads(busyReads_);
    }
    return *slot;
}

void SimulatedBoard::forceSocket(std::int32_t deviceId) {
    forced_ = deviceId;
    socket_ = deviceId == 0 ? nullptr : &chip(deviceId);
}

void SimulatedBoard::followSelection() {
    forced_.reset();
    selectDevice(selected_);
}

void SimulatedBoard::stickDataLine(int line, bool level) {
    const auto mask = static_cast<std::uint8_t>(1u << (line & 7));
    if (level) {
        stuckHigh_ = static_cast<std::uint8_t>(stuckHigh_ | mask);
        stuckLow_ = static_cast<std::uint8_t>(stuckLow_ & ~mask);
    } else {
        stuckLow_ = static_cast<std::uint8_t>(stuckLow_ | mask);
        stuckHigh_ = static_cast<std::uint8_t>(stuckHigh_ & ~mask);
    }
}

void SimulatedBoard::setBusyReads(int reads) {
    busyReads_ = reads;
    for (auto& [id, chip] : chips_) {
        chip->setBusyReads(reads);
    }
}

}  // namespace trilo
