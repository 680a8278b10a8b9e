// wt_bench [runs]: how long a whole install takes, click to "Installation
// Complete" with the statistics server on loopback, against extracting and
// inflating the same seven files in one process. Prints figures; asserts nothing.
#include "stats_server.h"  // winsock2.h must come before windows.h

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "setup_run.h"
#include "test_support.h"
#include "wrentide_setup/engine/payload.h"

namespace {

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The payload steps alone, in this process, into a scratch folder.
double InflateAll() {
    wt::test::ScratchFolder folder;
    wt::InstallPaths paths;
    paths.ProgPth = folder.Path();
    paths.DBPth = folder.Path();
    const double start = Now();
    for (const wt::PayloadFile& file : wt::PayloadTable) {
        wt::ExtractResource(file.resource, paths.DBPth + wt::kTempPak);
        wt::InflateFile(paths.DBPth + wt::kTempPak, wt::Destination(file, paths));
    }
    return Now() - start;
}

void CleanDefaultInstall() {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\WrenTide");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\WrenTide");
    wt::test::RemoveTree(wt::e2e::SpecialFolder(CSIDL_PROGRAM_FILES) + "\\WrenTide");
    wt::test::RemoveTree(wt::e2e::SpecialFolder(CSIDL_LOCAL_APPDATA) + "\\tessel-soft");
    wt::test::RemoveTree(wt::e2e::SpecialFolder(CSIDL_COMMON_PROGRAMS) + "\\WrenTide");
}

// One install through the window; negative when it did not complete.
double WholeInstall() {
    CleanDefaultInstall();
    wt::e2e::SetupRun run;
    if (!run.ToOptions(false, false)) return -1;
    const double start = Now();
    if (!run.Install("&Install") || run.Status() != "Installation Complete") return -1;
    const double elapsed = Now() - start;
    wt::e2e::Click(run.Control("Button", "Finished"));
    run.process().WaitExit(20000);
    return elapsed;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    CoInitialize(nullptr);
    wt::e2e::StatsServer server(WT_STATS_PORT);
    std::vector<double> inflate, install;
    for (int i = 0; i < runs; ++i) {
        inflate.push_back(InflateAll());
        double t = WholeInstall();
        if (t < 0) {
            std::fprintf(stderr, "wt_bench: install run %d did not complete\n", i + 1);
            CleanDefaultInstall();
            return 1;
        }
        install.push_back(t);
    }
    CleanDefaultInstall();
    const double a = Median(inflate), b = Median(install);
    std::printf("runs: %d\n", runs);
    std::printf("extract + inflate of the seven files, one process: median %.1f ms (min %.1f)\n", a,
                *std::min_element(inflate.begin(), inflate.end()));
    std::printf("whole install, click to \"Installation Complete\":  median %.1f ms (min %.1f)\n", b,
                *std::min_element(install.begin(), install.end()));
    std::printf("factor: %.2f\n", b / a);
    std::printf("statistics requests received: %zu\n", server.Requests().size());
    return 0;
}
