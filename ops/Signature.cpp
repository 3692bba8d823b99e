#include "ops/Signature.h"

namespace trilo {

SignatureBytes AvrReadSignature(OpContext& c) {
    Link& link = c.link;
    SignatureBytes bytes;
    link.EnterAvrProgramming();
    link.LoadCommand(0x08);
    for (std::uint8_t a = 0; a < 3; ++a) {
        link.LoadControlAndData(0x20, a);
        link.ReadWithControl(0x04);
        bytes.push_back(static_cast<std::uint8_t>(link.LastRead));
    }
    link.ReleaseTarget();
    return bytes;
}

SignatureBytes M51ReadSignature(OpContext& c, Family family) {
    Link& link = c.link;
    const bool twentyPin = family == Family::X051;
    if (twentyPin) {
        link.PrepareX051();
    }
    link.SetDataLines(0xFF);
    link.WriteControlLatch(0x80);
    link.wait(150);
    link.WriteControlLatch(0xC0);
    link.wait(10);
    link.WriteControlLatch(0x80);
    // The counter starts at 0; the 40-pin parts keep the signature at 0x30 to 0x32.
    const int first = twentyPin ? 0 : 0x30;
    const int last = twentyPin ? 1 : 0x32;
    SignatureBytes bytes;
    for (int address = 0; address <= last; ++address) {
        if (address >= first) {
            link.ReadDataLines();
            bytes.push_back(static_cast<std::uint8_t>(link.LastRead));
        }
        if (address < last) {
            link.StepClock(1);
        }
    }
    link.ReleaseTarget();
    return bytes;
}

}  // namespace trilo
