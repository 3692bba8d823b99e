#include "files/FileMove.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "base/Text.h"
#include "files/Fd.h"
#include "files/IoErrors.h"

namespace trilo {

std::string directoryOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

namespace {

// The new file takes the mode of the one it replaces, its owner and group where the user may
// give them (root may, so a user's file stays the user's); a group that cannot follow gets no
// rights of the old one's. A new file keeps what open() gave it: 0666 less the umask.
void keepMode(int fd, const std::string& to) {
    struct stat old {};
    if (::stat(to.c_str(), &old) != 0) {
        return;
    }
    mode_t mode = old.st_mode & 07777;
    if (::fchown(fd, old.st_uid, old.st_gid) != 0 &&
        ::fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
        mode &= ~static_cast<mode_t>(S_IRWXG);
    }
    if (::fchmod(fd, mode) != 0) {
        throwIoError(errno);
    }
}

// Gives `from` the mode of `to` and puts its content on disk, ready to be renamed over `to`.
void prepareFile(const std::string& from, const std::string& to) {
    Fd fd(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        throwIoError(errno);
    }
    keepMode(fd.get(), to);
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

// Removes the temporary files in dir that no running save holds, and the one an earlier
// version named after the target (".<name>.trilo-save"). Only the user's own regular files.
void removeStaleTemps(const std::string& dir, const std::string& legacy) {
    DIR* listing = ::opendir(dir.c_str());
    if (listing == nullptr) {
        return;
    }
    while (const dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        if (!name.starts_with(kTempPrefix) && name != legacy) {
            continue;
        }
        const std::string path = (dir == "/" ? "" : dir) + "/" + name;
        Fd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat st {};
        if (fd.get() >= 0 && ::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode) &&
            st.st_uid == ::geteuid() && ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0) {
            ::unlink(path.c_str());
        }
    }
    ::closedir(listing);
}

// Creates a locked temporary file beside `to`, clearing stale ones first; its name in temp.
int createTemp(const std::string& to, std::string& temp) {
    const std::string dir = directoryOf(to);
    const auto slash = to.rfind('/');
    removeStaleTemps(dir, std::string(".")
                              .append(to, slash == std::string::npos ? 0 : slash + 1)
                              .append(".trilo-save"));
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = (dir == "/" ? "" : dir) + "/" + kTempPrefix;
        for (int k = 0; k < 6; ++k) {
            temp += kLetters[random() % (sizeof kLetters - 1)];
        }
        // open() rather than mkstemp: a new file gets 0666 less the umask, as any other.
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) {
                continue;
            }
            return -1;
        }
        // Another save clearing stale files may have taken it before the lock: then it is
        // gone, and a new one is made.
        struct stat st {};
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &st) == 0 && st.st_nlink > 0) {
            return fd;
        }
        ::close(fd);
    }
    errno = EEXIST;
    return -1;
}

// Builds a new file beside `to` through fill(fd), flushes it to disk and renames it over `to`:
// `to` is at every moment either the old file whole or the new one whole. On failure the
// temporary file goes and `to` stays as it was.
template <class Fill>
void replaceThroughTemp(const std::string& to, Fill fill) {
    std::string temp;
    Fd out(createTemp(to, temp));
    if (out.get() < 0) {
        throwIoError(errno);
    }
    try {
        keepMode(out.get(), to);
        fill(out.get());
        if (::fsync(out.get()) != 0) {
            throwIoError(errno);
        }
        // Renamed while still open, so its lock keeps a clearing save away until it is done.
        if (::rename(temp.c_str(), to.c_str()) != 0) {
            throwIoError(errno);
        }
    } catch (...) {
        ::unlink(temp.c_str());
        throw;
    }
    out.close();
    syncDirectoryQuietly(to);
}

}  // namespace

bool fileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

void removeQuietly(const std::string& path) {
    ::unlink(path.c_str());
}

std::string saveTarget(const std::string& to) {
    const auto refused = [&](const char* why) {
        return SaveRefused(format(_("Soubor „{0}“ {1}, program ho nepřepíše"), to, why));
    };
    struct stat st {};
    if (::lstat(to.c_str(), &st) != 0) {
        // Nothing there yet, or what the save itself will report.
        return to;
    }
    std::string target = to;
    if (S_ISLNK(st.st_mode)) {
        const uid_t linkOwner = st.st_uid;
        char* real = ::realpath(to.c_str(), nullptr);
        if (real == nullptr) {
            throw refused(_("je odkaz, který nevede na žádný soubor"));
        }
        target = real;
        std::free(real);
        if (::stat(target.c_str(), &st) != 0) {
            throwIoError(errno);
        }
        // Root owns both a link of its own and /etc/passwd; a link planted by someone else
        // must not turn a save into a write to a file of theirs or of the user's.
        if (linkOwner != ::geteuid() || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
            throw refused(_("je odkaz, který nevede na váš vlastní obyčejný soubor"));
        }
    }
    // A directory is left to the rename, which refuses it.
    if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
        throw refused(_("není obyčejný soubor"));
    }
    // The owner's write bit says no even to root, who could replace the file anyway; access()
    // adds what the mode does not show: another user's file, a read-only mount.
    if (S_ISREG(st.st_mode) && ((st.st_mode & S_IWUSR) == 0 ||
                                ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)) {
        throw refused(_("je jen pro čtení"));
    }
    return target;
}

void replaceFile(const std::string& from, const std::string& given) {
    const std::string to = saveTarget(given);
    // The content on disk before the name points at it: a crash right after the rename
    // must not leave an empty file where the old one was.
    prepareFile(from, to);
    if (::rename(from.c_str(), to.c_str()) == 0) {
        syncDirectoryQuietly(to);
        return;
    }
    if (errno != EXDEV) {
        throwIoError(errno);
    }
    copyReplace(from, to);
}

void copyReplace(const std::string& from, const std::string& to) {
    Fd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0) {
        throwIoError(errno);
    }
    replaceThroughTemp(saveTarget(to), [&](int out) {
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
    replaceThroughTemp(saveTarget(to), [&](int out) {
        writeAll(out, reinterpret_cast<const std::uint8_t*>(content.data()), content.size());
    });
}

bool createWholeFile(const std::string& to, const std::string& content) {
    std::string temp;
    Fd out(createTemp(to, temp));
    if (out.get() < 0) {
        throwIoError(errno);
    }
    int linked = 0;
    bool renamed = false;
    try {
        writeAll(out.get(), reinterpret_cast<const std::uint8_t*>(content.data()), content.size());
        if (::fsync(out.get()) != 0) {
            throwIoError(errno);
        }
        // A link fails where the name is taken, as a rename never does; a file system
        // without links (FAT) may still refuse to replace in its rename.
        linked = ::link(temp.c_str(), to.c_str()) == 0 ? 0 : errno;
        if (linked == EPERM || linked == EOPNOTSUPP) {
            renamed =
                ::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0;
            linked = renamed ? 0 : errno;
        }
        if (linked != 0 && linked != EEXIST) {
            throwIoError(linked);
        }
    } catch (...) {
        ::unlink(temp.c_str());
        throw;
    }
    if (!renamed) {
        ::unlink(temp.c_str());
    }
    out.close();
    if (linked == 0) {
        syncDirectoryQuietly(to);
    }
    return linked == 0;
}

}  // namespace trilo
