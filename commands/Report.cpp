#include "commands/Report.h"

#include <cstdio>

#include "base/Text.h"
#include "commands/CommandTable.h"

namespace trilo {

using commands::Outcome;

namespace {

constexpr std::int64_t kUsPerSecond = 1000000;
// The gauge's pace says little before this.
constexpr std::int64_t kEstimateAfterUs = 2 * kUsPerSecond;

std::string hexAddress(std::int64_t address) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%04llX", static_cast<unsigned long long>(address));
    return text;
}

// A stop leaves a chip that a write had begun to program.
bool writes(Command command) {
    const auto input = commandRow(command).input;
    return input == commands::Destination::Flash || input == commands::Destination::Eeprom;
}

}  // namespace

std::string seconds(std::int64_t us) {
    return decimalTenths((us + kUsPerSecond / 20) / (kUsPerSecond / 10)) + " s";
}

const char* commandName(Command command) {
    return _(commandRow(command).name);
}

std::string reportText(const Report& r) {
    const std::string name = std::string(commandName(r.command)) + ": ";
    std::string where;
    if (r.address) {
        where = r.fileOffset ? format(_("{0} (v souboru {1})"), hexAddress(*r.address),
                                      hexAddress(*r.fileOffset))
                             : hexAddress(*r.address);
        where = format(_("na adrese {}"), where);
    }
    switch (r.outcome) {
        case Outcome::Done: {
            const CommandRow& row = commandRow(r.command);
            if (row.doneChecked != nullptr) {
                return name + _(r.verified ? row.doneChecked : row.doneUnchecked);
            }
            const std::string amount =
                r.bytes > 0 ? std::to_string(r.bytes) + " B" : std::string(_("hotovo"));
            return name + (r.verified
                               ? format(_("{0}, ověřeno, {1}"), amount, seconds(r.durationUs))
                               : amount + ", " + seconds(r.durationUs));
        }
        case Outcome::Stopped: {
            const std::string stopped =
                r.address ? format(_("Zastaveno {}"), where) : std::string(_("Zastaveno"));
            return writes(r.command) ? format(_("{}, čip je zapsán jen zčásti"), stopped) : stopped;
        }
        case Outcome::WriteFailed:
        case Outcome::VerifyFailed:
            return name + (r.address ? format(_("rozdíl {}"), where)
                                     : std::string(_("čip ukazuje jiné hodnoty, než se zapsaly")));
        case Outcome::NotBlank:
            return name + _("čip není prázdný");
        case Outcome::Failed:
            return name + _("skončilo chybou");
        case Outcome::NoInputFile:
        case Outcome::FileTooLarge:
        case Outcome::BadFile:
        case Outcome::EmptyFile:
        case Outcome::Declined:
        case Outcome::NotOffered:
            break;
    }
    return name + _("neprovedeno, čip je netknutý");
}

std::string progressText(Command command, int percent, std::int64_t elapsedUs) {
    const std::string text =
        std::string(commandName(command)) + " " + std::to_string(percent) + " %";
    if (elapsedUs < kEstimateAfterUs || percent <= 0 || percent >= 100) {
        return text;
    }
    // What the gauge has still to go at the pace it went so far, in whole seconds up.
    const std::int64_t leftUs = elapsedUs * (100 - percent) / percent;
    const std::int64_t left = (leftUs + kUsPerSecond - 1) / kUsPerSecond;
    std::string time = std::to_string(left % 60) + " s";
    if (left >= 60) {
        time = std::to_string(left / 60) + " min " + time;
    }
    return format(_("{0}, zbývá {1}"), text, time);
}

}  // namespace trilo
