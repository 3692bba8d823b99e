// Whole operations, the program's own, over the simulated board with a clock that takes no
// time: what the program itself costs, beside what a real port would take for the same
// accesses (about 1 us each) and waits.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numeric>
#include <string>
#include <vector>

#include "base/Clock.h"
#include "ops/avr/AvrEeprom.h"
#include "ops/avr/AvrFlash.h"
#include "ops/mcs51/M51Flash.h"
#include "sim/SimulatedBoard.h"

namespace trilo {
namespace {

// Counts accesses, so the figures can be given per port access.
class CountingPort final : public PortLayer {
public:
    explicit CountingPort(PortLayer& inner) : inner_(inner) {}
    void out(std::uint16_t port, std::uint8_t value) override {
        ++accesses;
        inner_.out(port, value);
    }
    std::uint8_t in(std::uint16_t port) override {
        ++accesses;
        return inner_.in(port);
    }
    PortStatus status(std::uint16_t base) const override { return inner_.status(base); }
    std::int64_t accesses = 0;

private:
    PortLayer& inner_;
};

class QuietSink final : public OperationSink {
public:
    void progress(int) override {}
    void info(const std::string&) override {}
    bool ask(const std::string&) override { return true; }
};

// A board with the device's chip, a data file holding a full image, and the link at rest.
struct Bench {
    explicit Bench(std::int32_t deviceId) : device(*findDevice(deviceId)) {
        dir =
            (std::filesystem::temp_directory_path() / ("trilo-bench-" + std::to_string(::getpid())))
                .string();
        std::filesystem::create_directories(dir);
        std::vector<char> image(static_cast<std::size_t>(device.flashSize));
        for (std::size_t i = 0; i < image.size(); ++i) {
            image[i] = static_cast<char>(i * 7 + (i >> 8));
        }
        std::ofstream(dir + "/data.bin", std::ios::binary)
            .write(image.data(), static_cast<std::streamsize>(image.size()));
        // The chip already holds the image, so every verify and read-back runs to the end.
        SimChip& chip = board.chip(deviceId);
        for (std::size_t i = 0; i < image.size(); ++i) {
            // An AVR word stands high byte first in the file and low byte first in the chip.
            chip.flash[device.isAvr() ? i ^ 1 : i] = static_cast<std::uint8_t>(image[i]);
        }
        port.attach(&counter);
        link.PortBase = kLpt1Base;
        link.PollLimit = 800;
        board.selectDevice(deviceId);
        link.ReleaseTarget();
    }
    ~Bench() { std::filesystem::remove_all(dir); }
    void openData() {
        file.openRead(dir + "/data.bin");
        ctx.input = &file;
    }

    const DeviceInfo& device;
    std::string dir;
    RecordingClock clock;
    SimulatedBoard board{clock};
    CountingPort counter{board};
    Portinc port;
    Link link{port, clock};
    ByteFile file;
    QuietSink sink;
    OpContext ctx{link, file, "", sink};
};

void run(benchmark::State& state, std::int32_t deviceId, const std::function<void(Bench&)>& op) {
    Bench bench(deviceId);
    bench.ctx.BufferFile = bench.dir + "/buffer.tmp";
    // One counted run first: the accesses and waits a real port would see.
    op(bench);
    const std::int64_t accesses = bench.counter.accesses;
    const int waitMs = std::accumulate(bench.clock.waits.begin(), bench.clock.waits.end(), 0);
    for (auto _ : state) {
        op(bench);
        bench.clock.waits.clear();
    }
    state.counters["accesses"] = static_cast<double>(accesses);
    state.counters["waits_ms"] = waitMs;
    state.counters["real_port_s"] = static_cast<double>(accesses) * 1e-6 + waitMs / 1000.0;
    state.counters["per_access"] = benchmark::Counter(
        static_cast<double>(accesses),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_90S8515_WriteWithReadBack(benchmark::State& state) {
    run(state, 15, [](Bench& b) {
        b.openData();
        AvrWriteFlash(b.ctx, true, {});
        b.file.close();
    });
}
void BM_90S8515_Read(benchmark::State& state) {
    run(state, 15, [](Bench& b) { AvrReadFlash(b.ctx, b.device.flashSize); });
}
void BM_90S8515_Verify(benchmark::State& state) {
    run(state, 15, [](Bench& b) {
        b.openData();
        AvrVerifyFlash(b.ctx);
    });
}
void BM_90S8515_EepromRead(benchmark::State& state) {
    run(state, 15, [](Bench& b) { AvrReadEeprom(b.ctx, b.device.eepromSize); });
}
void BM_89C55_WriteWithReadBack(benchmark::State& state) {
    run(state, 7, [](Bench& b) {
        b.openData();
        M51WriteFlash(b.ctx, Family::X51, true, {});
        b.file.close();
    });
}
void BM_89C55_Read(benchmark::State& state) {
    run(state, 7, [](Bench& b) { M51ReadFlash(b.ctx, Family::X51, b.device.flashSize); });
}
void BM_89C55_Verify(benchmark::State& state) {
    run(state, 7, [](Bench& b) {
        b.openData();
        M51VerifyFlash(b.ctx, Family::X51);
    });
}

BENCHMARK(BM_90S8515_WriteWithReadBack)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_90S8515_Read)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_90S8515_Verify)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_90S8515_EepromRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_89C55_WriteWithReadBack)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_89C55_Read)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_89C55_Verify)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace trilo
