#pragma once
// Which JSON file beside an item of a photo service's export holds that item's date. The export
// names it after the item's original name, clipped to a fixed length, with the number of a
// duplicate moved behind what is left; edited copies and motion photos' videos have none of
// their own and share the original's. Pure: it works on names only.
//
// The caller reads the candidates in order and takes the first whose title matches the item:
// clipped names collide, and a title that does not match is another item's.
#include <string>
#include <unordered_map>
#include <vector>

// The name as Windows compares names: ASCII and the Latin letters without case.
std::wstring FoldName(const std::wstring &name);

// The names of one folder, looked up without case.
class FolderIndex {
  public:
    void Add(const std::wstring &name);
    // The name as listed that equals this one without case, or null.
    const std::wstring *Find(const std::wstring &name) const;
    // Whether any name is a sidecar's: without one no item needs its candidates looked up.
    bool HasSidecars() const { return sidecars_ > 0; }

  private:
    std::unordered_map<std::wstring, std::wstring> names_; // folded -> as listed
    size_t sidecars_ = 0;
};

// The listed JSON files that may belong to this item, best first. None for a sidecar itself.
std::vector<std::wstring> ExportJsonCandidates(const std::wstring &mediaName,
                                               const FolderIndex &folder);

// The names an item's own JSON has where the export named it by its rule, unnumbered: the names
// most items find theirs under, to look for before all the others (unlisted ones included).
std::vector<std::wstring> ExportJsonFirstNames(const std::wstring &mediaName);
// Whether a JSON file whose title is this belongs to this item: the item itself, as the export
// names it (clipped, numbered), an edited copy of it, or its motion video.
bool ExportTitleMatches(const std::wstring &title, const std::wstring &mediaName);

// .json and .xmp files: items of their own, never dated from a sidecar.
bool IsSidecarName(const std::wstring &name);

// An editor's sidecar as listed: NAME.EXT.xmp before NAME.xmp.
std::vector<std::wstring> XmpSidecarCandidates(const std::wstring &mediaName,
                                               const FolderIndex &folder);
