// Job files, serial numbers and chip after chip on the simulated board, with the log and the
// serial state as files on disk.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <barrier>
#include <chrono>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "devices/DeviceNames.h"
#include "production/Production.h"
#include "support/FakePlatform.h"
#include "support/SimRig.h"
#include "support/TestDir.h"

namespace trilo::test {
namespace {

using namespace std::string_literals;

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

TEST(JobFile, WritesWhatItReadsBack) {
    TestDir dir;
    dir.write("fw.hex", ":0100000000FF\n:00000001FF\n");
    dir.write("ee.bin", "e");
    JobSpec job;
    job.device = deviceFromTypedName("90s2313");
    job.flashFile = dir.file("fw.hex");
    job.eepromFile = dir.file("ee.bin");
    job.erase = false;
    job.verify = false;
    job.verifyByRead = true;
    job.lockLevel = 2;
    job.fuses = "FSTRT";
    job.checkSignature = false;
    job.logFile = dir.file("log.csv");
    job.serial = std::get<SerialRule>(parseSerialRule("eeprom:0x10:3:99:7:bcd"));
    job.serialUseFailed = true;
    // Over a file of the user's: its comments stay, beside the new values too; the data files
    // are named beside the job, so the folder can move.
    dir.write("a.trilo",
              "[JOB]\n; kept\nDevice=90S1200 ; chip\nFuses=   ; none\nVerify=1\t# reads back\n");
    writeJobFile(dir.file("a.trilo"), job);
    EXPECT_EQ(readJobFile(dir.file("a.trilo")), job);
    for (const char* line : {"\n; kept\n", "\nDevice=90S2313 ; chip\n", "\nFuses=   FSTRT ; none\n",
                             "\nVerify=0\t# reads back\n", "\nFlash=fw.hex\n"}) {
        EXPECT_NE(dir.read("a.trilo").find(line), std::string::npos) << line << dir.read("a.trilo");
    }
    // A name that would read back as another is refused, the file left as it was.
    const std::string before = dir.read("a.trilo");
    job.flashFile = dir.file("a ;b.hex");
    EXPECT_THROW(writeJobFile(dir.file("a.trilo"), job), JobFileError);
    EXPECT_EQ(dir.read("a.trilo"), before);
}

// The example job of the user's guide, without its "[JOB]" line.
std::string guideExampleJob() {
    std::ifstream in(TRILO_FIXTURES_DIR "/../../README.md");
    const std::string guide{std::istreambuf_iterator<char>(in), {}};
    const std::string start = "```ini\n[JOB]\n";
    const std::size_t found = guide.find(start);  // when missing, an empty job: refused
    const std::size_t at = found == std::string::npos ? guide.size() : found + start.size();
    return guide.substr(at, guide.find("```", at) - at);
}

TEST(JobFile, ReadsWhatItCanRunAndRefusesTheRestWithLineAndReason) {
    TestDir dir;
    dir.write("fw.bin", "x");
    dir.write("a;b.bin", "x");
    dir.write("blink-2313.hex", ":0100000000FF\n:00000001FF\n");
    dir.write("blink-2313-eeprom.hex", ":0100000019E6\n:00000001FF\n");
    const struct {
        std::string body;
        const char* error;  // nullptr: read, as the job that sameAs reads (when given)
        const char* sameAs = nullptr;
    } cases[] = {
        {guideExampleJob(), nullptr},
        {"Device=90S2313 ; chip\n  ; indented\n# whole\nVerify=0\t# c\nFlash=a;b.bin #c\n", nullptr,
         "Device=90S2313\nVerify=0\nFlash=a;b.bin\n"},
        {"Device=90S2313\nFlash=\nEeprom=\nErase=\nVerify=\nVerifyByRead=\nLockLevel=\nFuses=\n"
         "SerialFuse=\nCheckSignature=\nLog=\nSerial=\nSerialUseFailed=  ; none\n",
         nullptr, "Device=90S2313\n"},
        {"Device=  ; none\n", ":2: Device: není zvolen čip"},
        {"Device=90S2313\nFlash=fw.bin\0junk\n"s, ":3: řádek obsahuje nulový bajt"},
        {"Device=90S2313\nFlash=/tmp\n", ":3: Flash: „/tmp“ je adresář"},
        {"Device=90S2313\nEeprom=/dev/zero\n", ":3: Eeprom: „/dev/zero“ není obyčejný soubor"},
        {"Device=90S2313\nFlash=fw.bin\nFoo=1\n", ":4: neznámý klíč „Foo“"},
        {"Device=90S2313\nErase=yes\n", ":3: Erase: hodnota „yes“ není 1 ani 0"},
        {"Device=90S9999\n", ":2: Device: neznámý čip „90S9999“"},
        {"Device=90S2313\nFlash=gone.hex\n", ":3: Flash: soubor „"},
        {"Device=89C2051\nFuses=SPIEN\n", ":3: Fuses: 89C2051 nemá fuse bity"},
        {"Device=90S2313\nFuses=BODEN\n", ":3: Fuses: 90S2313 nemá fuse bit „BODEN“"},
        {"Device=90S2313\nLockLevel=3\n", ":3: LockLevel: 90S2313 má lock bity úrovně 1 až 2"},
        {"Device=90S2313\nLockLevel=4\n", ":3: LockLevel: úroveň lock bitů je 0 až 3"},
        {"Device=90S2313\n[OTHER]\nX=1\n", ":3: neznámá sekce „OTHER“"},
        {"Device=90S2313\njust text\n", ":3: řádek „just text“ není klíč=hodnota"},
        {"Device=90S2313\ndevice=90S1200\n", ":3: klíč „Device“ je už na řádku 2"},
        {"Device=90S2313\nSerial=rom:0:2:1\n", ":3: Serial: paměť je flash nebo eeprom"},
        {"Device=90S2313\nSerial=flash:0x7FF:2:1\n",
         ":3: Serial: číslo na adrese 0x07FF (2 B) přesahuje"},
        {"Device=90S2313\nSerial=flash:0:1:256\n", ":3: Serial: sériové číslo 256 se nevejde"},
        {"Device=90S2313\nSerial=flash:0:2:5:-1\n", ":3: Serial: krok nesmí být záporný, ne „-1“"},
        {"Device=90S2313\nSerial=flash:0x1000000:2:5\n", ":3: Serial: adresa „0x1000000“ je větší"},
        {"Device=90S2313\nSerial=flash:0:8:18446744073709551616\n",
         ":3: Serial: počáteční číslo „18446744073709551616“ je větší než 18446744073709551615"},
        {"Device=89C2051\nSerialFuse=on\n", ":3: SerialFuse: 89C2051 nemá pojistku"},
        {"Erase=1\n", ": chybí klíč Device"},
    };
    const auto read = [&](const std::string& body) {
        dir.write("job.trilo", "[JOB]\n" + body);
        return readJobFile(dir.file("job.trilo"));
    };
    for (const auto& c : cases) {
        try {
            const JobSpec job = read(c.body);
            EXPECT_TRUE(c.error == nullptr) << "accepted: " << c.body;
            if (c.sameAs != nullptr) {
                EXPECT_EQ(job, read(c.sameAs)) << c.body;
            }
        } catch (const JobFileError& e) {
            ASSERT_NE(c.error, nullptr) << e.what();
            EXPECT_NE(std::string(e.what()).find(std::string("job.trilo") + c.error),
                      std::string::npos)
                << e.what();
            EXPECT_EQ(std::string(e.what()).rfind(dir.file("job.trilo"), 0), 0u) << e.what();
        }
    }
}

TEST(Serial, SpellsTheNumberAsTheRuleSays) {
    const struct {
        const char* rule;
        std::uint64_t number;
        std::optional<Bytes> bytes;
    } cases[] = {
        {"flash:0:2:0:1:le", 0x1234, Bytes{0x34, 0x12}},
        {"flash:0:3:0:1:be", 0x1234, Bytes{0x00, 0x12, 0x34}},
        {"flash:0:2:0:1:bcd", 1234, Bytes{0x12, 0x34}},
        {"flash:0:5:0:1:ascii", 1012, Bytes{'0', '1', '0', '1', '2'}},
        {"flash:0:1:0", 255, Bytes{0xFF}},
        {"flash:0:1:0", 256, std::nullopt},
        {"flash:0:2:0:1:bcd", 10000, std::nullopt},
        {"flash:0:3:0:1:ascii", 1000, std::nullopt},
    };
    for (const auto& c : cases) {
        const auto rule = std::get<SerialRule>(parseSerialRule(c.rule));
        EXPECT_EQ(encodeSerial(rule, c.number), c.bytes) << c.rule << " " << c.number;
    }
}

// Feeds a fixed number of chips, with a fault held on the board for some of them, and keeps
// what each chip holds at the serial number's place.
class Feeder final : public ChipFeeder {
public:
    Feeder(SimulatedBoard& board, int chips, std::set<int> faulty,
           std::barrier<>* together = nullptr)
        : board_(board), chips_(chips), faulty_(std::move(faulty)), together_(together) {}
    bool nextChip(const ProductionRun& run) override {
        if (together_ != nullptr) {
            together_->arrive_and_wait();
        }
        // Bit 5 is clear in each byte of the 90S2313's signature, which reads as ever.
        if (faulty_.contains(run.chips() + 1)) {
            board_.stickDataLine(5, false);
        } else {
            board_.freeDataLines();
        }
        return run.chips() < chips_;
    }
    void chipDone(const ChipResult& chip) override {
        lines.push_back(chipLine(chip));
        const SimChip& sim = *board_.socket();
        held.push_back({sim.flash[0x100], sim.flash[0x101]});
    }
    std::vector<std::string> lines;
    std::vector<Bytes> held;

private:
    SimulatedBoard& board_;
    int chips_;
    std::set<int> faulty_;
    std::barrier<>* together_;
};

class ChipAfterChip : public ::testing::Test {
protected:
    ChipAfterChip() {
        engine.bringUp(BoardSettings{});
        const Bytes image = pattern(512);
        dir.write("fw.bin", std::string(image.begin(), image.end()));
        job.device = deviceFromTypedName("90s2313");
        job.flashFile = dir.file("fw.bin");
        job.logFile = dir.file("log.csv");
        job.serial = std::get<SerialRule>(parseSerialRule("flash:0x100:2:1000"));
        job.serialOverImage = true;
    }

    TestDir dir;
    SimMachine machine{dir.path().string()};
    RecordingClock clock;
    RecordingSink sink;
    struct : EngineListener {
    } heard;
    Engine engine{clock, machine, machine, sink, heard};
    JobSpec job;
};

TEST_F(ChipAfterChip, NumbersLogsAndCountsEachChipAndGoesOnAfterAFailure) {
    ProductionRun run(engine, job, "job.trilo", dir.file("job.trilo.sn"));
    Feeder feeder(*machine.board, 3, {2});
    run.run(feeder);

    ASSERT_EQ(feeder.lines.size(), 3u);
    EXPECT_EQ(feeder.lines[0].rfind("#1 OK 90S2313 1E 91 01, CRC-32 0x", 0), 0u) << feeder.lines[0];
    EXPECT_TRUE(feeder.lines[0].ends_with(", SN 1000")) << feeder.lines[0];
    EXPECT_EQ(feeder.lines[1].rfind("#2 CHYBA 90S2313 1E 91 01, Zápis FLASH: ", 0), 0u)
        << feeder.lines[1];
    EXPECT_TRUE(feeder.lines[1].ends_with(", SN 1001")) << feeder.lines[1];
    // The failed chip gave its number back.
    EXPECT_TRUE(feeder.lines[2].ends_with(", SN 1001")) << feeder.lines[2];
    EXPECT_EQ(feeder.held[0], (Bytes{0xE8, 0x03}));
    EXPECT_EQ(feeder.held[2], (Bytes{0xE9, 0x03}));
    EXPECT_EQ(dir.read("job.trilo.sn"), "1002\n");
    EXPECT_EQ(countsLine(run.chips(), run.good(), run.bad()), "Hotovo: 3 čipy, 2 dobré, 1 vadný");

    const auto rows = linesOf(dir.read("log.csv"));
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0],
              "time,job,device,signature,result,step,message,first_difference,crc32,"
              "serial,duration_s");
    const struct {
        const char* fields;
    } expected[] = {{",job.trilo,90S2313,1E 91 01,OK,,,,0x"},
                    {",job.trilo,90S2313,1E 91 01,CHYBA,Zápis FLASH,"},
                    {",job.trilo,90S2313,1E 91 01,OK,,,,0x"}};
    for (std::size_t k = 0; k < 3; ++k) {
        EXPECT_NE(rows[k + 1].find(expected[k].fields), std::string::npos) << rows[k + 1];
        EXPECT_NE(rows[k + 1].find(k == 0 ? ",1000," : ",1001,"), std::string::npos) << rows[k + 1];
    }
    // A second run appends, without a second header.
    ProductionRun again(engine, job, "job.trilo", dir.file("job.trilo.sn"));
    Feeder one(*machine.board, 1, {});
    again.run(one);
    EXPECT_TRUE(one.lines[0].ends_with(", SN 1002")) << one.lines[0];
    EXPECT_EQ(linesOf(dir.read("log.csv")).size(), 5u);
}

TEST_F(ChipAfterChip, StopsBeforeTheChipWhenTheNumberNoLongerFits) {
    const struct {
        const char* rule;
        int chips;
        const char* state;
        const char* why;
    } cases[] = {
        {"flash:0x100:1:254", 2, "256\n", "sériové číslo 256 se nevejde do 1 B (le)"},
        // Past 2^64-1 the count stops instead of wrapping round.
        {"flash:0x100:8:18446744073709551615", 1, "18446744073709551616\n",
         "sériové číslo 18446744073709551616 je větší než 18446744073709551615"},
        {"flash:0x100:4:5:18446744073709551615", 1, "18446744073709551620\n",
         "sériové číslo 18446744073709551620 je větší než 18446744073709551615"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(dir.file("job.trilo.sn"));
        job.serial = std::get<SerialRule>(parseSerialRule(c.rule));
        ProductionRun run(engine, job, "job.trilo", dir.file("job.trilo.sn"));
        Feeder feeder(*machine.board, 5, {});
        try {
            run.run(feeder);
            ADD_FAILURE() << c.rule;
        } catch (const RunEnded& e) {
            EXPECT_EQ(std::string(e.what()), c.why);
        }
        EXPECT_EQ(run.chips(), c.chips) << c.rule;
        EXPECT_EQ(dir.read("job.trilo.sn"), c.state) << c.rule;
    }
}

// Four runs on four boards share one state file and one log, all four beginning each chip at
// once; one board's chips 3, 6 and 9 fail and give their numbers back to the next round.
TEST_F(ChipAfterChip, FourRunsAtOnceHandOutEachNumberOnceAndLogWholeLines) {
    constexpr int kRuns = 4;
    constexpr int kChips = 12;
    struct Bench {
        TestDir own;
        SimMachine machine{own.path().string()};
        RecordingClock clock;
        RecordingSink sink;
        struct : EngineListener {
        } heard;
        Engine engine{clock, machine, machine, sink, heard};
    };
    std::array<Bench, kRuns> benches;
    std::barrier together(kRuns);
    std::vector<std::thread> runs;
    for (int k = 0; k < kRuns; ++k) {
        runs.emplace_back([&, k] {
            try {
                benches[k].engine.bringUp(BoardSettings{});
                // Logged as text, not as the formula a spreadsheet would run.
                ProductionRun run(benches[k].engine, job, "@SUM(A1).trilo",
                                  dir.file("job.trilo.sn"));
                Feeder feeder(*benches[k].machine.board, kChips,
                              k == 0 ? std::set<int>{3, 6, 9} : std::set<int>{}, &together);
                run.run(feeder);
            } catch (const std::exception& e) {
                ADD_FAILURE() << e.what();
                together.arrive_and_drop();
            }
        });
    }
    for (std::thread& run : runs) {
        run.join();
    }
    const auto rows = linesOf(dir.read("log.csv"));
    ASSERT_EQ(rows.size(), 1u + kRuns * kChips);
    EXPECT_EQ(rows[0] + "\n", csvHeader());
    const std::regex whole(
        R"(\d{4}-\d\d-\d\dT[^,]+,"'@SUM\(A1\)\.trilo",90S2313,1E 91 01,(OK|CHYBA),.*,(\d+),\d+\.\d{3})");
    std::set<std::uint64_t> good;
    int failed = 0;
    for (std::size_t k = 1; k < rows.size(); ++k) {
        std::smatch fields;
        ASSERT_TRUE(std::regex_match(rows[k], fields, whole)) << rows[k];
        if (fields[1] == "OK") {
            EXPECT_TRUE(good.insert(std::stoull(fields[2])).second) << "twice: " << rows[k];
        } else {
            ++failed;
        }
    }
    // None lost: the good chips hold 1000 onwards without a gap.
    EXPECT_EQ(failed, 3);
    EXPECT_EQ(*good.begin(), 1000u);
    EXPECT_EQ(*good.rbegin(), 1000u + good.size() - 1);
    EXPECT_EQ(dir.read("job.trilo.sn"), std::to_string(1000 + good.size()) + "\n");
}

// What a run refuses before the board is claimed, naming the file once; the state file stays
// as it was, and a log made for the refusal does not stay.
TEST_F(ChipAfterChip, RefusesRecordsSomeoneElseCouldWriteOrTheRunReads) {
    dir.write("job.trilo", "[JOB]\n");
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    // A reader, so that a run which opened the FIFO would not wait for one.
    const int reader = ::open(dir.file("fifo").c_str(), O_RDONLY | O_NONBLOCK);
    const std::string sn = "Soubor sériových čísel " + dir.file("job.trilo.sn");
    const std::string reads = ": je to soubor, ze kterého úloha čte; protokol musí být jiný soubor";
    const struct {
        const char* log;
        mode_t logMode;  // 0: no log yet
        const char* state;
        mode_t stateMode;
        bool others;  // given to another user
        std::string error;
    } cases[] = {
        {"log.csv", 0, "1000\n", 0666, false, sn + ": je zapisovatelný pro všechny"},
        {"log.csv", 0, "1000\n", 0444, false, sn + ": je jen pro čtení"},
        {"log.csv", 0, "1000\n", 0644, true, sn + ": patří jinému uživateli"},
        {"log.csv", 0, "1000\n7\nx\n", 0644, false,
         sn + " nedrží číslo; opravte ho nebo smažte, aby žádné číslo nebylo vydáno dvakrát"},
        {"log.csv", 0666, nullptr, 0, false, ": je zapisovatelný pro všechny"},
        {"log.csv", 0444, nullptr, 0, false, ": je jen pro čtení"},
        {"fifo", 0, nullptr, 0, false, ": není obyčejný soubor"},
        {"fw.bin", 0, nullptr, 0, false, reads},
        {"job.trilo", 0, nullptr, 0, false, reads},
        {"job.trilo.sn", 0, nullptr, 0, false, reads},
    };
    for (const auto& c : cases) {
        // Only root may give a file away.
        if (c.others && ::geteuid() != 0) {
            continue;
        }
        std::filesystem::remove(dir.file("log.csv"));
        std::filesystem::remove(dir.file("job.trilo.sn"));
        const auto make = [&](const char* name, const char* content, mode_t mode) {
            dir.write(name, content);
            ::chmod(dir.file(name).c_str(), mode);
            if (c.others) {
                EXPECT_EQ(::chown(dir.file(name).c_str(), 65534, 65534), 0);
            }
        };
        if (c.logMode != 0) {
            make(c.log, "", c.logMode);
        }
        if (c.state != nullptr) {
            make("job.trilo.sn", c.state, c.stateMode);
        }
        job.logFile = dir.file(c.log);
        const std::string error =
            c.error.starts_with(": ") ? "Protokol " + job.logFile + c.error : c.error;
        try {
            ProductionRun run(engine, job, "job.trilo", dir.file("job.trilo.sn"),
                              dir.file("job.trilo"));
            ADD_FAILURE() << "accepted: " << error;
        } catch (const TriloError& e) {
            EXPECT_EQ(std::string(e.what()), error);
        }
        EXPECT_EQ(dir.exists("job.trilo.sn") ? dir.read("job.trilo.sn") : "",
                  c.state ? c.state : "")
            << error;
    }
    ::close(reader);
}

// A line the disk cannot take whole is cut off again, the run ends, and its chip does not
// count: the log here may grow by two lines and a half.
TEST_F(ChipAfterChip, ALineThatDoesNotReachTheDiskWholeIsCutOffAndNotCounted) {
    dir.write("log.csv", csvHeader() + std::string(4000, 'x') + "\n");
    const std::string log = dir.file("log.csv");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ProductionRun run(engine, job, "job.trilo", dir.file("job.trilo.sn"));
        ::signal(SIGXFSZ, SIG_IGN);
        const auto size = static_cast<rlim_t>(std::filesystem::file_size(log)) + 200;
        const rlimit limit{size, size};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        Feeder feeder(*machine.board, 10, {});
        try {
            run.run(feeder);
        } catch (const TriloError& e) {
            ::_exit(std::string(e.what()).starts_with("Protokol " + log + " nelze zapsat: ")
                        ? run.chips()
                        : 100);
        }
        ::_exit(100);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    const int counted = WEXITSTATUS(status);
    EXPECT_TRUE(counted >= 1 && counted < 10) << counted;
    EXPECT_EQ(linesOf(dir.read("log.csv")).size(), 2u + static_cast<std::size_t>(counted));
    EXPECT_EQ(dir.read("log.csv").back(), '\n');
}

// A run killed at any moment leaves a state file that holds one number whole, and no chip
// in the log has that number or a later one.
TEST_F(ChipAfterChip, AKilledRunLeavesTheStateWholeAndNoNumberTwice) {
    job.logFile = dir.file("kill.csv");
    for (const int delayMs : {3, 11, 29}) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ProductionRun run(engine, job, "job.trilo", dir.file("kill.sn"));
            Feeder endless(*machine.board, 1 << 30, {});
            run.run(endless);
            ::_exit(0);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status));
        const std::uint64_t next =
            std::get<std::uint64_t>(SerialState(dir.file("kill.sn")).peek(*job.serial));
        std::set<std::uint64_t> given;
        for (const std::string& row : linesOf(dir.read("kill.csv"))) {
            if (row.rfind("time,", 0) != 0) {
                const auto last = row.rfind(',');
                const auto before = row.rfind(',', last - 1);
                const std::uint64_t sn = std::stoull(row.substr(before + 1, last - before - 1));
                EXPECT_LT(sn, next) << row;
                EXPECT_TRUE(given.insert(sn).second) << "twice: " << row;
            }
        }
    }
}

}  // namespace
}  // namespace trilo::test
