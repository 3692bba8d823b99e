#pragma once

#include <string>

namespace trilo {

// The directory a path names its file in: "." for a bare name, "/" for "/x".
std::string directoryOf(const std::string& path);

// The temporary file that a replace of `to` builds beside it: ".<name>.trilo-save". One fixed
// name per target, so a save that dies leaves one at most, which the next save clears away.
std::string tempFileFor(const std::string& to);

// A file of that name exists (a link counts by what it points to); a directory is no file.
bool fileExists(const std::string& path);

// Removes a file, reporting nothing: a deletion has no outcome of its own to tell.
void removeQuietly(const std::string& path);

// Puts the file `from` in the place of `to` so that `to` is at every moment either the old
// file whole or the new one whole, and `from` is gone only once `to` holds its content:
// a rename in one step, or across file systems copyReplace. Failures raise IoError.
void replaceFile(const std::string& from, const std::string& to);

// The way across file systems: copy to a temporary file beside `to`, flush it to disk, rename
// it over `to`, and only then remove `from`. On failure the temporary file goes, `to` and
// `from` stay as they were.
void copyReplace(const std::string& from, const std::string& to);

// Writes content as the whole new file `to`, through a temporary file beside it that is
// flushed to disk and renamed over `to`, so `to` is never left half-written.
// Failures raise IoError and leave `to` as it was.
void writeWholeFile(const std::string& to, const std::string& content);

}  // namespace trilo
