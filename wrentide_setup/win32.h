// Small owners for the Win32 handles the installer uses, and helpers shared by
// the modules that touch the OS.
#pragma once

#include <windows.h>
#include <shlobj.h>

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

// A GDI object the program made (a font), deleted when its owner goes.
template <typename T>
class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(T object) : object_(object) {}
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    GdiObject& operator=(GdiObject&& other) noexcept {
        if (this != &other) {
            Reset();
            object_ = std::exchange(other.object_, nullptr);
        }
        return *this;
    }
    ~GdiObject() { Reset(); }
    T Get() const { return object_; }
    void Reset() {
        if (object_) DeleteObject(object_);
        object_ = nullptr;
    }

private:
    T object_ = nullptr;
};

// An icon loaded from a resource (not shared), destroyed when its owner goes.
class IconOwner {
public:
    IconOwner() = default;
    explicit IconOwner(HICON icon) : icon_(icon) {}
    IconOwner(const IconOwner&) = delete;
    IconOwner& operator=(const IconOwner&) = delete;
    IconOwner& operator=(IconOwner&& other) noexcept {
        if (this != &other) {
            if (icon_) DestroyIcon(icon_);
            icon_ = std::exchange(other.icon_, nullptr);
        }
        return *this;
    }
    ~IconOwner() {
        if (icon_) DestroyIcon(icon_);
    }
    HICON Get() const { return icon_; }

private:
    HICON icon_ = nullptr;
};

// A window's device context with a font selected into it; the old object
// goes back and the context is released when its owner goes.
class WindowDC {
public:
    WindowDC(HWND window, HGDIOBJ font) : window_(window), dc_(GetDC(window)) {
        if (dc_ && font) old_ = SelectObject(dc_, font);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    ~WindowDC() {
        if (old_) SelectObject(dc_, old_);
        if (dc_) ReleaseDC(window_, dc_);
    }
    HDC Get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
    HGDIOBJ old_ = nullptr;
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

// True for an existing file (not a folder).
bool FileExists(const std::string& path);

// True for a plain file known by this one name: no hard link elsewhere, and
// (opened with FILE_FLAG_OPEN_REPARSE_POINT) not a link itself. Setup runs
// elevated in folders the user can write; anything else may have been planted.
bool HasOneName(HANDLE file);

// True for an existing folder.
bool DirectoryExists(const std::string& path);

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

// True under Wine, whose shell differs from Windows' in a way setup must mind.
bool RunningOnWine();

// The bytes of an RCDATA resource of a module (nullptr: the exe), mapped with
// it and never released; empty when it is missing.
struct ResourceBytes {
    const void* data = nullptr;
    DWORD size = 0;
};
ResourceBytes FindResourceBytes(HINSTANCE module, const char* name);

}  // namespace wt
