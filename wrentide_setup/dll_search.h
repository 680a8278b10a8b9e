// Where the programs' DLLs come from. Setup and its uninstaller run elevated
// from folders the user can write (the download folder, the data folder, the
// temporary folder), where a DLL may lie under a system DLL's name, waiting to
// be loaded in its place.
#pragma once

namespace wt {

// The program's first call. At load time it imports only DLLs that the system
// never looks for beside it; from here on every DLL, and every DLL that one
// needs, comes from the system folder. shell32, shlwapi and ole32 are
// delay-loaded, and load that way too.
void LoadDllsFromSystemFolderOnly();

}  // namespace wt
