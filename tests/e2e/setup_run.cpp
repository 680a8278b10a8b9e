#include "setup_run.h"

namespace wt::e2e {
namespace {

// Memory in the setup process, for the messages whose pointer must lie there:
// what the user's own clicks would have put in place.
class RemoteBlock {
public:
    RemoteBlock(DWORD processId, size_t size)
        : process_(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId)),
          at_(process_ ? VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE) : nullptr) {}
    ~RemoteBlock() {
        if (at_) VirtualFreeEx(process_, at_, 0, MEM_RELEASE);
        if (process_) CloseHandle(process_);
    }
    RemoteBlock(const RemoteBlock&) = delete;
    RemoteBlock& operator=(const RemoteBlock&) = delete;
    char* At(size_t offset = 0) const { return static_cast<char*>(at_) + offset; }
    bool Write(size_t offset, const void* data, size_t size) {
        return at_ && WriteProcessMemory(process_, At(offset), data, size, nullptr);
    }
    std::string ReadText(size_t offset, size_t most) {
        std::string text(most, '\0');
        if (!at_ || !ReadProcessMemory(process_, At(offset), &text[0], most, nullptr)) return "<unreadable>";
        return text.c_str();
    }

private:
    HANDLE process_;
    void* at_;
};

}  // namespace

std::string LoopbackSetupExe() {
    std::string exe = SetupExePath();
    return exe.substr(0, exe.size() - 4) + "_loopback.exe";
}

void Click(HWND control) { PostMessageA(control, BM_CLICK, 0, 0); }

bool WaitUntil(const std::function<bool()>& done, DWORD milliseconds) {
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > milliseconds) return false;
        Sleep(20);
    }
    return true;
}

HWND Focused(HWND form) {
    GUITHREADINFO gui = {};
    gui.cbSize = sizeof gui;
    GetGUIThreadInfo(GetWindowThreadProcessId(form, nullptr), &gui);
    return gui.hwndFocus;
}

void PressAlt(HWND form, char letter) {
    // What the keyboard delivers for Alt+letter, to the control with the focus.
    PostMessageA(Focused(form), WM_SYSCHAR, static_cast<WPARAM>(letter), 1 << 29);
}

void PressEnter(HWND form) { PostMessageA(Focused(form), WM_KEYDOWN, VK_RETURN, 0x001C0001); }

HWND TextBox(HWND form, bool multiLine) {
    for (HWND w : Descendants(form))
        if (ClassOf(w) == "Edit" && ((GetWindowLongA(w, GWL_STYLE) & ES_MULTILINE) != 0) == multiLine) return w;
    return nullptr;
}

HWND LicenceBox(HWND form) { return TextBox(form, true); }

HWND FolderBox(HWND form) { return TextBox(form, false); }

std::string MessageText(HWND box) {
    for (HWND child : Descendants(box))
        if (ClassOf(child) == "Static" && !TextOf(child).empty()) return TextOf(child);
    return "";
}

bool Answer(HWND box, const char* button) {
    HWND pressed = FindControl(box, "Button", button);
    if (!pressed) return false;
    PostMessageA(pressed, BM_CLICK, 0, 0);
    return WaitUntil([&] { return !IsWindow(box); }, 5000);
}

HWND OpenFolderBrowser(HWND form) {
    DWORD processId = 0;
    GetWindowThreadProcessId(form, &processId);
    PressAlt(form, 'g');
    HWND browser = nullptr;
    WaitUntil([&] {
        for (HWND w = FindWindowA("#32770", nullptr); w && !browser; w = FindWindowExA(nullptr, w, "#32770", nullptr)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if (owner == processId && IsWindowVisible(w) && FindControl(w, "Static", "Install WrenTide to this folder:"))
                browser = w;
        }
        return browser != nullptr;
    }, 10000);
    return browser;
}

void BrowseTo(HWND browser, const std::string& path) {
    DWORD processId = 0;
    GetWindowThreadProcessId(browser, &processId);
    RemoteBlock remote(processId, path.size() + 1);
    remote.Write(0, path.c_str(), path.size() + 1);
    SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(remote.At()));
}

bool AnswerFolderBrowser(HWND form, HWND browser, int button) {
    PostMessageA(browser, WM_COMMAND, button, 0);
    return WaitUntil([&] { return IsWindowEnabled(form) != FALSE; }, 5000);
}

std::string HintOf(HWND form, HWND control) {
    DWORD processId = 0;
    GetWindowThreadProcessId(form, &processId);
    HWND tip = nullptr;
    for (HWND w = FindWindowA(TOOLTIPS_CLASSA, nullptr); w && !tip; w = FindWindowExA(nullptr, w, TOOLTIPS_CLASSA, nullptr))
        if (GetWindow(w, GW_OWNER) == form) tip = w;
    if (!tip) return "<no tooltip>";
    const size_t most = 1024;  // what the control writes at most
    RemoteBlock remote(processId, sizeof(TOOLINFOA) + most);
    TOOLINFOA tool = {};
    tool.cbSize = sizeof tool;
    tool.hwnd = form;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = remote.At(sizeof tool);
    remote.Write(0, &tool, sizeof tool);
    SendMessageA(tip, TTM_GETTEXTA, most, reinterpret_cast<LPARAM>(remote.At()));
    return remote.ReadText(sizeof tool, most);
}

HWND FindStartedApplication(DWORD milliseconds) {
    HWND found = nullptr;
    // Visible, so that it is whole: its text and windows are made before it is shown.
    WaitUntil([&] { return (found = FindWindowA("WrenTideMain", nullptr)) != nullptr && IsWindowVisible(found); },
              milliseconds);
    if (found && !IsWindowVisible(found)) found = nullptr;
    return found;
}

void CloseStartedApplication(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid);
    PostMessageA(window, WM_CLOSE, 0, 0);
    if (process) {
        if (WaitForSingleObject(process, 10000) != WAIT_OBJECT_0) TerminateProcess(process, 1);
        CloseHandle(process);
    }
}

HWND SetupRun::Form() {
    if (!form_) form_ = WaitForWindow(process_.Id(), "TForm1", "WrenTide Installer", kWait, true);
    return form_;
}

HWND SetupRun::Progress() {
    for (HWND w : Descendants(Form()))
        if (ClassOf(w) == "msctls_progress32") return w;
    return nullptr;
}

bool SetupRun::ToOptions(bool desktop, bool runAfter, const std::function<void()>& onLicence) {
    HWND next = Control("Button", "&Next");
    if (!next) return false;
    Click(next);
    HWND accept = Control("Button", "I have read and agree with the EULA ");
    if (!accept || !WaitUntil([&] { return OwnVisible(GetParent(accept)); }, 5000)) return false;
    if (onLicence) onLicence();
    Click(accept);
    HWND desktopBox = Control("Button", "Place a shortcut on the Desktop");
    if (!WaitUntil([&] { return OwnVisible(GetParent(desktopBox)); }, 5000)) return false;
    if (desktop) Click(desktopBox);
    if (runAfter) Click(Control("Button", "Run WrenTide when install finishes"));
    return WaitUntil([&] { return Checked("Place a shortcut on the Desktop") == desktop &&
                                  Checked("Run WrenTide when install finishes") == runAfter; },
                     5000);
}

bool SetupRun::Checked(const char* text) {
    DWORD_PTR state = 0;
    SendMessageTimeoutA(Control("Button", text), BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000, &state);
    return state == BST_CHECKED;
}

std::string SetupRun::Status() {
    for (const char* text : {"Installation Complete", "Installation Failed"})
        if (Control("Static", text)) return text;
    return "<none>";
}

int SetupRun::Position() {
    DWORD_PTR position = 0;
    SendMessageTimeoutA(Progress(), PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 5000, &position);
    return static_cast<int>(position);
}

bool SetupRun::Install(const char* caption, std::vector<int> answers, char accelerator) {
    HWND install = Control("Button", caption);
    if (!install) return false;
    if (accelerator == '\r')
        PressEnter(Form());
    else if (accelerator)
        PressAlt(Form(), accelerator);
    else
        Click(install);
    HWND close = nullptr;
    size_t next = 0;
    return WaitUntil(
        [&] {
            HWND dialog = WaitForWindow(process_.Id(), "#32770", "Information", 0, true);
            if (dialog) {
                for (HWND w : Descendants(dialog))
                    if (ClassOf(w) == "Static" && !TextOf(w).empty()) messages.push_back(TextOf(w));
                int answer = next < answers.size() ? answers[next++] : IDOK;
                if (answer == IDOK)
                    Click(FindControl(dialog, "Button", "OK"));
                else
                    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
                WaitUntil([&] { return !IsWindow(dialog); }, 5000);
                return false;
            }
            if (!close) close = Control("Button", "Finished");
            if (!close) close = Control("Button", "Close");
            return close && IsWindowEnabled(close) && IsWindowEnabled(Form());
        },
        120000);
}

}  // namespace wt::e2e
