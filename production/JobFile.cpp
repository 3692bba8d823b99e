#include "production/JobFile.h"

#include "commands/Plan.h"

#include <strings.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <string_view>
#include <vector>

#include "base/SystemReason.h"
#include "base/Text.h"
#include "devices/DeviceNames.h"
#include "files/BufferDir.h"
#include "files/FileMove.h"
#include "ops/FamilyTable.h"
#include "settings/Settings.h"

namespace trilo {

namespace {

Asked write(Command command, const std::string& file, const char* key) {
    Asked a{command, {}, key};
    a.args.file = file;
    return a;
}

namespace fs = std::filesystem;

constexpr const char* kSection = "JOB";

// The keys, in the order a new file is written.
constexpr const char* kDevice = "Device";
constexpr const char* kFlash = "Flash";
constexpr const char* kEeprom = "Eeprom";
constexpr const char* kErase = "Erase";
constexpr const char* kVerify = "Verify";
constexpr const char* kVerifyByRead = "VerifyByRead";
constexpr const char* kLockLevel = "LockLevel";
constexpr const char* kFuses = "Fuses";
constexpr const char* kSerialFuse = "SerialFuse";
constexpr const char* kCheckSignature = "CheckSignature";
constexpr const char* kLog = "Log";
constexpr const char* kSerial = "Serial";
constexpr const char* kSerialUseFailed = "SerialUseFailed";
constexpr const char* kSerialOverImage = "SerialOverImage";
constexpr const char* kKeys[] = {
    kDevice, kFlash,      kEeprom,         kErase, kVerify, kVerifyByRead,    kLockLevel,
    kFuses,  kSerialFuse, kCheckSignature, kLog,   kSerial, kSerialUseFailed, kSerialOverImage};

bool same(const std::string& a, const char* b) {
    return ::strcasecmp(a.c_str(), b) == 0;
}

const char* knownKey(const std::string& key) {
    for (const char* known : kKeys) {
        if (same(key, known)) {
            return known;
        }
    }
    return nullptr;
}

// A name in the job as the program opens it: relative to the job file's directory.
std::string resolved(const std::string& jobPath, const std::string& name) {
    if (name.empty() || name.front() == '/') {
        return name;
    }
    return joinPath(directoryOf(jobPath), name);
}

// The other way: the name relative to the job's directory, when both can be made absolute.
std::string relativeName(const std::string& jobPath, const std::string& path) {
    if (path.empty()) {
        return path;
    }
    std::error_code error;
    const fs::path base = fs::absolute(directoryOf(jobPath), error).lexically_normal();
    const fs::path file = fs::absolute(path, error).lexically_normal();
    if (error) {
        return path;
    }
    const fs::path relative = file.lexically_relative(base);
    return relative.empty() ? path : relative.string();
}

std::optional<bool> flag(const std::string& value) {
    if (value == "1") {
        return true;
    }
    if (value == "0") {
        return false;
    }
    return std::nullopt;
}

bool blank(char c) {
    return c == ' ' || c == '\t';
}

// Where a key line's value lies: after its '=', up to a ';' or '#' that follows a blank (a
// comment, as the example job in the user's guide has them), without the blanks around it.
// programmer.ini keeps such text in its values, as the profile functions read them; a job
// file is the user's own to annotate.
struct ValueSpan {
    std::size_t begin;
    std::size_t end;
    std::size_t comment;  // the line's size when it has none
};

ValueSpan valueSpan(std::string_view line) {
    const std::size_t equals = line.find('=');
    std::size_t comment = equals + 1;
    while (comment < line.size() &&
           !((line[comment] == ';' || line[comment] == '#') && blank(line[comment - 1]))) {
        ++comment;
    }
    std::size_t begin = equals + 1;
    while (begin < comment && blank(line[begin])) {
        ++begin;
    }
    std::size_t end = comment;
    while (end > begin && blank(line[end - 1])) {
        --end;
    }
    return {begin, end, comment};
}

// The file's lines as the settings reader numbers them: its entries drop what follows a value.
std::vector<std::string> rawLines(const SettingsFile& file) {
    const std::string whole = file.text();
    std::string_view text = whole;
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    std::vector<std::string> lines;
    while (!text.empty()) {
        const std::size_t newline = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, newline);
        if (line.ends_with('\r') && newline < text.size()) {
            line.remove_suffix(1);
        }
        lines.emplace_back(line);
        text.remove_prefix(std::min(newline + 1, text.size()));
    }
    return lines;
}

// A name the reader would take for another: cut at a comment, without its outer blanks, or
// broken over lines.
bool readsBack(const std::string& name) {
    const ValueSpan span = valueSpan("=" + name);
    return name.find_first_of(std::string_view("\n\r\0", 3)) == std::string::npos &&
           span.begin == 1 && span.end == name.size() + 1;
}

// The key's new value with the comment its line has now, so that a save keeps it.
std::string withComment(const SettingsFile& file, const std::vector<std::string>& raw,
                        const char* key, const std::string& value) {
    for (const SettingsFile::Entry& entry : file.entries()) {
        if (entry.kind != SettingsFile::Entry::Key || !same(entry.section, kSection) ||
            !same(entry.key, key)) {
            continue;
        }
        // The line keeps its text up to the old value's start: what follows the old value
        // (the blanks, the comment) follows the new one.
        const std::string& line = raw[entry.line - 1];
        const ValueSpan span = valueSpan(line);
        if (span.comment == line.size()) {
            return value;
        }
        if (span.begin < span.end) {
            return value + line.substr(span.end);
        }
        return (value.empty() ? "" : value + " ") + line.substr(span.comment);
    }
    return value;
}

}  // namespace

PlanRequest planRequest(const JobSpec& job, bool optionNames) {
    const auto name = [&](const char* key, const char* option) {
        return optionNames ? option : key;
    };
    PlanRequest r;
    r.device = job.device;
    const bool serialFlash = job.serial && job.serial->memory == SerialMemory::Flash;
    const bool serialEeprom = job.serial && job.serial->memory == SerialMemory::Eeprom;
    // A write for the serial number alone is the number's.
    const char* serialKey = name("Serial", "--serial");
    if (!job.eepromFile.empty() || serialEeprom) {
        r.asked.push_back(
            write(Command::WriteEeprom, job.eepromFile,
                  job.eepromFile.empty() ? serialKey : name("Eeprom", "--write-eeprom")));
    }
    if (!job.flashFile.empty() || serialFlash) {
        r.asked.push_back(write(Command::WriteFlash, job.flashFile,
                                job.flashFile.empty() ? serialKey : name("Flash", "--write")));
    }
    if (job.fuses) {
        r.asked.push_back(write(Command::WriteFuses, "", name("Fuses", "--write-fuses")));
        r.asked.back().args.fuses = jobFuseByte(job);
    }
    if (job.serialFuseOn) {
        r.asked.push_back(
            write(Command::WriteSerialFuse, "", name("SerialFuse", "--write-serial-fuse")));
        r.asked.back().args.serialFuseOff = !*job.serialFuseOn;
    }
    r.autoErase = job.erase;
    r.lockLevel = job.lockLevel;
    r.lockOrigin = name("LockLevel", "--lock");
    r.verifyAfterWrite = job.verifyByRead;
    r.verifyOrigin = name("VerifyByRead", "--verify-by-read");
    r.checks = {job.verify, job.verify, job.verifyByRead, job.checkSignature};
    if (job.serial) {
        r.serial = SerialField{serialEeprom, job.serial->address, job.serial->bytes,
                               job.serialOverImage, serialKey};
    }
    return r;
}

std::optional<JobRefusal> jobRefusal(const JobSpec& job, bool optionNames) {
    const DeviceInfo& device = *job.device;
    std::string unknown;
    if (job.fuses && offers(device).fuses && !fuseByteNamed(device, *job.fuses, unknown)) {
        return JobRefusal{
            optionNames ? "--write-fuses" : kFuses,
            format(_("{0} nemá fuse bit „{1}“; má {2}"), device.name, unknown, fuseNames(device))};
    }
    // What the device cannot take, the job against itself and its files, as every run sees it.
    const auto made = makePlan(planRequest(job, optionNames));
    if (const auto* refusal = std::get_if<PlanRefusal>(&made)) {
        return JobRefusal{refusal->origin, refusal->reason};
    }
    const Plan& plan = std::get<Plan>(made);
    for (const PlanStep& step : plan.steps) {
        if (const auto refusal = checkInput(plan, step)) {
            const bool file = refusal->kind == PlanRefusal::Kind::File;
            std::string why = refusal->message.empty() ? refusal->reason : refusal->message;
            while (!why.empty() && (why.back() == ' ' || why.back() == '!')) {
                why.pop_back();
            }
            return JobRefusal{file ? step.origin : refusal->origin, why, file};
        }
    }
    if (job.serial && !encodeSerial(*job.serial, job.serial->start)) {
        return JobRefusal{kSerial, serialMisfit(*job.serial, job.serial->start)};
    }
    return std::nullopt;
}

std::uint8_t jobFuseByte(const JobSpec& job) {
    std::string unknown;
    return job.fuses ? fuseByteNamed(*job.device, *job.fuses, unknown).value_or(0xFF) : 0xFF;
}

JobSpec readJobFile(const std::string& path) {
    const auto refused = [&](std::size_t line, const std::string& why) {
        return JobFileError(path + (line > 0 ? ":" + std::to_string(line) : "") + ": " + why);
    };
    // A directory or a device in its place is the reader's to name.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 && errno == ENOENT) {
        throw refused(0, _("soubor úlohy neexistuje"));
    }
    SettingsFile file(path);
    try {
        file.load();
    } catch (const SettingsReadError& error) {
        throw refused(0, error.czechReason());
    }
    if (!file.trusted()) {
        throw refused(0, _("patří jinému uživateli nebo je zapisovatelný pro všechny"));
    }
    const std::vector<std::string> raw = rawLines(file);
    JobSpec job;
    std::map<std::string, std::size_t> lines;  // the known key's line
    for (const SettingsFile::Entry& entry : file.entries()) {
        // A C string would end there: the rest would be dropped without a word.
        if (raw[entry.line - 1].find('\0') != std::string::npos) {
            throw refused(entry.line, _("řádek obsahuje nulový bajt"));
        }
        if (entry.kind == SettingsFile::Entry::Other) {
            throw refused(entry.line, format(_("řádek „{}“ není klíč=hodnota"), entry.value));
        }
        if (!same(entry.section, kSection)) {
            throw refused(entry.line, entry.section.empty()
                                          ? std::string(_("klíč před sekcí [JOB]"))
                                          : format(_("neznámá sekce „{}“"), entry.section));
        }
        if (entry.kind == SettingsFile::Entry::Section) {
            continue;
        }
        const char* key = knownKey(entry.key);
        if (key == nullptr) {
            throw refused(entry.line, format(_("neznámý klíč „{}“"), entry.key));
        }
        if (lines.contains(key)) {
            throw refused(entry.line, format(_("klíč „{0}“ je už na řádku {1}"), key,
                                             std::to_string(lines[key])));
        }
        lines[key] = entry.line;
        const std::string& line = raw[entry.line - 1];
        const ValueSpan span = valueSpan(line);
        const std::string value = line.substr(span.begin, span.end - span.begin);
        const auto bad = [&](const std::string& why) {
            return refused(entry.line, key + std::string(": ") + why);
        };
        const auto boolean = [&](bool& to) {
            const auto on = flag(value);
            if (!on) {
                throw bad(format(_("hodnota „{}“ není 1 ani 0"), value));
            }
            to = *on;
        };
        if (key == kDevice && value.empty()) {
            throw bad(_("není zvolen čip"));
        }
        // Empty means none: no file, no fuse write, no serial number, a switch at its default.
        if (value.empty()) {
            continue;
        }
        if (key == kDevice) {
            job.device = deviceFromTypedName(value);
            if (job.device == nullptr) {
                throw bad(format(_("neznámý čip „{}“"), value));
            }
        } else if (key == kFlash) {
            job.flashFile = resolved(path, value);
        } else if (key == kEeprom) {
            job.eepromFile = resolved(path, value);
        } else if (key == kErase) {
            boolean(job.erase);
        } else if (key == kVerify) {
            boolean(job.verify);
        } else if (key == kVerifyByRead) {
            boolean(job.verifyByRead);
        } else if (key == kCheckSignature) {
            boolean(job.checkSignature);
        } else if (key == kSerialUseFailed) {
            boolean(job.serialUseFailed);
        } else if (key == kSerialOverImage) {
            boolean(job.serialOverImage);
        } else if (key == kLockLevel) {
            if (value.size() != 1 || value[0] < '0' || value[0] > '3') {
                throw bad(format(_("úroveň lock bitů je 0 až 3, ne „{}“"), value));
            }
            job.lockLevel = value[0] - '0';
        } else if (key == kFuses) {
            job.fuses = value;
        } else if (key == kSerialFuse) {
            if (!same(value, "on") && !same(value, "off")) {
                throw bad(format(_("chce on nebo off, ne „{}“"), value));
            }
            job.serialFuseOn = same(value, "on");
        } else if (key == kLog) {
            job.logFile = resolved(path, value);
        } else if (key == kSerial) {
            auto rule = parseSerialRule(value);
            if (const auto* why = std::get_if<std::string>(&rule)) {
                throw bad(*why);
            }
            job.serial = std::get<SerialRule>(rule);
        }
    }
    if (job.device == nullptr) {
        throw refused(0, _("chybí klíč Device (čip)"));
    }
    if (const auto refusal = jobRefusal(job)) {
        throw refused(lines[refusal->key], refusal->key + std::string(": ") + refusal->reason);
    }
    return job;
}

void writeJobFile(const std::string& path, const JobSpec& job) {
    const auto bit = [](bool on) { return on ? "1" : "0"; };
    const std::pair<const char*, std::string> values[] = {
        {kDevice, job.device != nullptr ? job.device->name : ""},
        {kFlash, relativeName(path, job.flashFile)},
        {kEeprom, relativeName(path, job.eepromFile)},
        {kErase, bit(job.erase)},
        {kVerify, bit(job.verify)},
        {kVerifyByRead, bit(job.verifyByRead)},
        {kLockLevel, std::to_string(job.lockLevel)},
        {kFuses, job.fuses.value_or("")},
        {kSerialFuse, job.serialFuseOn ? (*job.serialFuseOn ? "on" : "off") : ""},
        {kCheckSignature, bit(job.checkSignature)},
        {kLog, relativeName(path, job.logFile)},
        {kSerial, job.serial ? serialRuleText(*job.serial) : ""},
        {kSerialUseFailed, bit(job.serialUseFailed)},
        {kSerialOverImage, bit(job.serialOverImage)},
    };
    // Refused before the file is touched: read back, the job would name another file.
    for (const auto& [key, value] : values) {
        if (!readsBack(value)) {
            throw JobFileError(path + ": " + key + ": " +
                               format(_("název „{}“ nelze v úloze uvést (mezera před ; nebo #, "
                                        "mezera na kraji nebo konec řádku)"),
                                      value));
        }
    }
    SettingsFile file(path);
    try {
        file.load();
    } catch (const SettingsReadError& error) {
        throw JobFileError(path + ": " + error.czechReason());
    }
    // Each line as it is before the first set: a key set anew adds a line.
    const std::vector<std::string> raw = rawLines(file);
    std::vector<std::string> texts;
    for (const auto& [key, value] : values) {
        texts.push_back(withComment(file, raw, key, value));
    }
    for (std::size_t i = 0; i < texts.size(); ++i) {
        file.set(kSection, values[i].first, texts[i]);
    }
    file.save();
}

}  // namespace trilo
