#include "data/Settings.h"

#define SI_CONVERT_ICU
#include <SimpleIni.h>

#include <climits>
#include <cstdlib>

#include "base/Errors.h"
#include "data/FileMove.h"

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
    // Write beside the file a symbolic link points to, so the link stays a link.
    std::string target = path_;
    if (char* real = ::realpath(path_.c_str(), nullptr); real != nullptr) {
        target = real;
        std::free(real);
    }
    try {
        writeWholeFile(target, text());
    } catch (const IoError&) {
        throw SettingsWriteError(errorPath);
    }
}

}  // namespace trilo
