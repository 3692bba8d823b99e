// libFuzzer target for the ELF reader and the recognition of a file by its first bytes:
// whatever the bytes, the reader either refuses them with a message, or gives images within
// the address limit; an input the reader takes is recognised as ELF by its content.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "formats/DataFormat.h"
#include "formats/Elf.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const trilo::ElfReadResult result = trilo::readElf({data, size});
    if (const auto* refusal = std::get_if<trilo::ElfRefusal>(&result)) {
        if (refusal->message.find("ELF") == std::string::npos ||
            !refusal->message.ends_with(" ! ")) {
            std::abort();
        }
        return 0;
    }
    const auto& images = std::get<trilo::ElfImages>(result);
    if (images.flash.size() > trilo::kHexAddressLimit ||
        (images.eeprom && images.eeprom->size() > trilo::kHexAddressLimit)) {
        std::abort();
    }
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto format = trilo::formatOf("main", bytes);
    if (!std::holds_alternative<const trilo::DataFormat*>(format) ||
        std::string_view(std::get<const trilo::DataFormat*>(format)->name) != "ELF") {
        std::abort();
    }
    return 0;
}
