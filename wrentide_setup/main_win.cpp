// Program entry of the setup exe.
#include <windows.h>
#include <objbase.h>

#include "wrentide_setup/application.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    CoInitialize(nullptr);
    wt::App().SetTitle("WrenTide Installer");
    CoUninitialize();
    return 0;
}
