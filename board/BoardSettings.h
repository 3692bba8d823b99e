#pragma once

#include <cstdint>
#include <string>

#include "board/PortChoice.h"

namespace trilo {

class SettingsFile;

// An integer key as the settings give it: the fallback when the key is missing or its value
// is no integer.
std::int32_t integerSetting(const SettingsFile& file, const char* section, const char* key,
                            std::int32_t fallback);

// The keys of "SETUP_PRG" that choose and drive the board, read the same way by the window
// and by the command line, which reads them but never writes the file. A missing key gives
// its default.
struct BoardSettings {
    std::string PortName = "LPT1";  // "Port", as written
    std::int32_t PortBase = 0;      // LPT1's or LPT2's base; 0 for any other name
    std::int32_t PollLimit = 800;   // "Cycle"
    PortOptions
        port;  // "Board", "Trace", "SimSocket", "LPT1Node", "LPT2Node", "SimFault", "SimChip"
    bool CheckSignature = true;  // "CheckSignature"
};

BoardSettings readBoardSettings(const SettingsFile& file);

}  // namespace trilo
