#include "wrentide_setup/engine/payload.h"

namespace wt {

const PayloadFile kPayloadRows[] = {
    {"a", &InstallPaths::DBPth, "\\wtdb.res", 10},
    {"b", &InstallPaths::ProgPth, kProgramFile, 20},
    {"g", &InstallPaths::ProgPth, "\\LPng.dll", 30},
    {"c", &InstallPaths::DBPth, "\\wscb.rez", 45},
    {"d", &InstallPaths::ProgPth, "\\wrnhlp.tub", 60},
    {"e", &InstallPaths::ProgPth, "\\ReadMe.txt", 80},
    {"f", &InstallPaths::DBPth, kUninstallerFile, 95},
};
const std::size_t kPayloadRowCount = sizeof kPayloadRows / sizeof kPayloadRows[0];

const char kTempPak[] = "\\temp.pak";

std::string Destination(const PayloadFile& file, const InstallPaths& paths) {
    return JoinPath(paths.*file.folder, file.fileName);
}

}  // namespace wt
