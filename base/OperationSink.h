#pragma once

#include <string>

namespace trilo {

// Where an operation reports, in the order it reports: the progress gauge Gauge1 and the
// information boxes. One sink for both, so "reset the gauge, then the message" and "the
// message, then reset the gauge" stay apart.
class OperationSink {
public:
    virtual ~OperationSink() = default;
    // Gauge1, 0..100.
    virtual void progress(int percent) = 0;
    // An information box with OK.
    virtual void info(const std::string& message) = 0;
    // The same with a detail that says more than the message, such as where a verify failed.
    virtual void detailedInfo(const std::string& message, const std::string& detail) {
        info(message);
        (void)detail;
    }
    // An information box with Yes and No; true for Yes.
    virtual bool ask(const std::string& question) = 0;
    // A remark for the status line, such as what a write of an empty file did.
    virtual void status(const std::string& text) { (void)text; }
    // What the chip in the socket said it is, after each signature check.
    virtual void identified(const std::string& summary) { (void)summary; }
};

}  // namespace trilo
