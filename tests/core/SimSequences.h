#pragma once

// The operation sequences of the AVR and MCS-51 programming algorithms, written out over the
// link primitives, to drive the simulated board as the program's operations will.

#include <cstdint>
#include <cstring>
#include <vector>

#include "base/Clock.h"
#include "devices/Catalog.h"
#include "link/Link.h"
#include "link/PORTINC.h"
#include "sim/SimulatedBoard.h"

namespace trilo::test {

using Bytes = std::vector<std::uint8_t>;

// Passes every access on to the board and counts the reads, with the values they gave.
class ReadTap final : public PortLayer {
public:
    explicit ReadTap(PortLayer& inner) : inner_(inner) {}
    void out(std::uint16_t port, std::uint8_t value) override { inner_.out(port, value); }
    std::uint8_t in(std::uint16_t port) override {
        const std::uint8_t value = inner_.in(port);
        ((port & 3) == 1 ? statusReads : dataReads).push_back(value);
        return value;
    }
    PortStatus status(std::uint16_t base) const override { return inner_.status(base); }

    Bytes statusReads;
    Bytes dataReads;

private:
    PortLayer& inner_;
};

// A board with the device's chip in the socket, driven by a link at rest on LPT1.
struct SimRig {
    explicit SimRig(std::int32_t deviceId) : device(*findDevice(deviceId)) {
        port.attach(&tap);
        link.PortBase = kLpt1Base;
        link.PollLimit = 800;
        board.selectDevice(deviceId);
        link.ReleaseTarget();
    }
    SimChip& chip() { return board.chip(device.id); }
    bool is(const char* family) const { return std::strcmp(device.family, family) == 0; }

    const DeviceInfo& device;
    RecordingClock clock;
    SimulatedBoard board{clock};
    ReadTap tap{board};
    Portinc port;
    Link link{port, clock};
};

// ---- AVR -------------------------------------------------------------------------------

inline void avrLoadAddress(Link& link, int address) {
    link.LoadControlAndData(0x30, static_cast<std::uint8_t>(address / 256));
    link.LoadControlAndData(0x20, static_cast<std::uint8_t>(address % 256));
}

// The flash image high byte first, one word per two bytes.
inline Bytes avrReadFlash(Link& link, int words) {
    Bytes image;
    link.EnterAvrProgramming();
    link.LoadCommand(0x02);
    for (int w = 0; w < words; ++w) {
        avrLoadAddress(link, w);
        link.ReadWithControl(0x04);
        const auto low = static_cast<std::uint8_t>(link.LastRead);
        link.ReadWithControl(0x14);
        image.push_back(static_cast<std::uint8_t>(link.LastRead));
        image.push_back(low);
        link.WriteControlLatch(0x34);
    }
    link.ReleaseTarget();
    return image;
}

// False when the read-back of a word differs (verify on).
inline bool avrWriteFlash(Link& link, const Bytes& image, bool verify) {
    const int words = static_cast<int>(image.size() / 2);
    link.EnterAvrProgramming();
    for (int w = 0; w < words; ++w) {
        link.LoadCommand(0x10);
        const std::uint8_t high = image[2 * w];
        const std::uint8_t low = image[2 * w + 1];
        avrLoadAddress(link, w);
        link.LoadControlAndData(0x24, low);
        link.WriteControl(0x02);
        link.WriteStrobeWait();
        link.LoadControlAndData(0x34, high);
        link.WriteStrobeWait();
        if (verify) {
            link.LoadCommand(0x02);
            avrLoadAddress(link, w);
            link.ReadWithControl(0x04);
            bool same = link.LastRead == low;
            if (same) {
                link.ReadWithControl(0x14);
                same = link.LastRead == high;
            }
            if (!same) {
                link.ReleaseTarget();
                return false;
            }
        }
    }
    link.ReleaseTarget();
    return true;
}

inline void avrWriteLockBits(Link& link, int level) {
    link.EnterAvrProgramming();
    link.LoadCommand(0x20);
    link.LoadControlAndData(0x24, level == 1 ? 0xFD : 0xF9);
    link.WriteStrobeWait();
    link.ReleaseTarget();
}

inline void avrEraseChip(Link& link, int pulseMs = 10) {
    link.EnterAvrProgramming();
    link.LoadCommand(0x80);
    link.PulseControlLow(pulseMs);
    link.ReleaseTarget();
}

inline bool avrBlankCheck(Link& link, int words) {
    const Bytes image = avrReadFlash(link, words);
    for (std::uint8_t b : image) {
        if (b != 0xFF) {
            return false;
        }
    }
    return true;
}

// The fuse and lock reading taken with this read control byte (0x14 or 0x04).
inline std::uint8_t avrReadFuseLock(Link& link, std::uint8_t readControl) {
    link.EnterAvrProgramming();
    link.LoadCommand(0x04);
    link.ReadWithControl(readControl);
    link.ReleaseTarget();
    return static_cast<std::uint8_t>(link.LastRead);
}

inline void avrWriteFuses(Link& link, std::uint8_t value) {
    link.EnterAvrProgramming();
    link.LoadCommand(0x40);
    link.LoadControlAndData(0x24, value);
    link.PulseControlLow(1);
    link.ReleaseTarget();
}

inline Bytes avrReadEeprom(Link& link, int size) {
    Bytes bytes;
    link.EnterAvrProgramming();
    link.LoadCommand(0x03);
    for (int i = 0; i < size; ++i) {
        avrLoadAddress(link, i);
        link.ReadWithControl(0x04);
        bytes.push_back(static_cast<std::uint8_t>(link.LastRead));
    }
    link.ReleaseTarget();
    return bytes;
}

inline void avrWriteEeprom(Link& link, const Bytes& bytes) {
    link.EnterAvrProgramming();
    link.LoadCommand(0x11);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        avrLoadAddress(link, static_cast<int>(i));
        link.LoadControlAndData(0x24, bytes[i]);
        link.WriteStrobeWait();
    }
    link.ReleaseTarget();
}

// ---- MCS-51 ----------------------------------------------------------------------------

inline void m51ReadEntry(SimRig& rig) {
    Link& link = rig.link;
    if (rig.is(kFamilyS51)) {
        link.WriteControlLatch(0x06);
        return;
    }
    if (rig.is(kFamilyX051)) {
        link.PrepareX051();
    }
    link.WriteControlLatch(0x86);
    link.wait(150);
    link.WriteControlLatch(0xC6);
    link.wait(10);
    link.WriteControlLatch(0x86);
}

inline Bytes m51ReadFlash(SimRig& rig, int size) {
    Link& link = rig.link;
    Bytes bytes;
    m51ReadEntry(rig);
    link.wait(100);
    link.SetDataLines(0xFF);
    for (int i = 1; i <= size; ++i) {
        link.ReadDataLines();
        bytes.push_back(static_cast<std::uint8_t>(link.LastRead));
        if (i < size) {
            link.StepClock(1);
        }
    }
    link.ReleaseTarget();
    return bytes;
}

// Lock level 0 writes no lock bits. False when a byte fails its read-back (verify on).
inline bool m51WriteFlash(SimRig& rig, const Bytes& bytes, bool verify, int lockLevel = 0) {
    Link& link = rig.link;
    const bool s51 = rig.is(kFamilyS51);
    if (rig.is(kFamilyX051)) {
        link.PrepareX051();
    }
    link.SetDataLines(0xFF);
    link.WriteControlLatch(0x16);
    link.wait(100);
    link.WriteControlLatch(0x56);
    link.wait(10);
    link.WriteControlLatch(0x16);
    for (std::uint8_t b : bytes) {
        link.SetDataLines(b);
        link.WriteStrobeWait();
        if (verify) {
            link.SetDataLines(0xFF);
            link.WriteControlLatch(s51 ? 0x06 : 0x86);
            link.PollDataLines(b);
            if (link.LastRead != b) {
                link.ReleaseTarget();
                return false;
            }
            link.SetDataLines(0xFF);
            link.WriteControlLatch(0x16);
        }
        link.StepClock(1);
    }
    if (lockLevel > 0 && s51) {
        link.WriteControlLatch(0x24);
        link.SetDataLines(lockLevel == 1 ? 0x7F : lockLevel == 2 ? 0x3F : 0x1F);
        link.PulseControlLow(1);
    } else if (lockLevel > 0) {
        link.SetDataLines(0xFF);
        const std::uint8_t steps[] = {0x36, 0x30, 0x24};
        for (int step = 0; step < lockLevel; ++step) {
            link.WriteControlLatch(steps[step]);
            link.PulseControlLow(1);
        }
    }
    link.ReleaseTarget();
    return true;
}

inline void m51EraseChip(SimRig& rig, int pulseMs = 10) {
    Link& link = rig.link;
    if (rig.is(kFamilyX051)) {
        link.PrepareX051();
    }
    link.SetDataLines(0xFF);
    link.WriteControlLatch(0x20);
    link.wait(100);
    link.PulseControlLow(pulseMs);
    link.ReleaseTarget();
}

inline bool m51BlankCheck(SimRig& rig, int size) {
    Link& link = rig.link;
    if (rig.is(kFamilyX051)) {
        link.PrepareX051();
    }
    link.SetDataLines(0xFF);
    link.WriteControlLatch(rig.is(kFamilyS51) ? 0x06 : 0x86);
    link.wait(100);
    bool blank = true;
    for (int i = 1; i <= size && blank; ++i) {
        link.ReadDataLines();
        blank = link.LastRead == 0xFF;
        if (i < size) {
            link.StepClock(1);
        }
    }
    link.ReleaseTarget();
    return blank;
}

// 0 when the flash matches, otherwise the 1-based number of the first differing byte.
inline int m51VerifyFlash(SimRig& rig, const Bytes& bytes) {
    Link& link = rig.link;
    link.SetDataLines(0xFF);
    m51ReadEntry(rig);
    link.wait(100);
    link.WriteControlLatch(0xC6);
    link.wait(10);
    link.WriteControlLatch(0x86);
    const int n = static_cast<int>(bytes.size());
    for (int i = 1; i <= n; ++i) {
        link.wait(1);
        link.ReadDataLines();
        if (link.LastRead != bytes[static_cast<std::size_t>(i - 1)]) {
            link.ReleaseTarget();
            return i;
        }
        if (i < n) {
            link.StepClock(1);
        }
    }
    link.ReleaseTarget();
    return 0;
}

// The 89S lock-bit reading (bit 2 lock bit 1, bit 1 lock bit 2, bit 0 lock bit 3).
inline std::uint8_t s51ReadLockBits(Link& link) {
    link.SetDataLines(0xFF);
    link.WriteControlLatch(0x30);
    link.wait(100);
    link.ReadDataLines();
    link.ReleaseTarget();
    return static_cast<std::uint8_t>(link.LastRead);
}

// The fuse as read back after the write, true = ON.
inline bool s51ReadSerialFuse(Link& link) {
    link.SetDataLines(0xFF);
    link.WriteControlLatch(0x32);
    link.wait(100);
    link.ReadDataLines();
    return (link.LastRead & 1) != 0;
}

inline bool s51WriteSerialFuse(Link& link, bool on) {
    link.SetDataLines(on ? 0xFF : 0xFE);
    link.WriteControlLatch(0x12);
    link.wait(100);
    link.PulseControlLow(10);
    const bool read = s51ReadSerialFuse(link);
    link.ReleaseTarget();
    return read;
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
