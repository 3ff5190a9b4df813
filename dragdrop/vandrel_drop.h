#pragma once
// The program's drop target: one file or folder dropped on the main dialog becomes the target
// and is counted at once.
#include "dragdrop/drag_drop_helper.h"

class CVandrel : public CDragDropHelper {
  public:
    // Starts with one reference, the creator's.
    CVandrel();

    // IUnknown: IUnknown and IDropTarget, through SHLWAPI's table-driven lookup.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void **object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // Ends a running job, hands the dropped item to target selection and starts a count.
    HRESULT OnDropAccepted() override;

  protected:
    ~CVandrel() override = default;

  private:
    LONG refCount;
};
