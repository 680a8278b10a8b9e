// wt_bench [runs]: where an install's time goes. Each run, interleaved: the
// floor (each stream inflated in memory and written with one WriteFile, over
// the files of an untimed first pass), setup's own extract + inflate in one
// process, and a whole install through the window of setup's benchmark build,
// which marks the time at each step. Prints medians and minimums, and the
// ratios of each; asserts nothing.
#include "loopback_server.h"  // winsock2.h must come before windows.h

#include <windows.h>
#include <psapi.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "installed_files.h"
#include "setup_run.h"
#include "test_support.h"
#include "wrentide_setup/engine/payload.h"

namespace {

double Frequency() {
    static double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    return frequency;
}

double Now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return 1000.0 * static_cast<double>(t.QuadPart) / Frequency();
}

// Each stream inflated in memory into out and written with one WriteFile to
// its file in folder, made anew or written over in place (OPEN_EXISTING).
double FloorPass(const std::string& folder, unsigned char* out, uInt capacity, DWORD disposition) {
    const double start = Now();
    for (const wt::PayloadFile& file : wt::PayloadTable) {
        HRSRC resource = FindResourceA(nullptr, file.resource, RT_RCDATA);
        const Bytef* data = static_cast<const Bytef*>(LockResource(LoadResource(nullptr, resource)));
        z_stream stream = {};
        inflateInit(&stream);
        stream.next_in = const_cast<Bytef*>(data);
        stream.avail_in = SizeofResource(nullptr, resource);
        stream.next_out = out;
        stream.avail_out = capacity;
        if (inflate(&stream, Z_FINISH) != Z_STREAM_END) std::fprintf(stderr, "wt_bench: %s does not inflate\n", file.resource);
        HANDLE target = CreateFileA((folder + file.fileName).c_str(), GENERIC_WRITE, 0, nullptr, disposition,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (target == INVALID_HANDLE_VALUE) std::fprintf(stderr, "wt_bench: %s does not open\n", file.fileName);
        DWORD written = 0;
        WriteFile(target, out, static_cast<DWORD>(stream.total_out), &written, nullptr);
        CloseHandle(target);
        inflateEnd(&stream);
    }
    return Now() - start;
}

// The floor: the second of two passes, written over the files of the first,
// so that it times inflating and copying the bytes, not fresh memory. On this
// VM fresh memory costs by chance: Wine's CreateProcess forks this process,
// which write-protects every page of the buffer, so after each install the
// first write to each page faults; and a new 5 MB file takes 1 ms or 5-16 ms
// as its pages come from memory the host has or has not taken back.
double InMemoryFloor() {
    constexpr uInt kCapacity = 64u << 20;
    static std::unique_ptr<unsigned char[]> out(new unsigned char[kCapacity]);  // untouched until inflated into
    wt::test::ScratchFolder folder;
    FloorPass(folder.Path(), out.get(), kCapacity, CREATE_ALWAYS);
    return FloorPass(folder.Path(), out.get(), kCapacity, OPEN_EXISTING);
}

// Setup's own extract + inflate of the seven files, in this process.
double OwnExtractAndInflate() {
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

using Figures = std::map<std::string, std::vector<double>>;

// The marks setup wrote, in milliseconds of this process's clock.
std::map<std::string, double> ReadMarks(const std::string& path) {
    std::map<std::string, double> marks;
    std::ifstream in(path);
    std::string step;
    long long counter = 0;
    while (in >> step >> counter) marks[step] = 1000.0 * static_cast<double>(counter) / Frequency();
    return marks;
}

double MegaBytes(SIZE_T bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

// One install through the window of the benchmark build; false when it did not complete.
bool WholeInstall(const std::string& marksFile, Figures& figures) {
    wt::e2e::RemoveDefaultInstall();
    DeleteFileA(marksFile.c_str());
    const double launched = Now();
    wt::e2e::SetupRun run(wt::test::FromHost(WT_BENCH_SETUP_EXE));
    // Idle for input once the first page is shown and painted.
    if (WaitForInputIdle(run.process().Handle(), wt::e2e::kWait) != 0 || !run.Form() || !IsWindowVisible(run.Form()))
        return false;
    figures["start-up to the Welcome page painted"].push_back(Now() - launched);
    if (!run.ToOptions(false, false)) return false;
    WaitForInputIdle(run.process().Handle(), 5000);
    PROCESS_MEMORY_COUNTERS idle{};
    idle.cb = sizeof idle;
    GetProcessMemoryInfo(run.process().Handle(), &idle, sizeof idle);

    // The marks file appears when the install has come to its end. Waiting for
    // it asks nothing of Wine's server, while setup is being timed.
    HWND install = run.Control("Button", "&Install");
    if (!install) return false;
    const double clicked = Now();
    wt::e2e::Click(install);
    if (!wt::e2e::WaitUntil([&] { return GetFileAttributesA(marksFile.c_str()) != INVALID_FILE_ATTRIBUTES; }, wt::e2e::kWait) ||
        !wt::e2e::WaitUntil([&] { return run.Status() == "Installation Complete"; }, 5000))
        return false;
    PROCESS_MEMORY_COUNTERS after{};
    after.cb = sizeof after;
    GetProcessMemoryInfo(run.process().Handle(), &after, sizeof after);
    std::map<std::string, double> marks = ReadMarks(marksFile);
    for (const char* step : {"payload", "registration", "shortcuts", "commit", "ping", "complete"})
        if (!marks.count(step)) return false;
    figures["payload steps (click to progress 95)"].push_back(marks["payload"] - clicked);
    figures["registration"].push_back(marks["registration"] - marks["payload"]);
    figures["shortcuts"].push_back(marks["shortcuts"] - marks["registration"]);
    figures["commit (flushes, then the old copies go)"].push_back(marks["commit"] - marks["shortcuts"]);
    figures["statistics request"].push_back(marks["ping"] - marks["commit"]);
    figures["whole install (click to \"Installation Complete\")"].push_back(marks["complete"] - clicked);
    figures["working set, idle window (MB)"].push_back(MegaBytes(idle.WorkingSetSize));
    figures["working set, peak of the process (MB)"].push_back(MegaBytes(after.PeakWorkingSetSize));
    figures["peak above idle (MB)"].push_back(MegaBytes(after.PeakWorkingSetSize) - MegaBytes(idle.WorkingSetSize));
    wt::e2e::Click(run.Control("Button", "Finished"));
    run.process().WaitExit(wt::e2e::kWait);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(5, std::atoi(argv[1])) : 5;
    CoInitialize(nullptr);
    wt::test::LoopbackServer server(wt::test::kOkReply, WT_STATS_PORT);
    wt::test::ScratchFolder scratch;
    const std::string marksFile = scratch.Path() + "\\marks.txt";
    SetEnvironmentVariableA("WT_BENCH_MARKS_FILE", marksFile.c_str());
    Figures figures;
    for (int i = 0; i < runs; ++i) {
        // Wine winds down the last setup process meanwhile: let it settle first.
        Sleep(500);
        figures["floor: inflate in memory, one WriteFile each"].push_back(InMemoryFloor());
        figures["setup's extract + inflate, one process"].push_back(OwnExtractAndInflate());
        if (!WholeInstall(marksFile, figures)) {
            std::fprintf(stderr, "wt_bench: install run %d did not complete\n", i + 1);
            wt::e2e::RemoveDefaultInstall();
            return 1;
        }
    }
    wt::e2e::RemoveDefaultInstall();
    auto median = [&](const std::string& name) {
        std::vector<double> v = figures.at(name);
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    auto minimum = [&](const std::string& name) {
        const std::vector<double>& v = figures.at(name);
        return *std::min_element(v.begin(), v.end());
    };
    std::printf("runs: %d (interleaved), median and minimum\n", runs);
    for (const char* name :
         {"floor: inflate in memory, one WriteFile each", "setup's extract + inflate, one process",
          "payload steps (click to progress 95)", "registration", "shortcuts",
          "commit (flushes, then the old copies go)", "statistics request",
          "whole install (click to \"Installation Complete\")", "start-up to the Welcome page painted"})
        std::printf("  %-52s %8.1f ms  (min %.1f)\n", name, median(name), minimum(name));
    for (const char* name : {"working set, idle window (MB)", "working set, peak of the process (MB)",
                             "peak above idle (MB)"})
        std::printf("  %-52s %8.2f     (min %.2f)\n", name, median(name), minimum(name));
    const std::string floor = "floor: inflate in memory, one WriteFile each";
    const std::pair<const char*, const char*> ratios[] = {
        {"whole install", "whole install (click to \"Installation Complete\")"},
        {"payload steps", "payload steps (click to progress 95)"}};
    for (const auto& [label, name] : ratios)
        std::printf("%s / floor: %.2f of the medians (%.1f / %.1f ms), %.2f of the minimums (%.1f / %.1f ms)\n", label,
                    median(name) / median(floor), median(name), median(floor), minimum(name) / minimum(floor),
                    minimum(name), minimum(floor));
    std::printf("statistics requests received: %zu\n", server.Requests().size());
    return 0;
}
