// wt_snap <png>: waits for the setup window, saves a picture of it, closes it.
// Used to show the window where there is no display to look at.
#include <windows.h>

#include <cstdio>

#include "driver.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: wt_snap <png>\n");
        return 2;
    }
    HWND form = nullptr;
    for (int i = 0; i < 600 && !form; ++i) {
        form = FindWindowA("TForm1", nullptr);
        if (!form || !IsWindowVisible(form)) {
            form = nullptr;
            Sleep(50);
        }
    }
    if (!form) {
        std::fprintf(stderr, "wt_snap: the setup window did not appear\n");
        return 1;
    }
    SetForegroundWindow(form);
    Sleep(500);
    bool saved = wt::e2e::CaptureWindow(form, argv[1]);
    PostMessageA(form, WM_CLOSE, 0, 0);
    if (!saved) std::fprintf(stderr, "wt_snap: cannot write %s\n", argv[1]);
    return saved ? 0 : 1;
}
