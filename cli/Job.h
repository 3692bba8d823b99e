#pragma once

#include <optional>
#include <string>

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

// Why --sim-fault or --sim-chip cannot be had on this board (a real one); nothing when it can.
std::optional<std::string> simOnlyRefusal(const Options& options, const Board& board);

}  // namespace trilo::cli
