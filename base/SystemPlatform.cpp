#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "base/Platform.h"

namespace trilo {

std::string SystemPlatform::currentDirectory() {
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (buffer.size() > (1u << 20)) {
            return ".";
        }
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

std::optional<std::string> SystemPlatform::environment(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    if (value == nullptr) {
        return std::nullopt;
    }
    return std::string(value);
}

unsigned SystemPlatform::userId() {
    return static_cast<unsigned>(::getuid());
}

}  // namespace trilo
