#include <gtest/gtest.h>

#include "sim/Mcs51Chip.h"
#include "support/SimRig.h"

namespace trilo::test {
namespace {

class EveryMcs51 : public ::testing::TestWithParam<std::int32_t> {};

TEST_P(EveryMcs51, WritesReadsBackVerifiesErasesAndChecksBlank) {
    SimRig rig(GetParam());
    const int size = rig.device.flashSize;
    const Bytes image = pattern(static_cast<std::size_t>(size));

    ASSERT_TRUE(m51WriteFlash(rig, image, true));
    EXPECT_EQ(rig.chip().flash, image);
    EXPECT_EQ(m51ReadFlash(rig, size), image);
    EXPECT_EQ(m51VerifyFlash(rig, image), kVerifyOk);

    Bytes changed = image;
    changed[300] ^= 0x01;
    EXPECT_EQ(m51VerifyFlash(rig, changed), std::string(kVerifyFailed) + "301");

    EXPECT_FALSE(m51BlankCheck(rig, size));
    M51EraseChip(rig.ctx, rig.family);
    EXPECT_TRUE(m51BlankCheck(rig, size));
    EXPECT_EQ(rig.chip().flash, Bytes(image.size(), 0xFF));
    EXPECT_TRUE(rig.board.protocolFaults().empty()) << rig.board.protocolFaults().list().front();
}

INSTANTIATE_TEST_SUITE_P(SimMcs51, EveryMcs51, ::testing::Values(1, 2, 3, 4, 5, 6, 7, 8),
                         [](const auto& info) {
                             return std::string(findDevice(info.param)->name);
                         });

TEST(SimMcs51, CounterStartsAtZeroForEveryOperationAndWrapsAtTheFlashSize) {
    for (std::int32_t id : {2, 4, 6}) {  // one part of each family
        SimRig rig(id);
        const int size = rig.device.flashSize;
        rig.chip().flash[0] = 0x11;
        rig.chip().flash[1] = 0x22;
        rig.chip().flash[static_cast<std::size_t>(size - 1)] = 0x99;
        // A read stops with the counter at 2; the next must begin at byte 0 again.
        EXPECT_EQ(m51ReadFlash(rig, 3), (Bytes{0x11, 0x22, 0xFF})) << rig.device.name;
        const Bytes all = m51ReadFlash(rig, size + 2);
        EXPECT_EQ(all[static_cast<std::size_t>(size - 1)], 0x99) << rig.device.name;
        EXPECT_EQ(all[static_cast<std::size_t>(size)], 0x11) << rig.device.name;
        EXPECT_EQ(all[static_cast<std::size_t>(size + 1)], 0x22) << rig.device.name;
    }
}

TEST(SimMcs51, FlashProgrammedWithoutEraseKeepsOnlyBitsBothWritesLeft) {
    SimRig rig(4);
    ASSERT_TRUE(m51WriteFlash(rig, {0xF0, 0x3C}, true));
    EXPECT_FALSE(m51WriteFlash(rig, {0x0F}, true));
    EXPECT_EQ(rig.chip().flash[0], 0x00);
    EXPECT_EQ(rig.chip().flash[1], 0x3C);
}

TEST(SimMcs51, DataPollingShowsBit7InvertedUntilTheByteIsDone) {
    SimRig rig(6);  // 89S53
    rig.board.setBusyReads(5);
    rig.link.PollLimit = 3;
    // The strobe takes three busy status reads; the poll then reads busy twice more.
    ASSERT_TRUE(m51WriteFlash(rig, {0x5A}, true));
    EXPECT_EQ(rig.tap.statusReads, Bytes(3, 0xFF));
    EXPECT_EQ(rig.tap.dataReads, (Bytes{0xDA, 0xDA, 0x5A}));

    rig.tap.dataReads.clear();
    rig.board.setBusyReads(6);
    EXPECT_FALSE(m51WriteFlash(rig, {0xFF, 0x5A}, true));
    EXPECT_EQ(rig.tap.dataReads, (Bytes{0x7F, 0x7F, 0x7F}));
}

TEST(SimMcs51, TwentyPinPartsWorkOnlyAfterThePowerUp) {
    SimRig rig(2);  // 89C2051
    rig.chip().flash[0] = 0x42;
    // The 40-pin read entry, without 0x88, 0x80: nothing answers and nothing is written.
    rig.link.WriteControlLatch(0x86);
    rig.link.SetDataLines(0xFF);
    rig.link.ReadDataLines();
    EXPECT_EQ(rig.link.LastRead, 0xFF);
    rig.link.WriteControlLatch(0x16);
    rig.link.SetDataLines(0x00);
    rig.link.WriteStrobeWait();
    rig.link.ReleaseTarget();
    EXPECT_EQ(rig.chip().flash[0], 0x42);
    EXPECT_EQ(rig.board.protocolFaults().count(), 2u);

    rig.board.clearProtocolFaults();
    EXPECT_EQ(m51ReadFlash(rig, 1), Bytes{0x42});
    EXPECT_TRUE(rig.board.protocolFaults().empty());
}

TEST(SimMcs51, FortyPinPartsNeverSeeThePowerUp) {
    SimRig rig(5);  // 89C52
    rig.link.PrepareX051();
    rig.link.ReleaseTarget();
    EXPECT_EQ(rig.board.protocolFaults().count(), 1u);
}

TEST(SimMcs51, EraseNeedsAPulseOfTenMilliseconds) {
    SimRig rig(1);
    ASSERT_TRUE(m51WriteFlash(rig, {0x00}, true));
    // The erase mode with a pulse 1 ms short.
    rig.link.PrepareX051();
    rig.link.SetDataLines(0xFF);
    rig.link.WriteControlLatch(0x20);
    rig.link.PulseControlLow(9);
    rig.link.ReleaseTarget();
    EXPECT_EQ(rig.chip().flash[0], 0x00);
    EXPECT_EQ(rig.board.protocolFaults().count(), 1u);
    M51EraseChip(rig.ctx, rig.family);
    EXPECT_EQ(rig.chip().flash[0], 0xFF);
}

// Lock levels as the write programs them, and what each leaves possible.
struct LockCase {
    std::int32_t id;
    int level;
    std::array<bool, 3> lockBits;
    bool writable, readable;
};

class Mcs51Locks : public ::testing::TestWithParam<LockCase> {};

TEST_P(Mcs51Locks, ForbidProgrammingThenReadingUntilErased) {
    const LockCase& c = GetParam();
    SimRig rig(c.id);
    const Bytes image = pattern(16);
    ASSERT_TRUE(m51WriteFlash(rig, image, true, c.level));
    EXPECT_EQ(rig.chip().lockBits, c.lockBits);
    EXPECT_TRUE(rig.board.protocolFaults().empty());

    EXPECT_EQ(m51WriteFlash(rig, Bytes(16, 0x55), true), c.writable);
    EXPECT_EQ(m51ReadFlash(rig, 16) == image, c.readable && !c.writable);
    if (!c.readable) {
        EXPECT_EQ(m51ReadFlash(rig, 2), Bytes(2, kLockedReadValue));
        EXPECT_FALSE(m51BlankCheck(rig, 16));
    }
    M51EraseChip(rig.ctx, rig.family);
    EXPECT_EQ(rig.chip().lockBits, (std::array<bool, 3>{}));
    EXPECT_TRUE(m51WriteFlash(rig, image, true));
}

INSTANTIATE_TEST_SUITE_P(SimMcs51, Mcs51Locks,
                         ::testing::Values(LockCase{1, 1, {true, false, false}, false, true},
                                           LockCase{3, 2, {true, true, false}, false, false},
                                           LockCase{4, 1, {true, false, false}, false, true},
                                           LockCase{7, 3, {true, true, true}, false, false},
                                           LockCase{6, 1, {true, false, false}, false, true},
                                           LockCase{8, 2, {true, true, false}, false, false},
                                           LockCase{6, 3, {true, true, true}, false, false}));

TEST(SimMcs51, SerialPartsReadBackTheirLockBits) {
    for (int level = 0; level <= 3; ++level) {
        SimRig rig(8);  // 89S8252
        ASSERT_TRUE(m51WriteFlash(rig, {0x12}, true, level));
        EXPECT_EQ(M51ReadLockBits(rig.ctx), level);
    }
}

TEST(SimMcs51, TwentyPinPartsHaveNoLockBit3) {
    SimRig rig(3);
    rig.link.PrepareX051();
    rig.link.SetDataLines(0xFF);
    rig.link.WriteControlLatch(0x24);
    rig.link.PulseControlLow(1);
    rig.link.ReleaseTarget();
    EXPECT_EQ(rig.chip().lockBits, (std::array<bool, 3>{}));
    EXPECT_EQ(rig.board.protocolFaults().count(), 1u);
}

TEST(SimMcs51, SerialProgrammingFuseIsWrittenReadAndSurvivesErase) {
    SimRig rig(6);
    EXPECT_TRUE(rig.chip().serialProgramming);
    EXPECT_FALSE(S51WriteSerialFuse(rig.ctx, true));
    EXPECT_FALSE(rig.chip().serialProgramming);
    M51EraseChip(rig.ctx, rig.family);
    EXPECT_FALSE(rig.chip().serialProgramming);
    EXPECT_TRUE(S51WriteSerialFuse(rig.ctx, false));
    EXPECT_TRUE(rig.board.protocolFaults().empty());

    // A C part has no such fuse: the lines stay high and the pulse changes nothing.
    SimRig c51(4);
    EXPECT_TRUE(S51WriteSerialFuse(c51.ctx, true));
    EXPECT_EQ(c51.board.protocolFaults().count(), 2u);
}

}  // namespace
}  // namespace trilo::test
