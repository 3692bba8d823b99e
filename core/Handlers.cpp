#include "core/Handlers.h"

#include "commands/Commands.h"
#include "core/DeviceControls.h"
#include "core/Session.h"
#include "ops/avr/AvrFuseLock.h"

namespace trilo {

namespace {

using C = Control;
using commands::Outcome;

constexpr std::array<C, 3> kLockBoxes{C::chLB1, C::chLB2, C::chLB3};

FlashJob flashJob(const Session& s) {
    LockBoxes locks{};
    for (std::size_t k = 0; k < kLockBoxes.size(); ++k) {
        locks[k] = s.view.checked(kLockBoxes[k]);
    }
    return {s.FamilyTag, s.FlashSize, s.AutoVerify, locks};
}

// The buffer holds data that can be saved.
void enableSave(View& view) {
    view.setEnabled(C::mnuSave, true);
    view.setEnabled(C::mnuSaveAs, true);
}

// What the fuse read gave; nothing when the command did not run.
void showSerialFuse(View& view, std::optional<bool> on) {
    if (on) {
        view.setChecked(C::rdSON, *on);
        view.setChecked(C::rdSOFF, !*on);
    }
}

}  // namespace

void btnReadClick(Session& s) {
    const FlashJob job = flashJob(s);
    Outcome outcome = Outcome::Done;
    s.runOperation([&](OpContext& c) { outcome = commands::Read(c, job); });
    if (outcome == Outcome::Done) {
        s.bufferContent = commands::ReadContent(job.FamilyTag);
        enableSave(s.view);
        s.view.dataChanged(View::DataSide::Chip);
    }
}

void btnEraseClick(Session& s) {
    const FlashJob job = flashJob(s);
    Outcome outcome = Outcome::Done;
    s.runOperation([&](OpContext& c) { outcome = commands::Erase(c, job); });
    if (outcome == Outcome::Done) {
        for (C c : {C::chLB1, C::chLB2, C::chLB3, C::rdSON, C::rdSOFF}) {
            s.view.setChecked(c, false);
        }
    }
}

void btnWriteClick(Session& s) {
    const FlashJob job = flashJob(s);
    s.runOperation(
        [&](OpContext& c) { commands::Write(c, job, s.CurrentFile, s.FlashSize, s.AutoErase); });
}

void btnVerifyClick(Session& s) {
    const FlashJob job = flashJob(s);
    Outcome outcome = Outcome::Done;
    std::optional<std::size_t> at;
    s.runOperation([&](OpContext& c) {
        outcome = commands::Verify(c, job, s.CurrentFile);
        if (c.difference) {
            at = static_cast<std::size_t>(inputOffset(c, *c.difference));
        }
    });
    if (outcome == Outcome::VerifyFailed) {
        s.view.showDifferences(at);
    }
}

void btnReadLBClick(Session& s) {
    for (C box : kLockBoxes) {
        s.view.setChecked(box, false);
    }
    std::optional<int> level;
    s.runOperation([&](OpContext& c) { level = commands::ReadLockBits(c, s.FamilyTag); });
    if (level.value_or(0) > 0) {
        s.view.setChecked(kLockBoxes[static_cast<std::size_t>(*level - 1)], true);
    }
}

void btnReadFuseClick(Session& s) {
    const DeviceInfo* device = findDevice(s.DeviceId);
    if (device == nullptr) {
        return;
    }
    std::optional<std::uint8_t> fuses;
    s.runOperation([&](OpContext& c) { fuses = commands::ReadFuses(c, *device); });
    if (!fuses) {
        return;
    }
    // A box the device does not use keeps its state.
    const std::array<bool, 6> programmed = programmedFuses(*fuses);
    for (std::size_t k = 0; k < fuseBoxes().size(); ++k) {
        const C box = fuseBoxes()[k];
        if (s.view.enabled(box)) {
            s.view.setChecked(box, programmed[k]);
        }
    }
}

void btnWrFuseClick(Session& s) {
    std::array<bool, 6> checked{};
    for (std::size_t k = 0; k < fuseBoxes().size(); ++k) {
        checked[k] = s.view.checked(fuseBoxes()[k]);
    }
    const DeviceInfo* device = findDevice(s.DeviceId);
    if (device == nullptr) {
        return;
    }
    const std::uint8_t fuses = fuseByteFrom(checked);
    s.runOperation([&](OpContext& c) { commands::WriteFuses(c, *device, fuses, s.AutoVerify); });
}

void btnReaEEClick(Session& s) {
    Outcome outcome = Outcome::Done;
    s.runOperation([&](OpContext& c) { outcome = commands::ReadEeprom(c, s.EepromSize); });
    if (outcome == Outcome::Done) {
        s.bufferContent = commands::BufferContent::AvrEeprom;
        enableSave(s.view);
        s.view.dataChanged(View::DataSide::Chip);
    }
}

void btnWriEEClick(Session& s) {
    s.runOperation(
        [&](OpContext& c) { commands::WriteEeprom(c, s.CurrentFile, s.EepromSize, s.AutoVerify); });
}

void btnReadSClick(Session& s) {
    std::optional<bool> on;
    s.runOperation([&](OpContext& c) { on = commands::ReadSerialFuse(c); });
    showSerialFuse(s.view, on);
}

void btnWriteSClick(Session& s) {
    const bool off = s.view.checked(C::rdSOFF);
    std::optional<bool> on;
    s.runOperation([&](OpContext& c) { on = commands::WriteSerialFuse(c, off); });
    showSerialFuse(s.view, on);
}

void mnuSignatureClick(Session& s) {
    const DeviceInfo* device = findDevice(s.DeviceId);
    if (device == nullptr) {
        return;
    }
    s.runOperation([&](OpContext& c) { commands::ShowSignature(c, *device); });
}

}  // namespace trilo
