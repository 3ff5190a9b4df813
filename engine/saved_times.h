#pragma once
// A saved list loaded for putting its times back: each item's times as they were when the list
// was saved, looked up by the item's path below the target as Windows compares names.
#include <windows.h>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/time_rule.h"
#include "readers/saved_list.h"

class SavedTimes {
  public:
    // Reads the list at path (a full path). False when it cannot be read (code: the system's
    // error) or a line of it cannot be taken (problem); nothing of such a list is kept.
    bool Load(const wchar_t *path, const ListColumns &columns, DWORD *code, ListProblem *problem);
    void Clear();
    bool Loaded() const { return loaded_; }
    size_t Size() const { return entries_.size(); }
    // The list's times now for the item at relative (below the target; empty for the target
    // itself), into found; false when the list does not name the item.
    bool Find(const wchar_t *relative, size_t length, ItemFound *found);
    // A pass begins: no line has found its item yet.
    void BeginPass();
    // Lines whose item no pass walked since it began: the item is gone, or not covered.
    uint32_t Unmatched() const;
    size_t BytesReserved() const;

  private:
    struct Entry {
        bool has[StampKinds];
        FILETIME now[StampKinds];
    };
    static std::wstring Key(const wchar_t *path, size_t length);
    bool loaded_ = false;
    std::vector<Entry> entries_;
    std::vector<uint8_t> matched_;
    std::unordered_map<std::wstring, uint32_t> index_;
};
