#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "ops/Operation.h"

namespace trilo::commands {

// How a data file is read or written: Intel HEX when its name ends in .hex, .ihx or .ihex,
// raw bytes otherwise, unless the caller says which.
enum class FileFormat { ByName, Raw, IntelHex };

// What the last read left in the buffer, so that a save as Intel HEX knows the word order.
enum class BufferContent { None, AvrFlash, AvrEeprom, Mcs51Flash };

// The data file of a Write, Verify or EEPROM write.
struct InputFile {
    InputFile(std::string p, FileFormat f = FileFormat::ByName) : path(std::move(p)), format(f) {}
    std::string path;
    FileFormat format;
};

bool isIntelHex(const std::string& path, FileFormat format);

// Opens the data file for the operation to read: a raw file through DataFile, an Intel HEX
// file read whole into an image, an AVR flash image turned to the program's word order
// (high byte first). False after its message when the HEX file is not valid; the chip has
// not been touched then. The file must exist.
bool openInput(OpContext& c, const InputFile& file, bool avrFlash);

// The data file's bytes as a write takes them, decoded as openInput decodes them; an AVR
// flash image that ends in an odd byte shows the 0xFF the write pairs it with. Or the text
// that says why there are none (no file, a HEX file that is not valid, one far too large).
using InputImage = std::variant<std::vector<std::uint8_t>, std::string>;
InputImage inputImage(const InputFile& file, bool avrFlash);

// Puts what a read left in the buffer file at target, replacing what was there in one step:
// raw bytes by moving the buffer, Intel HEX by writing the text whole (an AVR flash image in
// the toolchains' word order, low byte first). Either way the buffer is gone afterwards.
void storeBuffer(const std::string& buffer, const std::string& target, BufferContent content,
                 FileFormat format = FileFormat::ByName);

}  // namespace trilo::commands
