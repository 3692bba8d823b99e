// The engine's files: the buffer, the data file, the recent files, and what the data window
// shows of them.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "base/Errors.h"
#include "base/Text.h"
#include "commands/DataFiles.h"
#include "devices/Catalog.h"
#include "engine/Engine.h"
#include "files/BufferDir.h"
#include "files/FileMove.h"
#include "formats/IntelHex.h"
#include "settings/Settings.h"

namespace trilo {

namespace {

namespace fs = std::filesystem;

// A section of its own, so the keys the program has always written stay where they were.
constexpr const char* kRecent = "RECENT_PRG";
constexpr const char* kData = "DATA_PRG";

std::string recentKey(std::size_t index) {
    return "File" + std::to_string(index + 1);
}

// Whether a file of that name would lie in the same directory as the other, however the
// name is spelled (a relative path, a link to the directory).
bool sameDirectory(const std::string& path, const std::string& other) {
    struct stat a {};
    struct stat b {};
    return ::stat(directoryOf(path).c_str(), &a) == 0 &&
           ::stat(directoryOf(other).c_str(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

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

void Engine::setupBuffer() {
    // The lock comes before the stale buffer goes: the buffer of a running instance is
    // unsaved data, not a leftover. It is the user's, whichever runtime directory the
    // session names, so one window runs per user.
    instanceLock_ = std::make_unique<InstanceLock>(prepareUserTempDir(platform_));
    const std::string dir = preparePrivateDir(platform_);
    files_.BufferFile = joinPath(dir, kBufferName);
    removeQuietly(files_.BufferFile);
}

std::string Engine::windowSocketPath(Platform& platform) {
    try {
        return joinPath(prepareUserTempDir(platform), "window.socket");
    } catch (const StartupAbort&) {
        // Without a safe directory there is no window to reach, nor one to be reached.
        return {};
    }
}

void Engine::openDataFile(const std::string& path) {
    if (busy()) {
        pendingFile_ = path;
        return;
    }
    if (!fileExists(path)) {
        throw IoError(IoError::FileNotFound);
    }
    useDataFile(path);
}

bool Engine::openRecentFile(std::size_t index) {
    if (index >= files_.RecentFiles.size()) {
        return true;
    }
    const std::string path = files_.RecentFiles[index];
    if (fileExists(path)) {
        useDataFile(path);
        return true;
    }
    files_.RecentFiles.erase(files_.RecentFiles.begin() + static_cast<std::ptrdiff_t>(index));
    tell(format(_("Soubor {} už neexistuje, ze seznamu posledních souborů je odebrán."), path));
    saveSettings();
    return false;
}

void Engine::useDataFile(const std::string& path) {
    files_.CurrentFile = path;
    listener_.fileChanged();
    std::erase(files_.RecentFiles, path);
    files_.RecentFiles.insert(files_.RecentFiles.begin(), path);
    if (files_.RecentFiles.size() > Files::kRecentLimit) {
        files_.RecentFiles.resize(Files::kRecentLimit);
    }
    saveSettings();
}

void Engine::loadRecentFiles(const SettingsFile& file) {
    files_.RecentFiles.clear();
    for (std::size_t k = 0; k < Files::kRecentLimit; ++k) {
        const std::string path = file.value(kRecent, recentKey(k)).value_or("");
        if (!path.empty() && std::find(files_.RecentFiles.begin(), files_.RecentFiles.end(),
                                       path) == files_.RecentFiles.end()) {
            files_.RecentFiles.push_back(path);
        }
    }
}

void Engine::storeRecentFiles(SettingsFile& file) const {
    // A file that never had a list gets no empty section; a shorter list empties the keys
    // it no longer fills, as the editor keeps every line it has read.
    for (std::size_t k = 0; k < Files::kRecentLimit; ++k) {
        if (k < files_.RecentFiles.size()) {
            file.set(kRecent, recentKey(k), files_.RecentFiles[k]);
        } else if (file.value(kRecent, recentKey(k)).value_or("") != "") {
            file.set(kRecent, recentKey(k), "");
        }
    }
}

std::string Engine::proposedSaveName() const {
    const DeviceInfo* device =
        findDevice(files_.bufferDevice != 0 ? files_.bufferDevice : selection_.DeviceId);
    const std::string stem =
        std::string(device != nullptr ? device->name : "data") +
        (files_.bufferContent == commands::BufferContent::AvrEeprom ? "-eeprom" : "-flash");
    // The data file's kind where the program writes it, spelled as the user spells it.
    const std::string extension = commands::savedExtension(files_.CurrentFile);
    const std::string dir = files_.CurrentFile.empty() ? "" : directoryOf(files_.CurrentFile);
    // A name that is free, so the overwrite question does not come at all.
    for (int n = 1;; ++n) {
        // Appended piece by piece: GCC 12 takes "-" + to_string(n) for an overlapping copy.
        std::string name = stem;
        if (n > 1) {
            name += '-';
            name += std::to_string(n);
        }
        name += extension;
        const std::string path = dir.empty() ? name : joinPath(dir, name);
        std::error_code error;
        if ((path != files_.CurrentFile && !fs::exists(fs::symlink_status(path, error))) ||
            n >= 99) {
            return path;
        }
    }
}

void Engine::saveBufferTo(const std::string& target) {
    // The program's own directory is emptied at every start: a file saved there would be
    // lost, the buffer itself most of all.
    if (sameDirectory(target, files_.BufferFile)) {
        throw TriloError(format(_("Soubor nelze uložit do pracovního adresáře programu {}"),
                                directoryOf(files_.BufferFile)));
    }
    // The old target gives way only once the new content is complete, so a failed save
    // leaves both the old file and the read data where they were.
    commands::storeBuffer(files_.BufferFile, target, files_.bufferContent);
    files_.DataFile.openRead(target);
    files_.DataFile.close();
}

bool Engine::holdsBuffer() const {
    return fileExists(files_.BufferFile);
}

commands::InputImage Engine::bufferImage() const {
    return toolOrder(commands::inputImage({files_.BufferFile, commands::FileFormat::Raw},
                                          commands::BufferContent::None),
                     bufferIsAvrFlash());
}

std::string Engine::bufferDeviceName() const {
    return nameOf(files_.bufferDevice);
}

std::string Engine::selectedDeviceName() const {
    return nameOf(selection_.DeviceId);
}

// The file is compared with what the buffer holds: after an EEPROM read, as an EEPROM write
// takes it.
commands::BufferContent Engine::fileMemory() const {
    if (files_.bufferContent == commands::BufferContent::AvrEeprom) {
        return files_.bufferContent;
    }
    const DeviceInfo* device = findDevice(selection_.DeviceId);
    return device != nullptr ? commands::ReadContent(*device) : commands::BufferContent::Mcs51Flash;
}

commands::InputImage Engine::fileImage() const {
    if (files_.CurrentFile.empty()) {
        return std::string(_(kNoInputFile));
    }
    const commands::BufferContent memory = fileMemory();
    return toolOrder(commands::inputImage(files_.CurrentFile, memory),
                     memory == commands::BufferContent::AvrFlash);
}

std::optional<std::pair<int, int>> Engine::dataViewSize() const {
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

void Engine::rememberDataViewSize(int width, int height) {
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
