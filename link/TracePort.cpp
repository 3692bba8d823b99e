#include "link/TracePort.h"

#include <cerrno>
#include <cstring>

#include "base/Hex.h"

namespace trilo {

namespace {

// The status line's words for the trace, in the window's language.
constexpr const char* kTracingTo = ", záznam do ";
constexpr const char* kTraceFile = "soubor záznamu ";
constexpr const char* kCannotOpen = "nelze otevřít";
// A trace that a failed write ended, before the system's reason.
constexpr const char* kTraceStopped = "záznam zastaven: ";

}  // namespace

TraceFile::TraceFile(std::string path) : path_(std::move(path)) {
    // "e": close-on-exec, like every other descriptor of the program.
    file_ = std::fopen(path_.c_str(), "ae");
    if (file_ == nullptr) {
        stop(kTraceFile + path_ + " " + kCannotOpen + ": " + std::strerror(errno));
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
        stop(kTraceStopped + std::string(std::strerror(errno)));
    }
}

void TraceFile::put(const char* line, std::size_t length) {
    if (file_ == nullptr) {
        return;
    }
    if (std::fwrite(line, 1, length, file_) != length) {
        stop(kTraceStopped + std::string(std::strerror(errno)));
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
        status.text += kTracingTo + trace_->path();
    } else {
        status.text += " (" + trace_->problem() + ")";
    }
    return status;
}

}  // namespace trilo
