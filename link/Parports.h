#pragma once

#include <optional>
#include <string>
#include <vector>

namespace trilo {

// What the kernel says of one parallel port. Read from procfs
// (/proc/sys/dev/parport/parportN: base-addr, irq, dma, modes, devices/) and sysfs (the
// port's device link, its bus and driver); every path is taken under a root that tests
// replace with a tree of their own.
struct ParportHardware {
    std::string bus;      // the device's subsystem: "pnp", "pci", "platform"; empty: unknown
    std::string driver;   // "parport_pc", "parport_serial", ...
    std::string address;  // the device's name on its bus: "00:05", "0000:03:00.0"
    std::string id;       // PnP: "PNP0401"; PCI: vendor:device, "1c00:3050"
};

struct Parport {
    int number = 0;
    std::string node;  // "/dev/parportN"
    bool nodePresent = false;
    std::optional<unsigned long> base;
    unsigned long baseHigh = 0;  // the ECP registers' base; 0: none
    std::optional<int> irq;      // nothing: none in use, or not said
    std::optional<int> dma;
    std::vector<std::string> modes;  // the kernel's names: "PCSPP", "TRISTATE", "EPP" ...
    ParportHardware hardware;
    // The drivers registered on the port ("lp", "ppdev0"), and the one that holds it now;
    // active is empty when nothing holds it or the kernel does not say.
    std::vector<std::string> devices;
    std::string active;
    bool usersKnown = false;  // whether devices/ could be read at all

    bool bidirectional() const;
};

struct ParportSystem {
    std::vector<Parport> ports;  // by number
    bool ppdevLoaded = false;
};

// Every port the kernel knows, from either tree: a kernel without procfs still lists its
// ports in sysfs, and one without the class in sysfs lists them in procfs.
ParportSystem readParports(const std::string& root = "/");
std::optional<Parport> readParport(int number, const std::string& root = "/");

// The port number a ppdev node stands for: N of "/dev/parportN", also through a symbolic
// link (a udev rule's name), resolved under root. Nothing for another name.
std::optional<int> parportNumber(const std::string& node, const std::string& root = "/");

// The modes as a menu item shows them: "SPP+PS2+EPP+ECP" (PS2 for a bidirectional port);
// the printer FIFO and DMA are left out, they mean nothing to the programmer.
std::string modeSummary(const std::vector<std::string>& modes);

// Whether a registered device is another program's, through ppdev ("ppdev0"), rather than
// a kernel driver such as lp.
bool isProgram(const std::string& device);

}  // namespace trilo
