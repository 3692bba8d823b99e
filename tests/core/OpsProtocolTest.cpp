// Each operation access by access: the real operation on one recording port, the sequence
// composed from the link primitives in the order the board's protocol gives them on another,
// both answering the same scripted reads.

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

#include "commands/Commands.h"
#include "ops/Signature.h"
#include "support/RecordingPort.h"
#include "support/SimRig.h"

namespace trilo::test {
namespace {

std::string shown(const Access& a) {
    char text[16];
    std::snprintf(text, sizeof text, "%c %04X %02X", a.kind == Access::Kind::In ? 'R' : 'W', a.port,
                  a.value);
    return text;
}

::testing::AssertionResult sameAccesses(const std::vector<Access>& actual,
                                        const std::vector<Access>& expected) {
    const std::size_t n = std::min(actual.size(), expected.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (!(actual[i] == expected[i])) {
            return ::testing::AssertionFailure() << "access " << i << ": " << shown(actual[i])
                                                 << ", expected " << shown(expected[i]);
        }
    }
    if (actual.size() != expected.size()) {
        return ::testing::AssertionFailure()
               << actual.size() << " accesses, expected " << expected.size();
    }
    return ::testing::AssertionSuccess();
}

struct Twin {
    Twin() {
        expectedInc.attach(&expectedPort);
        e.PortBase = kLpt1Base;
        e.PollLimit = rig.link.PollLimit = 3;
        for (RecordingPort* p : {&actualPort, &expectedPort}) {
            p->defaults[kLpt1Base + 1] = 0x00;  // ready at once
        }
        rig.link.ReleaseTarget();
        e.ReleaseTarget();
        actualPort.accesses.clear();
        expectedPort.accesses.clear();
    }
    // What the data lines show, read by read.
    void reads(const Bytes& bytes) {
        for (RecordingPort* p : {&actualPort, &expectedPort}) {
            p->script[kLpt1Base].assign(bytes.begin(), bytes.end());
        }
    }
    void address(int at) {
        e.LoadControlAndData(0x30, static_cast<std::uint8_t>(at / 256));
        e.LoadControlAndData(0x20, static_cast<std::uint8_t>(at % 256));
    }
    void check() {
        EXPECT_TRUE(sameAccesses(actualPort.accesses, expectedPort.accesses));
        EXPECT_EQ(rig.clock.waits, expectedClock.waits);
    }

    RecordingPort actualPort;
    RecordingPort expectedPort;
    OpRig rig{actualPort};
    OpContext& c = rig.ctx;
    RecordingClock expectedClock;
    Portinc expectedInc;
    Link e{expectedInc, expectedClock};
};

// ---- AVR -------------------------------------------------------------------------------

TEST(AvrProtocol, WriteLoadsEachWordLowByteFirstThenTheLockLevels) {
    const struct {
        bool verify;
        LockBoxes locks;
    } cases[] = {{false, {true, false, false}}, {true, {true, true, false}}};
    for (const auto& k : cases) {
        Twin t;
        // Three bytes: the second word's low byte is the erased 0xFF.
        const Bytes file{0x12, 0x34, 0x56};
        const Bytes words[] = {{0x12, 0x34}, {0x56, 0xFF}};
        t.reads({0x34, 0x12, 0xFF, 0x56});
        t.rig.open(file);
        EXPECT_TRUE(AvrWriteFlash(t.c, k.verify, k.locks).same());

        t.e.EnterAvrProgramming();
        for (int w = 0; w < 2; ++w) {
            t.e.LoadCommand(0x10);
            t.address(w);
            t.e.LoadControlAndData(0x24, words[w][1]);
            t.e.WriteControl(0x02);
            t.e.WriteStrobeWait();
            t.e.LoadControlAndData(0x34, words[w][0]);
            t.e.WriteStrobeWait();
            if (k.verify) {
                t.e.LoadCommand(0x02);
                t.address(w);
                t.e.ReadWithControl(0x04);
                t.e.ReadWithControl(0x14);
            }
        }
        for (int level = 1; level <= 2; ++level) {
            if (k.locks[static_cast<std::size_t>(level - 1)]) {
                t.e.EnterAvrProgramming();
                t.e.LoadCommand(0x20);
                t.e.LoadControlAndData(0x24, level == 1 ? 0xFD : 0xF9);
                t.e.WriteStrobeWait();
                t.e.ReleaseTarget();
            }
        }
        t.e.ReleaseTarget();
        t.check();
        EXPECT_EQ(t.rig.sink.gauge, (std::vector<int>{0, 50, 0}));
        EXPECT_TRUE(t.rig.sink.messages.empty());
    }
}

TEST(AvrProtocol, ReadStoresEachWordHighByteFirst) {
    Twin t;
    t.reads({0x34, 0x12, 0x78, 0x56});
    AvrReadFlash(t.c, 4);
    t.e.EnterAvrProgramming();
    t.e.LoadCommand(0x02);
    for (int w = 0; w < 2; ++w) {
        t.address(w);
        t.e.ReadWithControl(0x04);
        t.e.ReadWithControl(0x14);
        t.e.WriteControlLatch(0x34);
    }
    t.e.ReleaseTarget();
    t.check();
    EXPECT_EQ(t.rig.buffer(), (Bytes{0x12, 0x34, 0x56, 0x78}));
    EXPECT_EQ(t.rig.sink.gauge, (std::vector<int>{50, 100, 0}));
}

TEST(AvrProtocol, VerifyReadsToTheHighByteOfTheLastWordThenReports) {
    Twin t;
    t.reads({0x34, 0x12, 0x78, 0x57});
    t.rig.open({0x12, 0x34, 0x56, 0x78});
    EXPECT_FALSE(AvrVerifyFlash(t.c).same());
    t.e.EnterAvrProgramming();
    t.e.LoadCommand(0x02);
    t.address(0);
    t.e.ReadWithControl(0x04);
    t.e.ReadWithControl(0x14);
    t.e.WriteControlLatch(0x34);
    t.address(1);
    t.e.ReadWithControl(0x04);
    t.e.ReadWithControl(0x14);
    t.e.ReleaseTarget();
    t.check();
    // The gauge keeps its place while the message shows.
    EXPECT_EQ(t.rig.sink.events,
              (std::vector<std::string>{"gauge 50", "gauge 100",
                                        std::string("info ") + kVerifyFailed, "gauge 0"}));
    EXPECT_FALSE(t.rig.file.isOpen());
}

TEST(AvrProtocol, EraseAndLockRead) {
    Twin t;
    AvrEraseChip(t.c);
    t.e.EnterAvrProgramming();
    t.e.LoadCommand(0x80);
    t.e.PulseControlLow(10);
    t.e.ReleaseTarget();
    t.check();
    EXPECT_EQ(t.rig.clock.waits, (std::vector<int>{1, 10}));

    // Lock bit 1 at bit 1 or 7, lock bit 2 at bit 2 or 6, whichever the part uses.
    const struct {
        std::uint8_t reading;
        int level;
    } readings[] = {{0xFF, 0}, {0xFD, 1}, {0x7F, 1}, {0xF9, 2}, {0xFB, 2}, {0xBF, 2}, {0x3F, 2}};
    for (const auto& r : readings) {
        Twin l;
        l.reads({r.reading});
        EXPECT_EQ(commands::ReadLockBits(l.c, kFamilyAvr), r.level) << int(r.reading);
        l.e.EnterAvrProgramming();
        l.e.LoadCommand(0x04);
        l.e.ReadWithControl(0x14);
        l.e.ReleaseTarget();
        l.check();
    }
}

TEST(AvrProtocol, FusesAreReadWithTheDevicesControlAndWrittenWithAOneMillisecondStrobe) {
    const struct {
        std::int32_t id;
        std::uint8_t readControl;
        std::array<bool, 6> boxes;
        std::uint8_t written;
    } cases[] = {
        {10, 0x14, {true, false, false, false, false, false}, 0xDF},  // 90S2313, SPIEN
        {10, 0x14, {true, false, false, false, false, true}, 0xDE},   // SPIEN and FSTRT
        {10, 0x14, {}, 0xFF},
        {13, 0x04, {true, true, true, true, true, true}, 0xC0},  // 90S4433
    };
    for (const auto& k : cases) {
        Twin t;
        t.reads({0x5A});
        EXPECT_EQ(commands::ReadFuses(t.c, *findDevice(k.id)), 0x5A);
        t.e.EnterAvrProgramming();
        t.e.LoadCommand(0x04);
        t.e.ReadWithControl(k.readControl);
        t.e.ReleaseTarget();

        EXPECT_EQ(fuseByteFrom(k.boxes), k.written);
        AvrWriteFuses(t.c, fuseByteFrom(k.boxes));
        t.e.EnterAvrProgramming();
        t.e.LoadCommand(0x40);
        t.e.LoadControlAndData(0x24, k.written);
        t.e.PulseControlLow(1);
        t.e.ReleaseTarget();
        t.check();
    }
}

TEST(AvrProtocol, EepromWriteAndRead) {
    Twin t;
    t.rig.open({0xA5, 0x5A});
    AvrWriteEeprom(t.c);
    t.e.EnterAvrProgramming();
    t.e.LoadCommand(0x11);
    for (std::uint8_t b : {0xA5, 0x5A}) {
        t.address(b == 0xA5 ? 0 : 1);
        t.e.LoadControlAndData(0x24, b);
        t.e.WriteStrobeWait();
    }
    t.e.ReleaseTarget();

    t.reads({0x11, 0x22});
    AvrReadEeprom(t.c, 2);
    t.e.EnterAvrProgramming();
    t.e.LoadCommand(0x03);
    for (int i = 0; i < 2; ++i) {
        t.address(i);
        t.e.ReadWithControl(0x04);
    }
    t.e.ReleaseTarget();
    t.check();
    EXPECT_EQ(t.rig.buffer(), (Bytes{0x11, 0x22}));
}

// ---- MCS-51 ----------------------------------------------------------------------------

std::string familyName(Mcs51Family family) {
    return family == Mcs51Family::X051 ? "X051" : family == Mcs51Family::X51 ? "X51" : "S51";
}

class Mcs51Protocol : public ::testing::TestWithParam<Mcs51Family> {
protected:
    bool is(Mcs51Family f) const { return GetParam() == f; }
    void prepare() {
        if (is(Mcs51Family::X051)) {
            t.e.PrepareX051();
        }
    }
    std::uint8_t readMode() const { return is(Mcs51Family::S51) ? 0x06 : 0x86; }
    // 0x86 settled with the counter held at 0 for 10 ms; "S51" reads with 0x06 alone.
    void readEntry() {
        prepare();
        if (is(Mcs51Family::S51)) {
            t.e.WriteControlLatch(0x06);
            return;
        }
        t.e.WriteControlLatch(0x86);
        t.e.wait(150);
        t.e.WriteControlLatch(0xC6);
        t.e.wait(10);
        t.e.WriteControlLatch(0x86);
    }
    // Two bytes read with the clock stepped between them, not after the last.
    void twoReads(int waitBefore = 0) {
        for (int i = 1; i <= 2; ++i) {
            if (waitBefore > 0) {
                t.e.wait(waitBefore);
            }
            t.e.ReadDataLines();
            if (i < 2) {
                t.e.StepClock(1);
            }
        }
    }

    Twin t;
};

TEST_P(Mcs51Protocol, ReadEntersReadModeAndStepsBetweenBytes) {
    t.reads({0x12, 0x34});
    M51ReadFlash(t.c, GetParam(), 2);
    readEntry();
    t.e.wait(100);
    t.e.SetDataLines(0xFF);
    twoReads();
    t.e.ReleaseTarget();
    t.check();
    EXPECT_EQ(t.rig.buffer(), (Bytes{0x12, 0x34}));
}

TEST_P(Mcs51Protocol, VerifyEndsItsEntryOn0x86AndWaitsBeforeEachByte) {
    t.reads({0x12, 0x34});
    t.rig.open({0x12, 0x34});
    EXPECT_TRUE(M51VerifyFlash(t.c, GetParam()).same());
    t.e.SetDataLines(0xFF);
    readEntry();
    t.e.wait(100);
    t.e.WriteControlLatch(0xC6);
    t.e.wait(10);
    t.e.WriteControlLatch(0x86);
    twoReads(1);
    t.e.ReleaseTarget();
    t.check();
}

TEST_P(Mcs51Protocol, WritePollsEachByteAndStepsAfterEveryOne) {
    t.reads({0x12, 0x34});
    t.rig.open({0x12, 0x34});
    EXPECT_TRUE(M51WriteFlash(t.c, GetParam(), true, {}).same());
    prepare();
    t.e.SetDataLines(0xFF);
    t.e.WriteControlLatch(0x16);
    t.e.wait(100);
    t.e.WriteControlLatch(0x56);
    t.e.wait(10);
    t.e.WriteControlLatch(0x16);
    for (std::uint8_t b : {0x12, 0x34}) {
        t.e.SetDataLines(b);
        t.e.WriteStrobeWait();
        t.e.SetDataLines(0xFF);
        t.e.WriteControlLatch(readMode());
        t.e.PollDataLines(b);
        t.e.SetDataLines(0xFF);
        t.e.WriteControlLatch(0x16);
        t.e.StepClock(1);
    }
    t.e.ReleaseTarget();
    t.check();
    EXPECT_EQ(t.rig.sink.gauge, (std::vector<int>{50, 100, 0}));
}

TEST_P(Mcs51Protocol, BlankCheckAndErase) {
    t.reads({0xFF, 0xFF});
    EXPECT_TRUE(M51BlankCheck(t.c, GetParam(), 2));
    prepare();
    t.e.SetDataLines(0xFF);
    t.e.WriteControlLatch(readMode());
    t.e.wait(100);
    twoReads();

    M51EraseChip(t.c, GetParam());
    prepare();
    t.e.SetDataLines(0xFF);
    t.e.WriteControlLatch(0x20);
    t.e.wait(100);
    t.e.PulseControlLow(10);
    t.e.ReleaseTarget();
    t.check();
}

TEST_P(Mcs51Protocol, LockLevels) {
    for (std::uint8_t level = 1; level <= 3; ++level) {
        if (is(Mcs51Family::S51)) {
            S51WriteLockBits(t.c, level);
            t.e.WriteControlLatch(0x24);
            t.e.SetDataLines(level == 1 ? 0x7F : level == 2 ? 0x3F : 0x1F);
            t.e.PulseControlLow(1);
        } else {
            M51WriteLockBits(t.c, level);
            t.e.SetDataLines(0xFF);
            const std::uint8_t steps[] = {0x36, 0x30, 0x24};
            for (std::uint8_t step = 0; step < level; ++step) {
                t.e.WriteControlLatch(steps[step]);
                t.e.PulseControlLow(1);
            }
        }
    }
    t.check();
}

INSTANTIATE_TEST_SUITE_P(Families, Mcs51Protocol,
                         ::testing::Values(Mcs51Family::X051, Mcs51Family::X51, Mcs51Family::S51),
                         [](const auto& info) { return familyName(info.param); });

TEST(S51Protocol, SerialFuseAndLockRead) {
    for (bool off : {false, true}) {
        Twin t;
        t.reads({0xFE});
        EXPECT_EQ(commands::WriteSerialFuse(t.c, off), std::optional<bool>(false));
        t.e.SetDataLines(off ? 0xFE : 0xFF);
        t.e.WriteControlLatch(0x12);
        t.e.wait(100);
        t.e.PulseControlLow(10);
        t.e.SetDataLines(0xFF);
        t.e.WriteControlLatch(0x32);
        t.e.wait(100);
        t.e.ReadDataLines();
        t.e.ReleaseTarget();
        t.check();
    }
    // The highest programmed lock bit shows: bit 2 lock bit 1, bit 1 lock bit 2, bit 0 bit 3.
    const struct {
        std::uint8_t reading;
        int level;
    } readings[] = {{0xFF, 0}, {0xFB, 1}, {0xF9, 2}, {0xF8, 3}, {0xFE, 3}, {0x07, 0}};
    for (const auto& r : readings) {
        Twin t;
        t.reads({r.reading});
        EXPECT_EQ(commands::ReadLockBits(t.c, kFamilyS51), r.level) << int(r.reading);
        t.e.SetDataLines(0xFF);
        t.e.WriteControlLatch(0x30);
        t.e.wait(100);
        t.e.ReadDataLines();
        t.e.ReleaseTarget();
        t.check();
    }
}

TEST(SignatureProtocol, EachFamilyReadsItsBytesWithoutProgrammingVoltage) {
    {
        Twin t;
        t.reads({0x1E, 0x91, 0x01});
        EXPECT_EQ(AvrReadSignature(t.c), (SignatureBytes{0x1E, 0x91, 0x01}));
        t.e.EnterAvrProgramming();
        t.e.LoadCommand(0x08);
        for (std::uint8_t a = 0; a < 3; ++a) {
            t.e.LoadControlAndData(0x20, a);
            t.e.ReadWithControl(0x04);
        }
        t.e.ReleaseTarget();
        t.check();
    }
    for (Mcs51Family family : {Mcs51Family::X051, Mcs51Family::X51, Mcs51Family::S51}) {
        const bool twentyPin = family == Mcs51Family::X051;
        Twin t;
        t.reads({0x1E, 0x21, 0x07});
        EXPECT_EQ(M51ReadSignature(t.c, family).size(), twentyPin ? 2u : 3u);
        if (twentyPin) {
            t.e.PrepareX051();
        }
        t.e.SetDataLines(0xFF);
        t.e.WriteControlLatch(0x80);
        t.e.wait(150);
        t.e.WriteControlLatch(0xC0);
        t.e.wait(10);
        t.e.WriteControlLatch(0x80);
        const int first = twentyPin ? 0 : 0x30;
        for (int address = 0; address < first + (twentyPin ? 2 : 3); ++address) {
            if (address >= first) {
                t.e.ReadDataLines();
            }
            if (address + 1 < first + (twentyPin ? 2 : 3)) {
                t.e.StepClock(1);
            }
        }
        t.e.ReleaseTarget();
        t.check();
        // No latch byte puts the programming voltage on (bit 7 low).
        const auto control = t.actualPort.writesTo(kLpt1Base + 2);
        EXPECT_EQ(t.rig.link.LastControlByte, 0xC0);
        EXPECT_EQ(std::count(control.begin(), control.end(), 0x02), 0);
    }
}

}  // namespace
}  // namespace trilo::test
