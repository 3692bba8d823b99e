#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace trilo {

// Reads an integer as the settings file stores it: decimal, "0x"/"0X" hexadecimal when
// longer than the prefix, "$" hexadecimal, an optional sign, leading blanks skipped.
// Anything else (trailing text, an empty value, a value beyond 32 bits) is no integer.
std::optional<std::int32_t> parseSettingsInteger(const std::string& text);

// programmer.ini, edited line by line as the profile-file functions do: section and key names
// match without regard to case, a key's value is the text after its '=' without the blanks
// around it, lines starting with ';' or '#' are comments. Setting a key rewrites the value on
// that key's line only; every other byte (comments, blank and unknown lines, a byte-order
// mark, the line ends) is written back as it was read.
class SettingsFile {
public:
    explicit SettingsFile(std::string path) : path_(std::move(path)) {}

    const std::string& path() const { return path_; }

    // Reads the file as it stands on disk; a missing file reads as empty. A file that cannot
    // be read, or is not a regular file, raises SettingsReadError.
    void load();
    // Takes the text as if read from the file.
    void parse(const std::string& bytes);
    // The value of a key; nothing when the key is missing.
    std::optional<std::string> value(const std::string& section, const std::string& key) const;
    // Sets a key: on its own line when it has one, else as a new line after the last key of
    // its section, else in a new section at the end.
    void set(const std::string& section, const std::string& key, const std::string& value);
    // The whole text as it would be written.
    std::string text() const;
    // Replaces the file in one step (a temporary file beside it renamed over it), keeping its
    // mode. Refused with SettingsWriteError, the file left as it was, when the user may not
    // write it, it belongs to someone else or is not a regular file; a symbolic link is
    // written through only to a regular file of the user's own.
    void save() const;

private:
    struct Line {
        std::string text;
        std::string end;  // "\n", "\r\n", or empty on a last line that has none
    };
    std::optional<std::size_t> find(const std::string& section, const std::string& key) const;
    std::string lineEnd() const;
    std::string writableTarget() const;

    std::string path_;
    std::string bom_;
    std::vector<Line> lines_;
};

}  // namespace trilo
