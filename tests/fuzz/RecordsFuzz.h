// What the fuzz targets of the record formats check: whatever the bytes, the reader either
// refuses them with a message that names a line of the input, or gives an image that the
// writer and the reader give back unchanged.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "formats/IntelHex.h"

template <class Read, class Write>
int checkRecords(const std::uint8_t* data, std::size_t size, Read read, Write write) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const trilo::HexReadResult result = read(text);
    if (const auto* refusal = std::get_if<trilo::HexRefusal>(&result)) {
        const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
        if (refusal->line == 0 || refusal->line > lines + 1 || !refusal->message.ends_with(" ! ")) {
            std::abort();
        }
        return 0;
    }
    const trilo::HexImage& image = std::get<trilo::HexImage>(result);
    if (image.size() > trilo::kHexAddressLimit) {
        std::abort();
    }
    const trilo::HexReadResult again = read(write(image));
    const auto* back = std::get_if<trilo::HexImage>(&again);
    if (back == nullptr || *back != image) {
        std::abort();
    }
    return 0;
}
