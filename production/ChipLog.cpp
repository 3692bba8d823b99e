#include "production/ChipLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <string_view>

#include "base/Errors.h"
#include "base/SystemReason.h"
#include "base/Text.h"
#include "commands/Report.h"
#include "production/RecordFile.h"

namespace trilo {

namespace {

std::string hex32(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
    return text;
}

std::uint64_t count(int n) {
    return static_cast<std::uint64_t>(n);
}

}  // namespace

std::string chipLine(const ChipResult& chip) {
    // Appended piece by piece: GCC 12 takes "#" + to_string(n) for an overlapping copy.
    std::string line = "#";
    line += std::to_string(chip.number);
    line += ' ';
    line += chip.passed ? _("OK") : _("CHYBA");
    line += ' ';
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
    return format(_("Hotovo: {0}, {1}, {2}"),
                  format(P_("{} čip", "{} čipy", count(chips)), std::to_string(chips)),
                  format(P_("{} dobrý", "{} dobré", count(good)), std::to_string(good)),
                  format(P_("{} vadný", "{} vadné", count(bad)), std::to_string(bad)));
}

std::string csvField(const std::string& text) {
    const bool formula =
        !text.empty() && std::string_view("=+-@").find(text[0]) != std::string::npos;
    if (!formula && text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = formula ? "\"'" : "\"";
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
        // The log's values are data, the same in every language, as its header is: a
        // spreadsheet's filter and the runs that share the file see one word for each result.
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

ChipLog::ChipLog(const std::string& path, const std::vector<std::string>& inputs) : path_(path) {
    const auto refused = [&](const std::string& why) {
        return TriloError(format(_("Protokol {}"), path) + ": " + why);
    };
    struct stat seen {};
    bool existed = false;
    for (;;) {
        // Looked at before it is opened: opening a FIFO would wait for its reader.
        existed = ::lstat(path.c_str(), &seen) == 0;
        if (existed && S_ISLNK(seen.st_mode)) {
            throw refused(_("je odkaz, do protokolu se přes odkaz nepíše"));
        }
        if (existed && !recordDistrust(seen).empty()) {
            throw refused(recordDistrust(seen));
        }
        fd_ = ::open(path.c_str(),
                     O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK |
                         (existed ? 0 : O_CREAT | O_EXCL),
                     0644);
        // Made by another run in between, or gone: looked at again.
        if (fd_ < 0 && (errno == (existed ? ENOENT : EEXIST))) {
            continue;
        }
        if (fd_ < 0) {
            throw refused(errno == ELOOP   ? _("je odkaz, do protokolu se přes odkaz nepíše")
                          : errno == ENXIO ? _("není obyčejný soubor")
                                           : systemReason(errno));
        }
        break;
    }
    struct stat st {};
    std::string why;
    if (::fstat(fd_, &st) != 0) {
        why = systemReason(errno);
    } else if (S_ISREG(seen.st_mode) && (seen.st_dev != st.st_dev || seen.st_ino != st.st_ino)) {
        why = _("změnil se mezi prohlédnutím a otevřením");
    } else {
        why = recordDistrust(st);
    }
    for (const std::string& input : inputs) {
        struct stat other {};
        if (why.empty() && !input.empty() && ::stat(input.c_str(), &other) == 0 &&
            other.st_dev == st.st_dev && other.st_ino == st.st_ino) {
            why = _("je to soubor, ze kterého úloha čte; protokol musí být jiný soubor");
        }
    }
    if (!why.empty()) {
        ::close(fd_);
        fd_ = -1;
        // Made just now and empty: left behind, it would stand in the refused file's place.
        if (!existed) {
            ::unlink(path.c_str());
        }
        throw refused(why);
    }
    try {
        write(csvHeader(), true);
    } catch (...) {
        ::close(fd_);
        fd_ = -1;
        throw;
    }
}

ChipLog::~ChipLog() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void ChipLog::append(const std::string& row) {
    write(row, false);
}

void ChipLog::write(const std::string& row, bool header) {
    const std::string name = format(_("Protokol {}"), path_);
    const RecordLock lock(fd_, name);
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        throw TriloError(format(_("{0} nelze zapsat: {1}"), name, systemReason(errno)));
    }
    if (header && st.st_size != 0) {
        return;
    }
    std::size_t put = 0;
    int failed = 0;
    while (put < row.size() && failed == 0) {
        const ssize_t written = ::write(fd_, row.data() + put, row.size() - put);
        if (written > 0) {
            put += static_cast<std::size_t>(written);
        } else if (written == 0 || errno != EINTR) {
            failed = written == 0 ? ENOSPC : errno;
        }
    }
    if (failed == 0 && ::fsync(fd_) != 0) {
        failed = errno;
    }
    // A torn line would take the next run's line into its own.
    if (failed != 0) {
        if (::ftruncate(fd_, st.st_size) == 0) {
            ::fsync(fd_);
        }
        throw TriloError(format(_("{0} nelze zapsat: {1}"), name, systemReason(failed)));
    }
}

}  // namespace trilo
