#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/Clock.h"
#include "link/PortLayer.h"

namespace trilo {

// The optional keys "Board" and "Trace" of "SETUP_PRG", read at start-up, never written.
struct PortOptions {
    std::string board = "auto";      // "auto", "ppdev" or "sim"
    std::string trace;               // file that receives every port access and wait; empty: none
    std::uint16_t base = kLpt1Base;  // the port the settings name, to decide "auto"
};

// The port layer chosen at start-up. When a trace is on, clock wraps the session's clock so
// that the waits land in the trace too; otherwise it is empty.
struct PortSetup {
    std::unique_ptr<PortLayer> layer;
    std::unique_ptr<Clock> clock;
};

// What the session needs of the machine, behind one interface so tests can stand in.
class Platform {
public:
    virtual ~Platform() = default;
    virtual std::string currentDirectory() = 0;
    virtual std::optional<std::string> environment(const std::string& name) = 0;
    virtual unsigned userId() = 0;
    virtual PortSetup openPort(const PortOptions& options, Clock& clock) = 0;
};

// The real machine: the process's directory and environment, ppdev or the simulated board.
class SystemPlatform : public Platform {
public:
    std::string currentDirectory() override;
    std::optional<std::string> environment(const std::string& name) override;
    unsigned userId() override;
    PortSetup openPort(const PortOptions& options, Clock& clock) override;
};

}  // namespace trilo
