#include "link/TracePort.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "base/Hex.h"
#include "base/SystemReason.h"
#include "base/Text.h"

namespace trilo {

namespace {

// What one write to the trace holds at most: whole lines within PIPE_BUF, so that a write to
// a pipe is as indivisible as one to a file opened for appending.
constexpr std::size_t kChunk = PIPE_BUF;

// Opens the trace for appending, refusing what a file name in the settings could turn
// against the user, root above all: a link, a device or FIFO, a file of someone else's.
// -1 when it is refused; why, in reason.
int openTrace(const std::string& path, std::string& reason) {
    if (path == kTraceToStandardError) {
        // A descriptor of its own, so closing the trace leaves standard error open.
        const int fd = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
        if (fd < 0) {
            reason = systemReason(errno);
        }
        return fd;
    }
    // Looked at before it is opened: opening a device or a FIFO has effects of its own.
    struct stat looked {};
    const bool existed = ::lstat(path.c_str(), &looked) == 0;
    if (existed && S_ISLNK(looked.st_mode)) {
        reason = _("je to symbolický odkaz");
        return -1;
    }
    if (existed && !S_ISREG(looked.st_mode)) {
        reason = _("není obyčejný soubor");
        return -1;
    }
    // Non-blocking, so a FIFO put in its place meanwhile cannot hold the open.
    const int fd = ::open(
        path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd < 0) {
        const int err = errno;
        reason = err == ELOOP ? _("je to symbolický odkaz") : systemReason(err);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        reason = systemReason(errno);
    } else if (!S_ISREG(st.st_mode)) {
        reason = _("není obyčejný soubor");
    } else if (existed && (st.st_dev != looked.st_dev || st.st_ino != looked.st_ino)) {
        reason = _("změnil se mezi prohlédnutím a otevřením");
    } else if (st.st_uid != ::geteuid()) {
        reason = _("patří jinému uživateli");
    } else {
        return fd;
    }
    ::close(fd);
    return -1;
}

}  // namespace

TraceFile::TraceFile(std::string path) : path_(std::move(path)) {
    std::string reason;
    fd_ = openTrace(path_, reason);
    if (fd_ < 0) {
        stop(format(_("záznam nelze otevřít: {0}: {1}"), path_, reason));
    }
    pending_.reserve(kChunk);
}

TraceFile::~TraceFile() {
    flush();
    if (fd_ >= 0) {
        ::close(fd_);
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
    std::size_t done = 0;
    while (fd_ >= 0 && done < pending_.size()) {
        const ssize_t put = ::write(fd_, pending_.data() + done, pending_.size() - done);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            stop(format(_("záznam zastaven: {}"), systemReason(put < 0 ? errno : ENOSPC)));
            return;
        }
        done += static_cast<std::size_t>(put);
    }
    pending_.clear();
}

void TraceFile::put(const char* line, std::size_t length) {
    if (fd_ < 0) {
        return;
    }
    if (pending_.size() + length > kChunk) {
        flush();
    }
    pending_.append(line, length);
}

void TraceFile::stop(const std::string& problem) {
    problem_ = problem;
    pending_.clear();
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

PortStatus TracePort::status(std::uint16_t base) const {
    PortStatus status = inner_->status(base);
    if (trace_->problem().empty()) {
        status.text = trace_->path() == kTraceToStandardError
                          ? format(_("{}, záznam na standardní chybový výstup"), status.text)
                          : format(_("{0}, záznam do {1}"), status.text, trace_->path());
    } else {
        status.text += " (" + trace_->problem() + ")";
    }
    return status;
}

}  // namespace trilo
