#pragma once
// Reads the resources of the built program straight from its file: string-table blocks and
// dialog templates of one language, parsed from their binary form.
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "app/handles.h"

namespace restest {

// The built program, loaded as a data file (its code never runs).
class ProgramImage {
  public:
    explicit ProgramImage(const std::wstring &path);
    HMODULE Module() const { return module_.Get(); }
    bool Loaded() const { return module_.Valid(); }
    // The bytes of one resource in exactly this language (no fallback to another language);
    // empty when there is none.
    std::vector<BYTE> Resource(const wchar_t *type, const wchar_t *name, LANGID language) const;
    // The languages in which a resource exists.
    std::vector<LANGID> Languages(const wchar_t *type, const wchar_t *name) const;

  private:
    UniqueLibrary module_;
};

// Every non-empty string of identifiers 0 to 255 in one language, read block by block.
std::map<int, std::wstring> ReadStrings(const ProgramImage &image, LANGID language);

struct DialogControl {
    DWORD helpId = 0;
    DWORD exStyle = 0;
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    int id = 0;
    std::wstring className; // lower case; the predefined atoms are turned into their names
    std::wstring text;      // empty when the text is an ordinal
    int textOrdinal = -1;   // the resource number when the text is an ordinal, else -1
    WORD extraBytes = 0;
};

struct DialogTemplate {
    WORD version = 0;
    WORD signature = 0;
    DWORD exStyle = 0;
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::wstring menu;
    std::wstring windowClass;
    std::wstring title;
    WORD pointSize = 0;
    WORD weight = 0;
    BYTE italic = 0;
    BYTE charset = 0;
    std::wstring font;
    std::vector<DialogControl> controls;
};

// Parses an extended dialog template (DIALOGEX). False when the data is not one or is cut short.
bool ParseDialogTemplate(const std::vector<BYTE> &data, DialogTemplate *dialog);

} // namespace restest
