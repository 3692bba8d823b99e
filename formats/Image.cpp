#include "formats/Image.h"

#include <utility>

namespace trilo {

void swapWordBytes(HexImage& image) {
    if (image.size() % 2 != 0) {
        image.push_back(0xFF);
    }
    for (std::size_t i = 0; i < image.size(); i += 2) {
        std::swap(image[i], image[i + 1]);
    }
}

}  // namespace trilo
