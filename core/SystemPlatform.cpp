#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "core/Platform.h"

namespace trilo {

namespace {

// Placeholder until the port layers land: an empty socket.
class EmptySocket final : public PortLayer {
public:
    void out(std::uint16_t, std::uint8_t) override {}
    std::uint8_t in(std::uint16_t port) override { return (port & 3) == 1 ? 0x00 : 0xFF; }
    PortStatus status(std::uint16_t base) const override {
        return {true, std::string(base == kLpt2Base ? "LPT2" : "LPT1") + ": simulated board"};
    }
};

}  // namespace

std::string SystemPlatform::currentDirectory() {
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (buffer.size() > (1u << 20)) {
            return ".";
        }
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

std::optional<std::string> SystemPlatform::environment(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    if (value == nullptr) {
        return std::nullopt;
    }
    return std::string(value);
}

unsigned SystemPlatform::userId() {
    return static_cast<unsigned>(::getuid());
}

PortSetup SystemPlatform::openPort(const PortOptions&, Clock&) {
    PortSetup setup;
    setup.layer = std::make_unique<EmptySocket>();
    return setup;
}

}  // namespace trilo
