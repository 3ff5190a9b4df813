#include "engine/engine_test_support.h"

#include "app/text.h"
#include "common/test_support.h"
#include "ui/job_controller.h"
#include "engine/paths.h"
#include "engine/stamp.h"
#include "res/resource.h"
#include "ui/job_controls.h"
#include "ui/status.h"

namespace enginetest {

void ResetJob() {
    jobContext.Reset();
    jobPhase = PhaseIdle;
    processedFiles = 0;
    processedFolders = 0;
    progressCount = 0;
    closeWhenDone = 0;
    taskbarList = nullptr;
}

void SetTarget(const std::wstring &folder, const wchar_t *pattern) {
    CopyText(jobContext.folder, PathCapacity, folder.c_str());
    CopyText(jobContext.pickedPath, PathCapacity, folder.c_str());
    CopyText(jobContext.pattern, PatternCapacity, pattern);
}

bool StampNamed(const std::wstring &name) {
    const std::wstring path =
        ExtendedPath((std::wstring(jobContext.pickedPath) + L"\\" + name).c_str());
    return StampItem(path.c_str(), GetFileAttributesW(path.c_str()), &jobContext);
}

void SetTimes(const SYSTEMTIME *created, const SYSTEMTIME *modified, const SYSTEMTIME *accessed) {
    jobContext.useCreated = created != nullptr;
    jobContext.useModified = modified != nullptr;
    jobContext.useAccessed = accessed != nullptr;
    const SYSTEMTIME zero = {};
    jobContext.timeCreated.Store(created ? *created : zero);
    jobContext.timeModified.Store(modified ? *modified : zero);
    jobContext.timeAccessed.Store(accessed ? *accessed : zero);
}

void OldItemsFolder::MakeOld(const std::wstring &name) {
    testsupport::WriteTextFile(dir / name);
    testsupport::WriteTimes(dir / name, &oldTime_, &oldTime_, &oldTime_);
}

bool OldItemsFolder::Stamped(const std::wstring &name) {
    testsupport::ItemTimes times;
    return testsupport::ReadTimes(dir / name, &times) &&
           testsupport::SameTime(testsupport::LocalToUtc(newLocal_), times.written);
}

bool OldItemsFolder::Untouched(const std::wstring &name) {
    testsupport::ItemTimes times;
    return testsupport::ReadTimes(dir / name, &times) &&
           testsupport::SameTime(oldTime_, times.written);
}

bool PromptSeen::Shows(const std::wstring &text) const {
    for (const std::wstring &shown : texts)
        if (shown.find(text) != std::wstring::npos)
            return true;
    return false;
}

namespace {
struct PromptQuery {
    const std::wstring *title;
    HWND found;
};

BOOL CALLBACK MatchPrompt(HWND window, LPARAM param) {
    auto *query = reinterpret_cast<PromptQuery *>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t className[16];
    if (process != GetCurrentProcessId() || !IsWindowVisible(window) ||
        !GetClassNameW(window, className, 16) || lstrcmpW(className, L"#32770") != 0)
        return TRUE;
    if (testsupport::WindowText(window) != *query->title)
        return TRUE;
    query->found = window;
    return FALSE;
}

BOOL CALLBACK CollectText(HWND window, LPARAM param) {
    auto *texts = reinterpret_cast<std::vector<std::wstring> *>(param);
    const std::wstring text = testsupport::WindowText(window);
    if (!text.empty())
        texts->push_back(text);
    return TRUE;
}
} // namespace

HWND FindPrompt(const std::wstring &title) {
    PromptQuery query = {&title, nullptr};
    EnumWindows(MatchPrompt, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

PromptSeen DescribePrompt(HWND prompt) {
    PromptSeen seen;
    seen.found = true;
    seen.title = testsupport::WindowText(prompt);
    if (HWND button = GetDlgItem(prompt, IDOK))
        seen.button1 = testsupport::WindowText(button);
    if (HWND button = GetDlgItem(prompt, IDCANCEL))
        seen.button2 = testsupport::WindowText(button);
    EnumChildWindows(prompt, CollectText, reinterpret_cast<LPARAM>(&seen.texts));
    return seen;
}

PromptAnswerer::PromptAnswerer(const std::wstring &title, int answer, int count,
                               std::function<void(HWND)> inspect, DWORD timeoutMs)
    : title_(title), answer_(answer), count_(count), inspect_(std::move(inspect)),
      timeoutMs_(timeoutMs), thread_([this] { Run(); }) {}

PromptAnswerer::~PromptAnswerer() {
    if (thread_.joinable())
        thread_.join();
}

const std::vector<PromptSeen> &PromptAnswerer::Seen() {
    // Looking for prompts asks this thread's windows for their titles: answer while waiting.
    testsupport::PumpUntil([this] { return done_.load(); }, INFINITE);
    if (thread_.joinable())
        thread_.join();
    return seen_;
}

void PromptAnswerer::Run() {
    struct Done {
        std::atomic<bool> &done;
        ~Done() { done = true; }
    } done{done_};
    HWND last = nullptr;
    for (int i = 0; i < count_; ++i) {
        const DWORD start = GetTickCount();
        HWND prompt = nullptr;
        while (GetTickCount() - start < timeoutMs_) {
            prompt = FindPrompt(title_);
            if (prompt && prompt != last)
                break;
            prompt = nullptr;
            Sleep(20);
        }
        if (!prompt)
            return;
        last = prompt;
        Sleep(50); // let it finish laying out its controls
        if (inspect_)
            inspect_(prompt);
        seen_.push_back(DescribePrompt(prompt));
        PostMessageW(prompt, WM_COMMAND, MAKEWPARAM(answer_, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(prompt, answer_)));
        // Wait until it has gone before looking for the next one.
        for (int wait = 0; wait < 250 && IsWindow(prompt) && IsWindowVisible(prompt); ++wait)
            Sleep(20);
    }
}

TestDialog::TestDialog() {
    window_ = CreateDialogParamW(appInstance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, Proc,
                                 reinterpret_cast<LPARAM>(this));
    jobContext.dialog = window_;
}

TestDialog::~TestDialog() {
    if (jobContext.dialog == window_)
        jobContext.dialog = nullptr;
    DestroyWindow(window_);
}

std::wstring TestDialog::Text(int id) const {
    return testsupport::WindowText(Item(id));
}

INT_PTR CALLBACK TestDialog::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        return TRUE;
    }
    auto *self = reinterpret_cast<TestDialog *>(GetWindowLongPtrW(window, DWLP_USER));
    if (!self)
        return FALSE;
    if (message == WM_TIMER && wParam == ProgressTimer) {
        ++self->ticks_;
        ShowStatus();
        if (self->onTick)
            self->onTick();
        return TRUE;
    }
    if (message == JobControlsMessage) {
        ShowJobControls(window, wParam != 0);
        return TRUE;
    }
    if (message == JobEndedMessage) {
        ShowJobEnd(window, wParam != 0);
        return TRUE;
    }
    if (message == JobCloseMessage) {
        if (IsNewestJob(wParam))
            ++self->cancels_;
        return TRUE;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        ++self->cancels_;
        return TRUE;
    }
    return FALSE;
}

bool WaitForControllers(DWORD timeoutMs) {
    return testsupport::PumpUntil([] { return !ControllerRunning(); }, timeoutMs);
}

std::wstring Text(UINT id) {
    return LoadText(id);
}

void JobFixture::SetUp() {
    ASSERT_TRUE(testsupport::RunsInWarsawTime());
    ResetJob();
    undoHistory.Clear();
    jobContext.dialog = dialog.Window();
}

void JobFixture::TearDown() {
    EndJobAndWait();
    undoHistory.Clear();
    previewList.Clear();
    savedTimes.Clear();
    ResetJob();
}

void JobFixture::Run(int32_t mode) {
    jobContext.applyMode = mode;
    StartJobThread();
    ASSERT_TRUE(WaitForControllers());
}

testsupport::ItemTimes JobFixture::Now(const std::wstring &name) {
    testsupport::ItemTimes times = {};
    testsupport::ReadTimes(dir / name, &times);
    return times;
}

} // namespace enginetest
