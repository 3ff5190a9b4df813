#include "dragdrop/drag_drop_helper.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <cstring>

#include "app/text.h"

CLIPFORMAT dropDescriptionFormat = 0;

static_assert(sizeof(DROPDESCRIPTION) == 1044, "the shell's drop description block");

HRESULT ReadDroppedFile(IDataObject *data, wchar_t *path) {
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium = {};
    const HRESULT got = data->GetData(&format, &medium);
    if (FAILED(got))
        return got;

    HRESULT result = E_FAIL;
    // Locking proves that the memory is there; DragQueryFileW takes the handle itself.
    if (medium.tymed == TYMED_HGLOBAL && GlobalLock(medium.hGlobal)) {
        const auto drop = static_cast<HDROP>(medium.hGlobal);
        // An empty list counts as one empty path under Wine: an empty path is no path.
        const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
        if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) == 1 && length > 0) {
            DragQueryFileW(drop, 0, path, DroppedPathCapacity);
            result = length < DroppedPathCapacity ? S_OK : DroppedPathTooLong;
        }
        GlobalUnlock(medium.hGlobal);
    }
    ReleaseStgMedium(&medium);
    return result;
}

HRESULT SetHGlobalData(IDataObject *data, CLIPFORMAT format, const void *block, SIZE_T size) {
    const HGLOBAL memory = GlobalAlloc(GPTR, size); // fixed: the handle is the address
    if (!memory)
        return E_OUTOFMEMORY;
    std::memcpy(memory, block, size);

    FORMATETC description = {format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium = {};
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = memory;
    const HRESULT result = data->SetData(&description, &medium, TRUE);
    if (FAILED(result))
        GlobalFree(memory);
    return result;
}

void SetDropDescription(IDataObject *data, int imageType, const wchar_t *message,
                        const wchar_t *insert) {
    if (!data)
        return;
    if (dropDescriptionFormat == 0)
        dropDescriptionFormat =
            static_cast<CLIPFORMAT>(RegisterClipboardFormatW(L"DropDescription"));
    if (dropDescriptionFormat == 0)
        return; // tried again at the next description

    DROPDESCRIPTION description = {};
    description.type = static_cast<DROPIMAGETYPE>(imageType);
    CopyText(description.szMessage, DropTextCapacity, message ? message : L"");
    CopyText(description.szInsert, DropTextCapacity, insert ? insert : L"");
    SetHGlobalData(data, dropDescriptionFormat, &description, sizeof description);
}

CDragDropHelper::CDragDropHelper() {
    imageType = DROPIMAGE_LABEL;
    window = nullptr;
    oleInitResult = OleInitialize(nullptr);
    canDrop = FALSE;
    dropMessage[0] = L'\0';
    noDropMessage[0] = L'\0';
    droppedPath[0] = L'\0';
    droppedPathTooLong = FALSE;
    CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                     IID_IDropTargetHelper, dropTargetHelper.PutVoid());
}

CDragDropHelper::~CDragDropHelper() {
    // Both may be proxies of another process: give them up while OLE still runs.
    dataObject.Reset();
    dropTargetHelper.Reset();
    if (SUCCEEDED(oleInitResult))
        OleUninitialize();
}

void CDragDropHelper::SetDropMessage(const wchar_t *text) {
    CopyText(dropMessage, DropTextCapacity, text);
}

void CDragDropHelper::SetNoDropMessage(const wchar_t *text) {
    CopyText(noDropMessage, DropTextCapacity, text);
}

void CDragDropHelper::AnswerEffect(DWORD *effect) const {
    if (effect)
        *effect = canDrop ? DROPEFFECT_COPY : DROPEFFECT_NONE;
}

HRESULT STDMETHODCALLTYPE CDragDropHelper::DragEnter(IDataObject *data, DWORD, POINTL point,
                                                     DWORD *effect) {
    POINT where = {point.x, point.y};
    if (dropTargetHelper)
        dropTargetHelper->DragEnter(window, data, &where, effect ? *effect : DROPEFFECT_NONE);

    // The data of an earlier drag (left or dropped) is given up here.
    dataObject.Reset();
    if (data)
        data->QueryInterface(IID_IDataObject, dataObject.PutVoid());

    // Only what Drop will take shows as droppable: one path that fits.
    const HRESULT read = data ? ReadDroppedFile(data, droppedPath) : E_FAIL;
    canDrop = read == S_OK;
    droppedPathTooLong = read == DroppedPathTooLong;

    if (canDrop)
        SetDropDescription(data, imageType, dropMessage, PathFindFileNameW(droppedPath));
    else
        SetDropDescription(data, DROPIMAGE_NONE, noDropMessage, nullptr);
    AnswerEffect(effect);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CDragDropHelper::DragOver(DWORD, POINTL point, DWORD *effect) {
    AnswerEffect(effect);
    POINT where = {point.x, point.y};
    if (dropTargetHelper)
        dropTargetHelper->DragOver(&where, effect ? *effect : DROPEFFECT_NONE);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CDragDropHelper::DragLeave() {
    if (dropTargetHelper)
        dropTargetHelper->DragLeave();
    if (dataObject) {
        SetDropDescription(dataObject.Get(), DROPIMAGE_INVALID, nullptr, nullptr);
        dataObject.Reset();
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CDragDropHelper::Drop(IDataObject *data, DWORD, POINTL point,
                                                DWORD *effect) {
    AnswerEffect(effect);
    POINT where = {point.x, point.y};
    if (dropTargetHelper)
        dropTargetHelper->Drop(data, &where, effect ? *effect : DROPEFFECT_NONE);
    // The data stays held until the next DragEnter (or the destructor). The source learns
    // whether the item was taken: a copy only when it became the target.
    const bool taken = canDrop && OnDropAccepted() == S_OK;
    if (!canDrop)
        OnDropRefused(dataObject.Get());
    if (effect && !taken)
        *effect = DROPEFFECT_NONE;
    return S_OK;
}

HRESULT CDragDropHelper::OnDropRefused(IDataObject *) {
    return S_OK;
}
