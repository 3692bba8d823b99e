#pragma once

#include "cli/Options.h"

namespace trilo::cli {

// Runs the commands of a checked command line on one board, holding the port from the first
// command to the last; returns the exit status.
int runJob(const Options& options);

}  // namespace trilo::cli
