#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/Clock.h"
#include "board/BoardSettings.h"
#include "board/PortChoice.h"
#include "files/ByteFile.h"
#include "link/Link.h"
#include "link/PORTINC.h"
#include "link/TracePort.h"
#include "ops/Operation.h"

namespace trilo {

// The one place that composes a board: the port layer the settings choose, the port library
// and the link over it, the board at rest, and the context an operation gets. The window's
// session and the command line both drive the programmer through it.
class Board {
public:
    Board(Clock& clock, PortOpener& ports) : link_(portinc_, clock), clock_(clock), ports_(ports) {}
    Board(const Board&) = delete;
    Board& operator=(const Board&) = delete;

    // The port library starts before the settings are known.
    void ignite() { portinc_.Ignite(); }
    // The port and the poll limit the settings give; a port name the program does not know
    // leaves the port as it was.
    void configure(const BoardSettings& settings);
    // Opens the port layer the options ask for, on the link's port.
    void open(PortOptions options);
    // The board at rest, as at start-up: the target released and the data lines cleared,
    // and whatever the trace holds on disk.
    void rest();
    // The simulated board puts that device's chip in its socket; a real board has no say.
    void seat(std::int32_t deviceId);
    bool simulated() const { return port_.board != nullptr; }
    // Writes the simulated chip to its file when it has one and has changed, once a claim of
    // the board has ended; TriloError when the file cannot be written.
    void keepChip();
    // The trace when one is on, so that what became of it can be told after the board is gone.
    std::shared_ptr<TraceFile> trace() const { return port_.trace; }
    PortStatus status() const { return link_.portStatus(); }

    OpContext context(ByteFile& file, const std::string& buffer, OperationSink& sink,
                      const DeviceInfo* expected) {
        OpContext c{link_, file, buffer, sink};
        c.expected = expected;
        return c;
    }

    Link& link() { return link_; }
    const Link& link() const { return link_; }
    Portinc& portinc() { return portinc_; }

private:
    Portinc portinc_;
    Link link_;
    Clock& clock_;
    PortOpener& ports_;
    PortSetup port_;
};

}  // namespace trilo
