#include "wrentide_setup/dll_search.h"

#include <windows.h>
#include <delayimp.h>

namespace wt {
namespace {

// The system folder's copy of a DLL, with the system folder's copies of the
// DLLs it needs.
HMODULE LoadSystemDll(const char* name) {
    wchar_t path[MAX_PATH + 64];
    UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    path[length++] = L'\\';
    // The linker's names of system DLLs: plain ASCII.
    for (const char* c = name; *c && length < MAX_PATH + 63; ++c) path[length++] = static_cast<wchar_t>(*c);
    path[length] = L'\0';
    HMODULE module = LoadLibraryExW(path, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Windows 7 without its 2011 loader update knows no search flags: the
    // full path still names the right file.
    if (!module && GetLastError() == ERROR_INVALID_PARAMETER) module = LoadLibraryW(path);
    return module;
}

// Asked by the delay-load helper before it loads a DLL by its bare name; the
// module answered here is taken instead.
FARPROC WINAPI BeforeDelayLoad(unsigned notice, PDelayLoadInfo info) {
    return notice == dliNotePreLoadLibrary ? reinterpret_cast<FARPROC>(LoadSystemDll(info->szDll)) : nullptr;
}

}  // namespace

void LoadDllsFromSystemFolderOnly() {
    // Looked up, not imported: Windows 7 without its 2011 loader update lacks
    // it, and the program must still start there.
    using SetDefaultDirectories = BOOL(WINAPI*)(DWORD);
    const FARPROC found = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
    if (found)
        reinterpret_cast<SetDefaultDirectories>(reinterpret_cast<void (*)()>(found))(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace wt

// The C runtime's delay-load helper reads its hook from here.
extern "C" {
PfnDliHook __pfnDliNotifyHook2 = wt::BeforeDelayLoad;
}
