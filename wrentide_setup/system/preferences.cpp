#include "wrentide_setup/system/preferences.h"

#include <algorithm>
#include <cstring>

namespace wt {

const char kPrefsFile[] = "\\WrenTide.tub";

void StoreWorkFolder(PrefsRecord& record, const std::string& workFolder) {
    const std::size_t length = std::min(workFolder.size(), kWorkFolderMax);
    record.workFolderLength = static_cast<unsigned char>(length);
    std::memcpy(record.workFolder, workFolder.data(), length);
}

}  // namespace wt
