#include "ui/status.h"

#include <windows.h>

#include <shlwapi.h>

#include "app/job_context.h"
#include "app/text.h"
#include "engine/preview.h"
#include "engine/time_rule.h"
#include "engine/undo.h"
#include "res/resource.h"
#include "ui/job_controller.h"

namespace {
constexpr size_t StatusCapacity = 260;

// After an apply with a rule of each item's own: how many items changed, and where the rule
// needs a date, how many had none.
void ShowRuleResult() {
    wchar_t text[StatusCapacity] = {};
    FormatText(text, StatusCapacity, LoadText(IDS_STATUS_CHANGED), changedItems.load(),
               processedFiles + processedFolders);
    if (RuleNeedsItemDate(jobContext.timeRule)) {
        const size_t length = lstrlenW(text);
        const UINT format =
            jobContext.timeRule == RuleSavedList ? IDS_NOT_IN_LIST_COUNT : IDS_STATUS_NO_DATE;
        FormatText(text + length, StatusCapacity - length, LoadText(format), undatedItems.load());
    }
    SetDlgItemTextW(jobContext.dialog, IDC_STATUS, text);
}
} // namespace

void ShowStatus() {
    const int32_t phase = jobPhase;
    const bool passRunning = phase == PhaseCounting || phase == PhaseApplying;
    if (!passRunning && undoShown) {
        wchar_t text[StatusCapacity] = {};
        FormatText(text, StatusCapacity, LoadText(IDS_UNDO_RESULT), undoRestored.load(),
                   undoSkipped.load());
        SetDlgItemTextW(jobContext.dialog, IDC_STATUS, text);
        return;
    }
    if (!passRunning && ruleResultShown) {
        ShowRuleResult();
        return;
    }
    uint32_t files, folders;
    if (jobContext.applyMode != 0 && jobContext.applyMode != PreviewMode) {
        files = processedFiles;
        folders = processedFolders;
    } else {
        const ItemCounts &counts = jobContext.CurrentCounts();
        files = counts.files;
        folders = counts.folders;
    }

    UINT textId = IDS_STATUS_RESULT;
    if (passRunning)
        textId = phase == PhaseCounting ? IDS_STATUS_COUNTING : IDS_STATUS_APPLYING;
    wchar_t text[StatusCapacity] = {};
    FormatText(text, StatusCapacity, LoadText(textId), files, folders);

    // Without folders to stamp the folder count is left out; a running pass keeps its bracket.
    if (!jobContext.applyToFolders) {
        if (wchar_t *comma = StrRChrIW(text, nullptr, L',')) {
            if (passRunning) {
                comma[0] = L')';
                comma[1] = L'\0';
            } else {
                comma[0] = L'\0';
            }
        }
    }
    SetDlgItemTextW(jobContext.dialog, IDC_STATUS, phase == PhaseStopped ? L"" : text);
}
