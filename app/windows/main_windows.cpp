// The Windows program: Form1 as a plain Win32 window.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include "ui/win32/win32_main_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show_command) {
    // Tooltips live in the common controls, version 6 by the manifest.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    // Screen readers are told about the controls through COM, which is let
    // go on every way out, after the window.
    struct ComApartment {
        HRESULT joined = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        ~ComApartment() {
            if (SUCCEEDED(joined)) CoUninitialize();
        }
    } com;
    ui::win32::Win32MainWindow window(instance);
    if (!window.create(show_command)) return 1;
    return window.run_message_loop();
}
