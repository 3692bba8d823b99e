#include "files/IoErrors.h"

#include <cerrno>

namespace trilo {

namespace {

IoError tableError(int err) {
    switch (err) {
        case ENOENT:
            return IoError(IoError::FileNotFound);
        case ENOTDIR:
        case ENAMETOOLONG:
        case EISDIR:
            return IoError(IoError::InvalidFilename);
        case EMFILE:
        case ENFILE:
            return IoError(IoError::TooManyOpenFiles);
        case EACCES:
        case EPERM:
        case EROFS:
            return IoError(IoError::AccessDenied);
        case ENOSPC:
        case EDQUOT:
            return IoError(IoError::DiskFull);
        default:
            // Always the explicit text: errno values such as EIO (5) or EINTR (4) would
            // otherwise borrow the text of a table code they only share a number with.
            return IoError(err, "I/O error " + std::to_string(err));
    }
}

}  // namespace

IoError ioErrorFromErrno(int err) {
    IoError error = tableError(err);
    error.setSystemError(err);
    return error;
}

void throwIoError(int err) {
    throw ioErrorFromErrno(err);
}

}  // namespace trilo
