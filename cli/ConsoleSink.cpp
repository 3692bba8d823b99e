#include "cli/ConsoleSink.h"

#include <algorithm>
#include <csignal>

#include "base/Printable.h"

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

}  // namespace

void catchInterrupts() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
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
    std::fflush(messages_);
}

void ConsoleSink::result(const std::string& line) {
    clearBar();
    std::fprintf(messages_, "%s\n", printable(line).c_str());
    std::fflush(messages_);
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
    std::fprintf(stderr, "\r%-14s [%s%s] %3d %%", label_.c_str(), std::string(filled, '#').c_str(),
                 std::string(kBarWidth - filled, ' ').c_str(), percent);
    std::fflush(stderr);
    drawn_ = true;
}

bool ConsoleSink::ask(const std::string& question) {
    clearBar();
    std::fprintf(stderr, "%s %s\n", printable(question).c_str(), force_ ? "Ano (-F)" : "Ne");
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
