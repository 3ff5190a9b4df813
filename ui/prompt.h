#pragma once
// The one error dialog for items that cannot be opened or stamped.
#include <windows.h>

#include <commctrl.h>

#include "app/job_context.h"
#include "app/text.h"
#include "engine/time_rule.h"

enum PromptMode : int {
    PromptNotice = 0,       // one OK button
    PromptCloseProgram = 1, // "continue" or "close the program"
    PromptStopJob = 2,      // "continue" or "stop the job"
};

// Returns 1 (continue / OK), 2 (the second choice) or 0 (nothing could be shown). Asked for on
// the main dialog's thread, the prompt is owned by the dialog. path is the one the item was
// asked for with (the extended-length form included, so that a name ending in a dot is the
// item looked at); the prompt shows it without the prefix.
int FileErrorPrompt(int mode, const wchar_t *path, JobContext *context, DWORD code);
// Dialog thread: asks a yes-or-no question owned by the dialog (task dialog on 6.0 and later, a
// message box before); true for yes.
bool AskYesNo(HWND owner, const wchar_t *instruction, const wchar_t *content);
// Dialog thread: a prompt that this thread shows is open, so no request may start now.
bool DialogPromptOpen();

// The texts that one prompt shows, built from the error code and the path.
constexpr size_t PromptTextCapacity = 520;
constexpr size_t MessageBoxTextCapacity = 2048;
struct PromptTexts {
    wchar_t content[PromptTextCapacity];
    wchar_t footer[PromptTextCapacity];
    wchar_t hint[PromptTextCapacity];
    int width; // of the task dialog, in dialog units
};

// The hint (a string id, 0 for none) and the task dialog's width for an error code. The
// attributes are only looked at for a sharing violation (code 32).
UINT PromptHintId(DWORD code, DWORD attributes);
int PromptWidth(DWORD code);
void BuildPromptTexts(const wchar_t *path, DWORD code, PromptTexts *texts);

// Everything the task dialog form needs, held together so that the configuration's pointers
// stay valid for as long as the setup lives (it must not be copied or moved).
struct TaskDialogSetup {
    TASKDIALOGCONFIG config;
    TASKDIALOG_BUTTON buttons[2];
    wchar_t title[TextSlotCapacity];
    wchar_t instruction[TextSlotCapacity];
    wchar_t continueText[TextSlotCapacity];
    wchar_t secondText[TextSlotCapacity];
    wchar_t collapsedText[TextSlotCapacity];
    wchar_t expandedText[TextSlotCapacity];
};
void BuildTaskDialogSetup(int mode, const PromptTexts &texts, TaskDialogSetup *setup);

// The text and style of the message-box form (before Windows 6.0).
void BuildMessageBoxText(int mode, const PromptTexts &texts, wchar_t *text, UINT *style);

// Closes the prompts that a thread shows (the walk of a job that was stopped or replaced).
void ClosePromptsOf(DWORD thread);
