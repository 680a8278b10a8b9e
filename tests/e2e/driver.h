// Drives the real setup exe from another process, the way a user sees it:
// windows found by class and text, read and clicked through messages.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace wt::e2e {

// The setup exe as built, seen from inside Wine.
std::string SetupExePath();

// A started program; killed (by its own handle) if still running at the end.
class Process {
public:
    explicit Process(const std::string& exe);
    // Started as the shell starts a recorded command: the line alone, as it stands.
    static Process FromCommandLine(const std::string& commandLine) { return Process(std::string(), commandLine); }
    Process(Process&& other) noexcept : info_(other.info_) { other.info_ = {}; }
    ~Process();
    DWORD Id() const { return info_.dwProcessId; }
    HANDLE Handle() const { return info_.hProcess; }
    bool Started() const { return info_.hProcess != nullptr; }
    // Waits for the process to end; false on timeout.
    bool WaitExit(DWORD milliseconds, DWORD* exitCode = nullptr);

private:
    Process(const std::string& exe, std::string commandLine);
    PROCESS_INFORMATION info_ = {};
};

// A top-level window of the process with this class and caption (either null: any).
HWND WaitForWindow(DWORD processId, const char* className, const char* caption, DWORD milliseconds,
                   bool mustBeVisible);

std::string TextOf(HWND window);
std::string ClassOf(HWND window);
// Rectangle relative to the parent's client area.
RECT RectInParent(HWND window);
// All windows below root, depth first.
std::vector<HWND> Descendants(HWND root);
// The first descendant of that class and text; null if none.
HWND FindControl(HWND root, const char* className, const std::string& text);
bool OwnVisible(HWND window);

// The extent of one line of text as a control draws it ("&" marks an access key)
// in Tahoma of that character height at 96 DPI, made for dpi: the window's own
// font, which cannot be read from another process.
SIZE TahomaExtent(const std::string& text, int height, int dpi);

// Writes the window (or its client area alone) as it is on screen to a PNG file.
bool CaptureWindow(HWND window, const std::string& pngPath, bool clientOnly = false);
// Pixels of the window (or its client area) as it is on screen, top-down rows of 0x00RRGGBB.
std::vector<DWORD> WindowPixels(HWND window, int* width, int* height, bool clientOnly = false);

// How many pixels of the area (in the window's client coordinates) differ
// from the button-face colour of the window's background, as on screen.
int PixelsNotFace(HWND window, const RECT& clientArea);

}  // namespace wt::e2e
