#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

// Data that comes from or goes to a stream rather than a data file: standard input held in a
// file, a read's data given to standard output, a pipe or a device. Failures raise IoError.
namespace trilo {

// Copies the descriptor's data into to, at most limit bytes and one more, so an endless input
// costs no more than that; a read that a signal breaks calls interrupted, which may raise, and
// goes on. True when the input held more than limit bytes.
bool spool(int from, std::FILE* to, std::int64_t limit, const std::function<void()>& interrupted);

// Copies one open stream into another to its end.
void pump(std::FILE* from, std::FILE* to);

// A file opened with fopen's mode, closed at the end of the scope.
struct OpenStream {
    OpenStream(const std::string& path, const char* mode);
    ~OpenStream();
    OpenStream(const OpenStream&) = delete;
    OpenStream& operator=(const OpenStream&) = delete;
    std::FILE* file;
};

// A device node, a pipe or a directory: a file that must be written into, never replaced
// (renaming the buffer over /dev/null would put a plain file in its place).
bool isSpecial(const std::string& path);

}  // namespace trilo
