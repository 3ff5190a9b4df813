#include "ui/undo_command.h"

#include <string>

#include "app/job_context.h"
#include "app/text.h"
#include "engine/paths.h"
#include "engine/prompt.h"
#include "engine/undo.h"
#include "res/resource.h"

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
    return undoRecord.Count() > 0 && phase != PhaseCounting && phase != PhaseApplying;
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

bool ConfirmUndo(HWND dialog) {
    wchar_t instruction[TextSlotCapacity];
    CopyText(instruction, TextSlotCapacity, LoadText(IDS_UNDO_COMMAND));
    wchar_t moment[2 * MomentCapacity];
    FormatMoment(undoRecord.AppliedAt(), moment, 2 * MomentCapacity);
    // The folder may be long: the question shows it whole.
    const std::wstring folder = ShownPath(undoRecord.Folder());
    std::wstring question(QuestionCapacity + folder.size(), L'\0');
    FormatText(&question[0], question.size(), LoadText(IDS_UNDO_QUESTION), undoRecord.Count(),
               moment, folder.c_str());
    return AskYesNo(dialog, instruction, question.c_str());
}
