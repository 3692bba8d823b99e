#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/Text.h"

namespace trilo {

// What the window and the command line say, once, of a settings file they do not trust;
// marked for the catalogue, so shown through _().
inline constexpr const char* kUntrustedSettings =
    N_("programmer.ini patří jinému uživateli nebo je zapisovatelný pro všechny; použity "
       "výchozí hodnoty");

// Reads an integer as the settings file stores it: decimal, "0x"/"0X" hexadecimal when
// longer than the prefix, "$" hexadecimal, an optional sign, leading blanks skipped.
// Anything else (trailing text, an empty value, a value beyond 32 bits) is no integer.
std::optional<std::int32_t> parseSettingsInteger(const std::string& text);

// "programmer.ini", the settings file's name. Defined out of line so no compiler builds it
// from immediates: their fragments read as misspellings to the package check.
extern const char kSettingsFileName[];

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
    // be read, is not a regular file or is larger than 1 MiB raises SettingsReadError. A
    // file (or a link to it) of another user, or one writable by everyone, reads as empty
    // and untrusted: someone else may have put anything in it.
    void load();
    // False after a load that found the file untrusted; save() then refuses.
    bool trusted() const { return trusted_; }
    // Empty, or holding a "SETUP_PRG" or "RUN_PRG" section: a file a save may replace.
    bool holdsSettings() const;
    // Takes the text as if read from the file.
    void parse(const std::string& bytes);
    // The value of a key; nothing when the key is missing.
    std::optional<std::string> value(const std::string& section, const std::string& key) const;
    // Sets a key: on its own line when it has one, else as a new line after the last key of
    // its section, else in a new section at the end.
    void set(const std::string& section, const std::string& key, const std::string& value);
    // Every line that is neither blank nor a comment, numbered from 1, with the section it
    // stands in: for a reader that refuses what it does not know.
    struct Entry {
        enum Kind { Section, Key, Other };
        std::size_t line;
        Kind kind;
        std::string section;  // a header's name, or the section a key stands in
        std::string key;
        std::string value;  // a key's value; the whole text of any other line
    };
    std::vector<Entry> entries() const;
    // The whole text as it would be written.
    std::string text() const;
    // Replaces the file in one step (a temporary file beside it renamed over it), keeping its
    // mode. Refused with SettingsWriteError, the file left as it was, when the user may not
    // write it, it belongs to someone else or is not a regular file; a symbolic link is
    // written through only to a regular file of the user's own that is empty or holds
    // settings already.
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
    bool trusted_ = true;
    std::string bom_;
    std::vector<Line> lines_;
};

// The language programmer.ini names (SETUP_PRG's Language) when the program speaks it, else
// the program's own: also for no key, or a file that cannot be read or trusted (whoever reads
// the file for its settings says why).
std::string languageSetting(const std::string& path);

}  // namespace trilo
