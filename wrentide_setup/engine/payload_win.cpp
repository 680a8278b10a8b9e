#include <windows.h>

#include <vector>

#include "wrentide_setup/context/install_paths.h"
#include "wrentide_setup/engine/inflater.h"
#include "wrentide_setup/engine/payload.h"
#include "wrentide_setup/error.h"
#include "wrentide_setup/win32.h"

namespace wt {
namespace {

UniqueHandle OpenForReading(const std::string& path) {
    // A link is opened as itself, so that what it points at is never read.
    UniqueHandle file(CreateFileW(Wide(path).data(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.Valid()) throw Error("Cannot open file \"" + path + "\". " + SystemMessage(GetLastError()));
    // The temporary file is setup's own: one name, no link. Anything else was
    // planted there and is not taken as the payload.
    if (!HasOneName(file.Get()) || !IsOwnName(file.Get(), path))
        throw Error("Cannot open file \"" + path + "\". It is not a file of setup's own.");
    return file;
}

// Creates path afresh: a name that cannot be cleared, or that something took
// again in between, fails the create instead of being written through. Setup
// runs elevated, and the data folder is the user's to write: whatever stands
// at the name goes as a name, never what a link there points at.
UniqueHandle CreateForWriting(const std::string& path) {
    DWORD clearError = RemoveName(path);
    UniqueHandle file(
        CreateFileW(Wide(path).data(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        DWORD error = GetLastError();
        if (error == ERROR_FILE_EXISTS && clearError != ERROR_SUCCESS && clearError != ERROR_FILE_NOT_FOUND)
            error = clearError;
        throw Error("Cannot create file \"" + path + "\". " + SystemMessage(error));
    }
    return file;
}

// Writes all of size bytes or raises: a short write must not pass as done.
void WriteAll(HANDLE file, const std::string& path, const void* data, size_t size) {
    const BYTE* p = static_cast<const BYTE*>(data);
    while (size > 0) {
        DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(file, p, chunk, &written, nullptr))
            throw Error("Cannot write to \"" + path + "\". " + SystemMessage(GetLastError()));
        if (written == 0) throw Error("Cannot write to \"" + path + "\". The disk is full.");
        p += written;
        size -= written;
    }
}

class FileSource : public ByteSource {
public:
    FileSource(HANDLE file, const std::string& path) : file_(file), path_(path) {}
    size_t Read(void* buffer, size_t size) override {
        DWORD got = 0;
        if (!ReadFile(file_, buffer, static_cast<DWORD>(size), &got, nullptr))
            throw Error("Cannot read \"" + path_ + "\". " + SystemMessage(GetLastError()));
        return got;
    }

private:
    HANDLE file_;
    const std::string& path_;
};

// Gathers the decompression loop's 1,024-byte pieces into 64 KiB writes: one
// system call per piece made the install several times slower than the
// inflate itself.
class FileSink : public ByteSink {
public:
    FileSink(HANDLE file, const std::string& path) : file_(file), path_(path) { buffer_.reserve(kBlock); }
    void Write(const void* data, size_t size) override {
        if (buffer_.size() + size > kBlock) Flush();
        if (size >= kBlock) {
            WriteAll(file_, path_, data, size);
            return;
        }
        const BYTE* bytes = static_cast<const BYTE*>(data);
        buffer_.insert(buffer_.end(), bytes, bytes + size);
    }
    // Called once the data is complete: a failure here fails the step.
    void Flush() {
        if (!buffer_.empty()) WriteAll(file_, path_, buffer_.data(), buffer_.size());
        buffer_.clear();
    }

private:
    static constexpr size_t kBlock = 65536;
    HANDLE file_;
    const std::string& path_;
    std::vector<BYTE> buffer_;
};

}  // namespace

void ExtractResource(const std::string& name, const std::string& path) {
    // The resource is mapped with the module and needs no release, so the
    // file is the only stream that has to be closed.
    const ResourceBytes bytes = FindResourceBytes(nullptr, name.c_str());
    if (!bytes.data) throw Error("The resource \"" + name + "\" is missing from setup.");
    UniqueHandle file = CreateForWriting(path);
    WriteAll(file.Get(), path, bytes.data, bytes.size);
}

void InflateFile(const std::string& source, const std::string& target) {
    {
        // Declared in opening order so that they close target first, then the
        // decompression stream, then the source.
        UniqueHandle input = OpenForReading(source);
        FileSource compressed(input.Get(), source);
        Inflater inflater(compressed);
        UniqueHandle output = CreateForWriting(target);
        FileSink sink(output.Get(), target);
        CopyInflated(inflater, sink);
        sink.Flush();
    }
    if (FileExists(source)) RemoveName(source);
}

void RemoveOldFile(const std::string& path) {
    try {
        if (!FileExists(path) || FileInUse(path)) return;
        RemoveName(path);
    } catch (...) {
        // An old copy that cannot go is dealt with by the inflate over it.
    }
}

}  // namespace wt
