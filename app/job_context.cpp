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

constexpr int LoadedWord = 4;
constexpr int ExactWord = 8;
constexpr int ExactValidWord = 10;

// The same moment to the second, as a picker shows it.
bool SameToTheSecond(const SYSTEMTIME &a, const SYSTEMTIME &b) {
    return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDay == b.wDay && a.wHour == b.wHour &&
           a.wMinute == b.wMinute && a.wSecond == b.wSecond;
}

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

bool SharedTime::LoadExact(FILETIME *utc) const {
    uint32_t words[Words];
    Read(words);
    if (!words[ExactValidWord])
        return false;
    std::memcpy(utc, words + ExactWord, sizeof *utc);
    return true;
}

bool SharedTime::LoadedExact(FILETIME *utc) const {
    uint32_t words[Words];
    Read(words);
    std::memcpy(utc, words + ExactWord, sizeof *utc);
    return utc->dwLowDateTime != 0 || utc->dwHighDateTime != 0;
}

void SharedTime::Store(const SYSTEMTIME &time) {
    uint32_t words[Words];
    Read(words); // only this thread writes: what it reads is current
    SYSTEMTIME loaded;
    std::memcpy(&loaded, words + LoadedWord, sizeof loaded);
    std::memcpy(words, &time, sizeof time);
    words[ExactValidWord] = words[ExactValidWord] && SameToTheSecond(time, loaded);
    Write(words);
}

void SharedTime::Clear() {
    const uint32_t words[Words] = {};
    Write(words);
}

void SharedTime::StoreLoaded(const SYSTEMTIME &time, const FILETIME &exact) {
    uint32_t words[Words];
    std::memcpy(words, &time, sizeof time);
    std::memcpy(words + LoadedWord, &time, sizeof time);
    std::memcpy(words + ExactWord, &exact, sizeof exact);
    words[ExactValidWord] = 1;
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
