#pragma once

#include "cli/Options.h"

namespace trilo::cli {

// Runs the commands of a checked command line on one board, holding the port from the first
// command to the last; returns the exit status.
int runJob(const Options& options);

// --ports: prints the parallel ports the kernel knows and the names the program gives them
// (programmer.ini's, when it can be read); kPortError when there is none.
int listPorts();

}  // namespace trilo::cli
