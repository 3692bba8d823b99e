#pragma once

// The simulated board with a chip in its socket, driven by the program's own operations, so
// that tests judge the operations by what ends up in the chip.

#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "base/Clock.h"
#include "devices/Catalog.h"
#include "link/Link.h"
#include "link/PORTINC.h"
#include "ops/avr/AvrEeprom.h"
#include "ops/avr/AvrFlash.h"
#include "ops/avr/AvrFuseLock.h"
#include "ops/mcs51/M51Flash.h"
#include "ops/mcs51/M51LockFuse.h"
#include "sim/SimulatedBoard.h"
#include "support/TestDir.h"

namespace trilo::test {

using Bytes = std::vector<std::uint8_t>;

// Every progress value and message of an operation, in order.
class RecordingSink final : public OperationSink {
public:
    void progress(int percent) override {
        gauge.push_back(percent);
        events.push_back("gauge " + std::to_string(percent));
    }
    void info(const std::string& message) override {
        messages.push_back(message);
        events.push_back("info " + message);
    }
    void detailedInfo(const std::string& message, const std::string& detail) override {
        info(message);
        details.push_back(detail);
    }
    bool ask(const std::string& question) override {
        events.push_back("ask " + question);
        const bool yes = !answers.empty() && answers.front();
        if (!answers.empty()) {
            answers.pop_front();
        }
        return yes;
    }

    std::vector<int> gauge;
    std::vector<std::string> messages;
    std::vector<std::string> details;
    std::vector<std::string> events;
    std::deque<bool> answers;
};

// An operation's context over any port layer, with its files in a fresh directory.
struct OpRig {
    explicit OpRig(PortLayer& layer) {
        port.attach(&layer);
        link.PortBase = kLpt1Base;
        link.PollLimit = 800;
    }
    // The data file the next Write, Verify or EEPROM write reads.
    void open(const Bytes& data) {
        dir.write("data.bin", std::string(data.begin(), data.end()));
        file.openRead(dir.file("data.bin"));
        ctx.input = &file;
    }
    Bytes buffer() const {
        const std::string bytes = dir.read("buffer.tmp");
        return {bytes.begin(), bytes.end()};
    }

    TestDir dir;
    RecordingClock clock;
    Portinc port;
    Link link{port, clock};
    ByteFile file;
    RecordingSink sink;
    OpContext ctx{link, file, dir.file("buffer.tmp"), sink};
};

// Passes every access on to the board and counts the reads, with the values they gave, and
// the writes.
class ReadTap final : public PortLayer {
public:
    explicit ReadTap(PortLayer& inner) : inner_(inner) {}
    void out(std::uint16_t port, std::uint8_t value) override {
        ++writes;
        inner_.out(port, value);
    }
    std::uint8_t in(std::uint16_t port) override {
        const std::uint8_t value = inner_.in(port);
        ((port & 3) == 1 ? statusReads : dataReads).push_back(value);
        return value;
    }
    PortStatus status(std::uint16_t base) const override { return inner_.status(base); }

    Bytes statusReads;
    Bytes dataReads;
    std::size_t writes = 0;

private:
    PortLayer& inner_;
};

// A board with the device's chip in the socket, at rest on LPT1.
struct SimRig : OpRig {
    explicit SimRig(std::int32_t deviceId)
        : OpRig(tap), device(*findDevice(deviceId)), family(device.family) {
        board.selectDevice(deviceId);
        link.ReleaseTarget();
    }
    SimChip& chip() { return board.chip(device.id); }

    const DeviceInfo& device;
    const Family family;
    SimulatedBoard board{clock};
    ReadTap tap{board};
};

// ---- The operations, as the sim tests call them ----------------------------------------

inline LockBoxes lockLevel(int level) {
    LockBoxes boxes{};
    if (level > 0) {
        boxes[static_cast<std::size_t>(level - 1)] = true;
    }
    return boxes;
}

// The flash image high byte first, one word per two bytes.
inline Bytes avrReadFlash(SimRig& rig, int words) {
    AvrReadFlash(rig.ctx, words * 2);
    return rig.buffer();
}

// False when a word does not read back (verify on).
inline bool avrWriteFlash(SimRig& rig, const Bytes& image, bool verify, int level = 0) {
    rig.open(image);
    const bool written = AvrWriteFlash(rig.ctx, verify, lockLevel(level)).same();
    rig.file.close();
    return written;
}

inline bool avrBlankCheck(SimRig& rig, int words) {
    const bool blank = AvrBlankCheck(rig.ctx, words * 2);
    rig.link.ReleaseTarget();
    return blank;
}

inline Bytes avrReadEeprom(SimRig& rig, int size) {
    AvrReadEeprom(rig.ctx, size);
    return rig.buffer();
}

inline void avrWriteEeprom(SimRig& rig, const Bytes& bytes) {
    rig.open(bytes);
    AvrWriteEeprom(rig.ctx);
}

inline Bytes m51ReadFlash(SimRig& rig, int size) {
    M51ReadFlash(rig.ctx, rig.family, size);
    return rig.buffer();
}

// Lock level 0 writes no lock bits. False when a byte fails its read-back (verify on).
inline bool m51WriteFlash(SimRig& rig, const Bytes& bytes, bool verify, int level = 0) {
    rig.open(bytes);
    const bool written = M51WriteFlash(rig.ctx, rig.family, verify, lockLevel(level)).same();
    rig.file.close();
    return written;
}

inline bool m51BlankCheck(SimRig& rig, int size) {
    const bool blank = M51BlankCheck(rig.ctx, rig.family, size);
    rig.link.ReleaseTarget();
    return blank;
}

// The message the verify ends with.
inline std::string m51VerifyFlash(SimRig& rig, const Bytes& bytes) {
    rig.open(bytes);
    M51VerifyFlash(rig.ctx, rig.family);
    return rig.sink.messages.back();
}

// A pattern with distinct neighbours and no byte left blank by chance of the pattern alone.
inline Bytes pattern(std::size_t size, unsigned seed = 0) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>((i * 37 + (i >> 8) * 11 + seed * 101 + 5) & 0xFF);
    }
    return bytes;
}

}  // namespace trilo::test
