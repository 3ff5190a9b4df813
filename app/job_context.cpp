#include "app/job_context.h"

#include <cstring>

JobContext jobContext;
SharedWord jobPhase{PhaseIdle};
SharedCount processedFiles{0};
SharedCount processedFolders{0};
SharedCount progressCount{0};
SharedCount changedItems{0};
SharedCount undatedItems{0};
SharedWord ruleResultShown{0};
SharedWord previewReady{0};
std::atomic<HANDLE> walkThread{nullptr};
SharedWord closeWhenDone{0};
std::atomic<ITaskbarList3 *> taskbarList{nullptr};
HINSTANCE appInstance = nullptr;
CVandrel *dropTarget = nullptr;

static_assert(sizeof(SYSTEMTIME) == 4 * sizeof(uint32_t), "SYSTEMTIME packs into four words");

namespace {

constexpr int MomentWord = 4;
constexpr int LoadedWord = 6;
constexpr int HasLoadedWord = 8;

} // namespace

void SharedTime::Read(uint32_t *words) const {
    for (;;) {
        const uint32_t before = sequence_.load();
        for (int i = 0; i < Words; ++i)
            words[i] = words_[i].load();
        // An odd sequence means a store was under way; a changed one that it finished meanwhile.
        if ((before & 1) == 0 && sequence_.load() == before)
            return;
        Sleep(0);
    }
}

void SharedTime::Write(const uint32_t *words) {
    sequence_.fetch_add(1);
    for (int i = 0; i < Words; ++i)
        words_[i].store(words[i]);
    sequence_.fetch_add(1);
}

SYSTEMTIME SharedTime::Load() const {
    uint32_t words[Words];
    Read(words);
    SYSTEMTIME time;
    std::memcpy(&time, words, sizeof time);
    return time;
}

FILETIME SharedTime::Moment() const {
    uint32_t words[Words];
    Read(words);
    FILETIME moment;
    std::memcpy(&moment, words + MomentWord, sizeof moment);
    return moment;
}

bool SharedTime::Loaded(FILETIME *utc) const {
    uint32_t words[Words];
    Read(words);
    std::memcpy(utc, words + LoadedWord, sizeof *utc);
    return words[HasLoadedWord] != 0;
}

void SharedTime::Store(const SYSTEMTIME &time, const FILETIME &moment) {
    uint32_t words[Words];
    Read(words); // only this thread writes: what it reads is current
    std::memcpy(words, &time, sizeof time);
    std::memcpy(words + MomentWord, &moment, sizeof moment);
    Write(words);
}

void SharedTime::Store(const SYSTEMTIME &time) {
    SYSTEMTIME universal = {};
    FILETIME moment = {};
    if (TzSpecificLocalTimeToSystemTime(nullptr, &time, &universal))
        SystemTimeToFileTime(&universal, &moment);
    Store(time, moment);
}

void SharedTime::Clear() {
    const uint32_t words[Words] = {};
    Write(words);
}

void SharedTime::StoreLoaded(const SYSTEMTIME &time, const FILETIME &moment) {
    uint32_t words[Words];
    std::memcpy(words, &time, sizeof time);
    std::memcpy(words + MomentWord, &moment, sizeof moment);
    std::memcpy(words + LoadedWord, &moment, sizeof moment);
    words[HasLoadedWord] = 1;
    Write(words);
}

void JobContext::Reset() {
    dialog = nullptr;
    includeSubfolders = 0;
    applyToFolders = 0;
    applyMode = 0;
    std::memset(folder, 0, sizeof folder);
    std::memset(pickedPath, 0, sizeof pickedPath);
    std::memset(pattern, 0, sizeof pattern);
    useCreated = 0;
    useModified = 0;
    useAccessed = 0;
    timeCreated.Clear();
    timeModified.Clear();
    timeAccessed.Clear();
    timeRule = 0;
    for (SharedTicks &ticks : shift)
        ticks.Store(0);
    ClearCounts();
    deepTotal = 0;
    flatTotal = 0;
}
