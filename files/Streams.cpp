#include "files/Streams.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "files/IoErrors.h"

namespace trilo {

bool spool(int from, std::FILE* to, std::int64_t limit, const std::function<void()>& interrupted) {
    char block[64 * 1024];
    std::int64_t total = 0;
    while (total <= limit) {
        const auto want =
            static_cast<std::size_t>(std::min<std::int64_t>(sizeof block, limit + 1 - total));
        const ssize_t got = ::read(from, block, want);
        if (got < 0) {
            if (errno != EINTR) {
                throwIoError(errno);
            }
            interrupted();
            continue;
        }
        if (got == 0) {
            break;
        }
        if (std::fwrite(block, 1, static_cast<std::size_t>(got), to) !=
            static_cast<std::size_t>(got)) {
            throwIoError(errno);
        }
        total += got;
    }
    if (std::fflush(to) != 0) {
        throwIoError(errno);
    }
    return total > limit;
}

OpenStream::OpenStream(const std::string& path, const char* mode)
    : file(std::fopen(path.c_str(), mode)) {
    if (file == nullptr) {
        throwIoError(errno);
    }
}

OpenStream::~OpenStream() {
    std::fclose(file);
}

void pump(std::FILE* from, std::FILE* to) {
    char block[64 * 1024];
    std::size_t got = 0;
    while ((got = std::fread(block, 1, sizeof block, from)) > 0) {
        if (std::fwrite(block, 1, got, to) != got) {
            throwIoError(errno);
        }
    }
    if (std::ferror(from) != 0 || std::fflush(to) != 0) {
        throwIoError(errno);
    }
}

bool isSpecial(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
}

}  // namespace trilo
