// The plan of a run: the steps in the order the chip takes them or the refusal, and jobs of
// every kind run on the simulated chip, each judged by what the chip holds afterwards.
#include <gtest/gtest.h>

#include <algorithm>

#include "commands/Plan.h"
#include "devices/DeviceNames.h"
#include "production/Production.h"
#include "support/FakePlatform.h"
#include "support/SimRig.h"
#include "support/TestDir.h"

namespace trilo::test {
namespace {

using C = Command;

Asked ask(Command command, const char* file = "", const char* origin = "") {
    Asked a{command, CommandArgs{}, origin};
    if (*file != 0) {
        a.args.file = file;
    }
    return a;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += (text.empty() ? "" : " | ") + line;
    }
    return text;
}

TEST(Plan, PutsTheStepsInTheChipsOrderOrSaysWhyNot) {
    const struct {
        const char* device;
        std::vector<Asked> asked;
        int lock;
        bool verifyAfter;
        bool autoErase;
        const char* expected;  // the plan's lines, or the refusal
    } cases[] = {
        // A job: the erase before the EEPROM, the fuses and the verify before the lock bits.
        {"90S2313",
         {ask(C::WriteEeprom, "e.bin", "Eeprom"), ask(C::WriteFlash, "f.bin", "Flash"),
          ask(C::WriteFuses, "", "Fuses")},
         2,
         true,
         true,
         "1. Mazání před zápisem | 2. Zápis EEPROM: e.bin, čtení zpět | 3. Zápis FLASH: f.bin, "
         "čtení zpět | 4. Zápis fuse bitů: SPIEN,FSTRT naprogramované, čtení zpět | 5. "
         "Verifikace: f.bin, čtením | 6. Zápis lock bitů: úroveň 2, čtení zpět"},
        // Nothing after the write that the lock refuses: the write's own erase and lock bits.
        {"89C2051",
         {ask(C::WriteFlash, "f.bin"), ask(C::Signature)},
         1,
         false,
         true,
         "1. Zápis FLASH: f.bin, mazání předem, čtení zpět, na konci lock bity úrovně 1 | 2. "
         "Podpis čipu"},
        // An asked erase is the one erase; a read after the writes goes before the lock, the
        // lock's read after it. A job without the flash erases nothing.
        {"89S53",
         {ask(C::ReadFlash, "old.bin"), ask(C::Erase), ask(C::WriteFlash, "f.bin"),
          ask(C::Checksum), ask(C::ReadLockBits)},
         3,
         false,
         true,
         "1. Čtení FLASH: old.bin | 2. Mazání: kontrola prázdnoty | 3. Zápis FLASH: f.bin, čtení "
         "zpět | 4. Kontrolní součet | 5. Zápis lock bitů: úroveň 3, čtení zpět | 6. Čtení lock "
         "bitů"},
        {"90S8515",
         {ask(C::WriteFuses)},
         0,
         false,
         true,
         "1. Zápis fuse bitů: SPIEN,FSTRT naprogramované, čtení zpět"},
        {"90S8515",
         {ask(C::WriteFlash, "f.bin")},
         0,
         false,
         false,
         "1. Zápis FLASH: f.bin, čtení zpět"},
        {"90S2313",
         {ask(C::WriteEeprom, "e.bin", "--write-eeprom"), ask(C::Erase, "", "--erase")},
         0,
         false,
         true,
         "--erase za --write-eeprom: mazání čipu smaže i EEPROM, kterou tento běh zapsal; dejte "
         "--erase před --write-eeprom"},
        {"90S2313",
         {ask(C::WriteEeprom, "e.bin")},
         2,
         false,
         true,
         "--lock: lock bity se zapisují jen na konci zápisu FLASH a tento běh FLASH nezapisuje"},
        {"90S2313",
         {ask(C::WriteFlash, "f.bin")},
         3,
         false,
         true,
         "--lock: 90S2313 má lock bity úrovně 1 až 2, ne 3"},
        {"89C2051",
         {ask(C::WriteEeprom, "e.bin", "--write-eeprom")},
         0,
         false,
         true,
         "--write-eeprom: 89C2051 nemá EEPROM"},
        {"90S2313",
         {ask(C::WriteFuses)},
         0,
         true,
         true,
         "VerifyByRead: verifikace čtením platí jen pro zápis nebo verifikaci FLASH a tento běh "
         "nemá ani jedno"},
    };
    for (const auto& c : cases) {
        PlanRequest r;
        r.device = deviceFromTypedName(c.device);
        r.asked = c.asked;
        r.lockLevel = c.lock;
        r.lockOrigin = "--lock";
        r.verifyAfterWrite = c.verifyAfter;
        r.verifyOrigin = "VerifyByRead";
        r.checks.verifyByRead = c.verifyAfter;
        r.autoErase = c.autoErase;
        // The fuse write programs every fuse the device has.
        for (Asked& a : r.asked) {
            a.args.fuses = static_cast<std::uint8_t>(~r.device->fuseMask());
        }
        const auto made = makePlan(r);
        const std::string got = std::holds_alternative<Plan>(made)
                                    ? joined(planLines(std::get<Plan>(made)))
                                    : std::get<PlanRefusal>(made).text();
        EXPECT_EQ(got, c.expected) << c.device;
    }
}

TEST(Plan, ChecksEveryFileBeforeTheBoardIsOpened) {
    TestDir dir;
    const std::string fixtures = std::string(TRILO_FIXTURES_DIR) + "/intelhex/";
    dir.write("code.bin", std::string(64, '\x12'));
    dir.write("reserved.bin", std::string(16, '\x12') + std::string(48, '\xFF'));
    dir.write("empty.bin", "");
    dir.write("eof.hex", ":00000001FF\n");
    dir.write("big.bin", std::string(2049, '\0'));
    std::filesystem::create_directory(dir.path() / "folder");
    const struct {
        Command command;
        std::string file;
        std::optional<std::int64_t> serialAt;  // a 2-byte number in that memory
        const char* expected;                  // the refusal's message and text, "" when accepted
    } cases[] = {
        {C::WriteFlash, dir.file("code.bin"), std::nullopt, ""},
        {C::WriteFlash, dir.file("gone.bin"), std::nullopt, "--write: soubor „"},
        {C::WriteFlash, dir.file("folder"), std::nullopt, "folder“ je adresář"},
        {C::WriteFlash, dir.file("empty.bin"), std::nullopt,
         "Soubor vstupních dat neobsahuje žádná data pro FLASH ! "},
        {C::WriteFlash, dir.file("eof.hex"), std::nullopt,
         "Soubor vstupních dat neobsahuje žádná data pro FLASH ! "},
        {C::WriteFlash, fixtures + "avr-eeprom-only.elf", std::nullopt,
         "Soubor vstupních dat neobsahuje žádná data pro FLASH ! "},
        {C::WriteEeprom, dir.file("empty.bin"), std::nullopt,
         "Soubor vstupních dat neobsahuje žádná data pro EEPROM ! "},
        {C::Verify, dir.file("empty.bin"), std::nullopt,
         "Soubor vstupních dat je prázdný, není s čím porovnat ! "},
        {C::WriteFlash, dir.file("big.bin"), std::nullopt,
         "Soubor vstupních dat je větší než velikost FLASH v CPU ! "},
        // A serial number over the program's own bytes; in its blank bytes it is welcome.
        {C::WriteFlash, dir.file("code.bin"), 0x10,
         "--serial: číslo na adrese 0x0010 (2 B) by přepsalo bajt programu 12 na 0x0010"},
        {C::WriteFlash, dir.file("reserved.bin"), 0x10, ""},
        {C::WriteFlash, dir.file("code.bin"), 0x40, ""},
        {C::ReadFlash, fixtures + "avr-blink.elf", std::nullopt, "--read "},
    };
    for (const auto& c : cases) {
        Plan plan;
        plan.device = deviceFromTypedName("90S2313");
        PlanStep step{c.command, CommandArgs{}, c.command == C::ReadFlash ? "--read" : "--write"};
        step.args.file = c.file;
        plan.steps.push_back(step);
        if (c.serialAt) {
            plan.serial = SerialField{false, *c.serialAt, 2, false, "--serial"};
        }
        const auto refusal = checkInputs(plan);
        const std::string got = refusal ? refusal->message + refusal->text() : "";
        if (*c.expected == 0) {
            EXPECT_EQ(got, "") << c.file;
        } else {
            EXPECT_NE(got.find(c.expected), std::string::npos) << c.file << ": " << got;
        }
    }
}

// The chip's lock level as its lock bits show it.
int lockLevelOf(const SimChip& chip) {
    int level = 0;
    for (int bit = 1; bit <= 3; ++bit) {
        level = chip.lockBits[static_cast<std::size_t>(bit - 1)] ? bit : level;
    }
    return level;
}

// One chip of every job the four devices' options make, on a new chip each: a job that can
// run ends OK with the chip holding what the job said, one that cannot is refused before the
// chip is touched.
TEST(Plan, EveryJobEndsAsItSaysOnTheSimulatedChip) {
    TestDir dir;
    Bytes code(64);
    for (std::size_t i = 0; i < code.size(); ++i) {
        code[i] = static_cast<std::uint8_t>(i * 7 + 1);
    }
    const Bytes data = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
    dir.write("fw.bin", std::string(code.begin(), code.end()));
    dir.write("ee.bin", std::string(data.begin(), data.end()));
    int ran = 0;
    int refused = 0;
    for (const char* name : {"90S2313", "90S8515", "89S53", "89C2051"}) {
        const DeviceInfo& device = *deviceFromTypedName(name);
        const Offers offered = offers(device);
        for (int bits = 0; bits < 1 << 9; ++bits) {
            const auto bit = [&](int k) { return (bits >> k & 1) != 0; };
            JobSpec job;
            job.device = &device;
            job.flashFile = bit(0) ? dir.file("fw.bin") : "";
            job.eepromFile = bit(1) ? dir.file("ee.bin") : "";
            job.erase = bit(2);
            job.verify = bit(3);
            job.verifyByRead = bit(4);
            if (bit(5) && offered.fuses) {
                job.fuses = "FSTRT";
            }
            job.serialFuseOn = bit(5) && offered.serialFuse ? std::optional(false) : std::nullopt;
            const int serial = bits >> 6 & 1;  // none, or in the flash (EEPROM when it has one)
            const int lock = bits >> 7;
            job.lockLevel = lock;
            if ((bit(1) && !offered.eeprom) || (bit(5) && !offered.fuses && !offered.serialFuse) ||
                lock > device.lockLevels) {
                continue;  // what the device has not: the job file itself refuses it
            }
            const bool serialEeprom = serial == 1 && offered.eeprom && !bit(0);
            if (serial == 1) {
                job.serial = std::get<SerialRule>(
                    parseSerialRule(serialEeprom ? "eeprom:0x20:2:4660" : "flash:0x80:2:4660"));
            }
            const bool writesFlash = bit(0) || (job.serial && !serialEeprom);
            const bool writesEeprom = bit(1) || serialEeprom;
            const bool valid = (writesFlash || writesEeprom || bit(5)) &&
                               (lock == 0 || writesFlash) && (!bit(4) || writesFlash);

            SimMachine machine(dir.path().string());
            RecordingClock clock;
            RecordingSink sink;
            struct : EngineListener {
            } heard;
            Engine engine(clock, machine, machine, sink, heard);
            engine.bringUp(BoardSettings{});
            engine.selectDevice(device.id);
            const SimChip& chip = *machine.board->socket();
            const std::uint8_t factoryFuses = chip.fuses;
            ProductionRun run(engine, job, "j.trilo", dir.file("j.sn"));
            struct OneChip final : ChipFeeder {
                bool nextChip(const ProductionRun& r) override { return r.chips() == 0; }
                void chipDone(const ChipResult& c) override { line = chipLine(c); }
                std::string line;
            } feeder;
            const std::string what = std::string(name) + " job " + std::to_string(bits);
            std::remove(dir.file("j.sn").c_str());
            try {
                run.run(feeder);
            } catch (const TriloError& e) {
                EXPECT_FALSE(valid) << what << ": " << e.what();
                EXPECT_EQ(feeder.line, "") << what;
                EXPECT_TRUE(std::all_of(chip.flash.begin(), chip.flash.end(), [](std::uint8_t b) {
                    return b == 0xFF;
                })) << what;
                ++refused;
                continue;
            }
            ++ran;
            ASSERT_TRUE(valid) << what << " ran: " << feeder.line;
            EXPECT_EQ(feeder.line.find(" OK "), 2u) << what << ": " << feeder.line;
            Bytes flash(chip.flash.size(), 0xFF);
            if (bit(0)) {
                // The raw AVR file holds each word high byte first; the chip low byte first.
                for (std::size_t a = 0; a < code.size(); ++a) {
                    flash[device.isAvr() ? a ^ 1 : a] = code[a];
                }
            }
            Bytes eeprom(chip.eeprom.size(), 0xFF);
            if (bit(1)) {
                std::copy(data.begin(), data.end(), eeprom.begin());
            }
            if (job.serial) {
                Bytes& memory = serialEeprom ? eeprom : flash;
                const auto at = static_cast<std::size_t>(job.serial->address);
                memory[at] = 0x34;
                memory[at + 1] = 0x12;
            }
            // A locked chip is judged by its lock bits: its memory no longer reads.
            EXPECT_TRUE(chip.flash == flash) << what;
            EXPECT_TRUE(chip.eeprom == eeprom) << what;
            EXPECT_EQ(lockLevelOf(chip), lock) << what;
            const std::uint8_t fuses =
                job.fuses && offered.fuses ? jobFuseByte(job) & device.fuseMask() : factoryFuses;
            EXPECT_EQ(chip.fuses & device.fuseMask(), fuses & device.fuseMask()) << what;
            EXPECT_EQ(chip.serialProgramming, !job.serialFuseOn.has_value()) << what;
            EXPECT_TRUE(machine.board->protocolFaults().empty()) << what;
        }
    }
    // Every kind of job was tried, and some of each end.
    EXPECT_GT(ran, 500);
    EXPECT_GT(refused, 100);
}

}  // namespace
}  // namespace trilo::test
