#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// The hex view of a memory image, without a window: the rows as text and the comparison of
// two images. The window's table and the command line show the same text from here.
namespace trilo {

inline constexpr std::size_t kBytesPerRow = 16;

// Hex digits of the address column: four up to 64 KiB, five above.
int addressDigits(std::size_t memorySize);
std::size_t rowCount(std::size_t size);
// "01A0", padded to the digits the memory needs.
std::string addressText(std::size_t offset, std::size_t memorySize);
// "5A", and the byte as ASCII: itself when printable, "." otherwise.
std::string byteText(std::uint8_t value);
char asciiOf(std::uint8_t value);
// A whole row: "01A0  5A FF ...  Z...", the bytes past the end left blank.
std::string rowText(std::span<const std::uint8_t> image, std::size_t row);

// The checksums of an image as the view holds it, at its tools' addresses (an AVR flash low
// byte first), so they match what a toolchain reports.
std::string checksumText(std::span<const std::uint8_t> image);

// The offsets at which two images differ, over the length they share: what a write of the
// shorter one would compare. Bytes only one side has are not differences.
class Differences {
public:
    Differences() = default;
    Differences(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b);

    std::size_t count() const { return offsets_.size(); }
    const std::vector<std::size_t>& offsets() const { return offsets_; }
    bool at(std::size_t offset) const;
    // The first difference after offset, and the last one before it; nothing at either end.
    std::optional<std::size_t> next(std::size_t offset) const;
    std::optional<std::size_t> previous(std::size_t offset) const;
    std::optional<std::size_t> first() const;

private:
    std::vector<std::size_t> offsets_;
};

}  // namespace trilo
