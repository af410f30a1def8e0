// Starts the real Korvelink.exe beside the test executable and drives it
// from outside through its windows, the way a user would.
#pragma once
#include <windows.h>
#include <string>

#include "classlib/Raii.h"

namespace e2e {

std::wstring ProgramPath();  // Korvelink.exe in the test executable's folder

class RunningProgram {
public:
    RunningProgram();  // starts the program; check Started()
    ~RunningProgram();  // ends it if it still runs
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    bool Started() const { return static_cast<bool>(process_); }
    DWORD Pid() const { return pid_; }
    // A visible top-level window of this process with the class name, or
    // null after the timeout.
    HWND WaitForWindow(const std::wstring& className, DWORD timeoutMs = 15000) const;
    // The exit code, or STILL_ACTIVE after the timeout.
    DWORD WaitForExit(DWORD timeoutMs = 15000) const;
    bool IsRunning() const;

private:
    cls::Handle process_;
    DWORD pid_ = 0;
};

// A shell folder of this prefix's user, with a trailing delimiter; empty
// when the shell has none.
std::wstring ShellFolder(int csidl);
// The program's data folder in this prefix: Config.ini, history, thumbnails.
std::wstring ProgramDataFolder();
// Settings as a first start finds them, but with the donation reminder off:
// the reminder is a modal window two seconds after the start that would
// take the input of a test that is not about it.
bool WriteFirstStartSettings();

// The text of any window, also one of another process.
std::wstring WindowText(HWND window);
std::wstring ClassOf(HWND window);
// The first window below Parent (at any depth) of the class, or null.
HWND FindChildWindow(HWND parent, const std::wstring& className);
// Shows the window when hidden and brings it to the front; false, with what
// is in front printed, when its thread has not activated it in time.
bool BringToFront(HWND window);
// Brings the window to the front (showing it when hidden) and presses a key
// with Ctrl held, from the keyboard as a user would. Menus of another
// process cannot be read under Wine, so their shortcuts are the way in.
void PressCtrlShortcut(HWND window, WORD key);
// File > Exit (Ctrl+W): the close button only hides the main window.
void ExitProgram(HWND mainWindow);

struct MessageBoxContent {
    std::wstring caption, text;
};
MessageBoxContent ReadMessageBox(HWND dialog);
// Clicks a button of a dialog (IDOK, IDYES, IDNO ...) as a user would.
void ClickDialogButton(HWND dialog, int id);

// Sets or removes a registry string for one test and puts the old state
// back afterwards.
class ScopedRegistryString {
public:
    ScopedRegistryString(HKEY root, const std::wstring& subKey, const wchar_t* valueName,
                         const std::wstring& value);
    ~ScopedRegistryString();

private:
    HKEY root_;
    std::wstring subKey_;
    std::wstring name_;
    bool nameIsDefault_;
    bool hadValue_ = false, keyExisted_ = false;
    std::wstring oldValue_;
};

// Real input through SendInput, as a user's mouse and keyboard give it.
// Every mouse event carries its position: a press without one lands where
// Wine last saw the pointer, which a late motion event of the X server can
// have put back at an earlier place. False when the pointer never settled
// on the point.
bool ClickAt(POINT screen, bool right = false);
// Brings the window to the front and clicks into the middle of the control.
// True only when the control itself took the press (it holds the mouse
// capture while the button is down) and afterwards has the keyboard focus
// in the window in front; otherwise prints where the click went.
bool ClickInto(HWND window, HWND control);
// The middle of the window's title-bar close button, found by asking the
// window what lies where; {-1, -1} when it shows none.
POINT CloseButtonPoint(HWND window);
// The program's icon in the notification area: the desktop's taskbar shows
// it at its right end. {-1, -1} without a taskbar.
POINT TrayIconPoint();
// Opens the notification icon's menu with a right click at Icon and picks
// its first item (VK_DOWN) or its last (VK_UP) from the keyboard: the open
// menu holds the pointer, which Wine then moves for no other program. False
// when no menu opened.
bool PickFromIconMenu(POINT icon, WORD arrow);
// True when Window is in front with Control holding its keyboard focus
// before the time is up; otherwise prints where they are.
bool WaitForFocus(HWND window, HWND control, DWORD timeoutMs = 5000);
void TypeText(const std::wstring& text);
// Presses a key, with a modifier key (VK_SHIFT, VK_CONTROL) held when one
// is given.
void PressKey(WORD vk, WORD modifier = 0);
// Selects the whole text of the edit box that has the focus from the
// keyboard (End, Shift+Home), so it comes after a click in the same queue.
void SelectAllByKeyboard();

// Polls the condition every 50 ms; false when it still fails after the time.
template <class Pred>
bool WaitUntil(Pred done, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(50);
    }
    return true;
}

// build/artifacts beside the program's folder, where screenshots are kept.
std::wstring ArtifactsFolder();

}  // namespace e2e
