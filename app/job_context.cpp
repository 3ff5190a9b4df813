#include "app/job_context.h"

#include <cstring>

JobContext jobContext;
SharedWord jobPhase{PhaseIdle};
SharedCount processedFiles{0};
SharedCount processedFolders{0};
SharedCount progressCount{0};
std::atomic<HANDLE> walkThread{nullptr};
SharedWord closeWhenDone{0};
std::atomic<ITaskbarList3 *> taskbarList{nullptr};
HINSTANCE appInstance = nullptr;
CVandrel *dropTarget = nullptr;

static_assert(sizeof(SYSTEMTIME) == 4 * sizeof(uint32_t), "SYSTEMTIME packs into four words");

SYSTEMTIME SharedTime::Load() const {
    uint32_t words[4];
    for (;;) {
        const uint32_t before = sequence_.load();
        for (int i = 0; i < 4; ++i)
            words[i] = words_[i].load();
        // An odd sequence means a store was under way; a changed one that it finished meanwhile.
        if ((before & 1) == 0 && sequence_.load() == before)
            break;
        Sleep(0);
    }
    SYSTEMTIME time;
    std::memcpy(&time, words, sizeof time);
    return time;
}

void SharedTime::Store(const SYSTEMTIME &time) {
    uint32_t words[4];
    std::memcpy(words, &time, sizeof words);
    sequence_.fetch_add(1);
    for (int i = 0; i < 4; ++i)
        words_[i].store(words[i]);
    sequence_.fetch_add(1);
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
    const SYSTEMTIME zero = {};
    timeCreated.Store(zero);
    timeModified.Store(zero);
    timeAccessed.Store(zero);
    ClearCounts();
    deepTotal = 0;
    flatTotal = 0;
}
