#include "presenter/HexView.h"

#include <algorithm>
#include <cstdio>

#include "formats/Checksum.h"

namespace trilo {

std::string checksumText(std::span<const std::uint8_t> image) {
    return describe(checksumsOf(image));
}

int addressDigits(std::size_t memorySize) {
    return memorySize > 0x10000 ? 5 : 4;
}

std::size_t rowCount(std::size_t size) {
    return (size + kBytesPerRow - 1) / kBytesPerRow;
}

std::string addressText(std::size_t offset, std::size_t memorySize) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*zX", addressDigits(memorySize), offset);
    return text;
}

std::string byteText(std::uint8_t value) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(value));
    return text;
}

char asciiOf(std::uint8_t value) {
    return value >= 0x20 && value < 0x7F ? static_cast<char>(value) : '.';
}

std::string rowText(std::span<const std::uint8_t> image, std::size_t row) {
    const std::size_t start = row * kBytesPerRow;
    std::string hex;
    std::string ascii;
    for (std::size_t k = 0; k < kBytesPerRow; ++k) {
        const std::size_t offset = start + k;
        hex += k == 0 ? "" : " ";
        if (offset < image.size()) {
            hex += byteText(image[offset]);
            ascii += asciiOf(image[offset]);
        } else {
            hex += "  ";
        }
    }
    return addressText(start, image.size()) + "  " + hex + "  " + ascii;
}

Differences::Differences(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) {
    const std::size_t shared = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < shared; ++i) {
        if (a[i] != b[i]) {
            offsets_.push_back(i);
        }
    }
}

bool Differences::at(std::size_t offset) const {
    return std::binary_search(offsets_.begin(), offsets_.end(), offset);
}

std::optional<std::size_t> Differences::next(std::size_t offset) const {
    const auto it = std::upper_bound(offsets_.begin(), offsets_.end(), offset);
    return it == offsets_.end() ? std::nullopt : std::optional<std::size_t>(*it);
}

std::optional<std::size_t> Differences::previous(std::size_t offset) const {
    const auto it = std::lower_bound(offsets_.begin(), offsets_.end(), offset);
    return it == offsets_.begin() ? std::nullopt : std::optional<std::size_t>(*(it - 1));
}

std::optional<std::size_t> Differences::first() const {
    return offsets_.empty() ? std::nullopt : std::optional<std::size_t>(offsets_.front());
}

}  // namespace trilo
