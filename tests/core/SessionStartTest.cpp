#include <gtest/gtest.h>

#include "core/Session.h"
#include "support/FakePlatform.h"
#include "support/FakeView.h"
#include "support/TestDir.h"

namespace trilo::test {
namespace {

TEST(SessionStart, FirstStartWritesDefaultsAndSelects89C2051) {
    TestDir dir;
    FakeView view;
    RecordingClock clock;
    FakePlatform platform(dir.path().string());
    Session session(view, clock, platform);
    ASSERT_TRUE(session.handle([&] { session.FormCreate(); }));

    EXPECT_EQ(dir.read("programmer.ini"),
              "[SETUP_PRG]\nPort=LPT1\nCycle=800\nVerMemm=1\nDelMemm=1\ninFile=1\ninCpu=1\n\n\n"
              "[RUN_PRG]\nCPU=2\nFile=\n");
    EXPECT_EQ(session.DeviceId, 2);
    EXPECT_EQ(view.caption(Control::txCpu), "89C2051");
    EXPECT_EQ(view.caption(Control::txTyp), "X051");
}

}  // namespace
}  // namespace trilo::test
