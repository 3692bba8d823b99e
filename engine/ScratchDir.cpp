#include "engine/ScratchDir.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "base/Platform.h"
#include "files/BufferDir.h"
#include "files/FileMove.h"
#include "files/IoErrors.h"

namespace trilo {

namespace {

constexpr const char* kPrefix = "cli-";

// A directory of the user's that no running trilo-cli holds.
void removeStale(const std::string& base) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(base, error)) {
        const std::string path = entry.path().string();
        if (!entry.path().filename().string().starts_with(kPrefix)) {
            continue;
        }
        const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            std::filesystem::remove_all(path, error);
        }
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

}  // namespace

ScratchDir::~ScratchDir() {
    if (!dir_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
        ::close(lock_);
    }
}

std::string ScratchDir::file(const char* name) {
    if (dir_.empty()) {
        create();
    }
    return joinPath(dir_, name);
}

void ScratchDir::create() {
    SystemPlatform platform;
    // Keyed by the user id alone: a root run under sudo -E may carry the XDG_RUNTIME_DIR
    // of the user it came from.
    const std::string base = prepareUserTempDir(platform);
    removeStale(base);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string pattern = joinPath(base, std::string(kPrefix) + "XXXXXX");
        if (::mkdtemp(pattern.data()) == nullptr) {
            throwIoError(errno);
        }
        // Another run clearing stale directories may take this one before the lock: then
        // it is gone, or goes with no links left, and a new one is made.
        const int fd = ::open(pattern.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0 && errno == ENOENT) {
            continue;
        }
        if (fd < 0) {
            throwIoError(errno);
        }
        struct stat st {};
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &st) == 0 && st.st_nlink > 0) {
            dir_ = pattern;
            lock_ = fd;
            return;
        }
        ::close(fd);
    }
    throwIoError(EAGAIN);
}

}  // namespace trilo
