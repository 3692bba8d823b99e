#pragma once

#include <string>

#include "link/Parports.h"
#include "link/PpdevPort.h"

namespace trilo {

// What trilo-cli --ports prints: every port the kernel knows with its node, address, modes,
// IRQ and DMA, the hardware behind it, the drivers registered on it and the name the
// program gives it (nodes: LPT1's and LPT2's); with none, what to do to get one.
std::string portListText(const ParportSystem& system, const PpdevNodes& nodes,
                         const std::string& root = "/");

// A port item of the window: "LPT1 (/dev/parport0, SPP+PS2+EPP)", or without the modes
// when the kernel does not know the node's port.
std::string portItemCaption(const std::string& name, const std::string& node,
                            const std::string& root = "/");

}  // namespace trilo
