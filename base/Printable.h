#pragma once

#include <string>
#include <string_view>

namespace trilo {

// Text as a terminal may show it, for a message that carries a name the user or a file gave:
// bytes that are not UTF-8 become \xHH, control characters \n, \r, \t or \xHH (C1 controls
// \u0080 to \u009F), so that a name can neither break a message's line nor drive the
// terminal. Any other UTF-8 passes unchanged.
std::string printable(std::string_view text);

}  // namespace trilo
