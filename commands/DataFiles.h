#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "formats/DataFormat.h"
#include "ops/Operation.h"

namespace trilo::commands {

// How a data file is read or written: by its name (and, read, by its content), or in the
// format the caller says, a row of the formats' registry.
class FileFormat {
public:
    static const FileFormat ByName;
    static const FileFormat Raw;

    constexpr FileFormat() = default;
    constexpr FileFormat(const DataFormat& format) : format_(&format) {}
    // nullptr for ByName.
    constexpr const DataFormat* format() const { return format_; }
    bool operator==(const FileFormat&) const = default;

private:
    const DataFormat* format_ = nullptr;
};
inline constexpr FileFormat FileFormat::ByName{};
inline const FileFormat FileFormat::Raw{rawFormat()};

// Which memory an image belongs to: what the last read left in the buffer, so that a save
// knows the word order, or what a data file is opened for.
enum class BufferContent { None, AvrFlash, AvrEeprom, Mcs51Flash };

// Far above the text of the largest image a HEX file may describe: a bound on what a stray
// file can make the program read into memory.
inline constexpr std::int64_t kLargestHexText = 64 << 20;

// The data file of a Write, Verify or EEPROM write.
struct InputFile {
    InputFile(std::string p, FileFormat f = FileFormat::ByName) : path(std::move(p)), format(f) {}
    std::string path;
    FileFormat format;
};

// The format a file named `path` is saved in: as the caller says, else the one its extension
// says; a name whose extension says nothing keeps the format of the file that is there, so a
// save never turns a user's HEX file into a raw one; raw bytes otherwise, and for a format
// the program does not write.
FileFormat savedFormat(const std::string& path, FileFormat format);

// The extension of the name a save proposes beside the data file `dataFile`: the data file's
// own where it is saved in a decoded format its name says, spelled as the user spells it,
// else the first of the format it would be saved in (".bin" without a data file).
std::string savedExtension(const std::string& dataFile);

// Why nothing may be saved into `path`: its extension, or for a name whose extension says
// nothing the file that is there, is of a format the program reads but cannot write (ELF),
// and a raw dump would take the file's place. Nothing when the save may go ahead. Both the
// window's saves and the command line's reads ask this before anything is written.
std::optional<std::string> saveRefusal(const std::string& path,
                                       FileFormat format = FileFormat::ByName);

// Opens the data file for the operation to read into `memory`: a raw file through DataFile;
// Intel HEX, S-record or ELF read whole into an image, an AVR flash image turned to the
// program's word order (high byte first). False after its message when the file is refused
// (not valid, its content contradicting its extension, an ELF file without the memory's
// data); the chip has not been touched then. The file must exist.
bool openInput(OpContext& c, const InputFile& file, BufferContent memory);

// The data file's bytes as a write into `memory` takes them, decoded as openInput decodes
// them; an AVR flash image that ends in an odd byte shows the 0xFF the write pairs it with.
// Or the text that says why there are none (no file, a file refused, one far too large).
using InputImage = std::variant<std::vector<std::uint8_t>, std::string>;
InputImage inputImage(const InputFile& file, BufferContent memory);

// Puts what a read left in the buffer file at target, replacing what was there in one step:
// raw bytes by moving the buffer, Intel HEX or S-record by writing the text whole (an AVR
// flash image in the toolchains' word order, low byte first). Either way the buffer is gone
// afterwards. A target saveRefusal refuses is refused here too, before anything is written.
void storeBuffer(const std::string& buffer, const std::string& target, BufferContent content,
                 FileFormat format = FileFormat::ByName);

}  // namespace trilo::commands
