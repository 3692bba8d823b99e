#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The program's words in the language the user chose. Its own words are Czech, as its first
// users had them, and they are the keys of its one message catalogue (the msgids of GNU
// gettext's .po files under po/); the English catalogue translates them, the Czech one gives
// the forms of the texts that have plural forms. The catalogues are compiled into the program
// at build time: the language is a setting (programmer.ini's Language, trilo-cli --lang)
// whatever the locale says, Czech by default, and no file is needed at run time.

// Marks a text for the catalogue where it is kept to be translated later, where it is shown
// (a table's texts): _(row.name).
#define N_(text) text

namespace trilo {

// The languages the program speaks, as settings and options name them ("cs", "en"), its own
// first: one for every catalogue the build compiled in.
std::vector<std::string> languages();
// The language's name in itself, as its catalogue gives it ("čeština", "English").
std::string languageName(std::string_view code);
// The language of the words from now on; false, and no change, for one the program does not
// speak. Czech until it is set.
bool setLanguage(std::string_view code);
std::string language();

// The text in the chosen language: the catalogue's translation, or the text itself where it
// has none. The pointer lives as long as the program.
const char* _(const char* text);

// The form for n of a text with plural forms, given by its Czech singular and plural (the
// catalogue's msgid and msgid_plural), by the plural rule of the language's catalogue.
const char* P_(const char* singular, const char* plural, std::uint64_t n);

// A pattern with its placeholders filled in order: "{}" takes the next argument, "{0}",
// "{1}" ... the argument of that number, so that a translation may put them in another order.
std::string fill(std::string_view pattern, std::initializer_list<std::string_view> args);
template <typename... Args>
std::string format(std::string_view pattern, const Args&... args) {
    return fill(pattern, {std::string_view(args)...});
}

// Tenths with the language's decimal separator, as its catalogue spells "{0},{1}": "1,4" in
// Czech, "1.4" in English.
std::string decimalTenths(std::int64_t tenths);

// The text with blanks after it up to a column of that many characters (not bytes: a word
// with diacritics takes the column a word without them takes); a longer text as it is.
std::string padded(std::string_view text, std::size_t columns);

}  // namespace trilo
