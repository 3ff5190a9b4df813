#include "engine/preview.h"

#include <cstring>

PreviewList previewList;

void PreviewList::Begin(uint8_t stamps) {
    Clear();
    stamps_ = stamps;
}

void PreviewList::Clear() {
    rows_.clear();
    rows_.shrink_to_fit();
    blocks_.clear();
    blockUsed_ = BlockCharacters;
    stamps_ = 0;
    changing_ = 0;
    undated_ = 0;
}

wchar_t *PreviewList::Keep(const wchar_t *text, size_t length) {
    if (length + 1 > BlockCharacters - blockUsed_) {
        blocks_.emplace_back(new wchar_t[BlockCharacters]);
        blockUsed_ = 0;
    }
    wchar_t *kept = blocks_.back().get() + blockUsed_;
    std::memcpy(kept, text, length * sizeof(wchar_t));
    kept[length] = L'\0';
    blockUsed_ += length + 1;
    return kept;
}

void PreviewList::Add(const wchar_t *relative, size_t length, const FILETIME (&now)[StampKinds],
                      const RulePlan &plan, bool folder) {
    if (length >= BlockCharacters)
        return; // no path the walk uses is that long
    PreviewRow row = {};
    row.path = Keep(relative, length);
    for (int stamp = 0; stamp < StampKinds; ++stamp) {
        row.now[stamp] = now[stamp];
        row.next[stamp] = plan.write[stamp] ? plan.value[stamp] : now[stamp];
        if (plan.write[stamp])
            row.write |= 1u << stamp;
        if (plan.changes[stamp])
            row.changes |= 1u << stamp;
    }
    row.flags = (folder ? PreviewFolder : 0) | (plan.noDate ? PreviewNoDate : 0) |
                (plan.outOfRange ? PreviewOutOfRange : 0);
    rows_.push_back(row);
    if (plan.Changes())
        ++changing_;
    if (plan.noDate)
        ++undated_;
}

size_t PreviewList::BytesReserved() const {
    return rows_.size() * sizeof(PreviewRow) + blocks_.size() * BlockCharacters * sizeof(wchar_t);
}
