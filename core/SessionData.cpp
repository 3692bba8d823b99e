// What the data window shows and the one thing it remembers, its size.
#include "base/Errors.h"
#include "core/Session.h"
#include "data/Settings.h"
#include "devices/Catalog.h"

namespace trilo {

namespace {

constexpr const char* kData = "DATA_PRG";

}  // namespace

commands::InputImage Session::bufferImage() const {
    return commands::inputImage({BufferFile, commands::FileFormat::Raw},
                                commands::BufferContent::None);
}

// The file is compared with what the buffer holds: after an EEPROM read, as an EEPROM write
// takes it.
commands::BufferContent Session::fileMemory() const {
    if (bufferContent == commands::BufferContent::AvrEeprom) {
        return bufferContent;
    }
    return FamilyTag == kFamilyAvr ? commands::BufferContent::AvrFlash
                                   : commands::BufferContent::Mcs51Flash;
}

commands::InputImage Session::fileImage() const {
    if (CurrentFile.empty()) {
        return std::string(kNoInputFile);
    }
    return commands::inputImage(CurrentFile, fileMemory());
}

std::optional<std::pair<int, int>> Session::dataViewSize() const {
    SettingsFile file(SettingsPath);
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
    SettingsFile file(SettingsPath);
    file.load();
    file.set(kData, "Width", std::to_string(width));
    file.set(kData, "Height", std::to_string(height));
    file.save();
}

}  // namespace trilo
