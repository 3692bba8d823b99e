#include <gtest/gtest.h>

#include <functional>

#include "base/Errors.h"
#include "support/SessionFixture.h"

namespace trilo::test {
namespace {

using RunOperation = SessionFixture;

TEST_F(RunOperation, AnUnusablePortShowsItsReasonInsteadOfRunning) {
    start();
    platform.port->usable = false;
    platform.port->statusText = "cannot open /dev/parport0";
    bool ran = false;
    EXPECT_FALSE(
        session->handle([&] { session->engine().runOperation([&](OpContext&) { ran = true; }); }));
    EXPECT_FALSE(ran);
    EXPECT_EQ(view.messages(FakeView::Kind::Error),
              std::vector<std::string>{"LPT1: cannot open /dev/parport0."});
}

TEST_F(RunOperation, APortLostDuringTheOperationIsReportedAfterIt) {
    start();
    bool ran = false;
    EXPECT_FALSE(session->handle([&] {
        session->engine().runOperation([&](OpContext&) {
            ran = true;
            platform.port->usable = false;
            platform.port->statusText = "the port stopped answering";
        });
    }));
    EXPECT_TRUE(ran);
    EXPECT_EQ(view.messages(FakeView::Kind::Error),
              std::vector<std::string>{"LPT1: the port stopped answering."});
}

TEST_F(RunOperation, AnErrorOfAnotherKindStillReleasesTheBoard) {
    start();
    platform.port->accesses.clear();
    EXPECT_THROW(session->engine().runOperation([&](OpContext&) {
        session->engine().board().link().WriteControlLatch(0xA0);
        throw std::runtime_error("unexpected");
    }),
                 std::runtime_error);
    // The last writes are the release: latch 0xC0, then the data lines at 0.
    const auto data = platform.port->writesTo(0x378);
    ASSERT_FALSE(data.empty());
    EXPECT_EQ(data.back(), 0x00);
    EXPECT_EQ(session->engine().board().link().LastControlByte, 0xC0);
}

}  // namespace
}  // namespace trilo::test

namespace trilo::test {
namespace {

using TopLevelHandler = SessionFixture;

TEST_F(TopLevelHandler, ShowsAnyErrorWithAFullStopAndGoesOn) {
    start();
    struct Case {
        std::function<void()> raise;
        const char* shown;
    };
    const Case cases[] = {
        {[] { throw TriloError("Unable to write to /x/programmer.ini"); },
         "Unable to write to /x/programmer.ini."},
        {[] { throw IoError(101); }, "Disk full."},
        {[] { throw IoError(5, "I/O error 5"); }, "I/O error 5."},
        {[] { throw std::runtime_error("out of memory"); }, "out of memory."},
    };
    for (const Case& c : cases) {
        view.log.clear();
        EXPECT_FALSE(session->handle(c.raise));
        EXPECT_EQ(view.messages(FakeView::Kind::Error), std::vector<std::string>{c.shown});
    }
    EXPECT_TRUE(session->handle([] {}));
}

TEST_F(TopLevelHandler, LetsAStartUpAbortThrough) {
    start();
    EXPECT_THROW(session->handle([] {
        throw StartupAbort(StartupAbort::Kind::Information, "already running");
    }),
                 StartupAbort);
    EXPECT_TRUE(view.messages(FakeView::Kind::Error).empty());
}

}  // namespace
}  // namespace trilo::test
