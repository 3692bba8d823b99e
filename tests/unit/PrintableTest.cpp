#include "base/Printable.h"

#include <gtest/gtest.h>

namespace trilo::test {
namespace {

TEST(Printable, EscapesWhatIsNotUtf8AndEveryControlCharacter) {
    const struct {
        std::string text;
        std::string shown;
    } cases[] = {
        {"čip „90S2313“ ! ", "čip „90S2313“ ! "},
        {"a\nb\tc\r", "a\\nb\\tc\\r"},
        {"\x1B[2J\x7F", "\\x1B[2J\\x7F"},
        {"\xC2\x9B"
         "31m",
         "\\u009B31m"},                                  // C1: the terminal's one-byte escape
        {"\xFF\xC3(\xE2\x82", "\\xFF\\xC3(\\xE2\\x82"},  // stray, cut short
        {"\xC0\xAF\xED\xA0\x80", "\\xC0\\xAF\\xED\\xA0\\x80"},  // overlong '/', a surrogate
        {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(printable(c.text), c.shown) << c.shown;
    }
}

}  // namespace
}  // namespace trilo::test
