#include "ui/undo_command.h"

#include <string>

#include "app/job_context.h"
#include "app/text.h"
#include "engine/paths.h"
#include "ui/prompt.h"
#include "engine/undo.h"
#include "res/resource.h"
#include "ui/job_controller.h"

namespace {

constexpr size_t QuestionCapacity = 2 * TextSlotCapacity + 64;
constexpr int MomentCapacity = 64;

// The moment of the apply as the user's locale writes a short date and a time.
void FormatMoment(const SYSTEMTIME &moment, wchar_t *text, size_t capacity) {
    wchar_t date[MomentCapacity] = {};
    wchar_t time[MomentCapacity] = {};
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &moment, nullptr, date, MomentCapacity);
    GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &moment, nullptr, time, MomentCapacity);
    FormatText(text, capacity, L"%s %s", date, time);
}

} // namespace

bool UndoAvailable() {
    const int32_t phase = jobPhase;
    UndoSummary newest;
    return undoHistory.NewestSummary(&newest) && newest.count > 0 && phase != PhaseCounting &&
           phase != PhaseApplying;
}

void AddUndoEntry(HWND dialog) {
    HMENU menu = GetSystemMenu(dialog, FALSE);
    if (!menu)
        return;
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING | MF_GRAYED, IDM_UNDO, LoadText(IDS_UNDO_COMMAND));
}

void UpdateUndoEntry(HWND dialog) {
    if (HMENU menu = GetSystemMenu(dialog, FALSE))
        EnableMenuItem(menu, IDM_UNDO, MF_BYCOMMAND | (UndoAvailable() ? MF_ENABLED : MF_GRAYED));
}

bool UndoFolderPresent() {
    UndoSummary newest;
    if (!undoHistory.NewestSummary(&newest))
        return false;
    if (GetFileAttributesW(newest.folder.c_str()) != INVALID_FILE_ATTRIBUTES)
        return true;
    // Gone, perhaps only for now: the record stays for when it is back.
    const DWORD code = GetLastError();
    FileErrorPrompt(PromptNotice, ShownPath(newest.folder.c_str()).c_str(), &jobContext, code);
    return false;
}

bool ConfirmUndo(HWND dialog) {
    UndoSummary newest;
    if (!undoHistory.NewestSummary(&newest))
        return false;
    wchar_t instruction[TextSlotCapacity];
    CopyText(instruction, TextSlotCapacity, LoadText(IDS_UNDO_COMMAND));
    wchar_t moment[2 * MomentCapacity];
    FormatMoment(newest.appliedAt, moment, 2 * MomentCapacity);
    // The folder may be long: the question shows it whole.
    const std::wstring folder = ShownPath(newest.folder.c_str());
    std::wstring question(QuestionCapacity + folder.size(), L'\0');
    FormatText(&question[0], question.size(), LoadText(IDS_UNDO_QUESTION), newest.count, moment,
               folder.c_str());
    question.resize(lstrlenW(question.c_str()));
    // Never a silently incomplete undo: items that could not be recorded are named.
    if (newest.lost > 0) {
        wchar_t lost[TextSlotCapacity];
        FormatText(lost, TextSlotCapacity, LoadText(IDS_UNDO_LOST), newest.lost);
        question += L"\n\n";
        question += lost;
    }
    return AskYesNo(dialog, instruction, question.c_str());
}
