#include "devices/DeviceNames.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <limits>
#include <span>

#include "base/Hex.h"
#include "base/Text.h"

namespace trilo {

namespace {

// Every spelling of a device: the menu's name, the maker's "AT" name, and for the AVR parts
// the short name without the family ("8515", "t28").
std::vector<std::string> spellings(const DeviceInfo& device) {
    const std::string name = device.name;
    std::vector<std::string> all{name};
    if (name.rfind("AT", 0) != 0) {
        all.push_back("AT" + name);
    }
    if (name.rfind("90S", 0) == 0) {
        all.push_back(name.substr(3));
    } else if (name.rfind("ATtiny", 0) == 0) {
        all.push_back(std::string("t").append(name, 6));
    }
    return all;
}

bool sameLetter(char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
}

// An edit costs 2, a swap of two neighbouring characters 1: a part number mistyped with two
// digits swapped ("2331" for "2313") is nearer than one with a digit changed ("2333").
constexpr int kEditCost = 2;

int typingDistance(const std::string& a, const std::string& b) {
    const std::size_t n = a.size();
    const std::size_t m = b.size();
    std::vector<std::vector<int>> d(n + 1, std::vector<int>(m + 1, 0));
    for (std::size_t i = 0; i <= n; ++i) {
        d[i][0] = static_cast<int>(i) * kEditCost;
    }
    for (std::size_t j = 0; j <= m; ++j) {
        d[0][j] = static_cast<int>(j) * kEditCost;
    }
    for (std::size_t i = 1; i <= n; ++i) {
        for (std::size_t j = 1; j <= m; ++j) {
            const int change = sameLetter(a[i - 1], b[j - 1]) ? 0 : kEditCost;
            d[i][j] = std::min(
                {d[i - 1][j] + kEditCost, d[i][j - 1] + kEditCost, d[i - 1][j - 1] + change});
            if (i > 1 && j > 1 && sameLetter(a[i - 1], b[j - 2]) &&
                sameLetter(a[i - 2], b[j - 1])) {
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        }
    }
    return d[n][m];
}

}  // namespace

const DeviceInfo* deviceFromTypedName(const std::string& typed) {
    for (const DeviceInfo& device : deviceCatalog()) {
        for (const std::string& spelling : spellings(device)) {
            if (::strcasecmp(spelling.c_str(), typed.c_str()) == 0) {
                return &device;
            }
        }
    }
    return nullptr;
}

std::vector<const DeviceInfo*> devicesNamedLike(const std::string& typed) {
    // One edit away for a short name, two for a longer one: anything further is no typo.
    const int limit = (typed.size() <= 4 ? 1 : 2) * kEditCost;
    int best = std::numeric_limits<int>::max();
    std::vector<std::pair<int, const DeviceInfo*>> scored;
    // The catalog is in menu order, so the names come in the order the menus list them.
    for (const DeviceInfo& entry : deviceCatalog()) {
        const DeviceInfo* device = &entry;
        int nearest = std::numeric_limits<int>::max();
        for (const std::string& spelling : spellings(*device)) {
            nearest = std::min(nearest, typingDistance(typed, spelling));
        }
        scored.emplace_back(nearest, device);
        best = std::min(best, nearest);
    }
    std::vector<const DeviceInfo*> closest;
    for (const auto& [distance, device] : scored) {
        if (distance == best && distance <= limit && closest.size() < 3) {
            closest.push_back(device);
        }
    }
    return closest;
}

std::string deviceListText() {
    // TRANSLATORS: the columns line up with the rows below it: 10, 9, 7, 8 and 12 characters
    // before "Fuse bity".
    std::string list = _("Čip       Rodina   FLASH  EEPROM  Podpis      Fuse bity\n");
    auto row = [&](const DeviceInfo& d) {
        // What the chip answers, as -s shows it, with the bytes the check does not compare in
        // parentheses: "1E 53 (FF)".
        const std::span<const std::uint8_t> answered(d.signature.bytes.data(), d.signatureLength());
        const auto checked = static_cast<std::size_t>(d.signature.checked);
        std::string signature = hexBytes(answered.first(checked));
        if (checked < answered.size()) {
            signature += " (" + hexBytes(answered.subspan(checked)) + ")";
        }
        const std::string fuses = fuseNames(d);
        char line[160];
        std::snprintf(line, sizeof line, "%-8s  %-6s  %6d  %6d  %-10s  %s\n", d.name,
                      familyName(d.family), static_cast<int>(d.flashSize),
                      static_cast<int>(d.eepromSize), signature.c_str(),
                      fuses.empty() ? "-" : fuses.c_str());
        list += line;
    };
    for (const DeviceInfo& d : deviceCatalog()) {
        row(d);
    }
    return list;
}

}  // namespace trilo
