#include "production/ChipLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "base/Errors.h"
#include "base/SystemReason.h"
#include "commands/Report.h"

namespace trilo {

namespace {

std::string hex32(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
    return text;
}

// Czech counts take one form for 1, another for 2 to 4, a third for the rest.
std::string counted(int n, const char* one, const char* few, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : n >= 2 && n <= 4 ? few : many);
}

}  // namespace

std::string chipLine(const ChipResult& chip) {
    // Appended piece by piece: GCC 12 takes "#" + to_string(n) for an overlapping copy.
    std::string line = "#";
    line += std::to_string(chip.number);
    line += chip.passed ? " OK " : " CHYBA ";
    line += chip.device;
    if (!chip.signature.empty()) {
        line += ' ';
        line += chip.signature;
    }
    if (!chip.passed) {
        line += ", " + chip.failedStep + (chip.message.empty() ? "" : ": " + chip.message);
        if (chip.difference) {
            line += ", " + chip.difference->text();
        }
    }
    if (chip.passed && chip.crc32) {
        line += ", CRC-32 " + hex32(*chip.crc32);
    }
    line += ", " + seconds(chip.durationUs);
    if (chip.serial) {
        line += ", SN " + std::to_string(*chip.serial);
    }
    return line;
}

std::string countsLine(int chips, int good, int bad) {
    return "Hotovo: " + counted(chips, "čip", "čipy", "čipů") + ", " +
           counted(good, "dobrý", "dobré", "dobrých") + ", " +
           counted(bad, "vadný", "vadné", "vadných");
}

std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

std::string csvHeader() {
    return "time,job,device,signature,result,step,message,first_difference,crc32,serial,duration_"
           "s\n";
}

std::string csvRow(const ChipResult& chip, const std::string& job) {
    char duration[32];
    std::snprintf(duration, sizeof duration, "%lld.%03lld",
                  static_cast<long long>(chip.durationUs / 1000000),
                  static_cast<long long>(chip.durationUs / 1000 % 1000));
    const std::string fields[] = {
        chip.time,
        job,
        chip.device,
        chip.signature,
        chip.passed ? "OK" : "CHYBA",
        chip.failedStep,
        chip.message,
        chip.difference ? chip.difference->text() : "",
        chip.crc32 ? hex32(*chip.crc32) : "",
        chip.serial ? std::to_string(*chip.serial) : "",
        duration,
    };
    std::string row;
    for (const std::string& field : fields) {
        if (!row.empty()) {
            row += ',';
        }
        row += csvField(field);
    }
    return row + "\n";
}

std::string isoTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local);
    // ISO 8601 puts a colon in the offset: +0200 is +02:00.
    std::string iso = text;
    if (iso.size() >= 5) {
        iso.insert(iso.size() - 2, 1, ':');
    }
    return iso;
}

ChipLog::ChipLog(const std::string& path) : path_(path) {
    const auto refused = [&](const std::string& why) {
        return TriloError("Protokol " + path + ": " + why);
    };
    fd_ = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY,
                 0644);
    if (fd_ < 0) {
        throw refused(errno == ELOOP ? "je odkaz, do protokolu se přes odkaz nepíše"
                                     : systemReason(errno));
    }
    struct stat st {};
    std::string why;
    if (::fstat(fd_, &st) != 0) {
        why = systemReason(errno);
    } else if (!S_ISREG(st.st_mode)) {
        why = "není obyčejný soubor";
    } else if (st.st_uid != ::geteuid()) {
        why = "patří jinému uživateli";
    }
    if (why.empty() && st.st_size == 0) {
        try {
            append(csvHeader());
        } catch (const TriloError& error) {
            why = error.what();
        }
    }
    if (!why.empty()) {
        ::close(fd_);
        fd_ = -1;
        throw refused(why);
    }
}

ChipLog::~ChipLog() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void ChipLog::append(const std::string& row) {
    // One write, so a line never mixes with another writer's; a short one means a full disk.
    const ssize_t written = ::write(fd_, row.data(), row.size());
    if (written != static_cast<ssize_t>(row.size())) {
        throw TriloError("Protokol " + path_ +
                         " nelze zapsat: " + systemReason(written < 0 ? errno : ENOSPC));
    }
    if (::fsync(fd_) != 0) {
        throw TriloError("Protokol " + path_ + " nelze zapsat: " + systemReason(errno));
    }
}

}  // namespace trilo
