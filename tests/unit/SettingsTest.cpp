#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>

#include "link/PortLayer.h"
#include "settings/Settings.h"
#include "support/KernelTree.h"
#include "support/SessionFixture.h"

namespace trilo::test {
namespace {

// ---- Integers as the settings file stores them ------------------------------------------

struct IntegerCase {
    const char* text;
    std::optional<std::int32_t> value;
};

class SettingsInteger : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(SettingsInteger, Parses) {
    EXPECT_EQ(parseSettingsInteger(GetParam().text), GetParam().value) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Values, SettingsInteger,
    ::testing::Values(IntegerCase{"800", 800}, IntegerCase{"0x400", 1024}, IntegerCase{"0X1f", 31},
                      IntegerCase{"$400", 1024}, IntegerCase{" 12", 12}, IntegerCase{"\t 7", 7},
                      IntegerCase{"-5", -5}, IntegerCase{"+9", 9},
                      IntegerCase{"12abc", std::nullopt}, IntegerCase{"", std::nullopt},
                      IntegerCase{"   ", std::nullopt}, IntegerCase{"0x", std::nullopt},
                      IntegerCase{"$", std::nullopt}, IntegerCase{"abc", std::nullopt},
                      IntegerCase{"1.5", std::nullopt}, IntegerCase{"2147483647", 2147483647},
                      IntegerCase{"2147483648", std::nullopt},
                      IntegerCase{"-2147483648", INT32_MIN}, IntegerCase{"$FFFFFFFF", -1},
                      IntegerCase{"$100000000", std::nullopt}, IntegerCase{"0", 0}));

// ---- Reading and writing through the session --------------------------------------------

using Settings = SessionFixture;

constexpr const char* kDefaults =
    "[SETUP_PRG]\nPort=LPT1\nCycle=800\nVerMemm=1\nDelMemm=1\ninFile=1\ninCpu=1\n\n"
    "[RUN_PRG]\nCPU=2\nFile=\n";

TEST_F(Settings, FileWrittenFromNothingHoldsTheEightKeysInOrder) {
    start();
    EXPECT_TRUE(startedCleanly);
    EXPECT_EQ(ini(), kDefaults);
    EXPECT_EQ(session->engine().options().SettingsPath, dir.file("programmer.ini"));
    EXPECT_EQ(session->engine().board().link().PortBase, 0x378);
    EXPECT_EQ(session->engine().board().link().PollLimit, 800);
    for (Control item :
         {Control::mnuDM, Control::mnuCP, Control::mnuFL, Control::mnuDL, Control::mnuLPT1}) {
        EXPECT_TRUE(view.checked(item));
    }
    EXPECT_FALSE(view.checked(Control::mnuLPT2));
    EXPECT_EQ(session->engine().files().CurrentFile, "");
    // The stored-device default: the 89C2051.
    EXPECT_EQ(session->engine().selection().DeviceId, 2);
    EXPECT_EQ(view.caption(Control::txCpu), "89C2051");
    EXPECT_EQ(view.caption(Control::txTyp), "X051");
}

TEST_F(Settings, NamesMatchWithoutRegardToCaseAndKeepTheirSpelling) {
    start("[setup_prg]\nPORT=LPT2\ncycle=100\n[Run_Prg]\ncpu=15\nfile=/data/a.bin\n");
    EXPECT_EQ(session->engine().options().PortName, "LPT2");
    EXPECT_EQ(session->engine().board().link().PollLimit, 100);
    EXPECT_EQ(session->engine().selection().DeviceId, 15);
    EXPECT_EQ(session->engine().files().CurrentFile, "/data/a.bin");
    const std::string text = ini();
    // The existing keys were rewritten in place, not added a second time.
    EXPECT_NE(text.find("[setup_prg]\nPORT=LPT2\ncycle=100\n"), std::string::npos) << text;
    EXPECT_NE(text.find("[Run_Prg]\ncpu=15\nfile=/data/a.bin\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("[SETUP_PRG]"), std::string::npos) << text;
    EXPECT_EQ(text.find("Cycle="), std::string::npos) << text;
}

TEST_F(Settings, UnknownKeysAndCommentsStayInPlace) {
    start(
        "; programmer settings\n[SETUP_PRG]\nPort=LPT1\n; my own poll limit\nCycle=900\n"
        "Colour=blue\nVerMemm=1\n[Mine]\nx=1\n[RUN_PRG]\nCPU=10\n");
    const std::string text = ini();
    EXPECT_EQ(text.rfind("; programmer settings\n", 0), 0u) << text;
    const auto comment = text.find("; my own poll limit\nCycle=900\n");
    const auto colour = text.find("Colour=blue\n");
    const auto port = text.find("Port=LPT1\n");
    ASSERT_NE(comment, std::string::npos) << text;
    ASSERT_NE(colour, std::string::npos) << text;
    EXPECT_LT(port, comment);
    EXPECT_LT(comment, colour);
    EXPECT_NE(text.find("[Mine]\nx=1\n"), std::string::npos) << text;
    // Keys the file lacked join the end of their section.
    EXPECT_LT(text.find("VerMemm=1"), text.find("DelMemm=1"));
    EXPECT_LT(text.find("DelMemm=1"), text.find("[Mine]"));
}

struct CycleCase {
    const char* stored;
    std::int32_t pollLimit;
    const char* written;
};

class SettingsCycle : public SessionFixture, public ::testing::WithParamInterface<CycleCase> {};

TEST_P(SettingsCycle, IsReadAndWrittenBackInDecimal) {
    start(std::string("[SETUP_PRG]\nCycle=") + GetParam().stored + "\n");
    EXPECT_EQ(session->engine().board().link().PollLimit, GetParam().pollLimit);
    EXPECT_NE(ini().find(std::string("Cycle=") + GetParam().written + "\n"), std::string::npos)
        << ini();
}

INSTANTIATE_TEST_SUITE_P(Values, SettingsCycle,
                         ::testing::Values(CycleCase{"0x400", 1024, "1024"},
                                           CycleCase{"$400", 1024, "1024"},
                                           CycleCase{" 12", 12, " 12"},
                                           CycleCase{"12abc", 800, "800"},
                                           CycleCase{"", 800, "800"}, CycleCase{"0", 0, "0"},
                                           CycleCase{"-3", -3, "-3"}));

struct FlagCase {
    const char* stored;
    bool value;
    const char* written;
};

class SettingsFlag : public SessionFixture, public ::testing::WithParamInterface<FlagCase> {};

TEST_P(SettingsFlag, IsTrueForAnyIntegerButZero) {
    start(std::string("[SETUP_PRG]\nVerMemm=") + GetParam().stored + "\n");
    EXPECT_EQ(session->engine().options().AutoVerify, GetParam().value);
    EXPECT_EQ(view.checked(Control::mnuDL), GetParam().value);
    EXPECT_NE(ini().find(std::string("VerMemm=") + GetParam().written + "\n"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Values, SettingsFlag,
                         ::testing::Values(FlagCase{"yes", true, "1"}, FlagCase{"2", true, "1"},
                                           FlagCase{"0", false, "0"}, FlagCase{"-1", true, "1"},
                                           FlagCase{"0x0", false, "0"}, FlagCase{"", true, "1"}));

TEST_F(Settings, RememberCpuOffStartsWithNoDeviceAndForgetsTheStoredOne) {
    start("[SETUP_PRG]\ninCpu=0\nVerMemm=1\n[RUN_PRG]\nCPU=15\n");
    EXPECT_EQ(session->engine().selection().DeviceId, 0);
    EXPECT_FALSE(view.checked(Control::mnuCP));
    EXPECT_TRUE(view.checked(Control::mnuDL));
    EXPECT_NE(ini().find("CPU=0\n"), std::string::npos);
}

TEST_F(Settings, RememberFileOffClearsTheStoredFile) {
    start("[SETUP_PRG]\ninFile=0\n[RUN_PRG]\nFile=/data/old.bin\n");
    EXPECT_EQ(session->engine().files().CurrentFile, "");
    EXPECT_EQ(view.caption(Control::txFile), "");
    EXPECT_NE(ini().find("File=\n"), std::string::npos);
}

TEST_F(Settings, StoredFileIsShownWithoutCheckingItExists) {
    start("[RUN_PRG]\nFile=/nowhere/chip.bin\n");
    EXPECT_EQ(session->engine().files().CurrentFile, "/nowhere/chip.bin");
    EXPECT_EQ(view.caption(Control::txFile), "/nowhere/chip.bin");
}

struct PortCase {
    const char* stored;
    std::int32_t portBase;
    std::uint16_t driven;
    bool lpt1Marked;
    bool lpt2Marked;
};

class SettingsPort : public SessionFixture, public ::testing::WithParamInterface<PortCase> {};

TEST_P(SettingsPort, IsMarkedDrivenAndWrittenBackUnchanged) {
    start(std::string("[SETUP_PRG]\nPort=") + GetParam().stored + "\n");
    EXPECT_EQ(session->engine().board().link().PortBase, GetParam().portBase);
    EXPECT_EQ(session->engine().board().link().base(), GetParam().driven);
    EXPECT_EQ(view.checked(Control::mnuLPT1), GetParam().lpt1Marked);
    EXPECT_EQ(view.checked(Control::mnuLPT2), GetParam().lpt2Marked);
    EXPECT_NE(ini().find(std::string("Port=") + GetParam().stored + "\n"), std::string::npos)
        << ini();
    // The start-up's first writes go to the port that is driven, never to address 0.
    ASSERT_NE(platform.port, nullptr);
    for (const Access& a : platform.port->accesses) {
        if (a.kind != Access::Kind::Ignite) {
            EXPECT_GE(a.port, GetParam().driven);
            EXPECT_LE(a.port, GetParam().driven + 2);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Values, SettingsPort,
                         ::testing::Values(PortCase{"LPT1", 0x378, 0x378, true, false},
                                           PortCase{"LPT2", 0x278, 0x278, false, true},
                                           PortCase{"lpt2", 0, 0x378, true, false},
                                           PortCase{"COM1", 0, 0x378, true, false},
                                           PortCase{"", 0, 0x378, true, false}));

TEST_F(Settings, OptionItemsToggleOnlyTheirOwnFlag) {
    start();
    struct Item {
        void (Session::*click)();
        Control mark;
        const char* key;
        bool RunOptions::*flag;
    };
    const Item items[] = {
        {&Session::mnuDMClick, Control::mnuDM, "DelMemm=", &RunOptions::AutoErase},
        {&Session::mnuCPClick, Control::mnuCP, "inCpu=", &RunOptions::RememberCpu},
        {&Session::mnuFLClick, Control::mnuFL, "inFile=", &RunOptions::RememberFile},
        {&Session::mnuDLClick, Control::mnuDL, "VerMemm=", &RunOptions::AutoVerify}};
    for (const Item& item : items) {
        (session.get()->*item.click)();
        EXPECT_FALSE(session->engine().options().*item.flag) << item.key;
        EXPECT_FALSE(view.checked(item.mark)) << item.key;
        EXPECT_NE(ini().find(std::string(item.key) + "0\n"), std::string::npos) << item.key;
        for (const Item& other : items) {
            if (&other != &item && &other > &item) {
                EXPECT_TRUE(session->engine().options().*other.flag)
                    << other.key << " after " << item.key;
            }
        }
    }
    session->mnuDLClick();
    EXPECT_TRUE(session->engine().options().AutoVerify);
    EXPECT_TRUE(view.checked(Control::mnuDL));
    EXPECT_NE(ini().find("VerMemm=1\n"), std::string::npos);
}

TEST_F(Settings, PortItemsSwitchWithoutTouchingAnyPort) {
    start();
    const std::size_t before = platform.port->accesses.size();
    session->mnuLPT2Click();
    EXPECT_EQ(session->engine().board().link().PortBase, 0x278);
    EXPECT_TRUE(view.checked(Control::mnuLPT2));
    EXPECT_FALSE(view.checked(Control::mnuLPT1));
    EXPECT_NE(ini().find("Port=LPT2\n"), std::string::npos);
    EXPECT_EQ(view.caption(Control::statusLine), "LPT2: recording port");
    session->mnuLPT1Click();
    EXPECT_EQ(session->engine().board().link().PortBase, 0x378);
    EXPECT_TRUE(view.checked(Control::mnuLPT1));
    EXPECT_FALSE(view.checked(Control::mnuLPT2));
    EXPECT_NE(ini().find("Port=LPT1\n"), std::string::npos);
    EXPECT_EQ(platform.port->accesses.size(), before);
}

// LPT2 stands for a card's port beyond parport1; each item names its node and the modes the
// kernel gives that port, and the key stays as the user wrote it.
TEST_F(Settings, PortItemsNameTheNodeAndModesTheyStandFor) {
    FakeParport card;
    card.number = 3;
    card.modes = "PCSPP,TRISTATE,COMPAT,ECP,DMA";
    addParport(dir.path() / "kernel", card);
    start("[SETUP_PRG]\nLPT2Node=parport3\n");
    EXPECT_EQ(view.caption(Control::mnuLPT1), "LPT1 (/dev/parport0)");
    EXPECT_EQ(view.caption(Control::mnuLPT2), "LPT2 (/dev/parport3, SPP+PS2+ECP)");
    EXPECT_EQ(nodesFor(platform.opened).lpt2, "/dev/parport3");
    session->mnuLPT2Click();
    EXPECT_NE(ini().find("LPT2Node=parport3\n"), std::string::npos);
}

TEST_F(Settings, BoardAndTraceAreReadButNeverWritten) {
    start("[SETUP_PRG]\nBoard=sim\nTrace=/tmp/t.log\n");
    EXPECT_EQ(platform.opened.board, "sim");
    EXPECT_EQ(platform.opened.trace, "/tmp/t.log");
    session->mnuDLClick();
    const std::string text = ini();
    EXPECT_NE(text.find("Board=sim\n"), std::string::npos);
    EXPECT_NE(text.find("Trace=/tmp/t.log\n"), std::string::npos);
    // A file written from nothing gets neither.
    TestDir other;
    FakeView otherView;
    FakePlatform otherPlatform(other.path().string());
    Session fresh(otherView, clock, otherPlatform, otherPlatform);
    fresh.FormCreate();
    EXPECT_EQ(otherPlatform.opened.board, "auto");
    EXPECT_EQ(other.read("programmer.ini"), kDefaults);
}

// The verify by reading: off by default and then absent from the file; once set it is
// written, and read back by the next start.
TEST_F(Settings, VerifyByReadingIsKeptOnceSet) {
    start();
    EXPECT_FALSE(view.checked(Control::mnuVerifyRead));
    session->mnuVerifyReadClick();
    EXPECT_TRUE(session->engine().options().VerifyByRead);
    EXPECT_NE(ini().find("inCpu=1\nVerifyByRead=1\n"), std::string::npos) << ini();
    session.reset();
    view.setChecked(Control::mnuVerifyRead, false);
    session = std::make_unique<Session>(view, clock, platform, platform);
    ASSERT_TRUE(session->handle([&] { session->FormCreate(); }));
    EXPECT_TRUE(view.checked(Control::mnuVerifyRead));
    session->mnuVerifyReadClick();
    EXPECT_NE(ini().find("VerifyByRead=0\n"), std::string::npos);
}

// ---- A write the system refuses ---------------------------------------------------------

TEST_F(Settings, RefusedWriteShowsTheErrorAndKeepsTheSettingsInMemory) {
    start();
    // The directory of the settings file is gone, so no file can be written there.
    std::filesystem::remove_all(dir.path());
    EXPECT_FALSE(session->handle([&] { session->mnuDLClick(); }));
    EXPECT_FALSE(session->engine().options().AutoVerify);
    EXPECT_FALSE(view.checked(Control::mnuDL));
    EXPECT_EQ(view.messages(FakeView::Kind::Error),
              std::vector<std::string>{"Unable to write to " + dir.file("programmer.ini") +
                                       " (File not found)."});
    std::filesystem::create_directories(dir.path());
}

TEST_F(Settings, ChangesMadeByHandMeanwhileInOtherKeysSurviveASave) {
    start();
    dir.write("programmer.ini", std::string(kDefaults) + "[Notes]\nowner=lab 3\n");
    session->mnuFLClick();
    EXPECT_NE(ini().find("[Notes]\nowner=lab 3\n"), std::string::npos) << ini();
}

}  // namespace
}  // namespace trilo::test
