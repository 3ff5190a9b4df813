#include "resource_reader.h"

#include <cwctype>

namespace restest {

ProgramImage::ProgramImage(const std::wstring &path)
    : module_(LoadLibraryExW(path.c_str(), nullptr,
                             LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}

namespace {

BOOL CALLBACK AddLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR param) {
    reinterpret_cast<std::vector<LANGID> *>(param)->push_back(language);
    return TRUE;
}

} // namespace

std::vector<LANGID> ProgramImage::Languages(const wchar_t *type, const wchar_t *name) const {
    std::vector<LANGID> languages;
    EnumResourceLanguagesW(module_.Get(), type, name, AddLanguage,
                           reinterpret_cast<LONG_PTR>(&languages));
    return languages;
}

std::vector<BYTE> ProgramImage::Resource(const wchar_t *type, const wchar_t *name,
                                         LANGID language) const {
    // The loader falls back to other languages; only an existing language counts here.
    const std::vector<LANGID> languages = Languages(type, name);
    bool exists = false;
    for (LANGID present : languages)
        exists = exists || present == language;
    if (!exists)
        return {};
    HRSRC found = FindResourceExW(module_.Get(), type, name, language);
    if (!found)
        return {};
    HGLOBAL loaded = LoadResource(module_.Get(), found);
    const auto *bytes = static_cast<const BYTE *>(LockResource(loaded));
    if (!bytes)
        return {};
    return std::vector<BYTE>(bytes, bytes + SizeofResource(module_.Get(), found));
}

std::map<int, std::wstring> ReadStrings(const ProgramImage &image, LANGID language) {
    std::map<int, std::wstring> strings;
    for (int block = 1; block <= 16; ++block) {
        const std::vector<BYTE> data = image.Resource(RT_STRING, MAKEINTRESOURCEW(block), language);
        size_t at = 0;
        // A block holds 16 counted strings (a length word, then the characters).
        for (int index = 0; index < 16 && at + 2 <= data.size(); ++index) {
            const WORD length = static_cast<WORD>(data[at] | data[at + 1] << 8);
            at += 2;
            std::wstring text;
            for (WORD i = 0; i < length && at + 2 <= data.size(); ++i, at += 2)
                text += static_cast<wchar_t>(data[at] | data[at + 1] << 8);
            if (!text.empty())
                strings[(block - 1) * 16 + index] = text;
        }
    }
    return strings;
}

namespace {

// Reads little-endian words from a template and remembers whether it ran past the end.
class TemplateReader {
  public:
    explicit TemplateReader(const std::vector<BYTE> &data) : data_(data) {}
    bool Ok() const { return ok_; }
    bool AtEnd() const { return at_ >= data_.size(); }

    WORD Word() {
        if (at_ + 2 > data_.size()) {
            ok_ = false;
            return 0;
        }
        const WORD value = static_cast<WORD>(data_[at_] | data_[at_ + 1] << 8);
        at_ += 2;
        return value;
    }
    DWORD Dword() {
        const DWORD low = Word();
        return low | static_cast<DWORD>(Word()) << 16;
    }
    BYTE Byte() {
        if (at_ >= data_.size()) {
            ok_ = false;
            return 0;
        }
        return data_[at_++];
    }
    std::wstring Text() {
        std::wstring text;
        for (WORD c = Word(); ok_ && c != 0; c = Word())
            text += static_cast<wchar_t>(c);
        return text;
    }
    // A name or an ordinal (0xFFFF then the number); ordinal receives -1 for a name.
    std::wstring NameOrOrdinal(int *ordinal) {
        *ordinal = -1;
        if (at_ + 2 <= data_.size() && data_[at_] == 0xFF && data_[at_ + 1] == 0xFF) {
            Word();
            *ordinal = Word();
            return {};
        }
        return Text();
    }
    void Skip(size_t count) {
        at_ += count;
        if (at_ > data_.size())
            ok_ = false;
    }
    void AlignToDword() { at_ = (at_ + 3) & ~size_t{3}; }

  private:
    const std::vector<BYTE> &data_;
    size_t at_ = 0;
    bool ok_ = true;
};

std::wstring ClassName(const std::wstring &name, int atom) {
    switch (atom) {
    case 0x80:
        return L"button";
    case 0x81:
        return L"edit";
    case 0x82:
        return L"static";
    case 0x83:
        return L"listbox";
    case 0x84:
        return L"scrollbar";
    case 0x85:
        return L"combobox";
    case -1:
        break;
    default:
        return L"#" + std::to_wstring(atom);
    }
    std::wstring lower = name;
    for (wchar_t &c : lower)
        c = static_cast<wchar_t>(std::towlower(c));
    return lower;
}

} // namespace

bool ParseDialogTemplate(const std::vector<BYTE> &data, DialogTemplate *dialog) {
    TemplateReader reader(data);
    dialog->version = reader.Word();
    dialog->signature = reader.Word();
    if (dialog->version != 1 || dialog->signature != 0xFFFF)
        return false;
    reader.Dword(); // help id
    dialog->exStyle = reader.Dword();
    dialog->style = reader.Dword();
    const WORD count = reader.Word();
    dialog->x = static_cast<short>(reader.Word());
    dialog->y = static_cast<short>(reader.Word());
    dialog->cx = static_cast<short>(reader.Word());
    dialog->cy = static_cast<short>(reader.Word());
    int ordinal = -1;
    dialog->menu = reader.NameOrOrdinal(&ordinal);
    if (ordinal != -1)
        dialog->menu = L"#" + std::to_wstring(ordinal);
    dialog->windowClass = reader.NameOrOrdinal(&ordinal);
    if (ordinal != -1)
        dialog->windowClass = L"#" + std::to_wstring(ordinal);
    dialog->title = reader.Text();
    if (dialog->style & (DS_SETFONT | DS_SHELLFONT)) {
        dialog->pointSize = reader.Word();
        dialog->weight = reader.Word();
        dialog->italic = reader.Byte();
        dialog->charset = reader.Byte();
        dialog->font = reader.Text();
    }
    for (WORD i = 0; i < count && reader.Ok(); ++i) {
        reader.AlignToDword();
        DialogControl control;
        control.helpId = reader.Dword();
        control.exStyle = reader.Dword();
        control.style = reader.Dword();
        control.x = static_cast<short>(reader.Word());
        control.y = static_cast<short>(reader.Word());
        control.cx = static_cast<short>(reader.Word());
        control.cy = static_cast<short>(reader.Word());
        control.id = static_cast<int>(reader.Dword());
        int atom = -1;
        const std::wstring className = reader.NameOrOrdinal(&atom);
        control.className = ClassName(className, atom);
        control.text = reader.NameOrOrdinal(&control.textOrdinal);
        control.extraBytes = reader.Word();
        reader.Skip(control.extraBytes);
        dialog->controls.push_back(control);
    }
    return reader.Ok();
}

} // namespace restest
