#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace trilo {

// What programmers and toolchains print to identify a memory image: its size, the CRC-32 of
// zlib and Ethernet (reflected polynomial 0xEDB88320, start and final XOR 0xFFFFFFFF) and the
// sum of its bytes modulo 2^16.
struct Checksums {
    std::size_t size = 0;
    std::uint32_t crc32 = 0;
    std::uint16_t sum16 = 0;
};

Checksums checksumsOf(std::span<const std::uint8_t> bytes);

// The checksums of an image as the toolchains number its bytes: an AVR flash image, which the
// program holds high byte first, is taken low byte first, so the CRC-32 matches the one a
// toolchain reports for the same HEX file. The sum is the same either way.
Checksums checksumsInToolOrder(std::span<const std::uint8_t> image, bool avrFlash);

// "2048 B, CRC-32 0x1A2B3C4D, součet 0x5E6F"
std::string describe(const Checksums& sums);

}  // namespace trilo
