#pragma once

#include <string>

namespace trilo {

// What the system said of a failed call, in Czech: the common causes by name, any other by
// its number. The program's own texts are Czech, and an English reason inside them would be
// the one word a user of the command line or the status line cannot read.
std::string systemReason(int err);

}  // namespace trilo
