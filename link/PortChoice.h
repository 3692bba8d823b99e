#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/Clock.h"
#include "core/Platform.h"
#include "link/PpdevPort.h"

namespace trilo {

enum class BoardKind { Ppdev, Sim };

// The layer that "Board" asks for: "auto" (or empty) takes the parallel port when the
// selected port's device node exists and the simulated board otherwise; "ppdev" and "sim"
// take that layer. Names match without regard to case. Nothing for any other name.
std::optional<BoardKind> chooseBoard(const std::string& board, bool nodeExists);

// The device node of the port at base (LPT2 at 0x278, LPT1 otherwise).
const std::string& nodeFor(const PpdevNodes& nodes, std::uint16_t base);

// A port that cannot be driven, for a "Board" value the program does not know: it says why
// and what to write instead, and ignores every access.
class UnusablePort final : public PortLayer {
public:
    explicit UnusablePort(std::string reason) : reason_(std::move(reason)) {}
    void out(std::uint16_t, std::uint8_t) override {}
    std::uint8_t in(std::uint16_t) override { return 0xFF; }
    PortStatus status(std::uint16_t) const override { return {false, reason_}; }

private:
    std::string reason_;
};

// The port layer for the options read from the settings, with the trace around it when
// "Trace" names a file. clock is the one the link waits on; the simulated board reads it.
PortSetup openPortLayer(const PortOptions& options, Clock& clock, const PpdevNodes& nodes = {});

}  // namespace trilo
