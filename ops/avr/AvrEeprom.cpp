#include "ops/avr/AvrEeprom.h"

#include "ops/avr/AvrFlash.h"

namespace trilo {

namespace {

std::uint8_t readEepromByte(Link& link, std::int64_t i) {
    avrLoadAddress(link, i);
    link.ReadWithControl(0x04);
    return static_cast<std::uint8_t>(link.LastRead);
}

// The Read's bytes, from the first.
template <typename Put>
void readBytes(OpContext& c, std::int64_t n, Put&& put) {
    c.link.EnterAvrProgramming();
    c.link.LoadCommand(0x03);
    for (std::int64_t i = 0; i < n; ++i) {
        stepAt(c, i, percentOf(i + 1, n));
        put(readEepromByte(c.link, i));
    }
}

}  // namespace

void AvrReadEeprom(OpContext& c, std::int32_t EepromSize) {
    c.DataFile.create(c.BufferFile);
    readBytes(c, EepromSize, [&](std::uint8_t b) { c.DataFile.writeByte(b); });
    c.DataFile.close();
    c.sink.progress(0);
    c.link.ReleaseTarget();
}

std::vector<std::uint8_t> AvrReadEepromBytes(OpContext& c, std::int64_t bytes) {
    std::vector<std::uint8_t> read;
    read.reserve(static_cast<std::size_t>(bytes));
    readBytes(c, bytes, [&](std::uint8_t b) { read.push_back(b); });
    c.link.ReleaseTarget();
    return read;
}

void AvrWriteEeprom(OpContext& c) {
    Link& link = c.link;
    ByteSource& in = c.in();
    const std::int64_t length = in.size();
    link.EnterAvrProgramming();
    link.LoadCommand(0x11);
    for (std::int64_t i = 0; i < length; ++i) {
        stepAt(c, i, percentOf(i + 1, length));
        const std::uint8_t b = in.readByte();
        avrLoadAddress(link, i);
        link.LoadControlAndData(0x24, b);
        link.WriteStrobeWait();
    }
    in.close();
    c.sink.progress(0);
    link.ReleaseTarget();
}

Comparison AvrCompareEeprom(OpContext& c) {
    Link& link = c.link;
    ByteSource& in = c.in();
    const std::int64_t length = in.size();
    link.EnterAvrProgramming();
    link.LoadCommand(0x03);
    std::optional<Difference> differs;
    for (std::int64_t i = 0; i < length && !differs; ++i) {
        stepAt(c, i, percentOf(i + 1, length));
        const std::uint8_t b = in.readByte();
        const std::uint8_t got = readEepromByte(link, i);
        if (got != b) {
            differs = Difference{i, b, got};
        }
    }
    in.close();
    c.sink.progress(0);
    link.ReleaseTarget();
    return {differs};
}

}  // namespace trilo
