#pragma once

#include <cstddef>
#include <span>

// The message catalogues the build compiled in (po/LANG.po through msgfmt), the program's own
// language first; defined in a source the build generates.
namespace trilo {

struct CompiledCatalogue {
    const char* code;
    const unsigned char* mo;
    std::size_t size;
};

std::span<const CompiledCatalogue> compiledCatalogues();

}  // namespace trilo
