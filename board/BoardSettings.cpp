#include "board/BoardSettings.h"

#include "settings/Settings.h"

namespace trilo {

namespace {

constexpr const char* kSetup = "SETUP_PRG";

}  // namespace

std::int32_t integerSetting(const SettingsFile& file, const char* section, const char* key,
                            std::int32_t fallback) {
    const auto text = file.value(section, key);
    if (!text) {
        return fallback;
    }
    return parseSettingsInteger(*text).value_or(fallback);
}

BoardSettings readBoardSettings(const SettingsFile& file) {
    BoardSettings s;
    // Only a missing key gives the default; an empty or unknown name stays as it is.
    s.PortName = file.value(kSetup, "Port").value_or("LPT1");
    if (s.PortName == "LPT1") {
        s.PortBase = kLpt1Base;
    } else if (s.PortName == "LPT2") {
        s.PortBase = kLpt2Base;
    }
    s.PollLimit = integerSetting(file, kSetup, "Cycle", 800);
    s.port.board = file.value(kSetup, "Board").value_or("auto");
    s.port.trace = file.value(kSetup, "Trace").value_or("");
    s.port.simSocket = file.value(kSetup, "SimSocket").value_or("auto");
    s.port.lpt1Node = file.value(kSetup, "LPT1Node").value_or("");
    s.port.lpt2Node = file.value(kSetup, "LPT2Node").value_or("");
    s.port.simFault = file.value(kSetup, "SimFault").value_or("none");
    s.port.simChip = file.value(kSetup, "SimChip").value_or("");
    s.CheckSignature = integerSetting(file, kSetup, "CheckSignature", 1) != 0;
    return s;
}

}  // namespace trilo
