#include <gtest/gtest.h>

#include "support/SimRig.h"

namespace trilo::test {
namespace {

TEST(SimBoard, StatusNamesThePortAndTheChipAndSaysItIsSimulated) {
    RecordingClock clock;
    auto board = std::make_unique<SimulatedBoard>(clock);
    PortLayer* layer = board.get();
    EXPECT_EQ(layer->status(kLpt1Base).text, "LPT1: Simulovaná deska, patice je prázdná");
    board->selectDevice(10);
    EXPECT_EQ(layer->status(kLpt1Base).text, "LPT1: Simulovaná deska, v patici 90S2313");
    EXPECT_EQ(layer->status(kLpt2Base).text, "LPT2: Simulovaná deska, v patici 90S2313");
    EXPECT_TRUE(layer->status(kLpt2Base).usable);
    EXPECT_TRUE(layer->status(kLpt2Base).simulated);
    EXPECT_FALSE(layer->status(0x3BC).usable);
}

TEST(SimBoard, EachDeviceKeepsItsOwnChipForTheWholeRun) {
    SimRig rig(10);
    ASSERT_TRUE(avrWriteFlash(rig, {0x12, 0x34}, true));
    rig.board.selectDevice(4);
    ASSERT_TRUE(m51WriteFlash(rig, {0x56}, true));
    rig.board.selectDevice(10);
    EXPECT_EQ(avrReadFlash(rig, 1), (Bytes{0x12, 0x34}));
    rig.board.selectDevice(4);
    EXPECT_EQ(rig.board.chip(4).flash[0], 0x56);
}

TEST(SimBoard, BoardAnswersOnLpt2AsOnLpt1) {
    SimRig rig(15);
    rig.link.PortBase = kLpt2Base;
    ASSERT_TRUE(avrWriteFlash(rig, {0xAB, 0xCD}, true));
    EXPECT_EQ(rig.chip().flashWord(0), 0xABCD);
    EXPECT_TRUE(rig.board.protocolFaults().empty());
}

TEST(SimBoard, LatchTakesTheLastEightBitsOnlyOnEdges) {
    RecordingClock clock;
    SimulatedBoard board(clock);
    const std::uint16_t control = kLpt1Base + 2;
    board.out(control, 0x0B);
    for (int bit = 0; bit < 8; ++bit) {
        const std::uint8_t c = bit == 0 || bit == 7 ? 0x09 : 0x0B;  // 0x81
        // Repeated writes of the same value are no edges and shift nothing more.
        board.out(control, c);
        board.out(control, c + 4);
        board.out(control, c + 4);
        board.out(control, c);
        board.out(control, c);
    }
    board.out(control, 0x0A);
    board.out(control, 0x0A);
    EXPECT_EQ(board.controlByte(), 0x81);
    EXPECT_TRUE(board.protocolFaults().empty());

    // Seven bits: a load the link never makes.
    board.out(control, 0x0B);
    for (int bit = 0; bit < 7; ++bit) {
        board.out(control, 0x0F);
        board.out(control, 0x0B);
    }
    board.out(control, 0x0A);
    EXPECT_EQ(board.protocolFaults().count(), 1u);
}

TEST(SimBoard, AccessesOutsideTheBoardsRegistersAreFaults) {
    RecordingClock clock;
    SimulatedBoard board(clock);
    board.out(0x0002, 0x0A);
    EXPECT_EQ(board.in(0x0000), 0xFF);
    board.out(kLpt1Base + 1, 0x00);
    EXPECT_EQ(board.protocolFaults().count(), 3u);
}

TEST(SimBoardFaults, EmptySocketReadsPullUpsAndIsNeverBusy) {
    SimRig rig(15);
    rig.board.forceSocket(0);
    rig.board.selectDevice(4);  // the program selecting another device does not fill it
    EXPECT_EQ(rig.board.socket(), nullptr);
    EXPECT_EQ(avrReadFlash(rig, 2), Bytes(4, 0xFF));
    EXPECT_FALSE(avrWriteFlash(rig, {0x12, 0x34}, true));
    EXPECT_EQ(rig.tap.statusReads, Bytes(2, 0xF7));
    EXPECT_TRUE(rig.board.protocolFaults().empty());

    rig.board.followSelection();
    EXPECT_EQ(rig.board.socket(), &rig.board.chip(4));
}

TEST(SimBoardFaults, BusyLineThatNeverDropsRunsEveryPollToItsLimit) {
    SimRig rig(10);
    rig.board.holdBusy(true);
    rig.link.PollLimit = 40;
    ASSERT_TRUE(avrWriteFlash(rig, {0x12, 0x34}, true));
    EXPECT_EQ(rig.tap.statusReads, Bytes(80, 0xFF));
    EXPECT_EQ(rig.chip().flashWord(0), 0x1234);
}

TEST(SimBoardFaults, StuckDataLineShowsInReadsAndCorruptsWrites) {
    const struct {
        int line;
        bool level;
        Bytes read;
    } cases[] = {{3, true, {0x08, 0xFF}},
                 {3, false, {0x00, 0xF7}},
                 {7, true, {0x80, 0xFF}},
                 {0, false, {0x00, 0xFE}}};
    for (const auto& c : cases) {
        SimRig rig(4);
        rig.chip().flash[0] = 0x00;
        rig.board.stickDataLine(c.line, c.level);
        EXPECT_EQ(m51ReadFlash(rig, 2), c.read) << "line " << c.line << " at " << c.level;

        // On an AVR the line carries addresses too: words 0 and 1 are one word.
        SimRig avr(15);
        avr.board.stickDataLine(c.line, c.level);
        EXPECT_FALSE(avrWriteFlash(avr, pattern(4), true))
            << "line " << c.line << " at " << c.level;
    }
}

TEST(SimBoardFaults, ByteThatWillNotProgramFailsTheReadBack) {
    SimRig avr(13);
    avr.chip().refuseToProgram(Memory::Flash, 2 * 5 + 1);  // the high byte of word 5
    const Bytes image = pattern(20);
    EXPECT_FALSE(avrWriteFlash(avr, image, true));
    EXPECT_EQ(avr.chip().flashWord(4), (image[8] << 8) | image[9]);
    EXPECT_EQ(avr.chip().flashWord(5), 0xFF00 | image[11]);
    EXPECT_EQ(avr.chip().flashWord(6), 0xFFFF);

    SimRig m51(7);
    m51.chip().refuseToProgram(Memory::Flash, 3);
    m51.link.PollLimit = 25;
    EXPECT_FALSE(m51WriteFlash(m51, {0x00, 0x01, 0x02, 0x03, 0x04}, true));
    EXPECT_EQ(m51.chip().flash[2], 0x02);
    EXPECT_EQ(m51.chip().flash[3], 0xFF);
    EXPECT_EQ(m51.chip().flash[4], 0xFF);
    EXPECT_EQ(m51.tap.dataReads.size(), 3u + 25u);
}

TEST(SimBoardFaults, ChipOfTheOtherFamilyIsLeftUnchangedAndTheBoardSaysWhy) {
    SimRig rig(15);            // 90S8515 selected
    rig.board.forceSocket(4);  // an 89C51 in the socket
    rig.board.chip(4).flash[0] = 0x42;
    EXPECT_FALSE(avrWriteFlash(rig, {0x00, 0x00}, true));
    EXPECT_EQ(rig.board.chip(4).flash[0], 0x42);
    EXPECT_FALSE(rig.board.protocolFaults().empty());

    SimRig other(4);              // 89C51 selected
    other.board.forceSocket(15);  // a 90S8515 in the socket
    other.board.chip(15).setFlashWord(0, 0x1234);
    EXPECT_EQ(m51ReadFlash(other, 2), Bytes(2, 0xFF));
    EXPECT_FALSE(m51WriteFlash(other, {0x00}, true));
    EXPECT_EQ(other.board.chip(15).flashWord(0), 0x1234);
    EXPECT_FALSE(other.board.protocolFaults().empty());
}

}  // namespace
}  // namespace trilo::test
