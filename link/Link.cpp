#include "link/Link.h"

#include "base/Text.h"
#include "link/PortLayer.h"

namespace trilo {

std::uint16_t Link::base() const {
    return PortBase == 0 ? kLpt1Base : static_cast<std::uint16_t>(PortBase);
}

PortStatus Link::portStatus() const {
    if (port_.layer() == nullptr) {
        return {false, _("Port není otevřen")};
    }
    return port_.layer()->status(base());
}

std::optional<unsigned> Link::portModes() const {
    if (port_.layer() == nullptr) {
        return std::nullopt;
    }
    return port_.layer()->modes(base());
}

void Link::WriteControlLatch(std::uint8_t b) {
    const std::uint16_t control = base() + 2;
    port_.Out(control, 0x0B);
    for (int bit = 0; bit < 8; ++bit) {
        // The latch's serial input is inverted: a 1 bit is presented as line 1 low.
        const std::uint8_t c = ((b >> bit) & 1) != 0 ? 0x09 : 0x0B;
        port_.Out(control, c);
        port_.Out(control, c + 4);
        port_.Out(control, c);
    }
    port_.Out(control, 0x0A);
    ControlShadow = 0x0A;
    LastControlByte = b;
}

void Link::SetDataLines(std::uint8_t v) {
    port_.Out(base(), v);
}

void Link::ReadDataLines() {
    const std::uint16_t data = base();
    port_.Out(data + 2, ControlShadow + 0x20);
    LastRead = port_.Inp(data);
    port_.Out(data + 2, ControlShadow);
}

void Link::ReadWithControl(std::uint8_t b) {
    SetDataLines(0xFF);
    WriteControlLatch(b);
    ReadDataLines();
}

void Link::PulseControlLow(std::int32_t ms) {
    const std::uint16_t control = base() + 2;
    port_.Out(control, ControlShadow - 8);
    clock_->sleep(ms);
    port_.Out(control, ControlShadow);
}

void Link::WriteStrobeWait() {
    const std::uint16_t data = base();
    port_.Out(data + 2, ControlShadow - 8);
    const std::int32_t limit = pollBound();
    for (std::int32_t count = 0; count < limit; ++count) {
        if ((port_.Inp(data + 1) & 0x08) == 0) {
            break;
        }
    }
    port_.Out(data + 2, ControlShadow);
}

void Link::PollDataLines(std::uint8_t expected) {
    const std::uint16_t data = base();
    port_.Out(data + 2, ControlShadow + 0x20);
    const std::int32_t limit = pollBound();
    std::int32_t count = 0;
    do {
        LastRead = port_.Inp(data);
        ++count;
    } while (count != limit && LastRead != expected);
    port_.Out(data + 2, ControlShadow);
}

void Link::StepClock(std::int32_t n) {
    const std::uint8_t l = LastControlByte;
    for (std::int32_t i = 0; i < n; ++i) {
        WriteControlLatch(static_cast<std::uint8_t>(l + 1));
        WriteControlLatch(l);
    }
}

void Link::LoadCommand(std::uint8_t cmd) {
    WriteControlLatch(0x22);
    SetDataLines(cmd);
    StepClock(1);
}

void Link::LoadControlAndData(std::uint8_t ctl, std::uint8_t data) {
    WriteControlLatch(ctl);
    SetDataLines(data);
    StepClock(1);
}

void Link::EnterAvrProgramming() {
    WriteControlLatch(0xA0);
    clock_->sleep(1);
    WriteControlLatch(0x20);
}

void Link::PrepareX051() {
    WriteControlLatch(0x88);
    WriteControlLatch(0x80);
}

void Link::ReleaseTarget() {
    WriteControlLatch(0xC0);
    SetDataLines(0x00);
    port_.Flush();
}

}  // namespace trilo
