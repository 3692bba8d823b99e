// The window's jobs through its handlers: a job opened into the controls and saved from them,
// the window's job chip after chip through the dialog between chips, and the protocol.
#include <gtest/gtest.h>

#include "devices/DeviceNames.h"
#include "presenter/Session.h"
#include "production/Production.h"
#include "support/FakePlatform.h"
#include "support/FakeView.h"
#include "support/SimRig.h"

namespace trilo::test {
namespace {

using C = Control;

class WindowJobs : public ::testing::Test {
protected:
    WindowJobs() {
        const Bytes image = pattern(300);
        dir.write("fw.bin", std::string(image.begin(), image.end()));
        s = std::make_unique<Session>(view, clock, machine, machine);
        EXPECT_TRUE(s->handle([&] { s->FormCreate(); }));
        view.log.clear();
    }
    void open(const std::string& body) {
        dir.write("job.trilo", "[JOB]\n" + body);
        view.dialogAnswers.push_back(dir.file("job.trilo"));
        s->handle([&] { s->mnuOpenJobClick(); });
    }

    TestDir dir;
    FakeView view;
    RecordingClock clock;
    SimMachine machine{dir.path().string()};
    std::unique_ptr<Session> s;
};

TEST_F(WindowJobs, OpenShowsTheJobAndSaveKeepsWhatTheWindowShows) {
    open("Device=90S2313\nFlash=fw.bin\nErase=0\nLockLevel=1\nFuses=FSTRT\nLog=log.csv\n");
    EXPECT_EQ(view.caption(C::txCpu), "90S2313");
    EXPECT_EQ(view.caption(C::txFile), dir.file("fw.bin"));
    EXPECT_FALSE(view.checked(C::mnuDM));
    EXPECT_TRUE(view.checked(C::chLB1));
    EXPECT_TRUE(view.checked(C::chD0));  // FSTRT
    EXPECT_FALSE(view.checked(C::chD5));
    EXPECT_EQ(view.jobName, "job.trilo");

    view.setChecked(C::chLB1, false);
    view.setChecked(C::chLB2, true);
    view.setChecked(C::chD5, true);
    view.dialogAnswers.push_back(dir.file("other"));
    s->handle([&] { s->mnuSaveJobClick(); });
    const JobSpec saved = readJobFile(dir.file("other.trilo"));
    EXPECT_EQ(saved.lockLevel, 2);
    EXPECT_EQ(saved.fuses, "SPIEN,FSTRT");
    EXPECT_FALSE(saved.erase);
    EXPECT_EQ(saved.logFile, dir.file("log.csv"));
    EXPECT_EQ(view.jobName, "other.trilo");
    EXPECT_TRUE(view.messages(FakeView::Kind::Error).empty());
}

TEST_F(WindowJobs, ARefusedJobChangesNothing) {
    s->selectDevice(deviceFromTypedName("89c2051")->id);
    open("Device=90S2313\nFlash=fw.bin\nFoo=1\n");
    EXPECT_EQ(view.messages(FakeView::Kind::Error),
              std::vector<std::string>{dir.file("job.trilo") + ":4: neznámý klíč „Foo“."});
    EXPECT_EQ(view.caption(C::txCpu), "89C2051");
    EXPECT_EQ(view.jobName, "");
}

TEST_F(WindowJobs, ChipAfterChipThroughTheDialogIntoTheProtocol) {
    open("Device=90S2313\nFlash=fw.bin\nSerial=flash:0x200:2:7\n");
    view.chipAnswers = {true, true, false};
    view.log.clear();
    s->runBusy([&] { s->mnuProductionClick(); });

    ASSERT_EQ(view.betweenChips.size(), 3u);
    EXPECT_EQ(view.betweenChips[0].counts, "Hotovo: 0 čipů, 0 dobrých, 0 vadných");
    EXPECT_EQ(view.betweenChips[0].nextSerial, 7u);
    // The dialog shows the steps of every chip as trilo-cli --dry-run prints them, and the board.
    EXPECT_EQ(
        view.betweenChips[0].plan,
        std::vector<std::string>{"1. Zápis FLASH: " + dir.file("fw.bin") +
                                 ", mazání předem, sériové číslo na 0x0200 (2 B), čtení zpět"});
    EXPECT_NE(view.betweenChips[0].board.find("Simulovaná deska"), std::string::npos);
    EXPECT_EQ(view.betweenChips[2].lastChips.size(), 2u);
    EXPECT_TRUE(view.betweenChips[2].lastChips[1].ends_with("SN 8"));
    EXPECT_EQ(view.betweenChips[2].nextSerial, 9u);
    EXPECT_EQ(view.messages(FakeView::Kind::Info),
              std::vector<std::string>{"Hotovo: 2 čipy, 2 dobré, 0 vadných"});
    EXPECT_EQ(dir.read("job.trilo.sn"), "9\n");
    // The run's job options were the run's: the window's own come back.
    EXPECT_TRUE(view.checked(C::mnuDM));

    view.saveProtocol = true;
    view.dialogAnswers.push_back(dir.file("run"));
    s->handle([&] { s->mnuProtocolClick(); });
    const std::string saved = dir.read("run.csv");
    EXPECT_EQ(saved, view.protocolShown);
    EXPECT_EQ(saved.rfind(csvHeader(), 0), 0u);
    // Each chip's row after the rows of its commands; the image grew to the number's place.
    EXPECT_NE(saved.find(",job.trilo,90S2313,,OK,Zápis FLASH,\"Zápis FLASH: 514 B, ověřeno"),
              std::string::npos)
        << saved;
    EXPECT_NE(saved.find(",job.trilo,90S2313,1E 91 01,OK,,,,0x"), std::string::npos) << saved;
    EXPECT_NE(saved.find(",8,"), std::string::npos) << saved;
}

}  // namespace
}  // namespace trilo::test
