// What the data window shows and the one thing it remembers, its size.
#include "base/Errors.h"
#include "commands/Commands.h"
#include "session/Session.h"
#include "data/FileMove.h"
#include "data/IntelHex.h"
#include "data/Settings.h"
#include "devices/Catalog.h"

namespace trilo {

namespace {

constexpr const char* kData = "DATA_PRG";

// An AVR flash turned to its tools' order, low byte of each word first.
commands::InputImage toolOrder(commands::InputImage image, bool avrFlash) {
    if (auto* bytes = std::get_if<std::vector<std::uint8_t>>(&image); bytes && avrFlash) {
        swapWordBytes(*bytes);
    }
    return image;
}

std::string nameOf(std::int32_t id) {
    const DeviceInfo* device = findDevice(id);
    return device != nullptr ? device->name : "";
}

}  // namespace

bool Session::holdsBuffer() const {
    return fileExists(files_.BufferFile);
}

commands::InputImage Session::bufferImage() const {
    return toolOrder(commands::inputImage({files_.BufferFile, commands::FileFormat::Raw},
                                          commands::BufferContent::None),
                     bufferIsAvrFlash());
}

std::string Session::bufferDeviceName() const {
    return nameOf(files_.bufferDevice);
}

std::string Session::selectedDeviceName() const {
    return nameOf(selection_.DeviceId);
}

// The file is compared with what the buffer holds: after an EEPROM read, as an EEPROM write
// takes it.
commands::BufferContent Session::fileMemory() const {
    if (files_.bufferContent == commands::BufferContent::AvrEeprom) {
        return files_.bufferContent;
    }
    const DeviceInfo* device = findDevice(selection_.DeviceId);
    return device != nullptr ? commands::ReadContent(*device) : commands::BufferContent::Mcs51Flash;
}

commands::InputImage Session::fileImage() const {
    if (files_.CurrentFile.empty()) {
        return std::string(kNoInputFile);
    }
    const commands::BufferContent memory = fileMemory();
    return toolOrder(commands::inputImage(files_.CurrentFile, memory),
                     memory == commands::BufferContent::AvrFlash);
}

std::optional<std::pair<int, int>> Session::dataViewSize() const {
    SettingsFile file(options_.SettingsPath);
    try {
        file.load();
    } catch (const SettingsReadError&) {
        return std::nullopt;
    }
    // Another user's file is not read at all.
    if (!file.trusted()) {
        return std::nullopt;
    }
    const auto width = parseSettingsInteger(file.value(kData, "Width").value_or(""));
    const auto height = parseSettingsInteger(file.value(kData, "Height").value_or(""));
    if (!width || !height || *width <= 0 || *height <= 0) {
        return std::nullopt;
    }
    return std::pair{*width, *height};
}

void Session::rememberDataViewSize(int width, int height) {
    // Never another user's file, nor one that could not be read at start-up; a size is not
    // worth a message.
    if (settingsUntrusted_ || !settingsUnreadable_.empty() ||
        dataViewSize() == std::pair{width, height}) {
        return;
    }
    SettingsFile file(options_.SettingsPath);
    file.load();
    file.set(kData, "Width", std::to_string(width));
    file.set(kData, "Height", std::to_string(height));
    file.save();
}

}  // namespace trilo
