#include "presenter/DeviceControls.h"

#include <stdexcept>
#include <string>

#include "devices/Catalog.h"

namespace trilo {

namespace {

constexpr const char* kNames[] = {
#define TRILO_CONTROL(name) #name,
    TRILO_CONTROLS(TRILO_CONTROL)
#undef TRILO_CONTROL
};
static_assert(std::size(kNames) == static_cast<std::size_t>(Control::Count));

}  // namespace

Control menuItemOf(std::int32_t deviceId) {
    const auto catalog = deviceCatalog();
    for (std::size_t k = 0; k < catalog.size(); ++k) {
        if (catalog[k].id == deviceId) {
            return static_cast<Control>(static_cast<std::size_t>(Control::Count) + k);
        }
    }
    throw std::out_of_range("no device " + std::to_string(deviceId));
}

std::size_t controlCount() {
    return static_cast<std::size_t>(Control::Count) + deviceCatalog().size();
}

const char* controlName(Control c) {
    const auto k = static_cast<std::size_t>(c);
    return k < std::size(kNames) ? kNames[k] : deviceCatalog()[k - std::size(kNames)].menuItem;
}

const std::array<Control, 6>& fuseBoxes() {
    static const std::array<Control, 6> boxes{Control::chD5, Control::chD4, Control::chD3,
                                              Control::chD2, Control::chD1, Control::chD0};
    return boxes;
}

const std::array<const char*, 6>& fuseUnusedCaptions() {
    static const std::array<const char*, 6> captions{"D5 - NC", "D4 - NC", "D3 - NC",
                                                     "D2 - NC", "D1 - NC", "D0 - NC"};
    return captions;
}

}  // namespace trilo
