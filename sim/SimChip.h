#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "devices/Catalog.h"

namespace trilo {

class SimulatedBoard;

enum class Memory { Flash, Eeprom };

// What a read-protected chip shows instead of its contents. Not 0xFF, so that a locked chip
// never passes for a blank one.
constexpr std::uint8_t kLockedReadValue = 0x00;

// Sequences the wiring gives no meaning to. The chip stays unchanged, as silicon would, and
// tests assert that a correct operation leaves this empty.
class ProtocolFaults {
public:
    void record(std::string what) {
        ++count_;
        // A broken loop can repeat its fault a million times; the first ones tell the story.
        if (kept_.size() < kKept) {
            kept_.push_back(std::move(what));
        }
    }
    const std::vector<std::string>& list() const { return kept_; }
    std::size_t count() const { return count_; }
    bool empty() const { return count_ == 0; }
    void clear() {
        kept_.clear();
        count_ = 0;
    }

private:
    static constexpr std::size_t kKept = 64;
    std::vector<std::string> kept_;
    std::size_t count_ = 0;
};

// "0x5A", for fault texts.
std::string hexByte(unsigned value);

// A chip in the board's socket. Its contents are public so that tests can preload and
// inspect them; the board alone drives its pins.
class SimChip {
public:
    SimChip(const DeviceInfo& device, ProtocolFaults& faults);
    virtual ~SimChip() = default;
    SimChip(const SimChip&) = delete;
    SimChip& operator=(const SimChip&) = delete;

    const DeviceInfo& device() const { return device_; }
    bool isAvr() const;

    // FlashSize bytes. An AVR word w is flash[2w] (low byte) and flash[2w + 1] (high byte).
    std::vector<std::uint8_t> flash;
    std::vector<std::uint8_t> eeprom;
    // lockBits[n - 1] is lock bit n; true = programmed.
    std::array<bool, 3> lockBits{};
    // AVR fuse bits at the positions the device reads and writes them; 0 = programmed.
    std::uint8_t fuses = 0xFF;
    // The 89S parts' serial-programming fuse; true = ON.
    bool serialProgramming = true;

    std::uint16_t flashWord(int word) const;
    void setFlashWord(int word, std::uint16_t value);

    // Fault: programming this byte (AVR flash: byte address 2w or 2w + 1) leaves it unchanged.
    void refuseToProgram(Memory memory, int address) { refused_.insert({memory, address}); }
    // Fault: the lock bits take no programming pulse.
    void refuseLockBits() { locksRefused_ = true; }
    // How many port reads a write keeps the chip busy for.
    void setBusyReads(int reads) { busyReads_ = reads < 0 ? 0 : reads; }
    bool busy() const { return busyLeft_ > 0; }

protected:
    // Flash and EEPROM cells only lose bits: the result is the AND of old and new.
    void program(Memory memory, int address, std::uint8_t value);
    // A cell written as a whole, erased first (the AVR EEPROM's self-timed byte write).
    void replace(Memory memory, int address, std::uint8_t value);
    // Programs lock bit n (1 to 3) when program is set; lock bits are only ever programmed,
    // and only a chip erase clears them.
    void lock(int n, bool program) {
        if (program && !locksRefused_) {
            lockBits[static_cast<std::size_t>(n - 1)] = true;
        }
    }
    void startBusy() { busyLeft_ = busyReads_; }
    void fault(const std::string& what);
    // The chip erase acts when its pulse ends, and only after a pulse of 10 ms or more.
    void startErasePulse(std::int64_t nowUs) {
        erasing_ = true;
        pulseStartUs_ = nowUs;
    }
    void cancelErasePulse() { erasing_ = false; }
    // At the end of a pulse: true when it was an erase pulse that lasted long enough.
    bool erasePulseCompleted(std::int64_t nowUs);

private:
    friend class SimulatedBoard;

    // The control byte changed from previous to current; lines is what the data lines show.
    virtual void latched(std::uint8_t previous, std::uint8_t current, std::uint8_t lines) = 0;
    // The programming pulse line went active (low) and inactive again.
    virtual void pulseStarted(std::uint8_t control, std::uint8_t lines, std::int64_t nowUs) = 0;
    virtual void pulseEnded(std::int64_t nowUs) = 0;
    // The byte the chip drives on the data lines, or -1 when it drives none.
    virtual int drive(std::uint8_t control) = 0;
    // Every port read takes time; a busy chip counts them down.
    void countRead() {
        if (busyLeft_ > 0) {
            --busyLeft_;
        }
    }

    std::vector<std::uint8_t>& cells(Memory memory) {
        return memory == Memory::Flash ? flash : eeprom;
    }

    const DeviceInfo& device_;
    ProtocolFaults& faults_;
    std::set<std::pair<Memory, int>> refused_;
    bool locksRefused_ = false;
    int busyReads_ = 3;
    int busyLeft_ = 0;
    bool erasing_ = false;
    std::int64_t pulseStartUs_ = 0;
};

}  // namespace trilo
