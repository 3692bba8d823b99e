#include "link/TracePort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "link/Link.h"
#include "support/RecordingPort.h"
#include "support/TestDir.h"

namespace trilo::test {
namespace {

// A trace over a recording port and a recording clock, writing to a file of a test dir.
struct Traced {
    TestDir dir;
    RecordingClock inner;
    std::shared_ptr<TraceFile> file;
    RecordingPort* port = nullptr;
    std::unique_ptr<TracePort> layer;
    std::unique_ptr<TraceClock> clock;

    explicit Traced(const std::string& existing = "") {
        if (!existing.empty()) {
            dir.write("trace.txt", existing);
        }
        file = std::make_shared<TraceFile>(dir.file("trace.txt"));
        auto recording = std::make_unique<RecordingPort>();
        port = recording.get();
        layer = std::make_unique<TracePort>(std::move(recording), file);
        clock = std::make_unique<TraceClock>(inner, file);
    }
    // What is on disk once the trace is closed.
    std::string text() {
        layer.reset();
        clock.reset();
        file.reset();
        return dir.read("trace.txt");
    }
};

TEST(Trace, WritesOneLinePerAccessOrWaitInTheExactFormat) {
    struct Case {
        std::string name;
        std::function<void(Traced&)> run;
        std::string text;
    };
    const Case cases[] = {
        {"write", [](Traced& t) { t.layer->out(0x37A, 0x0B); }, "W 037A 0B\n"},
        {"write of zero", [](Traced& t) { t.layer->out(0x378, 0x00); }, "W 0378 00\n"},
        {"upper-case hex", [](Traced& t) { t.layer->out(0xABCD, 0xEF); }, "W ABCD EF\n"},
        {"read",
         [](Traced& t) {
             t.port->defaults[0x379] = 0x08;
             t.layer->in(0x379);
         },
         "R 0379 08\n"},
        {"read of a blank byte",
         [](Traced& t) {
             t.port->defaults[0x278] = 0xFF;
             t.layer->in(0x278);
         },
         "R 0278 FF\n"},
        {"waits in decimal",
         [](Traced& t) {
             t.clock->sleep(1);
             t.clock->sleep(10);
             t.clock->sleep(150);
         },
         "S 1\nS 10\nS 150\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Traced t;
        c.run(t);
        EXPECT_EQ(t.text(), c.text);
    }
}

TEST(Trace, RecordsALinkPulseInOrder) {
    Traced t;
    Portinc portinc;
    portinc.attach(t.layer.get());
    Link link(portinc, *t.clock);
    link.PortBase = kLpt2Base;
    link.PollLimit = 2;
    link.ControlShadow = 0x0A;
    t.port->script[0x279] = {0x08, 0x00};
    link.PulseControlLow(10);
    link.WriteStrobeWait();
    EXPECT_EQ(t.text(),
              "W 027A 02\nS 10\nW 027A 0A\n"
              "W 027A 02\nR 0279 08\nR 0279 00\nW 027A 0A\n");
}

TEST(Trace, PassesEverythingOnUnchanged) {
    Traced t;
    t.port->defaults[0x378] = 0x5A;
    t.port->statusText = "board";
    t.layer->ignite();
    t.layer->out(0x378, 0x12);
    EXPECT_EQ(t.layer->in(0x378), 0x5A);
    t.clock->sleep(100);

    const std::vector<Access> expected = {
        {Access::Kind::Ignite, 0, 0}, W(0x378, 0x12), R(0x378, 0x5A)};
    EXPECT_EQ(t.port->accesses, expected);
    EXPECT_EQ(t.inner.waits, std::vector<int>{100});
    t.inner.advanceUs(5);
    EXPECT_EQ(t.clock->nowUs(), t.inner.nowUs());

    t.port->usable = false;
    const PortStatus status = t.layer->status(kLpt2Base);
    EXPECT_FALSE(status.usable);
    EXPECT_EQ(status.text, "LPT2: board, záznam do " + t.dir.file("trace.txt"));
}

TEST(Trace, AppendsToWhatIsThere) {
    Traced t("W 0378 01\n");
    t.layer->out(0x378, 0x02);
    EXPECT_EQ(t.text(), "W 0378 01\nW 0378 02\n");
}

TEST(Trace, IsOnDiskAtEveryWait) {
    Traced t;
    t.layer->out(0x37A, 0x02);
    t.clock->sleep(10);
    EXPECT_EQ(t.dir.read("trace.txt"), "W 037A 02\nS 10\n");
}

TEST(Trace, ReleasingTheTargetPutsEveryLineOnDiskOrStopsTheTraceSayingWhy) {
    TestDir dir;
    for (const std::string& path : {dir.file("trace.txt"), std::string("/dev/full")}) {
        TracePort layer(std::make_unique<RecordingPort>(), std::make_shared<TraceFile>(path));
        Portinc portinc;
        portinc.attach(&layer);
        RecordingClock clock;
        Link(portinc, clock).ReleaseTarget();
        const bool full = path == "/dev/full";
        EXPECT_EQ(layer.status(kLpt1Base).text,
                  full ? "LPT1: recording port (záznam zastaven: No space left on device)"
                       : "LPT1: recording port, záznam do " + path);
        const std::string text = full ? "" : dir.read("trace.txt");
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), full ? 0 : 27);
    }
}

TEST(Trace, AFileThatCannotBeOpenedLeavesThePortWorkingAndSaysSo) {
    TestDir dir;
    const std::string path = dir.file("missing-dir/trace.txt");
    auto file = std::make_shared<TraceFile>(path);
    auto recording = std::make_unique<RecordingPort>();
    RecordingPort* port = recording.get();
    TracePort layer(std::move(recording), file);
    RecordingClock inner;
    TraceClock clock(inner, file);

    layer.out(0x378, 0x34);
    clock.sleep(10);
    EXPECT_EQ(port->accesses, std::vector<Access>{W(0x378, 0x34)});
    EXPECT_EQ(inner.waits, std::vector<int>{10});

    const PortStatus status = layer.status(kLpt1Base);
    EXPECT_TRUE(status.usable) << "a trace is no reason to refuse the board";
    EXPECT_EQ(status.text, "LPT1: recording port (soubor záznamu " + path +
                               " nelze otevřít: No such file or directory)");
    EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace trilo::test
