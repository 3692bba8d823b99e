#include "session/Handlers.h"

#include "commands/Commands.h"
#include "session/DeviceControls.h"
#include "session/Session.h"

namespace trilo {

namespace {

using C = Control;
using commands::Command;
using commands::Outcome;

constexpr std::array<C, 3> kLockBoxes{C::chLB1, C::chLB2, C::chLB3};

// Runs a command with what it takes from the selection, the options and the lock boxes.
// Nothing runs when no device is selected: every command button is disabled then.
void runCommand(Session& s, Command name,
                const std::function<Outcome(OpContext&, const Job&)>& command) {
    const Selection& sel = s.selection();
    const DeviceInfo* device = findDevice(sel.DeviceId);
    if (device == nullptr) {
        return;
    }
    Job job{device, sel.FlashSize, sel.EepromSize, s.options().AutoVerify, {}};
    for (std::size_t k = 0; k < kLockBoxes.size(); ++k) {
        job.locks[k] = s.view().checked(kLockBoxes[k]);
    }
    s.runCommand(name, [&](OpContext& c) { return command(c, job); });
}

// A read left data in the buffer that can be saved.
void readInto(Session& s, Outcome outcome, commands::BufferContent content) {
    if (outcome == Outcome::Done) {
        s.files().bufferContent = content;
        s.files().bufferDevice = s.selection().DeviceId;
        s.view().setEnabled(C::mnuSave, true);
        s.view().setEnabled(C::mnuSaveAs, true);
        s.view().dataChanged(View::DataSide::Chip);
    }
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
    Outcome outcome = Outcome::Declined;
    commands::BufferContent content{};
    runCommand(s, Command::ReadFlash, [&](OpContext& c, const Job& job) {
        outcome = commands::Read(c, job);
        content = commands::ReadContent(*job.device);
        return outcome;
    });
    readInto(s, outcome, content);
}

void btnEraseClick(Session& s) {
    Outcome outcome = Outcome::Declined;
    runCommand(s, Command::Erase,
               [&](OpContext& c, const Job& job) { return outcome = commands::Erase(c, job); });
    if (outcome == Outcome::Done) {
        for (C c : {C::chLB1, C::chLB2, C::chLB3, C::rdSON, C::rdSOFF}) {
            s.view().setChecked(c, false);
        }
    }
}

void btnWriteClick(Session& s) {
    runCommand(s, Command::WriteFlash, [&](OpContext& c, const Job& job) {
        return commands::Write(c, job, s.files().CurrentFile, job.FlashSize, s.options().AutoErase);
    });
}

void btnVerifyClick(Session& s) {
    Outcome outcome = Outcome::Declined;
    std::optional<std::size_t> at;
    runCommand(s, Command::Verify, [&](OpContext& c, const Job& job) {
        outcome = commands::Verify(c, job, s.files().CurrentFile, job.FlashSize);
        if (c.difference) {
            at = static_cast<std::size_t>(c.difference->address);
        }
        return outcome;
    });
    if (outcome == Outcome::VerifyFailed) {
        s.view().showDifferences(at);
    }
}

void btnReadLBClick(Session& s) {
    for (C box : kLockBoxes) {
        s.view().setChecked(box, false);
    }
    std::optional<int> level;
    runCommand(s, Command::ReadLockBits, [&](OpContext& c, const Job& job) {
        level = commands::ReadLockBits(c, job);
        return ran(level);
    });
    if (level.value_or(0) > 0) {
        s.view().setChecked(kLockBoxes[static_cast<std::size_t>(*level - 1)], true);
    }
}

void btnReadFuseClick(Session& s) {
    std::optional<std::uint8_t> fuses;
    runCommand(s, Command::ReadFuses, [&](OpContext& c, const Job& job) {
        fuses = commands::ReadFuses(c, job);
        return ran(fuses);
    });
    if (!fuses) {
        return;
    }
    // A box the device does not use keeps its state.
    const std::array<bool, 6> programmed = programmedFuses(*fuses);
    for (std::size_t k = 0; k < fuseBoxes().size(); ++k) {
        const C box = fuseBoxes()[k];
        if (s.view().enabled(box)) {
            s.view().setChecked(box, programmed[k]);
        }
    }
}

void btnWrFuseClick(Session& s) {
    std::array<bool, 6> checked{};
    for (std::size_t k = 0; k < fuseBoxes().size(); ++k) {
        checked[k] = s.view().checked(fuseBoxes()[k]);
    }
    const std::uint8_t fuses = fuseByteFrom(checked);
    runCommand(s, Command::WriteFuses,
               [&](OpContext& c, const Job& job) { return commands::WriteFuses(c, job, fuses); });
}

void btnReaEEClick(Session& s) {
    Outcome outcome = Outcome::Declined;
    runCommand(s, Command::ReadEeprom, [&](OpContext& c, const Job& job) {
        return outcome = commands::ReadEeprom(c, job);
    });
    readInto(s, outcome, commands::BufferContent::AvrEeprom);
}

void btnWriEEClick(Session& s) {
    runCommand(s, Command::WriteEeprom, [&](OpContext& c, const Job& job) {
        return commands::WriteEeprom(c, job, s.files().CurrentFile, job.EepromSize);
    });
}

void btnReadSClick(Session& s) {
    std::optional<bool> on;
    runCommand(s, Command::ReadSerialFuse, [&](OpContext& c, const Job& job) {
        on = commands::ReadSerialFuse(c, job);
        return ran(on);
    });
    showSerialFuse(s.view(), on);
}

void btnWriteSClick(Session& s) {
    const bool off = s.view().checked(C::rdSOFF);
    std::optional<bool> on;
    runCommand(s, Command::WriteSerialFuse, [&](OpContext& c, const Job& job) {
        on = commands::WriteSerialFuse(c, job, off);
        // The write reads the fuse back: one that did not take is a failed write.
        return on && *on == off ? Outcome::WriteFailed : ran(on);
    });
    showSerialFuse(s.view(), on);
}

void mnuSignatureClick(Session& s) {
    runCommand(s, Command::Signature, [&](OpContext& c, const Job& job) {
        commands::ShowSignature(c, *job.device);
        return Outcome::Done;
    });
}

}  // namespace trilo
