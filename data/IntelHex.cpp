#include "data/IntelHex.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <utility>

#include "base/Hex.h"
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

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// Byte `index` of a record line (after its colon), or -1 where its two digits are no hex.
int byteAt(std::string_view line, std::size_t index) {
    const int high = hexDigit(line[1 + 2 * index]);
    const int low = hexDigit(line[2 + 2 * index]);
    return high < 0 || low < 0 ? -1 : high * 16 + low;
}

// Upper-case hex with at least `digits` digits, as addresses and record types are written.
std::string hex(std::size_t value, int digits) {
    std::array<char, 24> text{};
    std::snprintf(text.data(), text.size(), "%0*zX", digits, value);
    return text.data();
}

// "<fault> na řádku <line> souboru HEX ! ": the fault first, then where to look.
HexRefusal refuse(std::size_t line, const std::string& fault) {
    return {line, fault + " na řádku " + std::to_string(line) + " souboru HEX ! "};
}

HexRefusal malformed(std::size_t line) {
    return refuse(line, "Chybný záznam");
}

class Reader {
public:
    // The refusal for one line, or nothing when the line is taken.
    std::optional<HexRefusal> take(std::string_view line, std::size_t number) {
        if (line.empty()) {
            return std::nullopt;
        }
        if (ended_) {
            return refuse(number, "Data za záznamem konce souboru");
        }
        lastLine_ = number;
        // The length byte fixes the size of the line, so no record can outgrow `bytes`.
        const int first = line.size() >= 3 && line[0] == ':' ? byteAt(line, 0) : -1;
        const std::size_t count = first < 0 ? 0 : static_cast<std::size_t>(first) + 5;
        if (count == 0 || line.size() != 1 + 2 * count) {
            return malformed(number);
        }
        std::array<std::uint8_t, kMaxRecordBytes> bytes{};
        unsigned sum = 0;
        for (std::size_t i = 0; i < count; ++i) {
            const int byte = byteAt(line, i);
            if (byte < 0) {
                return malformed(number);
            }
            bytes[i] = static_cast<std::uint8_t>(byte);
            sum += bytes[i];
        }
        const std::size_t length = bytes[0];
        if (sum % 256 != 0) {
            return refuse(number, "Chybný kontrolní součet");
        }
        const std::size_t offset = std::size_t{bytes[1]} << 8 | bytes[2];
        const std::span<const std::uint8_t> data(bytes.data() + 4, length);
        switch (bytes[3]) {
            case kData:
                return store(offset, data, number);
            case kEndOfFile:
                ended_ = true;
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
                return refuse(number, "Neznámý typ záznamu " + hex(bytes[3], 2));
        }
    }

    HexReadResult finish() && {
        if (!ended_) {
            const std::size_t line = std::max<std::size_t>(lastLine_, 1);
            return HexRefusal{line, "Soubor HEX končí na řádku " + std::to_string(line) +
                                        " bez záznamu konce souboru ! "};
        }
        return std::move(image_);
    }

private:
    std::optional<HexRefusal> store(std::size_t offset, std::span<const std::uint8_t> data,
                                    std::size_t number) {
        for (std::size_t i = 0; i < data.size(); ++i) {
            // A segment address wraps within its 64 KiB segment; a linear one runs on.
            const std::size_t address = base_ + (segmented_ ? (offset + i) & 0xFFFF : offset + i);
            if (address >= kHexAddressLimit) {
                return refuse(number, "Adresa 0x" + hex(address, 4) + " je za hranicí 1 MiB");
            }
            if (address >= image_.size()) {
                image_.resize(address + 1, 0xFF);
                written_.resize(address + 1, false);
            }
            if (written_[address] && image_[address] != data[i]) {
                return refuse(number,
                              "Adresa 0x" + hex(address, 4) + " dostává jinou hodnotu než dříve");
            }
            image_[address] = data[i];
            written_[address] = true;
        }
        return std::nullopt;
    }

    HexImage image_;
    std::vector<bool> written_;
    std::size_t base_ = 0;
    bool segmented_ = false;
    bool ended_ = false;
    std::size_t lastLine_ = 0;
};

void appendRecord(std::string& out, std::uint8_t type, std::size_t offset,
                  std::span<const std::uint8_t> data) {
    unsigned sum = 0;
    const auto put = [&](std::uint8_t byte) {
        out += kHexDigits[byte >> 4];
        out += kHexDigits[byte & 0x0F];
        sum += byte;
    };
    out += ':';
    put(static_cast<std::uint8_t>(data.size()));
    put(static_cast<std::uint8_t>(offset >> 8));
    put(static_cast<std::uint8_t>(offset));
    put(type);
    for (const std::uint8_t byte : data) {
        put(byte);
    }
    put(static_cast<std::uint8_t>(-sum));
    out += '\n';
}

}  // namespace

HexReadResult readIntelHex(std::string_view text) {
    Reader reader;
    std::size_t number = 0;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (auto refusal = reader.take(line, ++number)) {
            return std::move(*refusal);
        }
    }
    return std::move(reader).finish();
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

void swapWordBytes(HexImage& image) {
    if (image.size() % 2 != 0) {
        image.push_back(0xFF);
    }
    for (std::size_t i = 0; i < image.size(); i += 2) {
        std::swap(image[i], image[i + 1]);
    }
}

bool isIntelHexName(std::string_view path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".hex" || extension == ".ihx" || extension == ".ihex";
}

}  // namespace trilo
