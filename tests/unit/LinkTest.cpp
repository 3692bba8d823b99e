#include "link/Link.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "presenter/Session.h"
#include "support/FakePlatform.h"
#include "support/FakeView.h"
#include "support/RecordingPort.h"
#include "support/TestDir.h"

namespace trilo::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Accesses = std::vector<Access>;

const Bytes kZeroBit = {0x0B, 0x0F, 0x0B};
const Bytes kOneBit = {0x09, 0x0D, 0x09};

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

Bytes repeat(const Bytes& group, int times) {
    Bytes out;
    for (int i = 0; i < times; ++i) {
        out.insert(out.end(), group.begin(), group.end());
    }
    return out;
}

// The 26 control writes that load b, as the board's serial latch expects them. Checked
// against written-out sequences in LatchLoad below before the other tests rely on it.
Accesses latch(std::uint16_t control, std::uint8_t b) {
    Accesses out{W(control, 0x0B)};
    for (int bit = 0; bit < 8; ++bit) {
        for (std::uint8_t v : ((b >> bit) & 1) != 0 ? kOneBit : kZeroBit) {
            out.push_back(W(control, v));
        }
    }
    out.push_back(W(control, 0x0A));
    return out;
}

Accesses join(std::initializer_list<Accesses> parts) {
    Accesses out;
    for (const Accesses& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

// A link over a recording port at LPT1, already at rest (one latch load done), with the
// recording cleared so each test sees only its own accesses.
struct Rig {
    RecordingPort port;
    Portinc portinc;
    RecordingClock clock;
    Link link{portinc, clock};

    explicit Rig(std::int32_t base = kLpt1Base, std::int32_t pollLimit = 800) {
        portinc.attach(&port);
        link.PortBase = base;
        link.PollLimit = pollLimit;
    }
    void atRest() {
        link.ReleaseTarget();
        port.accesses.clear();
        clock.waits.clear();
    }
};

// ---- Latch load ------------------------------------------------------------------------

TEST(LatchLoad, WritesExactlyTheTwentySixControlValues) {
    struct Case {
        std::uint8_t b;
        Bytes writes;
    };
    const Case cases[] = {
        {0x00, concat({{0x0B}, repeat(kZeroBit, 8), {0x0A}})},
        {0xFF, concat({{0x0B}, repeat(kOneBit, 8), {0x0A}})},
        {0x80, concat({{0x0B}, repeat(kZeroBit, 7), kOneBit, {0x0A}})},
        {0x01, concat({{0x0B}, kOneBit, repeat(kZeroBit, 7), {0x0A}})},
        {0xA5, concat({{0x0B},
                       kOneBit,
                       kZeroBit,
                       kOneBit,
                       kZeroBit,
                       kZeroBit,
                       kOneBit,
                       kZeroBit,
                       kOneBit,
                       {0x0A}})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.b);
        Rig rig;
        rig.link.WriteControlLatch(c.b);
        ASSERT_EQ(rig.port.accesses.size(), 26u);
        EXPECT_EQ(rig.port.writesTo(0x37A), c.writes);
        EXPECT_EQ(rig.port.accesses, latch(0x37A, c.b));
        EXPECT_EQ(rig.link.ControlShadow, 0x0A);
        EXPECT_EQ(rig.link.LastControlByte, c.b);
        EXPECT_TRUE(rig.clock.waits.empty()) << "a latch load has no waits of its own";
    }
}

TEST(LatchLoad, GoesToTheControlRegisterOfTheSelectedPort) {
    struct Case {
        std::int32_t portBase;
        std::uint16_t control;
    };
    // PortBase 0 (an unknown port name in the settings) drives LPT1, never address 0.
    for (const Case& c : {Case{kLpt1Base, 0x37A}, Case{kLpt2Base, 0x27A}, Case{0, 0x37A}}) {
        SCOPED_TRACE(c.portBase);
        Rig rig(c.portBase);
        rig.link.WriteControlLatch(0x22);
        EXPECT_EQ(rig.port.accesses, latch(c.control, 0x22));
    }
}

// ---- Step --------------------------------------------------------------------------------

TEST(StepClock, LatchesTheByteWithBitZeroSetThenTheByteAgain) {
    struct Case {
        std::uint8_t last;
        std::int32_t n;
        Accesses expected;
    };
    const Case cases[] = {
        {0x22, 1, join({latch(0x37A, 0x23), latch(0x37A, 0x22)})},
        {0x22, 2,
         join({latch(0x37A, 0x23), latch(0x37A, 0x22), latch(0x37A, 0x23), latch(0x37A, 0x22)})},
        {0x86, 1, join({latch(0x37A, 0x87), latch(0x37A, 0x86)})},
        {0x22, 0, {}},
        {0x22, -1, {}},
        // The step is taken modulo 256.
        {0xFF, 1, join({latch(0x37A, 0x00), latch(0x37A, 0xFF)})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "last " << int(c.last) << " n " << c.n);
        Rig rig;
        rig.link.WriteControlLatch(c.last);
        rig.port.accesses.clear();
        rig.link.StepClock(c.n);
        EXPECT_EQ(rig.port.accesses, c.expected);
        EXPECT_EQ(rig.link.LastControlByte, c.last);
    }
}

TEST(StepClock, AfterLatch22IsFiftyTwoWritesEndingOn22) {
    Rig rig;
    rig.link.WriteControlLatch(0x22);
    rig.port.accesses.clear();
    rig.link.StepClock(1);
    EXPECT_EQ(rig.port.accesses.size(), 52u);
    EXPECT_EQ(rig.link.LastControlByte, 0x22);
    EXPECT_EQ(rig.link.ControlShadow, 0x0A);
}

// ---- Primitives, access by access ---------------------------------------------------------

TEST(Primitives, MakeTheirExactAccessesAndWaits) {
    struct Case {
        std::string name;
        std::function<void(Link&)> run;
        Accesses expected;
        std::vector<int> waits;
    };
    const Case cases[] = {
        {"SetDataLines(0x5A)", [](Link& l) { l.SetDataLines(0x5A); }, {W(0x378, 0x5A)}, {}},
        {"LoadCommand(0x80)",
         [](Link& l) { l.LoadCommand(0x80); },
         join({latch(0x37A, 0x22), {W(0x378, 0x80)}, latch(0x37A, 0x23), latch(0x37A, 0x22)}),
         {}},
        {"LoadControlAndData(0x30, 0x07)",
         [](Link& l) { l.LoadControlAndData(0x30, 0x07); },
         join({latch(0x37A, 0x30), {W(0x378, 0x07)}, latch(0x37A, 0x31), latch(0x37A, 0x30)}),
         {}},
        {"ReadDataLines()",
         [](Link& l) { l.ReadDataLines(); },
         {W(0x37A, 0x2A), R(0x378, 0x3C), W(0x37A, 0x0A)},
         {}},
        {"ReadWithControl(0x14)",
         [](Link& l) { l.ReadWithControl(0x14); },
         join({{W(0x378, 0xFF)},
               latch(0x37A, 0x14),
               {W(0x37A, 0x2A), R(0x378, 0x3C), W(0x37A, 0x0A)}}),
         {}},
        {"PulseControlLow(10)",
         [](Link& l) { l.PulseControlLow(10); },
         {W(0x37A, 0x02), W(0x37A, 0x0A)},
         {10}},
        {"PulseControlLow(1)",
         [](Link& l) { l.PulseControlLow(1); },
         {W(0x37A, 0x02), W(0x37A, 0x0A)},
         {1}},
        {"EnterAvrProgramming()",
         [](Link& l) { l.EnterAvrProgramming(); },
         join({latch(0x37A, 0xA0), latch(0x37A, 0x20)}),
         {1}},
        {"PrepareX051()",
         [](Link& l) { l.PrepareX051(); },
         join({latch(0x37A, 0x88), latch(0x37A, 0x80)}),
         {}},
        {"ReleaseTarget()",
         [](Link& l) { l.ReleaseTarget(); },
         join({latch(0x37A, 0xC0), {W(0x378, 0x00)}}),
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.atRest();
        rig.port.defaults[0x378] = 0x3C;
        rig.link.LastRead = -1;
        c.run(rig.link);
        EXPECT_EQ(rig.port.accesses, c.expected);
        EXPECT_EQ(rig.clock.waits, c.waits);
    }
}

TEST(Primitives, WaitsFallBetweenTheRightWrites) {
    // The clock notes how many accesses had been made when each wait began.
    struct MarkingClock : Clock {
        RecordingPort* port = nullptr;
        std::vector<std::size_t> at;
        void sleep(int) override { at.push_back(port->accesses.size()); }
        std::int64_t nowUs() const override { return 0; }
    };
    RecordingPort port;
    Portinc portinc;
    portinc.attach(&port);
    MarkingClock clock;
    clock.port = &port;
    Link link(portinc, clock);
    link.PortBase = kLpt1Base;
    link.ReleaseTarget();
    port.accesses.clear();

    link.PulseControlLow(10);    // after the 0x02, before the 0x0A
    link.EnterAvrProgramming();  // between the two latch loads
    EXPECT_EQ(clock.at, (std::vector<std::size_t>{1, 2 + 26}));
}

TEST(Primitives, AccessCountsMatchTheBoardsBudget) {
    struct Case {
        std::string name;
        std::function<void(Link&)> run;
        std::size_t writes;
        std::size_t reads;
    };
    const Case cases[] = {
        {"latch load", [](Link& l) { l.WriteControlLatch(0x34); }, 26, 0},
        {"step", [](Link& l) { l.StepClock(1); }, 52, 0},
        {"LoadCommand", [](Link& l) { l.LoadCommand(0x10); }, 79, 0},
        {"LoadControlAndData", [](Link& l) { l.LoadControlAndData(0x24, 0xAB); }, 79, 0},
        {"ReadWithControl", [](Link& l) { l.ReadWithControl(0x04); }, 29, 1},
        {"ReadDataLines", [](Link& l) { l.ReadDataLines(); }, 2, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.atRest();
        c.run(rig.link);
        std::size_t writes = 0;
        std::size_t reads = 0;
        for (const Access& a : rig.port.accesses) {
            (a.kind == Access::Kind::Out ? writes : reads) += 1;
        }
        EXPECT_EQ(writes, c.writes);
        EXPECT_EQ(reads, c.reads);
    }
}

TEST(Primitives, ReleaseTargetLeavesTheRestState) {
    Rig rig;
    rig.link.EnterAvrProgramming();
    rig.link.ReadWithControl(0x14);
    rig.link.ReleaseTarget();
    EXPECT_EQ(rig.link.LastControlByte, 0xC0);
    EXPECT_EQ(rig.link.ControlShadow, 0x0A);
    EXPECT_EQ(rig.port.writesTo(0x378).back(), 0x00);
    EXPECT_EQ(rig.port.writesTo(0x37A).back(), 0x0A);
    EXPECT_EQ(rig.port.accesses.back(), W(0x378, 0x00));
}

// ---- Reads --------------------------------------------------------------------------------

TEST(Reads, AreTheWholeZeroExtendedByte) {
    for (std::uint8_t value : {std::uint8_t{0xFF}, std::uint8_t{0x80}, std::uint8_t{0x00}}) {
        SCOPED_TRACE(int(value));
        Rig rig;
        rig.atRest();
        rig.port.defaults[0x378] = value;
        rig.link.LastRead = -1;
        rig.link.ReadDataLines();
        // A blank byte must compare equal to 255 as a whole 32-bit value, never -1.
        EXPECT_EQ(rig.link.LastRead, static_cast<std::int32_t>(value));
        EXPECT_EQ(rig.portinc.Inp(0x378), static_cast<std::int32_t>(value));
    }
}

// ---- Ready poll ------------------------------------------------------------------------------

TEST(ReadyPoll, ReadsStatusUntilReadyOrTheLimit) {
    struct Case {
        std::string name;
        std::int32_t pollLimit;
        std::deque<std::uint8_t> status;  // then busy (0x08) for ever
        std::size_t reads;
    };
    const Case cases[] = {
        {"ready at once", 800, {0x00}, 1},
        {"ready at once, other status bits ignored", 800, {0xF7}, 1},
        {"busy, other bits clear, then ready", 800, {0x08, 0x08, 0x87}, 3},
        {"never ready, limit 800", 800, {}, 800},
        {"never ready, limit 1", 1, {}, 1},
        {"ready on the read after the limit", 2, {0x08, 0x08, 0x00}, 2},
        {"limit 0 stays bounded", 0, {}, 1},
        {"negative limit stays bounded", -5, {}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig(kLpt1Base, c.pollLimit);
        rig.atRest();
        rig.port.script[0x379] = c.status;
        rig.port.defaults[0x379] = 0x08;
        rig.link.WriteStrobeWait();

        const Accesses& a = rig.port.accesses;
        ASSERT_EQ(a.size(), c.reads + 2);
        EXPECT_EQ(a.front(), W(0x37A, 0x02));
        EXPECT_EQ(a.back(), W(0x37A, 0x0A));
        for (std::size_t i = 1; i + 1 < a.size(); ++i) {
            EXPECT_EQ(a[i].kind, Access::Kind::In);
            EXPECT_EQ(a[i].port, 0x379);
        }
        EXPECT_TRUE(rig.clock.waits.empty()) << "the poll counts reads, it never sleeps";
        EXPECT_EQ(rig.link.PollLimit, c.pollLimit) << "the limit itself is left as read";
    }
}

// ---- Data poll -------------------------------------------------------------------------------

TEST(DataPoll, ReadsDataUntilTheExpectedByteOrTheLimit) {
    struct Case {
        std::string name;
        std::int32_t pollLimit;
        std::deque<std::uint8_t> data;  // then 0x00 for ever
        std::size_t reads;
        std::int32_t lastRead;
    };
    const Case cases[] = {
        {"match on the third read", 800, {0x11, 0x22, 0x5A}, 3, 0x5A},
        {"match at once", 800, {0x5A}, 1, 0x5A},
        {"never matches, limit 5", 5, {0xA5, 0xA5, 0xA5, 0xA5, 0x42}, 5, 0x42},
        {"never matches, limit 800", 800, {}, 800, 0x00},
        {"limit 1", 1, {0x11, 0x5A}, 1, 0x11},
        {"limit 0 stays bounded", 0, {0x11, 0x5A}, 1, 0x11},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig(kLpt1Base, c.pollLimit);
        rig.atRest();
        rig.port.script[0x378] = c.data;
        rig.port.defaults[0x378] = 0x00;
        rig.link.PollDataLines(0x5A);

        const Accesses& a = rig.port.accesses;
        ASSERT_EQ(a.size(), c.reads + 2);
        EXPECT_EQ(a.front(), W(0x37A, 0x2A));
        EXPECT_EQ(a.back(), W(0x37A, 0x0A));
        for (std::size_t i = 1; i + 1 < a.size(); ++i) {
            EXPECT_EQ(a[i].kind, Access::Kind::In);
            EXPECT_EQ(a[i].port, 0x378);
        }
        EXPECT_EQ(rig.link.LastRead, c.lastRead);
    }
}

// ---- Addresses -------------------------------------------------------------------------------

TEST(Addresses, EveryRegisterOfThePortAndNoOther) {
    struct Case {
        std::int32_t portBase;
        std::uint16_t data;
    };
    for (const Case& c : {Case{kLpt1Base, 0x378}, Case{kLpt2Base, 0x278}, Case{0, 0x378}}) {
        SCOPED_TRACE(c.portBase);
        Rig rig(c.portBase, 3);
        rig.link.ReleaseTarget();
        rig.link.ReadWithControl(0x14);
        rig.link.WriteStrobeWait();
        rig.link.PollDataLines(0x00);
        rig.link.PulseControlLow(1);
        for (const Access& a : rig.port.accesses) {
            EXPECT_GE(a.port, c.data);
            EXPECT_LE(a.port, c.data + 2);
            if (a.kind == Access::Kind::Out) {
                EXPECT_NE(a.port, c.data + 1) << "the status register is never written";
            } else {
                EXPECT_NE(a.port, c.data + 2) << "the control register is never read";
            }
        }
    }
}

// ---- Port library ---------------------------------------------------------------------------

TEST(Portinc, IgnitesTheLayerOnceWhenItIsAttachedAfterIgnite) {
    RecordingPort port;
    Portinc portinc;
    portinc.Ignite();
    portinc.attach(&port);
    portinc.Out(0x378, 0x12);
    ASSERT_EQ(port.accesses.size(), 2u);
    EXPECT_EQ(port.accesses[0].kind, Access::Kind::Ignite);
    EXPECT_EQ(port.accesses[1], W(0x378, 0x12));
}

// ---- Start-up -------------------------------------------------------------------------------

TEST(StartUp, IgnitesThenReleasesTheBoardOnThePortTheSettingsName) {
    struct Case {
        std::string ini;
        std::uint16_t data;
        std::string portKey;  // as written back
    };
    const Case cases[] = {
        {"", 0x378, "Port=LPT1"},
        {"[SETUP_PRG]\nPort=LPT2\n", 0x278, "Port=LPT2"},
        // An unknown name leaves PortBase 0; the board on LPT1 is driven, never address 0.
        {"[SETUP_PRG]\nPort=LPT3\n", 0x378, "Port=LPT3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ini);
        TestDir dir;
        if (!c.ini.empty()) {
            dir.write("programmer.ini", c.ini);
        }
        FakeView view;
        RecordingClock clock;
        FakePlatform platform(dir.path().string());
        Session session(view, clock, platform, platform);
        ASSERT_TRUE(session.handle([&] { session.FormCreate(); }));
        ASSERT_NE(platform.port, nullptr);

        const Accesses expected = join({{{Access::Kind::Ignite, 0, 0}},
                                        latch(c.data + 2, 0xC0),
                                        {W(c.data, 0x00), W(c.data, 0x00)}});
        EXPECT_EQ(platform.port->accesses, expected);
        EXPECT_EQ(platform.opened.base, c.data);
        EXPECT_NE(dir.read("programmer.ini").find(c.portKey + "\n"), std::string::npos);
        EXPECT_EQ(view.caption(Control::statusLine),
                  (c.data == 0x278 ? "LPT2: " : "LPT1: ") + std::string("recording port"));
    }
}

TEST(StartUp, PollLimitFromTheSettingsIsKeptAndWrittenBackUnchanged) {
    struct Case {
        std::string cycle;
        std::int32_t pollLimit;
    };
    for (const Case& c : {Case{"800", 800}, Case{"1", 1}, Case{"0", 0}, Case{"-3", -3}}) {
        SCOPED_TRACE(c.cycle);
        TestDir dir;
        dir.write("programmer.ini", "[SETUP_PRG]\nCycle=" + c.cycle + "\n");
        FakeView view;
        RecordingClock clock;
        FakePlatform platform(dir.path().string());
        Session session(view, clock, platform, platform);
        ASSERT_TRUE(session.handle([&] { session.FormCreate(); }));
        EXPECT_EQ(session.engine().board().link().PollLimit, c.pollLimit);
        EXPECT_NE(dir.read("programmer.ini").find("Cycle=" + c.cycle + "\n"), std::string::npos);

        // Even at a limit below 1 a strobe against a stuck busy line ends.
        platform.port->accesses.clear();
        platform.port->defaults[0x379] = 0x08;
        session.engine().board().link().WriteStrobeWait();
        EXPECT_EQ(platform.port->accesses.size(), std::size_t(std::max(c.pollLimit, 1) + 2));
    }
}

}  // namespace
}  // namespace trilo::test
