#include "core/Handlers.h"

#include "commands/Commands.h"
#include "core/DeviceControls.h"
#include "core/Session.h"
#include "ops/avr/AvrFuseLock.h"

namespace trilo {

namespace {

using C = Control;
using commands::Command;
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

// A reading's outcome: nothing when the user declined the chip in the socket.
template <typename T>
Outcome ran(const std::optional<T>& reading) {
    return reading ? Outcome::Done : Outcome::Declined;
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
    s.runCommand(Command::ReadFlash,
                 [&](OpContext& c) { return outcome = commands::Read(c, job); });
    if (outcome == Outcome::Done) {
        s.bufferContent = commands::ReadContent(job.FamilyTag);
        enableSave(s.view);
    }
}

void btnEraseClick(Session& s) {
    const FlashJob job = flashJob(s);
    Outcome outcome = Outcome::Done;
    s.runCommand(Command::Erase, [&](OpContext& c) { return outcome = commands::Erase(c, job); });
    if (outcome == Outcome::Done) {
        for (C c : {C::chLB1, C::chLB2, C::chLB3, C::rdSON, C::rdSOFF}) {
            s.view.setChecked(c, false);
        }
    }
}

void btnWriteClick(Session& s) {
    const FlashJob job = flashJob(s);
    s.runCommand(Command::WriteFlash, [&](OpContext& c) {
        return commands::Write(c, job, s.CurrentFile, s.FlashSize, s.AutoErase);
    });
}

void btnVerifyClick(Session& s) {
    const FlashJob job = flashJob(s);
    s.runCommand(Command::Verify,
                 [&](OpContext& c) { return commands::Verify(c, job, s.CurrentFile); });
}

void btnReadLBClick(Session& s) {
    for (C box : kLockBoxes) {
        s.view.setChecked(box, false);
    }
    std::optional<int> level;
    s.runCommand(Command::ReadLockBits, [&](OpContext& c) {
        level = commands::ReadLockBits(c, s.FamilyTag);
        return ran(level);
    });
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
    s.runCommand(Command::ReadFuses, [&](OpContext& c) {
        fuses = commands::ReadFuses(c, *device);
        return ran(fuses);
    });
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
    s.runCommand(Command::WriteFuses, [&](OpContext& c) {
        return commands::WriteFuses(c, *device, fuses, s.AutoVerify);
    });
}

void btnReaEEClick(Session& s) {
    Outcome outcome = Outcome::Done;
    s.runCommand(Command::ReadEeprom,
                 [&](OpContext& c) { return outcome = commands::ReadEeprom(c, s.EepromSize); });
    if (outcome == Outcome::Done) {
        s.bufferContent = commands::BufferContent::AvrEeprom;
        enableSave(s.view);
    }
}

void btnWriEEClick(Session& s) {
    s.runCommand(Command::WriteEeprom, [&](OpContext& c) {
        return commands::WriteEeprom(c, s.CurrentFile, s.EepromSize, s.AutoVerify);
    });
}

void btnReadSClick(Session& s) {
    std::optional<bool> on;
    s.runCommand(Command::ReadSerialFuse, [&](OpContext& c) {
        on = commands::ReadSerialFuse(c);
        return ran(on);
    });
    showSerialFuse(s.view, on);
}

void btnWriteSClick(Session& s) {
    const bool off = s.view.checked(C::rdSOFF);
    std::optional<bool> on;
    s.runCommand(Command::WriteSerialFuse, [&](OpContext& c) {
        on = commands::WriteSerialFuse(c, off);
        // The write reads the fuse back: one that did not take is a failed write.
        return on && *on == off ? Outcome::WriteFailed : ran(on);
    });
    showSerialFuse(s.view, on);
}

void mnuSignatureClick(Session& s) {
    const DeviceInfo* device = findDevice(s.DeviceId);
    if (device == nullptr) {
        return;
    }
    s.runCommand(Command::Signature, [&](OpContext& c) {
        commands::ShowSignature(c, *device);
        return Outcome::Done;
    });
}

}  // namespace trilo
