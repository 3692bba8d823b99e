#include "files/ByteFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <exception>
#include <vector>

#include "base/Errors.h"
#include "files/IoErrors.h"

namespace trilo {

namespace {

// The file layer's own codes for a handle used the wrong way, numbered as that layer
// numbers them: not open, not open for input, not open for output.
constexpr int kNotOpen = 103;
constexpr int kNotForInput = 104;
constexpr int kNotForOutput = 105;

}  // namespace

struct ByteFile::State {
    enum class Mode { Closed, Reading, Writing };
    int fd = -1;
    Mode mode = Mode::Closed;
    std::vector<std::uint8_t> buffer = std::vector<std::uint8_t>(kBufferSize);
    std::size_t used = 0;  // writing: bytes waiting; reading: bytes in the buffer
    std::size_t next = 0;  // reading: the next byte to hand out
    std::uint64_t calls = 0;
};

namespace {

// The file a link leads to, by a name without links, and what is there now.
std::string linkTarget(const std::string& link, struct stat& looked) {
    char* real = ::realpath(link.c_str(), nullptr);
    if (real == nullptr) {
        throwIoError(errno);
    }
    const std::string target = real;
    std::free(real);
    if (::lstat(target.c_str(), &looked) != 0) {
        throwIoError(errno);
    }
    return target;
}

}  // namespace

int openRegularFile(const std::string& path) {
    struct stat looked {};
    if (::lstat(path.c_str(), &looked) != 0) {
        throwIoError(errno);
    }
    std::string target = path;
    // What a link leads to is looked at through it first: a link in /proc names a pipe with
    // no path of its own.
    if (S_ISLNK(looked.st_mode)) {
        if (::stat(path.c_str(), &looked) != 0) {
            throwIoError(errno);
        }
        if (S_ISREG(looked.st_mode)) {
            target = linkTarget(path, looked);
        }
    }
    if (!S_ISREG(looked.st_mode)) {
        throw NotRegularFile(S_ISDIR(looked.st_mode));
    }
    // Without blocking or a controlling terminal, should a FIFO or a terminal take the
    // file's place before the open.
    const int fd =
        ::open(target.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        if (err == ELOOP) {
            throw FileSwapped();
        }
        throwIoError(err);
    }
    struct stat opened {};
    if (::fstat(fd, &opened) != 0) {
        const int err = errno;
        ::close(fd);
        throwIoError(err);
    }
    if (opened.st_dev != looked.st_dev || opened.st_ino != looked.st_ino) {
        ::close(fd);
        throw FileSwapped();
    }
    return fd;
}

ByteFile::ByteFile() : state_(std::make_unique<State>()) {}

ByteFile::~ByteFile() {
    closeQuietly();
}

void ByteFile::create(const std::string& path) {
    close();
    // 0666 less the umask, as any new file of the user: the buffer becomes the user's saved
    // file by a rename, and its private directory already keeps others out meanwhile.
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        throwIoError(errno);
    }
    state_->fd = fd;
    state_->mode = State::Mode::Writing;
    state_->used = 0;
    state_->next = 0;
}

void ByteFile::openRead(const std::string& path) {
    close();
    // A FIFO, a device or a directory has no size to take, so only a regular file is a data
    // file, and that is known before anything is read or sent to the chip.
    const int fd = openRegularFile(path);
    state_->fd = fd;
    state_->mode = State::Mode::Reading;
    state_->used = 0;
    state_->next = 0;
}

std::int64_t ByteFile::size() {
    if (state_->mode == State::Mode::Closed) {
        throw IoError(kNotOpen);
    }
    flush();
    struct stat st {};
    if (::fstat(state_->fd, &st) != 0) {
        throwIoError(errno);
    }
    return static_cast<std::int64_t>(st.st_size);
}

std::uint8_t ByteFile::readByte() {
    State& s = *state_;
    if (s.mode == State::Mode::Closed) {
        throw IoError(kNotOpen);
    }
    if (s.mode != State::Mode::Reading) {
        throw IoError(kNotForInput);
    }
    if (s.next == s.used) {
        ssize_t got;
        do {
            ++s.calls;
            got = ::read(s.fd, s.buffer.data(), s.buffer.size());
        } while (got < 0 && errno == EINTR);
        if (got < 0) {
            throwIoError(errno);
        }
        if (got == 0) {
            throw IoError(IoError::ReadBeyondEnd);
        }
        s.used = static_cast<std::size_t>(got);
        s.next = 0;
    }
    return s.buffer[s.next++];
}

void ByteFile::writeByte(std::uint8_t value) {
    State& s = *state_;
    if (s.mode == State::Mode::Closed) {
        throw IoError(kNotOpen);
    }
    if (s.mode != State::Mode::Writing) {
        throw IoError(kNotForOutput);
    }
    if (s.used == s.buffer.size()) {
        flush();
    }
    s.buffer[s.used++] = value;
}

void ByteFile::flush() {
    State& s = *state_;
    if (s.mode != State::Mode::Writing) {
        return;
    }
    std::size_t done = 0;
    while (done < s.used) {
        ++s.calls;
        const ssize_t put = ::write(s.fd, s.buffer.data() + done, s.used - done);
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            // What could not be written is gone from the buffer too: retrying it at the
            // closing would only fail once more.
            s.used = 0;
            throwIoError(errno);
        }
        if (put == 0) {
            s.used = 0;
            throw IoError(IoError::DiskFull);
        }
        done += static_cast<std::size_t>(put);
    }
    s.used = 0;
}

void ByteFile::close() {
    shut(true);
}

void ByteFile::closeQuietly() noexcept {
    try {
        shut(false);
    } catch (...) {
        // Not raised: the command already ends with its own error.
    }
}

void ByteFile::shut(bool report) {
    State& s = *state_;
    if (s.mode == State::Mode::Closed) {
        return;
    }
    std::exception_ptr failed;
    try {
        flush();
    } catch (...) {
        failed = std::current_exception();
    }
    const int fd = s.fd;
    s.fd = -1;
    s.mode = State::Mode::Closed;
    s.used = 0;
    s.next = 0;
    // The descriptor is gone whatever close says; an error here still means lost data.
    const int closeError = ::close(fd) == 0 ? 0 : errno;
    if (!report) {
        return;
    }
    if (failed) {
        std::rethrow_exception(failed);
    }
    if (closeError != 0 && closeError != EINTR) {
        throwIoError(closeError);
    }
}

bool ByteFile::isOpen() const {
    return state_->mode != State::Mode::Closed;
}

std::uint64_t ByteFile::transferCalls() const {
    return state_->calls;
}

std::uint8_t ImageSource::readByte() {
    if (next_ >= bytes_.size()) {
        throw IoError(IoError::ReadBeyondEnd);
    }
    return bytes_[next_++];
}

}  // namespace trilo
