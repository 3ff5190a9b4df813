#include "readers/export_names.h"

#include <algorithm>
#include <cstdint>

namespace {

// The export counts names in UTF-16 units. A JSON name keeps 46 of the item's name and suffix,
// then the number and ".json". An item's own name keeps 47 before its extension; every clipped
// one seen had a three-letter extension, so 51 with the extension fits them as well.
constexpr size_t JsonNameUnits = 46;
constexpr size_t MediaBaseUnits = 47;
constexpr size_t MediaNameUnits = 51;
const std::wstring Supplement = L".supplemental-metadata"; // since 2024; before, nothing
const std::wstring Json = L".json";

// What the export puts after the original's name for a copy made from it, in the export's
// language.
const wchar_t *const EditedWords[] = {
    L"-edited",                   // English
    L"-effects",                  // English, variants the service made
    L"-smile",                    // English, variants the service made
    L"-mix",                      // English, variants the service made
    L"-bearbeitet",               // German
    L"-modifi\u00E9",             // French
    L"-modifie\u0301",            // French, decomposed
    L"-ha editado",               // Spanish
    L"-modificato",               // Italian
    L"-bewerkt",                  // Dutch
    L"-edytowane",                // Polish
    L"-editat",                   // Catalan
    L"-\u7DE8\u96C6\u6E08\u307F", // Japanese
};
// A motion photo comes out as its still and its video: X.MP.jpg and X.MP, or X.jpg and X.MP4.
const wchar_t *const VideoExtensions[] = {L".mp", L".mv", L".mp4", L".mov"};
const wchar_t *const StillExtensions[] = {L".jpg", L".jpeg", L".heic", L".heif"};

wchar_t Fold(wchar_t c) {
    if ((c >= L'A' && c <= L'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return wchar_t(c + 0x20);
    // Latin Extended-A pairs upper and lower case, upper first or lower first by range.
    if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
        return wchar_t(c | 1);
    if (((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) && (c & 1))
        return wchar_t(c + 1);
    return c == 0x178 ? wchar_t(0xFF) : c;
}

bool Same(const std::wstring &a, const std::wstring &b) {
    return a.size() == b.size() && FoldName(a) == FoldName(b);
}

bool EndsWith(const std::wstring &name, const std::wstring &end) {
    return name.size() >= end.size() && Same(name.substr(name.size() - end.size()), end);
}

template <size_t N> bool OneOf(const std::wstring &extension, const wchar_t *const (&list)[N]) {
    return std::any_of(list, list + N, [&](const wchar_t *e) { return Same(extension, e); });
}

// The name before its extension, and the extension with its dot (empty without one).
struct Parts {
    std::wstring base, extension;
};

Parts Split(const std::wstring &name) {
    size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos || dot == 0)
        return {name, L""};
    return {name.substr(0, dot), name.substr(dot)};
}

// The character at i: how many wchar_t it takes, and how many UTF-16 units.
struct Char {
    size_t width, units;
};

Char CharAt(const std::wstring &s, size_t i) {
    uint32_t c = uint32_t(s[i]);
    if (c > 0xFFFF)
        return {1, 2};
    bool pair = c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && uint32_t(s[i + 1]) >= 0xDC00 &&
                uint32_t(s[i + 1]) <= 0xDFFF;
    return pair ? Char{2, 2} : Char{1, 1};
}

size_t Units(const std::wstring &s) {
    size_t units = 0;
    for (size_t i = 0; i < s.size(); i += CharAt(s, i).width)
        units += CharAt(s, i).units;
    return units;
}

// The first `units` UTF-16 units of s. A cut inside a surrogate pair gives two: with the whole
// pair, as the export was seen to keep it, and without it.
std::vector<std::wstring> Clips(const std::wstring &s, size_t units) {
    size_t used = 0;
    for (size_t i = 0; i < s.size();) {
        Char c = CharAt(s, i);
        if (used + c.units > units) {
            if (used < units)
                return {s.substr(0, i + c.width), s.substr(0, i)};
            return {s.substr(0, i)};
        }
        used += c.units;
        i += c.width;
    }
    return {s};
}

// The names the export gives an item of this original name: the name, or its base clipped.
std::vector<std::wstring> ExportedNames(const std::wstring &original) {
    Parts p = Split(original);
    std::vector<std::wstring> names = {original};
    size_t extension = Units(p.extension);
    for (size_t limit : {MediaBaseUnits, MediaNameUnits - std::min(extension, MediaNameUnits)})
        if (Units(p.base) > limit)
            for (const std::wstring &clip : Clips(p.base, limit))
                names.push_back(clip + p.extension);
    return names;
}

bool IsClippedBase(const Parts &p) {
    size_t units = Units(p.base);
    return units == MediaBaseUnits || units + Units(p.extension) == MediaNameUnits;
}

// An item's name without a duplicate's number, and that number, "(1)" (empty for the name as is).
struct Variant {
    std::wstring name, number;
};

// The name as it is, then, for NAME(n).EXT, NAME.EXT numbered n: the number may belong to the
// original name too, unless the name is longer than the export makes them. Then it was added
// after the clipping, and reading it as the name's own would clip it off.
std::vector<Variant> Variants(const std::wstring &name) {
    std::vector<Variant> variants = {{name, L""}};
    Parts p = Split(name);
    size_t open = p.base.rfind(L'(');
    if (open == std::wstring::npos || open == 0 || p.base.back() != L')')
        return variants;
    size_t digits = p.base.size() - open - 2;
    if (digits < 1 || digits > 9)
        return variants;
    for (size_t i = open + 1; i + 1 < p.base.size(); ++i)
        if (p.base[i] < L'0' || p.base[i] > L'9')
            return variants;
    variants.push_back({p.base.substr(0, open) + p.extension, p.base.substr(open)});
    if (Units(p.base) > MediaBaseUnits && Units(name) > MediaNameUnits)
        variants.erase(variants.begin());
    return variants;
}

// The originals of an edited copy; the clipping may have cut the word short.
std::vector<std::wstring> EditedOriginals(const std::wstring &name) {
    Parts p = Split(name);
    std::vector<std::wstring> originals;
    const std::wstring base = FoldName(p.base);
    const bool clipped = IsClippedBase(p);
    for (const wchar_t *word : EditedWords) {
        const std::wstring w = FoldName(word);
        for (size_t n = w.size(); n >= 1; --n)
            if ((n == w.size() || clipped) && base.size() > n &&
                base.compare(base.size() - n, n, w, 0, n) == 0)
                originals.push_back(p.base.substr(0, p.base.size() - n) + p.extension);
    }
    return originals;
}

// The originals whose JSON an item without one of its own shares: an edited copy's, a motion
// video's still, and the name given without an extension, which the export added to the item
// but not to its JSON. Best first.
std::vector<std::wstring> Originals(const std::wstring &name) {
    std::vector<std::wstring> originals = EditedOriginals(name);
    std::vector<std::wstring> sources = originals;
    sources.insert(sources.begin(), name);
    for (const std::wstring &source : sources) {
        Parts p = Split(source);
        if (OneOf(p.extension, VideoExtensions))
            for (const wchar_t *still : StillExtensions) {
                originals.push_back(source + still);
                originals.push_back(p.base + still);
            }
        if (!p.extension.empty())
            originals.push_back(p.base);
    }
    return originals;
}

// The JSON names the export may have given an item of this original name and number.
void JsonNames(const std::wstring &original, const std::wstring &number,
               std::vector<std::wstring> *names) {
    for (const std::wstring &clip : Clips(original + Supplement, JsonNameUnits))
        names->push_back(clip + number + Json);
    for (const std::wstring &clip : Clips(original, JsonNameUnits))
        names->push_back(clip + number + Json);
    // The suffix cut elsewhere than the rule says has been reported: cheap to look for too.
    for (size_t n = Supplement.size() - 1; n >= 2; --n)
        names->push_back(original + Supplement.substr(0, n) + number + Json);
}

} // namespace

std::wstring FoldName(const std::wstring &name) {
    std::wstring folded = name;
    for (wchar_t &c : folded)
        c = Fold(c);
    return folded;
}

void FolderIndex::Add(const std::wstring &name) {
    names_.emplace(FoldName(name), name); // of names equal without case, the first stays
    sidecars_ += IsSidecarName(name);
}

const std::wstring *FolderIndex::Find(const std::wstring &name) const {
    auto found = names_.find(FoldName(name));
    return found == names_.end() ? nullptr : &found->second;
}

std::vector<std::wstring> ExportJsonFirstNames(const std::wstring &mediaName) {
    std::vector<std::wstring> names;
    if (mediaName.empty() || IsSidecarName(mediaName))
        return names;
    for (const std::wstring &clip : Clips(mediaName + Supplement, JsonNameUnits))
        names.push_back(clip + Json);
    for (const std::wstring &clip : Clips(mediaName, JsonNameUnits))
        names.push_back(clip + Json);
    return names;
}

std::vector<std::wstring> ExportJsonCandidates(const std::wstring &mediaName,
                                               const FolderIndex &folder) {
    std::vector<std::wstring> found;
    if (mediaName.empty() || IsSidecarName(mediaName))
        return found;
    // Its own JSON first, as named and as a numbered duplicate; then the one it shares.
    std::vector<Variant> variants = Variants(mediaName);
    std::vector<std::wstring> names;
    for (const Variant &v : variants)
        JsonNames(v.name, v.number, &names);
    for (const Variant &v : variants)
        for (const std::wstring &original : Originals(v.name))
            JsonNames(original, v.number, &names);
    for (const std::wstring &name : names) {
        const std::wstring *listed = folder.Find(name);
        if (listed && std::find(found.begin(), found.end(), *listed) == found.end())
            found.push_back(*listed);
    }
    return found;
}

bool ExportTitleMatches(const std::wstring &title, const std::wstring &mediaName) {
    if (title.empty() || mediaName.empty() || IsSidecarName(mediaName))
        return false;
    if (Same(title, mediaName))
        return true; // the item itself, as most are
    // The item of this title and its edited copies, as the export names them before numbering.
    Parts t = Split(title);
    std::vector<std::wstring> originals = {title};
    for (const wchar_t *word : EditedWords)
        originals.push_back(t.base + word + t.extension);
    for (const Variant &v : Variants(mediaName)) {
        Parts m = Split(v.name);
        for (const std::wstring &original : originals) {
            std::vector<std::wstring> names = ExportedNames(original);
            if (std::any_of(names.begin(), names.end(),
                            [&](const std::wstring &n) { return Same(n, v.name); }))
                return true;
            // An extension added by the export.
            if (!m.extension.empty() && Same(m.base, original))
                return true;
        }
        // A motion video beside its still: X.MP beside X.MP.jpg, X.MP4 beside X.jpg.
        if (OneOf(m.extension, VideoExtensions) && OneOf(t.extension, StillExtensions) &&
            (Same(v.name, t.base) || Same(m.base, t.base)))
            return true;
    }
    return false;
}

bool IsSidecarName(const std::wstring &name) {
    return EndsWith(name, Json) || EndsWith(name, L".xmp");
}

std::vector<std::wstring> XmpSidecarCandidates(const std::wstring &mediaName,
                                               const FolderIndex &folder) {
    std::vector<std::wstring> found;
    if (mediaName.empty() || IsSidecarName(mediaName))
        return found;
    for (const std::wstring &name : {mediaName + L".xmp", Split(mediaName).base + L".xmp"}) {
        const std::wstring *listed = folder.Find(name);
        if (listed && std::find(found.begin(), found.end(), *listed) == found.end())
            found.push_back(*listed);
    }
    return found;
}
