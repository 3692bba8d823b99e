#pragma once

#include <string>

namespace trilo {

// What the system said of a failed call, in the program's language rather than the C
// library's: the common causes by name, any other by its number, so that the reason inside a
// message speaks as the rest of it does.
std::string systemReason(int err);

}  // namespace trilo
