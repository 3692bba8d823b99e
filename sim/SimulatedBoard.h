#pragma once

#include <memory>

#include "core/Clock.h"
#include "link/PortLayer.h"

namespace trilo {

// The simulated programmer board, answering at the LPT1 and LPT2 addresses. It reads the
// same clock as the link.
std::unique_ptr<PortLayer> makeSimulatedBoard(Clock& clock);

}  // namespace trilo
