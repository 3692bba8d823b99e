#include "base/Text.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "base/Catalogues.h"

namespace trilo {

namespace {

// A plural rule as a catalogue's header gives it, "(n==1) ? 0 : (n>=2 && n<=4) ? 1 : 2": the
// C expression gettext takes, of n, numbers, ?:, ||, &&, comparisons, + - * / % and !.
class PluralRule {
public:
    explicit PluralRule(std::string_view text) : text_(text) {}
    std::uint64_t operator()(std::uint64_t n) {
        n_ = n;
        at_ = 0;
        const std::uint64_t form = conditional();
        return at_ == text_.size() ? form : 0;
    }

private:
    void blanks() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t')) {
            ++at_;
        }
    }
    bool take(std::string_view token) {
        blanks();
        if (text_.substr(at_, token.size()) != token) {
            return false;
        }
        // "<" is not the start of "<=", nor "!" of "!=".
        if (token.size() == 1 && at_ + 1 < text_.size() && text_[at_ + 1] == '=' &&
            std::string_view("<>!=").find(token[0]) != std::string_view::npos) {
            return false;
        }
        at_ += token.size();
        blanks();
        return true;
    }
    std::uint64_t conditional() {
        const std::uint64_t test = binary(0);
        if (!take("?")) {
            return test;
        }
        const std::uint64_t yes = conditional();
        take(":");
        const std::uint64_t no = conditional();
        return test != 0 ? yes : no;
    }
    // The binary operators by precedence, the loosest first.
    std::uint64_t binary(std::size_t level) {
        static constexpr std::string_view kLevels[][4] = {
            {"||"}, {"&&"}, {"==", "!="}, {"<=", ">=", "<", ">"}, {"+", "-"}, {"*", "/", "%"}};
        if (level == std::size(kLevels)) {
            return unary();
        }
        std::uint64_t value = binary(level + 1);
        for (bool more = true; more;) {
            more = false;
            for (const std::string_view op : kLevels[level]) {
                if (!op.empty() && take(op)) {
                    value = apply(op, value, binary(level + 1));
                    more = true;
                    break;
                }
            }
        }
        return value;
    }
    static std::uint64_t apply(std::string_view op, std::uint64_t a, std::uint64_t b) {
        const char c = op[0];
        if (op.size() == 2) {
            return c == '|'   ? (a || b)
                   : c == '&' ? (a && b)
                   : c == '=' ? a == b
                   : c == '!' ? a != b
                   : c == '<' ? a <= b
                              : a >= b;
        }
        return c == '<'   ? a < b
               : c == '>' ? a > b
               : c == '+' ? a + b
               : c == '-' ? a - b
               : c == '*' ? a * b
               : b == 0   ? 0
               : c == '/' ? a / b
                          : a % b;
    }
    std::uint64_t unary() {
        if (take("!")) {
            return unary() == 0 ? 1 : 0;
        }
        if (take("(")) {
            const std::uint64_t value = conditional();
            take(")");
            return value;
        }
        if (take("n")) {
            return n_;
        }
        std::uint64_t value = 0;
        for (; at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9'; ++at_) {
            value = value * 10 + static_cast<std::uint64_t>(text_[at_] - '0');
        }
        blanks();
        return value;
    }

    std::string_view text_;
    std::uint64_t n_ = 0;
    std::size_t at_ = 0;
};

// A compiled catalogue (GNU gettext's .mo format, as msgfmt writes it): each key, a msgid or
// "msgid\0msgid_plural", with its translation, "form0\0form1...", and the header's plural rule.
class Catalogue {
public:
    explicit Catalogue(const CompiledCatalogue& compiled) : compiled_(compiled) {}

    std::string_view code() const { return compiled_.code; }

    // The translation's form number form, or nothing.
    const char* find(std::string_view key, std::uint64_t form) const {
        std::call_once(read_, [this] { read(); });
        const auto found = entries_.find(key);
        if (found == entries_.end()) {
            return nullptr;
        }
        std::string_view forms = found->second;
        for (; form > 0; --form) {
            const auto end = forms.find('\0');
            if (end == std::string_view::npos) {
                return nullptr;
            }
            forms.remove_prefix(end + 1);
        }
        // Every form ends in the catalogue's own NUL, so it is a C string as it stands.
        return forms.empty() ? nullptr : forms.data();
    }

    std::uint64_t form(std::uint64_t n) const {
        std::call_once(read_, [this] { read(); });
        PluralRule rule(plural_);
        return plural_.empty() ? (n == 1 ? 0 : 1) : rule(n);
    }

private:
    // Read when first asked: a run in the program's own words never reads the others.
    void read() const {
        const unsigned char* mo = compiled_.mo;
        const std::size_t size = compiled_.size;
        const auto word = [&](std::size_t at) -> std::uint32_t {
            std::uint32_t value = 0;
            if (at + 4 <= size) {
                std::memcpy(&value, mo + at, 4);
            }
            return value;
        };
        // msgfmt writes in the machine's byte order; anything else translates nothing.
        if (word(0) != 0x950412DEu) {
            return;
        }
        const auto text = [&](std::uint32_t table, std::uint32_t k) {
            const std::uint32_t length = word(table + 8 * k);
            const std::uint32_t at = word(table + 8 * k + 4);
            return std::size_t{at} + length < size
                       ? std::string_view(reinterpret_cast<const char*>(mo) + at, length)
                       : std::string_view();
        };
        for (std::uint32_t k = 0; k < word(8); ++k) {
            const std::string_view key = text(word(12), k);
            const std::string_view value = text(word(16), k);
            if (key.empty()) {
                header(value);
            } else {
                entries_.emplace(key.substr(0, key.find('\0')), value);
            }
        }
    }

    // "Plural-Forms: nplurals=3; plural=...;": the rule.
    void header(std::string_view text) const {
        const auto at = text.find("plural=");
        if (at != std::string_view::npos) {
            plural_ = std::string(text.substr(at + 7, text.find(';', at) - at - 7));
        }
    }

    const CompiledCatalogue& compiled_;
    mutable std::once_flag read_;
    mutable std::string plural_;
    mutable std::unordered_map<std::string_view, std::string_view> entries_;
};

const std::vector<std::unique_ptr<Catalogue>>& catalogues() {
    static const auto all = [] {
        std::vector<std::unique_ptr<Catalogue>> list;
        for (const CompiledCatalogue& compiled : compiledCatalogues()) {
            list.push_back(std::make_unique<Catalogue>(compiled));
        }
        return list;
    }();
    return all;
}

const Catalogue* catalogueOf(std::string_view code) {
    for (const auto& catalogue : catalogues()) {
        if (catalogue->code() == code) {
            return catalogue.get();
        }
    }
    return nullptr;
}

// The chosen catalogue; nothing while it is the program's own words without one.
std::mutex chosenLock;
const Catalogue* chosen = nullptr;
std::string chosenCode = "cs";

const Catalogue* current() {
    const std::lock_guard lock(chosenLock);
    return chosen != nullptr ? chosen : catalogueOf(chosenCode);
}

}  // namespace

std::vector<std::string> languages() {
    std::vector<std::string> codes;
    for (const auto& catalogue : catalogues()) {
        codes.emplace_back(catalogue->code());
    }
    return codes;
}

std::string languageName(std::string_view code) {
    const Catalogue* catalogue = catalogueOf(code);
    const char* name = catalogue != nullptr ? catalogue->find(N_("čeština"), 0) : nullptr;
    return name != nullptr ? name : code == "cs" ? "čeština" : std::string(code);
}

bool setLanguage(std::string_view code) {
    const Catalogue* catalogue = catalogueOf(code);
    if (catalogue == nullptr && code != "cs") {
        return false;
    }
    const std::lock_guard lock(chosenLock);
    chosen = catalogue;
    chosenCode = std::string(code);
    return true;
}

std::string language() {
    const std::lock_guard lock(chosenLock);
    return chosenCode;
}

const char* _(const char* text) {
    // The empty msgid is the catalogue's header, not a text of the program.
    if (text == nullptr || *text == 0) {
        return text;
    }
    const Catalogue* catalogue = current();
    const char* translated = catalogue != nullptr ? catalogue->find(text, 0) : nullptr;
    return translated != nullptr ? translated : text;
}

const char* P_(const char* singular, const char* plural, std::uint64_t n) {
    const Catalogue* catalogue = current();
    const std::uint64_t form = catalogue != nullptr ? catalogue->form(n) : (n == 1 ? 0 : 1);
    const char* translated = catalogue != nullptr ? catalogue->find(singular, form) : nullptr;
    if (translated != nullptr) {
        return translated;
    }
    return form == 0 ? singular : plural;
}

std::string fill(std::string_view pattern, std::initializer_list<std::string_view> args) {
    const std::vector<std::string_view> given(args);
    std::string text;
    std::size_t next = 0;
    for (std::size_t at = 0; at < pattern.size(); ++at) {
        const std::size_t close =
            pattern[at] == '{' ? pattern.find('}', at) : std::string_view::npos;
        const std::string_view inside = close == std::string_view::npos
                                            ? std::string_view()
                                            : pattern.substr(at + 1, close - at - 1);
        const bool number =
            !inside.empty() && inside.find_first_not_of("0123456789") == std::string_view::npos;
        if (close == std::string_view::npos || (!inside.empty() && !number)) {
            text += pattern[at];
            continue;
        }
        const std::size_t k = number ? std::stoul(std::string(inside)) : next++;
        if (k < given.size()) {
            text += given[k];
        }
        at = close;
    }
    return text;
}

std::string decimalTenths(std::int64_t tenths) {
    return format(_("{0},{1}"), std::to_string(tenths / 10), std::to_string(tenths % 10));
}

std::string padded(std::string_view text, std::size_t columns) {
    // UTF-8's continuation bytes are the ones that start no character.
    const auto width = static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
    std::string out(text);
    out.append(width < columns ? columns - width : 0, ' ');
    return out;
}

}  // namespace trilo
