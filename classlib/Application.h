// The application object: the GUI thread's message loop and the message
// boxes shown before or between the program's windows.
#pragma once
#include <windows.h>
#include <functional>
#include <string>

namespace cls {

class TApplication {
public:
    // Registers the common controls the windows use.
    void Initialize();
    // Runs the message loop until a quit message arrives; returns its code.
    int Run();
    // Ends the message loop.
    void Terminate();
    bool Terminated() const { return terminated_; }
    // Handles every pending message and returns. A quit message taken off
    // the queue here is posted again, so the main loop still ends.
    void ProcessMessages();
    // Takes one message off the queue and handles it; false when there was
    // none. A quit message is not dispatched: Quit is set and its code kept.
    bool ProcessMessage(MSG& msg, bool& quit);

    int MessageBox(const std::wstring& text, const std::wstring& caption, UINT flags);

    std::wstring Title;
    bool MainFormOnTaskBar = false;
    HWND MainFormHandle = nullptr;
    // Sees every message before it is dispatched; true means handled.
    std::function<bool(MSG&)> OnMessage;

    int ExitCode() const { return exitCode_; }

private:
    bool terminated_ = false;
    int exitCode_ = 0;
};

extern TApplication Application;

// Posts a quit message again after a nested loop took it off the queue.
void RepostQuit(int exitCode);

}  // namespace cls
