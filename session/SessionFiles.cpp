#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "base/Errors.h"
#include "commands/DataFiles.h"
#include "session/Session.h"
#include "data/BufferDir.h"
#include "data/DataFormat.h"
#include "data/FileMove.h"
#include "data/Settings.h"
#include "devices/Catalog.h"

namespace trilo {

namespace {

namespace fs = std::filesystem;
using commands::FileFormat;

constexpr const char* kNoData = "Nejsou data k zápisu !";
constexpr const char* kOverwrite = "Přepsat soubor ?";
constexpr const char* kSaveRead = "Uložit načtená data ?  ";
// A section of its own, so the keys the program has always written stay where they were.
constexpr const char* kRecent = "RECENT_PRG";

// The box that refuses a save, naming the file.
std::string refusalText(const std::string& path, const std::string& refusal) {
    return "Do souboru " + path + " nelze uložit: " + refusal + ".";
}

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

}  // namespace

void Session::setupBuffer() {
    // The lock comes before the stale buffer goes: the buffer of a running instance is
    // unsaved data, not a leftover. It is the user's, whichever runtime directory the
    // session names, so one window runs per user.
    instanceLock_ = std::make_unique<InstanceLock>(prepareUserTempDir(platform_));
    const std::string dir = preparePrivateDir(platform_);
    files_.BufferFile = joinPath(dir, kBufferName);
    removeQuietly(files_.BufferFile);
}

std::string Session::windowSocketPath(Platform& platform) {
    try {
        return joinPath(prepareUserTempDir(platform), "window.socket");
    } catch (const StartupAbort&) {
        // Without a safe directory there is no window to reach, nor one to be reached.
        return {};
    }
}

void Session::FormClose() {
    while (fileExists(files_.BufferFile)) {
        // Yes is what Enter gives; read data go only by an explicit No, never by Esc.
        if (view_.askYesNo({kSaveRead, {}, true, false})) {
            SaveBufferAs();
        } else {
            removeQuietly(files_.BufferFile);
            // Discarded as the user said, even if the deletion failed: the question must not
            // keep the window from closing.
            break;
        }
    }
}

void Session::mnuOpenClick() {
    std::string choice = files_.CurrentFile;
    for (;;) {
        const auto answer = view_.openFileDialog(choice);
        if (!answer) {
            // Cancel ends the command; the file chosen before stays.
            return;
        }
        choice = *answer;
        if (fileExists(choice)) {
            break;
        }
    }
    useDataFile(choice);
}

void Session::openDataFile(const std::string& path) {
    if (!fileExists(path)) {
        throw IoError(IoError::FileNotFound);
    }
    useDataFile(path);
}

void Session::openRecentFile(std::size_t index) {
    if (index >= files_.RecentFiles.size()) {
        return;
    }
    const std::string path = files_.RecentFiles[index];
    if (fileExists(path)) {
        useDataFile(path);
        return;
    }
    files_.RecentFiles.erase(files_.RecentFiles.begin() + static_cast<std::ptrdiff_t>(index));
    view_.showInfo("Soubor " + path + " už neexistuje, ze seznamu posledních souborů je odebrán.");
    SaveSettings();
}

void Session::useDataFile(const std::string& path) {
    files_.CurrentFile = path;
    view_.setCaption(Control::txFile, files_.CurrentFile);
    view_.dataChanged(View::DataSide::File);
    std::erase(files_.RecentFiles, path);
    files_.RecentFiles.insert(files_.RecentFiles.begin(), path);
    if (files_.RecentFiles.size() > Files::kRecentLimit) {
        files_.RecentFiles.resize(Files::kRecentLimit);
    }
    SaveSettings();
}

void Session::loadRecentFiles(const SettingsFile& file) {
    files_.RecentFiles.clear();
    for (std::size_t k = 0; k < Files::kRecentLimit; ++k) {
        const std::string path = file.value(kRecent, recentKey(k)).value_or("");
        if (!path.empty() && std::find(files_.RecentFiles.begin(), files_.RecentFiles.end(),
                                       path) == files_.RecentFiles.end()) {
            files_.RecentFiles.push_back(path);
        }
    }
}

void Session::storeRecentFiles(SettingsFile& file) const {
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

void Session::mnuSaveClick() {
    if (files_.CurrentFile.empty()) {
        SaveBufferAs();
        return;
    }
    // Without a buffer there is nothing to put in the file's place, so the file stays.
    if (!fileExists(files_.BufferFile)) {
        view_.showInfo(kNoData);
        return;
    }
    // A file the program cannot write (the ELF a write took) is no place for a raw dump: the
    // user is told, and chooses another name as if there were none.
    if (const auto refusal = commands::saveRefusal(files_.CurrentFile)) {
        view_.showInfo(refusalText(files_.CurrentFile, *refusal));
        SaveBufferAs();
        return;
    }
    moveBufferTo(files_.CurrentFile);
}

void Session::mnuSaveAsClick() {
    SaveBufferAs();
}

void Session::SaveBufferAs() {
    if (!fileExists(files_.BufferFile)) {
        view_.showInfo(kNoData);
        return;
    }
    const std::string remembered = files_.CurrentFile;
    // A name of the read's own, never the data file's: three Enters must not turn the
    // program the user wrote into a dump of the chip.
    std::string preset = proposedSaveName();
    for (;;) {
        files_.CurrentFile = view_.saveFileDialog(preset).value_or("");
        if (files_.CurrentFile.empty()) {
            break;
        }
        // A rejected name comes back preset.
        preset = files_.CurrentFile;
        if (const auto refusal = commands::saveRefusal(files_.CurrentFile)) {
            view_.showInfo(refusalText(files_.CurrentFile, *refusal));
            continue;
        }
        if (!fileExists(files_.CurrentFile) ||
            view_.askYesNo({kOverwrite, files_.CurrentFile, false, true})) {
            break;
        }
    }
    if (files_.CurrentFile.empty()) {
        files_.CurrentFile = remembered;
        return;
    }
    moveBufferTo(files_.CurrentFile);
}

std::string Session::proposedSaveName() const {
    const DeviceInfo* device =
        findDevice(files_.bufferDevice != 0 ? files_.bufferDevice : selection_.DeviceId);
    const std::string stem =
        std::string(device != nullptr ? device->name : "data") +
        (files_.bufferContent == commands::BufferContent::AvrEeprom ? "-eeprom" : "-flash");
    // The data file's kind where the program writes it, spelled as the user spells it.
    std::string extension = ".bin";
    if (!files_.CurrentFile.empty()) {
        const FileFormat format = commands::savedFormat(files_.CurrentFile, FileFormat::ByName);
        const bool named = formatOfName(files_.CurrentFile).has_value();
        if (format == FileFormat::IntelHex) {
            extension = named ? fs::path(files_.CurrentFile).extension().string() : ".hex";
        } else if (format == FileFormat::SRecord) {
            extension = named ? fs::path(files_.CurrentFile).extension().string() : ".srec";
        }
    }
    const std::string dir = files_.CurrentFile.empty() ? "" : directoryOf(files_.CurrentFile);
    // A name that is free, so the overwrite question does not come at all.
    for (int n = 1;; ++n) {
        const std::string name = stem + (n > 1 ? "-" + std::to_string(n) : "") + extension;
        const std::string path = dir.empty() ? name : joinPath(dir, name);
        std::error_code error;
        if ((path != files_.CurrentFile && !fs::exists(fs::symlink_status(path, error))) ||
            n >= 99) {
            return path;
        }
    }
}

void Session::moveBufferTo(const std::string& target) {
    // The program's own directory is emptied at every start: a file saved there would be
    // lost, the buffer itself most of all.
    if (sameDirectory(target, files_.BufferFile)) {
        throw TriloError("Soubor nelze uložit do pracovního adresáře programu " +
                         directoryOf(files_.BufferFile));
    }
    // The old target gives way only once the new content is complete, so a failed save
    // leaves both the old file and the read data where they were.
    commands::storeBuffer(files_.BufferFile, target, files_.bufferContent);
    files_.DataFile.openRead(target);
    files_.DataFile.close();
    view_.setEnabled(Control::mnuSave, false);
    view_.setEnabled(Control::mnuSaveAs, false);
    useDataFile(target);
}

}  // namespace trilo
