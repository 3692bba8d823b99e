#include "commands/Plan.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "base/SystemReason.h"
#include "base/Text.h"

namespace trilo {

namespace {

using commands::Destination;
using Kind = PlanRefusal::Kind;

std::string hexAddress(std::int64_t address) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%04llX", static_cast<unsigned long long>(address));
    return text;
}

PlanRefusal usage(std::string origin, std::string reason) {
    return {Kind::Usage, std::move(origin), std::move(reason), {}};
}

const Asked* find(const std::vector<Asked>& asked, Command command) {
    const auto at = std::find_if(asked.begin(), asked.end(),
                                 [&](const Asked& a) { return a.command == command; });
    return at == asked.end() ? nullptr : &*at;
}

// What the request asks that the device cannot do, twice, or against itself.
std::optional<PlanRefusal> contradiction(const PlanRequest& r) {
    const DeviceInfo& device = *r.device;
    const Asked* undone = nullptr;  // the EEPROM write an erase would undo
    for (const Asked& a : r.asked) {
        const CommandRow& row = commandRow(a.command);
        if (!offered(row, device)) {
            return usage(a.origin, format(_(row.lacks), device.name));
        }
        if (a.command == Command::Erase && undone != nullptr) {
            return usage(
                format(_("{0} za {1}"), a.origin, undone->origin),
                format(_("mazání čipu smaže i EEPROM, kterou tento běh zapsal; dejte {0} před {1}"),
                       a.origin, undone->origin));
        }
        if (undone == nullptr && a.command == Command::WriteEeprom) {
            undone = &a;
        }
    }
    const bool writesFlash = find(r.asked, Command::WriteFlash) != nullptr;
    if (r.lockLevel < 0 || r.lockLevel > 3) {
        return usage(r.lockOrigin,
                     format(_("úroveň lock bitů je 0 až 3, ne {}"), std::to_string(r.lockLevel)));
    }
    if (r.lockLevel > device.lockLevels) {
        return usage(r.lockOrigin,
                     format(_("{0} má lock bity úrovně 1 až {1}, ne {2}"), device.name,
                            std::to_string(device.lockLevels), std::to_string(r.lockLevel)));
    }
    if (r.lockLevel > 0 && !writesFlash) {
        return usage(r.lockOrigin,
                     _("lock bity se zapisují jen na konci zápisu FLASH a tento běh FLASH "
                       "nezapisuje"));
    }
    if (r.verifyAfterWrite && !writesFlash && find(r.asked, Command::Verify) == nullptr) {
        return usage(r.verifyOrigin,
                     _("verifikace čtením platí jen pro zápis nebo verifikaci FLASH a tento běh "
                       "nemá ani jedno"));
    }
    if (r.serial) {
        const SerialField& s = *r.serial;
        if (s.eeprom && !offers(device).eeprom) {
            return usage(s.origin, format(_("{} nemá EEPROM"), device.name));
        }
        const std::int64_t size = s.eeprom ? device.eepromSize : device.flashSize;
        if (s.address < 0 || s.bytes < 1 || s.address + s.bytes > size) {
            return usage(s.origin, format(_("číslo na adrese {0} ({1} B) přesahuje {2} ({3} B)"),
                                          hexAddress(s.address), std::to_string(s.bytes),
                                          s.eeprom ? "EEPROM" : "FLASH", std::to_string(size)));
        }
        if (find(r.asked, s.eeprom ? Command::WriteEeprom : Command::WriteFlash) == nullptr) {
            return usage(s.origin, format(_("sériové číslo potřebuje zápis {}"),
                                          s.eeprom ? "EEPROM" : "FLASH"));
        }
    }
    return std::nullopt;
}

}  // namespace

bool Plan::holdsSerial(const PlanStep& step) const {
    const auto input = commandRow(step.command).input;
    return serial && input && commands::forEeprom(*input) == serial->eeprom;
}

std::variant<Plan, PlanRefusal> makePlan(const PlanRequest& r) {
    if (r.device == nullptr) {
        return usage("", _("není zvolen čip"));
    }
    if (auto refusal = contradiction(r)) {
        return *refusal;
    }
    Plan plan;
    plan.device = r.device;
    plan.checks = r.checks;
    plan.serial = r.serial;
    const auto writes = [](const PlanStep& s) { return commandRow(s.command).writes; };
    for (const Asked& a : r.asked) {
        plan.steps.push_back({a.command, a.args, a.origin});
        if (a.command == Command::WriteFlash) {
            plan.steps.back().args.autoErase = false;
            plan.steps.back().args.lockLevel = 0;
        }
    }
    auto first = std::find_if(plan.steps.begin(), plan.steps.end(), writes);
    const bool erased = std::any_of(plan.steps.begin(), first,
                                    [](const PlanStep& s) { return s.command == Command::Erase; });
    const bool flash = find(r.asked, Command::WriteFlash) != nullptr;
    if (r.autoErase && flash && !erased) {
        if (first->command == Command::WriteFlash) {
            first->args.autoErase = true;
        } else {
            // The flash write's own erase would come after this write and undo it.
            plan.steps.insert(first, PlanStep{Command::AutoErase, CommandArgs{}, first->origin});
        }
    }
    if (r.verifyAfterWrite && flash && find(r.asked, Command::Verify) == nullptr) {
        const auto last = std::find_if(plan.steps.rbegin(), plan.steps.rend(), writes).base();
        const Asked& written = *find(r.asked, Command::WriteFlash);
        PlanStep verify{Command::Verify, CommandArgs{}, r.verifyOrigin};
        verify.args.file = written.args.file;
        verify.args.format = written.args.format;
        plan.steps.insert(last, verify);
    }
    if (r.lockLevel > 0) {
        // After the last step that a locked chip would refuse; that is a flash write at the
        // latest.
        std::size_t after = plan.steps.size();
        while (!commandRow(plan.steps[after - 1].command).beforeLock) {
            --after;
        }
        if (plan.steps[after - 1].command == Command::WriteFlash) {
            plan.steps[after - 1].args.lockLevel = r.lockLevel;
        } else {
            PlanStep lock{Command::WriteLock, CommandArgs{}, r.lockOrigin};
            lock.args.lockLevel = r.lockLevel;
            plan.steps.insert(plan.steps.begin() + static_cast<std::ptrdiff_t>(after), lock);
        }
    }
    return plan;
}

namespace {

using commands::BufferContent;

// Whether path is there as a file to read data from; or why not.
std::optional<std::string> notAFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        const int err = errno;
        return err == ENOENT ? format(_("soubor „{}“ neexistuje"), path)
                             : format(_("soubor „{0}“: {1}"), path, systemReason(err));
    }
    if (S_ISDIR(st.st_mode)) {
        return format(_("„{}“ je adresář"), path);
    }
    if (!S_ISREG(st.st_mode)) {
        return format(_("„{}“ není obyčejný soubor (roura nebo zařízení)"), path);
    }
    return std::nullopt;
}

// The field's bytes that the image has something other than blank at, "0x0010 0C".
std::optional<std::string> covered(const SerialField& s, const std::vector<std::uint8_t>& image,
                                   bool avrFlash) {
    for (std::int64_t a = s.address; a < s.address + s.bytes; ++a) {
        const auto at = static_cast<std::size_t>(avrFlash ? a ^ 1 : a);
        if (at < image.size() && image[at] != 0xFF) {
            char byte[4];
            std::snprintf(byte, sizeof byte, "%02X", image[at]);
            return format(_("číslo na adrese {0} ({1} B) by přepsalo bajt programu {2} na {3}; "
                            "vyhraďte mu v obrazu bajty 0xFF, nebo přepsání dovolte"),
                          hexAddress(s.address), std::to_string(s.bytes), byte, hexAddress(a));
        }
    }
    return std::nullopt;
}

std::optional<PlanRefusal> checkFile(const Plan& plan, const PlanStep& step, Destination input) {
    const DeviceInfo& device = *plan.device;
    const std::string file = step.args.file.value_or("");
    const bool eeprom = commands::forEeprom(input);
    if (file.empty() && plan.holdsSerial(step)) {
        return std::nullopt;
    }
    if (const auto why = notAFile(file)) {
        return PlanRefusal{Kind::File, step.origin, *why, {}};
    }
    const auto refused = [&](std::string message) {
        return PlanRefusal{Kind::File, step.origin + " " + file,
                           _("soubor odmítnut, čip je netknutý"), std::move(message)};
    };
    const auto image =
        commands::inputImage({file, step.args.format},
                             eeprom ? BufferContent::AvrEeprom : commands::ReadContent(device));
    if (const auto* refusal = std::get_if<std::string>(&image)) {
        return refused(*refusal);
    }
    const auto& bytes = std::get<std::vector<std::uint8_t>>(image);
    const bool verify = input == Destination::Verify || input == Destination::VerifyEeprom;
    if (static_cast<std::int64_t>(bytes.size()) > (eeprom ? device.eepromSize : device.flashSize)) {
        return refused(_(eeprom ? kEepromTooSmall : kFlashTooSmall));
    }
    if (bytes.empty()) {
        return refused(_(verify   ? commands::kEmptyFile
                         : eeprom ? commands::kNoEepromData
                                  : commands::kNoFlashData));
    }
    if (plan.holdsSerial(step) && !verify && !plan.serial->overImage) {
        const bool avrFlash = !eeprom && commands::ReadContent(device) == BufferContent::AvrFlash;
        if (const auto why = covered(*plan.serial, bytes, avrFlash)) {
            return usage(plan.serial->origin, *why);
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<PlanRefusal> checkInput(const Plan& plan, const PlanStep& step) {
    const CommandRow& row = commandRow(step.command);
    const std::string file = step.args.file.value_or("");
    if (row.input) {
        return checkFile(plan, step, *row.input);
    }
    if ((row.leaves == Leaves::FlashBuffer || row.leaves == Leaves::EepromBuffer) && file != "-") {
        // A read into a file the program cannot write (an ELF file) is refused before the
        // board is touched, as the window refuses the save.
        if (auto refusal = commands::saveRefusal(file, step.args.format)) {
            return PlanRefusal{Kind::File, step.origin + " " + file, *refusal, {}};
        }
    }
    return std::nullopt;
}

std::optional<PlanRefusal> checkInputs(const Plan& plan) {
    for (const PlanStep& step : plan.steps) {
        if (auto refusal = checkInput(plan, step)) {
            return refusal;
        }
    }
    return std::nullopt;
}

std::vector<std::string> planLines(const Plan& plan) {
    std::vector<std::string> lines;
    const RunChecks& checks = plan.checks;
    for (const PlanStep& step : plan.steps) {
        const CommandRow& row = commandRow(step.command);
        std::string line = std::to_string(lines.size() + 1) + ". " + _(row.name);
        std::string details;
        const auto add = [&](const std::string& detail) {
            details += (details.empty() ? "" : ", ") + detail;
        };
        const std::string file = step.args.file.value_or("");
        if (row.input || row.leaves == Leaves::FlashBuffer || row.leaves == Leaves::EepromBuffer) {
            add(file == "-"     ? (row.input ? _("standardní vstup") : _("standardní výstup"))
                : !file.empty() ? file
                : plan.holdsSerial(step) ? _("jen sériové číslo")
                                         : "");
        }
        if (step.command == Command::WriteFuses) {
            const std::string names = programmedFuseNames(*plan.device, step.args.fuses);
            add(names.empty() ? std::string(_("žádný naprogramovaný"))
                              : format(_("{} naprogramované"), names));
        }
        if (step.command == Command::WriteSerialFuse) {
            add(step.args.serialFuseOff ? "OFF" : "ON");
        }
        if (step.command == Command::WriteLock) {
            add(format(_("úroveň {}"), std::to_string(step.args.lockLevel)));
        }
        if (step.args.autoErase.value_or(false)) {
            add(_("mazání předem"));
        }
        if (plan.holdsSerial(step) && row.writes) {
            add(format(_("sériové číslo na {0} ({1} B)"), hexAddress(plan.serial->address),
                       std::to_string(plan.serial->bytes)));
        }
        if (step.command == Command::Verify && checks.verifyByRead) {
            add(_("čtením"));
        }
        const bool lockRead = offers(*plan.device).readLock;
        if (row.checked == Checked::WhenChecking &&
            countsChecked(row, checks.readBack, checks.blankCheck) &&
            (step.command != Command::WriteLock || lockRead)) {
            add(row.checkedBy == CheckedBy::BlankCheck ? _("kontrola prázdnoty") : _("čtení zpět"));
        }
        if (step.command == Command::WriteFlash && step.args.lockLevel > 0) {
            add(format(_("na konci lock bity úrovně {}"), std::to_string(step.args.lockLevel)));
        }
        lines.push_back(line + (details.empty() ? "" : ": " + details));
    }
    return lines;
}

}  // namespace trilo
