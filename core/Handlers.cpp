#include "core/Handlers.h"

#include "commands/Commands.h"
#include "core/DeviceControls.h"
#include "core/Session.h"

namespace trilo {

namespace {

using C = Control;
using commands::Outcome;

constexpr std::array<C, 3> kLockBoxes{C::chLB1, C::chLB2, C::chLB3};

// What the commands take from the selection, the options and the lock boxes; nothing when no
// device is selected, since then every command button is disabled.
std::optional<Job> jobOf(const Session& s) {
    const DeviceInfo* device = findDevice(s.DeviceId);
    if (device == nullptr) {
        return std::nullopt;
    }
    Job job{device, s.FlashSize, s.EepromSize, s.AutoVerify, {}};
    for (std::size_t k = 0; k < kLockBoxes.size(); ++k) {
        job.locks[k] = s.view.checked(kLockBoxes[k]);
    }
    return job;
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
    const auto job = jobOf(s);
    if (!job) {
        return;
    }
    Outcome outcome = Outcome::Done;
    s.runOperation([&](OpContext& c) { outcome = commands::Read(c, *job); });
    if (outcome == Outcome::Done) {
        s.bufferContent = commands::ReadContent(*job->device);
        enableSave(s.view);
    }
}

void btnEraseClick(Session& s) {
    const auto job = jobOf(s);
    if (!job) {
        return;
    }
    Outcome outcome = Outcome::Done;
    s.runOperation([&](OpContext& c) { outcome = commands::Erase(c, *job); });
    if (outcome == Outcome::Done) {
        for (C c : {C::chLB1, C::chLB2, C::chLB3, C::rdSON, C::rdSOFF}) {
            s.view.setChecked(c, false);
        }
    }
}

void btnWriteClick(Session& s) {
    const auto job = jobOf(s);
    if (!job) {
        return;
    }
    s.runOperation(
        [&](OpContext& c) { commands::Write(c, *job, s.CurrentFile, s.FlashSize, s.AutoErase); });
}

void btnVerifyClick(Session& s) {
    const auto job = jobOf(s);
    if (!job) {
        return;
    }
    s.runOperation([&](OpContext& c) { commands::Verify(c, *job, s.CurrentFile); });
}

void btnReadLBClick(Session& s) {
    for (C box : kLockBoxes) {
        s.view.setChecked(box, false);
    }
    const auto job = jobOf(s);
    if (!job) {
        return;
    }
    std::optional<int> level;
    s.runOperation([&](OpContext& c) { level = commands::ReadLockBits(c, *job); });
    if (level.value_or(0) > 0) {
        s.view.setChecked(kLockBoxes[static_cast<std::size_t>(*level - 1)], true);
    }
}

void btnReadFuseClick(Session& s) {
    const auto job = jobOf(s);
    if (!job) {
        return;
    }
    std::optional<std::uint8_t> fuses;
    s.runOperation([&](OpContext& c) { fuses = commands::ReadFuses(c, *job); });
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
    const std::uint8_t fuses = fuseByteFrom(checked);
    const auto job = jobOf(s);
    if (!job) {
        return;
    }
    s.runOperation([&](OpContext& c) { commands::WriteFuses(c, *job, fuses); });
}

void btnReaEEClick(Session& s) {
    const auto job = jobOf(s);
    if (!job) {
        return;
    }
    Outcome outcome = Outcome::Done;
    s.runOperation([&](OpContext& c) { outcome = commands::ReadEeprom(c, *job); });
    if (outcome == Outcome::Done) {
        s.bufferContent = commands::BufferContent::AvrEeprom;
        enableSave(s.view);
    }
}

void btnWriEEClick(Session& s) {
    const auto job = jobOf(s);
    if (!job) {
        return;
    }
    s.runOperation(
        [&](OpContext& c) { commands::WriteEeprom(c, *job, s.CurrentFile, s.EepromSize); });
}

void btnReadSClick(Session& s) {
    const auto job = jobOf(s);
    if (!job) {
        return;
    }
    std::optional<bool> on;
    s.runOperation([&](OpContext& c) { on = commands::ReadSerialFuse(c, *job); });
    showSerialFuse(s.view, on);
}

void btnWriteSClick(Session& s) {
    const bool off = s.view.checked(C::rdSOFF);
    const auto job = jobOf(s);
    if (!job) {
        return;
    }
    std::optional<bool> on;
    s.runOperation([&](OpContext& c) { on = commands::WriteSerialFuse(c, *job, off); });
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
