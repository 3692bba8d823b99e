#include <gtest/gtest.h>

#include <algorithm>

#include "sim/AvrChip.h"
#include "support/SimRig.h"

namespace trilo::test {
namespace {

// The word the chip must hold for word w of a flash image (high byte first in the file).
std::uint16_t imageWord(const Bytes& image, int w) {
    return static_cast<std::uint16_t>((image[2 * w] << 8) | image[2 * w + 1]);
}

class EveryAvr : public ::testing::TestWithParam<std::int32_t> {};

TEST_P(EveryAvr, WritesReadsBackErasesAndChecksBlank) {
    SimRig rig(GetParam());
    const int words = rig.device.flashSize / 2;
    const Bytes image = pattern(static_cast<std::size_t>(rig.device.flashSize));

    ASSERT_TRUE(avrWriteFlash(rig, image, true));
    for (int w : {0, 1, words / 2, words - 1}) {
        EXPECT_EQ(rig.chip().flashWord(w), imageWord(image, w)) << "word " << w;
    }
    EXPECT_EQ(avrReadFlash(rig, words), image);

    const Bytes data = pattern(static_cast<std::size_t>(rig.device.eepromSize), 3);
    avrWriteEeprom(rig, data);
    EXPECT_EQ(rig.chip().eeprom, data);
    EXPECT_EQ(avrReadEeprom(rig, rig.device.eepromSize), data);

    EXPECT_FALSE(avrBlankCheck(rig, words));
    AvrEraseChip(rig.ctx);
    EXPECT_TRUE(avrBlankCheck(rig, words));
    EXPECT_EQ(avrReadEeprom(rig, rig.device.eepromSize), Bytes(data.size(), 0xFF));
    EXPECT_TRUE(rig.board.protocolFaults().empty()) << rig.board.protocolFaults().list().front();
}

INSTANTIATE_TEST_SUITE_P(SimAvr, EveryAvr, ::testing::Values(9, 10, 11, 12, 13, 14, 15, 16, 17, 18),
                         [](const auto& info) {
                             return std::string(findDevice(info.param)->name);
                         });

TEST(SimAvr, WordsAcross256WordBoundariesLandAtTheirOwnAddress) {
    SimRig rig(15);  // 90S8515, 4096 words
    Bytes image(1028);
    for (int w = 0; w < 514; ++w) {
        image[2 * w] = static_cast<std::uint8_t>(0x80 | (w >> 8));  // high byte: the page
        image[2 * w + 1] = static_cast<std::uint8_t>(w & 0xFF);     // low byte: the offset
    }
    ASSERT_TRUE(avrWriteFlash(rig, image, false));
    // A lost high address byte would fold word 256 onto word 0 and 512 onto 0 again.
    const struct {
        int word;
        std::uint16_t held;
    } cases[] = {{0, 0x8000},   {255, 0x80FF}, {256, 0x8100}, {257, 0x8101},
                 {511, 0x81FF}, {512, 0x8200}, {513, 0x8201}, {514, 0xFFFF}};
    for (const auto& c : cases) {
        EXPECT_EQ(rig.chip().flashWord(c.word), c.held) << "word " << c.word;
    }
    const Bytes back = avrReadFlash(rig, 514);
    EXPECT_EQ(back, image);
}

TEST(SimAvr, EepromAddressesAbove255) {
    SimRig rig(15);  // 512 bytes of EEPROM
    Bytes data(512);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<std::uint8_t>(i < 256 ? 0x11 : 0x22 + (i & 0x0F));
    }
    avrWriteEeprom(rig, data);
    EXPECT_EQ(rig.chip().eeprom[0], 0x11);
    EXPECT_EQ(rig.chip().eeprom[300], 0x22 + (300 & 0x0F));
    EXPECT_EQ(rig.chip().eeprom[511], 0x22 + 0x0F);
    EXPECT_EQ(avrReadEeprom(rig, 512), data);
}

TEST(SimAvr, FlashProgrammedWithoutEraseKeepsOnlyBitsBothWritesLeft) {
    SimRig rig(10);
    ASSERT_TRUE(avrWriteFlash(rig, {0x0F, 0x0F}, true));
    // Bits can only be cleared: 0x0F0F then 0x3355 leaves 0x0305, and the read-back fails.
    EXPECT_FALSE(avrWriteFlash(rig, {0x33, 0x55}, true));
    EXPECT_EQ(rig.chip().flashWord(0), 0x0305);
    AvrEraseChip(rig.ctx);
    EXPECT_TRUE(avrWriteFlash(rig, {0x33, 0x55}, true));
    EXPECT_EQ(rig.chip().flashWord(0), 0x3355);
}

TEST(SimAvr, EepromByteWriteErasesTheByteItself) {
    // The EEPROM's self-timed write erases the byte first: no chip erase between writes.
    SimRig rig(10);
    avrWriteEeprom(rig, {0x0F, 0xA5});
    avrWriteEeprom(rig, {0xF0, 0x5A});
    EXPECT_EQ(avrReadEeprom(rig, 2), (Bytes{0xF0, 0x5A}));
}

// Readings after command 0x04 with 0x14 (BS1 high) and 0x04 (BS1 low): lock and fuse readings
// of a new chip, the fuse reading after a fuse write, the lock reading after that and lock
// level 1, and the lock reading of a new chip after lock level 2.
struct FuseLockCase {
    std::int32_t id;
    std::uint8_t lockReadControl, fuseReadControl;
    std::uint8_t lockNew, lockLevel1, lockLevel2;
    std::uint8_t fuseNew, fuseWritten, fuseAfter;
};

class FuseLockPositions : public ::testing::TestWithParam<FuseLockCase> {};

TEST_P(FuseLockPositions, ShowWhereTheDeviceReadsThem) {
    const FuseLockCase& c = GetParam();
    {
        SimRig rig(c.id);
        EXPECT_EQ(AvrReadFuses(rig.ctx, c.lockReadControl), c.lockNew);
        EXPECT_EQ(AvrReadFuses(rig.ctx, c.fuseReadControl), c.fuseNew);
        const auto& boxes = rig.device.fuses;
        if (std::any_of(boxes.begin(), boxes.end(), [](const char* f) { return f != nullptr; })) {
            AvrWriteFuses(rig.ctx, c.fuseWritten);
        }
        EXPECT_EQ(AvrReadFuses(rig.ctx, c.fuseReadControl), c.fuseAfter);
        AvrWriteLockBits(rig.ctx, 1);
        EXPECT_EQ(AvrReadFuses(rig.ctx, c.lockReadControl), c.lockLevel1);
        EXPECT_TRUE(rig.board.protocolFaults().empty());
    }
    SimRig rig(c.id);
    AvrWriteLockBits(rig.ctx, 2);
    EXPECT_EQ(AvrReadFuses(rig.ctx, c.lockReadControl), c.lockLevel2);
}

INSTANTIATE_TEST_SUITE_P(
    SimAvr, FuseLockPositions,
    ::testing::Values(
        // One byte with BS1 high: lock bit 1 at bit 7, lock bit 2 at bit 6, SPIEN bit 5,
        // FSTRT / RCEN bit 0. SPIEN comes programmed.
        FuseLockCase{10, 0x14, 0x14, 0xDF, 0x5E, 0x1F, 0xDF, 0xC0, 0xDE},  // 90S2313
        FuseLockCase{9, 0x14, 0x14, 0xDF, 0x7E, 0x1F, 0xDF, 0xFE, 0xFE},   // 90S1200
        FuseLockCase{15, 0x14, 0x14, 0xDF, 0x7F, 0x1F, 0xDF, 0xFF, 0xFF},  // 90S8515
        FuseLockCase{12, 0x14, 0x14, 0xDF, 0x5E, 0x1F, 0xDF, 0xDE, 0xDE},  // 90S4414
        FuseLockCase{14, 0x14, 0x14, 0xDF, 0x7E, 0x1F, 0xDF, 0x3E, 0xFE},  // 90S4434
        FuseLockCase{16, 0x14, 0x14, 0xDF, 0x7E, 0x1F, 0xDF, 0xFE, 0xFE},  // 90S8535
        FuseLockCase{18, 0x14, 0x14, 0xFF, 0x7F, 0x3F, 0xFF, 0xFF, 0xFF},  // 90S8534
        // Fuses with BS1 low at bits 5..0 (ATtiny28 4..0), lock bits with BS1 high at 1, 2.
        FuseLockCase{13, 0x14, 0x04, 0xFF, 0xFD, 0xF9, 0xDA, 0xC0, 0xC0},   // 90S4433
        FuseLockCase{11, 0x14, 0x04, 0xFF, 0xFD, 0xF9, 0xDA, 0xEA, 0xEA},   // 90S2333
        FuseLockCase{17, 0x14, 0x04, 0xFF, 0xFD, 0xF9, 0xF2, 0xC0, 0xE0}),  // ATtiny28
    [](const auto& info) { return std::string(findDevice(info.param.id)->name); });

TEST(SimAvr, LockBitsForbidProgrammingAndThenReading) {
    SimRig rig(12);  // 90S4414
    const Bytes image = pattern(8);
    ASSERT_TRUE(avrWriteFlash(rig, image, true));
    avrWriteEeprom(rig, {0x42});

    AvrWriteLockBits(rig.ctx, 1);
    // Lock bit 1: flash, EEPROM and fuses stay as they were; reading still works.
    EXPECT_FALSE(avrWriteFlash(rig, Bytes(8, 0x00), true));
    avrWriteEeprom(rig, {0x00});
    AvrWriteFuses(rig.ctx, 0xDE);
    EXPECT_EQ(rig.chip().flashWord(0), imageWord(image, 0));
    EXPECT_EQ(rig.chip().eeprom[0], 0x42);
    EXPECT_EQ(rig.chip().fuses, 0xDF);
    EXPECT_EQ(avrReadFlash(rig, 4), image);

    // Lock bits 1 and 2: reads show a fixed value, never the contents, never blank.
    AvrWriteLockBits(rig.ctx, 2);
    EXPECT_EQ(avrReadFlash(rig, 4), Bytes(8, kLockedReadValue));
    EXPECT_EQ(avrReadEeprom(rig, 1), Bytes{kLockedReadValue});
    EXPECT_FALSE(avrBlankCheck(rig, 4));

    // Only an erase clears the lock bits; it keeps the fuses.
    AvrEraseChip(rig.ctx);
    EXPECT_EQ(rig.chip().lockBits, (std::array<bool, 3>{}));
    EXPECT_EQ(rig.chip().fuses, 0xDF);
    EXPECT_TRUE(avrWriteFlash(rig, image, true));
    EXPECT_TRUE(rig.board.protocolFaults().empty());
}

TEST(SimAvr, EraseNeedsAPulseOfTenMilliseconds) {
    SimRig rig(10);
    ASSERT_TRUE(avrWriteFlash(rig, {0x00, 0x00}, true));
    // The erase command with a pulse 1 ms short.
    rig.link.EnterAvrProgramming();
    rig.link.LoadCommand(0x80);
    rig.link.PulseControlLow(9);
    rig.link.ReleaseTarget();
    EXPECT_EQ(rig.chip().flashWord(0), 0x0000);
    ASSERT_EQ(rig.board.protocolFaults().count(), 1u);
    EXPECT_NE(rig.board.protocolFaults().list()[0].find("erase pulse"), std::string::npos);
    AvrEraseChip(rig.ctx);
    EXPECT_EQ(rig.chip().flashWord(0), 0xFFFF);
}

TEST(SimAvr, WriteIsBusyForTheSetNumberOfStatusReads) {
    SimRig rig(10);
    rig.board.setBusyReads(5);
    ASSERT_TRUE(avrWriteFlash(rig, {0x12, 0x34}, false));
    // Low byte and high byte: five busy reads each, then the ready one.
    Bytes expected(12, 0xFF);
    expected[5] = expected[11] = 0xF7;
    EXPECT_EQ(rig.tap.statusReads, expected);
    EXPECT_EQ(rig.chip().flashWord(0), 0x1234);

    // A poll limit shorter than the busy time makes the next pulse land while busy: the
    // high byte is lost, as it would be on silicon, and the board says why.
    rig.link.PollLimit = 2;
    AvrEraseChip(rig.ctx);
    EXPECT_FALSE(avrWriteFlash(rig, {0x12, 0x34}, true));
    EXPECT_EQ(rig.chip().flashWord(0), 0xFF34);
    EXPECT_FALSE(rig.board.protocolFaults().empty());
}

}  // namespace
}  // namespace trilo::test
