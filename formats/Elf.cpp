#include "formats/Elf.h"

#include <algorithm>
#include <string_view>

#include "base/Text.h"
#include "formats/Records.h"

namespace trilo {

namespace {

constexpr std::size_t kHeaderSize = 52;
constexpr std::size_t kProgramHeaderSize = 32;
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::uint32_t kLoadSegment = 1;  // PT_LOAD
constexpr std::uint32_t kNoBits = 8;       // SHT_NOBITS: .bss, no bytes in the file
constexpr std::uint32_t kAllocated = 2;    // SHF_ALLOC
constexpr std::uint64_t kAvrDataSpace = 0x800000;
constexpr std::uint64_t kAvrEeprom = 0x810000;

ElfRefusal refuse(std::string text) {
    return {std::move(text)};
}

// Little-endian fields at offsets the caller has checked against the file's size.
class Fields {
public:
    explicit Fields(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::uint16_t u16(std::uint64_t at) const {
        return static_cast<std::uint16_t>(bytes_[at] | bytes_[at + 1] << 8);
    }
    std::uint32_t u32(std::uint64_t at) const {
        return static_cast<std::uint32_t>(u16(at)) | static_cast<std::uint32_t>(u16(at + 2)) << 16;
    }
    // Whether `size` bytes from `at` lie within the file; 64-bit, so no sum of two 32-bit
    // fields can wrap.
    bool holds(std::uint64_t at, std::uint64_t size) const {
        return at <= bytes_.size() && size <= bytes_.size() - at;
    }
    std::span<const std::uint8_t> bytes(std::uint64_t at, std::uint64_t size) const {
        return bytes_.subspan(at, size);
    }

private:
    std::span<const std::uint8_t> bytes_;
};

struct Table {
    std::uint64_t offset;
    std::uint64_t entrySize;
    std::uint64_t count;
};

struct Segment {
    std::uint64_t offset;
    std::uint64_t fileSize;
    std::uint64_t loadAddress;
};

}  // namespace

ElfReadResult readElf(std::span<const std::uint8_t> bytes) {
    const Fields f(bytes);
    if (!f.holds(0, kHeaderSize) || bytes[0] != 0x7F || bytes[1] != 'E' || bytes[2] != 'L' ||
        bytes[3] != 'F') {
        return refuse(_("Soubor ELF má chybnou hlavičku ! "));
    }
    if (bytes[4] != 1 || bytes[5] != 1) {
        return refuse(_("Soubor ELF není 32bitový little-endian ! "));
    }
    const std::uint16_t machine = f.u16(18);
    if (machine != kElfMachineAvr && machine != kElfMachine8051) {
        return refuse(
            format(_("Soubor ELF je pro jinou architekturu než AVR nebo 8051 (e_machine {}) ! "),
                   std::to_string(machine)));
    }
    const Table programs{f.u32(28), f.u16(42), f.u16(44)};
    const Table sections{f.u32(32), f.u16(46), f.u16(48)};
    const auto fits = [&](const Table& t, std::size_t least) {
        return t.count == 0 || (t.entrySize >= least && f.holds(t.offset, t.entrySize * t.count));
    };
    if (!fits(programs, kProgramHeaderSize) || !fits(sections, kSectionHeaderSize)) {
        return refuse(_("Soubor ELF je poškozený: tabulka hlaviček sahá za jeho konec ! "));
    }

    // A segment that reaches past the file would lend its load address to sections it does
    // not hold; numbered as readelf numbers them.
    std::vector<Segment> segments;
    for (std::uint64_t i = 0; i < programs.count; ++i) {
        const std::uint64_t at = programs.offset + i * programs.entrySize;
        if (f.u32(at) != kLoadSegment) {
            continue;
        }
        const Segment s{f.u32(at + 4), f.u32(at + 16), f.u32(at + 12)};
        if (!f.holds(s.offset, s.fileSize)) {
            return refuse(format(_("Soubor ELF je poškozený: segment {} sahá za jeho konec ! "),
                                 std::to_string(i)));
        }
        segments.push_back(s);
    }
    // The image is made of sections: without their table, a file whose segments hold bytes
    // would give an empty image, and the write would erase the chip for nothing.
    if (sections.count == 0 && std::any_of(segments.begin(), segments.end(),
                                           [](const Segment& s) { return s.fileSize > 0; })) {
        return refuse(_("Soubor ELF nemá tabulku sekcí ! "));
    }

    // The section names, for .eeprom; a file without them has no EEPROM section.
    std::string_view names;
    const std::uint16_t namesIndex = f.u16(50);
    if (namesIndex < sections.count) {
        const std::uint64_t at = sections.offset + namesIndex * sections.entrySize;
        if (!f.holds(f.u32(at + 16), f.u32(at + 20))) {
            return refuse(_("Soubor ELF je poškozený: jména sekcí sahají za jeho konec ! "));
        }
        const auto table = f.bytes(f.u32(at + 16), f.u32(at + 20));
        names = std::string_view(reinterpret_cast<const char*>(table.data()), table.size());
    }
    const auto nameOf = [&](std::uint32_t offset) {
        if (offset >= names.size()) {
            return std::string_view();
        }
        const std::string_view rest = names.substr(offset);
        return rest.substr(0, rest.find('\0'));
    };

    ElfImages images{machine, {}, {}};
    records::ImageBuilder flash;
    std::optional<records::ImageBuilder> eeprom;
    for (std::uint64_t i = 0; i < sections.count; ++i) {
        const std::uint64_t at = sections.offset + i * sections.entrySize;
        const std::uint64_t offset = f.u32(at + 16);
        const std::uint64_t size = f.u32(at + 20);
        if (f.u32(at + 4) == kNoBits || size == 0) {
            continue;
        }
        const std::string_view name = nameOf(f.u32(at));
        if (!f.holds(offset, size)) {
            return refuse(
                format(_("Soubor ELF je poškozený: sekce {} sahá za jeho konec ! "), name));
        }
        if ((f.u32(at + 8) & kAllocated) == 0) {
            continue;
        }
        std::uint64_t load = f.u32(at + 12);
        for (const Segment& s : segments) {
            if (offset >= s.offset && offset - s.offset + size <= s.fileSize) {
                load = s.loadAddress + (offset - s.offset);
                break;
            }
        }
        const bool avr = machine == kElfMachineAvr;
        std::optional<std::string> fault;
        if (name == ".eeprom") {
            const std::uint64_t base = avr && load >= kAvrEeprom ? kAvrEeprom : 0;
            fault = (eeprom ? *eeprom : eeprom.emplace()).put(load - base, f.bytes(offset, size));
        } else if (!avr || load < kAvrDataSpace) {
            fault = flash.put(load, f.bytes(offset, size));
        }
        if (fault) {
            return refuse(format(_("{0} v sekci {1} souboru ELF ! "), *fault, name));
        }
    }
    images.flash = std::move(flash).take();
    if (eeprom) {
        images.eeprom = std::move(*eeprom).take();
    }
    return images;
}

}  // namespace trilo
