#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/Clock.h"
#include "link/PortLayer.h"

namespace trilo {

// The trace name that writes to standard error instead of a file (trilo-cli -v -v).
inline constexpr const char* kTraceToStandardError = "-";

// The trace file: one line per port access or wait, appended.
//   W 037A 0B   a write: address as four upper-case hex digits, value as two
//   R 0379 08   a read, with the value read
//   S 10        a wait, milliseconds in decimal
// Lines are buffered and flushed at every wait and whenever the link releases the target, so
// a trace costs little on the fast latch loads and is on disk whenever the program sleeps
// and at the end of every operation. Every write to the file holds whole lines only, and at
// most a pipe's atomic size: with O_APPEND, two runs tracing into one file (or one pipe)
// interleave their lines, never tear them. A write that fails stops the trace.
class TraceFile {
public:
    explicit TraceFile(std::string path);
    ~TraceFile();
    TraceFile(const TraceFile&) = delete;
    TraceFile& operator=(const TraceFile&) = delete;

    void write(std::uint16_t port, std::uint8_t value) { access('W', port, value); }
    void read(std::uint16_t port, std::uint8_t value) { access('R', port, value); }
    void wait(int ms);
    void flush();

    const std::string& path() const { return path_; }
    // Nothing when the trace is being written; otherwise why not, for the status line.
    const std::string& problem() const { return problem_; }

private:
    void access(char kind, std::uint16_t port, std::uint8_t value);
    void put(const char* line, std::size_t length);
    void stop(const std::string& problem);

    std::string path_;
    int fd_ = -1;
    std::string pending_;  // whole lines not yet written
    std::string problem_;
};

// A port layer that writes every access to the trace and passes it on unchanged. A trace
// file that cannot be written never stops the program: the status line says so instead.
class TracePort final : public PortLayer {
public:
    TracePort(std::unique_ptr<PortLayer> inner, std::shared_ptr<TraceFile> trace)
        : inner_(std::move(inner)), trace_(std::move(trace)) {}

    void ignite() override { inner_->ignite(); }
    void out(std::uint16_t port, std::uint8_t value) override {
        trace_->write(port, value);
        inner_->out(port, value);
    }
    std::uint8_t in(std::uint16_t port) override {
        const std::uint8_t value = inner_->in(port);
        trace_->read(port, value);
        return value;
    }
    void flush() override {
        trace_->flush();
        inner_->flush();
    }
    PortStatus status(std::uint16_t base) const override;
    std::optional<unsigned> modes(std::uint16_t base) const override { return inner_->modes(base); }

    PortLayer& inner() const { return *inner_; }

private:
    std::unique_ptr<PortLayer> inner_;
    std::shared_ptr<TraceFile> trace_;
};

// The clock of the link's waits, writing each wait to the trace before it sleeps.
class TraceClock final : public Clock {
public:
    TraceClock(Clock& inner, std::shared_ptr<TraceFile> trace)
        : inner_(inner), trace_(std::move(trace)) {}

    void sleep(int ms) override {
        trace_->wait(ms);
        inner_.sleep(ms);
    }
    std::int64_t nowUs() const override { return inner_.nowUs(); }

private:
    Clock& inner_;
    std::shared_ptr<TraceFile> trace_;
};

}  // namespace trilo
