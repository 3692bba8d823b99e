#include "data/FileMove.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <vector>

#include "data/IoErrors.h"

namespace trilo {

namespace {

// Closes a descriptor at the end of a scope.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    // Closes now, so a failed close can be reported.
    int close() {
        const int result = ::close(fd_);
        fd_ = -1;
        return result;
    }

private:
    int fd_;
};

}  // namespace

std::string directoryOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

namespace {

void syncFile(const std::string& path) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        throwIoError(errno);
    }
    if (::fsync(fd.get()) != 0) {
        throwIoError(errno);
    }
}

// Makes the rename itself durable. The new content is complete by now, so a failure here is
// not worth ending the save over.
void syncDirectoryQuietly(const std::string& path) {
    Fd fd(::open(directoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0) {
        ::fsync(fd.get());
    }
}

void writeAll(int fd, const std::uint8_t* data, std::size_t count) {
    while (count > 0) {
        const ssize_t put = ::write(fd, data, count);
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            throwIoError(errno);
        }
        if (put == 0) {
            throw IoError(IoError::DiskFull);
        }
        data += put;
        count -= static_cast<std::size_t>(put);
    }
}

}  // namespace

std::string tempFileFor(const std::string& to) {
    const auto slash = to.rfind('/');
    const std::string name = slash == std::string::npos ? to : to.substr(slash + 1);
    return directoryOf(to) + "/." + name + ".trilo-save";
}

bool fileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

void removeQuietly(const std::string& path) {
    ::unlink(path.c_str());
}

void replaceFile(const std::string& from, const std::string& to) {
    // The content on disk before the name points at it: a crash right after the rename
    // must not leave an empty file where the old one was.
    syncFile(from);
    if (::rename(from.c_str(), to.c_str()) == 0) {
        syncDirectoryQuietly(to);
        return;
    }
    if (errno != EXDEV) {
        throwIoError(errno);
    }
    copyReplace(from, to);
}

namespace {

// Creates the temporary file for `to`. One left by a save that died is the user's to clear;
// anything else of that name (another user's file, a link) stays and the save is refused.
int createTemp(const std::string& temp) {
    for (int attempt = 0;; ++attempt) {
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST || attempt > 0) {
            return fd;
        }
        struct stat st {};
        if (::lstat(temp.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() ||
            ::unlink(temp.c_str()) != 0) {
            errno = EEXIST;
            return -1;
        }
    }
}

// The new file takes the mode of the one it replaces, and its group where the user may give
// it; a group that cannot follow gets no rights of the old one's. A new file keeps what
// open() gave it: 0666 less the umask.
void keepMode(int fd, const std::string& to) {
    struct stat old {};
    if (::stat(to.c_str(), &old) != 0) {
        return;
    }
    mode_t mode = old.st_mode & 07777;
    if (::fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
        mode &= ~static_cast<mode_t>(S_IRWXG);
    }
    if (::fchmod(fd, mode) != 0) {
        throwIoError(errno);
    }
}

// Builds a new file beside `to` through fill(fd), flushes it to disk and renames it over `to`:
// `to` is at every moment either the old file whole or the new one whole. On failure the
// temporary file goes and `to` stays as it was.
template <class Fill>
void replaceThroughTemp(const std::string& to, Fill fill) {
    const std::string temp = tempFileFor(to);
    Fd out(createTemp(temp));
    if (out.get() < 0) {
        throwIoError(errno);
    }
    try {
        keepMode(out.get(), to);
        fill(out.get());
        if (::fsync(out.get()) != 0) {
            throwIoError(errno);
        }
        if (out.close() != 0) {
            throwIoError(errno);
        }
        if (::rename(temp.c_str(), to.c_str()) != 0) {
            throwIoError(errno);
        }
    } catch (...) {
        ::unlink(temp.c_str());
        throw;
    }
    syncDirectoryQuietly(to);
}

}  // namespace

void copyReplace(const std::string& from, const std::string& to) {
    Fd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0) {
        throwIoError(errno);
    }
    replaceThroughTemp(to, [&](int out) {
        std::vector<std::uint8_t> buffer(64 * 1024);
        for (;;) {
            const ssize_t got = ::read(in.get(), buffer.data(), buffer.size());
            if (got < 0) {
                if (errno == EINTR) {
                    continue;
                }
                throwIoError(errno);
            }
            if (got == 0) {
                break;
            }
            writeAll(out, buffer.data(), static_cast<std::size_t>(got));
        }
    });
    // The data live in the target now; only then does the buffer go.
    if (::unlink(from.c_str()) != 0) {
        throwIoError(errno);
    }
}

void writeWholeFile(const std::string& to, const std::string& content) {
    replaceThroughTemp(to, [&](int out) {
        writeAll(out, reinterpret_cast<const std::uint8_t*>(content.data()), content.size());
    });
}

}  // namespace trilo
