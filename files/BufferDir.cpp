#include "files/BufferDir.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/Errors.h"
#include "base/Platform.h"
#include "base/SystemReason.h"
#include "base/Text.h"

namespace trilo {

namespace {

[[noreturn]] void refuse(const std::string& text) {
    throw StartupAbort(StartupAbort::Kind::Error, text);
}

bool isDirectory(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A variable that names an absolute directory, or nothing.
std::string directoryFrom(Platform& platform, const char* name) {
    const auto value = platform.environment(name);
    if (!value || value->empty() || value->front() != '/' || !isDirectory(*value)) {
        return {};
    }
    return *value;
}

}  // namespace

std::string joinPath(const std::string& dir, const std::string& name) {
    std::string path = dir;
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    if (path != "/") {
        path += '/';
    }
    return path + name;
}

namespace {

// The directory dir of the user's, made when missing, refused when others could tamper with it.
std::string preparePrivate(const std::string& dir, unsigned uid) {
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
        const int err = errno;
        refuse(format(_("Adresář {0} nelze vytvořit: {1}."), dir, systemReason(err)));
    }
    // Look at what is there without following a link, through the handle that is checked,
    // so nothing can be swapped in between the look and the check.
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        struct stat lst {};
        if (::lstat(dir.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
            refuse(format(_("Adresář {} je odkaz; program ho z bezpečnostních důvodů nepoužije."),
                          dir));
        }
        if (err == ENOTDIR) {
            refuse(
                format(_("{} není adresář; program ho z bezpečnostních důvodů nepoužije."), dir));
        }
        refuse(format(_("Adresář {0} nelze otevřít: {1}."), dir, systemReason(err)));
    }
    struct stat st {};
    const int statErr = ::fstat(fd, &st) == 0 ? 0 : errno;
    ::close(fd);
    if (statErr != 0) {
        refuse(format(_("Adresář {0} nelze prověřit: {1}."), dir, systemReason(statErr)));
    }
    if (st.st_uid != uid) {
        refuse(format(
            _("Adresář {} patří jinému uživateli; program ho z bezpečnostních důvodů nepoužije."),
            dir));
    }
    if ((st.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        refuse(format(_("Adresář {} je přístupný i jiným uživatelům; program ho z bezpečnostních "
                        "důvodů nepoužije."),
                      dir));
    }
    return dir;
}

}  // namespace

std::string prepareUserTempDir(Platform& platform) {
    std::string tmp = directoryFrom(platform, "TMPDIR");
    if (tmp.empty()) {
        tmp = "/tmp";
    }
    const unsigned uid = platform.userId();
    return preparePrivate(joinPath(tmp, "trilo-programmer-" + std::to_string(uid)), uid);
}

std::string preparePrivateDir(Platform& platform) {
    if (const std::string runtime = directoryFrom(platform, "XDG_RUNTIME_DIR"); !runtime.empty()) {
        return preparePrivate(joinPath(runtime, "trilo-programmer"), platform.userId());
    }
    return prepareUserTempDir(platform);
}

InstanceLock::InstanceLock(const std::string& dir) {
    const std::string path = joinPath(dir, kFileName);
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd_ < 0) {
        const int err = errno;
        refuse(format(_("Soubor {0} nelze otevřít: {1}."), path, systemReason(err)));
    }
    // The lock goes with the open file, so it ends with the process however the process ends.
    while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        if (err == EINTR) {
            continue;
        }
        ::close(fd_);
        fd_ = -1;
        if (err == EWOULDBLOCK) {
            throw StartupAbort(StartupAbort::Kind::Information,
                               _("Program Trilo Programmer už běží."));
        }
        refuse(format(_("Soubor {0} nelze zamknout: {1}."), path, systemReason(err)));
    }
}

InstanceLock::~InstanceLock() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

}  // namespace trilo
