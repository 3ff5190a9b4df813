#include "engine/saved_times.h"

#include <algorithm>

#include "app/handles.h"
#include "engine/item_date.h"
#include "engine/paths.h"

std::wstring SavedTimes::Key(const wchar_t *path, size_t length) {
    std::wstring key(path, length);
    for (wchar_t &c : key)
        if (c == L'/')
            c = L'\\';
    while (!key.empty() && key.back() == L'\\')
        key.pop_back();
    if (key == L".")
        key.clear(); // the target itself
    // As Windows compares names: without case, by the invariant rules.
    if (!key.empty())
        LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, key.c_str(), static_cast<int>(key.size()),
                     &key[0], static_cast<int>(key.size()));
    return key;
}

bool SavedTimes::Load(const wchar_t *path, const ListColumns &columns, DWORD *code,
                      ListProblem *problem) {
    Clear();
    *code = ERROR_SUCCESS;
    *problem = ListProblem();
    UniqueHandle file(CreateFileW(ExtendedPath(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) {
        *code = GetLastError();
        return false;
    }
    FileByteReader reader(file.Get(), SavedListMaxBytes);
    std::vector<ListEntry> lines;
    if (!ReadSavedList(reader, columns, &lines, problem))
        return false;
    entries_.reserve(lines.size());
    for (const ListEntry &line : lines) {
        // A second line for the same item changes nothing: the first one stands.
        const std::wstring key = Key(line.path.c_str(), line.path.size());
        if (index_.count(key))
            continue;
        Entry entry = {};
        for (int stamp = 0; stamp < StampKinds; ++stamp) {
            const ListTime &time = line.now[stamp];
            entry.has[stamp] =
                line.has[stamp] &&
                CivilToFileTime(time.time, time.hasOffset, time.offsetMinutes, &entry.now[stamp]);
        }
        index_.emplace(key, static_cast<uint32_t>(entries_.size()));
        entries_.push_back(entry);
    }
    matched_.assign(entries_.size(), 0);
    loaded_ = true;
    return true;
}

void SavedTimes::Clear() {
    loaded_ = false;
    entries_.clear();
    entries_.shrink_to_fit();
    matched_.clear();
    matched_.shrink_to_fit();
    index_.clear();
}

bool SavedTimes::Find(const wchar_t *relative, size_t length, ItemFound *found) {
    const auto at = index_.find(Key(relative, length));
    if (at == index_.end())
        return false;
    matched_[at->second] = 1;
    const Entry &entry = entries_[at->second];
    found->inList = true;
    for (int stamp = 0; stamp < StampKinds; ++stamp) {
        found->list[stamp].found = entry.has[stamp];
        found->list[stamp].utc = entry.now[stamp];
        found->list[stamp].source = TimeSource::SavedList;
    }
    return true;
}

void SavedTimes::BeginPass() {
    std::fill(matched_.begin(), matched_.end(), 0);
}

uint32_t SavedTimes::Unmatched() const {
    return static_cast<uint32_t>(std::count(matched_.begin(), matched_.end(), 0));
}

size_t SavedTimes::BytesReserved() const {
    // The index: its buckets and a node per line holding the folded path.
    size_t keys = 0;
    for (const auto &item : index_)
        keys += (item.first.capacity() + 1) * sizeof(wchar_t) + sizeof(item) + 2 * sizeof(void *);
    return entries_.capacity() * sizeof(Entry) + matched_.capacity() + keys +
           index_.bucket_count() * sizeof(void *);
}
