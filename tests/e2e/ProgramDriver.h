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

// The text of any window, also one of another process.
std::wstring WindowText(HWND window);
// The first window below Parent (at any depth) of the class, or null.
HWND FindChildWindow(HWND parent, const std::wstring& className);
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
void ClickAt(POINT screen, bool right = false);
void TypeText(const std::wstring& text);
void PressKey(WORD vk);

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
