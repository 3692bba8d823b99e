#include "link/Parports.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace trilo {

namespace fs = std::filesystem;

namespace {

// Where the kernel lists its ports, one entry "parportN" each.
constexpr std::array<const char*, 4> kPortDirs = {"/proc/sys/dev/parport", "/sys/class/parport",
                                                  "/sys/bus/parport/devices", "/sys/class/ppdev"};

fs::path under(const std::string& root, const std::string& path) {
    if (root.empty() || root == "/") {
        return path;
    }
    return fs::path(root) / fs::path(path).relative_path();
}

std::optional<std::string> firstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    if (!in || !std::getline(in, line)) {
        return std::nullopt;
    }
    return line;
}

std::optional<long> number(std::string_view text) {
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end == text.data()) {
        return std::nullopt;
    }
    return value;
}

// "parport3" -> 3.
std::optional<int> portNumberOf(const std::string& name) {
    constexpr std::string_view prefix = "parport";
    if (!name.starts_with(prefix) || name.size() == prefix.size() ||
        !std::all_of(name.begin() + prefix.size(), name.end(),
                     [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    const auto n = number(std::string_view(name).substr(prefix.size()));
    return n && *n < 1000 ? std::optional<int>(static_cast<int>(*n)) : std::nullopt;
}

std::string linkName(const fs::path& link) {
    std::error_code error;
    const fs::path target = fs::canonical(link, error);
    return error ? std::string() : target.filename().string();
}

// The device behind the port. The port's own entry in the parport class links to it; a
// kernel whose port has no such link still names it as the parent of ppdev's node.
ParportHardware hardwareOf(int n, const std::string& root) {
    const std::string name = "parport" + std::to_string(n);
    for (const std::string dir :
         {"/sys/class/parport/", "/sys/bus/parport/devices/", "/sys/class/ppdev/"}) {
        std::error_code error;
        const fs::path device = fs::canonical(under(root, dir + name) / "device", error);
        if (error) {
            continue;
        }
        ParportHardware h;
        h.bus = linkName(device / "subsystem");
        h.driver = linkName(device / "driver");
        h.address = device.filename().string();
        if (h.bus == "pnp") {
            h.id = firstLine(device / "id").value_or("");
        } else if (h.bus == "pci") {
            auto hex = [&](const char* file) {
                std::string text = firstLine(device / file).value_or("");
                return text.starts_with("0x") ? text.substr(2) : text;
            };
            const std::string vendor = hex("vendor");
            const std::string product = hex("device");
            if (!vendor.empty() && !product.empty()) {
                h.id = vendor + ":" + product;
            }
        }
        return h;
    }
    return {};
}

// devices/active: the kernel writes the name of the device that holds the port, or "none".
// Its documentation describes a list with a "+" by the holder; both are read: a marked
// name holds it, a single unmarked name is the kernel's own format, and several unmarked
// names are a list where none holds it.
std::string holderOf(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> names;
    std::string word;
    while (in >> word) {
        std::string name = word;
        std::erase(name, ',');
        if (name.empty()) {
            continue;
        }
        if (name.front() == '+' || name.back() == '+') {
            std::erase(name, '+');
            return name;
        }
        names.push_back(name);
    }
    if (names.size() == 1 && names.front() != "none") {
        return names.front();
    }
    return {};
}

void readUsers(Parport& port, const fs::path& dir) {
    std::error_code error;
    fs::directory_iterator it(dir / "devices", error);
    if (error) {
        return;
    }
    port.usersKnown = true;
    for (const fs::directory_entry& entry : it) {
        const std::string name = entry.path().filename().string();
        if (name != "active" && entry.is_directory(error)) {
            port.devices.push_back(name);
        }
    }
    std::sort(port.devices.begin(), port.devices.end());
    std::ifstream in(dir / "devices" / "active");
    std::stringstream text;
    text << in.rdbuf();
    port.active = holderOf(text.str());
}

}  // namespace

bool Parport::bidirectional() const {
    return std::find(modes.begin(), modes.end(), "TRISTATE") != modes.end();
}

std::optional<Parport> readParport(int n, const std::string& root) {
    const std::string name = "parport" + std::to_string(n);
    const fs::path proc = under(root, "/proc/sys/dev/parport/" + name);
    std::error_code error;
    Parport port;
    port.number = n;
    port.node = "/dev/" + name;
    port.nodePresent = fs::exists(under(root, port.node), error);
    port.hardware = hardwareOf(n, root);
    const bool known = std::any_of(kPortDirs.begin(), kPortDirs.end(), [&](const char* dir) {
        std::error_code missing;
        return fs::exists(under(root, std::string(dir) + "/" + name), missing);
    });
    if (!known) {
        return std::nullopt;
    }
    if (const auto text = firstLine(proc / "base-addr")) {
        std::istringstream in(*text);
        std::string low, high;
        in >> low >> high;
        if (const auto base = number(low)) {
            port.base = static_cast<unsigned long>(*base);
        }
        port.baseHigh = static_cast<unsigned long>(number(high).value_or(0));
    }
    // -1 is the kernel's "none".
    for (auto [file, value] : {std::pair{"irq", &port.irq}, std::pair{"dma", &port.dma}}) {
        if (const auto text = firstLine(proc / file)) {
            if (const auto v = number(*text); v && *v >= 0) {
                *value = static_cast<int>(*v);
            }
        }
    }
    if (const auto text = firstLine(proc / "modes")) {
        std::istringstream in(*text);
        std::string mode;
        while (std::getline(in, mode, ',')) {
            if (!mode.empty()) {
                port.modes.push_back(mode);
            }
        }
    }
    readUsers(port, proc);
    return port;
}

ParportSystem readParports(const std::string& root) {
    std::set<int> numbers;
    for (const char* dir : kPortDirs) {
        std::error_code error;
        for (fs::directory_iterator it(under(root, dir), error), end; !error && it != end;
             it.increment(error)) {
            if (const auto n = portNumberOf(it->path().filename().string())) {
                numbers.insert(*n);
            }
        }
    }
    ParportSystem system;
    for (int n : numbers) {
        if (auto port = readParport(n, root)) {
            system.ports.push_back(std::move(*port));
        }
    }
    std::error_code error;
    // Loaded as a module it has its entry under /sys/module; built in, its class shows it.
    system.ppdevLoaded = fs::exists(under(root, "/sys/module/ppdev"), error) ||
                         fs::exists(under(root, "/sys/class/ppdev"), error);
    return system;
}

std::optional<int> parportNumber(const std::string& node, const std::string& root) {
    std::error_code error;
    fs::path path = fs::weakly_canonical(under(root, node), error);
    if (error) {
        path = node;
    }
    return portNumberOf(path.filename().string());
}

std::string modeSummary(const std::vector<std::string>& modes) {
    const std::pair<const char*, const char*> shown[] = {
        {"PCSPP", "SPP"}, {"TRISTATE", "PS2"}, {"EPP", "EPP"}, {"ECP", "ECP"}};
    std::string text;
    for (const auto& [kernel, name] : shown) {
        if (std::find(modes.begin(), modes.end(), kernel) != modes.end()) {
            text += text.empty() ? "" : "+";
            text += name;
        }
    }
    return text;
}

bool isProgram(const std::string& device) {
    return device.starts_with("ppdev");
}

}  // namespace trilo
