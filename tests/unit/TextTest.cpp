// The catalogue: every text translated with the same placeholders, the plural rules, the
// placeholders filled, the language chosen by its code.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "base/Text.h"

namespace trilo::test {
namespace {

// A .po file's entries: each msgid (with its plural) and its msgstr forms.
struct Entry {
    std::vector<std::string> ids;
    std::vector<std::string> forms;
};

std::vector<Entry> entriesOf(const std::string& path) {
    std::ifstream in(path);
    std::vector<Entry> entries;
    std::string* last = nullptr;
    const std::regex field(R"(^(msgid|msgid_plural|msgstr(\[\d\])?) \"(.*)\"$)");
    const std::regex more(R"(^\"(.*)\"$)");
    for (std::string line; std::getline(in, line);) {
        std::smatch m;
        if (std::regex_match(line, m, field)) {
            if (m[1] == "msgid") {
                entries.emplace_back();
            }
            auto& list =
                m[1].str().rfind("msgid", 0) == 0 ? entries.back().ids : entries.back().forms;
            list.push_back(m[3]);
            last = &list.back();
        } else if (std::regex_match(line, m, more) && last != nullptr) {
            *last += m[1];
        }
    }
    return entries;
}

// The placeholders of a text, "{}" and "{1}" alike, and its printf directives, sorted.
std::vector<std::string> placeholders(const std::string& text) {
    std::vector<std::string> found;
    const std::regex any(R"(\{\d*\}|%[-0-9.]*[a-zA-Z])");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), any);
         it != std::sregex_iterator(); ++it) {
        const std::string p = it->str();
        found.push_back(p.front() == '{' ? "{}" : p);
    }
    std::sort(found.begin(), found.end());
    return found;
}

// Every language but the program's own translates every text.
TEST(Catalogue, EveryTranslationHasTheCzechPlaceholders) {
    const std::vector<std::string> codes = languages();
    ASSERT_GT(codes.size(), 1u);
    for (std::size_t k = 1; k < codes.size(); ++k) {
        const auto entries = entriesOf(std::string(TRILO_SOURCE_DIR) + "/po/" + codes[k] + ".po");
        ASSERT_GT(entries.size(), 1u) << codes[k];
        for (const Entry& e : entries) {
            if (e.ids.front().empty()) {
                continue;  // the header
            }
            for (const std::string& form : e.forms) {
                EXPECT_FALSE(form.empty()) << codes[k] << ": " << e.ids.front();
                EXPECT_EQ(placeholders(form), placeholders(e.ids.front()))
                    << codes[k] << ": " << e.ids.front();
            }
        }
    }
}

TEST(Catalogue, SpeaksTheChosenLanguage) {
    const std::vector<std::string> codes = languages();
    ASSERT_EQ(codes.front(), "cs");
    ASSERT_NE(std::find(codes.begin(), codes.end(), "en"), codes.end());
    EXPECT_EQ(languageName("en"), "English");
    EXPECT_EQ(languageName("cs"), "čeština");
    EXPECT_FALSE(setLanguage("xx"));
    EXPECT_EQ(language(), "cs");
    ASSERT_TRUE(setLanguage("en"));
    EXPECT_EQ(decimalTenths(14), "1.4");
    EXPECT_STREQ(_(""), "");
    setLanguage("cs");
    EXPECT_EQ(decimalTenths(14), "1,4");
    EXPECT_EQ(format("{} a {}", "x", "y"), "x a y");
    EXPECT_EQ(format("{1} před {0}", "x", "y"), "y před x");
    EXPECT_EQ(format("{a} {}", "x"), "{a} x");
    EXPECT_EQ(padded("CHYBA", 6), "CHYBA ");
    EXPECT_EQ(padded("Čtení", 6), "Čtení ");
    EXPECT_EQ(padded("ZÁPIS FLASH", 4), "ZÁPIS FLASH");
}

}  // namespace
}  // namespace trilo::test
