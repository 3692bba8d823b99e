#include "commands/Report.h"

#include "commands/CommandTable.h"

#include <cstdio>

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
    const std::int64_t tenths = (us + kUsPerSecond / 20) / (kUsPerSecond / 10);
    return std::to_string(tenths / 10) + "," + std::to_string(tenths % 10) + " s";
}

const char* commandName(Command command) {
    return commandRow(command).name;
}

std::string reportText(const Report& r) {
    const std::string name = std::string(commandName(r.command)) + ": ";
    std::string where = r.address ? " na adrese " + hexAddress(*r.address) : "";
    if (r.address && r.fileOffset) {
        where += " (v souboru " + hexAddress(*r.fileOffset) + ")";
    }
    switch (r.outcome) {
        case Outcome::Done: {
            const CommandRow& row = commandRow(r.command);
            if (row.doneChecked != nullptr) {
                return name + (r.verified ? row.doneChecked : row.doneUnchecked);
            }
            const std::string amount = r.bytes > 0 ? std::to_string(r.bytes) + " B" : "hotovo";
            return name + amount + (r.verified ? ", ověřeno, " : ", ") + seconds(r.durationUs);
        }
        case Outcome::Stopped:
            return "Zastaveno" + where + (writes(r.command) ? ", čip je zapsán jen zčásti" : "");
        case Outcome::WriteFailed:
        case Outcome::VerifyFailed:
            return name +
                   (r.address ? "rozdíl" + where : "čip ukazuje jiné hodnoty, než se zapsaly");
        case Outcome::NotBlank:
            return name + "čip není prázdný";
        case Outcome::Failed:
            return name + "skončilo chybou";
        case Outcome::NoInputFile:
        case Outcome::FileTooLarge:
        case Outcome::BadFile:
        case Outcome::EmptyFile:
        case Outcome::Declined:
        case Outcome::NotOffered:
            break;
    }
    return name + "neprovedeno, čip je netknutý";
}

std::string progressText(Command command, int percent, std::int64_t elapsedUs) {
    std::string text = std::string(commandName(command)) + " " + std::to_string(percent) + " %";
    if (elapsedUs < kEstimateAfterUs || percent <= 0 || percent >= 100) {
        return text;
    }
    // What the gauge has still to go at the pace it went so far, in whole seconds up.
    const std::int64_t leftUs = elapsedUs * (100 - percent) / percent;
    const std::int64_t left = (leftUs + kUsPerSecond - 1) / kUsPerSecond;
    text += ", zbývá ";
    if (left >= 60) {
        text += std::to_string(left / 60) + " min ";
    }
    return text + std::to_string(left % 60) + " s";
}

}  // namespace trilo
