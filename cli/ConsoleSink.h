#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "base/OperationSink.h"
#include "base/Text.h"

namespace trilo::cli {

// Ctrl+C or a termination request between commands. Within one, the operation sees the
// request (stopRequest) at its next byte or word and ends through its release with Stopped,
// as the window's "Zastavit" does: no programming voltage is left on the chip.
struct Interrupted : std::exception {
    const char* what() const noexcept override { return _("přerušeno"); }
};

// A report (a reading, a chip's line) that the message stream lost: a closed pipe, a full disk.
// The run ends there, as at a command that failed.
struct ReportLost : std::exception {
    ReportLost(int error, const std::string& after);
    const char* what() const noexcept override { return text.c_str(); }
    int error;
    std::string text;
};

// Makes SIGINT, SIGTERM and SIGHUP (a closed terminal; not when it was ignored at start, as
// under nohup) set the stop request. They also break a blocked read or open (no SA_RESTART),
// so waiting on an input never outlasts them.
void catchInterrupts();
// The signal that asked the program to stop; 0 while none has.
int interruptSignal();
// What the operations poll; set by those signals.
const std::atomic<bool>& stopRequest();
// Raises Interrupted when a signal has asked the program to stop.
void checkInterrupt();
// Reads standard input as read(2) does, waiting so that a signal before or during the wait
// ends it with Interrupted.
ssize_t readInput(char* into, std::size_t size);

// The operations' progress and messages on the console. A command's messages are held until
// it ends: they go to the message stream when it succeeded and to standard error when it
// failed, whatever the operation said last. Questions are answered by -F, never by waiting.
// Every line is printed as printable() shows it: the names in it (a data file's, a trace's, a
// socket's from programmer.ini) may hold anything.
class ConsoleSink final : public OperationSink {
public:
    // messages: standard output, or standard error when data goes to standard output.
    // bar: draw a progress bar on standard error (a terminal, and not -q).
    ConsoleSink(std::FILE* messages, bool bar, bool quiet, bool force)
        : messages_(messages), bar_(bar), quiet_(quiet), force_(force) {}

    // A command starts; label names it on the bar.
    void begin(const std::string& label);
    // The command ended; shown: its messages are what it was asked for, kept even under -q.
    // ReportLost when the messages of a command that succeeded could not be written.
    void end(bool succeeded, bool shown = false);
    // A reading the user asked for, such as the lock level; ReportLost when it could not be
    // written. Once one is lost, the next are written as they can be without another.
    void result(const std::string& line);
    // Forgets the messages held since begin: a production chip's line says them.
    void drop() {
        clearBar();
        held_.clear();
    }
    // A question the user answers on standard input, on standard error.
    void prompt(const std::string& line) { verbose(line); }
    // The program's own complaint, on standard error.
    void error(const std::string& line);
    // What -v tells, on standard error, whatever -q says.
    void verbose(const std::string& line);
    // With -v, the chip that answered each signature check.
    void tellIdentity(bool on) { tellIdentity_ = on; }
    // What a question answered No says on standard error: by default, that the chip in the
    // socket is not the one selected.
    void refuseWith(std::string line) { refusal_ = std::move(line); }
    void identified(const ChipIdentity& chip) override {
        if (tellIdentity_) {
            verbose(format(_("v patici: {}"), chip.summary()));
        }
    }

    void progress(int percent) override;
    void info(const std::string& message) override { held_.push_back(message); }
    // Each line of the detail on a line of its own, after the message.
    void detailedInfo(const std::string& message, const std::string& detail) override;
    void status(const std::string& text) override { held_.push_back(text); }
    bool ask(const std::string& question) override;

private:
    void clearBar();
    void written();

    std::FILE* messages_;
    bool bar_;
    bool quiet_;
    bool force_;
    std::string label_;
    int shown_ = -1;
    bool drawn_ = false;
    bool tellIdentity_ = false;
    std::string refusal_ = _("v patici není zvolený čip; s volbou -F program pokračuje i tak");
    std::vector<std::string> held_;
    bool lost_ = false;
};

}  // namespace trilo::cli
