#include "board/PortChoice.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "base/Text.h"
#include "board/SimChipStore.h"
#include "devices/DeviceNames.h"
#include "link/TracePort.h"
#include "sim/SimulatedBoard.h"

namespace trilo {

namespace {

std::string lowered(const std::string& text) {
    std::string out = text;
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

}  // namespace

const char* const kSimFaultChoices = kSimFaultNames;

bool knownSimFault(const std::string& name) {
    return parseSimFault(name).has_value();
}

bool nodeExists(const std::string& node) {
    std::error_code error;
    const auto status = std::filesystem::status(node, error);
    return status.type() != std::filesystem::file_type::not_found;
}

std::optional<BoardKind> chooseBoard(const std::string& board, bool exists) {
    const std::string name = lowered(board);
    if (name.empty() || name == "auto") {
        return exists ? BoardKind::Ppdev : BoardKind::Sim;
    }
    if (name == "ppdev") {
        return BoardKind::Ppdev;
    }
    if (name == "sim") {
        return BoardKind::Sim;
    }
    return std::nullopt;
}

const std::string& nodeFor(const PpdevNodes& nodes, std::uint16_t base) {
    return base == kLpt2Base ? nodes.lpt2 : nodes.lpt1;
}

PpdevNodes nodesFor(const PortOptions& options, PpdevNodes defaults) {
    // A bare name, as "parport2", is taken for the node of that name in /dev.
    const auto node = [](const std::string& given, std::string& node) {
        if (!given.empty()) {
            node = given.find('/') == std::string::npos ? "/dev/" + given : given;
        }
    };
    node(options.lpt1Node, defaults.lpt1);
    node(options.lpt2Node, defaults.lpt2);
    return defaults;
}

PortSetup openPortLayer(const PortOptions& options, Clock& clock, const PpdevNodes& defaults) {
    const PpdevNodes nodes = nodesFor(options, defaults);
    PortSetup setup;
    const auto kind = chooseBoard(options.board, nodeExists(nodeFor(nodes, options.base)));
    if (!kind) {
        setup.layer = std::make_unique<UnusablePort>(
            format(_("Neznámá deska \"{}\" v programmer.ini (klíč Board v sekci SETUP_PRG); "
                     "použijte auto, ppdev nebo sim"),
                   options.board));
    } else if (*kind == BoardKind::Ppdev) {
        setup.layer = std::make_unique<PpdevPort>(nodes);
    } else {
        auto board = std::make_unique<SimulatedBoard>(clock);
        const std::string socket = lowered(options.simSocket);
        if (socket == "empty") {
            board->forceSocket(0);
        } else if (!socket.empty() && socket != "auto") {
            const DeviceInfo* device = deviceFromTypedName(socket);
            if (device == nullptr) {
                setup.layer = std::make_unique<UnusablePort>(
                    format(_("Neznámý obsah patice \"{}\" v programmer.ini (klíč SimSocket "
                             "sekce SETUP_PRG); použijte auto, empty nebo název čipu z nabídky"),
                           options.simSocket));
                return setup;
            }
            board->forceSocket(device->id);
        }
        const auto fault = parseSimFault(options.simFault.empty() ? "none" : options.simFault);
        if (!fault) {
            setup.layer = std::make_unique<UnusablePort>(
                format(_("Neznámá porucha \"{0}\" v programmer.ini (klíč SimFault sekce "
                         "SETUP_PRG); použijte {1}"),
                       options.simFault, _(kSimFaultChoices)));
            return setup;
        }
        board->inject(*fault);
        setup.board = board.get();
        if (options.simChip.empty()) {
            setup.layer = std::move(board);
        } else {
            auto store = std::make_unique<SimChipStore>(std::move(board), options.simChip);
            setup.chipStore = store.get();
            setup.layer = std::move(store);
        }
    }
    if (!options.trace.empty()) {
        auto trace = std::make_shared<TraceFile>(options.trace);
        setup.layer = std::make_unique<TracePort>(std::move(setup.layer), trace);
        setup.clock = std::make_unique<TraceClock>(clock, trace);
        setup.trace = std::move(trace);
    }
    return setup;
}

PortSetup SystemPortOpener::openPort(const PortOptions& options, Clock& clock) {
    return openPortLayer(options, clock, nodes_);
}

}  // namespace trilo
