#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "presenter/Session.h"
#include "support/FakePlatform.h"
#include "support/FakeView.h"
#include "support/TestDir.h"

namespace trilo::test {

// A session in a fresh directory with a fake window, a recording clock and a recording port.
class SessionFixture : public ::testing::Test {
protected:
    SessionFixture() : platform(dir.path().string()) {}

    // Writes programmer.ini before the start, when given, and runs the start-up.
    void start(const std::string& ini = {}) {
        if (!ini.empty()) {
            dir.write("programmer.ini", ini);
        }
        session = std::make_unique<Session>(view, clock, platform, platform);
        startedCleanly = session->handle([&] { session->FormCreate(); });
    }

    std::string ini() const { return dir.read("programmer.ini"); }

    TestDir dir;
    FakeView view;
    RecordingClock clock;
    FakePlatform platform;
    std::unique_ptr<Session> session;
    bool startedCleanly = false;
};

}  // namespace trilo::test
