#include "production/JobFile.h"

#include <strings.h>

#include <filesystem>
#include <map>

#include "devices/DeviceNames.h"
#include "files/BufferDir.h"
#include "files/FileMove.h"
#include "ops/FamilyTable.h"
#include "settings/Settings.h"

namespace trilo {

namespace {

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
constexpr const char* kKeys[] = {
    kDevice, kFlash,      kEeprom,         kErase, kVerify, kVerifyByRead,   kLockLevel,
    kFuses,  kSerialFuse, kCheckSignature, kLog,   kSerial, kSerialUseFailed};

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

std::string named(const std::string& value) {
    return "„" + value + "“";
}

}  // namespace

std::optional<JobRefusal> jobRefusal(const JobSpec& job) {
    const DeviceInfo& device = *job.device;
    const Offers offered = offers(device);
    const std::string name = device.name;
    if (!job.eepromFile.empty() && !offered.eeprom) {
        return JobRefusal{kEeprom, name + " nemá EEPROM"};
    }
    if (job.lockLevel < 0 || job.lockLevel > device.lockLevels) {
        return JobRefusal{kLockLevel, name + " má lock bity úrovně 1 až " +
                                          std::to_string(device.lockLevels) + ", ne " +
                                          std::to_string(job.lockLevel)};
    }
    if (job.fuses) {
        if (!offered.fuses) {
            return JobRefusal{kFuses, name + " nemá fuse bity"};
        }
        std::string unknown;
        if (!fuseByteNamed(device, *job.fuses, unknown)) {
            return JobRefusal{
                kFuses, name + " nemá fuse bit " + named(unknown) + "; má " + fuseNames(device)};
        }
    }
    if (job.serialFuseOn && !offered.serialFuse) {
        return JobRefusal{kSerialFuse, name + " nemá pojistku sériového programování"};
    }
    if (job.serial) {
        const bool eeprom = job.serial->memory == SerialMemory::Eeprom;
        if (eeprom && !offered.eeprom) {
            return JobRefusal{kSerial, name + " nemá EEPROM"};
        }
        const std::int64_t size = eeprom ? device.eepromSize : device.flashSize;
        if (job.serial->address + job.serial->bytes > size) {
            return JobRefusal{kSerial, "číslo na adrese " + std::to_string(job.serial->address) +
                                           " přesahuje " + (eeprom ? "EEPROM" : "FLASH") + " (" +
                                           std::to_string(size) + " B)"};
        }
        if (!encodeSerial(*job.serial, job.serial->start)) {
            return JobRefusal{kSerial, serialMisfit(*job.serial, job.serial->start)};
        }
    }
    for (const auto& [key, file] :
         {std::pair{kFlash, &job.flashFile}, std::pair{kEeprom, &job.eepromFile}}) {
        if (!file->empty() && !fileExists(*file)) {
            return JobRefusal{key, "soubor " + named(*file) + " neexistuje"};
        }
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
    if (!fileExists(path)) {
        throw refused(0, "soubor úlohy neexistuje");
    }
    SettingsFile file(path);
    try {
        file.load();
    } catch (const SettingsReadError& error) {
        throw refused(0, error.czechReason());
    }
    if (!file.trusted()) {
        throw refused(0, "patří jinému uživateli nebo je zapisovatelný pro všechny");
    }
    JobSpec job;
    std::map<std::string, std::size_t> lines;  // the known key's line
    for (const SettingsFile::Entry& entry : file.entries()) {
        if (entry.kind == SettingsFile::Entry::Other) {
            throw refused(entry.line, "řádek " + named(entry.value) + " není klíč=hodnota");
        }
        if (!same(entry.section, kSection)) {
            throw refused(entry.line, entry.section.empty()
                                          ? std::string("klíč před sekcí [JOB]")
                                          : "neznámá sekce " + named(entry.section));
        }
        if (entry.kind == SettingsFile::Entry::Section) {
            continue;
        }
        const char* key = knownKey(entry.key);
        if (key == nullptr) {
            throw refused(entry.line, "neznámý klíč " + named(entry.key));
        }
        if (lines.contains(key)) {
            throw refused(entry.line,
                          "klíč " + named(key) + " je už na řádku " + std::to_string(lines[key]));
        }
        lines[key] = entry.line;
        const std::string& value = entry.value;
        const auto bad = [&](const std::string& why) {
            return refused(entry.line, key + std::string(": ") + why);
        };
        const auto boolean = [&](bool& to) {
            const auto on = flag(value);
            if (!on) {
                throw bad("hodnota " + named(value) + " není 1 ani 0");
            }
            to = *on;
        };
        if (key == kDevice) {
            job.device = deviceFromTypedName(value);
            if (job.device == nullptr) {
                throw bad("neznámý čip " + named(value));
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
        } else if (key == kLockLevel) {
            if (value.size() != 1 || value[0] < '0' || value[0] > '3') {
                throw bad("úroveň lock bitů je 0 až 3, ne " + named(value));
            }
            job.lockLevel = value[0] - '0';
        } else if (key == kFuses) {
            if (!value.empty()) {
                job.fuses = value;
            }
        } else if (key == kSerialFuse) {
            if (same(value, "on") || same(value, "off")) {
                job.serialFuseOn = same(value, "on");
            } else if (!value.empty()) {
                throw bad("chce on nebo off, ne " + named(value));
            }
        } else if (key == kLog) {
            job.logFile = resolved(path, value);
        } else if (key == kSerial && !value.empty()) {
            auto rule = parseSerialRule(value);
            if (const auto* why = std::get_if<std::string>(&rule)) {
                throw bad(*why);
            }
            job.serial = std::get<SerialRule>(rule);
        }
    }
    if (job.device == nullptr) {
        throw refused(0, "chybí klíč Device (čip)");
    }
    if (const auto refusal = jobRefusal(job)) {
        throw refused(lines[refusal->key], refusal->key + std::string(": ") + refusal->reason);
    }
    return job;
}

void writeJobFile(const std::string& path, const JobSpec& job) {
    SettingsFile file(path);
    try {
        file.load();
    } catch (const SettingsReadError& error) {
        throw JobFileError(path + ": " + error.czechReason());
    }
    const auto bit = [](bool on) { return on ? "1" : "0"; };
    file.set(kSection, kDevice, job.device != nullptr ? job.device->name : "");
    file.set(kSection, kFlash, relativeName(path, job.flashFile));
    file.set(kSection, kEeprom, relativeName(path, job.eepromFile));
    file.set(kSection, kErase, bit(job.erase));
    file.set(kSection, kVerify, bit(job.verify));
    file.set(kSection, kVerifyByRead, bit(job.verifyByRead));
    file.set(kSection, kLockLevel, std::to_string(job.lockLevel));
    file.set(kSection, kFuses, job.fuses.value_or(""));
    file.set(kSection, kSerialFuse, job.serialFuseOn ? (*job.serialFuseOn ? "on" : "off") : "");
    file.set(kSection, kCheckSignature, bit(job.checkSignature));
    file.set(kSection, kLog, relativeName(path, job.logFile));
    file.set(kSection, kSerial, job.serial ? serialRuleText(*job.serial) : "");
    file.set(kSection, kSerialUseFailed, bit(job.serialUseFailed));
    file.save();
}

}  // namespace trilo
