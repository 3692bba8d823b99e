#include "files/IoErrors.h"

#include "base/SystemReason.h"
#include "base/Text.h"
#include "files/FileMove.h"

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

std::string czechErrorText(const TriloError& e) {
    const auto* io = dynamic_cast<const IoError*>(&e);
    if (io == nullptr) {
        return std::string(e.what()) + ".";
    }
    if (dynamic_cast<const SaveRefused*>(io) != nullptr) {
        return e.what();
    }
    if (dynamic_cast<const FileSwapped*>(io) != nullptr) {
        return _("soubor se změnil mezi prohlédnutím a otevřením");
    }
    if (const auto* other = dynamic_cast<const NotRegularFile*>(io)) {
        return other->directory() ? _("je to adresář")
                                  : _("není obyčejný soubor (roura nebo zařízení); data se čtou "
                                      "jen ze souboru nebo ze standardního vstupu (-)");
    }
    if (io->systemError() != 0) {
        return systemReason(io->systemError());
    }
    switch (io->code()) {
        case IoError::ReadBeyondEnd:
            return _("čtení za koncem souboru");
        case IoError::DiskFull:
            return systemReason(ENOSPC);
        default:
            return format(_("chyba souboru {}"), std::to_string(io->code()));
    }
}

}  // namespace trilo
