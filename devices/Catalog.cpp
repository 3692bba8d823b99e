#include "devices/Catalog.h"

namespace trilo {

namespace {

constexpr std::array<const char*, 6> kNoFuses{nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
constexpr std::array<const char*, 6> kSpienFstrt{"SPIEN", nullptr, nullptr,
                                                 nullptr, nullptr, "FSTRT"};
constexpr std::array<const char*, 6> kBodParts{"SPIEN",  "BODLEVEL", "BODEN",
                                               "CKSEL2", "CKSEL1",   "CKSEL0"};

const std::array<DeviceInfo, kDeviceCount> kCatalog{{
    {1, "89C1051", Control::mnu1051, kFamilyX051, 1024, 0, kNoFuses},
    {2, "89C2051", Control::mnu2051, kFamilyX051, 2048, 0, kNoFuses},
    {3, "89C4051", Control::mnu4051, kFamilyX051, 4096, 0, kNoFuses},
    {4, "89C51", Control::mnu51, kFamilyX51, 4096, 0, kNoFuses},
    {5, "89C52", Control::mnu52, kFamilyX51, 8192, 0, kNoFuses},
    {6, "89S53", Control::mnu53, kFamilyS51, 12288, 0, kNoFuses},
    {7, "89C55", Control::mnu55, kFamilyX51, 20480, 0, kNoFuses},
    {8, "89S8252", Control::mnu8252, kFamilyS51, 10240, 0, kNoFuses},
    {9,
     "90S1200",
     Control::mnu1200,
     kFamilyAvr,
     1024,
     64,
     {"SPIEN", nullptr, nullptr, nullptr, nullptr, "RCEN"}},
    {10, "90S2313", Control::mnu2313, kFamilyAvr, 2048, 128, kSpienFstrt},
    {11, "90S2333", Control::mnu2333, kFamilyAvr, 4096, 128, kBodParts},
    {12, "90S4414", Control::mnu4414, kFamilyAvr, 4096, 256, kSpienFstrt},
    {13, "90S4433", Control::mnu4433, kFamilyAvr, 4096, 256, kBodParts},
    {14, "90S4434", Control::mnu4434, kFamilyAvr, 4096, 256, kSpienFstrt},
    {15, "90S8515", Control::mnu8515, kFamilyAvr, 8192, 512, kSpienFstrt},
    {16, "90S8535", Control::mnu8535, kFamilyAvr, 8192, 512, kSpienFstrt},
    {17,
     "ATtiny28",
     Control::mnat28,
     kFamilyAvr,
     2048,
     0,
     {nullptr, "INTCAP", "CKSEL3", "CKSEL2", "CKSEL1", "CKSEL0"}},
    {18, "90S8534", Control::mnu8534, kFamilyAvr, 8192, 512, kNoFuses},
}};

}  // namespace

const std::array<DeviceInfo, kDeviceCount>& deviceCatalog() {
    return kCatalog;
}

const DeviceInfo* findDevice(std::int32_t id) {
    if (id < 1 || id > kDeviceCount) {
        return nullptr;
    }
    return &kCatalog[static_cast<std::size_t>(id - 1)];
}

const std::array<std::int32_t, 8>& mcs51MenuOrder() {
    static const std::array<std::int32_t, 8> order{1, 2, 3, 4, 5, 6, 7, 8};
    return order;
}

const std::array<std::int32_t, 10>& avrMenuOrder() {
    static const std::array<std::int32_t, 10> order{9, 10, 11, 12, 13, 14, 15, 18, 16, 17};
    return order;
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
