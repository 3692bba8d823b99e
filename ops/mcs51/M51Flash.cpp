#include "ops/mcs51/M51Flash.h"

#include "ops/mcs51/M51LockFuse.h"

namespace trilo {

namespace {

constexpr std::uint8_t kRead = 0x86;
constexpr std::uint8_t kReadS51 = 0x06;
constexpr std::uint8_t kReadHold = 0xC6;
constexpr std::uint8_t kWrite = 0x16;
constexpr std::uint8_t kWriteHold = 0x56;
constexpr std::uint8_t kErase = 0x20;

std::uint8_t readMode(Family family) {
    return family == Family::S51 ? kReadS51 : kRead;
}

void prepare(Link& link, Family family) {
    if (family == Family::X051) {
        link.PrepareX051();
    }
}

// The read mode with the counter held at 0 for 10 ms, after 150 ms for the chip to settle.
void settleRead(Link& link) {
    link.WriteControlLatch(kRead);
    link.wait(150);
    link.WriteControlLatch(kReadHold);
    link.wait(10);
    link.WriteControlLatch(kRead);
}

void enterRead(Link& link, Family family) {
    prepare(link, family);
    if (family == Family::S51) {
        link.WriteControlLatch(kReadS51);
    } else {
        settleRead(link);
    }
}

void enterVerify(Link& link, Family family) {
    link.SetDataLines(0xFF);
    enterRead(link, family);
    link.wait(100);
    link.WriteControlLatch(kReadHold);
    link.wait(10);
    link.WriteControlLatch(kRead);
}

void enterWrite(Link& link, Family family) {
    prepare(link, family);
    link.SetDataLines(0xFF);
    link.WriteControlLatch(kWrite);
    link.wait(100);
    link.WriteControlLatch(kWriteHold);
    link.wait(10);
    link.WriteControlLatch(kWrite);
}

void enterBlankCheck(Link& link, Family family) {
    prepare(link, family);
    link.SetDataLines(0xFF);
    link.WriteControlLatch(readMode(family));
    link.wait(100);
}

}  // namespace

namespace {

// The Read's bytes after its mode entry: n of them from the first, the clock stepped between
// bytes and not after the last.
template <typename Put>
void readBytes(OpContext& c, std::int64_t n, Put&& put) {
    Link& link = c.link;
    link.wait(100);
    link.SetDataLines(0xFF);
    for (std::int64_t i = 1; i <= n; ++i) {
        stepAt(c, i - 1, percentOf(i, n));
        link.ReadDataLines();
        put(static_cast<std::uint8_t>(link.LastRead));
        if (i < n) {
            link.StepClock(1);
        }
    }
}

}  // namespace

void M51ReadFlash(OpContext& c, Family family, std::int32_t FlashSize) {
    enterRead(c.link, family);
    c.DataFile.create(c.BufferFile);
    readBytes(c, FlashSize, [&](std::uint8_t b) { c.DataFile.writeByte(b); });
    c.DataFile.close();
    c.sink.progress(0);
    c.link.ReleaseTarget();
}

std::vector<std::uint8_t> M51ReadFlashBytes(OpContext& c, Family family, std::int64_t bytes) {
    enterRead(c.link, family);
    std::vector<std::uint8_t> read;
    read.reserve(static_cast<std::size_t>(bytes));
    readBytes(c, bytes, [&](std::uint8_t b) { read.push_back(b); });
    c.link.ReleaseTarget();
    return read;
}

Comparison M51WriteFlash(OpContext& c, Family family, bool AutoVerify, const LockBoxes& locks) {
    Link& link = c.link;
    ByteSource& in = c.in();
    enterWrite(link, family);
    const std::int64_t n = in.size();
    for (std::int64_t i = 1; i <= n; ++i) {
        stepAt(c, i - 1, percentOf(i, n));
        const std::uint8_t b = in.readByte();
        link.SetDataLines(b);
        link.WriteStrobeWait();
        if (AutoVerify) {
            // Data polling: the chip shows the byte only once it has programmed it.
            link.SetDataLines(0xFF);
            link.WriteControlLatch(readMode(family));
            link.PollDataLines(b);
            if (link.LastRead != b) {
                const Difference differs =
                    differenceAt(c, i - 1, b, static_cast<std::uint8_t>(link.LastRead));
                link.ReleaseTarget();
                c.sink.progress(0);
                c.sink.detailedInfo(_(kWriteFailed), differs.text());
                return {differs};
            }
            link.SetDataLines(0xFF);
            link.WriteControlLatch(kWrite);
        }
        link.StepClock(1);
    }
    c.sink.progress(0);
    for (std::uint8_t level = 1; level <= 3; ++level) {
        if (!locks[level - 1]) {
            continue;
        }
        if (family == Family::S51) {
            S51WriteLockBits(c, level);
        } else {
            M51WriteLockBits(c, level);
        }
    }
    link.ReleaseTarget();
    return {};
}

void M51LockChip(OpContext& c, Family family, std::uint8_t level) {
    // In write mode, where the flash write programs them too.
    enterWrite(c.link, family);
    if (family == Family::S51) {
        S51WriteLockBits(c, level);
    } else {
        M51WriteLockBits(c, level);
    }
    c.link.ReleaseTarget();
}

void M51EraseChip(OpContext& c, Family family) {
    Link& link = c.link;
    prepare(link, family);
    link.SetDataLines(0xFF);
    link.WriteControlLatch(kErase);
    link.wait(100);
    link.PulseControlLow(10);
    link.ReleaseTarget();
}

bool M51BlankCheck(OpContext& c, Family family, std::int32_t FlashSize) {
    Link& link = c.link;
    enterBlankCheck(link, family);
    const std::int64_t n = FlashSize;
    for (std::int64_t i = 1; i <= n; ++i) {
        stepAt(c, i - 1, percentOf(i, n));
        link.ReadDataLines();
        if (link.LastRead != 0xFF) {
            link.ReleaseTarget();
            c.sink.progress(0);
            c.sink.info(_(kNotBlank));
            return false;
        }
        if (i < n) {
            link.StepClock(1);
        }
    }
    return true;
}

Comparison M51VerifyFlash(OpContext& c, Family family) {
    Link& link = c.link;
    ByteSource& in = c.in();
    enterVerify(link, family);
    const std::int64_t n = in.size();
    std::optional<Difference> differs;
    std::int64_t i = 1;
    for (; i <= n; ++i) {
        stepAt(c, i - 1, percentOf(i, n));
        const std::uint8_t b = in.readByte();
        link.wait(1);
        link.ReadDataLines();
        if (link.LastRead != b) {
            differs = differenceAt(c, i - 1, b, static_cast<std::uint8_t>(link.LastRead));
            break;
        }
        if (i < n) {
            link.StepClock(1);
        }
    }
    in.close();
    link.ReleaseTarget();
    verifyEnded(c, differs, i);
    return {differs};
}

}  // namespace trilo
