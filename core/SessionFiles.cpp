#include <sys/stat.h>

#include "base/Errors.h"
#include "commands/DataFiles.h"
#include "core/Session.h"
#include "data/BufferDir.h"
#include "data/FileMove.h"

namespace trilo {

namespace {

constexpr const char* kNoData = "Nejsou data k zápisu !";
constexpr const char* kOverwrite = "Přepsat soubor ?";
constexpr const char* kSaveRead = "Uložit načtená data ?  ";

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

void Session::FormClose() {
    while (fileExists(files_.BufferFile)) {
        if (view_.askYesNo(kSaveRead)) {
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
    files_.CurrentFile = choice;
    view_.setCaption(Control::txFile, files_.CurrentFile);
    view_.dataChanged(View::DataSide::File);
    SaveSettings();
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
    for (;;) {
        files_.CurrentFile = view_.saveFileDialog(files_.CurrentFile).value_or("");
        if (files_.CurrentFile.empty() || !fileExists(files_.CurrentFile) ||
            view_.askYesNo(kOverwrite)) {
            break;
        }
    }
    if (files_.CurrentFile.empty()) {
        files_.CurrentFile = remembered;
        return;
    }
    moveBufferTo(files_.CurrentFile);
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
    view_.setCaption(Control::txFile, target);
    view_.setEnabled(Control::mnuSave, false);
    view_.setEnabled(Control::mnuSaveAs, false);
    SaveSettings();
}

}  // namespace trilo
