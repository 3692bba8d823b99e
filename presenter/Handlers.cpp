#include "presenter/Handlers.h"

#include <filesystem>

#include "base/Text.h"
#include "presenter/DeviceControls.h"
#include "presenter/Session.h"

namespace trilo {

namespace {

using C = Control;
using commands::Outcome;

// The command ended before it reached the chip, which holds what it held.
bool untouched(Outcome outcome) {
    switch (outcome) {
        case Outcome::NoInputFile:
        case Outcome::FileTooLarge:
        case Outcome::Declined:
        case Outcome::BadFile:
        case Outcome::EmptyFile:
        case Outcome::NotOffered:
            return true;
        default:
            return false;
    }
}

// What the fuse read gave; nothing when the command did not run.
void showSerialFuse(View& view, std::optional<bool> on) {
    if (on) {
        view.setChecked(C::rdSON, *on);
        view.setChecked(C::rdSOFF, !*on);
    }
}

}  // namespace

CommandResult Session::runCommand(Command command, CommandArgs args) {
    // The lock level a flash write programs: the box checked, one at a time.
    for (std::size_t k = 0; k < lockBoxes().size(); ++k) {
        if (view_.checked(lockBoxes()[k])) {
            args.lockLevel = static_cast<int>(k) + 1;
        }
    }
    // An AVR chip erase clears the EEPROM too: the Erase says so, a Write's erase asks first.
    const bool erases =
        command == Command::Erase || command == Command::AutoErase ||
        (command == Command::WriteFlash && args.autoErase.value_or(engine_.options().AutoErase));
    if (erases && command != Command::Erase && !eepromMayGo()) {
        CommandResult declined;
        declined.report.command = command;
        declined.report.outcome = Outcome::Declined;
        return declined;
    }
    // Taken before the write: one that ends midway leaves part of the file in the chip.
    const std::optional<std::string> written = eepromWrittenFrom_;
    if (command == Command::WriteEeprom) {
        eepromWrittenFrom_ = args.file.value_or(engine_.files().CurrentFile);
    }
    const CommandResult result = engine_.run(command, args);
    if (untouched(result.outcome())) {
        eepromWrittenFrom_ = written;
    } else if (erases) {
        eepromWrittenFrom_.reset();
    }
    return result;
}

bool Session::eepromMayGo() {
    if (!eepromWrittenFrom_ || !engine_.offered(Command::WriteEeprom)) {
        return true;
    }
    const std::string name = std::filesystem::path(*eepromWrittenFrom_).filename().string();
    return view_.askYesNo(
        {format(_("Mazání před zápisem FLASH smaže i EEPROM zapsanou ze souboru {}. Pokračovat ?"),
                name),
         *eepromWrittenFrom_, false, true});
}

void btnReadClick(Session& s) {
    s.runCommand(Command::ReadFlash);
}

void btnEraseClick(Session& s) {
    if (s.runCommand(Command::Erase).outcome() == Outcome::Done) {
        for (C c : {C::chLB1, C::chLB2, C::chLB3, C::rdSON, C::rdSOFF}) {
            s.view().setChecked(c, false);
        }
    }
}

void btnWriteClick(Session& s) {
    s.runCommand(Command::WriteFlash);
}

void btnVerifyClick(Session& s) {
    const CommandResult result = s.runCommand(Command::Verify);
    if (result.outcome() == Outcome::VerifyFailed) {
        s.view().showDifferences(
            result.difference ? std::optional(static_cast<std::size_t>(result.difference->address))
                              : std::nullopt);
    }
}

void btnReadLBClick(Session& s) {
    for (C box : lockBoxes()) {
        s.view().setChecked(box, false);
    }
    const std::optional<int> level = s.runCommand(Command::ReadLockBits).lockLevel;
    if (level.value_or(0) > 0) {
        s.view().setChecked(lockBoxes()[static_cast<std::size_t>(*level - 1)], true);
    }
}

void btnReadFuseClick(Session& s) {
    const std::optional<std::uint8_t> fuses = s.runCommand(Command::ReadFuses).fuses;
    if (!fuses) {
        return;
    }
    // A box the device does not use keeps its state.
    const std::array<bool, 6> programmed = programmedFuses(*fuses);
    for (std::size_t k = 0; k < fuseBoxes().size(); ++k) {
        const C box = fuseBoxes()[k];
        if (s.isEnabled(box)) {
            s.view().setChecked(box, programmed[k]);
        }
    }
}

void btnWrFuseClick(Session& s) {
    std::array<bool, 6> checked{};
    for (std::size_t k = 0; k < fuseBoxes().size(); ++k) {
        checked[k] = s.view().checked(fuseBoxes()[k]);
    }
    CommandArgs args;
    args.fuses = fuseByteFrom(checked);
    s.runCommand(Command::WriteFuses, args);
}

void btnReaEEClick(Session& s) {
    s.runCommand(Command::ReadEeprom);
}

void btnWriEEClick(Session& s) {
    s.runCommand(Command::WriteEeprom);
}

void btnReadSClick(Session& s) {
    showSerialFuse(s.view(), s.runCommand(Command::ReadSerialFuse).serialFuse);
}

void btnWriteSClick(Session& s) {
    CommandArgs args;
    args.serialFuseOff = s.view().checked(C::rdSOFF);
    showSerialFuse(s.view(), s.runCommand(Command::WriteSerialFuse, args).serialFuse);
}

void mnuSignatureClick(Session& s) {
    s.runCommand(Command::Signature);
}

void mnuBoardTestClick(Session& s) {
    const auto result =
        s.engine().boardTest([&](const BoardCheckResult& step) { s.view().boardTestStep(step); });
    if (result) {
        s.showLastCommand([summary = *result] { return summary.summary(); });
    }
}

}  // namespace trilo
