#include "commands/DataFiles.h"

#include <optional>
#include <variant>

#include "base/Errors.h"
#include "data/FileMove.h"
#include "data/IntelHex.h"

namespace trilo::commands {

namespace {

// Far above the text of the largest image a HEX file may describe: a bound on what a stray
// file can make the program read into memory.
constexpr std::int64_t kLargestHexText = 64 << 20;
constexpr const char* kHexTooLarge = "Soubor HEX je příliš velký ! ";
constexpr const char* kFileTooLargeToShow = "Soubor je příliš velký ! ";

// The whole file; nothing when it is too large to be a HEX file of any chip.
std::optional<std::vector<std::uint8_t>> readWhole(ByteFile& file, const std::string& path) {
    file.openRead(path);
    const std::int64_t size = file.size();
    if (size > kLargestHexText) {
        file.close();
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    for (auto& b : bytes) {
        b = file.readByte();
    }
    file.close();
    return bytes;
}

}  // namespace

bool isIntelHex(const std::string& path, FileFormat format) {
    return format == FileFormat::IntelHex || (format == FileFormat::ByName && isIntelHexName(path));
}

namespace {

// An Intel HEX data file decoded as a write takes it, or the text of its refusal.
InputImage decodedHex(ByteFile& file, const std::string& path, bool avrFlash) {
    const auto bytes = readWhole(file, path);
    if (!bytes) {
        return std::string(kHexTooLarge);
    }
    HexReadResult result =
        readIntelHex(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
    if (auto* refusal = std::get_if<HexRefusal>(&result)) {
        return std::move(refusal->message);
    }
    HexImage image = std::get<HexImage>(std::move(result));
    if (avrFlash) {
        swapWordBytes(image);
    }
    return image;
}

}  // namespace

bool openInput(OpContext& c, const InputFile& file, bool avrFlash) {
    if (!isIntelHex(file.path, file.format)) {
        c.DataFile.openRead(file.path);
        c.input = &c.DataFile;
        return true;
    }
    InputImage decoded = decodedHex(c.DataFile, file.path, avrFlash);
    if (const auto* refusal = std::get_if<std::string>(&decoded)) {
        c.sink.info(*refusal);
        return false;
    }
    c.image = std::make_unique<ImageSource>(std::get<HexImage>(std::move(decoded)));
    c.input = c.image.get();
    return true;
}

InputImage inputImage(const InputFile& file, bool avrFlash) {
    if (!fileExists(file.path)) {
        return std::string(kNoInputFile);
    }
    ByteFile handle;
    if (isIntelHex(file.path, file.format)) {
        return decodedHex(handle, file.path, avrFlash);
    }
    auto bytes = readWhole(handle, file.path);
    if (!bytes) {
        return std::string(kFileTooLargeToShow);
    }
    // The word-wise write gives an odd last byte a partner of 0xFF.
    if (avrFlash && bytes->size() % 2 != 0) {
        bytes->push_back(0xFF);
    }
    return std::move(*bytes);
}

void storeBuffer(const std::string& buffer, const std::string& target, BufferContent content,
                 FileFormat format) {
    if (!isIntelHex(target, format)) {
        replaceFile(buffer, target);
        return;
    }
    ByteFile file;
    HexImage image = readWhole(file, buffer).value_or(HexImage{});
    if (content == BufferContent::AvrFlash) {
        swapWordBytes(image);
    }
    writeWholeFile(target, writeIntelHex(image));
    removeQuietly(buffer);
}

}  // namespace trilo::commands
