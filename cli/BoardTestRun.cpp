// trilo-cli --board-test: the board test's steps as they end, or the hold of a control byte
// until Enter, over the engine's board as a job would bring it up.
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "base/Platform.h"
#include "base/Text.h"
#include "board/BoardCheck.h"
#include "cli/Board.h"
#include "cli/ConsoleSink.h"
#include "cli/Run.h"
#include "engine/Engine.h"

namespace trilo::cli {

namespace {

// Until a line or the end of the input comes; a signal ends the wait with Interrupted.
void waitForEnter() {
    char c = 0;
    for (;;) {
        const ssize_t got = ::read(STDIN_FILENO, &c, 1);
        if (got < 0 && errno == EINTR) {
            checkInterrupt();
            continue;
        }
        if (got <= 0 || c == '\n') {
            return;
        }
    }
}

class BoardTester {
public:
    explicit BoardTester(const Options& o) : o_(o), sink_(stdout, false, o.quiet, o.force) {
        sink_.refuseWith(
            _("test desky potřebuje prázdnou patici; vyjměte čip a spusťte test s -F"));
    }

    int run() {
        return guarded(sink_, [&] { return tested(); });
    }

private:
    int tested() {
        // The test makes no waits; the hold's is the user's.
        CliBoard board(o_, sink_, false);
        Engine& engine = board.engine();
        int status = kOk;
        try {
            status = board.open();
        } catch (const commands::PortUnusable& e) {
            // No node for the port. The socket's question still comes first, as with a port
            // that opens: the user learns what the test needs before what it found. Then the
            // port is the first step's verdict, and the test goes no further.
            if (!sink_.ask(_(kBoardTestQuestion))) {
                return kFailed;
            }
            if (o_.hold) {
                throw;
            }
            return finish(boardTestRefused(e.what()));
        }
        if (status != kOk) {
            return status;
        }
        if (o_.hold) {
            return hold(engine, *controlByteUse(*o_.hold));
        }
        const auto result = engine.boardTest([&](const BoardCheckResult& step) { show(step); });
        return result ? finish(*result, false) : kFailed;
    }

    int hold(Engine& engine, const ControlByteUse& use) {
        const bool held = engine.holdControlByte(use.byte, [&] {
            for (const std::string& line : holdLines(use)) {
                sink_.result(line);
            }
            sink_.result(_("Měřte; Enter vrátí desku do klidu."));
            waitForEnter();
        });
        if (!held) {
            return kFailed;
        }
        sink_.result(_("Deska je v klidu."));
        return kOk;
    }

    // "3 CHYBA  Datový registr: zápis a čtení: D3 čte 0, zapsáno 1", and under it what to
    // check. Under -q only the steps that failed.
    void show(const BoardCheckResult& step) {
        if (o_.quiet && step.verdict != Verdict::Failed) {
            return;
        }
        std::string verdict = step.verdict == Verdict::Passed   ? _("OK")
                              : step.verdict == Verdict::Failed ? _("CHYBA")
                                                                : "–";
        verdict = padded(verdict, 6);
        const auto number = static_cast<int>(step.check) + 1;
        sink_.result(std::to_string(number) + " " + verdict + " " + boardCheckName(step.check) +
                     ": " + step.found);
        if (!step.advice.empty()) {
            sink_.result("         → " + step.advice);
        }
    }

    int finish(const BoardTestResult& result, bool showSteps = true) {
        if (showSteps) {
            for (const BoardCheckResult& step : result.steps) {
                show(step);
            }
        }
        if (!o_.quiet || !result.passed()) {
            sink_.result(result.summary());
        }
        return result.passed() ? kOk : result.portUnusable() ? kPortError : kFailed;
    }

    const Options& o_;
    ConsoleSink sink_;
};

}  // namespace

int runBoardTest(const Options& options) {
    return BoardTester(options).run();
}

}  // namespace trilo::cli
