#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/Clock.h"
#include "base/Text.h"
#include "link/PortLayer.h"
#include "sim/SimChip.h"

namespace trilo {

// A fault of the board or its port that the board test must find, as the key SimFault of
// programmer.ini and trilo-cli's --sim-fault name it.
struct SimFault {
    enum class Kind {
        None,
        Busy,       // the busy line held
        StuckLow,   // data line `line` held at 0
        StuckHigh,  // data line `line` held at 1
        NoBoard,    // nothing on the port: the status lines high, the data lines float to 1
        Spp,        // a port that cannot turn its data lines round
    };
    Kind kind = Kind::None;
    int line = 0;
    bool operator==(const SimFault&) const = default;
};

// "none", "busy", "stuck-low:N", "stuck-high:N" (N 0 to 7), "no-board" or "spp", in any case;
// nothing for any other text.
std::optional<SimFault> parseSimFault(std::string_view text);
// The names parseSimFault takes, for the messages that refuse another; marked for the
// catalogue, so shown through _().
inline constexpr const char* kSimFaultNames =
    N_("none, busy, stuck-low:N, stuck-high:N (N datový vodič 0 až 7), no-board nebo spp");
// The fault's name as parseSimFault takes it.
std::string simFaultName(const SimFault& fault);

// The programmer board with one socket, answering at the LPT1 and LPT2 addresses. It decodes
// the register writes as the board's wiring does and hands the control byte, the programming
// pulse and the data lines to the chip in the socket.
class SimulatedBoard final : public PortLayer {
public:
    explicit SimulatedBoard(Clock& clock);
    ~SimulatedBoard() override;

    void out(std::uint16_t port, std::uint8_t value) override;
    std::uint8_t in(std::uint16_t port) override;
    PortStatus status(std::uint16_t base) const override;
    // A PS/2 port, or under the fault spp one that cannot read its data lines.
    std::optional<unsigned> modes(std::uint16_t base) const override;
    // Puts that device's own chip in the socket; 0 empties it.
    void selectDevice(std::int32_t deviceId);

    // For tests. Each device has one chip for the whole run, made on first use.
    SimChip& chip(std::int32_t deviceId);
    // The chip in the socket, or nullptr when it is empty.
    SimChip* socket() const { return socket_; }
    // The latched control byte.
    std::uint8_t controlByte() const { return latch_; }

    // Faults. Forcing the socket (0 = empty, or a chip of another family than the one
    // selected) holds until followSelection(), whatever the program selects meanwhile.
    void forceSocket(std::int32_t deviceId);
    void followSelection();
    void holdBusy(bool on) { busyHeld_ = on; }
    void stickDataLine(int line, bool level);
    void freeDataLines() {
        stuckLow_ = 0;
        stuckHigh_ = 0;
    }
    // One fault of the list above in place of the faults set before; None clears them.
    void inject(const SimFault& fault);
    // How many port reads each write keeps a chip busy for, on every chip made or to come.
    void setBusyReads(int reads);

    const ProtocolFaults& protocolFaults() const { return faults_; }
    void clearProtocolFaults() { faults_.clear(); }

private:
    void control(std::uint8_t value);
    void take(std::uint8_t byte);
    // Out of line and cold: building a fault's text must not weigh on every access.
    [[gnu::cold, gnu::noinline]] void fault(const char* what);
    [[gnu::cold, gnu::noinline]] void strayWrite(std::uint16_t port, std::uint8_t value);
    [[gnu::cold, gnu::noinline]] void strayRead(std::uint16_t port);
    [[gnu::cold, gnu::noinline]] void shortLoad(int bits);
    // The chip the board reaches: none without a board.
    SimChip* wired() const { return noBoard_ ? nullptr : socket_; }
    std::uint8_t seen(std::uint8_t value) const {
        return static_cast<std::uint8_t>((value & ~stuckLow_) | stuckHigh_);
    }

    Clock& clock_;
    ProtocolFaults faults_;
    std::map<std::int32_t, std::unique_ptr<SimChip>> chips_;
    SimChip* socket_ = nullptr;
    std::int32_t selected_ = 0;
    std::optional<std::int32_t> forced_;

    // The port's registers as the board last saw them; the board starts at rest.
    std::uint8_t data_ = 0x00;
    std::uint8_t control_ = 0x0A;
    // The serial latch: bits shifted so far and how many since bit 0 rose.
    std::uint8_t shift_ = 0;
    int shifted_ = 0;
    std::uint8_t latch_ = 0xC0;

    bool busyHeld_ = false;
    std::uint8_t stuckLow_ = 0;
    std::uint8_t stuckHigh_ = 0;
    bool noBoard_ = false;
    bool spp_ = false;
    SimFault injected_;
    int busyReads_ = 3;
};

}  // namespace trilo
