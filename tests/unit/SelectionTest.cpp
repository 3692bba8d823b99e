#include <gtest/gtest.h>

#include <array>
#include <string>

#include "presenter/DeviceControls.h"
#include "sim/SimulatedBoard.h"
#include "support/SessionFixture.h"

namespace trilo::test {
namespace {

using C = Control;

struct DeviceCase {
    std::int32_t id;
    const char* menuItem;  // the window's name of its item
    const char* name;
    const char* family;
    std::int32_t flash;
    std::int32_t eeprom;
    // Captions of chD5 .. chD0; "" where the box is unused.
    std::array<const char*, 6> fuses;
};

const DeviceCase kDevices[] = {
    {1, "mnu1051", "89C1051", "X051", 1024, 0, {"", "", "", "", "", ""}},
    {2, "mnu2051", "89C2051", "X051", 2048, 0, {"", "", "", "", "", ""}},
    {3, "mnu4051", "89C4051", "X051", 4096, 0, {"", "", "", "", "", ""}},
    {4, "mnu51", "89C51", "X51", 4096, 0, {"", "", "", "", "", ""}},
    {5, "mnu52", "89C52", "X51", 8192, 0, {"", "", "", "", "", ""}},
    {6, "mnu53", "89S53", "S51", 12288, 0, {"", "", "", "", "", ""}},
    {7, "mnu55", "89C55", "X51", 20480, 0, {"", "", "", "", "", ""}},
    {8, "mnu8252", "89S8252", "S51", 10240, 0, {"", "", "", "", "", ""}},
    {9, "mnu1200", "90S1200", "AVR", 1024, 64, {"SPIEN", "", "", "", "", "RCEN"}},
    {10, "mnu2313", "90S2313", "AVR", 2048, 128, {"SPIEN", "", "", "", "", "FSTRT"}},
    {11,
     "mnu2333",
     "90S2333",
     "AVR",
     2048,
     128,
     {"SPIEN", "BODLEVEL", "BODEN", "CKSEL2", "CKSEL1", "CKSEL0"}},
    {12, "mnu4414", "90S4414", "AVR", 4096, 256, {"SPIEN", "", "", "", "", "FSTRT"}},
    {13,
     "mnu4433",
     "90S4433",
     "AVR",
     4096,
     256,
     {"SPIEN", "BODLEVEL", "BODEN", "CKSEL2", "CKSEL1", "CKSEL0"}},
    {14, "mnu4434", "90S4434", "AVR", 4096, 256, {"SPIEN", "", "", "", "", "FSTRT"}},
    {15, "mnu8515", "90S8515", "AVR", 8192, 512, {"SPIEN", "", "", "", "", "FSTRT"}},
    {16, "mnu8535", "90S8535", "AVR", 8192, 512, {"SPIEN", "", "", "", "", "FSTRT"}},
    {17,
     "mnat28",
     "ATtiny28",
     "AVR",
     2048,
     0,
     {"", "INTCAP", "CKSEL3", "CKSEL2", "CKSEL1", "CKSEL0"}},
    {18, "mnu8534", "90S8534", "AVR", 8192, 512, {"", "", "", "", "", ""}},
};

const std::array<Control, 6> kFuseBoxes{C::chD5, C::chD4, C::chD3, C::chD2, C::chD1, C::chD0};
const std::array<const char*, 6> kUnused{"D5 - NC", "D4 - NC", "D3 - NC",
                                         "D2 - NC", "D1 - NC", "D0 - NC"};

class Selection : public SessionFixture, public ::testing::WithParamInterface<DeviceCase> {};

// What each family offers, as the user sees it.
TEST_P(Selection, SetsStateAndEnablesExactlyWhatTheDeviceOffers) {
    const DeviceCase& d = GetParam();
    start();
    // Tick every box first: the selection must leave only what it sets.
    for (Control box : kFuseBoxes) {
        view.setChecked(box, true);
    }
    for (Control box : {C::chLB1, C::chLB2, C::chLB3, C::rdSON}) {
        view.setChecked(box, true);
    }
    session->selectDevice(d.id);

    const std::string family = d.family;
    const bool avr = family == "AVR";
    EXPECT_EQ(session->engine().selection().DeviceId, d.id);
    EXPECT_EQ(session->engine().selection().FamilyTag, family);
    EXPECT_EQ(session->engine().selection().FlashSize, d.flash);
    EXPECT_EQ(session->engine().selection().EepromSize, avr ? d.eeprom : 0);
    EXPECT_EQ(view.caption(C::txTyp), family);
    EXPECT_EQ(view.caption(C::txCpu), d.name);
    EXPECT_EQ(view.text(C::spFlash), std::to_string(d.flash));
    EXPECT_EQ(view.text(C::spEEprom), std::to_string(avr ? d.eeprom : 0));
    for (std::size_t k = static_cast<std::size_t>(C::Count); k < controlCount(); ++k) {
        const auto item = static_cast<Control>(k);
        EXPECT_EQ(view.checked(item), std::string(controlName(item)) == d.menuItem);
    }

    for (C c : {C::mnuCPUinf, C::gbEEPROM, C::spFlash, C::btnRead, C::btnWrite, C::btnErase,
                C::btnVerify, C::chLB1, C::chLB2, C::mnuSignature}) {
        EXPECT_TRUE(view.enabled(c)) << static_cast<int>(c);
    }
    EXPECT_EQ(view.enabled(C::chLB3), family == "X51" || family == "S51");
    EXPECT_EQ(view.enabled(C::btnReadLB), family == "S51" || avr);
    for (C c : {C::rdSON, C::rdSOFF, C::btnReadS, C::btnWriteS}) {
        EXPECT_EQ(view.enabled(c), family == "S51") << static_cast<int>(c);
    }
    EXPECT_EQ(view.enabled(C::btnReadFuse), avr && d.id != 18);
    EXPECT_EQ(view.enabled(C::btnWrFuse), avr && d.id != 18);
    for (C c : {C::btnReaEE, C::btnWriEE, C::spEEprom}) {
        EXPECT_EQ(view.enabled(c), avr && d.id != 17) << static_cast<int>(c);
    }
    for (std::size_t k = 0; k < 6; ++k) {
        const bool used = std::string(d.fuses[k]).size() > 0;
        EXPECT_EQ(view.enabled(kFuseBoxes[k]), used) << k;
        EXPECT_FALSE(view.checked(kFuseBoxes[k])) << k;
        EXPECT_EQ(view.caption(kFuseBoxes[k]), used ? d.fuses[k] : kUnused[k]);
    }
    for (Control box : {C::chLB1, C::chLB2, C::chLB3}) {
        EXPECT_FALSE(view.checked(box));
    }
    // An AVR part has no serial fuse to show; an AT89 part keeps what the last read showed.
    EXPECT_EQ(view.checked(C::rdSON), !avr);
    // The choice is stored at once.
    EXPECT_NE(ini().find("CPU=" + std::to_string(d.id) + "\n"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(AllDevices, Selection, ::testing::ValuesIn(kDevices),
                         [](const ::testing::TestParamInfo<DeviceCase>& info) {
                             return std::string("Device") + info.param.name;
                         });

using SelectionEdge = SessionFixture;

TEST_F(SelectionEdge, NoDeviceLeavesEveryOperationDisabled) {
    start("[SETUP_PRG]\ninCpu=0\n");
    EXPECT_EQ(session->engine().selection().DeviceId, 0);
    EXPECT_TRUE(view.enabled(C::mnuCPUinf));
    for (C c :
         {C::spFlash, C::btnRead, C::btnWrite, C::btnErase, C::btnVerify, C::btnReadLB, C::chLB1,
          C::chLB2, C::chLB3, C::rdSOFF, C::rdSON, C::btnReadS, C::btnWriteS, C::btnReadFuse,
          C::btnWrFuse, C::btnReaEE, C::btnWriEE, C::spEEprom, C::mnuSignature}) {
        EXPECT_FALSE(view.enabled(c)) << static_cast<int>(c);
    }
    EXPECT_EQ(view.caption(C::txTyp), "");
    EXPECT_EQ(view.caption(C::txCpu), "");
    EXPECT_EQ(view.text(C::spFlash), "0");
    for (const DeviceInfo& device : deviceCatalog()) {
        EXPECT_FALSE(view.checked(menuItemOf(device.id)));
    }
}

TEST_F(SelectionEdge, StoredDeviceOutsideTheCatalogMeansNoDevice) {
    for (const char* stored : {"19", "99", "-1", "51"}) {
        FakeView fresh;
        TestDir other;
        other.write("programmer.ini", std::string("[RUN_PRG]\nCPU=") + stored + "\n");
        FakePlatform otherPlatform(other.path().string());
        Session s(fresh, clock, otherPlatform, otherPlatform);
        EXPECT_TRUE(s.handle([&] { s.FormCreate(); })) << stored;
        EXPECT_EQ(s.engine().selection().DeviceId, 0) << stored;
        EXPECT_FALSE(fresh.enabled(C::btnRead)) << stored;
        EXPECT_NE(other.read("programmer.ini").find("CPU=0\n"), std::string::npos) << stored;
    }
}

TEST_F(SelectionEdge, MCS51AfterAVRResetsTheAVRControls) {
    start();
    session->selectDevice(15);
    view.setChecked(C::chD5, true);
    session->selectDevice(2);
    for (std::size_t k = 0; k < 6; ++k) {
        EXPECT_EQ(view.caption(kFuseBoxes[k]), kUnused[k]);
        EXPECT_FALSE(view.enabled(kFuseBoxes[k]));
        EXPECT_FALSE(view.checked(kFuseBoxes[k]));
    }
    EXPECT_FALSE(view.enabled(C::btnReaEE));
    EXPECT_FALSE(view.enabled(C::btnWriEE));
    EXPECT_FALSE(view.enabled(C::spEEprom));
    EXPECT_EQ(view.text(C::spEEprom), "0");
    EXPECT_EQ(session->engine().selection().EepromSize, 0);
    EXPECT_FALSE(view.enabled(C::chLB3));
    EXPECT_EQ(view.caption(C::txTyp), "X051");
    EXPECT_EQ(view.caption(C::txCpu), "89C2051");
    EXPECT_FALSE(view.checked(menuItemOf(15)));
}

TEST_F(SelectionEdge, SelectionRewritesTheFileEvenWhenTheDeviceIsNotRemembered) {
    start("[SETUP_PRG]\ninCpu=0\n");
    session->selectDevice(13);
    EXPECT_NE(ini().find("CPU=13\n"), std::string::npos);
    EXPECT_NE(ini().find("inCpu=0\n"), std::string::npos);
}

struct SpinCase {
    Control edit;
    const char* typed;
    std::int32_t size;
    const char* shown;
};

class SpinEdit : public SessionFixture, public ::testing::WithParamInterface<SpinCase> {};

TEST_P(SpinEdit, ClampsAndReadsBadTextAsZero) {
    const SpinCase& c = GetParam();
    start();
    session->selectDevice(15);
    view.type(c.edit, c.typed);
    if (c.edit == C::spFlash) {
        session->spFlashChange();
        EXPECT_EQ(session->engine().selection().FlashSize, c.size);
    } else {
        session->spEEpromChange();
        EXPECT_EQ(session->engine().selection().EepromSize, c.size);
    }
    EXPECT_EQ(view.text(c.edit), c.shown);
}

INSTANTIATE_TEST_SUITE_P(Values, SpinEdit,
                         ::testing::Values(SpinCase{C::spFlash, "40000", 32768, "32768"},
                                           SpinCase{C::spFlash, "32768", 32768, "32768"},
                                           SpinCase{C::spFlash, "32769", 32768, "32768"},
                                           SpinCase{C::spFlash, "4096", 4096, "4096"},
                                           SpinCase{C::spFlash, "", 0, ""},
                                           SpinCase{C::spFlash, "12x", 0, "12x"},
                                           SpinCase{C::spEEprom, "2000", 1024, "1024"},
                                           SpinCase{C::spEEprom, "1024", 1024, "1024"},
                                           SpinCase{C::spEEprom, "300", 300, "300"},
                                           SpinCase{C::spEEprom, "abc", 0, "abc"}));

TEST_F(SelectionEdge, EnteringALockBoxClearsTheOtherTwoButNotItself) {
    start();
    session->selectDevice(5);
    struct Case {
        void (Session::*enter)();
        Control own;
    };
    for (const Case& c :
         {Case{&Session::chLB1Enter, C::chLB1}, Case{&Session::chLB2Enter, C::chLB2},
          Case{&Session::chLB3Enter, C::chLB3}}) {
        view.setChecked(C::chLB1, true);
        view.setChecked(C::chLB2, true);
        view.setChecked(C::chLB3, true);
        (session.get()->*c.enter)();
        for (Control box : {C::chLB1, C::chLB2, C::chLB3}) {
            EXPECT_EQ(view.checked(box), box == c.own);
        }
    }
}

}  // namespace
}  // namespace trilo::test

namespace trilo::test {
namespace {

TEST(SelectionStatusLine, NamesTheChipInTheSimulatedSocket) {
    TestDir dir;
    FakeView view;
    RecordingClock clock;
    SimMachine machine(dir.path().string());
    Session session(view, clock, machine, machine);
    ASSERT_TRUE(session.handle([&] { session.FormCreate(); }));
    EXPECT_EQ(view.caption(Control::statusLine), "LPT1: Simulovaná deska, v patici 89C2051");
    EXPECT_TRUE(view.port.simulated);
    session.selectDevice(10);
    EXPECT_EQ(view.caption(Control::statusLine), "LPT1: Simulovaná deska, v patici 90S2313");
    session.mnuLPT2Click();
    EXPECT_EQ(view.caption(Control::statusLine), "LPT2: Simulovaná deska, v patici 90S2313");
}

}  // namespace
}  // namespace trilo::test
