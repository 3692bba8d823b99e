#include "formats/Checksum.h"

#include <array>
#include <cstdio>

#include "base/Text.h"
#include "formats/Image.h"

namespace trilo {

namespace {

constexpr std::array<std::uint32_t, 256> kCrcTable = [] {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < table.size(); ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1U) != 0 ? 0xEDB88320U ^ (c >> 1) : c >> 1;
        }
        table[n] = c;
    }
    return table;
}();

}  // namespace

Checksums checksumsOf(std::span<const std::uint8_t> bytes) {
    Checksums sums;
    sums.size = bytes.size();
    std::uint32_t crc = 0xFFFFFFFFU;
    std::uint16_t sum = 0;
    for (const std::uint8_t b : bytes) {
        crc = kCrcTable[(crc ^ b) & 0xFFU] ^ (crc >> 8);
        sum = static_cast<std::uint16_t>(sum + b);
    }
    sums.crc32 = crc ^ 0xFFFFFFFFU;
    sums.sum16 = sum;
    return sums;
}

Checksums checksumsInToolOrder(std::span<const std::uint8_t> image, bool avrFlash) {
    if (!avrFlash) {
        return checksumsOf(image);
    }
    HexImage toolOrder(image.begin(), image.end());
    swapWordBytes(toolOrder);
    return checksumsOf(toolOrder);
}

std::string describe(const Checksums& sums) {
    char text[80];
    // xgettext:c-format
    std::snprintf(text, sizeof text, _("%zu B, CRC-32 0x%08X, součet 0x%04X"), sums.size,
                  static_cast<unsigned>(sums.crc32), static_cast<unsigned>(sums.sum16));
    return text;
}

}  // namespace trilo
