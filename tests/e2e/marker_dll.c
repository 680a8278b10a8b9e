// A marker: a DLL that does nothing but note which program loaded it, in
// "<its own path>.loaded". The install tests plant it under the names of
// system DLLs wherever setup and its uninstaller run.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    char record[MAX_PATH + 8], program[MAX_PATH + 2];
    DWORD length = GetModuleFileNameA(self, record, MAX_PATH);
    lstrcpyA(record + length, ".loaded");
    length = GetModuleFileNameA(NULL, program, MAX_PATH);
    lstrcpyA(program + length, "\r\n");
    HANDLE file = CreateFileA(record, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS, 0, NULL);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written;
        WriteFile(file, program, length + 2, &written, NULL);
        CloseHandle(file);
    }
    return TRUE;
}
