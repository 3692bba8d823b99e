#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "base/Clock.h"
#include "link/PortLayer.h"
#include "link/PpdevPort.h"
#include "link/TracePort.h"

namespace trilo {

class SimChipStore;
class SimulatedBoard;
class TraceFile;

// The optional keys "Board" and "Trace" of "SETUP_PRG", read at start-up, never written.
struct PortOptions {
    std::string board = "auto";      // "auto", "ppdev" or "sim"
    std::string trace;               // file that receives every port access and wait; empty: none
    std::uint16_t base = kLpt1Base;  // the port the settings name, to decide "auto"
    // "SimSocket": what the simulated socket holds, whatever device is selected: "auto" (the
    // selected device's chip), "empty", or a device's name.
    std::string simSocket = "auto";
    // "LPT1Node", "LPT2Node": the ppdev node that LPT1 or LPT2 stands for, when not the
    // default (a port beyond parport1, a card's); empty: the default.
    std::string lpt1Node;
    std::string lpt2Node;
    // "SimFault": a fault the simulated board shows (parseSimFault's names); "none" for none.
    std::string simFault = "none";
    // "SimChip": the file the simulated chip is kept in between runs; empty: none.
    std::string simChip;
};

// The nodes of LPT1 and LPT2: the options' where they name one, the defaults otherwise.
PpdevNodes nodesFor(const PortOptions& options, PpdevNodes defaults = {});

// The port layer chosen at start-up. When a trace is on, clock wraps the session's clock so
// that the waits land in the trace too; otherwise it is empty. board is the simulated board
// when that is the layer (under the trace, if any), so the session can seat the chosen chip.
struct PortSetup {
    std::unique_ptr<PortLayer> layer;
    std::unique_ptr<Clock> clock;
    SimulatedBoard* board = nullptr;
    // The file that keeps the simulated chip, when there is one (under the trace, if any).
    SimChipStore* chipStore = nullptr;
    // The trace when one is on, so the command line can tell what became of it.
    std::shared_ptr<TraceFile> trace;
};

// Opens the port layer the settings ask for; tests put a recording port in its place.
class PortOpener {
public:
    virtual ~PortOpener() = default;
    virtual PortSetup openPort(const PortOptions& options, Clock& clock) = 0;
};

// The real choice: ppdev, the simulated board or a refusal, with the trace around it.
class SystemPortOpener final : public PortOpener {
public:
    explicit SystemPortOpener(PpdevNodes nodes = {}) : nodes_(std::move(nodes)) {}
    PortSetup openPort(const PortOptions& options, Clock& clock) override;

private:
    PpdevNodes nodes_;
};

// Whether the simulated board knows the fault that "SimFault" names, and the names it knows.
bool knownSimFault(const std::string& name);
extern const char* const kSimFaultChoices;

enum class BoardKind { Ppdev, Sim };

// The layer that "Board" asks for: "auto" (or empty) takes the parallel port when the
// selected port's device node exists and the simulated board otherwise; "ppdev" and "sim"
// take that layer. Names match without regard to case. Nothing for any other name.
std::optional<BoardKind> chooseBoard(const std::string& board, bool nodeExists);

// Whether the node is there; a node that cannot even be looked at counts as present, so
// that ppdev names the reason.
bool nodeExists(const std::string& node);

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
// defaults are the nodes where the options name none.
PortSetup openPortLayer(const PortOptions& options, Clock& clock, const PpdevNodes& defaults = {});

}  // namespace trilo
