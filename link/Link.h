#pragma once

#include <cstdint>
#include <optional>

#include "base/Clock.h"
#include "link/PORTINC.h"
#include "link/PortLayer.h"

namespace trilo {

// The link state and the primitives from which every device operation is built. Each
// primitive is an exact sequence of register accesses; nothing here reports an error.
class Link {
public:
    Link(Portinc& port, Clock& clock) : port_(port), clock_(&clock) {}
    // The clock of the waits; a trace wraps it to record them.
    void useClock(Clock& clock) { clock_ = &clock; }

    // Link state, named as the board's documentation names it.
    std::int32_t PortBase = 0;
    std::uint8_t ControlShadow = 0;
    std::uint8_t LastControlByte = 0;
    std::int32_t LastRead = 0;
    std::int32_t PollLimit = 0;

    // The data-register address actually driven: a PortBase of 0 (an unknown port name in
    // the settings) falls back to LPT1, so address 0 is never touched.
    std::uint16_t base() const;
    // Whether the board on that port can be driven, and if not why.
    PortStatus portStatus() const;
    // What the port can do (PortMode bits), when its layer can tell.
    std::optional<unsigned> portModes() const;

    void WriteControlLatch(std::uint8_t b);
    void SetDataLines(std::uint8_t v);
    void ReadDataLines();
    void ReadWithControl(std::uint8_t b);
    void PulseControlLow(std::int32_t ms);
    void WriteStrobeWait();
    void PollDataLines(std::uint8_t expected);
    void StepClock(std::int32_t n);
    void LoadCommand(std::uint8_t cmd);
    void LoadControlAndData(std::uint8_t ctl, std::uint8_t data);
    void EnterAvrProgramming();
    void PrepareX051();
    void ReleaseTarget();

    // The control register on its own, as the flash write's extra leading strobe write needs.
    void WriteControl(std::uint8_t value) { port_.Out(base() + 2, value); }
    void wait(std::int32_t ms) { clock_->sleep(ms); }
    // The board test's own reads: the data register while the port drives the lines (what
    // the port puts on them, as the lines carry it), and the status register.
    std::uint8_t ReadDataRegister() {
        return static_cast<std::uint8_t>(LastRead = port_.Inp(base()));
    }
    std::uint8_t ReadStatus() { return static_cast<std::uint8_t>(port_.Inp(base() + 1)); }

private:
    // A PollLimit below 1 would leave the polls unbounded; each poll then reads once.
    std::int32_t pollBound() const { return PollLimit < 1 ? 1 : PollLimit; }

    Portinc& port_;
    Clock* clock_;
};

}  // namespace trilo
