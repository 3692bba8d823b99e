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

bool openInput(OpContext& c, const InputFile& file, bool avrFlash) {
    c.swappedWords = false;
    if (!isIntelHex(file.path, file.format)) {
        c.DataFile.openRead(file.path);
        c.input = &c.DataFile;
        return true;
    }
    const auto bytes = readWhole(c.DataFile, file.path);
    if (!bytes) {
        c.sink.info("Soubor HEX je příliš velký ! ");
        return false;
    }
    const HexReadResult result =
        readIntelHex(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
    if (const auto* refusal = std::get_if<HexRefusal>(&result)) {
        c.sink.info(refusal->message);
        return false;
    }
    HexImage image = std::get<HexImage>(result);
    if (avrFlash) {
        swapWordBytes(image);
        c.swappedWords = true;
    }
    c.image = std::make_unique<ImageSource>(std::move(image));
    c.input = c.image.get();
    return true;
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
