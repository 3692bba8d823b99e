// Every entry of every family on the simulated board, its port accesses and waits compared
// line by line with a trace written once and checked by hand against the latch and command
// tables (tests/fixtures/traces). TRILO_TRACES_UPDATE=1 rewrites the traces, for a reviewed
// change of protocol; the checks below the table hold either way.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <sstream>

#include "base/Hex.h"
#include "commands/Commands.h"
#include "link/TracePort.h"
#include "support/SimRig.h"

namespace trilo::test {
namespace {

constexpr std::int32_t k2051 = 2;
constexpr std::int32_t k89C51 = 4;
constexpr std::int32_t k8252 = 8;
constexpr std::int32_t k2313 = 10;
constexpr std::int32_t k4433 = 13;

const Bytes kFile{0x12, 0x34, 0x56};

// Hands every access to the board beneath; the trace port owns this, not the board.
class Pass final : public PortLayer {
public:
    explicit Pass(PortLayer& inner) : inner_(inner) {}
    void out(std::uint16_t port, std::uint8_t value) override { inner_.out(port, value); }
    std::uint8_t in(std::uint16_t port) override { return inner_.in(port); }
    PortStatus status(std::uint16_t base) const override { return inner_.status(base); }

private:
    PortLayer& inner_;
};

std::string hex(const Bytes& bytes) {
    return hexBytes(bytes);
}

// A board at rest with the device's chip, every access and wait going to a trace file.
struct TraceRig : SimRig {
    explicit TraceRig(std::int32_t id) : SimRig(id) {
        port.attach(&tracePort);
        link.useClock(traceClock);
    }
    // The trace, then what the operation told the user and left in the buffer.
    std::vector<std::string> transcript(const std::string& result) {
        trace->flush();
        std::vector<std::string> lines;
        std::istringstream in(dir.read("op.trace"));
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        lines.push_back("--");
        for (const std::string& event : sink.events) {
            lines.push_back(event);
        }
        if (dir.exists("buffer.tmp")) {
            lines.push_back("buffer " + hex(buffer()));
        }
        lines.push_back("result " + result);
        return lines;
    }

    std::shared_ptr<TraceFile> trace = std::make_shared<TraceFile>(dir.file("op.trace"));
    TracePort tracePort{std::make_unique<Pass>(tap), trace};
    TraceClock traceClock{clock, trace};
};

// The entries of the device's family, which every case runs.
const FamilyOps& ops(const TraceRig& r) {
    return familyOps(r.device.family);
}

std::string yesNo(bool b) {
    return b ? "true" : "false";
}

using Run = std::function<std::string(TraceRig&)>;

struct Case {
    std::string name;  // the trace file
    std::int32_t device;
    std::vector<int> waits;
    Run run;
};

// A write's input, and a chip whose flash holds the file but for its last byte.
std::string withFile(TraceRig& r, const std::function<Comparison(OpContext&)>& op) {
    r.open(kFile);
    return yesNo(op(r.ctx).same());
}

void almostTheFile(TraceRig& r) {
    r.chip().flash[0] = 0x12;
    r.chip().flash[1] = 0x34;
    r.chip().flash[2] = 0x57;
    if (r.chip().isAvr()) {  // words stand low byte first
        r.chip().setFlashWord(0, 0x1234);
        r.chip().setFlashWord(1, 0x57FF);
    }
}

std::vector<Case> avrCases() {
    return {
        {"avr-read-flash",
         k2313,
         {1},
         [](TraceRig& r) {
             r.chip().setFlashWord(0, 0x1234);
             r.chip().setFlashWord(1, 0x5678);
             ops(r).ReadFlash(r.ctx, {&r.device, 4});
             return std::string();
         }},
        {"avr-write-flash",
         k2313,
         {1, 1},
         [](TraceRig& r) {
             return withFile(r, [&](OpContext& c) {
                 return ops(r).WriteFlash(c, {&r.device, 0, 0, true, {false, true}});
             });
         }},
        {"avr-write-flash-noverify",
         k2313,
         {1},
         [](TraceRig& r) {
             return withFile(r, [&](OpContext& c) {
                 return ops(r).WriteFlash(c, {&r.device, 0, 0, false});
             });
         }},
        {"avr-erase",
         k2313,
         {1, 10},
         [](TraceRig& r) {
             ops(r).EraseChip(r.ctx, {&r.device});
             return std::string();
         }},
        {"avr-blank-check",
         k2313,
         {1},
         [](TraceRig& r) {
             return yesNo(ops(r).BlankCheck(r.ctx, {&r.device, 4}));
         }},
        {"avr-verify",
         k2313,
         {1},
         [](TraceRig& r) {
             almostTheFile(r);
             return withFile(r, [&](OpContext& c) { return ops(r).VerifyFlash(c, {&r.device}); });
         }},
        {"avr-signature",
         k2313,
         {1},
         [](TraceRig& r) { return hex(ops(r).ReadSignature(r.ctx, {&r.device})); }},
        {"avr-read-lock",
         k2313,
         {1},
         [](TraceRig& r) {
             r.chip().lockBits = {true, false, false};
             return std::to_string(*commands::ReadLockBits(r.ctx, OpParams{&r.device}));
         }},
        {"avr-write-lock",
         k2313,
         {1},
         [](TraceRig& r) {
             ops(r).WriteLockBits(r.ctx, 1);
             return std::string();
         }},
        {"avr-read-fuses",
         k2313,
         {1},
         [](TraceRig& r) { return hex({*commands::ReadFuses(r.ctx, OpParams{&r.device})}); }},
        {"avr4433-read-fuses",
         k4433,
         {1},
         [](TraceRig& r) { return hex({*commands::ReadFuses(r.ctx, OpParams{&r.device})}); }},
        {"avr-write-fuses",
         k2313,
         {1, 1},
         [](TraceRig& r) {
             ops(r).WriteFuses(r.ctx, 0xDE);
             return hex({r.chip().fuses});
         }},
        {"avr-read-eeprom",
         k2313,
         {1},
         [](TraceRig& r) {
             r.chip().eeprom[1] = 0xA5;
             ops(r).ReadEeprom(r.ctx, {&r.device, 0, 3});
             return std::string();
         }},
        {"avr-write-eeprom",
         k2313,
         {1},
         [](TraceRig& r) {
             r.open(kFile);
             ops(r).WriteEeprom(r.ctx);
             return hex(Bytes(r.chip().eeprom.begin(), r.chip().eeprom.begin() + 3));
         }},
        {"avr-compare-eeprom",
         k2313,
         {1},
         [](TraceRig& r) {
             r.chip().eeprom[0] = 0x12;
             r.chip().eeprom[1] = 0x35;
             return withFile(r, [&](OpContext& c) { return ops(r).CompareEeprom(c); });
         }},
    };
}

// The flash operations of one MCS-51 family; the write ends with the family's lock levels.
std::vector<Case> mcs51Cases(std::int32_t device, LockBoxes locks, std::vector<int> readWaits,
                             std::vector<int> writeWaits) {
    std::vector<int> verifyWaits = readWaits;
    verifyWaits.insert(verifyWaits.end(), {100, 10, 1, 1, 1});
    readWaits.push_back(100);
    return {
        {"-read-flash", device, readWaits,
         [](TraceRig& r) {
             r.chip().flash[1] = 0xA5;
             ops(r).ReadFlash(r.ctx, {&r.device, 3});
             return std::string();
         }},
        {"-write-flash", device, writeWaits,
         [locks](TraceRig& r) {
             return withFile(r, [&](OpContext& c) {
                 return ops(r).WriteFlash(c, {&r.device, 0, 0, true, locks});
             });
         }},
        {"-erase",
         device,
         {100, 10},
         [](TraceRig& r) {
             ops(r).EraseChip(r.ctx, {&r.device});
             return std::string();
         }},
        {"-blank-check",
         device,
         {100},
         [](TraceRig& r) {
             return yesNo(ops(r).BlankCheck(r.ctx, {&r.device, 3}));
         }},
        {"-verify", device, verifyWaits,
         [](TraceRig& r) {
             almostTheFile(r);
             return withFile(r, [&](OpContext& c) { return ops(r).VerifyFlash(c, {&r.device}); });
         }},
        {"-signature",
         device,
         {150, 10},
         [](TraceRig& r) { return hex(ops(r).ReadSignature(r.ctx, {&r.device})); }},
    };
}

std::vector<Case> allCases() {
    std::vector<Case> cases = avrCases();
    const struct {
        const char* tag;
        std::int32_t device;
        LockBoxes locks;  // the highest level the family has
        std::vector<int> readWaits;
        std::vector<int> writeWaits;
    } families[] = {
        {"x051", k2051, {false, true, false}, {150, 10}, {100, 10, 1, 1}},
        {"x51", k89C51, {false, false, true}, {150, 10}, {100, 10, 1, 1, 1}},
        {"s51", k8252, {false, false, true}, {}, {100, 10, 1}},
    };
    for (const auto& f : families) {
        for (Case k : mcs51Cases(f.device, f.locks, f.readWaits, f.writeWaits)) {
            k.name = f.tag + k.name;
            cases.push_back(std::move(k));
        }
    }
    const std::vector<Case> s51 = {
        {"s51-read-lock",
         k8252,
         {100},
         [](TraceRig& r) {
             r.chip().lockBits = {true, true, false};
             return std::to_string(*commands::ReadLockBits(r.ctx, OpParams{&r.device}));
         }},
        {"s51-read-serial-fuse",
         k8252,
         {100},
         [](TraceRig& r) { return yesNo(*commands::ReadSerialFuse(r.ctx, OpParams{&r.device})); }},
        {"s51-write-serial-fuse",
         k8252,
         {100, 10, 100},
         [](TraceRig& r) {
             return yesNo(*commands::WriteSerialFuse(r.ctx, OpParams{&r.device}, true));
         }},
    };
    cases.insert(cases.end(), s51.begin(), s51.end());
    return cases;
}

std::string fixturePath(const std::string& name) {
    return std::string(TRILO_FIXTURES_DIR) + "/traces/" + name + ".trace";
}

std::vector<std::string> fixture(const std::string& name) {
    std::ifstream in(fixturePath(name));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

bool updating() {
    const char* value = std::getenv("TRILO_TRACES_UPDATE");
    return value != nullptr && std::string(value) == "1";
}

::testing::AssertionResult sameLines(const std::string& name,
                                     const std::vector<std::string>& actual,
                                     const std::vector<std::string>& expected) {
    for (std::size_t i = 0; i < std::max(actual.size(), expected.size()); ++i) {
        const std::string got = i < actual.size() ? actual[i] : "(end)";
        const std::string want = i < expected.size() ? expected[i] : "(end)";
        if (got != want) {
            return ::testing::AssertionFailure() << name << ".trace line " << i + 1 << ": \"" << got
                                                 << "\", expected \"" << want << "\"";
        }
    }
    return ::testing::AssertionSuccess();
}

// The run of one case: its transcript, and the trace alone.
struct Ran {
    std::vector<std::string> transcript;
    std::vector<std::string> trace;
    bool clean = false;  // the board understood every sequence
};

Ran run(const Case& k) {
    TraceRig rig(k.device);
    const std::string result = k.run(rig);
    Ran ran;
    ran.transcript = rig.transcript(result);
    const auto end = std::find(ran.transcript.begin(), ran.transcript.end(), "--");
    ran.trace.assign(ran.transcript.begin(), end);
    ran.clean = rig.board.protocolFaults().empty();
    return ran;
}

void PrintTo(const Case& k, std::ostream* out) {
    *out << k.name;
}

class OpsTrace : public ::testing::TestWithParam<Case> {};

TEST_P(OpsTrace, MatchesItsTrace) {
    const Case& k = GetParam();
    const Ran ran = run(k);
    EXPECT_TRUE(ran.clean);
    std::vector<int> waits;
    for (const std::string& line : ran.trace) {
        if (line.rfind("S ", 0) == 0) {
            waits.push_back(std::stoi(line.substr(2)));
        }
    }
    EXPECT_EQ(waits, k.waits);
    if (updating()) {
        std::ofstream out(fixturePath(k.name));
        for (const std::string& line : ran.transcript) {
            out << line << '\n';
        }
        return;
    }
    EXPECT_TRUE(sameLines(k.name, ran.transcript, fixture(k.name)));
}

INSTANTIATE_TEST_SUITE_P(Families, OpsTrace, ::testing::ValuesIn(allCases()), [](const auto& info) {
    std::string name = info.param.name;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
});

const Case& named(const std::string& name) {
    static const std::vector<Case> cases = allCases();
    return *std::find_if(cases.begin(), cases.end(), [&](const Case& k) { return name == k.name; });
}

std::size_t countRun(const std::vector<std::string>& trace, const std::vector<std::string>& lines) {
    std::size_t n = 0;
    for (std::size_t i = 0; i + lines.size() <= trace.size(); ++i) {
        n += std::equal(lines.begin(), lines.end(), trace.begin() + static_cast<long>(i));
    }
    return n;
}

// The bytes latched, from the control writes: 0x0B, eight groups c, c + 4, c with c 0x09 for
// a 1 bit and 0x0B for a 0 bit, least significant first, then 0x0A.
std::vector<std::uint8_t> latched(const std::vector<std::string>& trace) {
    std::vector<std::uint8_t> control;
    for (const std::string& line : trace) {
        if (line.rfind("W 037A ", 0) == 0) {
            control.push_back(static_cast<std::uint8_t>(std::stoi(line.substr(7), nullptr, 16)));
        }
    }
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 25 < control.size(); ++i) {
        if (control[i] != 0x0B || control[i + 25] != 0x0A) {
            continue;
        }
        unsigned byte = 0;
        for (int bit = 0; bit < 8; ++bit) {
            byte |= (control[i + 1 + 3 * static_cast<std::size_t>(bit)] == 0x09 ? 1u : 0u) << bit;
        }
        bytes.push_back(static_cast<std::uint8_t>(byte));
        i += 25;
    }
    return bytes;
}

TEST(OpsTraceRules, TheLowBytesStrobeHasAnExtraLeadingWrite) {
    for (const char* name : {"avr-write-flash", "avr-write-flash-noverify"}) {
        const Ran ran = run(named(name));
        // Two words, each with one doubled 0x02 (the low byte's) and one single (the high's).
        EXPECT_EQ(countRun(ran.trace, {"W 037A 0A", "W 037A 02", "W 037A 02"}), 2u) << name;
    }
}

TEST(OpsTraceRules, TheFuseStrobeLastsOneMillisecond) {
    const Ran ran = run(named("avr-write-fuses"));
    EXPECT_EQ(countRun(ran.trace, {"W 037A 02", "S 1", "W 037A 0A"}), 1u);
    EXPECT_EQ(countRun(ran.trace, {"R 0379 08"}), 0u);  // no ready poll
}

TEST(OpsTraceRules, TheSignatureReadNeverAppliesTheProgrammingVoltage) {
    for (const char* name : {"x051-signature", "x51-signature", "s51-signature"}) {
        const Ran ran = run(named(name));
        const std::vector<std::uint8_t> bytes = latched(ran.trace);
        ASSERT_FALSE(bytes.empty()) << name;
        for (std::uint8_t b : bytes) {
            EXPECT_NE(b & 0x80, 0) << name << " latches " << int(b);
        }
        EXPECT_EQ(countRun(ran.trace, {"W 037A 02"}), 0u) << name;
    }
}

}  // namespace
}  // namespace trilo::test
