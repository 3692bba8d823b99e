#pragma once

#include <string>

#include "base/Errors.h"

namespace trilo {

// The directory a path names its file in: "." for a bare name, "/" for "/x".
std::string directoryOf(const std::string& path);

// The temporary files that a replace builds beside its target are named ".trilo-save-"
// and six random characters: short, so a target's name may take all 255 bytes, and unique,
// so two saves of one file never meet. Each is locked while its save runs; one that a save
// which died left behind is unlocked, and the next save in that directory removes it.
inline constexpr const char* kTempPrefix = ".trilo-save-";

// A file of that name exists (a link counts by what it points to); a directory is no file.
bool fileExists(const std::string& path);

// Removes a file, reporting nothing: a deletion has no outcome of its own to tell.
void removeQuietly(const std::string& path);

// A save that would spoil what the user keeps, refused before anything is written: the text
// says why, in the user's language.
class SaveRefused : public IoError {
public:
    explicit SaveRefused(const std::string& text) : IoError(IoError::AccessDenied, text) {}
};

// The file a save puts its data in place of: `to` itself, or the regular file its link leads
// to when the link and that file are the user's own (as the settings are written through
// their link), so the link stays. Refused (SaveRefused): a file its owner made read-only or
// that the user may not write, a link that leads elsewhere or nowhere, a device or FIFO.
std::string saveTarget(const std::string& to);

// Puts the file `from` in the place of `to` so that `to` is at every moment either the old
// file whole or the new one whole, and `from` is gone only once `to` holds its content:
// a rename in one step, or across file systems copyReplace. `to` is taken as saveTarget
// takes it. The new file keeps the mode and the owner of the one it replaces (the owner where
// the user may give it: root's save leaves a user's file the user's). Failures raise IoError.
void replaceFile(const std::string& from, const std::string& to);

// The way across file systems: copy to a temporary file beside `to`, flush it to disk, rename
// it over `to`, and only then remove `from`. On failure the temporary file goes, `to` and
// `from` stay as they were.
void copyReplace(const std::string& from, const std::string& to);

// Writes content as the whole new file `to` (taken as saveTarget takes it), through a temporary
// file beside it that is flushed to disk and renamed over it, so it is never left half-written.
// Failures raise IoError and leave `to` as it was.
void writeWholeFile(const std::string& to, const std::string& content);

// Writes content as the file `to` only where there is none yet: built and flushed to disk
// beside it as writeWholeFile builds it, then linked into place, so that of two made at once
// one stands whole and the other is dropped. False when `to` was there already. Failures
// raise IoError.
bool createWholeFile(const std::string& to, const std::string& content);

}  // namespace trilo
