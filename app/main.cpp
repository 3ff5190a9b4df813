// Entry point: COM, common controls, the main dialog, and an orderly shutdown.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <new>
#include <utility>

#include "app/job_context.h"
#include "dragdrop/vandrel_drop.h"
#include "res/resource.h"
#include "ui/main_dialog.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int) {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)))
        return 0;
    appInstance = instance;

    INITCOMMONCONTROLSEX controls = {sizeof controls, 0x4221};
    InitCommonControlsEx(&controls);

    // The drop target lives from before the dialog until after it; without it no dialog.
    dropTarget = new (std::nothrow) CVandrel;
    if (dropTarget) {
        DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, MainDialogProc,
                        reinterpret_cast<LPARAM>(commandLine));
        std::exchange(dropTarget, nullptr)->Release();
    }

    CoUninitialize();
    return 0;
}
