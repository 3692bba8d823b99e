#include "sim/SimulatedBoard.h"

#include <string>

namespace trilo {

namespace {

// An empty socket: every read gives 0xFF and the busy line reads ready.
class EmptySocket final : public PortLayer {
public:
    void out(std::uint16_t, std::uint8_t) override {}
    std::uint8_t in(std::uint16_t port) override {
        return (port & 3) == 1 ? std::uint8_t{0xF7} : std::uint8_t{0xFF};
    }
    PortStatus status(std::uint16_t base) const override {
        return {true, std::string(base == kLpt2Base ? "LPT2" : "LPT1") + ": simulated board"};
    }
};

}  // namespace

std::unique_ptr<PortLayer> makeSimulatedBoard(Clock&) {
    return std::make_unique<EmptySocket>();
}

}  // namespace trilo
