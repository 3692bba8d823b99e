// The command buttons through the session, on the simulated board: what the user sees (the
// messages, the boxes, Save) and what ends up in the chip.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <random>

#include "base/Hex.h"
#include "commands/Commands.h"
#include "formats/IntelHex.h"
#include "ops/FamilyTable.h"
#include "presenter/DeviceControls.h"
#include "presenter/Handlers.h"
#include "presenter/HexView.h"
#include "sim/SimulatedBoard.h"
#include "support/SessionFixture.h"
#include "support/SimRig.h"

namespace trilo::test {
namespace {

using C = Control;
using Handler = void (*)(Session&);

Bytes randomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    Bytes bytes(size);
    for (auto& b : bytes) {
        b = static_cast<std::uint8_t>(random());
    }
    return bytes;
}

class Commands : public ::testing::Test {
protected:
    void start(std::int32_t deviceId) {
        s = std::make_unique<Session>(view, clock, machine, machine);
        ASSERT_TRUE(s->handle([&] { s->FormCreate(); }));
        s->selectDevice(deviceId);
        view.log.clear();
    }
    SimChip& chip() { return machine.board->chip(s->engine().selection().DeviceId); }
    // The data file the next command reads.
    void useFile(const Bytes& data) {
        dir.write("data.bin", std::string(data.begin(), data.end()));
        s->engine().files().CurrentFile = dir.file("data.bin");
    }
    // Runs a button's handler; the messages it showed, errors included.
    std::vector<std::string> click(Handler handler) {
        view.log.clear();
        s->handle([&] { handler(*s); });
        std::vector<std::string> shown;
        for (const auto& m : view.log) {
            shown.push_back(m.text);
        }
        return shown;
    }
    Bytes buffer() const {
        std::ifstream in(s->engine().files().BufferFile, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), {}};
        return {bytes.begin(), bytes.end()};
    }
    void expectAtRest() {
        EXPECT_EQ(machine.board->controlByte(), 0xC0);
        EXPECT_FALSE(s->engine().files().DataFile.isOpen());
    }

    TestDir dir;
    FakeView view;
    RecordingClock clock;
    SimMachine machine{dir.path().string()};
    std::unique_ptr<Session> s;
};

const std::vector<std::string> kNone;

class EveryDevice : public Commands, public ::testing::WithParamInterface<std::int32_t> {};

TEST_P(EveryDevice, FromBlankToProgrammedLockedReadAndErased) {
    start(GetParam());
    const DeviceInfo& d = *findDevice(GetParam());
    const Bytes image = randomBytes(static_cast<std::size_t>(d.flashSize), 7u * d.id);
    useFile(image);

    // Write with erase and read-back, locked at the highest level the device offers.
    const C levelBox = d.lockLevels == 3 ? C::chLB3 : C::chLB2;
    view.setChecked(levelBox, true);
    EXPECT_EQ(click(&btnWriteClick), kNone);
    for (std::size_t i = 0; i < image.size(); ++i) {
        // An AVR word stands high byte first in the file and low byte first in the chip.
        ASSERT_EQ(chip().flash[d.isAvr() ? i ^ 1 : i], image[i]) << "byte " << i;
    }
    EXPECT_EQ(chip().lockBits, (std::array<bool, 3>{true, true, d.lockLevels == 3}));
    if (view.enabled(C::btnReadLB)) {
        view.setChecked(levelBox, false);
        view.setChecked(C::chLB1, true);
        EXPECT_EQ(click(&btnReadLBClick), kNone);
        EXPECT_FALSE(view.checked(C::chLB1));
        EXPECT_TRUE(view.checked(levelBox));
    }

    // Erase with blank check clears the lock and the boxes.
    EXPECT_EQ(click(&btnEraseClick), std::vector<std::string>{kErased});
    EXPECT_FALSE(view.checked(levelBox));
    EXPECT_EQ(chip().flash, Bytes(image.size(), 0xFF));

    // Write unlocked, verify, read back into the buffer.
    EXPECT_EQ(click(&btnWriteClick), kNone);
    EXPECT_EQ(click(&btnVerifyClick), std::vector<std::string>{kVerifyOk});
    view.setEnabled(C::mnuSave, false);
    EXPECT_EQ(click(&btnReadClick), kNone);
    EXPECT_EQ(buffer(), image);
    EXPECT_TRUE(view.enabled(C::mnuSave));
    EXPECT_EQ(view.gauge.back(), 0);

    if (d.eepromOps) {
        const Bytes data = randomBytes(static_cast<std::size_t>(d.eepromSize), d.id);
        useFile(data);
        EXPECT_EQ(click(&btnWriEEClick), kNone);
        EXPECT_EQ(chip().eeprom, data);
        EXPECT_EQ(click(&btnReaEEClick), kNone);
        EXPECT_EQ(buffer(), data);
    }
    if (d.fuseOps) {
        // Every other fuse the device has, read back into its box.
        std::array<bool, 6> set{};
        for (std::size_t k = 0; k < 6; ++k) {
            set[k] = view.enabled(fuseBoxes()[k]) && k % 2 == 0;
            view.setChecked(fuseBoxes()[k], set[k]);
        }
        EXPECT_EQ(click(&btnWrFuseClick), kNone);
        for (C box : fuseBoxes()) {
            view.setChecked(box, !view.enabled(box));
        }
        EXPECT_EQ(click(&btnReadFuseClick), kNone);
        for (std::size_t k = 0; k < 6; ++k) {
            EXPECT_EQ(view.checked(fuseBoxes()[k]), set[k] || !view.enabled(fuseBoxes()[k])) << k;
        }
    }
    if (view.enabled(C::btnWriteS)) {
        for (bool on : {false, true}) {
            view.setChecked(C::rdSON, on);
            view.setChecked(C::rdSOFF, !on);
            EXPECT_EQ(click(&btnWriteSClick), kNone);
            EXPECT_EQ(chip().serialProgramming, on);
            view.setChecked(C::rdSON, !on);
            view.setChecked(C::rdSOFF, on);
            EXPECT_EQ(click(&btnReadSClick), kNone);
            EXPECT_EQ(view.checked(C::rdSON), on);
            EXPECT_EQ(view.checked(C::rdSOFF), !on);
        }
    }
    // Every command checked the signature silently, and the status line names the chip once,
    // the simulated socket's and the signature's words in one.
    const std::string status = view.caption(C::statusLine);
    EXPECT_TRUE(
        status.ends_with(std::string(", v patici ") + d.name + ", podpis " +
                         hexBytes(std::span(d.signature.bytes).first(d.twentyPin() ? 2 : 3))))
        << status;
    EXPECT_EQ(status.find(d.name), status.rfind(d.name)) << status;
    expectAtRest();
    EXPECT_TRUE(machine.board->protocolFaults().empty())
        << machine.board->protocolFaults().list().front();
}

INSTANTIATE_TEST_SUITE_P(Devices, EveryDevice,
                         ::testing::Range(1, static_cast<int>(deviceCatalog().size()) + 1),
                         [](const auto& info) {
                             return std::string(findDevice(info.param)->name);
                         });

TEST_F(Commands, AFileThatCannotBeWrittenLeavesTheChipAsItWas) {
    for (std::int32_t id : {10, 4}) {
        start(id);
        chip().flash[0] = 0x00;
        s->engine().files().CurrentFile.clear();
        for (Handler h : {&btnWriteClick, &btnVerifyClick}) {
            EXPECT_EQ(click(h), std::vector<std::string>{kNoInputFile});
        }
        // One byte too many: refused before the automatic erase.
        useFile(Bytes(static_cast<std::size_t>(s->engine().selection().FlashSize) + 1, 0x00));
        EXPECT_EQ(click(&btnWriteClick), std::vector<std::string>{kFlashTooSmall});
        // Nor is the verify's compared: the MCS-51 address counter would wrap.
        EXPECT_EQ(click(&btnVerifyClick), std::vector<std::string>{kFlashTooSmall});
        EXPECT_EQ(chip().flash[0], 0x00);
        expectAtRest();
    }
    start(10);
    useFile(Bytes(129, 0x00));
    EXPECT_EQ(click(&btnWriEEClick), std::vector<std::string>{kEepromTooSmall});
    s->engine().files().CurrentFile.clear();
    EXPECT_EQ(click(&btnWriEEClick), std::vector<std::string>{kNoInputFile});
    EXPECT_EQ(chip().eeprom, Bytes(128, 0xFF));
}

struct EepromCase {
    std::int32_t id;
    bool autoErase, writeFails;  // a failed EEPROM write counts as written
    Handler between;
    std::deque<bool> answers;  // none: not asked
};

class EepromWritten : public Commands, public ::testing::WithParamInterface<EepromCase> {};

// An AVR chip erase clears the EEPROM too: a Write that would erase the EEPROM written in
// this session asks first, and No leaves the chip as it was.
TEST_P(EepromWritten, AWriteAsksBeforeItsEraseClearsIt) {
    const EepromCase& k = GetParam();
    Bytes eeprom = randomBytes(16, 1);
    start(k.id);
    s->engine().set(Setting::AutoErase, k.autoErase);
    chip().refuseToProgram(Memory::Eeprom, k.writeFails ? 3 : -1);
    useFile(eeprom);
    click(&btnWriEEClick);
    click(k.between);
    useFile(randomBytes(16, 2));
    const Bytes before = chip().flash;
    view.answers = k.answers;
    click(&btnWriteClick);
    const std::string asked =
        "Mazání před zápisem FLASH smaže i EEPROM zapsanou ze souboru "
        "data.bin. Pokračovat ?";
    EXPECT_EQ(view.messages(FakeView::Kind::Question), std::vector(k.answers.size(), asked));
    const bool no = k.answers == std::deque<bool>{false};
    EXPECT_EQ(chip().flash == before, no);
    eeprom = !k.autoErase || no ? eeprom : Bytes(16, 0xFF);
    eeprom[3] = k.writeFails ? 0xFF : eeprom[3];
    chip().eeprom.resize(16, 0xFF);  // the bytes written; the ATtiny28 has none
    EXPECT_EQ(chip().eeprom, eeprom);
}

void nothing(Session&) {}
void otherDeviceAndBack(Session& s) {
    s.selectDevice(12);
    s.selectDevice(10);
}

INSTANTIATE_TEST_SUITE_P(Cases, EepromWritten,
                         ::testing::Values(EepromCase{10, true, false, &nothing, {false}},
                                           EepromCase{10, true, false, &nothing, {true}},
                                           EepromCase{10, true, true, &nothing, {false}},
                                           EepromCase{10, false, false, &nothing, {}},
                                           EepromCase{10, true, false, &btnEraseClick, {}},
                                           EepromCase{10, true, false, &otherDeviceAndBack, {}},
                                           EepromCase{17, true, false, &nothing, {}}));

TEST_F(Commands, FaultsEndInTheirMessagesWithTheBoardAtRest) {
    for (std::int32_t id : {15, 6}) {
        start(id);
        // A stuck line would change the signature too.
        s->engine().set(Setting::CheckSignature, false);
        useFile(pattern(64));
        // A stuck line: the read-back fails and the chosen lock level is never written.
        machine.board->stickDataLine(2, false);
        view.setChecked(C::chLB1, true);
        EXPECT_EQ(click(&btnWriteClick), std::vector<std::string>{kWriteFailed});
        EXPECT_EQ(chip().lockBits, (std::array<bool, 3>{}));
        // Nor does the chip read blank after an erase; the boxes keep their state.
        EXPECT_EQ(click(&btnEraseClick), std::vector<std::string>{kNotBlank});
        EXPECT_TRUE(view.checked(C::chLB1));
        machine.board->freeDataLines();

        // Without read-back the write runs on, and the verify finds the byte.
        s->engine().set(Setting::Checking, false);
        chip().refuseToProgram(Memory::Flash, 40);
        EXPECT_EQ(click(&btnWriteClick), kNone);
        const std::string failed = kVerifyFailed;
        EXPECT_EQ(click(&btnVerifyClick),
                  std::vector<std::string>{findDevice(id)->isAvr() ? failed : failed + "41"});
        expectAtRest();
    }
}

// A chip that is not the one selected: No leaves it untouched, Yes runs the command as ever.
TEST_F(Commands, AnEmptySocketOrAnotherChipIsAskedAbout) {
    const struct {
        std::int32_t selected;
        std::int32_t inSocket;  // 0: empty
        const char* question;
    } cases[] = {
        {10, 0, "V patici není čip, nebo neodpovídá (podpis FF FF FF). Pokračovat ?"},
        {10, 15,
         "V patici je jiný čip: podpis 1E 93 01 (90S8515), zvolen je 90S2313. Pokračovat ?"},
        {2, 3, "V patici je jiný čip: podpis 1E 41 (89C4051), zvolen je 89C2051. Pokračovat ?"},
    };
    for (const auto& k : cases) {
        start(k.selected);
        machine.board->forceSocket(k.inSocket);
        const Bytes before = pattern(64);
        SimChip* chip = k.inSocket == 0 ? nullptr : &machine.board->chip(k.inSocket);
        if (chip != nullptr) {
            std::copy(before.begin(), before.end(), chip->flash.begin());
            chip->lockBits = {true, false, false};
        }
        useFile(Bytes(16, 0x00));
        // The lock-bit read where the device offers it (Read LB is disabled for a 20-pin part).
        const bool readsLock = offers(*findDevice(k.selected)).readLock;
        for (Handler h :
             {&btnWriteClick, &btnEraseClick, readsLock ? &btnReadLBClick : &btnReadClick}) {
            view.answers = {false};
            EXPECT_EQ(click(h), std::vector<std::string>{k.question});
        }
        if (chip != nullptr) {
            EXPECT_EQ(Bytes(chip->flash.begin(), chip->flash.begin() + 64), before);
            EXPECT_EQ(chip->lockBits, (std::array<bool, 3>{true, false, false}));
        }
        expectAtRest();
        view.answers = {true};
        const auto shown = click(&btnEraseClick);
        EXPECT_EQ(shown.front(), k.question);
        if (chip != nullptr) {
            EXPECT_EQ(chip->flash[0], 0xFF);
        }
        machine.board->followSelection();
    }
}

TEST_F(Commands, TheCheckCanBeSwitchedOffInTheSettings) {
    dir.write("programmer.ini", "[SETUP_PRG]\nCheckSignature=0\n");
    start(10);
    machine.board->forceSocket(0);
    EXPECT_EQ(click(&btnEraseClick), std::vector<std::string>{kErased});  // no chip, no question
    EXPECT_NE(dir.read("programmer.ini").find("CheckSignature=0"), std::string::npos);
}

TEST_F(Commands, TheSignatureOnDemandAndTheSimulatedSocketFromTheSettings) {
    dir.write("programmer.ini", "[SETUP_PRG]\nSimSocket=90s8515\n");
    start(10);
    EXPECT_EQ(click(&mnuSignatureClick),
              std::vector<std::string>{"Čip v patici: 90S8515, podpis 1E 93 01"});
    s->selectDevice(4);  // whatever is selected, the socket keeps its chip
    EXPECT_EQ(click(&mnuSignatureClick),
              std::vector<std::string>{"Čip v patici: čip neodpovídá, podpis FF FF FF"});
}

Bytes fixture(const std::string& name) {
    std::ifstream in(std::string(TRILO_FIXTURES_DIR) + "/intelhex/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The toolchains' HEX, S-record and ELF files program what their binaries hold: an AVR word
// low byte first at its even address, an 8051 byte at its address; a chip read and saved as
// HEX or S-record gives a file that programs a second chip the same.
TEST_F(Commands, TheToolchainsFilesProgramTheChipAndSaveBack) {
    const struct {
        std::int32_t id;
        const char* file;
        const char* bin;
        const char* saved;
    } cases[] = {{10, "avr-blink.hex", "avr-blink.bin", ".hex"},
                 {10, "avr-blink.elf", "avr-blink.bin", ".srec"},
                 {10, "avr-blink.srec", "avr-blink.bin", ".s19"},
                 {2, "mcs51-blink.ihx", "mcs51-blink.bin", ".hex"},
                 {2, "mcs51-blink.s37", "mcs51-blink.bin", ".mot"}};
    for (const auto& k : cases) {
        start(k.id);
        machine.board->chip(k.id).flash.assign(chip().flash.size(), 0xFF);
        s->engine().files().CurrentFile = std::string(TRILO_FIXTURES_DIR) + "/intelhex/" + k.file;
        EXPECT_EQ(click(&btnWriteClick), kNone);
        const Bytes bin = fixture(k.bin);
        EXPECT_EQ(Bytes(chip().flash.begin(), chip().flash.begin() + bin.size()), bin) << k.file;
        EXPECT_EQ(click(&btnVerifyClick), std::vector<std::string>{kVerifyOk});

        EXPECT_EQ(click(&btnReadClick), kNone);
        view.dialogAnswers = {dir.file(std::string("copy-") + k.file + k.saved)};
        s->mnuSaveAsClick();
        machine.board->chip(k.id).flash.assign(chip().flash.size(), 0xFF);  // a second, blank chip
        EXPECT_EQ(click(&btnWriteClick), kNone);
        EXPECT_EQ(Bytes(chip().flash.begin(), chip().flash.begin() + bin.size()), bin) << k.saved;
        EXPECT_EQ(click(&btnVerifyClick), std::vector<std::string>{kVerifyOk});
    }
}

// The EEPROM write takes the .eeprom section of the linked program.
TEST_F(Commands, TheEepromOfAnElfFileIsItsEepromSection) {
    start(10);
    s->engine().files().CurrentFile =
        std::string(TRILO_FIXTURES_DIR) + "/intelhex/avr-blink-eeprom.hex";
    EXPECT_EQ(click(&btnWriEEClick), kNone);
    const Bytes byHex = chip().eeprom;
    chip().eeprom.assign(byHex.size(), 0xFF);
    s->engine().files().CurrentFile = std::string(TRILO_FIXTURES_DIR) + "/intelhex/avr-blink.elf";
    EXPECT_EQ(click(&btnWriEEClick), kNone);
    EXPECT_EQ(chip().eeprom, byHex);
    EXPECT_EQ(Bytes(byHex.begin(), byHex.begin() + 3), Bytes({'T', 'R', 'I'}));
}

TEST_F(Commands, TheGaugeIsSetOnlyWhenItsValueChanges) {
    start(15);
    view.type(C::spFlash, "32768");  // 16384 words
    s->spFlashChange();
    view.gauge.clear();
    EXPECT_EQ(click(&btnReadClick), kNone);
    EXPECT_LE(view.gauge.size(), 101u);
    EXPECT_EQ(view.gauge.front(), 1);
    EXPECT_EQ(view.gauge.back(), 0);
    EXPECT_EQ(buffer().size(), 32768u);
}

TEST_F(Commands, AnInvalidDataFileIsRefusedBeforeTheChipIsTouched) {
    const Bytes elf = fixture("avr-blink.elf");
    std::string noEeprom(elf.begin(), elf.end());
    noEeprom.replace(noEeprom.find(".eeprom"), 7, ".eepro_");
    const struct {
        const char* name;
        std::string content;
        Handler handler;
        std::string message;
    } cases[] = {
        {"bad.hex", ":0100000012EE\n:00000001FF\n", &btnWriteClick,
         "Chybný kontrolní součet na řádku 1 souboru HEX ! "},
        {"count.s19", "S1060000010203F3\nS5030002FA\nS9030000FC\n", &btnVerifyClick,
         "Záznam S5 udává počet datových záznamů 2, v souboru je jich 1 na řádku 2 souboru "
         "S-record ! "},
        {"beyond.srec", "S10508001234AC\nS9030000FC\n", &btnWriteClick, kFlashTooSmall},
        {"elf.hex", std::string(elf.begin(), elf.end()), &btnWriEEClick,
         "Soubor má příponu .hex (Intel HEX), ale obsahuje ELF ! "},
        {"flash-only.elf", noEeprom, &btnWriEEClick,
         "Soubor ELF nemá sekci .eeprom s daty pro EEPROM ! "},
    };
    start(10);
    chip().flash[0] = 0x00;
    chip().eeprom[0] = 0x00;
    for (const auto& k : cases) {
        dir.write(k.name, k.content);
        s->engine().files().CurrentFile = dir.file(k.name);
        EXPECT_EQ(click(k.handler), std::vector<std::string>{k.message});
        expectAtRest();
    }
    EXPECT_EQ(chip().flash[0], 0x00);
    EXPECT_EQ(chip().eeprom[0], 0x00);
}

// Every device selected against every chip in the socket: the chip is named by the bytes it
// answers, and the question comes exactly when it is another device.
TEST(ChipIdentity, EverySelectedDeviceAgainstEveryChipInTheSocket) {
    for (const DeviceInfo& selected : deviceCatalog()) {
        SimRig rig(selected.id);
        rig.ctx.expected = &selected;
        for (const DeviceInfo& inSocket : deviceCatalog()) {
            SCOPED_TRACE(std::string(selected.name) + " selected, " + inSocket.name +
                         " in the socket");
            rig.board.forceSocket(inSocket.id);
            rig.sink.events.clear();
            const bool other = &selected != &inSocket;
            EXPECT_EQ(commands::ChipAccepted(rig.ctx), !other);
            EXPECT_EQ(rig.sink.events.size(), other ? 1u : 0u);
            const commands::ChipReport report = commands::IdentifyChip(rig.ctx, selected);
            // A chip read the way the selected one is read is named; another answers noise.
            if (selected.family == inSocket.family) {
                EXPECT_EQ(report.found, &inSocket);
            } else if (report.found != nullptr) {
                EXPECT_EQ(report.found, &inSocket);
            }
        }
    }
}

// Faults that the writes cannot see themselves: with read-back on, each ends in an error that
// names what differs; with it off, the write ends as it always did.
TEST(ReadBack, WhatTheChipDidNotTakeEndsTheWriteInAnError) {
    using commands::InputFile;
    using commands::Outcome;
    const struct {
        const char* what;
        std::int32_t id;
        void (*fault)(SimRig&);
        Outcome (*write)(SimRig&, const InputFile&, bool verify);
        const char* message;
    } cases[] = {
        {"an EEPROM byte refused", 15,
         [](SimRig& r) { r.chip().refuseToProgram(Memory::Eeprom, 0x0A); },
         [](SimRig& r, const InputFile& f, bool v) {
             return commands::WriteEeprom(r.ctx, {&r.device, 0, 512, v}, f, 512);
         },
         "EEPROM: na adrese 0x000A zapsáno 77, přečteno FF"},
        {"a data line stuck low under SPIEN", 10,
         [](SimRig& r) { r.board.stickDataLine(5, false); },
         [](SimRig& r, const InputFile&, bool v) {
             return commands::WriteFuses(r.ctx, {&r.device, 0, 0, v}, 0xFF);
         },
         "Fuse bity: zapsáno FF, přečteno DF"},
        {"AVR lock bits that do not program", 10, [](SimRig& r) { r.chip().refuseLockBits(); },
         [](SimRig& r, const InputFile& f, bool v) {
             return commands::Write(r.ctx, {&r.device, 2048, 0, v, {false, true, false}}, f, 2048,
                                    true);
         },
         "Lock bity: zapsána úroveň 2, přečtena úroveň 0"},
        {"89S lock bits that do not program", 8, [](SimRig& r) { r.chip().refuseLockBits(); },
         [](SimRig& r, const InputFile& f, bool v) {
             return commands::Write(r.ctx, {&r.device, 10240, 0, v, {false, false, true}}, f, 10240,
                                    true);
         },
         "Lock bity: zapsána úroveň 3, přečtena úroveň 0"},
    };
    for (const auto& k : cases) {
        for (bool verify : {true, false}) {
            SCOPED_TRACE(std::string(k.what) + (verify ? ", read back" : ", not read back"));
            SimRig rig(k.id);
            k.fault(rig);
            rig.dir.write("data.bin",
                          std::string(reinterpret_cast<const char*>(pattern(16).data()), 16));
            const Outcome outcome = k.write(rig, InputFile(rig.dir.file("data.bin")), verify);
            EXPECT_EQ(outcome, verify ? Outcome::WriteFailed : Outcome::Done);
            EXPECT_EQ(rig.sink.messages, verify ? std::vector<std::string>{k.message} : kNone);
            EXPECT_EQ(rig.board.controlByte(), 0xC0);
        }
    }
}

// Where a verify or a write's read-back failed, as the user's tools number the bytes: an AVR
// flash at its byte addresses, low byte first (though the program's raw files hold each word
// high byte first, so a raw file's own offset is named beside), an MCS-51 flash and an EEPROM
// byte by byte. Two neighbours differ, one
// word of an AVR: the lower is named in the detail and the status line, the data view is sent
// there, and after a read it is the first difference the view highlights.
TEST_F(Commands, AFailureNamesTheLowestDifferingAddressEverywhere) {
    const std::string verifyFailed = kVerifyFailed;
    const std::string eepromFailed = "EEPROM: na adrese 0x0024 zapsáno 39, přečteno FF";
    const struct {
        std::int32_t id;
        bool hex;
        Handler click;
        std::string message;
        std::string inFile = {};  // the raw file's own offset, beside the address
    } cases[] = {
        {10, false, &btnVerifyClick, verifyFailed, " (v souboru 0x0025)"},
        {10, false, &btnWriteClick, kWriteFailed, " (v souboru 0x0025)"},
        {10, true, &btnVerifyClick, verifyFailed},
        {10, true, &btnWriteClick, kWriteFailed},
        {2, false, &btnVerifyClick, verifyFailed + "37"},
        {2, true, &btnVerifyClick, verifyFailed + "37"},
        {10, false, &btnWriEEClick, eepromFailed},
    };
    const std::string explanation =
        "rozdílných bajtů: 2 z 64; čip má většinou 1 tam, kde soubor 0: tyto bajty se nezapsaly";
    for (const auto& k : cases) {
        SCOPED_TRACE(k.message + (k.hex ? " HEX" : " raw"));
        const std::string where = "na adrese 0x0024" + k.inFile;
        const std::string detail = "první rozdíl " + where + ": v souboru 39, v čipu FF";
        start(k.id);
        const bool eeprom = k.click == &btnWriEEClick;
        // The bytes at the tools' addresses, 0x24 and 0x25 left blank in the chip.
        const Bytes image = pattern(64);
        std::vector<std::uint8_t>& memory = eeprom ? chip().eeprom : chip().flash;
        if (k.click == &btnVerifyClick) {
            std::copy(image.begin(), image.end(), memory.begin());
            memory[0x24] = memory[0x25] = 0xFF;
        } else {
            for (int at : {0x24, 0x25}) {
                chip().refuseToProgram(eeprom ? Memory::Eeprom : Memory::Flash, at);
            }
        }
        if (k.hex) {
            dir.write("data.hex", writeIntelHex(image));
            s->engine().files().CurrentFile = dir.file("data.hex");
        } else {
            Bytes raw = image;
            if (findDevice(k.id)->isAvr() && !eeprom) {
                swapWordBytes(raw);
            }
            useFile(raw);
        }
        view.log.clear();
        view.differencesAt.reset();
        s->handle([&] { k.click(*s); });
        ASSERT_EQ(view.log.size(), 1u);
        EXPECT_EQ(view.log[0].text, k.message);
        if (!eeprom) {
            // A verify reads the chip once more and says what all the differences show.
            const bool verify = k.click == &btnVerifyClick;
            EXPECT_EQ(view.log[0].detail, verify ? detail + "\n" + explanation : detail);
            const std::string line = verify ? detail + "; " + explanation : detail;
            const std::string status = view.caption(C::statusLine);
            EXPECT_EQ(status.substr(status.size() - std::min(line.size(), status.size())), line);
        }
        EXPECT_NE(view.lastCommand.find(where), std::string::npos) << view.lastCommand;
        if (k.click == &btnVerifyClick) {
            EXPECT_EQ(view.differencesAt, std::size_t{0x24});
        }

        EXPECT_EQ(click(eeprom ? &btnReaEEClick : &btnReadClick), kNone);
        const auto chipSide = s->engine().bufferImage();
        const auto fileSide = s->engine().fileImage();
        EXPECT_EQ(Differences(std::get<Bytes>(chipSide), std::get<Bytes>(fileSide)).first(),
                  std::size_t{0x24});
    }
}

// An empty file: a verify has nothing to compare and says so; a write programs only the
// lock bits, and the status line says that.
TEST_F(Commands, AnEmptyFileIsNoVerifyAndAWriteOfOnlyTheLockBits) {
    start(10);
    useFile({});
    EXPECT_EQ(click(&btnVerifyClick), std::vector<std::string>{commands::kEmptyFile});
    view.setChecked(C::chLB1, true);
    EXPECT_EQ(click(&btnWriteClick), kNone);
    EXPECT_EQ(chip().lockBits, (std::array<bool, 3>{true, false, false}));
    const std::string status = view.caption(C::statusLine);
    EXPECT_NE(status.find(commands::kEmptyWriteLocks), std::string::npos) << status;
}

}  // namespace
}  // namespace trilo::test

namespace trilo::test {
namespace {

// "Zastavit" during a write, for each family: the write ends where it was, through the same
// release as a failure; no lock bit follows, and the status line says where it stopped.
TEST_F(Commands, AStopEndsAWriteAtItsWordWithTheBoardAtRest) {
    const struct {
        std::int32_t id;
        std::size_t at;  // the first byte not written: the stop comes at the step after
                         // the one that moved the gauge the tenth time
    } cases[] = {{10, 0x16}, {2, 0x0A}, {5, 0x0A}, {8, 0x0A}};
    dir.write("programmer.ini", "[SETUP_PRG]\nTrace=" + dir.file("stop.trace") + "\n");
    for (const auto& k : cases) {
        start(k.id);
        const Bytes image = pattern(64);
        useFile(image);
        view.setChecked(C::chLB1, true);
        int moves = 0;
        view.onGauge = [&](int percent) {
            if (percent > 0 && ++moves == 10) {
                s->engine().requestStop();
            }
        };
        EXPECT_EQ(click(&btnWriteClick), kNone);
        view.onGauge = nullptr;
        char where[64];
        std::snprintf(where, sizeof where, "Zastaveno na adrese 0x%04zX, čip je zapsán jen zčásti",
                      k.at);
        EXPECT_EQ(view.lastCommand, where);
        EXPECT_EQ(chip().lockBits, (std::array<bool, 3>{}));
        const bool avr = findDevice(k.id)->isAvr();
        for (std::size_t i = 0; i < image.size(); ++i) {
            EXPECT_EQ(chip().flash[avr ? i ^ 1 : i], i < k.at ? image[i] : 0xFF)
                << k.id << " " << i;
        }
        expectAtRest();
        EXPECT_EQ(view.gauge.back(), 0);
        // What a release writes, once more: the same lines end the trace of the stop.
        const std::string stopped = dir.read("stop.trace");
        s->engine().board().link().ReleaseTarget();
        const std::string release = dir.read("stop.trace").substr(stopped.size());
        ASSERT_FALSE(release.empty());
        EXPECT_TRUE(stopped.ends_with(release));
    }
}

}  // namespace
}  // namespace trilo::test

namespace trilo::test {
namespace {

// A read is saved under a name of its own, in the data file's directory and format where the
// program writes that format; a file it cannot write (ELF, by extension or content) is never
// replaced by a dump, and the data stay in the buffer.
TEST_F(Commands, ASaveNeverTurnsTheUsersFileIntoSomethingElse) {
    const auto saveAs = &Session::mnuSaveAsClick;
    const auto save = &Session::mnuSaveClick;
    const struct {
        std::int32_t id;
        const char* dataFile;  // a fixture's copy; without an extension the ELF's
        bool eeprom;           // what was read
        void (Session::*command)();
        std::deque<std::optional<std::string>> dialogs;  // "": Enter on the proposed name
        const char* saved;  // nothing: refused, so nothing new in the directory
        char firstByte;     // of a text format; 0: raw, as large as the flash read
    } cases[] = {
        {10, "avr-blink.elf", false, saveAs, {""}, "90S2313-flash.bin", 0},
        {10, "avr-blink.hex", true, saveAs, {""}, "90S2313-eeprom.hex", ':'},
        {2, "mcs51-blink.s37", false, saveAs, {""}, "89C2051-flash.s37", 'S'},
        {10, "avr-blink.elf", false, save, {std::nullopt}, nullptr, 0},
        {10, "avr-blink", false, save, {std::nullopt}, nullptr, 0},
        {10, "avr-blink.hex", false, saveAs, {"copy.elf", std::nullopt}, nullptr, 0},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(std::string(k.dataFile) + (k.command == save ? " Save" : " Save As"));
        TestDir files;
        const std::string from = std::filesystem::path(k.dataFile).has_extension() ? "" : ".elf";
        std::ifstream in(std::string(TRILO_FIXTURES_DIR) + "/intelhex/" + k.dataFile + from);
        const std::string content{std::istreambuf_iterator<char>(in), {}};
        files.write(k.dataFile, content);
        start(k.id);
        s->engine().files().CurrentFile = files.file(k.dataFile);
        click(k.eeprom ? &btnReaEEClick : &btnReadClick);
        view.dialogAnswers.clear();
        for (const auto& d : k.dialogs) {
            view.dialogAnswers.push_back(d && !d->empty() ? std::optional(files.file(*d)) : d);
        }
        view.log.clear();
        ASSERT_TRUE(s->handle([&] { (s.get()->*k.command)(); }));
        EXPECT_EQ(files.read(k.dataFile), content);
        // A refusal says so in a box; nothing new lies beside the data file then.
        EXPECT_EQ(view.messages(FakeView::Kind::Info).size(), k.saved == nullptr ? 1u : 0u);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(files.path()), {}),
                  k.saved == nullptr ? 1 : 2);
        EXPECT_EQ(std::filesystem::exists(s->engine().files().BufferFile), k.saved == nullptr);
        if (k.saved != nullptr) {
            const std::string saved = files.read(k.saved);
            EXPECT_TRUE(k.firstByte != 0
                            ? saved.starts_with(k.firstByte)
                            : saved.size() == std::size_t(findDevice(k.id)->flashSize));
        }
    }
}

// The duration in a command's words is its own: a box that stood open eight seconds, OK or
// the chip question, adds nothing; and the last command's words are gone while it runs.
TEST_F(Commands, ADurationLeavesOutTheTimeABoxStoodOpen) {
    for (const std::int32_t inSocket : {10, 15}) {
        std::vector<std::string> said;
        for (const std::int64_t heldUs : {0, 8'000'000}) {
            start(10);
            machine.board->forceSocket(inSocket);
            useFile(Bytes(chip().flash.begin(), chip().flash.end()));
            view.answers = {true};
            view.whileBoxOpen = [&] {
                EXPECT_EQ(view.lastCommand, "");
                clock.advanceUs(heldUs);
            };
            click(&btnVerifyClick);
            view.whileBoxOpen = nullptr;
            view.answers.clear();
            said.push_back(view.lastCommand);
            machine.board->followSelection();
        }
        EXPECT_TRUE(said[0].starts_with("Verifikace: ") && said[0].ends_with(" s")) << said[0];
        EXPECT_EQ(said[1], said[0]) << inSocket;
    }
}

}  // namespace
}  // namespace trilo::test
