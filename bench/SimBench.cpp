// Whole flash reads through the link over the simulated board, with a clock that takes no
// time. A real parallel port costs about 1 us per access; the board must stay under 1% of it.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "base/Clock.h"
#include "link/Link.h"
#include "link/PORTINC.h"
#include "sim/SimulatedBoard.h"

namespace {

using trilo::Link;

// Counts accesses, so the figures can be given per port access.
class CountingPort final : public trilo::PortLayer {
public:
    explicit CountingPort(trilo::PortLayer& inner) : inner_(inner) {}
    void out(std::uint16_t port, std::uint8_t value) override {
        ++accesses;
        inner_.out(port, value);
    }
    std::uint8_t in(std::uint16_t port) override {
        ++accesses;
        return inner_.in(port);
    }
    trilo::PortStatus status(std::uint16_t base) const override { return inner_.status(base); }
    std::int64_t accesses = 0;

private:
    trilo::PortLayer& inner_;
};

// The AVR flash read: programming mode, command 0x02, then per word the address high and
// low byte, the low and the high byte read, and latch 0x34.
std::uint32_t avrReadFlash(Link& link, int words) {
    std::uint32_t sum = 0;
    link.EnterAvrProgramming();
    link.LoadCommand(0x02);
    for (int w = 0; w < words; ++w) {
        link.LoadControlAndData(0x30, static_cast<std::uint8_t>(w / 256));
        link.LoadControlAndData(0x20, static_cast<std::uint8_t>(w % 256));
        link.ReadWithControl(0x04);
        sum += static_cast<std::uint32_t>(link.LastRead);
        link.ReadWithControl(0x14);
        sum += static_cast<std::uint32_t>(link.LastRead);
        link.WriteControlLatch(0x34);
    }
    link.ReleaseTarget();
    return sum;
}

// The 40-pin MCS-51 flash read: read-mode entry, then one read and one clock step per byte.
std::uint32_t m51ReadFlash(Link& link, int size) {
    std::uint32_t sum = 0;
    link.WriteControlLatch(0x86);
    link.wait(150);
    link.WriteControlLatch(0xC6);
    link.wait(10);
    link.WriteControlLatch(0x86);
    link.wait(100);
    link.SetDataLines(0xFF);
    for (int i = 1; i <= size; ++i) {
        link.ReadDataLines();
        sum += static_cast<std::uint32_t>(link.LastRead);
        if (i < size) {
            link.StepClock(1);
        }
    }
    link.ReleaseTarget();
    return sum;
}

template <typename Read>
void runRead(benchmark::State& state, std::int32_t deviceId, int units, Read read) {
    trilo::RecordingClock clock;
    trilo::SimulatedBoard board(clock);
    board.selectDevice(deviceId);
    auto& flash = board.chip(deviceId).flash;
    for (std::size_t i = 0; i < flash.size(); ++i) {
        flash[i] = static_cast<std::uint8_t>(i * 7);
    }

    trilo::Portinc port;
    Link link(port, clock);
    link.PortBase = trilo::kLpt1Base;
    link.PollLimit = 800;

    CountingPort counter(board);
    port.attach(&counter);
    read(link, units);
    const std::int64_t accesses = counter.accesses;

    port.attach(&board);
    for (auto _ : state) {
        benchmark::DoNotOptimize(read(link, units));
        clock.waits.clear();
    }
    state.SetItemsProcessed(state.iterations() * accesses);
    state.counters["accesses"] = static_cast<double>(accesses);
    state.counters["per_access"] = benchmark::Counter(
        static_cast<double>(accesses),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_Avr90S8515FlashRead(benchmark::State& state) {
    runRead(state, 15, 4096, avrReadFlash);
}
BENCHMARK(BM_Avr90S8515FlashRead)->Unit(benchmark::kMillisecond);

void BM_Mcs51_89C55FlashRead(benchmark::State& state) {
    runRead(state, 7, 20480, m51ReadFlash);
}
BENCHMARK(BM_Mcs51_89C55FlashRead)->Unit(benchmark::kMillisecond);

}  // namespace
