#include <gtest/gtest.h>

#include <filesystem>

#include "commands/Commands.h"
#include "presenter/Handlers.h"
#include "support/SessionFixture.h"
#include "support/SimRig.h"

namespace trilo::test {
namespace {

using Gauge = std::vector<int>;

TEST(OpsProgress, WholePercentsHalvesToEven) {
    SimRig avr(15);
    avrWriteFlash(avr, pattern(8), true);  // 4 words: the share already written
    EXPECT_EQ(avr.sink.gauge, (Gauge{0, 25, 50, 75, 0}));
    avr.sink.gauge.clear();
    avrReadFlash(avr, 8);
    EXPECT_EQ(avr.sink.gauge, (Gauge{12, 25, 38, 50, 62, 75, 88, 100, 0}));
    avr.sink.gauge.clear();
    avrReadEeprom(avr, 4);
    EXPECT_EQ(avr.sink.gauge, (Gauge{25, 50, 75, 100, 0}));

    SimRig m51(4);
    m51WriteFlash(m51, pattern(4), true);  // MCS-51: the byte being written
    EXPECT_EQ(m51.sink.gauge, (Gauge{25, 50, 75, 100, 0}));
}

TEST(OpsEdges, NothingToDoStillEntersWritesTheLockAndReleases) {
    SimRig avr(10);
    avrReadFlash(avr, 0);  // FlashSize 0: an empty buffer
    EXPECT_TRUE(avr.buffer().empty());
    EXPECT_TRUE(avrBlankCheck(avr, 0));
    EXPECT_TRUE(avrWriteFlash(avr, {}, true, 2));  // an empty file: only the lock bits
    EXPECT_EQ(avr.chip().lockBits, (std::array<bool, 3>{true, true, false}));
    avr.open({});
    EXPECT_TRUE(AvrVerifyFlash(avr.ctx).same());

    SimRig m51(6);
    EXPECT_TRUE(m51BlankCheck(m51, 0));
    EXPECT_TRUE(m51WriteFlash(m51, {}, true, 1));
    EXPECT_EQ(m51.chip().lockBits, (std::array<bool, 3>{true, false, false}));
    EXPECT_EQ(m51VerifyFlash(m51, {}), kVerifyOk);
    for (SimRig* rig : {&avr, &m51}) {
        EXPECT_TRUE(rig->board.protocolFaults().empty());
        EXPECT_EQ(rig->board.controlByte(), 0xC0);
    }
}

TEST(OpsEdges, AnOddAvrFileEndsInAWordWhoseLowByteIsErased) {
    SimRig rig(10);
    EXPECT_TRUE(avrWriteFlash(rig, {0x12, 0x34, 0x56}, true));
    EXPECT_EQ(rig.chip().flashWord(1), 0x56FF);
    rig.open({0x12, 0x34, 0x56});
    EXPECT_TRUE(AvrVerifyFlash(rig.ctx).same());
    // An odd size reads whole words only.
    AvrReadFlash(rig.ctx, 3);
    EXPECT_EQ(rig.buffer(), (Bytes{0x12, 0x34}));
}

TEST(OpsEdges, Mcs51VerifyKeepsTheGaugeAtTheFailingByteUntilTheMessageCloses) {
    SimRig rig(5);
    const Bytes image = pattern(1000);
    ASSERT_TRUE(m51WriteFlash(rig, image, true));
    Bytes changed = image;
    changed[299] ^= 0x40;
    rig.sink.events.clear();
    EXPECT_EQ(m51VerifyFlash(rig, changed), std::string(kVerifyFailed) + "300");
    const std::vector<std::string> tail(rig.sink.events.end() - 3, rig.sink.events.end());
    EXPECT_EQ(tail, (std::vector<std::string>{
                        "gauge 30", std::string("info ") + kVerifyFailed + "300", "gauge 0"}));
}

TEST(OpsEdges, APollLimitOfOneJudgesTheFirstRead) {
    SimRig rig(4);
    rig.link.PollLimit = 1;
    rig.board.setBusyReads(0);
    EXPECT_TRUE(m51WriteFlash(rig, {0x5A, 0xA5}, true));
    EXPECT_EQ(rig.tap.dataReads, (Bytes{0x5A, 0xA5}));
    rig.board.setBusyReads(2);
    EXPECT_FALSE(m51WriteFlash(rig, {0x5A, 0xA5}, true));  // still busy at its only read
}

using Handler = void (*)(Session&);

class OpsSession : public SessionFixture {};

TEST_F(OpsSession, AnUnusablePortRefusesEveryCommandBeforeItTouchesAnything) {
    start();
    dir.write("data.bin", "\x12\x34");
    session->engine().files().CurrentFile = dir.file("data.bin");
    platform.port->usable = false;
    platform.port->statusText = "port gone";
    for (Handler h : {&btnReadClick, &btnWriteClick, &btnEraseClick, &btnVerifyClick,
                      &btnReadLBClick, &btnReadFuseClick, &btnWrFuseClick, &btnReaEEClick,
                      &btnWriEEClick, &btnReadSClick, &btnWriteSClick}) {
        session->selectDevice(h == &btnReadSClick || h == &btnWriteSClick ? 6 : 10);
        platform.port->accesses.clear();
        view.log.clear();
        EXPECT_FALSE(session->handle([&] { h(*session); }));
        EXPECT_EQ(view.messages(FakeView::Kind::Error),
                  std::vector<std::string>{"LPT1: port gone."});
        EXPECT_TRUE(platform.port->accesses.empty());
    }
}

TEST_F(OpsSession, AFileThatFailsMidOperationLeavesTheBoardAtRestAndNoHandleOpen) {
    start();
    session->selectDevice(4);  // an 89C51 read enters read mode before it creates the buffer
    session->engine().set(Setting::CheckSignature, false);
    std::filesystem::create_directory(session->engine().files().BufferFile);
    EXPECT_FALSE(session->handle([&] { btnReadClick(*session); }));
    EXPECT_EQ(view.messages(FakeView::Kind::Error).size(), 1u);
    EXPECT_EQ(session->engine().board().link().LastControlByte, 0xC0);
    EXPECT_EQ(platform.port->writesTo(kLpt1Base).back(), 0x00);
    EXPECT_FALSE(session->engine().files().DataFile.isOpen());
    EXPECT_FALSE(view.enabled(Control::mnuSave));
}

}  // namespace
}  // namespace trilo::test
