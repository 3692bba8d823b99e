#include "base/Clock.h"

#include <chrono>
#include <thread>

namespace trilo {

void SteadyClock::sleep(int ms) {
    if (ms <= 0) {
        return;
    }
    // sleep_until on the steady clock: a change of the wall clock cannot shorten a pulse.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_until(until);
    }
}

std::int64_t SteadyClock::nowUs() const {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace trilo
