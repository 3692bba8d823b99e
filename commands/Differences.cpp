#include "commands/Differences.h"

#include <algorithm>
#include <bit>
#include <optional>

#include "base/Text.h"

namespace trilo::commands {

std::string ExplainDifferences(std::span<const std::uint8_t> file,
                               std::span<const std::uint8_t> chip) {
    const std::size_t n = std::min(file.size(), chip.size());
    std::size_t differing = 0;
    std::size_t keptOnes = 0;  // the chip has 1 where the file has 0, and no bit the other way
    std::size_t lostOnes = 0;  // the chip has 0 where the file has 1, and no bit the other way
    std::optional<std::uint8_t> sameBits;
    bool oneMask = true;
    bool allFF = true;
    bool all00 = true;
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t f = file[i];
        const std::uint8_t c = chip[i];
        allFF = allFF && c == 0xFF;
        all00 = all00 && c == 0x00;
        const auto x = static_cast<std::uint8_t>(f ^ c);
        if (x == 0) {
            continue;
        }
        ++differing;
        oneMask = oneMask && sameBits.value_or(x) == x;
        sameBits = x;
        keptOnes += (x & f) == 0;
        lostOnes += (x & c) == 0;
    }
    if (differing == 0) {
        return {};
    }
    const std::string count =
        format(_("rozdílných bajtů: {0} z {1}"), std::to_string(differing), std::to_string(n));
    const auto shows = [&](const char* what) { return count + "; " + what; };
    if (allFF) {
        return shows(_("čip vrací samé FF: je prázdný, nebo v patici žádný čip neodpovídá"));
    }
    if (all00) {
        return shows(
            _("čip vrací samé 00: v patici žádný čip neodpovídá, nebo je čtení zamčeno "
              "lock bity"));
    }
    // One byte says nothing of the chip as a whole: as likely a cell as a line or an erase.
    if (differing == 1) {
        return count;
    }
    if (oneMask && std::has_single_bit(*sameBits)) {
        // Appended, not "D" + ...: GCC 12 takes that for an overlapping copy in a Release build.
        std::string line(1, 'D');
        line += std::to_string(std::countr_zero(*sameBits));
        return count + "; " +
               format(_("všechny rozdíly jsou v bitu {0}: zkontrolujte datový vodič {0}"), line);
    }
    if (2 * keptOnes > differing) {
        return shows(_("čip má většinou 1 tam, kde soubor 0: tyto bajty se nezapsaly"));
    }
    if (2 * lostOnes > differing) {
        return shows(_("čip má většinou 0 tam, kde soubor 1: čip asi nebyl před zápisem smazán"));
    }
    return count;
}

}  // namespace trilo::commands
