// A drag source for end-to-end drop tests: it shows a small window, has xdotool press the mouse
// button over it, and starts an OLE drag of one file (CF_HDROP) from there, as a file manager
// does; xdotool then moves the pointer to the drop point and releases the button.
//   dragsource.exe <path> <drop x> <drop y>
// Exit code: 0 dropped with DROPEFFECT_COPY, 1 bad arguments, 2 xdotool could not be started,
// 3 the button press never arrived, 4 the drag ended without a drop, 5 dropped with another
// effect.
#include <windows.h>

#include <ole2.h>
#include <shlobj.h>

#include <cstring>
#include <cwchar>
#include <string>

namespace {

constexpr int SourceLeft = 20, SourceTop = 20, SourceSize = 120;
constexpr UINT_PTR GiveUpTimer = 1;
constexpr UINT GiveUpMs = 20000;

int exitCode = 3;
std::wstring draggedPath;
POINT dropPoint;

// The reference count and QueryInterface of an object that offers one interface; it deletes
// itself when the last reference goes.
template <class Interface> class OneInterface : public Interface {
  public:
    explicit OneInterface(REFIID offered) : offered_(offered) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void **object) override {
        if (id == IID_IUnknown || id == offered_) {
            *object = static_cast<Interface *>(this);
            this->AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG count = InterlockedDecrement(&references_);
        if (count == 0)
            delete this;
        return count;
    }

  protected:
    virtual ~OneInterface() = default;

  private:
    const IID offered_;
    LONG references_ = 1;
};

// Offers one path as CF_HDROP; nothing else.
class FileData : public OneInterface<IDataObject> {
  public:
    explicit FileData(const std::wstring &path)
        : OneInterface<IDataObject>(IID_IDataObject), path_(path) {}
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC *format, STGMEDIUM *medium) override {
        if (QueryGetData(format) != S_OK)
            return DV_E_FORMATETC;
        const SIZE_T listBytes = (path_.size() + 2) * sizeof(wchar_t); // two terminators
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + listBytes);
        if (!memory)
            return E_OUTOFMEMORY;
        auto *header = static_cast<DROPFILES *>(GlobalLock(memory));
        header->pFiles = sizeof(DROPFILES);
        header->fWide = TRUE;
        std::memcpy(header + 1, path_.c_str(), path_.size() * sizeof(wchar_t));
        GlobalUnlock(memory);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = memory;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC *, STGMEDIUM *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC *format) override {
        return format->cfFormat == CF_HDROP && (format->tymed & TYMED_HGLOBAL) ? S_OK
                                                                               : DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC *, FORMATETC *out) override {
        out->ptd = nullptr;
        return E_NOTIMPL;
    }
    // Drop descriptions are welcome but not kept.
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC *, STGMEDIUM *medium, BOOL release) override {
        if (release)
            ReleaseStgMedium(medium);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC **formats) override {
        if (direction != DATADIR_GET)
            return E_NOTIMPL;
        FORMATETC offered = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        return SHCreateStdEnumFmtEtc(1, &offered, formats);
    }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC *, DWORD, IAdviseSink *, DWORD *) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA **) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }

  private:
    ~FileData() override = default;
    std::wstring path_;
};

// Drops when the left button is released, cancels on Escape.
class ButtonSource : public OneInterface<IDropSource> {
  public:
    ButtonSource() : OneInterface<IDropSource>(IID_IDropSource) {}
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD keys) override {
        if (escape)
            return DRAGDROP_S_CANCEL;
        return (keys & MK_LBUTTON) ? S_OK : DRAGDROP_S_DROP;
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

  private:
    ~ButtonSource() override = default;
};

bool StartXdotool(const std::wstring &arguments) {
    std::wstring command = L"Z:\\usr\\bin\\xdotool " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return false;
    // A Unix program: its handle cannot be waited on, only closed.
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

// The press arrived: drag from here, with the rest of the gesture handed to xdotool.
void Drag(HWND window) {
    KillTimer(window, GiveUpTimer);
    wchar_t gesture[256];
    const int midX = (SourceLeft + dropPoint.x) / 2, midY = (SourceTop + dropPoint.y) / 2;
    swprintf(gesture, 256,
             L"sleep 0.3 mousemove %d %d sleep 0.3 mousemove %ld %ld sleep 0.5 "
             L"mousemove %ld %ld sleep 0.5 mouseup 1",
             midX, midY, dropPoint.x - 4, dropPoint.y - 4, dropPoint.x, dropPoint.y);
    if (!StartXdotool(gesture)) {
        exitCode = 2;
        return;
    }
    // The drop target may keep the data after the drop (the program does until its next drag):
    // both objects live as long as someone holds them.
    auto *data = new FileData(draggedPath);
    auto *source = new ButtonSource;
    DWORD effect = DROPEFFECT_NONE;
    const HRESULT result =
        DoDragDrop(data, source, DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK, &effect);
    source->Release();
    data->Release();
    if (result != DRAGDROP_S_DROP)
        exitCode = 4;
    else
        exitCode = effect == DROPEFFECT_COPY ? 0 : 5;
}

LRESULT CALLBACK SourceProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_LBUTTONDOWN:
        Drag(window);
        DestroyWindow(window);
        return 0;
    case WM_TIMER:
        DestroyWindow(window); // exitCode stays 3: no press arrived
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace

int wmain(int argc, wchar_t **argv) {
    if (argc != 4)
        return 1;
    draggedPath = argv[1];
    dropPoint = {_wtol(argv[2]), _wtol(argv[3])};
    if (FAILED(OleInitialize(nullptr)))
        return 1;

    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = SourceProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_HIGHLIGHT + 1);
    windowClass.lpszClassName = L"VandrelTestDragSource";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(WS_EX_TOPMOST, windowClass.lpszClassName, L"drag source",
                                  WS_POPUP | WS_VISIBLE, SourceLeft, SourceTop, SourceSize,
                                  SourceSize, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!window)
        return 1;
    UpdateWindow(window);
    SetTimer(window, GiveUpTimer, GiveUpMs, nullptr);

    wchar_t press[96];
    swprintf(press, 96, L"mousemove %d %d sleep 0.3 mousedown 1", SourceLeft + SourceSize / 2,
             SourceTop + SourceSize / 2);
    if (!StartXdotool(press)) {
        exitCode = 2;
        DestroyWindow(window);
    }

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    OleUninitialize();
    return exitCode;
}
