#include "cli/ConsoleSink.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>

#include "base/Printable.h"
#include "base/SystemReason.h"
#include "base/Text.h"

namespace trilo::cli {

namespace {

volatile std::sig_atomic_t interruptRequested = 0;
// Set from the signal handler, which only a lock-free atomic may be.
std::atomic<bool> stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void onInterrupt(int signal) {
    interruptRequested = signal;
    stopRequested.store(true);
}

constexpr int kBarWidth = 40;

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

}  // namespace

ReportLost::ReportLost(int e, const std::string& after)
    : error(e),
      text(format(_("standardní výstup nelze zapsat: {}"), systemReason(e)) +
           (after.empty() ? "" : "; ") + after) {}

void catchInterrupts() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    for (const int signal : kStopSignals) {
        struct sigaction was {};
        sigaction(signal, nullptr, &was);
        // nohup's promise stands: a run it started outlives its terminal.
        if (signal != SIGHUP || was.sa_handler != SIG_IGN) {
            sigaction(signal, &action, nullptr);
        }
    }
}

int interruptSignal() {
    return interruptRequested;
}

const std::atomic<bool>& stopRequest() {
    return stopRequested;
}

void checkInterrupt() {
    if (interruptRequested != 0) {
        throw Interrupted();
    }
}

ssize_t readInput(char* into, std::size_t size) {
    sigset_t stops;
    sigset_t before;
    sigemptyset(&stops);
    for (const int signal : kStopSignals) {
        sigaddset(&stops, signal);
    }
    // Blocked from the check until ppoll waits: one that comes in between ends that wait.
    pthread_sigmask(SIG_BLOCK, &stops, &before);
    if (interruptRequested == 0) {
        pollfd input{STDIN_FILENO, POLLIN, 0};
        ::ppoll(&input, 1, nullptr, &before);
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    for (;;) {
        checkInterrupt();
        const ssize_t got = ::read(STDIN_FILENO, into, size);
        if (got >= 0 || errno != EINTR) {
            return got;
        }
    }
}

void ConsoleSink::begin(const std::string& label) {
    label_ = label;
    shown_ = -1;
    held_.clear();
    checkInterrupt();
}

void ConsoleSink::end(bool succeeded, bool shown) {
    clearBar();
    if (!succeeded || shown || !quiet_) {
        for (const std::string& message : held_) {
            std::fprintf(succeeded ? messages_ : stderr, "%s\n", printable(message).c_str());
        }
    }
    held_.clear();
    if (succeeded) {
        written();
    } else {
        std::fflush(messages_);
    }
}

void ConsoleSink::result(const std::string& line) {
    clearBar();
    std::fprintf(messages_, "%s\n", printable(line).c_str());
    written();
}

void ConsoleSink::written() {
    if ((std::fflush(messages_) != 0 || std::ferror(messages_) != 0) && !lost_) {
        lost_ = true;
        throw ReportLost(errno != 0 ? errno : EIO, "");
    }
}

void ConsoleSink::error(const std::string& line) {
    clearBar();
    std::fprintf(stderr, "trilo-cli: %s\n", printable(line).c_str());
}

void ConsoleSink::verbose(const std::string& line) {
    clearBar();
    std::fprintf(stderr, "%s\n", printable(line).c_str());
}

void ConsoleSink::detailedInfo(const std::string& message, const std::string& detail) {
    held_.push_back(message);
    for (std::size_t from = 0; from <= detail.size();) {
        const std::size_t end = std::min(detail.find('\n', from), detail.size());
        held_.push_back(detail.substr(from, end - from));
        from = end + 1;
    }
}

void ConsoleSink::progress(int percent) {
    if (!bar_ || percent == shown_) {
        return;
    }
    shown_ = percent;
    const int filled = percent * kBarWidth / 100;
    std::fprintf(stderr, "\r%s [%s%s] %3d %%", padded(label_, 14).c_str(),
                 std::string(filled, '#').c_str(), std::string(kBarWidth - filled, ' ').c_str(),
                 percent);
    std::fflush(stderr);
    drawn_ = true;
}

bool ConsoleSink::ask(const std::string& question) {
    clearBar();
    std::fprintf(stderr, "%s %s\n", printable(question).c_str(), force_ ? _("Ano (-F)") : _("Ne"));
    if (!force_) {
        error(refusal_);
    }
    return force_;
}

void ConsoleSink::clearBar() {
    if (drawn_) {
        // Back to the start of the line and blank it, so messages start on a clean line.
        std::fputs("\r\033[K", stderr);
        drawn_ = false;
    }
}

}  // namespace trilo::cli
