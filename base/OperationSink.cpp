#include "base/OperationSink.h"

#include "base/Hex.h"
#include "base/Text.h"

namespace trilo {

std::string ChipIdentity::summary() const {
    const char* shown = name != nullptr ? name : silent ? _("čip neodpovídá") : _("neznámý čip");
    return format(_("{0}, podpis {1}"), shown, hexBytes(bytes));
}

}  // namespace trilo
