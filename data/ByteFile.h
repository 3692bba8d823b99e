#pragma once

#include <cstdint>
#include <string>

namespace trilo {

// The single data-file handle with one-byte records. Every failure raises an IoError with
// the code of the failed call; at most one file is open at a time.
class ByteFile {
public:
    ByteFile() = default;
    ~ByteFile();
    ByteFile(const ByteFile&) = delete;
    ByteFile& operator=(const ByteFile&) = delete;

    // Creates the file, or empties an existing one, for writing.
    void create(const std::string& path);
    // Opens an existing file for reading, at its first byte.
    void openRead(const std::string& path);
    // Size of the open file in bytes.
    std::int64_t size();
    // The next byte; past the end an IoError 100.
    std::uint8_t readByte();
    void writeByte(std::uint8_t value);
    // Flushes and closes; a failed flush is an IoError (101 when the disk is full).
    void close();
    // Closes without reporting anything: for the path on which an error already ends the
    // command.
    void closeQuietly() noexcept;
    bool isOpen() const;

private:
    struct State;
    State* state_ = nullptr;
};

}  // namespace trilo
