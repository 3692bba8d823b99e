#include "ops/avr/AvrEeprom.h"

#include "ops/avr/AvrFlash.h"

namespace trilo {

namespace {

std::uint8_t readEepromByte(Link& link, std::int64_t i) {
    avrLoadAddress(link, i);
    link.ReadWithControl(0x04);
    return static_cast<std::uint8_t>(link.LastRead);
}

}  // namespace

void AvrReadEeprom(OpContext& c, std::int32_t EepromSize) {
    Link& link = c.link;
    c.DataFile.create(c.BufferFile);
    link.EnterAvrProgramming();
    link.LoadCommand(0x03);
    for (std::int64_t i = 0; i < EepromSize; ++i) {
        stepAt(c, i, percentOf(i + 1, EepromSize));
        c.DataFile.writeByte(readEepromByte(link, i));
    }
    c.DataFile.close();
    c.sink.progress(0);
    link.ReleaseTarget();
}

std::vector<std::uint8_t> AvrReadEepromBytes(OpContext& c, std::int64_t bytes) {
    Link& link = c.link;
    link.EnterAvrProgramming();
    link.LoadCommand(0x03);
    std::vector<std::uint8_t> read;
    read.reserve(static_cast<std::size_t>(bytes));
    for (std::int64_t i = 0; i < bytes; ++i) {
        stepAt(c, i, percentOf(i + 1, bytes));
        read.push_back(readEepromByte(link, i));
    }
    link.ReleaseTarget();
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
