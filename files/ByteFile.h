#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "files/ByteSource.h"

namespace trilo {

// Opens an existing regular file for reading, and nothing else: opening a device can rewind a
// tape or reset a board, and opening a FIFO wakes its writer. What the name leads to (through
// its links, as for any file the user names) is looked at first, only a regular file is opened,
// without following a link, and the file opened must be the one looked at. Raises
// NotRegularFile for a directory, FIFO or device, FileSwapped when the name changed in
// between, and the IoError of the failed call otherwise. The caller closes the descriptor.
int openRegularFile(const std::string& path);

// The single data-file handle with one-byte records. Every failure raises an IoError with
// the code of the failed call; at most one file is open at a time, so opening another file
// first closes the one that is open.
//
// Reads and writes go through a 32 KiB buffer: a whole flash image costs a few system calls.
class ByteFile final : public ByteSource {
public:
    ByteFile();
    ~ByteFile() override;
    ByteFile(const ByteFile&) = delete;
    ByteFile& operator=(const ByteFile&) = delete;

    // Creates the file, or empties an existing one, for writing. A link in its place is not
    // followed: the buffer file must never write through a link planted under its name.
    void create(const std::string& path);
    // Opens an existing file for reading, at its first byte.
    void openRead(const std::string& path);
    // Size of the open file in bytes, what is written so far included.
    std::int64_t size() override;
    // The next byte; past the end an IoError 100.
    std::uint8_t readByte() override;
    void writeByte(std::uint8_t value);
    // Flushes and closes; a failed flush is an IoError (101 when the disk is full). Closing
    // a closed handle does nothing.
    void close() override;
    // Closes without reporting anything: for the path on which an error already ends the
    // command.
    void closeQuietly() noexcept;
    bool isOpen() const;

    // Read and write calls made to the system so far, so tests can hold the buffering to
    // its promise.
    std::uint64_t transferCalls() const;

    static constexpr std::size_t kBufferSize = 32 * 1024;

private:
    struct State;
    void flush();
    // The one closing: the buffer flushed and the descriptor closed whatever fails; with
    // report, the first failure raised.
    void shut(bool report);
    std::unique_ptr<State> state_;
};

}  // namespace trilo
