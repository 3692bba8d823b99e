// The fuzz targets are built without the catalogues that msgfmt compiles: none.
#include "base/Catalogues.h"

namespace trilo {

std::span<const CompiledCatalogue> compiledCatalogues() {
    return {};
}

}  // namespace trilo
