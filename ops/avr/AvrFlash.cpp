#include "ops/avr/AvrFlash.h"

namespace trilo {

namespace {

constexpr std::uint8_t kReadFlash = 0x02;
constexpr std::uint8_t kWriteFlash = 0x10;
constexpr std::uint8_t kChipErase = 0x80;
constexpr std::uint8_t kWriteLockBits = 0x20;
constexpr std::uint8_t kDataLow = 0x24;
constexpr std::uint8_t kDataHigh = 0x34;
constexpr std::uint8_t kReadLow = 0x04;
constexpr std::uint8_t kReadHigh = 0x14;

// An odd-length file ends in the high byte of a word whose low byte is the erased 0xFF, so
// nothing is read past the end and the last byte is still written and compared.
struct Word {
    std::uint8_t high;
    std::uint8_t low;
};

std::int64_t wordsIn(std::int64_t bytes) {
    return (bytes + 1) / 2;
}

Word nextWord(ByteSource& in, std::int64_t word, std::int64_t bytes) {
    Word w{};
    w.high = in.readByte();
    w.low = 2 * word + 1 < bytes ? in.readByte() : std::uint8_t{0xFF};
    return w;
}

}  // namespace

void avrLoadAddress(Link& link, std::int64_t address) {
    link.LoadControlAndData(0x30, static_cast<std::uint8_t>(address / 256));
    link.LoadControlAndData(0x20, static_cast<std::uint8_t>(address % 256));
}

namespace {

// Word w of n as the read and the blank check take it: the low byte, then the high byte, and
// the latch byte that ends the word.
Word readWordAt(OpContext& c, std::int64_t w, std::int64_t n) {
    Link& link = c.link;
    stepAt(c, 2 * w, percentOf(w + 1, n));
    avrLoadAddress(link, w);
    Word word{};
    link.ReadWithControl(kReadLow);
    word.low = static_cast<std::uint8_t>(link.LastRead);
    link.ReadWithControl(kReadHigh);
    word.high = static_cast<std::uint8_t>(link.LastRead);
    link.WriteControlLatch(kDataHigh);
    return word;
}

// The Read's words from the first, each high byte first as a data file holds it.
template <typename Put>
void readWords(OpContext& c, std::int64_t n, Put&& put) {
    c.link.EnterAvrProgramming();
    c.link.LoadCommand(kReadFlash);
    for (std::int64_t w = 0; w < n; ++w) {
        const Word word = readWordAt(c, w, n);
        put(word.high);
        put(word.low);
    }
}

}  // namespace

void AvrReadFlash(OpContext& c, std::int32_t FlashSize) {
    c.DataFile.create(c.BufferFile);
    readWords(c, FlashSize / 2, [&](std::uint8_t b) { c.DataFile.writeByte(b); });
    c.DataFile.close();
    c.sink.progress(0);
    c.link.ReleaseTarget();
}

std::vector<std::uint8_t> AvrReadFlashBytes(OpContext& c, std::int64_t bytes) {
    std::vector<std::uint8_t> read;
    read.reserve(static_cast<std::size_t>(2 * wordsIn(bytes)));
    readWords(c, wordsIn(bytes), [&](std::uint8_t b) { read.push_back(b); });
    c.link.ReleaseTarget();
    return read;
}

namespace {

// Reads the addressed word back, low byte first; a low byte that differs leaves the high byte
// unread. The first difference, at the byte's place in the input (high byte at 2w).
std::optional<Difference> readBackWord(OpContext& c, std::int64_t w, Word word) {
    Link& link = c.link;
    link.ReadWithControl(kReadLow);
    if (link.LastRead != word.low) {
        return differenceAt(c, 2 * w + 1, word.low, static_cast<std::uint8_t>(link.LastRead));
    }
    link.ReadWithControl(kReadHigh);
    if (link.LastRead != word.high) {
        return differenceAt(c, 2 * w, word.high, static_cast<std::uint8_t>(link.LastRead));
    }
    return std::nullopt;
}

}  // namespace

Comparison AvrWriteFlash(OpContext& c, bool AutoVerify, const LockBoxes& locks) {
    Link& link = c.link;
    ByteSource& in = c.in();
    const std::int64_t bytes = in.size();
    const std::int64_t n = wordsIn(bytes);
    link.EnterAvrProgramming();
    for (std::int64_t w = 0; w < n; ++w) {
        link.LoadCommand(kWriteFlash);
        stepAt(c, 2 * w, percentOf(w, n));
        const Word word = nextWord(in, w, bytes);
        avrLoadAddress(link, w);
        // The low byte goes first, and only its strobe has the extra leading write.
        link.LoadControlAndData(kDataLow, word.low);
        link.WriteControl(static_cast<std::uint8_t>(link.ControlShadow - 8));
        link.WriteStrobeWait();
        link.LoadControlAndData(kDataHigh, word.high);
        link.WriteStrobeWait();
        if (AutoVerify) {
            link.LoadCommand(kReadFlash);
            avrLoadAddress(link, w);
            if (auto differs = readBackWord(c, w, word)) {
                link.ReleaseTarget();
                c.sink.progress(0);
                c.sink.detailedInfo(_(kWriteFailed), differs->text());
                return {differs};
            }
        }
    }
    c.sink.progress(0);
    if (locks[0]) {
        AvrWriteLockBits(c, 1);
    }
    if (locks[1]) {
        AvrWriteLockBits(c, 2);
    }
    link.ReleaseTarget();
    return {};
}

void AvrWriteLockBits(OpContext& c, std::uint8_t level) {
    Link& link = c.link;
    link.EnterAvrProgramming();
    link.LoadCommand(kWriteLockBits);
    link.LoadControlAndData(kDataLow, level == 1 ? 0xFD : 0xF9);
    link.WriteStrobeWait();
    link.ReleaseTarget();
}

void AvrEraseChip(OpContext& c) {
    Link& link = c.link;
    link.EnterAvrProgramming();
    link.LoadCommand(kChipErase);
    link.PulseControlLow(10);
    link.ReleaseTarget();
}

bool AvrBlankCheck(OpContext& c, std::int32_t FlashSize) {
    Link& link = c.link;
    const std::int64_t n = FlashSize / 2;
    link.EnterAvrProgramming();
    link.LoadCommand(kReadFlash);
    for (std::int64_t w = 0; w < n; ++w) {
        const Word word = readWordAt(c, w, n);
        if (word.low != 0xFF || word.high != 0xFF) {
            link.ReleaseTarget();
            c.sink.progress(0);
            c.sink.info(_(kNotBlank));
            return false;
        }
    }
    return true;
}

Comparison AvrVerifyFlash(OpContext& c) {
    Link& link = c.link;
    ByteSource& in = c.in();
    const std::int64_t bytes = in.size();
    const std::int64_t n = wordsIn(bytes);
    link.EnterAvrProgramming();
    link.LoadCommand(kReadFlash);
    std::optional<Difference> differs;
    for (std::int64_t w = 0; w < n && !differs; ++w) {
        stepAt(c, 2 * w, percentOf(w + 1, n));
        const Word word = nextWord(in, w, bytes);
        avrLoadAddress(link, w);
        differs = readBackWord(c, w, word);
        if (!differs) {
            link.WriteControlLatch(kDataHigh);
        }
    }
    in.close();
    link.ReleaseTarget();
    verifyEnded(c, differs, 0);
    return {differs};
}

}  // namespace trilo
