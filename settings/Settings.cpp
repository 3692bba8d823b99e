#include "settings/Settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "base/Errors.h"
#include "base/Hex.h"
#include "base/SystemReason.h"
#include "files/ByteFile.h"
#include "files/FileMove.h"
#include "files/IoErrors.h"

namespace trilo {

const char kSettingsFileName[] = "programmer.ini";

namespace {

// Why a save is refused, after "Unable to write to <path>".
constexpr const char* kNotRegular = "not a regular file";
constexpr const char* kOtherOwner = "owned by another user";
constexpr const char* kReadOnly = "read-only";
constexpr const char* kDanglingLink = "a link to a missing file";
constexpr const char* kNoSettings = "a link to a file that holds no settings";
constexpr const char* kUntrusted = "another user's or writable by everyone";
constexpr const char* kTooLarge = "larger than 1 MiB";
constexpr const char* kSwapped = "changed between the look and the open";

// Larger than any settings file a person writes: what a stray file may cost in memory.
constexpr off_t kLargestSettings = 1 << 20;

constexpr std::string_view kBom = "\xEF\xBB\xBF";

std::string_view trimmed(std::string_view s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

bool sameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

// What one line is to the reader: a section header, a key, or anything else (blank lines,
// comments, text without '='), which the reader passes over and the writer keeps.
struct LineKind {
    enum { Other, Section, Key } kind = Other;
    std::string_view name;
    std::size_t valueAt = 0;  // where a key's value starts
};

LineKind classify(std::string_view line) {
    const std::string_view t = trimmed(line);
    if (t.empty() || t[0] == ';' || t[0] == '#') {
        return {};
    }
    if (t[0] == '[') {
        const auto close = t.find(']');
        if (close == std::string_view::npos) {
            return {};
        }
        return {LineKind::Section, trimmed(t.substr(1, close - 1))};
    }
    const auto eq = line.find('=');
    const std::string_view key = trimmed(line.substr(0, eq));
    if (eq == std::string_view::npos || key.empty()) {
        return {};
    }
    return {LineKind::Key, key, std::min(line.find_first_not_of(" \t", eq + 1), line.size())};
}

}  // namespace

std::optional<std::int32_t> parseSettingsInteger(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int radix = 10;
    if (i < text.size() && text[i] == '$') {
        radix = 16;
        ++i;
    } else if (i + 2 < text.size() && text[i] == '0' &&
               (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        radix = 16;
        i += 2;
    }
    if (i >= text.size()) {
        return std::nullopt;
    }
    long long value = 0;
    for (; i < text.size(); ++i) {
        const int digit = hexDigit(text[i]);
        if (digit < 0 || digit >= radix) {
            return std::nullopt;
        }
        value = value * radix + digit;
        if (value > 0xFFFFFFFFLL) {
            return std::nullopt;
        }
    }
    if (radix == 10) {
        if (negative ? value > -static_cast<long long>(INT32_MIN) : value > INT32_MAX) {
            return std::nullopt;
        }
        return static_cast<std::int32_t>(negative ? -value : value);
    }
    // Hexadecimal covers the full 32 bits, as a signed reading of the same bits.
    auto bits = static_cast<std::uint32_t>(value);
    if (negative) {
        bits = 0u - bits;
    }
    return static_cast<std::int32_t>(bits);
}

void SettingsFile::load() {
    parse({});
    trusted_ = true;
    // A directory, a FIFO or a device in the file's place is refused before it is opened.
    int fd = -1;
    try {
        fd = openRegularFile(path_);
    } catch (const NotRegularFile& error) {
        throw SettingsReadError(path_, kNotRegular,
                                error.directory()
                                    ? _("je to adresář")
                                    : _("není obyčejný soubor (roura nebo zařízení)"));
    } catch (const FileSwapped&) {
        throw SettingsReadError(path_, kSwapped, _("změnil se mezi prohlédnutím a otevřením"));
    } catch (const IoError& error) {
        const int err = error.systemError();
        if (err == ENOENT) {
            return;
        }
        throw SettingsReadError(path_, std::strerror(err), systemReason(err));
    }
    std::string bytes;
    int failed = 0;
    bool tooLarge = false;
    struct stat st {};
    struct stat link {};
    if (::fstat(fd, &st) != 0) {
        failed = errno;
    } else if (st.st_size > kLargestSettings) {
        tooLarge = true;
    } else if (st.st_uid != ::geteuid() || (st.st_mode & S_IWOTH) != 0 ||
               (::lstat(path_.c_str(), &link) == 0 && link.st_uid != ::geteuid())) {
        // Someone else could have written it: nothing in it is obeyed, and it stays as it is.
        trusted_ = false;
        ::close(fd);
        return;
    }
    char buffer[8192];
    while (failed == 0 && !tooLarge) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0) {
            bytes.append(buffer, static_cast<std::size_t>(got));
            tooLarge = bytes.size() > static_cast<std::size_t>(kLargestSettings);
        } else if (got == 0) {
            break;
        } else if (errno != EINTR) {
            failed = errno;
        }
    }
    ::close(fd);
    if (tooLarge) {
        throw SettingsReadError(path_, kTooLarge, _("je větší než 1 MiB"));
    }
    if (failed != 0) {
        throw SettingsReadError(path_, std::strerror(failed), systemReason(failed));
    }
    parse(bytes);
}

bool SettingsFile::holdsSettings() const {
    if (lines_.empty() && bom_.empty()) {
        return true;
    }
    return std::any_of(lines_.begin(), lines_.end(), [](const Line& line) {
        const LineKind kind = classify(line.text);
        return kind.kind == LineKind::Section &&
               (sameName(kind.name, "SETUP_PRG") || sameName(kind.name, "RUN_PRG"));
    });
}

void SettingsFile::parse(const std::string& bytes) {
    lines_.clear();
    std::string_view rest = bytes;
    bom_ = rest.starts_with(kBom) ? std::string(kBom) : std::string();
    rest.remove_prefix(bom_.size());
    while (!rest.empty()) {
        const auto newline = rest.find('\n');
        if (newline == std::string_view::npos) {
            lines_.push_back({std::string(rest), ""});
            break;
        }
        const bool crlf = newline > 0 && rest[newline - 1] == '\r';
        lines_.push_back(
            {std::string(rest.substr(0, newline - (crlf ? 1 : 0))), crlf ? "\r\n" : "\n"});
        rest.remove_prefix(newline + 1);
    }
}

std::optional<std::size_t> SettingsFile::find(const std::string& section,
                                              const std::string& key) const {
    bool inSection = false;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const LineKind line = classify(lines_[i].text);
        if (line.kind == LineKind::Section) {
            inSection = sameName(line.name, section);
        } else if (inSection && line.kind == LineKind::Key && sameName(line.name, key)) {
            return i;
        }
    }
    return std::nullopt;
}

std::optional<std::string> SettingsFile::value(const std::string& section,
                                               const std::string& key) const {
    const auto i = find(section, key);
    if (!i) {
        return std::nullopt;
    }
    const std::string& text = lines_[*i].text;
    return std::string(trimmed(std::string_view(text).substr(classify(text).valueAt)));
}

std::vector<SettingsFile::Entry> SettingsFile::entries() const {
    std::vector<Entry> found;
    std::string section;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const std::string& text = lines_[i].text;
        const LineKind line = classify(text);
        if (line.kind == LineKind::Section) {
            section = line.name;
            found.push_back({i + 1, Entry::Section, section, {}, {}});
        } else if (line.kind == LineKind::Key) {
            found.push_back({i + 1, Entry::Key, section, std::string(line.name),
                             std::string(trimmed(std::string_view(text).substr(line.valueAt)))});
        } else if (const std::string_view t = trimmed(text);
                   !t.empty() && t[0] != ';' && t[0] != '#') {
            found.push_back({i + 1, Entry::Other, section, {}, std::string(t)});
        }
    }
    return found;
}

// A new line takes the file's own line end.
std::string SettingsFile::lineEnd() const {
    for (const Line& line : lines_) {
        if (!line.end.empty()) {
            return line.end;
        }
    }
    return "\n";
}

void SettingsFile::set(const std::string& section, const std::string& key,
                       const std::string& value) {
    if (const auto i = find(section, key)) {
        std::string& text = lines_[*i].text;
        text = text.substr(0, classify(text).valueAt) + value;
        return;
    }
    const std::string end = lineEnd();
    const auto insert = [&](std::size_t at, std::string text) {
        if (at > 0 && lines_[at - 1].end.empty()) {
            lines_[at - 1].end = end;
        }
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), {std::move(text), end});
    };
    // After the last key of the section's first occurrence, so comments that lead into the
    // next section stay with it.
    std::optional<std::size_t> after;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const LineKind line = classify(lines_[i].text);
        if (line.kind == LineKind::Section) {
            if (after) {
                break;
            }
            if (sameName(line.name, section)) {
                after = i;
            }
        } else if (after && line.kind == LineKind::Key) {
            after = i;
        }
    }
    if (after) {
        insert(*after + 1, key + "=" + value);
        return;
    }
    if (!lines_.empty() && !trimmed(lines_.back().text).empty()) {
        insert(lines_.size(), "");
    }
    insert(lines_.size(), "[" + section + "]");
    insert(lines_.size(), key + "=" + value);
}

std::string SettingsFile::text() const {
    std::string out = bom_;
    for (const Line& line : lines_) {
        out += line.text;
        out += line.end;
    }
    return out;
}

// The file a save replaces: the settings file itself, or the file its link names. A link
// counts only when both it and its target are the user's own, so a link planted by someone
// else cannot turn a save into a write to a file of theirs or of the user's.
std::string SettingsFile::writableTarget() const {
    const auto refused = [&](const std::string& why) { return SettingsWriteError(path_, why); };
    struct stat st {};
    if (::lstat(path_.c_str(), &st) != 0) {
        if (errno == ENOENT) {
            return path_;
        }
        throw refused(std::strerror(errno));
    }
    std::string target = path_;
    if (S_ISLNK(st.st_mode)) {
        if (st.st_uid != ::geteuid()) {
            throw refused(kOtherOwner);
        }
        char* real = ::realpath(path_.c_str(), nullptr);
        if (real == nullptr) {
            throw refused(errno == ENOENT ? kDanglingLink : std::strerror(errno));
        }
        target = real;
        std::free(real);
        if (::stat(target.c_str(), &st) != 0) {
            throw refused(std::strerror(errno));
        }
        // Root owns both a link and /etc/passwd: only a file that is empty or already holds
        // settings is written through a link.
        if (S_ISREG(st.st_mode) && st.st_uid == ::geteuid()) {
            SettingsFile there(target);
            there.load();
            if (!there.holdsSettings()) {
                throw refused(kNoSettings);
            }
        }
    }
    if (!S_ISREG(st.st_mode)) {
        throw refused(kNotRegular);
    }
    if (st.st_uid != ::geteuid()) {
        throw refused(kOtherOwner);
    }
    // The owner's write bit says no even to root, who could write anyway; access() adds what
    // the mode does not show, such as a read-only mount or an access list.
    if ((st.st_mode & S_IWUSR) == 0) {
        throw refused(kReadOnly);
    }
    if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
        throw refused(std::strerror(errno));
    }
    return target;
}

void SettingsFile::save() const {
    if (!trusted_) {
        throw SettingsWriteError(path_, kUntrusted);
    }
    const std::string target = writableTarget();
    try {
        writeWholeFile(target, text());
    } catch (const IoError& error) {
        throw SettingsWriteError(path_, error.what());
    }
}

std::string languageSetting(const std::string& path) {
    SettingsFile file(path);
    try {
        file.load();
    } catch (const SettingsReadError&) {
        return languages().front();
    }
    const std::vector<std::string> spoken = languages();
    const std::optional<std::string> named =
        file.trusted() ? file.value("SETUP_PRG", "Language") : std::nullopt;
    if (named && std::find(spoken.begin(), spoken.end(), *named) != spoken.end()) {
        return *named;
    }
    return spoken.front();
}

}  // namespace trilo
