// The trace of a job run by trilo-cli equals the trace the window makes for the same commands:
// the same start (the board released, the data lines cleared), then every access and wait of
// the same operations in the same order. The command line erases once before its write, so
// the window writes without its automatic erase after the Erase.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "presenter/Handlers.h"
#include "presenter/Session.h"
#include "support/FakePlatform.h"
#include "support/FakeView.h"
#include "support/TestDir.h"

namespace trilo::test {
namespace {

TEST(CliTrace, JobTracesAsTheWindowDoes) {
    TestDir dir;
    const std::string hex = std::string(TRILO_FIXTURES_DIR) + "/intelhex/avr-blink.hex";
    dir.write("programmer.ini",
              "[SETUP_PRG]\nBoard=sim\nDelMemm=0\nTrace=" + dir.file("window.trace") +
                  "\n[RUN_PRG]\nCPU=10\nFile=" + hex + "\n");
    {
        FakeView view;
        RecordingClock clock;
        FakePlatform platform(dir.path().string());
        SystemPortOpener ports;
        Session session(view, clock, platform, ports);
        ASSERT_TRUE(session.handle([&] { session.FormCreate(); }));
        for (auto* click : {&btnEraseClick, &btnWriteClick, &btnVerifyClick, &btnReadClick}) {
            ASSERT_TRUE(session.handle([&] { click(session); }));
        }
        ASSERT_EQ(view.messages(FakeView::Kind::Info),
                  (std::vector<std::string>{kErased, kVerifyOk}));
    }

    const std::string command = "cd '" + dir.path().string() + "' && TRILO_NO_WAIT=1 '" +
                                TRILO_CLI + "' -q -p 90s2313 --trace cli.trace -e -w '" + hex +
                                "' -m '" + hex + "' -r read.bin";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);

    const std::string window = dir.read("window.trace");
    // Erase, blank check, write with read-back, verify and read: far more than the start.
    EXPECT_GT(window.size(), 100000u);
    EXPECT_TRUE(window.find("\nS ") != std::string::npos) << "the waits are traced too";
    EXPECT_TRUE(dir.read("cli.trace") == window) << "the traces differ";
}

}  // namespace
}  // namespace trilo::test
