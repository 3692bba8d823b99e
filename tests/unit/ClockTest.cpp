#include "base/Clock.h"

#include <gtest/gtest.h>

namespace trilo::test {
namespace {

TEST(SteadyClock, SleepsAtLeastTheTimeAskedAndNothingForNoTime) {
    SteadyClock clock;
    struct Case {
        int ms;
        std::int64_t atLeastUs;
        std::int64_t belowUs;
    };
    // Upper bounds are loose: the machine is shared, only "no sleep" must be quick.
    for (const Case& c : {Case{0, 0, 5000}, Case{-1, 0, 5000}, Case{3, 3000, 1000000}}) {
        SCOPED_TRACE(c.ms);
        const std::int64_t before = clock.nowUs();
        clock.sleep(c.ms);
        const std::int64_t took = clock.nowUs() - before;
        EXPECT_GE(took, c.atLeastUs);
        EXPECT_LT(took, c.belowUs);
    }
}

}  // namespace
}  // namespace trilo::test
