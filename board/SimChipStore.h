#pragma once

#include <memory>
#include <optional>
#include <string>

#include "link/PortLayer.h"

namespace trilo {

struct DeviceInfo;
class SimulatedBoard;

// The simulated chip kept in a file between runs ("SimChip", --sim-chip), around the
// simulated board: read when the board opens, a missing file being a new blank chip, and
// written whole (a temporary file renamed over it) when a claim of the board has ended and
// the chip in the socket changed. The file names its device. One that cannot be read or is
// no chip's makes the board unusable, and one of another device than the chip in the socket
// refuses the board while that chip is there; neither is ever replaced.
class SimChipStore final : public PortLayer {
public:
    SimChipStore(std::unique_ptr<SimulatedBoard> board, std::string path);
    ~SimChipStore() override;

    void out(std::uint16_t port, std::uint8_t value) override;
    std::uint8_t in(std::uint16_t port) override;
    PortStatus status(std::uint16_t base) const override;

    SimulatedBoard& board() { return *board_; }
    // Writes the chip in the socket when it is the file's and has changed since it was read
    // or written; a file that cannot be written raises TriloError, naming it.
    void keep();

private:
    std::optional<std::string> refusal() const;

    std::unique_ptr<SimulatedBoard> board_;
    std::string path_;
    // Why the file cannot be used; nothing is written then.
    std::string problem_;
    // The device the file holds, once it was read or first written.
    const DeviceInfo* device_ = nullptr;
    std::string written_;
};

}  // namespace trilo
