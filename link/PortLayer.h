#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace trilo {

// What the link knows of a port: where the board sits and whether it can be driven.
struct PortStatus {
    bool usable = true;
    // For the status line: "LPT1: /dev/parport0", "LPT1: Simulovaná deska, v patici 89C2051",
    // or the reason the port cannot be used and what to do about it.
    std::string text;
    // Nothing done here reaches a real chip; the window marks the line so it cannot be
    // taken for a real board's.
    bool simulated = false;
    // The kernel drivers (lp) registered on the port beside the program: it is claimed
    // without exclusive access, and held so that they cannot take it between two commands.
    std::vector<std::string> sharedWith = {};
};

// The layer under the port library: a real parallel port, the simulated board, a trace
// decorator, or a recording port in tests. Register values pass unchanged.
class PortLayer {
public:
    virtual ~PortLayer() = default;
    virtual void ignite() {}
    virtual void out(std::uint16_t port, std::uint8_t value) = 0;
    virtual std::uint8_t in(std::uint16_t port) = 0;
    // Hands on whatever the layer holds back (a trace's buffered lines). The link calls it
    // when it releases the target, at the end of every operation and of the start-up.
    virtual void flush() {}
    // The state of the port whose data register is at base.
    virtual PortStatus status(std::uint16_t base) const = 0;
    // What that port can do, in the kernel's mode bits (PortMode); nothing when the layer
    // cannot tell.
    virtual std::optional<unsigned> modes(std::uint16_t base) const {
        (void)base;
        return std::nullopt;
    }
};

// The kernel's parport mode bits (PARPORT_MODE_*), as PPGETMODES gives them.
namespace PortMode {
inline constexpr unsigned PcSpp = 1u << 0;
// The data lines can be turned round: the port reads what the board drives.
inline constexpr unsigned Tristate = 1u << 1;
inline constexpr unsigned Epp = 1u << 2;
inline constexpr unsigned Ecp = 1u << 3;
}  // namespace PortMode

// Data-register addresses of the two ports.
constexpr std::uint16_t kLpt1Base = 0x378;
constexpr std::uint16_t kLpt2Base = 0x278;

}  // namespace trilo
