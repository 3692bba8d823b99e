#include "core/DeviceControls.h"

#include "devices/Catalog.h"

namespace trilo {

Control menuItemOf(std::int32_t deviceId) {
    // In DeviceId order.
    static constexpr std::array<Control, 18> kItems{
        Control::mnu1051, Control::mnu2051, Control::mnu4051, Control::mnu51,   Control::mnu52,
        Control::mnu53,   Control::mnu55,   Control::mnu8252, Control::mnu1200, Control::mnu2313,
        Control::mnu2333, Control::mnu4414, Control::mnu4433, Control::mnu4434, Control::mnu8515,
        Control::mnu8535, Control::mnat28,  Control::mnu8534};
    return kItems.at(static_cast<std::size_t>(deviceId - 1));
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
