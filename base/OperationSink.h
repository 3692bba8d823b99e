#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace trilo {

// What answered a signature check, kept as data so that it can be said again in another
// language.
struct ChipIdentity {
    const char* name = nullptr;  // the device the bytes name; none for an unknown chip
    bool silent = false;         // every byte 0xFF or every byte 0x00: no chip answers
    std::vector<std::uint8_t> bytes;
    // "90S2313, podpis 1E 91 01", in the words of the moment.
    std::string summary() const;
};

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
    virtual void identified(const ChipIdentity& chip) { (void)chip; }
};

}  // namespace trilo
