// The engine's own rules, through its interface alone: what a device offers, one command at a
// time on a worker, and what happens to a stop, a second command, a file and a close that
// come while a command runs.
#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "devices/DeviceNames.h"
#include "engine/Engine.h"
#include "support/FakePlatform.h"
#include "support/SimRig.h"
#include "support/TestDir.h"

namespace trilo::test {
namespace {

using commands::Outcome;

// A worker of its own for every command, as the window's.
class ThreadHost final : public CommandHost {
public:
    void runOnWorker(const std::function<void()>& work) override { std::thread(work).join(); }
};

struct Heard final : EngineListener {
    void busyChanged(bool busy) override { busyChanges.push_back(busy); }
    void commandFinished(const Report& report) override { reports.push_back(report); }
    void error(const std::string& message) override { errors.push_back(message); }
    void closeAfterStop() override { ++closes; }
    std::vector<bool> busyChanges;
    std::vector<Report> reports;
    std::vector<std::string> errors;
    int closes = 0;
};

// The operations' sink, with the user's act while the gauge moves.
struct Hooked final : OperationSink {
    void progress(int percent) override {
        if (moved) {
            moved(percent);
        }
        face.progress(percent);
    }
    void info(const std::string& message) override { face.info(message); }
    bool ask(const std::string& question) override { return face.ask(question); }
    std::function<void(int)> moved;
    RecordingSink face;
};

class EngineRules : public ::testing::Test {
protected:
    EngineRules() {
        engine.setHost(host);
        engine.bringUp(BoardSettings{});
        engine.selectDevice(deviceFromTypedName("89c2051")->id);
        engine.files().BufferFile = dir.file("buffer");
    }

    TestDir dir;
    SimMachine machine{dir.path().string()};
    RecordingClock clock;
    Hooked sink;
    Heard heard;
    ThreadHost host;
    Engine engine{clock, machine, machine, sink, heard};
};

TEST_F(EngineRules, OffersWhatTheDeviceFamilyAndRowHave) {
    using K = Command;
    const std::set<K> optional{K::ReadEeprom,     K::WriteEeprom,    K::VerifyEeprom,
                               K::ReadLockBits,   K::ReadFuses,      K::WriteFuses,
                               K::ReadSerialFuse, K::WriteSerialFuse};
    const struct {
        const char* device;
        std::set<K> offered;  // of the optional ones
    } cases[] = {
        {"89c2051", {}},
        {"89s8252", {K::ReadLockBits, K::ReadSerialFuse, K::WriteSerialFuse}},
        {"90s2313",
         {K::ReadEeprom, K::WriteEeprom, K::VerifyEeprom, K::ReadLockBits, K::ReadFuses,
          K::WriteFuses}},
        {"90s8534", {K::ReadEeprom, K::WriteEeprom, K::VerifyEeprom, K::ReadLockBits}},
        {"t28", {K::ReadLockBits, K::ReadFuses, K::WriteFuses}},
    };
    for (const auto& c : cases) {
        engine.selectDevice(deviceFromTypedName(c.device)->id);
        for (const CommandRow& row : commandTable()) {
            const bool expected = !optional.contains(row.id) || c.offered.contains(row.id);
            EXPECT_EQ(engine.offered(row.id), expected) << c.device << " " << row.name;
        }
    }
    engine.selectDevice(0);
    EXPECT_FALSE(engine.offered(Command::ReadFlash));
    EXPECT_EQ(engine.run(Command::ReadFlash).outcome(), Outcome::NotOffered);
    EXPECT_TRUE(heard.reports.empty());
}

// What comes while a flash read runs, from its worker once the gauge has moved.
TEST_F(EngineRules, TakesWhatComesDuringACommandInItsTime) {
    dir.write("late.bin", "x");
    const struct {
        const char* name;
        std::function<void(Engine&, bool& secondRan)> during;
        Outcome outcome;
        std::string fileAfter;
        int closes;
    } cases[] = {
        {"a second command",
         [](Engine& e, bool& ran) { EXPECT_FALSE(e.execute([&] { ran = true; })); }, Outcome::Done,
         "", 0},
        {"a file", [&](Engine& e, bool&) { e.openDataFile(dir.file("late.bin")); }, Outcome::Done,
         dir.file("late.bin"), 0},
        {"a stop", [](Engine& e, bool&) { e.requestStop(); }, Outcome::Stopped, "", 0},
        {"a close", [](Engine& e, bool&) { e.stopForClose(); }, Outcome::Stopped, "", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        engine.files().CurrentFile.clear();
        heard = Heard{};
        bool secondRan = false;
        bool fileDuring = true;
        bool once = false;
        sink.moved = [&](int percent) {
            if (percent > 0 && !once) {
                once = true;
                EXPECT_TRUE(engine.busy());
                c.during(engine, secondRan);
                fileDuring = engine.files().CurrentFile.empty();
            }
        };
        EXPECT_TRUE(
            engine.execute([&] { engine.handle([&] { engine.run(Command::ReadFlash); }); }));
        EXPECT_FALSE(engine.busy());
        EXPECT_FALSE(secondRan);
        EXPECT_TRUE(fileDuring);
        EXPECT_EQ(heard.busyChanges, (std::vector<bool>{true, false}));
        ASSERT_EQ(heard.reports.size(), 1u);
        EXPECT_EQ(heard.reports[0].outcome, c.outcome);
        EXPECT_EQ(engine.files().CurrentFile, c.fileAfter);
        EXPECT_EQ(heard.closes, c.closes);
        EXPECT_EQ(engine.board().link().LastControlByte, 0xC0);
        EXPECT_FALSE(engine.files().DataFile.isOpen());
        // A stop asked for before the next command does not end it.
        EXPECT_EQ(engine.run(Command::ReadFlash).outcome(), Outcome::Done);
    }
}

// Many commands on one claim of the board: the port is checked and the board released once,
// around them all, and each command still reports on its own.
TEST_F(EngineRules, RunsManyCommandsOnOneBoardClaim) {
    dir.write("data.bin", std::string(16, '\x5A'));
    CommandArgs file;
    file.file = dir.file("data.bin");
    std::vector<Outcome> outcomes;
    engine.onBoard([&] {
        for (const Command id : {Command::Erase, Command::WriteFlash, Command::Verify}) {
            outcomes.push_back(engine.run(id, file).outcome());
        }
    });
    EXPECT_EQ(outcomes, (std::vector<Outcome>(3, Outcome::Done)));
    ASSERT_EQ(heard.reports.size(), 3u);
    EXPECT_TRUE(heard.reports[2].verified);
    EXPECT_EQ(heard.reports[1].bytes, 16);
}

}  // namespace
}  // namespace trilo::test
