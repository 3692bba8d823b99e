#include "ops/FamilyTable.h"

#include "devices/Catalog.h"
#include "ops/avr/AvrFlash.h"
#include "ops/mcs51/M51Flash.h"

namespace trilo {

namespace {

const FlashFamily kAvr{
    [](OpContext& c, const FlashJob& j) { AvrReadFlash(c, j.FlashSize); },
    [](OpContext& c, const FlashJob&) { AvrEraseChip(c); },
    [](OpContext& c, const FlashJob& j) { return AvrBlankCheck(c, j.FlashSize); },
    [](OpContext& c, const FlashJob& j) { return AvrWriteFlash(c, j.AutoVerify, j.locks); },
    [](OpContext& c, const FlashJob&) { return AvrVerifyFlash(c); },
};

const FlashFamily kMcs51{
    [](OpContext& c, const FlashJob& j) { M51ReadFlash(c, mcs51Family(j.FamilyTag), j.FlashSize); },
    [](OpContext& c, const FlashJob& j) { M51EraseChip(c, mcs51Family(j.FamilyTag)); },
    [](OpContext& c, const FlashJob& j) {
        return M51BlankCheck(c, mcs51Family(j.FamilyTag), j.FlashSize);
    },
    [](OpContext& c, const FlashJob& j) {
        return M51WriteFlash(c, mcs51Family(j.FamilyTag), j.AutoVerify, j.locks);
    },
    [](OpContext& c, const FlashJob& j) { return M51VerifyFlash(c, mcs51Family(j.FamilyTag)); },
};

}  // namespace

const FlashFamily& flashFamily(const std::string& FamilyTag, FlashCommand command) {
    if (command == FlashCommand::Read) {
        const bool mcs51 =
            FamilyTag == kFamilyX51 || FamilyTag == kFamilyX051 || FamilyTag == kFamilyS51;
        return mcs51 ? kMcs51 : kAvr;
    }
    return FamilyTag == kFamilyAvr ? kAvr : kMcs51;
}

}  // namespace trilo
