#pragma once

#include <cstdint>
#include <exception>
#include <stdexcept>
#include <string>
#include <utility>

#include "base/Text.h"

namespace trilo {

// An error that ends the running command; the top-level handler shows its text with a
// full stop added, and the window goes on.
class TriloError : public std::runtime_error {
public:
    explicit TriloError(const std::string& text) : std::runtime_error(text) {}
};

// A file operation that failed, with the code that chooses its text.
class IoError : public TriloError {
public:
    explicit IoError(int code) : TriloError(textFor(code)), code_(code) {}
    // A system error that the table does not name keeps its own number in the text, even
    // where that number collides with a code of the table (EIO is 5 on Linux).
    IoError(int code, const std::string& text) : TriloError(text), code_(code) {}
    int code() const { return code_; }
    // The errno of the failed system call; 0 when the error did not come from one.
    int systemError() const { return systemError_; }
    void setSystemError(int err) { systemError_ = err; }

    // 2 "File not found", 3 "Invalid filename", 4 "Too many open files",
    // 5 "File access denied", 100 "Read beyond end of file", 101 "Disk full",
    // 106 "Invalid numeric input", any other "I/O error <code>".
    static std::string textFor(int code);

    // Well-known codes.
    static constexpr int FileNotFound = 2;
    static constexpr int InvalidFilename = 3;
    static constexpr int TooManyOpenFiles = 4;
    static constexpr int AccessDenied = 5;
    static constexpr int ReadBeyondEnd = 100;
    static constexpr int DiskFull = 101;

private:
    int code_;
    int systemError_ = 0;
};

// The settings file could not be written: "Unable to write to <SettingsPath>", with the
// reason in parentheses when there is one.
class SettingsWriteError : public TriloError {
public:
    explicit SettingsWriteError(const std::string& path, const std::string& reason = {})
        : TriloError("Unable to write to " + path + (reason.empty() ? "" : " (" + reason + ")")) {}
};

// The settings file exists but could not be read: "Unable to read <SettingsPath> (reason)".
class SettingsReadError : public TriloError {
public:
    SettingsReadError(const std::string& path, const std::string& reason, std::string czech = {})
        : TriloError("Unable to read " + path + (reason.empty() ? "" : " (" + reason + ")")),
          czech_(std::move(czech)) {}
    // Why, in the command line's words and the chosen language: "je to adresář", "je větší
    // než 1 MiB".
    const std::string& czechReason() const { return czech_; }

private:
    std::string czech_;
};

// An operation stopped at the user's request. address: the first byte it had not yet
// handled, numbered as the user's tools number the data file's bytes (or the chip's, for a
// read). Not a TriloError: a stop is no error and shows no box.
class Stopped : public std::exception {
public:
    explicit Stopped(std::int64_t address) : address_(address) {}
    std::int64_t address() const { return address_; }
    const char* what() const noexcept override { return _("zastaveno"); }

private:
    std::int64_t address_;
};

// Start-up cannot go on (another instance holds the buffer, or the buffer directory is
// unsafe): the program says why and ends. Not a TriloError, so the handler lets it pass.
class StartupAbort : public std::runtime_error {
public:
    enum class Kind { Information, Error };
    StartupAbort(Kind kind, const std::string& text) : std::runtime_error(text), kind_(kind) {}
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

}  // namespace trilo
