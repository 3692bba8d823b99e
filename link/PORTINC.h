#pragma once

#include <cstdint>

#include "link/PortLayer.h"

namespace trilo {

// The port library: Out, Inp and Ignite over the port layer chosen at start-up.
class Portinc {
public:
    // Ignite may come before any layer is chosen (it precedes reading the settings); the
    // layer attached later is ignited then.
    void Ignite();
    void attach(PortLayer* layer);
    PortLayer* layer() const { return layer_; }

    void Out(std::uint16_t port, std::uint8_t value) {
        if (layer_ != nullptr) {
            layer_->out(port, value);
        }
    }
    void Flush() {
        if (layer_ != nullptr) {
            layer_->flush();
        }
    }
    // The byte read, zero-extended: bits 8 to 31 are always 0.
    std::int32_t Inp(std::int32_t port) {
        if (layer_ == nullptr) {
            return 0xFF;
        }
        return static_cast<std::int32_t>(layer_->in(static_cast<std::uint16_t>(port)));
    }

private:
    PortLayer* layer_ = nullptr;
    bool ignited_ = false;
};

}  // namespace trilo
