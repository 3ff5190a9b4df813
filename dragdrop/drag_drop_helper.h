#pragma once
// A general OLE drop target that accepts exactly one dragged file or folder. It asks the shell's
// drag-image helper to draw the dragged image and writes a drop description (the caption beside
// that image) into the dragged data. What an accepted drop does is left to a derived class.
#include <windows.h>

#include <ole2.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "app/handles.h"
#include "app/job_context.h"

// Capacity of each text of a drop description, and of the dropped path, terminator included.
constexpr int DropTextCapacity = MAX_PATH;
constexpr int DroppedPathCapacity = PathCapacity;

// ReadDroppedFile's answer for one path that is longer than a path buffer can hold; the buffer
// then holds the path cut to 32,767 units.
constexpr HRESULT DroppedPathTooLong = HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);

// The "DropDescription" clipboard format, registered on first use; 0 until then.
extern CLIPFORMAT dropDescriptionFormat;

// Reads the one path of the dragged data into path (DroppedPathCapacity units). S_OK with the path;
// DroppedPathTooLong with the path cut; E_FAIL for zero or several paths or memory that cannot be
// locked; GetData's failure code when the data has no file list.
HRESULT ReadDroppedFile(IDataObject *data, wchar_t *path);
// Writes a drop description into the dragged data; message and insert may be null (empty) and
// are cut to 259 units. Failures are ignored: the drag goes on without that description.
void SetDropDescription(IDataObject *data, int imageType, const wchar_t *message,
                        const wchar_t *insert);
// Hands a copy of the block, in new global memory, to the data object under the given format.
// The data object owns the memory on success; on failure it is freed here.
HRESULT SetHGlobalData(IDataObject *data, CLIPFORMAT format, const void *block, SIZE_T size);

class CDragDropHelper : public IDropTarget {
  public:
    CDragDropHelper();
    CDragDropHelper(const CDragDropHelper &) = delete;
    CDragDropHelper &operator=(const CDragDropHelper &) = delete;

    // IDropTarget. Every call answers S_OK; the key state is never looked at, and the only
    // effects ever answered are DROPEFFECT_COPY (one path) and DROPEFFECT_NONE.
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject *data, DWORD keyState, POINTL point,
                                        DWORD *effect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keyState, POINTL point, DWORD *effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject *data, DWORD keyState, POINTL point,
                                   DWORD *effect) override;

    // Called by Drop when the drag carried exactly one path (it is in droppedPath). S_OK when
    // the item was taken; anything else answers the drop with DROPEFFECT_NONE.
    virtual HRESULT OnDropAccepted() = 0;
    // Called by Drop for anything else, with the held data. Does nothing.
    virtual HRESULT OnDropRefused(IDataObject *data);

    void SetDropMessage(const wchar_t *text);
    void SetNoDropMessage(const wchar_t *text);

    ComPtr<IDropTargetHelper> dropTargetHelper; // null when the shell's helper is missing
    ComPtr<IDataObject> dataObject;             // the data of the drag in progress or last dropped
    int imageType;                              // a DROPIMAGETYPE for an accepted drag
    wchar_t dropMessage[DropTextCapacity];      // may hold %1, replaced by the item's name
    wchar_t noDropMessage[DropTextCapacity];
    HWND window;           // the window this object is registered on, or null
    HRESULT oleInitResult; // a success value permits registration
    BOOL canDrop;          // the last DragEnter found exactly one path
    wchar_t droppedPath[DroppedPathCapacity];
    BOOL droppedPathTooLong; // that one path did not fit into droppedPath

  protected:
    // Gives up the held data and the drag-image helper, then OLE. Objects are destroyed through
    // their Release only.
    virtual ~CDragDropHelper();

  private:
    void AnswerEffect(DWORD *effect) const;
};
