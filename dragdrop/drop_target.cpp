#include "dragdrop/drop_target.h"

#include "app/job_context.h"
#include "app/text.h"
#include "dragdrop/vandrel_drop.h"
#include "res/resource.h"

void RegisterDropTarget(HWND dialog) {
    if (!dropTarget)
        return;
    wchar_t caption[128] = {};
    GetDlgItemTextW(dialog, IDC_TARGET_GROUP, caption, 128);
    wchar_t acceptCaption[520];
    FormatText(acceptCaption, 520, L"%s %%1", caption);
    const wchar_t *refuseCaption = LoadText(IDS_MULTIPLE_FILES);
    if (FAILED(dropTarget->oleInitResult))
        return;

    dropTarget->imageType = DROPIMAGE_COPY;
    dropTarget->SetDropMessage(acceptCaption);
    dropTarget->SetNoDropMessage(refuseCaption);
    // A failed registration leaves the dialog without drag and drop, silently.
    if (SUCCEEDED(RegisterDragDrop(dialog, dropTarget)))
        dropTarget->window = dialog;
}

void RevokeDropTarget() {
    if (!dropTarget || !dropTarget->window)
        return;
    RevokeDragDrop(dropTarget->window);
    dropTarget->window = nullptr;
}
