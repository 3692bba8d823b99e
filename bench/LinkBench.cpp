#include <benchmark/benchmark.h>

#include "base/Clock.h"
#include "link/Link.h"

namespace trilo {
namespace {

// A port that does nothing, so what is measured is the link's own cost per access.
class NullPort final : public PortLayer {
public:
    void out(std::uint16_t, std::uint8_t value) override { sink_ += value; }
    std::uint8_t in(std::uint16_t) override { return 0x00; }
    PortStatus status(std::uint16_t) const override { return {true, "null"}; }

private:
    unsigned sink_ = 0;
};

struct Rig {
    NullPort port;
    Portinc portinc;
    RecordingClock clock;
    Link link{portinc, clock};
    Rig() {
        portinc.attach(&port);
        link.PortBase = kLpt1Base;
        link.PollLimit = 800;
        link.ReleaseTarget();
    }
};

void perAccess(benchmark::State& state, std::int64_t accesses) {
    state.counters["accesses"] = static_cast<double>(accesses);
    // Seconds per access, shown with an SI prefix: "1.5n" is 1.5 ns.
    state.counters["per_access"] = benchmark::Counter(
        static_cast<double>(accesses),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void LatchLoad(benchmark::State& state) {
    Rig rig;
    std::uint8_t b = 0;
    for (auto _ : state) {
        rig.link.WriteControlLatch(b++);
    }
    benchmark::DoNotOptimize(rig.link.LastControlByte);
    perAccess(state, 26);
}
BENCHMARK(LatchLoad);

// One flash word of an AVR read: high and low address loads, both bytes, the closing latch.
void AvrWordRead(benchmark::State& state) {
    Rig rig;
    std::uint16_t address = 0;
    std::int32_t sum = 0;
    for (auto _ : state) {
        rig.link.LoadControlAndData(0x30, static_cast<std::uint8_t>(address >> 8));
        rig.link.LoadControlAndData(0x20, static_cast<std::uint8_t>(address));
        rig.link.ReadWithControl(0x14);
        sum += rig.link.LastRead;
        rig.link.ReadWithControl(0x04);
        sum += rig.link.LastRead;
        rig.link.WriteControlLatch(0x34);
        ++address;
    }
    benchmark::DoNotOptimize(sum);
    perAccess(state, 79 + 79 + 30 + 30 + 26);
}
BENCHMARK(AvrWordRead);

}  // namespace
}  // namespace trilo
