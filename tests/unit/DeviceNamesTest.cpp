#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devices/DeviceNames.h"

namespace trilo::test {
namespace {

struct NameCase {
    const char* typed;
    const char* device;  // the menu name it means, nullptr for none
};

TEST(DeviceNames, EverySpellingMeansItsDevice) {
    const NameCase cases[] = {
        {"90s8515", "90S8515"},    // the menu's name, any case
        {"89C2051", "89C2051"},    //
        {"AT90S8515", "90S8515"},  // the maker's full name
        {"at89c2051", "89C2051"},  //
        {"ATTINY28", "ATtiny28"},  // menu and maker's name at once
        {"1200", "90S1200"},       // the short AVR names
        {"8534", "90S8534"},       //
        {"T28", "ATtiny28"},       //
        {"2051", nullptr},         // no short names for the AT89 parts
        {"ATAT90S8515", nullptr},  //
        {"tiny28", nullptr},       //
    };
    for (const NameCase& c : cases) {
        const DeviceInfo* device = deviceFromTypedName(c.typed);
        EXPECT_EQ(device == nullptr ? std::string("-") : device->name,
                  std::string(c.device == nullptr ? "-" : c.device))
            << c.typed;
    }
}

TEST(DeviceNames, TyposGetTheClosestMenuNames) {
    struct Typo {
        const char* typed;
        std::vector<std::string> guesses;
    };
    const Typo cases[] = {
        // Two swapped digits are nearer than one changed digit (90S2333).
        {"90s2331", {"90S2313"}},
        // Equally near, in menu order.
        {"at90s8525", {"90S8515", "90S8535"}},
        {"pic16f84", {}},
    };
    for (const Typo& c : cases) {
        std::vector<std::string> guesses;
        for (const DeviceInfo* device : devicesNamedLike(c.typed)) {
            guesses.emplace_back(device->name);
        }
        EXPECT_EQ(guesses, c.guesses) << c.typed;
    }
}

}  // namespace
}  // namespace trilo::test
