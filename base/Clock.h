#pragma once

#include <cstdint>
#include <vector>

namespace trilo {

// Every wait of the link and the operations goes through this, so that tests take no time
// and can assert the waits, and the simulated board can measure how long a pulse lasted.
class Clock {
public:
    virtual ~Clock() = default;
    virtual void sleep(int ms) = 0;
    // Microseconds on a monotonic scale.
    virtual std::int64_t nowUs() const = 0;
};

// Real waits on the monotonic clock.
class SteadyClock final : public Clock {
public:
    void sleep(int ms) override;
    std::int64_t nowUs() const override;
};

// Takes no time, but moves its own time on by each wait, so the simulated board still sees
// pulses of the right length. For measurements and tests: nothing real may wait on it.
class InstantClock final : public Clock {
public:
    void sleep(int ms) override {
        if (ms > 0) {
            now_ += static_cast<std::int64_t>(ms) * 1000;
        }
    }
    std::int64_t nowUs() const override { return now_; }

private:
    std::int64_t now_ = 0;
};

// Takes no time: each wait is recorded and moves the clock's own time on.
class RecordingClock final : public Clock {
public:
    void sleep(int ms) override {
        waits.push_back(ms);
        if (ms > 0) {
            now_ += static_cast<std::int64_t>(ms) * 1000;
        }
    }
    std::int64_t nowUs() const override { return now_; }
    void advanceUs(std::int64_t us) { now_ += us; }

    std::vector<int> waits;

private:
    std::int64_t now_ = 0;
};

}  // namespace trilo
