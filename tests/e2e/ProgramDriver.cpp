#include "ProgramDriver.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <vector>

#include <shlobj.h>

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

std::wstring ShellFolder(int csidl) {
    wchar_t buf[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buf))) return {};
    return cls::IncludeTrailingPathDelimiter(buf);
}

std::wstring ProgramDataFolder() {
    std::wstring appData = ShellFolder(CSIDL_APPDATA);
    return appData.empty() ? std::wstring() : appData + L"Korvelink\\";
}

bool WriteFirstStartSettings() {
    std::wstring data = ProgramDataFolder();
    return !data.empty() && cls::ForceDirectories(data) &&
           cls::WriteFileBytes(data + L"Config.ini", "\xEF\xBB\xBF[General]\r\nNoMostrarMsgDonar=1\r\n");
}

std::wstring ClassOf(HWND w) {
    wchar_t name[64] = {};
    GetClassNameW(w, name, 64);
    return name;
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
    BringToFront(window);
    PressKey(key, VK_CONTROL);
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

// A mouse event at a screen point. Wine maps 0..65535 onto the pixels by
// truncation, so the middle of the pixel's share is the value that lands
// on it.
INPUT MouseAt(POINT screen, DWORD flags) {
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dx = static_cast<LONG>((2LL * screen.x + 1) * 65536 / (2LL * w));
    in.mi.dy = static_cast<LONG>((2LL * screen.y + 1) * 65536 / (2LL * h));
    in.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    return in;
}

bool CursorAt(POINT p) {
    POINT c;
    return GetCursorPos(&c) && c.x == p.x && c.y == p.y;
}

// Moves the pointer and waits until it stays there. For 100 ms after a
// change Wine answers GetCursorPos from its own record, later from the X
// server; a late motion event can still move the record back meanwhile.
bool MovePointer(POINT screen) {
    INPUT move = MouseAt(screen, 0);
    Send(&move, 1);
    const DWORD start = GetTickCount();
    DWORD since = start;
    while (GetTickCount() - start < 3000) {
        Sleep(20);
        if (!CursorAt(screen))
            since = GetTickCount();
        else if (GetTickCount() - since > 150)
            return true;
    }
    POINT c = {};
    GetCursorPos(&c);
    std::printf("the pointer did not settle on %ld,%ld; it is at %ld,%ld\n", screen.x, screen.y, c.x, c.y);
    return false;
}

DWORD ButtonFlag(bool right, bool up) {
    if (right) return up ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_RIGHTDOWN;
    return up ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_LEFTDOWN;
}

GUITHREADINFO ThreadInfoOf(HWND window) {
    GUITHREADINFO info = {sizeof(info)};
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) info = {sizeof(info)};
    return info;
}

}  // namespace

bool BringToFront(HWND window) {
    if (!IsWindowVisible(window)) ShowWindow(window, SW_SHOWNORMAL);
    // Asked from here while it is in front already, Wine may leave the
    // window deaf to the next clicks.
    if (GetForegroundWindow() != window) SetForegroundWindow(window);
    // Input goes where the window's own thread has put the activation.
    if (WaitUntil([&] { return GetForegroundWindow() == window && ThreadInfoOf(window).hwndActive == window; },
                  5000))
        return true;
    std::printf("%ls did not come to the front; %ls is there\n", ClassOf(window).c_str(),
                ClassOf(GetForegroundWindow()).c_str());
    return false;
}

bool ClickAt(POINT screen, bool right) {
    if (!MovePointer(screen)) return false;
    INPUT in[2] = {MouseAt(screen, ButtonFlag(right, false)), MouseAt(screen, ButtonFlag(right, true))};
    Send(in, 2);
    return true;
}

bool ClickInto(HWND window, HWND control) {
    if (!BringToFront(window)) return false;
    RECT r;
    GetWindowRect(control, &r);
    const POINT middle = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    if (HWND shown = WindowFromPoint(middle); shown != control) {
        std::printf("%ls covers the middle of %ls\n", ClassOf(shown).c_str(), ClassOf(control).c_str());
        return false;
    }
    if (!MovePointer(middle)) return false;
    // The control takes the mouse capture with the press and keeps it until
    // the release: proof that the press went to it and nowhere else.
    INPUT down = MouseAt(middle, MOUSEEVENTF_LEFTDOWN), up = MouseAt(middle, MOUSEEVENTF_LEFTUP);
    Send(&down, 1);
    const bool pressed = WaitUntil([&] { return ThreadInfoOf(window).hwndCapture == control; }, 3000);
    const HWND capture = ThreadInfoOf(window).hwndCapture;
    Send(&up, 1);
    if (!pressed) {
        std::printf("the press meant for %ls went to %ls\n", ClassOf(control).c_str(),
                    capture ? ClassOf(capture).c_str() : L"no window of the program");
        return false;
    }
    if (WaitUntil(
            [&] {
                GUITHREADINFO info = ThreadInfoOf(window);
                return !info.hwndCapture && info.hwndFocus == control && GetForegroundWindow() == window;
            },
            3000))
        return true;
    std::printf("after the click into %ls the focus is on %ls and %ls is in front\n", ClassOf(control).c_str(),
                ClassOf(ThreadInfoOf(window).hwndFocus).c_str(), ClassOf(GetForegroundWindow()).c_str());
    return false;
}

POINT CloseButtonPoint(HWND window) {
    RECT r;
    if (!GetWindowRect(window, &r)) return {-1, -1};
    // The button sits in the top right corner of the frame.
    RECT found = {LONG_MAX, LONG_MAX, LONG_MIN, LONG_MIN};
    for (LONG y = r.top; y < std::min(r.bottom, r.top + 48); ++y)
        for (LONG x = std::max(r.left, r.right - 64); x < r.right; ++x)
            if (SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == HTCLOSE) {
                found = {std::min(found.left, x), std::min(found.top, y), std::max(found.right, x),
                         std::max(found.bottom, y)};
            }
    if (found.left > found.right) return {-1, -1};
    return {(found.left + found.right) / 2, (found.top + found.bottom) / 2};
}

POINT TrayIconPoint() {
    HWND tray = FindWindowW(L"Shell_TrayWnd", nullptr);
    RECT r = {};
    if (!tray || !GetWindowRect(tray, &r)) return {-1, -1};
    return {r.right - 10, (r.top + r.bottom) / 2};
}

bool PickFromIconMenu(POINT icon, WORD arrow) {
    if (!ClickAt(icon, true)) return false;
    HWND menu = nullptr;
    if (!WaitUntil([&] { return (menu = FindWindowW(L"#32768", nullptr)) && IsWindowVisible(menu); }, 5000)) {
        std::printf("no menu opened on the icon\n");
        return false;
    }
    Sleep(200);
    PressKey(arrow);
    Sleep(100);
    PressKey(VK_RETURN);
    return true;
}

bool WaitForFocus(HWND window, HWND control, DWORD timeoutMs) {
    if (WaitUntil([&] { return GetForegroundWindow() == window && ThreadInfoOf(window).hwndFocus == control; },
                  timeoutMs))
        return true;
    std::printf("%ls is in front and the focus of %ls is on %ls, not on %ls\n",
                ClassOf(GetForegroundWindow()).c_str(), ClassOf(window).c_str(),
                ClassOf(ThreadInfoOf(window).hwndFocus).c_str(), ClassOf(control).c_str());
    return false;
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

void PressKey(WORD vk, WORD modifier) {
    INPUT in[4] = {};
    for (INPUT& i : in) i.type = INPUT_KEYBOARD;
    UINT n = 0;
    if (modifier) in[n++].ki.wVk = modifier;
    in[n++].ki.wVk = vk;
    in[n].ki.wVk = vk;
    in[n++].ki.dwFlags = KEYEVENTF_KEYUP;
    if (modifier) {
        in[n].ki.wVk = modifier;
        in[n++].ki.dwFlags = KEYEVENTF_KEYUP;
    }
    Send(in, n);
}

void SelectAllByKeyboard() {
    PressKey(VK_END);
    PressKey(VK_HOME, VK_SHIFT);
}

std::wstring ArtifactsFolder() {
    std::wstring dir = cls::ExtractFilePath(ProgramPath()) + L"..\\artifacts\\";
    cls::ForceDirectories(dir);
    return dir;
}

}  // namespace e2e
