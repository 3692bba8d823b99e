#include "commands/DataFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <optional>
#include <string_view>
#include <variant>
#include <vector>

#include "base/Errors.h"
#include "base/Text.h"
#include "files/FileMove.h"
#include "formats/DataFormat.h"

namespace trilo::commands {

namespace {

constexpr const char* kFileTooLargeToShow = N_("Soubor je příliš velký ! ");

// Enough of a file's start to tell its format.
constexpr std::int64_t kHeadBytes = 512;

// The first `limit` bytes of the file, or all of it.
std::string readStart(ByteFile& file, const std::string& path, std::int64_t limit) {
    file.openRead(path);
    std::string bytes(static_cast<std::size_t>(std::min(file.size(), limit)), '\0');
    for (auto& b : bytes) {
        b = static_cast<char>(file.readByte());
    }
    file.close();
    return bytes;
}

// The whole file; nothing when it is too large to be a HEX file of any chip.
std::optional<std::string> readWhole(ByteFile& file, const std::string& path) {
    file.openRead(path);
    const bool tooLarge = file.size() > kLargestHexText;
    file.close();
    return tooLarge ? std::nullopt : std::optional(readStart(file, path, kLargestHexText));
}

// The format the file is read in, or the refusal of its content.
std::variant<const DataFormat*, std::string> inputFormat(ByteFile& file, const InputFile& input) {
    if (const DataFormat* chosen = input.format.format()) {
        return chosen;
    }
    // A raw name is never looked into: its bytes may be anything.
    if (const DataFormat* named = formatOfName(input.path); named != nullptr && named->asIs()) {
        return named;
    }
    return formatOf(input.path, readStart(file, input.path, kHeadBytes));
}

}  // namespace

namespace {

// The format of the file a save would replace: its extension's, or for a name whose extension
// says nothing, what the regular file there holds, as a read would take it. Nothing for a
// name that says nothing and no file (or no regular one: a pipe is never read for this).
const DataFormat* targetFormat(const std::string& path) {
    if (const DataFormat* named = formatOfName(path)) {
        return named;
    }
    // Looked at before it is opened: opening a device may have effects of its own.
    struct stat looked {};
    if (::stat(path.c_str(), &looked) != 0 || !S_ISREG(looked.st_mode)) {
        return nullptr;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    struct stat opened {};
    std::string head(static_cast<std::size_t>(kHeadBytes), '\0');
    ssize_t got = -1;
    if (::fstat(fd, &opened) == 0 && opened.st_dev == looked.st_dev &&
        opened.st_ino == looked.st_ino) {
        got = ::read(fd, head.data(), head.size());
    }
    ::close(fd);
    if (got < 0) {
        return nullptr;
    }
    head.resize(static_cast<std::size_t>(got));
    const auto format = formatOf(path, head);
    return std::holds_alternative<const DataFormat*>(format) ? std::get<const DataFormat*>(format)
                                                             : nullptr;
}

}  // namespace

FileFormat savedFormat(const std::string& path, FileFormat format) {
    if (format != FileFormat::ByName) {
        return format;
    }
    const DataFormat* target = targetFormat(path);
    return target != nullptr && target->writable() ? *target : rawFormat();
}

std::string savedExtension(const std::string& dataFile) {
    const DataFormat& saved = *savedFormat(dataFile, FileFormat::ByName).format();
    if (!dataFile.empty() && !saved.asIs() && formatOfName(dataFile) != nullptr) {
        return std::filesystem::path(dataFile).extension().string();
    }
    return std::string(saved.extensions.front());
}

std::optional<std::string> saveRefusal(const std::string& path, FileFormat format) {
    const DataFormat* target = format == FileFormat::ByName ? targetFormat(path) : format.format();
    if (target == nullptr || target->writable()) {
        return std::nullopt;
    }
    std::string extension = std::filesystem::path(path).extension().string();
    for (char& c : extension) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    // What it may be saved as instead: the first extension of each format that is written.
    std::vector<std::string_view> instead;
    for (const DataFormat& f : dataFormats()) {
        if (f.writable()) {
            instead.push_back(f.extensions.front());
        }
    }
    const char* const kind = _(target->name);
    if (format != FileFormat::ByName) {
        return trilo::format(
            _("formát {0}, který program jen čte a nezapisuje; data uložte jako {1}"), kind,
            alternatives(instead));
    }
    if (formatOfName(path) != nullptr) {
        return trilo::format(
            _("přípona {0} patří {1}, který program jen čte a nezapisuje; data uložte jako {2}"),
            extension, kind, alternatives(instead));
    }
    return trilo::format(
        _("soubor obsahuje {0}, který program jen čte a nezapisuje; data uložte jako {1}"), kind,
        alternatives(instead));
}

namespace {

// A file that is not raw, read whole and decoded for `memory` as a write takes it, or the
// text of its refusal.
InputImage decodedImage(ByteFile& file, const std::string& path, const DataFormat& format,
                        BufferContent memory) {
    const auto bytes = readWhole(file, path);
    if (!bytes) {
        return trilo::format(_("Soubor {} je příliš velký ! "), format.kind);
    }
    ImageRead image = format.read(*bytes, {.avr = memory != BufferContent::Mcs51Flash,
                                           .eeprom = memory == BufferContent::AvrEeprom});
    if (auto* refusal = std::get_if<std::string>(&image)) {
        return std::move(*refusal);
    }
    if (memory == BufferContent::AvrFlash) {
        swapWordBytes(std::get<HexImage>(image));
    }
    return std::get<HexImage>(std::move(image));
}

}  // namespace

bool openInput(OpContext& c, const InputFile& file, BufferContent memory) {
    // Raw or decoded, the operations take an AVR word high byte first; the user's tools
    // number its bytes the other way.
    c.swappedWords = memory == BufferContent::AvrFlash;
    c.rawInput = false;
    const auto format = inputFormat(c.DataFile, file);
    if (const auto* refusal = std::get_if<std::string>(&format)) {
        c.sink.info(*refusal);
        return false;
    }
    const DataFormat& read = *std::get<const DataFormat*>(format);
    if (read.asIs()) {
        c.DataFile.openRead(file.path);
        c.input = &c.DataFile;
        c.rawInput = true;
        return true;
    }
    InputImage image = decodedImage(c.DataFile, file.path, read, memory);
    if (const auto* refusal = std::get_if<std::string>(&image)) {
        c.sink.info(*refusal);
        return false;
    }
    c.image = std::make_unique<ImageSource>(std::get<HexImage>(std::move(image)));
    c.input = c.image.get();
    return true;
}

InputImage inputImage(const InputFile& file, BufferContent memory) {
    if (!fileExists(file.path)) {
        return std::string(_(kNoInputFile));
    }
    ByteFile handle;
    const auto format = inputFormat(handle, file);
    if (const auto* refusal = std::get_if<std::string>(&format)) {
        return *refusal;
    }
    if (const DataFormat& read = *std::get<const DataFormat*>(format); !read.asIs()) {
        return decodedImage(handle, file.path, read, memory);
    }
    const auto bytes = readWhole(handle, file.path);
    if (!bytes) {
        return std::string(_(kFileTooLargeToShow));
    }
    HexImage image(bytes->begin(), bytes->end());
    // The word-wise write gives an odd last byte a partner of 0xFF.
    if (memory == BufferContent::AvrFlash && image.size() % 2 != 0) {
        image.push_back(0xFF);
    }
    return image;
}

void storeBuffer(const std::string& buffer, const std::string& target, BufferContent content,
                 FileFormat format) {
    if (auto refusal = saveRefusal(target, format)) {
        throw TriloError(std::move(*refusal));
    }
    const DataFormat& saved = *savedFormat(target, format).format();
    if (saved.asIs()) {
        replaceFile(buffer, target);
        return;
    }
    ByteFile file;
    const std::string bytes = readWhole(file, buffer).value_or(std::string());
    HexImage image(bytes.begin(), bytes.end());
    if (content == BufferContent::AvrFlash) {
        swapWordBytes(image);
    }
    writeWholeFile(target, saved.write(image));
    removeQuietly(buffer);
}

}  // namespace trilo::commands
