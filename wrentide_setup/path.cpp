#include "wrentide_setup/path.h"

namespace wt {
namespace {

// How much of path is its root, backslash included; 0 when it has none.
size_t RootLength(const std::string& path) {
    const bool drive = path.size() >= 3 && path[1] == ':' && path[2] == '\\' &&
                       ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    if (drive) return 3;
    if (path.size() < 3 || path[0] != '\\' || path[1] != '\\' || path[2] == '\\') return 0;
    const size_t server = path.find('\\', 2);
    if (server == std::string::npos || server + 1 == path.size()) return 0;
    const size_t share = path.find('\\', server + 1);
    return share == std::string::npos ? path.size() : share + 1;
}

}  // namespace

bool IsRootFolder(const std::string& path) {
    const size_t root = RootLength(path);
    return root && root >= path.size();
}

std::string ParentFolder(const std::string& path) {
    const size_t root = RootLength(path);
    if (root && root >= path.size()) return path.back() == '\\' ? path : path + "\\";
    size_t end = path.size();
    if (end > root + 1 && path[end - 1] == '\\') --end;  // "C:\A\" is "C:\A"
    const size_t slash = path.find_last_of('\\', end - 1);
    if (slash == std::string::npos) return "";
    return slash < root ? path.substr(0, root) : path.substr(0, slash);
}

}  // namespace wt
