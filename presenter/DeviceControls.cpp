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

using C = Control;

// Box 3 goes with the flash write too, on the devices with three lock levels only.
constexpr C kFlashWriteBoxes[] = {C::chLB1, C::chLB2};
constexpr C kFlashSize[] = {C::spFlash};
constexpr C kEepromSize[] = {C::spEEprom};
constexpr C kSerialFuse[] = {C::rdSON, C::rdSOFF};

constexpr CommandControls kCommandControls[] = {
    {Command::ReadFlash, C::btnRead, kFlashSize},
    {Command::WriteFlash, C::btnWrite, kFlashWriteBoxes},
    {Command::Erase, C::btnErase, {}},
    {Command::Verify, C::btnVerify, {}},
    {Command::ReadEeprom, C::btnReaEE, kEepromSize},
    {Command::WriteEeprom, C::btnWriEE, {}},
    {Command::ReadLockBits, C::btnReadLB, {}},
    {Command::ReadFuses, C::btnReadFuse, {}},
    {Command::WriteFuses, C::btnWrFuse, {}},
    {Command::ReadSerialFuse, C::btnReadS, kSerialFuse},
    {Command::WriteSerialFuse, C::btnWriteS, {}},
    {Command::Signature, C::mnuSignature, {}},
};

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

const std::array<Control, 3>& lockBoxes() {
    static const std::array<Control, 3> boxes{C::chLB1, C::chLB2, C::chLB3};
    return boxes;
}

std::span<const CommandControls> commandControls() {
    return kCommandControls;
}

}  // namespace trilo
