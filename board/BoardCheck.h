#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "base/Text.h"
#include "link/Link.h"

// The board test: what a user with an empty socket can learn of the port, the cable and the
// board before any chip is at stake, step by step, each with what to check when it fails.
// And the hold, which latches one control byte for a meter.
namespace trilo {

enum class BoardCheck { Port, Modes, DataForward, DataReverse, Status, Latch };
enum class Verdict { Passed, Failed, NotRun };

struct BoardCheckResult {
    BoardCheck check;
    Verdict verdict = Verdict::NotRun;
    // What the step found, and when it failed what to check; empty when the finding says it.
    std::string found;
    std::string advice;
};

// "Datový registr: zápis a čtení"
const char* boardCheckName(BoardCheck check);
// Every step, in the order the test makes them.
std::span<const BoardCheck> boardChecks();

struct BoardTestResult {
    std::vector<BoardCheckResult> steps;
    bool passed() const;
    // Whether the port could not be driven at all.
    bool portUnusable() const;
    // "Test desky: vše v pořádku", "Test desky: selhaly 2 kroky z 6"
    std::string summary() const;
};

// What the socket must be for the test, asked before any port access; No runs nothing. Asked
// as _(kBoardTestQuestion).
inline constexpr const char* kBoardTestQuestion =
    N_("Test desky potřebuje prázdnou patici. Je patice prázdná ?");

// The test of a port that could not even be opened: the first step fails with the reason,
// no other runs.
BoardTestResult boardTestRefused(const std::string& reason);

// Runs every step on the link's port, the board left at rest, and tells each as it ends.
BoardTestResult runBoardTest(Link& link, const std::function<void(const BoardCheckResult&)>& told);

// ---- The hold -------------------------------------------------------------------------------

// A control byte of the board's table and the operations that latch it, per family (texts of
// the catalogue, shown as _(use.avr)); nullptr where the family does not use it.
struct ControlByteUse {
    std::uint8_t byte;
    const char* avr;
    const char* mcs51;
};
std::span<const ControlByteUse> controlByteTable();
// Nothing for a byte the table does not hold.
const ControlByteUse* controlByteUse(std::uint8_t byte);
// "AVR A0 20 22 30 24 34 04 14 C0, MCS-51 88 80 20 06 86 C6 16 56 24 36 30 32 12 C0"
std::string controlBytesList();
// What the user measures, line by line: the byte, its latch outputs, and who latches it.
std::vector<std::string> holdLines(const ControlByteUse& use);

// Latches the byte with the board otherwise at rest (data lines at 0, no pulse).
void latchForHold(Link& link, std::uint8_t byte);

}  // namespace trilo
