#include "production/RecordFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "base/Errors.h"
#include "base/SystemReason.h"
#include "base/Text.h"

namespace trilo {

namespace {

struct flock wholeFile(short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;
    return lock;
}

}  // namespace

std::string recordDistrust(const struct stat& st) {
    if (!S_ISREG(st.st_mode)) {
        return _("není obyčejný soubor");
    }
    if (st.st_uid != ::geteuid()) {
        return _("patří jinému uživateli");
    }
    if ((st.st_mode & S_IWOTH) != 0) {
        return _("je zapisovatelný pro všechny");
    }
    if ((st.st_mode & S_IWUSR) == 0) {
        return _("je jen pro čtení");
    }
    return {};
}

RecordLock::RecordLock(int fd, const std::string& what) : fd_(fd) {
    struct flock lock = wholeFile(F_WRLCK);
    // A signal ends the wait: trilo-cli's Ctrl+C must not wait for another run's lock.
    if (::fcntl(fd_, F_OFD_SETLKW, &lock) != 0) {
        throw TriloError(
            format(_("{0} nelze zamknout: {1}"), what,
                   errno == EINTR ? std::string(_("čekání přerušeno")) : systemReason(errno)));
    }
}

RecordLock::~RecordLock() {
    struct flock lock = wholeFile(F_UNLCK);
    ::fcntl(fd_, F_OFD_SETLK, &lock);
}

}  // namespace trilo
