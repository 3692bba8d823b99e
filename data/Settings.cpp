#include "data/Settings.h"

#define SI_CONVERT_ICU
#include <SimpleIni.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "core/Errors.h"

namespace trilo {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Writes all of data to fd; false on any failure, a short write included.
bool writeAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string directoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
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

struct SettingsFile::Impl {
    // Names match without regard to case; values are kept byte for byte (no UTF-8 check).
    CSimpleIniA ini{false, false, false};
};

SettingsFile::SettingsFile(std::string path) : path_(std::move(path)), impl_(new Impl) {
    impl_->ini.SetSpaces(false);
}

SettingsFile::~SettingsFile() = default;

void SettingsFile::load() {
    impl_->ini.Reset();
    impl_->ini.SetSpaces(false);
    impl_->ini.LoadFile(path_.c_str());
}

std::optional<std::string> SettingsFile::value(const std::string& section,
                                               const std::string& key) const {
    const char* v = impl_->ini.GetValue(section.c_str(), key.c_str(), nullptr);
    if (v == nullptr) {
        return std::nullopt;
    }
    return std::string(v);
}

void SettingsFile::set(const std::string& section, const std::string& key,
                       const std::string& value) {
    impl_->ini.SetValue(section.c_str(), key.c_str(), value.c_str());
}

std::string SettingsFile::text() const {
    std::string out;
    impl_->ini.Save(out);
    return out;
}

void SettingsFile::save(const std::string& errorPath) const {
    const std::string data = text();
    // Write beside the file a symbolic link points to, so the link stays a link.
    std::string target = path_;
    if (char* real = ::realpath(path_.c_str(), nullptr); real != nullptr) {
        target = real;
        std::free(real);
    }
    std::string temp = target + ".XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        throw SettingsWriteError(errorPath);
    }
    temp.assign(name.data());
    // Keep the mode of the file it replaces; a new file gets the usual 0666 less the umask.
    struct stat old {};
    mode_t mode = 0;
    if (::stat(target.c_str(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    const bool ok = ::fchmod(fd, mode) == 0 && writeAll(fd, data) && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !ok || ::rename(temp.c_str(), target.c_str()) != 0) {
        ::unlink(temp.c_str());
        throw SettingsWriteError(errorPath);
    }
    // Make the rename itself durable.
    const int dir = ::open(directoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

}  // namespace trilo
