// Helpers shared by the tests that run under Wine.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/error_text.h"
#include "wrentide_setup/ui/application.h"

namespace wt::test {

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool PathExists(const std::string& path);
// The names in folder that match pattern, "." and ".." left out.
std::vector<std::string> NamesIn(const std::string& folder, const char* pattern);
// The temporary folder, without its closing backslash.
std::string TempFolder();

// A file as the build made it, seen from inside Wine (drive Z: is the host's root).
std::string BuiltPayloadFile(const std::string& name);

// A host path as Wine shows it (drive Z: is the host's root).
std::string FromHost(const std::string& hostPath);

// A file of the source tree, and a path in the build tree, from inside Wine.
std::string SourceFile(const std::string& relative);
std::string BuildFile(const std::string& relative);

// A fresh empty folder under the temp folder, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// The installation's record as setup writes it, in its order: each string
// value, then the numbers (their text "dword N"), of the two keys.
struct RecordValue {
    const char* key;
    const char* name;
    std::string text;
    bool number;
};
std::vector<RecordValue> ExpectedRecord(const std::string& program, const std::string& data,
                                        const std::string& work, const std::string& modeIs,
                                        unsigned long kilobytes);

// A shell special folder (CSIDL_*) as the shell reports it, asked through
// another call than the product's own; a failure fails the test.
std::string ShellFolder(int csidl);

// The registry fixture. Paths are under root (the local machine unless
// given) in this process's view, or in the one that view asks for.
// True when the key exists.
bool KeyExists(const char* path, HKEY root = HKEY_LOCAL_MACHINE);
// A value written as it is to be stored, its key made when missing; a
// failure fails the test.
void SetRaw(const char* path, const char* name, DWORD type, const void* data, DWORD size,
            HKEY root = HKEY_LOCAL_MACHINE);
void SetText(const char* path, const char* name, const std::string& text, HKEY root = HKEY_LOCAL_MACHINE);
// A value read back raw: its type, and as text a string as it is, a number
// as "dword N", anything else "<type N>", no value (or no key) "<missing>".
struct Stored {
    std::string text = "<missing>";
    DWORD type = REG_NONE;
};
Stored ReadBack(const char* path, const char* name, HKEY root = HKEY_LOCAL_MACHINE, REGSAM view = 0);

// A shell link loaded back through the shell. Its target is also read through
// the item identifiers, as the shell finds it (Wine reads the raw path back in
// the code page); the show command comes from the file, since Wine's loader
// drops it.
struct Link {
    std::string path, target, workingFolder, arguments;
    uint32_t showCommand = 0;
};
// False when there is no such file or it does not load as a link.
bool LoadLink(const std::string& file, Link& link);

// The product's keys under the local-machine root, and their removal in this
// process's view: the settings key alone, or with the uninstall entry (under
// the root given, for one user's installation).
extern const char kSettings[];
extern const char kUninstall[];
void DeleteSettingsKey();
void DeleteProductKeys(HKEY root = HKEY_LOCAL_MACHINE);

// Removes a folder and everything below it.
void RemoveTree(const std::string& path);

// Points the application's failure message at a list and answers with a
// chosen button; restores the real dialog and the termination state after.
class FailureRecorder {
public:
    explicit FailureRecorder(int answer = IDOK);
    ~FailureRecorder();
    const std::vector<std::string>& Texts() const { return texts_; }

private:
    std::vector<std::string> texts_;
};

// Drops a pending WM_QUIT (left by Terminate) and answers whether there was one.
bool TakeQuitMessage();

}  // namespace wt::test
