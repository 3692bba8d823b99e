#include "base/SystemReason.h"

#include <cerrno>

namespace trilo {

std::string systemReason(int err) {
    switch (err) {
        case ENOENT:
            return "soubor nebo adresář neexistuje";
        case EACCES:
        case EPERM:
            return "přístup odepřen";
        case EROFS:
            return "systém souborů je jen pro čtení";
        case EISDIR:
            return "je to adresář";
        case ENOTDIR:
            return "část cesty není adresář";
        case ENAMETOOLONG:
            return "jméno je příliš dlouhé";
        case EMFILE:
        case ENFILE:
            return "příliš mnoho otevřených souborů";
        case ENOSPC:
        case EDQUOT:
            return "na disku není místo";
        case EPIPE:
            return "druhá strana roury skončila";
        case EIO:
            return "chyba vstupu a výstupu zařízení";
        case ELOOP:
            return "příliš mnoho symbolických odkazů";
        case ENXIO:
        case ENODEV:
            return "zařízení neexistuje";
        case EBUSY:
            return "zařízení je obsazeno";
        default:
            return "systémová chyba " + std::to_string(err);
    }
}

}  // namespace trilo
