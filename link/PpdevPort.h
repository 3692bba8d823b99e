#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/PortLayer.h"

namespace trilo {

// ---- Control register to ioctls -------------------------------------------------------
// The kernel wants the data direction (control bit 5) through PPDATADIR and the lines
// (bits 0 to 3) through PPWCONTROL. The order matters: the port must never drive the data
// lines while the board drives them.
struct ControlStep {
    enum class Kind { Lines, Direction };
    Kind kind;
    int value;  // Lines: bits 0 to 3; Direction: 1 = read (reverse), 0 = write (forward)

    bool operator==(const ControlStep&) const = default;
};

struct ControlPlan {
    std::array<ControlStep, 2> steps{};
    std::size_t count = 0;

    const ControlStep* begin() const { return steps.data(); }
    const ControlStep* end() const { return steps.data() + count; }
};

// The steps that take the control register from previous (nothing when the direction is not
// known yet, as after the claim) to next. Bits 4, 6 and 7 are never driven.
ControlPlan planControlWrite(std::optional<std::uint8_t> previous, std::uint8_t next);

// ---- Why a port cannot be used ---------------------------------------------------------
enum class PpdevStep { Open, Modes, Exclusive, Claim, Access };

// The status-line text for a failed step, with what the user can do about it. portName is
// "LPT1" or "LPT2", node its device node, error the errno value.
std::string ppdevProblem(PpdevStep step, int error, const std::string& portName,
                         const std::string& node);
// The text for a port whose modes (PPGETMODES) do not let the program read the data
// lines; nothing when the port will do.
std::optional<std::string> ppdevModesProblem(unsigned modes, const std::string& portName,
                                             const std::string& node);

// ---- The system calls, behind an interface so that tests can stand in -------------------
class PpdevSystem {
public:
    virtual ~PpdevSystem() = default;
    // Each returns 0 or the errno value.
    virtual int open(const std::string& path, int flags, int& fd) = 0;
    virtual int ioctl(int fd, unsigned long request, void* arg) = 0;
    virtual void close(int fd) = 0;
    // PPCLAIM, given up after timeoutMs with ETIMEDOUT: a claim that does not register
    // exclusively waits while another device holds the port.
    virtual int claimWithin(int fd, int timeoutMs);
};

std::unique_ptr<PpdevSystem> makeSystemPpdev();

struct PpdevNodes {
    std::string lpt1 = "/dev/parport0";
    std::string lpt2 = "/dev/parport1";
};

// LPT1 and LPT2 through the kernel's ppdev interface, with no library in between. A port is
// opened and checked when it is first asked about, and claimed exclusively before it is
// first driven; when only an idle kernel driver (lp) keeps the exclusive claim from being
// granted, it is claimed beside it. The claim is held to the end, so that no other driver
// takes the port between two commands; at the end it is left at rest and released. A port
// that failed stays unusable, with the reason in its status. root is where the kernel's
// procfs and sysfs trees are read, which tests replace.
class PpdevPort final : public PortLayer {
public:
    explicit PpdevPort(PpdevNodes nodes = {},
                       std::unique_ptr<PpdevSystem> system = makeSystemPpdev(),
                       std::string root = "/");
    ~PpdevPort() override;
    PpdevPort(const PpdevPort&) = delete;
    PpdevPort& operator=(const PpdevPort&) = delete;

    void out(std::uint16_t port, std::uint8_t value) override;
    std::uint8_t in(std::uint16_t port) override;
    // Checking a port claims it, so that an operation the status lets through can drive it.
    PortStatus status(std::uint16_t base) const override;
    // Known once the port has been opened, also when its modes made it unusable.
    std::optional<unsigned> modes(std::uint16_t base) const override;

private:
    struct Port {
        std::string name;
        std::string node;
        std::uint16_t base = 0;
        enum class State { Closed, Claimed, Failed } state = State::Closed;
        int fd = -1;
        std::string problem;
        std::optional<unsigned> modes;
        // The control register is never read back: this is what was last written.
        std::optional<std::uint8_t> control;
        // The drivers the port is shared with; empty when claimed exclusively.
        std::vector<std::string> sharedWith;
    };

    Port* portAt(std::uint16_t address) const;
    bool claim(Port& port) const;
    bool claimShared(Port& port) const;
    void fail(Port& port, const std::string& problem) const;
    bool writeControl(Port& port, std::uint8_t value) const;

    std::unique_ptr<PpdevSystem> system_;
    std::string root_;
    mutable std::array<Port, 2> ports_;
};

}  // namespace trilo
