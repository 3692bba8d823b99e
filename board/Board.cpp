#include "board/Board.h"

#include "board/SimChipStore.h"
#include "sim/SimulatedBoard.h"

namespace trilo {

void Board::configure(const BoardSettings& settings) {
    if (settings.PortBase != 0) {
        link_.PortBase = settings.PortBase;
    }
    link_.PollLimit = settings.PollLimit;
}

void Board::open(PortOptions options) {
    options.base = link_.base();
    port_ = ports_.openPort(options, clock_);
    link_.useClock(port_.clock ? *port_.clock : clock_);
    portinc_.attach(port_.layer.get());
}

void Board::rest() {
    link_.ReleaseTarget();
    link_.SetDataLines(0x00);
    // The release flushed the trace before this last write.
    portinc_.Flush();
}

void Board::seat(std::int32_t deviceId) {
    if (port_.board != nullptr) {
        port_.board->selectDevice(deviceId);
    }
}

void Board::keepChip() {
    if (port_.chipStore != nullptr) {
        port_.chipStore->keep();
    }
}

}  // namespace trilo
