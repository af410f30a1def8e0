#include "ProgramDriver.h"

#include <vector>

#include "classlib/Files.h"

namespace e2e {

std::wstring ProgramPath() {
    return cls::ExtractFilePath(cls::GetModuleFileNameStr()) + L"Korvelink.exe";
}

RunningProgram::RunningProgram() {
    std::wstring exe = ProgramPath();
    std::wstring cmd = L"\"" + exe + L"\"";
    STARTUPINFOW si = {sizeof(si)};
    PROCESS_INFORMATION pi = {};
    if (CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       cls::ExtractFilePath(exe).c_str(), &si, &pi)) {
        CloseHandle(pi.hThread);
        process_.reset(pi.hProcess);
        pid_ = pi.dwProcessId;
        WaitForInputIdle(pi.hProcess, 10000);
    }
}

RunningProgram::~RunningProgram() {
    if (IsRunning()) {
        TerminateProcess(process_.get(), 99);
        WaitForSingleObject(process_.get(), 5000);
    }
}

bool RunningProgram::IsRunning() const {
    return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

namespace {
struct FindState {
    DWORD pid;
    const std::wstring* className;
    HWND found;
};

BOOL CALLBACK FindWindowOfProcess(HWND hwnd, LPARAM lp) {
    auto* st = reinterpret_cast<FindState*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != st->pid || !IsWindowVisible(hwnd)) return TRUE;
    wchar_t cls[256] = {};
    GetClassNameW(hwnd, cls, 256);
    if (*st->className != cls) return TRUE;
    st->found = hwnd;
    return FALSE;
}
}  // namespace

HWND RunningProgram::WaitForWindow(const std::wstring& className, DWORD timeoutMs) const {
    DWORD start = GetTickCount();
    do {
        FindState st{pid_, &className, nullptr};
        EnumWindows(FindWindowOfProcess, reinterpret_cast<LPARAM>(&st));
        if (st.found) return st.found;
        Sleep(50);
    } while (GetTickCount() - start < timeoutMs && IsRunning());
    return nullptr;
}

DWORD RunningProgram::WaitForExit(DWORD timeoutMs) const {
    if (!process_) return STILL_ACTIVE;
    WaitForSingleObject(process_.get(), timeoutMs);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_.get(), &code);
    return code;
}

std::wstring WindowText(HWND h) {
    // WM_GETTEXT, unlike GetWindowText, reads a control of another process.
    int length = static_cast<int>(SendMessageW(h, WM_GETTEXTLENGTH, 0, 0));
    std::wstring s(length + 1, L'\0');
    s.resize(SendMessageW(h, WM_GETTEXT, s.size(), reinterpret_cast<LPARAM>(s.data())));
    return s;
}

namespace {
struct ChildSearch {
    const std::wstring* className;
    HWND found;
};

BOOL CALLBACK FindChildOfClass(HWND child, LPARAM lp) {
    auto* st = reinterpret_cast<ChildSearch*>(lp);
    wchar_t cls[256] = {};
    GetClassNameW(child, cls, 256);
    if (lstrcmpiW(cls, st->className->c_str()) != 0) return TRUE;
    st->found = child;
    return FALSE;
}
}  // namespace

HWND FindChildWindow(HWND parent, const std::wstring& className) {
    ChildSearch st{&className, nullptr};
    EnumChildWindows(parent, FindChildOfClass, reinterpret_cast<LPARAM>(&st));
    return st.found;
}

void PressCtrlShortcut(HWND window, WORD key) {
    if (!IsWindowVisible(window)) ShowWindow(window, SW_SHOWNORMAL);
    SetForegroundWindow(window);
    Sleep(200);
    INPUT in[4] = {};
    for (INPUT& i : in) i.type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[3].ki.wVk = VK_CONTROL;
    in[1].ki.wVk = in[2].ki.wVk = key;
    in[2].ki.dwFlags = in[3].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(4, in, sizeof(INPUT));
}

void ExitProgram(HWND mainWindow) { PressCtrlShortcut(mainWindow, 'W'); }

namespace {

BOOL CALLBACK CollectStaticText(HWND child, LPARAM lp) {
    wchar_t cls[64] = {};
    GetClassNameW(child, cls, 64);
    if (lstrcmpiW(cls, L"Static") == 0) {
        std::wstring t = WindowText(child);
        if (!t.empty()) {
            auto* out = reinterpret_cast<std::wstring*>(lp);
            if (!out->empty()) *out += L"\n";
            *out += t;
        }
    }
    return TRUE;
}
}  // namespace

MessageBoxContent ReadMessageBox(HWND dialog) {
    MessageBoxContent c;
    c.caption = WindowText(dialog);
    EnumChildWindows(dialog, CollectStaticText, reinterpret_cast<LPARAM>(&c.text));
    return c;
}

void ClickDialogButton(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    if (button)
        PostMessageW(button, BM_CLICK, 0, 0);
    else
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

ScopedRegistryString::ScopedRegistryString(HKEY root, const std::wstring& subKey,
                                           const wchar_t* valueName, const std::wstring& value)
    : root_(root), subKey_(subKey), name_(valueName ? valueName : L""), nameIsDefault_(!valueName) {
    const wchar_t* name = nameIsDefault_ ? nullptr : name_.c_str();
    HKEY key = nullptr;
    if (RegOpenKeyExW(root_, subKey_.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
        keyExisted_ = true;
        DWORD type = 0, bytes = 0;
        if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS) {
            std::vector<wchar_t> buf(bytes / sizeof(wchar_t) + 1, L'\0');
            if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buf.data()),
                                 &bytes) == ERROR_SUCCESS) {
                hadValue_ = true;
                oldValue_ = buf.data();
            }
        }
        RegCloseKey(key);
    }
    if (RegCreateKeyExW(root_, subKey_.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) ==
        ERROR_SUCCESS) {
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
}

ScopedRegistryString::~ScopedRegistryString() {
    const wchar_t* name = nameIsDefault_ ? nullptr : name_.c_str();
    if (!keyExisted_) {
        RegDeleteKeyW(root_, subKey_.c_str());
        return;
    }
    HKEY key = nullptr;
    if (RegOpenKeyExW(root_, subKey_.c_str(), 0, KEY_WRITE, &key) != ERROR_SUCCESS) return;
    if (hadValue_)
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(oldValue_.c_str()),
                       static_cast<DWORD>((oldValue_.size() + 1) * sizeof(wchar_t)));
    else
        RegDeleteValueW(key, name);
    RegCloseKey(key);
}

namespace {
void Send(INPUT* inputs, UINT count) { SendInput(count, inputs, sizeof(INPUT)); }
}  // namespace

void ClickAt(POINT screen, bool right) {
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    INPUT in[3] = {};
    for (INPUT& i : in) {
        i.type = INPUT_MOUSE;
        i.mi.dx = screen.x * 65535 / (w - 1);
        i.mi.dy = screen.y * 65535 / (h - 1);
    }
    in[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    in[1].mi.dwFlags = (right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN) | MOUSEEVENTF_ABSOLUTE;
    in[2].mi.dwFlags = (right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP) | MOUSEEVENTF_ABSOLUTE;
    // Wine takes the press more reliably once the pointer has arrived.
    Send(in, 1);
    Sleep(100);
    Send(in + 1, 2);
}

void TypeText(const std::wstring& text) {
    for (wchar_t c : text) {
        INPUT in[2] = {};
        in[0].type = in[1].type = INPUT_KEYBOARD;
        in[0].ki.wScan = in[1].ki.wScan = c;
        in[0].ki.dwFlags = KEYEVENTF_UNICODE;
        in[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
        Send(in, 2);
    }
}

void PressKey(WORD vk) {
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[1].ki.wVk = vk;
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    Send(in, 2);
}

std::wstring ArtifactsFolder() {
    std::wstring dir = cls::ExtractFilePath(ProgramPath()) + L"..\\artifacts\\";
    cls::ForceDirectories(dir);
    return dir;
}

}  // namespace e2e
