// The comparison in the program: what the differences of a failed verify show, the verify by
// reading against the verify of the board's own sequence, and their cost on an 89C55.

#include <gtest/gtest.h>

#include <numeric>

#include "commands/Commands.h"
#include "commands/Differences.h"
#include "support/SimRig.h"

namespace trilo::test {
namespace {

using commands::ExplainDifferences;

Bytes with(Bytes bytes, const std::function<std::uint8_t(std::size_t, std::uint8_t)>& change) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = change(i, bytes[i]);
    }
    return bytes;
}

TEST(ExplainDifferences, WhatTheDifferencesShow) {
    const Bytes file = pattern(256);
    const std::string count = "rozdílných bajtů: ";
    const struct {
        const char* what;
        Bytes chip;
        std::string explanation;
    } cases[] = {
        {"the same", file, ""},
        {"data line 3 stuck low", with(file, [](std::size_t, std::uint8_t b) { return b & 0xF7; }),
         count + "128 z 256; všechny rozdíly jsou v bitu D3: zkontrolujte datový vodič D3"},
        {"data line 0 stuck high", with(file, [](std::size_t, std::uint8_t b) { return b | 0x01; }),
         count + "128 z 256; všechny rozdíly jsou v bitu D0: zkontrolujte datový vodič D0"},
        {"no chip, the lines float high", Bytes(256, 0xFF),
         count + "255 z 256; čip vrací samé FF: je prázdný, nebo v patici žádný čip neodpovídá"},
        {"no chip, the lines pulled low", Bytes(256, 0x00),
         count + "255 z 256; čip vrací samé 00: v patici žádný čip neodpovídá, nebo je čtení "
                 "zamčeno lock bity"},
        {"the second half left blank",
         with(file, [](std::size_t i, std::uint8_t b) { return i < 128 ? b : 0xFF; }),
         count + "127 z 256; čip má většinou 1 tam, kde soubor 0: tyto bajty se nezapsaly"},
        {"written over an older image",
         with(file, [](std::size_t i,
                       std::uint8_t b) { return b & static_cast<std::uint8_t>(i * 29 + 3); }),
         count + "234 z 256; čip má většinou 0 tam, kde soubor 1: čip asi nebyl před zápisem "
                 "smazán"},
        {"one byte, one bit: a cell as likely as a line",
         with(file, [](std::size_t i, std::uint8_t b) { return i == 9 ? b ^ 0x10 : b; }),
         count + "1 z 256"},
        {"no pattern", with(file, [](std::size_t i, std::uint8_t b) { return i % 3 ? b : ~b; }),
         count + "86 z 256"},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.what);
        EXPECT_EQ(ExplainDifferences(file, k.chip), k.explanation);
    }
}

// The verify by reading and the board's verify on one chip: the same outcome, messages and
// first difference, the explanation included; and what each costs on a real port, from its
// accesses at about 1 us each (ppdev's ioctl on an ISA or PCIe port) and its waits.
struct Verified {
    commands::Outcome outcome;
    std::vector<std::string> messages;
    std::vector<std::string> details;
    std::optional<Difference> difference;
    std::size_t accesses;
    int waitedMs;
    double seconds() const { return static_cast<double>(accesses) * 1e-6 + waitedMs * 1e-3; }
};

Verified verify(std::int32_t id, const Bytes& file, const std::function<void(SimChip&)>& chip,
                bool byReading) {
    SimRig rig(id);
    chip(rig.chip());
    rig.dir.write("data.bin", std::string(file.begin(), file.end()));
    OpParams job{&rig.device, rig.device.flashSize};
    job.VerifyByRead = byReading;
    const auto outcome =
        commands::Verify(rig.ctx, job, {rig.dir.file("data.bin")}, rig.device.flashSize);
    EXPECT_EQ(rig.board.controlByte(), 0xC0);
    const int waited = std::accumulate(rig.clock.waits.begin(), rig.clock.waits.end(), 0);
    return {outcome,
            rig.sink.messages,
            rig.sink.details,
            rig.ctx.difference,
            rig.tap.writes + rig.tap.dataReads.size() + rig.tap.statusReads.size(),
            waited};
}

TEST(VerifyByRead, AsTheVerifyOnEveryFamilyWithoutItsWaits) {
    const auto holds = [](const Bytes& file) {
        return [file](SimChip& chip) {
            for (std::size_t i = 0; i < file.size(); ++i) {
                chip.flash[chip.isAvr() ? i ^ 1 : i] = file[i];
            }
        };
    };
    const auto blank = [](SimChip&) {};
    const struct {
        const char* what;
        std::int32_t id;
        Bytes file;
        std::function<void(SimChip&)> chip;
        std::string message;
    } cases[] = {
        {"89C2051 the same", 2, pattern(700), holds(pattern(700)), kVerifyOk},
        {"89C2051 from byte 301 another image", 2, pattern(700),
         holds(with(pattern(700),
                    [](std::size_t i, std::uint8_t b) { return i < 300 ? b : b & 0xFB; })),
         std::string(kVerifyFailed) + "301"},
        {"89C51 blank", 4, pattern(700), blank, std::string(kVerifyFailed) + "1"},
        {"89S8252 one byte", 8, pattern(700),
         holds(with(pattern(700), [](std::size_t i, std::uint8_t b) { return i == 650 ? 0 : b; })),
         std::string(kVerifyFailed) + "651"},
        {"89C55 the whole flash", 7, pattern(20480), holds(pattern(20480)), kVerifyOk},
        {"90S2313 an odd file, its last word", 10, pattern(701),
         holds(with(pattern(701), [](std::size_t i, std::uint8_t b) { return i == 700 ? 0 : b; })),
         kVerifyFailed},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.what);
        const Verified board = verify(k.id, k.file, k.chip, false);
        const Verified byRead = verify(k.id, k.file, k.chip, true);
        EXPECT_EQ(board.messages, std::vector<std::string>{k.message});
        EXPECT_EQ(byRead.outcome, board.outcome);
        EXPECT_EQ(byRead.messages, board.messages);
        EXPECT_EQ(byRead.details, board.details);
        EXPECT_EQ(byRead.difference, board.difference);
        if (k.id == 7) {
            EXPECT_GT(board.seconds(), 21.0);
            EXPECT_LT(byRead.seconds(), 1.6);
            std::printf("89C55 verify: %zu accesses, %d ms waited; by reading: %zu, %d ms\n",
                        board.accesses, board.waitedMs, byRead.accesses, byRead.waitedMs);
        }
    }
}

}  // namespace
}  // namespace trilo::test
