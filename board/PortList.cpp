#include "board/PortList.h"

#include <cstdio>

namespace trilo {

namespace {

std::string hex(unsigned long value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%lx", value);
    return text;
}

std::string channel(const std::optional<int>& value) {
    return value ? std::to_string(*value) : "žádné";
}

std::string joined(const std::vector<std::string>& items, const char* separator) {
    std::string text;
    for (const std::string& item : items) {
        text += text.empty() ? "" : separator;
        text += item;
    }
    return text;
}

// The hardware as the kernel names it: the bus says whether the port is the machine's own
// (found through PnP, or probed at the legacy address) or a card's.
std::string hardwareText(const ParportHardware& h) {
    std::string text;
    if (h.bus == "pnp") {
        text = "port na základní desce (PnP " + h.address + (h.id.empty() ? "" : ", " + h.id) + ")";
    } else if (h.bus == "platform") {
        text = "port na základní desce (nalezen na obvyklé adrese)";
    } else if (h.bus == "pci") {
        text = "karta PCI/PCIe " + h.address + (h.id.empty() ? "" : " (" + h.id + ")");
    } else if (!h.bus.empty()) {
        text = h.bus + " " + h.address;
    } else {
        return "jádro neuvádí";
    }
    return text + (h.driver.empty() ? "" : ", ovladač " + h.driver);
}

std::string usersText(const Parport& port) {
    if (!port.usersKnown) {
        return "jádro neuvádí";
    }
    std::vector<std::string> users;
    for (const std::string& device : port.devices) {
        const bool holds = device == port.active;
        users.push_back(device + (isProgram(device)
                                      ? (holds ? " (jiný program, drží port)" : " (jiný program)")
                                      : (holds ? " (drží port)" : " (nečinný)")));
    }
    return users.empty() ? "žádný" : joined(users, ", ");
}

std::string programName(const Parport& port, const PpdevNodes& nodes, const std::string& root) {
    std::string names;
    for (const auto& [name, node] :
         {std::pair{"LPT1", &nodes.lpt1}, std::pair{"LPT2", &nodes.lpt2}}) {
        if (parportNumber(*node, root) == port.number) {
            names += names.empty() ? "" : ", ";
            names += name;
        }
    }
    if (!names.empty()) {
        return names;
    }
    return "-P " + port.node + "; v okně klíčem LPT1Node nebo LPT2Node v programmer.ini";
}

constexpr const char* kNoPort =
    "Jádro nezná žádný paralelní port.\n"
    "- zaveďte ovladače portu: sudo modprobe parport_pc ppdev\n"
    "- port na základní desce zapněte v BIOSu, v režimu PS/2 (obousměrný), EPP nebo ECP\n"
    "- karta PCI/PCIe s paralelním i sériovými porty potřebuje ovladač parport_serial\n"
    "  (sudo modprobe parport_serial)\n";

}  // namespace

std::string portListText(const ParportSystem& system, const PpdevNodes& nodes,
                         const std::string& root) {
    std::string text = system.ports.empty() ? kNoPort : "";
    for (const Parport& port : system.ports) {
        text += "parport" + std::to_string(port.number) + ": " + port.node +
                (port.nodePresent ? "" : " chybí") + "\n";
        if (port.base) {
            text += "  adresa:      " + hex(*port.base) +
                    (port.baseHigh != 0 ? ", ECP " + hex(port.baseHigh) : "") + "\n";
        }
        const char* direction =
            port.bidirectional()
                ? " (obousměrný)"
                : " (není obousměrný: čip nepřečte; v BIOSu nastavte PS/2, EPP nebo ECP)";
        text += "  režimy:      " +
                (port.modes.empty() ? "jádro neuvádí" : joined(port.modes, ",") + direction) + "\n";
        text += "  IRQ:         " + channel(port.irq) + "\n";
        text += "  DMA:         " + channel(port.dma) + "\n";
        text += "  hardware:    " + hardwareText(port.hardware) + "\n";
        text += "  ovladače:    " + usersText(port) + "\n";
        text += "  v programu:  " + programName(port, nodes, root) + "\n";
    }
    if (system.ppdevLoaded) {
        text += "ppdev: zaveden\n";
    } else {
        // With no port the advice above already loads it.
        text += system.ports.empty()
                    ? "ppdev: nezaveden\n"
                    : "ppdev: nezaveden; program ho potřebuje: sudo modprobe ppdev\n";
    }
    return text;
}

std::string portItemCaption(const std::string& name, const std::string& node,
                            const std::string& root) {
    const auto number = parportNumber(node, root);
    const auto port = number ? readParport(*number, root) : std::nullopt;
    const std::string modes = port ? modeSummary(port->modes) : "";
    return name + " (" + node + (modes.empty() ? "" : ", " + modes) + ")";
}

}  // namespace trilo
