// What the data window shows and the one thing it remembers, its size.
#include "base/Errors.h"
#include "commands/Commands.h"
#include "core/Session.h"
#include "data/FileMove.h"
#include "data/Settings.h"
#include "devices/Catalog.h"

namespace trilo {

namespace {

constexpr const char* kData = "DATA_PRG";

}  // namespace

bool Session::holdsBuffer() const {
    return fileExists(files_.BufferFile);
}

commands::InputImage Session::bufferImage() const {
    return commands::inputImage({files_.BufferFile, commands::FileFormat::Raw},
                                commands::BufferContent::None);
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
    return commands::inputImage(files_.CurrentFile, fileMemory());
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
