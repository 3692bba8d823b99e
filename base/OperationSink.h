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
    // An information box with Yes and No; true for Yes.
    virtual bool ask(const std::string& question) = 0;
    // What the chip in the socket said it is, after each signature check.
    virtual void identified(const std::string& summary) { (void)summary; }
};

}  // namespace trilo
