#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "link/PortLayer.h"

namespace trilo::test {

// One port access, or the start-up call.
struct Access {
    enum class Kind { Out, In, Ignite };
    Kind kind;
    std::uint16_t port;
    std::uint8_t value;

    bool operator==(const Access&) const = default;
};

inline Access W(std::uint16_t port, std::uint8_t value) {
    return {Access::Kind::Out, port, value};
}
inline Access R(std::uint16_t port, std::uint8_t value) {
    return {Access::Kind::In, port, value};
}

// Records every access; reads answer from a script per address, then a default per address.
class RecordingPort : public PortLayer {
public:
    void ignite() override { accesses.push_back({Access::Kind::Ignite, 0, 0}); }
    void out(std::uint16_t port, std::uint8_t value) override {
        accesses.push_back({Access::Kind::Out, port, value});
    }
    std::uint8_t in(std::uint16_t port) override {
        std::uint8_t value = 0xFF;
        auto scripted = script.find(port);
        if (scripted != script.end() && !scripted->second.empty()) {
            value = scripted->second.front();
            scripted->second.pop_front();
        } else if (auto d = defaults.find(port); d != defaults.end()) {
            value = d->second;
        }
        accesses.push_back({Access::Kind::In, port, value});
        return value;
    }
    PortStatus status(std::uint16_t base) const override {
        return {usable, (base == 0x278 ? "LPT2: " : "LPT1: ") + statusText};
    }

    // Writes only, to one address.
    std::vector<std::uint8_t> writesTo(std::uint16_t port) const {
        std::vector<std::uint8_t> out;
        for (const Access& a : accesses) {
            if (a.kind == Access::Kind::Out && a.port == port) {
                out.push_back(a.value);
            }
        }
        return out;
    }

    std::vector<Access> accesses;
    std::map<std::uint16_t, std::deque<std::uint8_t>> script;
    std::map<std::uint16_t, std::uint8_t> defaults;
    bool usable = true;
    std::string statusText = "recording port";
};

}  // namespace trilo::test
