#pragma once

#include "cli/Options.h"

namespace trilo::cli {

// Runs a checked command line: its plan (its commands in the order the chip takes them, or its
// job chip after chip), refused before the board is touched or run on one claim of the
// board; or with --dry-run printed. Returns the exit status.
int runCommands(const Options& options);

// --ports: prints the parallel ports the kernel knows and the names the program gives them
// (programmer.ini's, when it can be read); kPortError when there is none.
int listPorts();

// --board-test: the board test, or the hold of a control byte; returns the exit status.
int runBoardTest(const Options& options);

}  // namespace trilo::cli
