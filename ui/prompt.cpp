#include "ui/prompt.h"

#include "app/handles.h"
#include "engine/paths.h"
#include "res/resource.h"

#include <cstring>

namespace {

using TaskDialogIndirectProc = HRESULT(WINAPI *)(const TASKDIALOGCONFIG *, int *, int *, BOOL *);

constexpr DWORD SystemMessageFlags =
    FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
constexpr DWORD UserDefaultLanguage = 0x0400;

void LoadInto(wchar_t *buffer, UINT id) {
    CopyText(buffer, TextSlotCapacity, LoadText(id));
}

// Prompts shown on the dialog's own thread that are open now.
int dialogPrompts = 0;

// The main dialog when the prompt is asked for on its thread (a notice about a picked or dropped
// item): it then owns the prompt and cannot be used meanwhile. A walk's prompt has no owner, so
// that Stop stays within reach.
HWND DialogOnThisThread(const JobContext *context) {
    const HWND dialog = context ? context->dialog.load() : nullptr;
    if (dialog && GetWindowThreadProcessId(dialog, nullptr) == GetCurrentThreadId())
        return dialog;
    return nullptr;
}

// The task dialog, looked up at run time so that the program still starts before Windows 6.0.
// Returns the button pressed, 0 when it could not be shown.
int RunTaskDialog(const TASKDIALOGCONFIG &config) {
    UniqueLibrary library(LoadLibraryW(L"COMCTL32.DLL"));
    if (!library)
        return 0;
    const FARPROC entry = GetProcAddress(library.Get(), "TaskDialogIndirect");
    if (!entry)
        return 0;
    const auto taskDialogIndirect =
        reinterpret_cast<TaskDialogIndirectProc>(reinterpret_cast<void (*)()>(entry));
    int button = 0;
    taskDialogIndirect(&config, &button, nullptr, nullptr);
    return button;
}

int ShowTaskDialog(int mode, const PromptTexts &texts, HWND owner) {
    // Large enough that it lives on the stack only while the prompt shows.
    TaskDialogSetup setup;
    BuildTaskDialogSetup(mode, texts, &setup);
    setup.config.hwndParent = owner;
    return RunTaskDialog(setup.config);
}

int ShowMessageBox(int mode, const PromptTexts &texts, JobContext *context) {
    wchar_t text[MessageBoxTextCapacity];
    UINT style = 0;
    BuildMessageBoxText(mode, texts, text, &style);
    wchar_t caption[TextSlotCapacity];
    LoadInto(caption, IDS_ERROR_TITLE);
    return MessageBoxW(context ? context->dialog.load() : nullptr, text, caption, style);
}

BOOL CALLBACK CancelPromptWindow(HWND window, LPARAM) {
    wchar_t className[16];
    if (GetClassNameW(window, className, 16) && lstrcmpW(className, L"#32770") == 0)
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return TRUE;
}

} // namespace

UINT PromptHintId(DWORD code, DWORD attributes) {
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return IDS_HINT_PATH;
    case ERROR_ACCESS_DENIED:
        return IDS_HINT_ACCESS;
    case ERROR_SHARING_VIOLATION:
        // Attributes that cannot be read say nothing about a system file.
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_SYSTEM))
            return IDS_HINT_SYSTEM_FILE;
        return IDS_HINT_IN_USE;
    default:
        return 0;
    }
}

int PromptWidth(DWORD code) {
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return 240;
    case ERROR_SHARING_VIOLATION:
        return 270;
    default:
        return 280;
    }
}

void BuildPromptTexts(const wchar_t *path, DWORD code, PromptTexts *texts) {
    texts->content[0] = L'\0';
    texts->footer[0] = L'\0';
    texts->hint[0] = L'\0';

    wchar_t *systemText = nullptr;
    if (code != ErrorShiftOutOfRange)
        FormatMessageW(SystemMessageFlags, nullptr, code, UserDefaultLanguage,
                       reinterpret_cast<wchar_t *>(&systemText), 0, nullptr);
    UniqueLocalMemory systemMessage(systemText);
    // Copied: the texts loaded below reuse the slots of LoadText.
    wchar_t ownMessage[PromptTextCapacity] = {};
    if (code == ErrorShiftOutOfRange)
        CopyText(ownMessage, PromptTextCapacity, LoadText(IDS_SHIFT_OUT_OF_RANGE));
    const wchar_t *message =
        code == ErrorShiftOutOfRange ? ownMessage : (systemText ? systemText : L"");

    FormatText(texts->footer, PromptTextCapacity, LoadText(IDS_ERROR_CODE), static_cast<int>(code));
    FormatText(texts->content, PromptTextCapacity, LoadText(IDS_ERROR_CONTENT), message,
               ShownPath(path).c_str());

    const DWORD attributes =
        code == ERROR_SHARING_VIOLATION ? GetFileAttributesW(path) : INVALID_FILE_ATTRIBUTES;
    if (const UINT hint = PromptHintId(code, attributes))
        CopyText(texts->hint, PromptTextCapacity, LoadText(hint));
    texts->width = PromptWidth(code);
}

void BuildTaskDialogSetup(int mode, const PromptTexts &texts, TaskDialogSetup *setup) {
    std::memset(setup, 0, sizeof *setup);
    // Loaded texts rather than resource ids: one emulation shows a wrong window title for an id.
    LoadInto(setup->title, IDS_PRODUCT);
    LoadInto(setup->instruction, IDS_ERROR_TITLE);
    LoadInto(setup->continueText, IDS_CONTINUE);
    LoadInto(setup->secondText, mode == PromptCloseProgram ? IDS_CLOSE_PROGRAM : IDS_CANCEL);
    LoadInto(setup->collapsedText, IDS_SHOW_DETAILS);
    LoadInto(setup->expandedText, IDS_HIDE_DETAILS);
    setup->buttons[0] = {IDOK, setup->continueText};
    setup->buttons[1] = {IDCANCEL, setup->secondText};

    TASKDIALOGCONFIG &config = setup->config;
    config.cbSize = sizeof config;
    config.hwndParent = nullptr; // the caller chooses the owner
    config.hInstance = appInstance;
    config.dwFlags = 0;
    config.pszWindowTitle = setup->title;
    config.pszMainIcon = TD_ERROR_ICON;
    config.pszMainInstruction = setup->instruction;
    config.pszContent = texts.content;
    if (mode == PromptNotice) {
        config.dwCommonButtons = TDCBF_OK_BUTTON;
    } else {
        config.cButtons = 2;
        config.pButtons = setup->buttons;
    }
    config.nDefaultButton = 0;
    config.pszExpandedInformation = texts.hint;
    config.pszExpandedControlText = setup->expandedText;
    config.pszCollapsedControlText = setup->collapsedText;
    config.pszFooter = texts.footer;
    config.cxWidth = static_cast<UINT>(texts.width);
}

void BuildMessageBoxText(int mode, const PromptTexts &texts, wchar_t *text, UINT *style) {
    if (mode == PromptNotice) {
        FormatText(text, MessageBoxTextCapacity, L"%s\n%s\n\n%s", texts.content, texts.footer,
                   texts.hint);
        *style = MB_OK | MB_ICONERROR;
    } else {
        FormatText(text, MessageBoxTextCapacity, L"%s\n%s\n\n%s\n%s", texts.content, texts.footer,
                   texts.hint, LoadText(IDS_OK_CANCEL_HINT));
        *style = MB_OKCANCEL | MB_ICONERROR;
    }
}

int FileErrorPrompt(int mode, const wchar_t *path, JobContext *context, DWORD code) {
    PromptTexts texts;
    BuildPromptTexts(path, code, &texts);
    const HWND owner = DialogOnThisThread(context);
    if (owner)
        ++dialogPrompts;
    const int answer = IsVistaOrLater() ? ShowTaskDialog(mode, texts, owner)
                                        : ShowMessageBox(mode, texts, context);
    if (owner)
        --dialogPrompts;
    return answer;
}

bool AskYesNo(HWND owner, const wchar_t *instruction, const wchar_t *content) {
    wchar_t title[TextSlotCapacity];
    LoadInto(title, IDS_PRODUCT);
    ++dialogPrompts;
    int answer = 0;
    if (IsVistaOrLater()) {
        TASKDIALOGCONFIG config = {};
        config.cbSize = sizeof config;
        config.hwndParent = owner;
        config.hInstance = appInstance;
        config.dwCommonButtons = TDCBF_YES_BUTTON | TDCBF_NO_BUTTON;
        config.pszWindowTitle = title;
        config.pszMainIcon = TD_WARNING_ICON;
        config.pszMainInstruction = instruction;
        config.pszContent = content;
        config.nDefaultButton = IDNO;
        answer = RunTaskDialog(config);
    } else {
        wchar_t text[MessageBoxTextCapacity];
        FormatText(text, MessageBoxTextCapacity, L"%s\n\n%s", instruction, content);
        answer = MessageBoxW(owner, text, title, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
    }
    --dialogPrompts;
    return answer == IDYES;
}

bool DialogPromptOpen() {
    return dialogPrompts > 0;
}

void ClosePromptsOf(DWORD thread) {
    if (thread != 0)
        EnumThreadWindows(thread, CancelPromptWindow, 0);
}
