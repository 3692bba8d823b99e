// The words a user reads about a command: on the gauge while it runs, and on the status line
// (and from trilo-cli) after it.
#include <gtest/gtest.h>

#include "commands/Report.h"

namespace trilo {

using commands::Outcome;
namespace {

TEST(Report, EachOutcomeInItsWords) {
    using O = Outcome;
    using K = Command;
    const struct {
        Report report;
        const char* text;
    } cases[] = {
        {{K::WriteFlash, O::Done, 2048, true, 1'350'000, {}},
         "Zápis FLASH: 2048 B, ověřeno, 1,4 s"},
        {{K::ReadFlash, O::Done, 8192, false, 940'000, {}}, "Čtení FLASH: 8192 B, 0,9 s"},
        {{K::Erase, O::Done, 0, true, 120'000, {}}, "Mazání: čip je prázdný"},
        {{K::Erase, O::Done, 0, false, 20'000, {}}, "Mazání: hotovo, bez kontroly prázdnoty"},
        {{K::ReadLockBits, O::Done, 0, false, 12'000'000, {}}, "Čtení lock bitů: hotovo, 12,0 s"},
        {{K::Verify, O::VerifyFailed, 2048, true, 300'000, 0x01A4},
         "Verifikace: rozdíl na adrese 0x01A4"},
        {{K::Verify, O::VerifyFailed, 2048, true, 300'000, 0x01A4, 0x01A5},
         "Verifikace: rozdíl na adrese 0x01A4 (v souboru 0x01A5)"},
        {{K::WriteFuses, O::WriteFailed, 0, true, 0, {}},
         "Zápis fuse bitů: čip ukazuje jiné hodnoty, než se zapsaly"},
        {{K::Erase, O::NotBlank, 0, true, 0, {}}, "Mazání: čip není prázdný"},
        {{K::Verify, O::Stopped, 0, true, 0, 0x0400}, "Zastaveno na adrese 0x0400"},
        {{K::WriteFlash, O::Stopped, 0, true, 0, 0x0400},
         "Zastaveno na adrese 0x0400, čip je zapsán jen zčásti"},
        {{K::WriteFlash, O::NoInputFile, 0, true, 0, {}},
         "Zápis FLASH: neprovedeno, čip je netknutý"},
        {{K::Signature, O::Failed, 0, false, 0, {}}, "Podpis čipu: skončilo chybou"},
    };
    for (const auto& k : cases) {
        EXPECT_EQ(reportText(k.report), k.text);
    }
}

// The time left shows from two seconds on, at the pace the gauge went so far.
TEST(Report, TheGaugeNamesTheCommandAndTheTimeLeft) {
    const struct {
        int percent;
        std::int64_t elapsedUs;
        const char* text;
    } cases[] = {
        {0, 0, "Zápis FLASH 0 %"},
        {42, 1'999'999, "Zápis FLASH 42 %"},
        {40, 8'000'000, "Zápis FLASH 40 %, zbývá 12 s"},
        {10, 10'000'000, "Zápis FLASH 10 %, zbývá 1 min 30 s"},
        {0, 5'000'000, "Zápis FLASH 0 %"},
    };
    for (const auto& k : cases) {
        EXPECT_EQ(progressText(Command::WriteFlash, k.percent, k.elapsedUs), k.text);
    }
}

}  // namespace
}  // namespace trilo
