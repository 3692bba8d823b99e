#include "ops/Operation.h"

#include <cmath>

namespace trilo {

int percentOf(std::int64_t done, std::int64_t total) {
    if (total <= 0) {
        return 0;
    }
    // nearbyint rounds in the default mode, to nearest with halves to even.
    return static_cast<int>(
        std::nearbyint(static_cast<double>(done) / static_cast<double>(total) * 100.0));
}

void runReleasing(OpContext& c, const std::function<void()>& operation) {
    try {
        operation();
    } catch (...) {
        c.DataFile.closeQuietly();
        c.link.ReleaseTarget();
        throw;
    }
}

}  // namespace trilo
