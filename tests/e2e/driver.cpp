#include "driver.h"

#include <zlib.h>

#include "test_support.h"
#include "wrentide_setup/win32.h"

namespace wt::e2e {

std::string SetupExePath() { return test::FromHost(WT_SETUP_EXE); }

Process::Process(const std::string& exe) : Process(exe, "\"" + exe + "\"") {}

Process::Process(const std::string& exe, std::string commandLine) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    std::vector<wchar_t> line = Wide(commandLine);
    if (!CreateProcessW(exe.empty() ? nullptr : Wide(exe).data(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info_))
        info_ = {};
}

Process::~Process() {
    if (!info_.hProcess) return;
    if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(info_.hProcess, 1);
        WaitForSingleObject(info_.hProcess, 5000);
    }
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
}

bool Process::WaitExit(DWORD milliseconds, DWORD* exitCode) {
    if (!info_.hProcess || WaitForSingleObject(info_.hProcess, milliseconds) != WAIT_OBJECT_0) return false;
    if (exitCode) GetExitCodeProcess(info_.hProcess, exitCode);
    return true;
}

namespace {

struct Search {
    DWORD processId;
    const char* className;
    const char* caption;
    bool mustBeVisible;
    HWND found;
};

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM lParam) {
    Search& s = *reinterpret_cast<Search*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != s.processId || (s.className && ClassOf(window) != s.className)) return TRUE;
    if (s.caption && TextOf(window) != s.caption) return TRUE;
    if (s.mustBeVisible && !IsWindowVisible(window)) return TRUE;
    s.found = window;
    return FALSE;
}

BOOL CALLBACK Collect(HWND window, LPARAM lParam) {
    reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(window);
    return TRUE;
}

}  // namespace

HWND WaitForWindow(DWORD processId, const char* className, const char* caption, DWORD milliseconds,
                   bool mustBeVisible) {
    DWORD start = GetTickCount();
    for (;;) {
        Search search = {processId, className, caption, mustBeVisible, nullptr};
        EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&search));
        if (search.found) return search.found;
        if (GetTickCount() - start > milliseconds) return nullptr;
        Sleep(20);
    }
}

std::string TextOf(HWND window) {
    // Another process's edit text only comes through WM_GETTEXT; wide, so
    // that a folder outside the code page reads as it is.
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return "<hung>";
    std::vector<wchar_t> text(length + 1, L'\0');
    DWORD_PTR got = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG, 5000,
                        &got);
    return Utf8(text.data());
}

std::string ClassOf(HWND window) {
    char name[256] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

RECT RectInParent(HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::vector<HWND> Descendants(HWND root) {
    std::vector<HWND> all;
    EnumChildWindows(root, Collect, reinterpret_cast<LPARAM>(&all));
    return all;
}

HWND FindControl(HWND root, const char* className, const std::string& text) {
    for (HWND window : Descendants(root))
        if (ClassOf(window) == className && TextOf(window) == text) return window;
    return nullptr;
}

bool OwnVisible(HWND window) { return (GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE) != 0; }

std::vector<DWORD> WindowPixels(HWND window, int* width, int* height, bool clientOnly) {
    RECT rect;
    GetWindowRect(window, &rect);
    if (clientOnly) {
        GetClientRect(window, &rect);
        MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    }
    const int w = rect.right - rect.left, h = rect.bottom - rect.top;
    std::vector<DWORD> pixels;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && w > 0 && h > 0) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, w, h, screen, rect.left, rect.top, SRCCOPY);
        GdiFlush();
        const DWORD* p = static_cast<const DWORD*>(bits);
        pixels.assign(p, p + static_cast<size_t>(w) * h);
        for (DWORD& px : pixels) px &= 0x00FFFFFF;
        SelectObject(memory, old);
    }
    if (bitmap) DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    *width = w;
    *height = h;
    return pixels;
}

SIZE TahomaExtent(const std::string& text, int height, int dpi) {
    HFONT font = CreateFontW(-MulDiv(height, dpi, 96), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Tahoma");
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    RECT r = {0, 0, 0, 0};
    const std::vector<wchar_t> wide = Wide(text);
    DrawTextW(dc, wide.data(), -1, &r, DT_CALCRECT | DT_SINGLELINE);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    DeleteObject(font);
    return {r.right, r.bottom};
}

int PixelsNotFace(HWND window, const RECT& area) {
    int w = 0, h = 0;
    std::vector<DWORD> pixels = WindowPixels(window, &w, &h);
    RECT frame;
    GetWindowRect(window, &frame);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    const int dx = origin.x - frame.left, dy = origin.y - frame.top;
    const DWORD face = GetSysColor(COLOR_BTNFACE);
    const DWORD faceRgb = ((face & 0xFF) << 16) | (face & 0xFF00) | ((face >> 16) & 0xFF);
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) {
            const size_t at = static_cast<size_t>(y + dy) * w + x + dx;
            count += at < pixels.size() && pixels[at] != faceRgb;
        }
    return count;
}

namespace {

void Put32(std::string& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((v >> shift) & 0xFF);
}

void Chunk(std::string& out, const char* type, const std::string& data) {
    Put32(out, static_cast<uint32_t>(data.size()));
    std::string body = std::string(type, 4) + data;
    out += body;
    Put32(out, crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size())));
}

}  // namespace

bool CaptureWindow(HWND window, const std::string& pngPath, bool clientOnly) {
    int w = 0, h = 0;
    std::vector<DWORD> pixels = WindowPixels(window, &w, &h, clientOnly);
    if (pixels.empty()) return false;
    std::string raw;
    raw.reserve(static_cast<size_t>(h) * (1 + 3 * w));
    for (int y = 0; y < h; ++y) {
        raw += '\0';  // no filter
        for (int x = 0; x < w; ++x) {
            DWORD px = pixels[static_cast<size_t>(y) * w + x];
            raw += static_cast<char>((px >> 16) & 0xFF);
            raw += static_cast<char>((px >> 8) & 0xFF);
            raw += static_cast<char>(px & 0xFF);
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(&packed[0]), &packedSize, reinterpret_cast<const Bytef*>(raw.data()),
                  static_cast<uLong>(raw.size()), 6) != Z_OK)
        return false;
    packed.resize(packedSize);

    std::string png = "\x89PNG\r\n\x1a\n";
    std::string header;
    Put32(header, static_cast<uint32_t>(w));
    Put32(header, static_cast<uint32_t>(h));
    header += std::string("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB
    Chunk(png, "IHDR", header);
    Chunk(png, "IDAT", packed);
    Chunk(png, "IEND", "");

    HANDLE file = CreateFileA(pngPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, png.data(), static_cast<DWORD>(png.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == png.size();
}

}  // namespace wt::e2e
