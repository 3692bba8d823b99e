// The command buttons through the session, on the simulated board: what the user sees (the
// messages, the boxes, Save) and what ends up in the chip.

#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "core/DeviceControls.h"
#include "core/Handlers.h"
#include "sim/SimulatedBoard.h"
#include "support/SessionFixture.h"
#include "support/SimRig.h"

namespace trilo::test {
namespace {

using C = Control;
using Handler = void (*)(Session&);

// The real choice of port layer, forced to the simulated board.
class SimMachine : public FakePlatform {
public:
    using FakePlatform::FakePlatform;
    PortSetup openPort(const PortOptions& options, Clock& clock) override {
        PortOptions sim = options;
        sim.board = "sim";
        PortSetup setup = openPortLayer(sim, clock);
        board = setup.board;
        return setup;
    }
    SimulatedBoard* board = nullptr;
};

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
    SimChip& chip() { return machine.board->chip(s->DeviceId); }
    // The data file the next command reads.
    void useFile(const Bytes& data) {
        dir.write("data.bin", std::string(data.begin(), data.end()));
        s->CurrentFile = dir.file("data.bin");
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
        std::ifstream in(s->BufferFile, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), {}};
        return {bytes.begin(), bytes.end()};
    }
    void expectAtRest() {
        EXPECT_EQ(machine.board->controlByte(), 0xC0);
        EXPECT_FALSE(s->DataFile.isOpen());
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
    expectAtRest();
    EXPECT_TRUE(machine.board->protocolFaults().empty())
        << machine.board->protocolFaults().list().front();
}

INSTANTIATE_TEST_SUITE_P(Devices, EveryDevice, ::testing::Range(1, kDeviceCount + 1),
                         [](const auto& info) {
                             return std::string(findDevice(info.param)->name);
                         });

TEST_F(Commands, AFileThatCannotBeWrittenLeavesTheChipAsItWas) {
    for (std::int32_t id : {10, 4}) {
        start(id);
        chip().flash[0] = 0x00;
        s->CurrentFile.clear();
        for (Handler h : {&btnWriteClick, &btnVerifyClick}) {
            EXPECT_EQ(click(h), std::vector<std::string>{kNoInputFile});
        }
        // One byte too many: refused before the automatic erase.
        useFile(Bytes(static_cast<std::size_t>(s->FlashSize) + 1, 0x00));
        EXPECT_EQ(click(&btnWriteClick), std::vector<std::string>{kFlashTooSmall});
        EXPECT_EQ(chip().flash[0], 0x00);
        expectAtRest();
    }
    start(10);
    useFile(Bytes(129, 0x00));
    EXPECT_EQ(click(&btnWriEEClick), std::vector<std::string>{kEepromTooSmall});
    s->CurrentFile.clear();
    EXPECT_EQ(click(&btnWriEEClick), std::vector<std::string>{kNoInputFile});
    EXPECT_EQ(chip().eeprom, Bytes(128, 0xFF));
}

TEST_F(Commands, FaultsEndInTheirMessagesWithTheBoardAtRest) {
    for (std::int32_t id : {15, 6}) {
        start(id);
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
        s->AutoVerify = false;
        chip().refuseToProgram(Memory::Flash, 40);
        EXPECT_EQ(click(&btnWriteClick), kNone);
        const std::string failed = kVerifyFailed;
        EXPECT_EQ(click(&btnVerifyClick),
                  std::vector<std::string>{findDevice(id)->isAvr() ? failed : failed + "41"});
        expectAtRest();
    }
}

}  // namespace
}  // namespace trilo::test
