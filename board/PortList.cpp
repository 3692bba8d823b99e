#include "board/PortList.h"

#include <cstdio>

#include "base/Text.h"

namespace trilo {

namespace {

std::string hex(unsigned long value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%lx", value);
    return text;
}

std::string channel(const std::optional<int>& value) {
    return value ? std::to_string(*value) : _("žádné");
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
        text = h.id.empty() ? format(_("port na základní desce (PnP {})"), h.address)
                            : format(_("port na základní desce (PnP {0}, {1})"), h.address, h.id);
    } else if (h.bus == "platform") {
        text = _("port na základní desce (nalezen na obvyklé adrese)");
    } else if (h.bus == "pci") {
        text = h.id.empty() ? format(_("karta PCI/PCIe {}"), h.address)
                            : format(_("karta PCI/PCIe {0} ({1})"), h.address, h.id);
    } else if (!h.bus.empty()) {
        text = h.bus + " " + h.address;
    } else {
        return _("jádro neuvádí");
    }
    return h.driver.empty() ? text : format(_("{0}, ovladač {1}"), text, h.driver);
}

std::string usersText(const Parport& port) {
    if (!port.usersKnown) {
        return _("jádro neuvádí");
    }
    std::vector<std::string> users;
    for (const std::string& device : port.devices) {
        const bool holds = device == port.active;
        users.push_back(format(
            isProgram(device) ? (holds ? _("{} (jiný program, drží port)") : _("{} (jiný program)"))
                              : (holds ? _("{} (drží port)") : _("{} (nečinný)")),
            device));
    }
    return users.empty() ? _("žádný") : joined(users, ", ");
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
    return format(_("-P {}; v okně klíčem LPT1Node nebo LPT2Node v programmer.ini"), port.node);
}

constexpr const char* kNoPort =
    N_("Jádro nezná žádný paralelní port.\n"
       "- zaveďte ovladače portu: sudo modprobe parport_pc ppdev\n"
       "- port na základní desce zapněte v BIOSu, v režimu PS/2 (obousměrný), EPP nebo ECP\n"
       "- karta PCI/PCIe s paralelním i sériovými porty potřebuje ovladač parport_serial\n"
       "  (sudo modprobe parport_serial)\n");

}  // namespace

std::string portListText(const ParportSystem& system, const PpdevNodes& nodes,
                         const std::string& root) {
    std::string text = system.ports.empty() ? _(kNoPort) : "";
    // The labels are padded to one column in every language.
    for (const Parport& port : system.ports) {
        const std::string name = "parport" + std::to_string(port.number) + ": " + port.node;
        text += (port.nodePresent ? name : format(_("{} chybí"), name)) + "\n";
        if (port.base) {
            text += _("  adresa:      ") + hex(*port.base) +
                    (port.baseHigh != 0 ? ", ECP " + hex(port.baseHigh) : "") + "\n";
        }
        const std::string modes = joined(port.modes, ",");
        text += _("  režimy:      ") +
                (port.modes.empty() ? std::string(_("jádro neuvádí"))
                 : port.bidirectional()
                     ? format(_("{} (obousměrný)"), modes)
                     : format(_("{} (není obousměrný: čip nepřečte; v BIOSu nastavte PS/2, EPP "
                                "nebo ECP)"),
                              modes)) +
                "\n";
        text += "  IRQ:         " + channel(port.irq) + "\n";
        text += "  DMA:         " + channel(port.dma) + "\n";
        text += _("  hardware:    ") + hardwareText(port.hardware) + "\n";
        text += _("  ovladače:    ") + usersText(port) + "\n";
        text += _("  v programu:  ") + programName(port, nodes, root) + "\n";
    }
    if (system.ppdevLoaded) {
        text += _("ppdev: zaveden");
    } else {
        // With no port the advice above already loads it.
        text += system.ports.empty()
                    ? _("ppdev: nezaveden")
                    : _("ppdev: nezaveden; program ho potřebuje: sudo modprobe ppdev");
    }
    return text + "\n";
}

std::string portItemCaption(const std::string& name, const std::string& node,
                            const std::string& root) {
    const auto number = parportNumber(node, root);
    const auto port = number ? readParport(*number, root) : std::nullopt;
    const std::string modes = port ? modeSummary(port->modes) : "";
    return name + " (" + node + (modes.empty() ? "" : ", " + modes) + ")";
}

}  // namespace trilo
