#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace trilo {

// Reads an integer as the settings file stores it: decimal, "0x"/"0X" hexadecimal when
// longer than the prefix, "$" hexadecimal, an optional sign, leading blanks skipped.
// Anything else (trailing text, an empty value, a value beyond 32 bits) is no integer.
std::optional<std::int32_t> parseSettingsInteger(const std::string& text);

// programmer.ini: an INI file whose section and key names match without regard to case.
// Keys keep their places, keys and comments the program does not know stay as they are.
class SettingsFile {
public:
    explicit SettingsFile(std::string path);
    ~SettingsFile();
    SettingsFile(const SettingsFile&) = delete;
    SettingsFile& operator=(const SettingsFile&) = delete;

    const std::string& path() const { return path_; }

    // Reads the file as it stands on disk; a missing or unreadable file reads as empty.
    void load();
    // The value of a key; nothing when the key is missing.
    std::optional<std::string> value(const std::string& section, const std::string& key) const;
    // Sets a key; a new key goes to the end of its section, a new section to the end.
    void set(const std::string& section, const std::string& key, const std::string& value);
    // The whole text as it would be written.
    std::string text() const;
    // Writes the whole file to a temporary file beside it and renames that over the file,
    // so a crash or a full disk never leaves it half-written. Throws SettingsWriteError
    // with errorPath when the system refuses; the file on disk then stays as it was.
    void save(const std::string& errorPath) const;

private:
    struct Impl;
    std::string path_;
    std::unique_ptr<Impl> impl_;
};

}  // namespace trilo
