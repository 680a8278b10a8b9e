// Small owners for the Win32 handles the installer uses, and helpers shared by
// the modules that touch the OS.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace wt {

// A kernel handle (file) closed when its owner goes.
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            Close();
            handle_ = std::exchange(other.handle_, INVALID_HANDLE_VALUE);
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { Close(); }

    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE Get() const { return handle_; }
    void Close() {
        if (Valid()) CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// An open registry key.
class RegKey {
public:
    RegKey() = default;
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    ~RegKey() {
        if (key_) RegCloseKey(key_);
    }
    HKEY Get() const { return key_; }
    HKEY* Receive() { return &key_; }

private:
    HKEY key_ = nullptr;
};

// A COM interface, released when its owner goes.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() {
        if (ptr_) ptr_->Release();
    }
    T* operator->() const { return ptr_; }
    T* Get() const { return ptr_; }
    explicit operator bool() const { return ptr_ != nullptr; }
    void** Receive() { return reinterpret_cast<void**>(&ptr_); }
    void Reset() {
        if (ptr_) ptr_->Release();
        ptr_ = nullptr;
    }

private:
    T* ptr_ = nullptr;
};

// A handle freed by Release when its owner goes: GDI objects and icons.
template <typename T, typename Release>
class Owned {
public:
    Owned() = default;
    explicit Owned(T handle) : handle_(handle) {}
    Owned(Owned&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) {
            Reset();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    ~Owned() { Reset(); }
    T Get() const { return handle_; }
    void Reset() {
        if (handle_) Release()(handle_);
        handle_ = nullptr;
    }

private:
    T handle_ = nullptr;
};

struct DeleteGdiObject {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
struct DestroyIconHandle {
    void operator()(HICON icon) const { DestroyIcon(icon); }
};
// A GDI object the program made (a font).
template <typename T>
using GdiObject = Owned<T, DeleteGdiObject>;
// An icon loaded from a resource (not shared).
using IconOwner = Owned<HICON, DestroyIconHandle>;

// A window's device context, released when its owner goes.
class WindowDC {
public:
    explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    ~WindowDC() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    HDC Get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// A window's painting, begun and ended with its owner.
class PaintDC {
public:
    explicit PaintDC(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
    PaintDC(const PaintDC&) = delete;
    PaintDC& operator=(const PaintDC&) = delete;
    ~PaintDC() { EndPaint(window_, &paint_); }
    HDC Get() const { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT paint_;
    HDC dc_;
};

// An object selected into a device context, the old one put back when its owner goes.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;
    ~Selection() {
        if (old_) SelectObject(dc_, old_);
    }

private:
    HDC dc_;
    HGDIOBJ old_;
};

// The top-left corner at which a window of this size stands centred in the area.
inline POINT CentredIn(const RECT& area, SIZE size) {
    return {area.left + (area.right - area.left - size.cx) / 2, area.top + (area.bottom - area.top - size.cy) / 2};
}

// A shell item identifier list, freed when its owner goes.
struct ItemIdList {
    ItemIdList() = default;
    ItemIdList(const ItemIdList&) = delete;
    ItemIdList& operator=(const ItemIdList&) = delete;
    ~ItemIdList() { CoTaskMemFree(list); }
    LPITEMIDLIST list = nullptr;
};

// The system's text for an error code, without the trailing line break.
std::string SystemMessage(DWORD code);

// The path the system reaches through handle, every link resolved ("\\?\C:\..."); "" when it cannot say.
std::string FinalPath(HANDLE handle);
// The same for the file or folder at path, opened for no more than that and
// held from nobody, without a root's closing backslash; "" when it cannot be opened.
std::string FinalPathOf(const std::string& path);

// A window's text, whole whatever the code page, ended by a null.
std::vector<wchar_t> WideText(HWND window);

// Equal as Windows compares names: ignoring case.
bool SameText(const std::string& a, const std::string& b);

// True when path names something inside folder, at any depth (or folder
// itself, with orSame), compared as SameText does.
bool IsInside(const std::string& path, const std::string& folder, bool orSame = false);

// True for an existing file (not a folder).
bool FileExists(const std::string& path);

// True for a plain file known by this one name: no hard link elsewhere, and
// (opened with FILE_FLAG_OPEN_REPARSE_POINT) not a link itself. Setup runs
// elevated in folders the user can write; anything else may have been planted.
bool HasOneName(HANDLE file);

// True for an existing folder.
bool DirectoryExists(const std::string& path);

// The folders above path that do not exist, from the top down, stopping at a
// drive's or share's root.
std::vector<std::string> MissingFoldersAbove(const std::string& path);

// Setup and the uninstaller run elevated in a data folder the user can write,
// where a planted link would turn their writes and deletions onto another file.
// Under Wine a host symbolic link is no reparse point, and every call by name,
// or through a handle opened by name, acts on its target; only the final path
// of a handle gives it away. So a name counts as what it says only when its
// handle's final path is its folder's final path plus its own name: comparing
// against the folder keeps redirected folders and mapped drives working.
bool IsOwnName(HANDLE handle, const std::string& path);

// True when folder is a plain folder standing by its own name in its parent:
// no reparse point, no link. IsPlainFile is the same for a file.
bool IsPlainFolder(const std::string& folder);
bool IsPlainFile(const std::string& file);

// Removes the name path and never what a link there points at: a name that
// resolves elsewhere is first replaced, by a rename over it, with an empty
// file of our own, which then goes by its handle. ERROR_SUCCESS, or the error.
DWORD RemoveName(const std::string& path);

// Windows' refusal to follow links that a less trusted user made, where the
// system offers it; elsewhere (Wine) it goes on without.
void EnforceRedirectionTrust();

// Every text inside the program is UTF-8; it crosses to Windows through the
// wide calls, converted here and nowhere else, so that no letter outside the
// system's code page is ever lost. A plain buffer rather than std::wstring,
// whose library code the exe would carry for this alone.
std::vector<wchar_t> Wide(const std::string& text);
std::string Utf8(const wchar_t* text);

// bytes random bytes from the system's generator, as hexadecimal digits: a
// name that nobody can make in advance. Empty when the generator fails.
std::string RandomName(unsigned bytes = 16);

// True under Wine, whose shell differs from Windows' in a way setup must mind.
bool RunningOnWine();

// The bytes of an RCDATA resource of a module (nullptr: the exe), mapped with
// it and never released; empty when it is missing.
struct ResourceBytes {
    const void* data = nullptr;
    DWORD size = 0;
};
ResourceBytes FindResourceBytes(HINSTANCE module, const char* name);

// Runs work on a thread of its own and waits for it, while this thread's
// windows keep answering: what is sent to them, their paints and the
// system's own messages are handled as they come, so that the system never
// takes a waiting window for hung. Keyboard and mouse input is dropped: a
// window that waits takes none. A quit request is kept for the message loop.
// What work raises is raised here, once it has ended.
void WaitResponsively(const std::function<void()>& work);

}  // namespace wt
