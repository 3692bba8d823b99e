#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace trilo::test {

// One parallel port as the kernel shows it in procfs and sysfs, laid out under a test's root.
struct FakeParport {
    int number = 0;
    std::string baseAddr = "888\t1912";
    std::string irq = "7";
    std::string dma = "-1";
    std::string modes = "PCSPP,TRISTATE,EPP";
    std::vector<std::string> devices;  // registered drivers, each a directory of devices/
    std::string active = "none";
    // The device behind it: its bus ("pnp", "pci"; empty: no link), name and driver, and
    // the files its bus gives it (PnP "id"; PCI "vendor", "device").
    std::string bus;
    std::string address;
    std::string driver;
    std::vector<std::pair<std::string, std::string>> files;
    bool node = true;  // /dev/parportN is there
};

inline void writeFile(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

inline void addParport(const std::filesystem::path& root, const FakeParport& p) {
    namespace fs = std::filesystem;
    const std::string name = "parport" + std::to_string(p.number);
    const fs::path proc = root / "proc/sys/dev/parport" / name;
    for (const auto& [file, text] : {std::pair{"base-addr", p.baseAddr},
                                     {"irq", p.irq},
                                     {"dma", p.dma},
                                     {"modes", p.modes},
                                     {"devices/active", p.active}}) {
        writeFile(proc / file, text + "\n");
    }
    for (const std::string& device : p.devices) {
        writeFile(proc / "devices" / device / "timeslice", "200\n");
    }
    const fs::path port = root / "sys/class/parport" / name;
    fs::create_directories(port);
    if (!p.bus.empty()) {
        const fs::path device = root / "sys/devices" / p.address;
        const fs::path bus = root / "sys/bus" / p.bus;
        fs::create_directories(device);
        for (const auto& [file, text] : p.files) {
            writeFile(device / file, text + "\n");
        }
        fs::create_directories(bus / "drivers" / p.driver);
        fs::create_symlink(bus, device / "subsystem");
        fs::create_symlink(bus / "drivers" / p.driver, device / "driver");
        fs::create_symlink(device, port / "device");
    }
    if (p.node) {
        writeFile(root / "dev" / name, "");
    }
}

}  // namespace trilo::test
