#include "readers/xmp.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace {

using View = std::string_view;

// Far beyond what any editor writes; a packet past them is not a photo's metadata.
constexpr size_t MaxDepth = 64;
constexpr size_t MaxBindings = 256; // namespace declarations in scope at once
// "&#x10FFFF;" is the longest reference worth decoding; looking no further keeps a run of
// ampersands linear.
constexpr size_t MaxReference = 10;

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool EndsName(char c) {
    return IsSpace(c) || c == '/' || c == '>' || c == '<' || c == '=' || c == '"' || c == '\'';
}

void AppendUtf8(uint32_t c, std::string *out) {
    if (c < 0x80) {
        *out += char(c);
    } else if (c < 0x800) {
        *out += char(0xC0 | c >> 6);
        *out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out += char(0xE0 | c >> 12);
        *out += char(0x80 | (c >> 6 & 0x3F));
        *out += char(0x80 | (c & 0x3F));
    } else {
        *out += char(0xF0 | c >> 18);
        *out += char(0x80 | (c >> 12 & 0x3F));
        *out += char(0x80 | (c >> 6 & 0x3F));
        *out += char(0x80 | (c & 0x3F));
    }
}

// The character a reference ("amp", "#43", "#x2B") stands for, appended; false for one XML does
// not know or does not allow.
bool AppendReference(View name, std::string *out) {
    static const struct {
        const char *name;
        char c;
    } named[] = {{"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
    for (const auto &n : named)
        if (name == n.name) {
            *out += n.c;
            return true;
        }
    if (name.size() < 2 || name[0] != '#')
        return false;
    bool hex = name[1] == 'x';
    View digits = name.substr(hex ? 2 : 1);
    if (digits.empty())
        return false;
    uint32_t c = 0;
    for (char d : digits) { // at most eight digits: no overflow
        int v = d >= '0' && d <= '9'                            ? d - '0'
                : hex && (d | 0x20) >= 'a' && (d | 0x20) <= 'f' ? (d | 0x20) - 'a' + 10
                                                                : -1;
        if (v < 0)
            return false;
        c = c * (hex ? 16 : 10) + uint32_t(v);
    }
    bool allowed = c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
                   (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
    if (allowed)
        AppendUtf8(c, out);
    return allowed;
}

// Text or an attribute value with its references decoded; a broken one is kept as written.
void AppendDecoded(View text, std::string *out) {
    for (size_t i = 0; i < text.size();) {
        size_t semicolon = text[i] == '&' ? text.substr(i + 1, MaxReference).find(';') : View::npos;
        if (semicolon != View::npos && AppendReference(text.substr(i + 1, semicolon), out)) {
            i += semicolon + 2;
        } else {
            *out += text[i++];
        }
    }
}

class Scanner {
  public:
    Scanner(View text, View uri, View local) : s_(text), uri_(uri), local_(local) {}

    bool Find(std::string *value) {
        while (pos_ < s_.size()) {
            size_t open = s_.find('<', pos_);
            if (open == View::npos)
                return false;
            if (capturing_)
                AppendDecoded(s_.substr(pos_, open - pos_), &captured_);
            pos_ = open;
            Step step = Markup();
            if (step == Step::Found) {
                *value = captured_;
                return true;
            }
            if (step == Step::Stop)
                return false;
        }
        return false;
    }

  private:
    enum class Step { Next, Found, Stop };

    struct Binding {
        View prefix; // empty for the default namespace
        std::string uri;
    };
    struct Element {
        View name;
        size_t bindings; // the declarations in scope before it
    };

    bool At(size_t at, View text) const { return s_.substr(at, text.size()) == text; }

    // Moves past the next end, or fails.
    bool SkipPast(View end) {
        size_t at = s_.find(end, pos_);
        if (at == View::npos)
            return false;
        pos_ = at + end.size();
        return true;
    }

    void SkipSpace() {
        while (pos_ < s_.size() && IsSpace(s_[pos_]))
            ++pos_;
    }

    View Name() {
        size_t start = pos_;
        while (pos_ < s_.size() && !EndsName(s_[pos_]))
            ++pos_;
        return s_.substr(start, pos_ - start);
    }

    // The markup at pos_, which is at a '<'.
    Step Markup() {
        if (At(pos_, "<!--")) {
            pos_ += 4;
            return SkipPast("-->") ? Step::Next : Step::Stop;
        }
        if (At(pos_, "<?")) {
            pos_ += 2;
            return SkipPast("?>") ? Step::Next : Step::Stop;
        }
        if (At(pos_, "<![CDATA[")) {
            size_t start = pos_ += 9;
            if (!SkipPast("]]>"))
                return Step::Stop;
            if (capturing_)
                captured_.append(s_.substr(start, pos_ - 3 - start));
            return Step::Next;
        }
        if (At(pos_, "<!"))
            return SkipDeclaration() ? Step::Next : Step::Stop;
        if (At(pos_, "</"))
            return EndTag();
        return StartTag();
    }

    // <!DOCTYPE ...> with an internal subset in brackets, whose entities are never expanded.
    bool SkipDeclaration() {
        size_t close = s_.find_first_of("[>", pos_);
        if (close == View::npos)
            return false;
        pos_ = close + 1;
        if (s_[close] == '>')
            return true;
        for (;;) {
            if (!SkipPast("]"))
                return false;
            SkipSpace();
            if (pos_ < s_.size() && s_[pos_] == '>') {
                ++pos_;
                return true;
            }
        }
    }

    Step EndTag() {
        pos_ += 2;
        View name = Name();
        SkipSpace();
        if (pos_ >= s_.size() || s_[pos_] != '>' || open_.empty() || open_.back().name != name)
            return Step::Stop;
        ++pos_;
        if (capturing_ && open_.size() == captureDepth_)
            return Step::Found;
        bindings_.resize(open_.back().bindings);
        open_.pop_back();
        return Step::Next;
    }

    Step StartTag() {
        ++pos_;
        View name = Name();
        if (name.empty())
            return Step::Stop;
        attributes_.clear();
        for (;;) {
            SkipSpace();
            if (pos_ >= s_.size())
                return Step::Stop;
            if (s_[pos_] == '>' || At(pos_, "/>"))
                break;
            View attribute = Name();
            SkipSpace();
            if (attribute.empty() || pos_ >= s_.size() || s_[pos_] != '=')
                return Step::Stop;
            ++pos_;
            SkipSpace();
            if (pos_ >= s_.size() || (s_[pos_] != '"' && s_[pos_] != '\''))
                return Step::Stop;
            size_t start = ++pos_;
            if (!SkipPast(s_.substr(start - 1, 1)))
                return Step::Stop;
            attributes_.push_back({attribute, s_.substr(start, pos_ - 1 - start)});
        }
        bool empty = s_[pos_] == '/';
        pos_ += empty ? 2 : 1;
        capturing_ = false; // an element inside: the property is no simple value

        // The declarations first: they hold for the element and all its attributes.
        size_t before = bindings_.size();
        for (const Attribute &a : attributes_) {
            if (a.name != "xmlns" && a.name.substr(0, 6) != "xmlns:")
                continue;
            if (bindings_.size() == MaxBindings)
                return Step::Stop;
            bindings_.push_back({a.name.substr(a.name.size() > 5 ? 6 : 5), std::string()});
            AppendDecoded(a.value, &bindings_.back().uri);
        }
        for (const Attribute &a : attributes_) {
            // An attribute without a prefix is in no namespace, whatever the default is.
            size_t colon = a.name.find(':');
            if (colon != View::npos && colon > 0 &&
                Matches(a.name.substr(0, colon), a.name.substr(colon + 1))) {
                captured_.clear();
                AppendDecoded(a.value, &captured_);
                return Step::Found;
            }
        }
        size_t colon = name.find(':');
        bool matches = colon == View::npos ? Matches(View(), name)
                                           : Matches(name.substr(0, colon), name.substr(colon + 1));
        if (matches && empty) {
            captured_.clear();
            return Step::Found;
        }
        if (empty) {
            bindings_.resize(before);
            return Step::Next;
        }
        if (open_.size() == MaxDepth)
            return Step::Stop;
        open_.push_back({name, before});
        if (matches) {
            capturing_ = true;
            captureDepth_ = open_.size();
            captured_.clear();
        }
        return Step::Next;
    }

    // Whether a name is the property looked for: by the nearest declaration of its prefix (the
    // empty one being the default namespace).
    bool Matches(View prefix, View local) const {
        if (local != local_)
            return false;
        for (size_t i = bindings_.size(); i-- > 0;)
            if (bindings_[i].prefix == prefix)
                return bindings_[i].uri == uri_;
        return false;
    }

    struct Attribute {
        View name;
        View value; // as written
    };

    View s_;
    View uri_;
    View local_;
    size_t pos_ = 0;
    std::vector<Binding> bindings_;
    std::vector<Element> open_;
    std::vector<Attribute> attributes_;
    bool capturing_ = false;
    size_t captureDepth_ = 0;
    std::string captured_;
};

} // namespace

bool FindXmpValue(const std::string &packet, const char *namespaceUri, const char *localName,
                  std::string *value) {
    return Scanner(packet, namespaceUri, localName).Find(value);
}
