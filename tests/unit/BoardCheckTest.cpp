// The board test on the simulated board, over each fault the board can show: which steps
// fail, and what they say.
#include <gtest/gtest.h>

#include "board/BoardCheck.h"
#include "board/PortChoice.h"
#include "sim/SimulatedBoard.h"

namespace trilo::test {
namespace {

// "PPFPPF": each step passed, failed, or was not run ('-').
std::string verdicts(const BoardTestResult& result) {
    std::string text;
    for (const BoardCheckResult& step : result.steps) {
        text += step.verdict == Verdict::Passed ? 'P' : step.verdict == Verdict::Failed ? 'F' : '-';
    }
    return text;
}

TEST(BoardTest, EachSimulatedFaultFailsTheStepsThatSeeIt) {
    const std::string busy =
        "stav 0xFF: bit 3 drží 1 (zaneprázdněno): deska chybí, nemá napájení, nebo je kabel "
        "špatný";
    const struct {
        const char* fault;
        const char* verdicts;
        std::vector<std::string> found;  // of the failed steps, in order
    } cases[] = {
        {"none", "PPPPPP", {}},
        {"busy", "PPPPFF", {busy, "po nahrání latche stav 0xFF: deska není v klidu"}},
        {"No-Board", "PPPPFF", {busy, "po nahrání latche stav 0xFF: deska není v klidu"}},
        {"stuck-low:3",
         "PPFPPF",
         {"D3 čte 0, zapsáno 1", "patice čte 0xF7, prázdná čte 0xFF nebo 0x00"}},
        {"stuck-high:0", "PPFPPP", {"D0 čte 1, zapsáno 0"}},
        {"spp",
         "PFPFPP",
         {"PCSPP: port není obousměrný",
          "čtení v obráceném směru vrací vlastní vzor portu (zapsáno 0x55, čteno 0x55; zapsáno "
          "0xAA, čteno 0xAA): port není obousměrný"}},
        {"stuck-low:8",
         "F-----",
         {"Neznámá porucha \"stuck-low:8\" v programmer.ini (klíč SimFault sekce SETUP_PRG); "
          "použijte none, busy, stuck-low:N, stuck-high:N (N datový vodič 0 až 7), no-board "
          "nebo spp"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        RecordingClock clock;
        PortOptions options;
        options.board = "sim";
        options.simFault = c.fault;
        const PortSetup setup = openPortLayer(options, clock);
        Portinc port;
        port.attach(setup.layer.get());
        Link link(port, clock);
        link.PortBase = kLpt1Base;
        std::vector<BoardCheck> told;
        const BoardTestResult result =
            runBoardTest(link, [&](const BoardCheckResult& s) { told.push_back(s.check); });

        EXPECT_EQ(told, std::vector<BoardCheck>(boardChecks().begin(), boardChecks().end()));
        EXPECT_EQ(verdicts(result), c.verdicts);
        std::vector<std::string> found;
        for (const BoardCheckResult& step : result.steps) {
            if (step.verdict == Verdict::Failed) {
                found.push_back(step.found);
                EXPECT_EQ(step.advice.empty(), step.check == BoardCheck::Port);
            }
        }
        EXPECT_EQ(found, c.found);
        EXPECT_EQ(result.passed(), c.found.empty());
        if (setup.board != nullptr) {
            EXPECT_TRUE(setup.board->protocolFaults().empty());
            EXPECT_EQ(setup.board->controlByte(), 0xC0) << "the board is left at rest";
        }
    }
}

}  // namespace
}  // namespace trilo::test
