// Program entry of the setup exe: one window, one thread, a message loop.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "wrentide_setup/application.h"
#include "wrentide_setup/context/install_paths.h"
#include "wrentide_setup/ui/form.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    // The shell-link object of the shortcuts needs COM on this thread.
    CoInitialize(nullptr);
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    wt::App().SetTitle(wt::kFormCaption);

    static wt::InstallPaths installPaths;  // lives until the process ends
    wt::TForm1* form = wt::RegisterFormClasses(instance) ? wt::TForm1::Create(instance, installPaths) : nullptr;
    if (form) {
        // A termination already requested (the application-active message)
        // still shows the window; the loop then ends at once.
        ShowWindow(form->Handle(), show == SW_HIDE ? SW_SHOWNORMAL : show);
        UpdateWindow(form->Handle());
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
            if (IsDialogMessageA(form->Handle(), &msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    CoUninitialize();
    return 0;
}
