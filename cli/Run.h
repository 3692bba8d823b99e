#pragma once

#include "board/Board.h"
#include "cli/Options.h"

namespace trilo::cli {

// Runs the commands of a checked command line on one board, holding the port from the first
// command to the last; returns the exit status.
int runJob(const Options& options);

// --ports: prints the parallel ports the kernel knows and the names the program gives them
// (programmer.ini's, when it can be read); kPortError when there is none.
int listPorts();

// --board-test: the board test, or the hold of a control byte; returns the exit status.
int runBoardTestJob(const Options& options);

class ConsoleSink;

// Once the board is open: refuses what only the simulated board takes (TRILO_NO_WAIT when
// noWait, --sim-fault, --sim-chip) on a real one, says that a simulated board reaches no chip
// and, with -v, what the board is and with whom it shares the port. kOk, or kUsage when
// refused.
int announceBoard(const Options& options, const Board& board, bool noWait, ConsoleSink& sink);

}  // namespace trilo::cli
