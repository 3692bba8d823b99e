#include "sim/SimChip.h"

#include <cstring>

#include "base/Hex.h"

namespace trilo {

std::string hexByte(unsigned value) {
    const std::uint8_t byte = static_cast<std::uint8_t>(value);
    return "0x" + hexBytes({&byte, 1});
}

SimChip::SimChip(const DeviceInfo& device, ProtocolFaults& faults)
    : flash(static_cast<std::size_t>(device.flashSize), 0xFF),
      eeprom(static_cast<std::size_t>(device.eepromSize), 0xFF),
      device_(device),
      faults_(faults) {}

bool SimChip::isAvr() const {
    return device_.isAvr();
}

std::uint16_t SimChip::flashWord(int word) const {
    const auto at = static_cast<std::size_t>(word) * 2;
    return static_cast<std::uint16_t>(flash.at(at) | (flash.at(at + 1) << 8));
}

void SimChip::setFlashWord(int word, std::uint16_t value) {
    const auto at = static_cast<std::size_t>(word) * 2;
    flash.at(at) = static_cast<std::uint8_t>(value & 0xFF);
    flash.at(at + 1) = static_cast<std::uint8_t>(value >> 8);
}

void SimChip::program(Memory memory, int address, std::uint8_t value) {
    if (!refused_.empty() && refused_.count({memory, address}) != 0) {
        return;
    }
    auto& cell = cells(memory).at(static_cast<std::size_t>(address));
    cell = static_cast<std::uint8_t>(cell & value);
}

void SimChip::replace(Memory memory, int address, std::uint8_t value) {
    if (!refused_.empty() && refused_.count({memory, address}) != 0) {
        return;
    }
    cells(memory).at(static_cast<std::size_t>(address)) = value;
}

void SimChip::fault(const std::string& what) {
    faults_.record(std::string(device_.name) + ": " + what);
}

bool SimChip::erasePulseCompleted(std::int64_t nowUs) {
    if (!erasing_) {
        return false;
    }
    erasing_ = false;
    constexpr std::int64_t kEraseUs = 10000;
    const std::int64_t lasted = nowUs - pulseStartUs_;
    if (lasted < kEraseUs) {
        fault("chip erase pulse of " + std::to_string(lasted) + " us; it needs 10 ms");
        return false;
    }
    return true;
}

}  // namespace trilo
