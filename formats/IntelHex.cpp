#include "formats/IntelHex.h"

#include <algorithm>
#include <array>
#include <optional>
#include <utility>

#include "base/Text.h"
#include "formats/Records.h"

namespace trilo {

namespace {

enum RecordType : std::uint8_t {
    kData = 0x00,
    kEndOfFile = 0x01,
    kSegmentAddress = 0x02,
    kStartSegment = 0x03,
    kLinearAddress = 0x04,
    kStartLinear = 0x05,
};

// Length, two address bytes, type, up to 255 data bytes, checksum.
constexpr std::size_t kMaxRecordBytes = 4 + 255 + 1;
constexpr std::size_t kBytesPerRecord = 16;
constexpr std::string_view kKind = "HEX";

HexRefusal refuse(std::size_t line, const std::string& fault) {
    return records::lineRefusal(line, fault, kKind);
}

HexRefusal malformed(std::size_t line) {
    return refuse(line, _("Chybný záznam"));
}

class Reader : public records::RecordState {
public:
    // The refusal for one line, or nothing when the line is taken.
    std::optional<HexRefusal> take(std::string_view line, std::size_t number) {
        // The length byte fixes the size of the line, so no record can outgrow `bytes`.
        const int first = line.size() >= 3 && line[0] == ':' ? records::hexByte(line, 1) : -1;
        const std::size_t count = first < 0 ? 0 : static_cast<std::size_t>(first) + 5;
        if (count == 0 || line.size() != 1 + 2 * count) {
            return malformed(number);
        }
        std::array<std::uint8_t, kMaxRecordBytes> bytes{};
        unsigned sum = 0;
        for (std::size_t i = 0; i < count; ++i) {
            const int byte = records::hexByte(line, 1 + 2 * i);
            if (byte < 0) {
                return malformed(number);
            }
            bytes[i] = static_cast<std::uint8_t>(byte);
            sum += bytes[i];
        }
        const std::size_t length = bytes[0];
        if (sum % 256 != 0) {
            return refuse(number, _("Chybný kontrolní součet"));
        }
        const std::size_t offset = std::size_t{bytes[1]} << 8 | bytes[2];
        const std::span<const std::uint8_t> data(bytes.data() + 4, length);
        switch (bytes[3]) {
            case kData:
                return store(offset, data, number);
            case kEndOfFile:
                ended = true;
                return length == 0 ? std::nullopt : std::optional(malformed(number));
            case kSegmentAddress:
            case kLinearAddress:
                if (length != 2) {
                    return malformed(number);
                }
                segmented_ = bytes[3] == kSegmentAddress;
                base_ = (std::size_t{data[0]} << 8 | data[1]) << (segmented_ ? 4 : 16);
                return std::nullopt;
            case kStartSegment:
            case kStartLinear:
                return length == 4 ? std::nullopt : std::optional(malformed(number));
            default:
                return refuse(number,
                              format(_("Neznámý typ záznamu {}"), records::hexNumber(bytes[3], 2)));
        }
    }

private:
    std::optional<HexRefusal> store(std::size_t offset, std::span<const std::uint8_t> data,
                                    std::size_t number) {
        for (std::size_t i = 0; i < data.size(); ++i) {
            // A segment address wraps within its 64 KiB segment; a linear one runs on.
            const std::size_t address = base_ + (segmented_ ? (offset + i) & 0xFFFF : offset + i);
            if (auto fault = image.put(address, data.subspan(i, 1))) {
                return refuse(number, *fault);
            }
        }
        return std::nullopt;
    }

    std::size_t base_ = 0;
    bool segmented_ = false;
};

void appendRecord(std::string& out, std::uint8_t type, std::size_t offset,
                  std::span<const std::uint8_t> data) {
    out += ':';
    records::RecordText record(out);
    record.put(static_cast<std::uint8_t>(data.size()));
    record.put(static_cast<std::uint8_t>(offset >> 8));
    record.put(static_cast<std::uint8_t>(offset));
    record.put(type);
    record.put(data);
    record.put(static_cast<std::uint8_t>(-record.sum()));
    out += '\n';
}

}  // namespace

HexReadResult readIntelHex(std::string_view text) {
    return records::readLines<Reader>(text, kKind);
}

std::string writeIntelHex(std::span<const std::uint8_t> image) {
    std::string out;
    // 44 characters carry 16 bytes.
    out.reserve(image.size() * 3 + 32);
    for (std::size_t address = 0; address < image.size(); address += kBytesPerRecord) {
        if (address % 0x10000 == 0 && address != 0) {
            const std::array<std::uint8_t, 2> upper{static_cast<std::uint8_t>(address >> 24),
                                                    static_cast<std::uint8_t>(address >> 16)};
            appendRecord(out, kLinearAddress, 0, upper);
        }
        appendRecord(out, kData, address & 0xFFFF,
                     image.subspan(address, std::min(kBytesPerRecord, image.size() - address)));
    }
    appendRecord(out, kEndOfFile, 0, {});
    return out;
}

}  // namespace trilo
