// Folder names as Windows reads them, without asking the system: platform
// neutral, so that the native tests see every case.
#pragma once

#include <string>

namespace wt {

// The folder that holds path. A drive's root and a share's root hold
// themselves, and end in a backslash: "C:" alone would name drive C's
// current folder, not its root. "C:\WTData" -> "C:\", "C:\A\B" -> "C:\A",
// "\\server\share\Data" -> "\\server\share\". "" for a name with no folder.
std::string ParentFolder(const std::string& path);

// True for "X:\" and for "\\server\share" (with or without its backslash).
bool IsRootFolder(const std::string& path);

}  // namespace wt
