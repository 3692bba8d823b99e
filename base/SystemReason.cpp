#include "base/SystemReason.h"

#include <cerrno>

#include "base/Text.h"

namespace trilo {

std::string systemReason(int err) {
    switch (err) {
        case ENOENT:
            return _("soubor nebo adresář neexistuje");
        case EACCES:
        case EPERM:
            return _("přístup odepřen");
        case EROFS:
            return _("systém souborů je jen pro čtení");
        case EISDIR:
            return _("je to adresář");
        case ENOTDIR:
            return _("část cesty není adresář");
        case ENAMETOOLONG:
            return _("jméno je příliš dlouhé");
        case EMFILE:
        case ENFILE:
            return _("příliš mnoho otevřených souborů");
        case ENOSPC:
        case EDQUOT:
            return _("na disku není místo");
        case EPIPE:
            return _("druhá strana roury skončila");
        case EIO:
            return _("chyba vstupu a výstupu zařízení");
        case ELOOP:
            return _("příliš mnoho symbolických odkazů");
        case ENXIO:
        case ENODEV:
            return _("zařízení neexistuje");
        case EBUSY:
            return _("zařízení je obsazeno");
        default:
            return format(_("systémová chyba {}"), std::to_string(err));
    }
}

}  // namespace trilo
