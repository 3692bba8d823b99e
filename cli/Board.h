#pragma once

#include <functional>
#include <memory>
#include <string>

#include "base/Clock.h"
#include "base/Platform.h"
#include "board/Board.h"
#include "board/PortChoice.h"
#include "cli/ConsoleSink.h"
#include "cli/Options.h"
#include "engine/Engine.h"

namespace trilo::cli {

// Once the board is open: refuses what only the simulated board takes (TRILO_NO_WAIT when
// noWait, --sim-fault, --sim-chip) on a real one, says that a simulated board reaches no chip
// and, with -v, what the board is and with whom it shares the port. kOk, or kUsage when
// refused.
int announceBoard(const Options& options, const Board& board, bool noWait, ConsoleSink& sink);

// TRILO_NO_WAIT asks for the simulated board without its waits.
bool noWaitRequested();

// trilo-cli's engine over the board its options and programmer.ini ask for, opened the same
// way by every run: the commands, a job, the board test.
class CliBoard final : private EngineListener {
public:
    // noWait: the operations' waits are skipped (the simulated board only).
    CliBoard(const Options& o, ConsoleSink& sink, bool noWait);
    ~CliBoard() override;
    CliBoard(const CliBoard&) = delete;
    CliBoard& operator=(const CliBoard&) = delete;

    Engine& engine() { return engine_; }
    // programmer.ini's board keys under the command line's, read before anything is opened;
    // one that cannot be read ends the run (TriloError).
    const BoardSettings& settings() const { return settings_; }
    // Brings the board up (PortUnusable when a port asked for is not there), says what the
    // trace could not do, seats the options' chip and announces the board; kOk, or the status
    // that ends the run.
    int open();
    // A trace that stopped since the last report says why.
    void reportTrace();

private:
    void error(const std::string& message) override { sink_.error(message); }

    const Options& o_;
    ConsoleSink& sink_;
    bool noWait_;
    PpdevNodes nodes_;
    SteadyClock steady_;
    InstantClock instant_;
    SystemPortOpener ports_;
    SystemPlatform platform_;
    Engine engine_;
    BoardSettings settings_;
    std::shared_ptr<TraceFile> trace_;
    std::string traceReported_;
};

// Runs a run's body and ends it as trilo-cli ends every run: a port that cannot be driven
// (kPortError), an interrupt or stop (128 + the signal, the board at rest), a report that could
// not be written (kFailed), a file error (kFileError, named by where), each with its message.
int guarded(ConsoleSink& sink, const std::function<int()>& body,
            const std::function<std::string()>& where = {});

}  // namespace trilo::cli
