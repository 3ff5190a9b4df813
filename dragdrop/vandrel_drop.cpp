#include "dragdrop/vandrel_drop.h"

#include <shlwapi.h>

#include "app/handles.h"
#include "app/text.h"
#include "ui/job_controller.h"
#include "ui/prompt.h"
#include "ui/main_dialog.h"
#include "ui/target.h"

namespace {

using QISearchFunction = HRESULT(WINAPI *)(void *object, const QITAB *table, REFIID id,
                                           void **result);

// Before Vista SHLWAPI exports its table-driven QueryInterface only by ordinal 219, so it is
// looked up by that number rather than imported by name.
HRESULT SearchInterfaceTable(void *object, const QITAB *table, REFIID id, void **result) {
    UniqueLibrary shlwapi(LoadLibraryW(L"SHLWAPI.DLL"));
    const auto search = shlwapi ? reinterpret_cast<QISearchFunction>(reinterpret_cast<void *>(
                                      GetProcAddress(shlwapi.Get(), MAKEINTRESOURCEA(219))))
                                : nullptr;
    if (!search) {
        *result = nullptr;
        return E_NOINTERFACE;
    }
    return search(object, table, id, result);
}

} // namespace

CVandrel::CVandrel() : CDragDropHelper() {
    refCount = 1;
}

HRESULT STDMETHODCALLTYPE CVandrel::QueryInterface(REFIID id, void **object) {
    if (!object)
        return E_POINTER;
    static const QITAB interfaces[] = {
        QITABENT(CVandrel, IDropTarget),
        {nullptr, 0},
    };
    return SearchInterfaceTable(this, interfaces, id, object);
}

ULONG STDMETHODCALLTYPE CVandrel::AddRef() {
    return InterlockedIncrement(&refCount);
}

ULONG STDMETHODCALLTYPE CVandrel::Release() {
    const LONG count = InterlockedDecrement(&refCount);
    if (count == 0)
        delete this;
    return count;
}

HRESULT CVandrel::OnDropAccepted() {
    // A notice of the dialog is open: it is deciding the target, so nothing may start now.
    if (DialogPromptOpen())
        return S_FALSE;
    autoRecount = 0;
    // The walk reads the target fields: end a running job before they change.
    EndJobAndWait();
    CopyText(jobContext.pickedPath, PathCapacity, droppedPath);
    const bool taken = SetTarget(0, 0) == 1;
    // A refused item leaves the previous target, which is counted again.
    jobContext.ClearCounts();
    jobContext.applyMode = 0;
    StartJobThread();
    autoRecount = 1;
    return taken ? S_OK : S_FALSE;
}