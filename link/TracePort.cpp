#include "link/TracePort.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/Hex.h"
#include "base/SystemReason.h"

namespace trilo {

namespace {

// The status line's words for the trace, in the window's language.
constexpr const char* kTracingTo = ", záznam do ";
// A trace that could not start, before the file's name and the reason.
constexpr const char* kCannotOpen = "záznam nelze otevřít: ";
// A trace that a failed write ended, before the system's reason.
constexpr const char* kTraceStopped = "záznam zastaven: ";

// Opens the trace for appending, refusing what a file name in the settings could turn
// against the user, root above all: a link, a device or FIFO, a file of someone else's.
// Nothing when it is refused; why, in reason.
std::FILE* openTrace(const std::string& path, std::string& reason) {
    if (path == kTraceToStandardError) {
        // A descriptor of its own, so closing the trace leaves standard error open.
        const int fd = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
        std::FILE* file = fd < 0 ? nullptr : ::fdopen(fd, "a");
        if (file == nullptr) {
            reason = systemReason(errno);
            if (fd >= 0) {
                ::close(fd);
            }
        }
        return file;
    }
    // Non-blocking, so a FIFO without a reader is refused rather than waited on.
    const int fd = ::open(
        path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd < 0) {
        const int err = errno;
        struct stat st {};
        reason = err == ELOOP && ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)
                     ? "je to symbolický odkaz"
                     : systemReason(err);
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        reason = systemReason(errno);
    } else if (!S_ISREG(st.st_mode)) {
        reason = "není obyčejný soubor";
    } else if (st.st_uid != ::geteuid()) {
        reason = "patří jinému uživateli";
    } else if (std::FILE* file = ::fdopen(fd, "a"); file != nullptr) {
        return file;
    } else {
        reason = systemReason(errno);
    }
    ::close(fd);
    return nullptr;
}

}  // namespace

TraceFile::TraceFile(std::string path) : path_(std::move(path)) {
    std::string reason;
    file_ = openTrace(path_, reason);
    if (file_ == nullptr) {
        stop(kCannotOpen + path_ + ": " + reason);
    }
}

TraceFile::~TraceFile() {
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

void TraceFile::access(char kind, std::uint16_t port, std::uint8_t value) {
    // Formatted by hand: a latch load is 26 lines, and printf would dominate its cost.
    const char line[] = {kind,
                         ' ',
                         kHexDigits[(port >> 12) & 0xF],
                         kHexDigits[(port >> 8) & 0xF],
                         kHexDigits[(port >> 4) & 0xF],
                         kHexDigits[port & 0xF],
                         ' ',
                         kHexDigits[value >> 4],
                         kHexDigits[value & 0xF],
                         '\n'};
    put(line, sizeof line);
}

void TraceFile::wait(int ms) {
    const std::string line = "S " + std::to_string(ms) + "\n";
    put(line.data(), line.size());
    flush();
}

void TraceFile::flush() {
    if (file_ != nullptr && std::fflush(file_) != 0) {
        stop(kTraceStopped + systemReason(errno));
    }
}

void TraceFile::put(const char* line, std::size_t length) {
    if (file_ == nullptr) {
        return;
    }
    if (std::fwrite(line, 1, length, file_) != length) {
        stop(kTraceStopped + systemReason(errno));
    }
}

void TraceFile::stop(const std::string& problem) {
    problem_ = problem;
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
}

PortStatus TracePort::status(std::uint16_t base) const {
    PortStatus status = inner_->status(base);
    if (trace_->problem().empty()) {
        status.text += trace_->path() == kTraceToStandardError
                           ? std::string(", záznam na standardní chybový výstup")
                           : kTracingTo + trace_->path();
    } else {
        status.text += " (" + trace_->problem() + ")";
    }
    return status;
}

}  // namespace trilo
