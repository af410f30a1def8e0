// The application object: the GUI thread's message loop, the main form,
// the program's activation as a whole, and the message boxes shown before
// or between the program's windows.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "classlib/Events.h"

namespace cls {

class TForm;

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
    // Passes a message through OnMessage and the forms' keyboard handling
    // (shortcuts, dialog keys), then translates and dispatches it.
    void DispatchMsg(MSG& msg);

    int MessageBox(const std::wstring& text, const std::wstring& caption, UINT flags);
    // The default handler of an exception a message handler let out: a
    // message box with its text, owned by the active window; the program
    // goes on. Called from inside a catch block.
    void HandleException();

    // The program's name; also the text of the hidden application window.
    const std::wstring& Title() const { return title_; }
    void SetTitle(const std::wstring& title);
    bool MainFormOnTaskBar = false;
    // The main form's window; closing the main form ends the program.
    HWND MainFormHandle = nullptr;
    TForm* MainForm() const;
    void SetMainForm(TForm* form);
    // Makes a form into Var; the first form made becomes the main form.
    template <class F>
    F* CreateForm(F*& var) {
        var = new F(nullptr);
        if (!MainForm()) SetMainForm(var);
        return var;
    }
    // The hidden application window (made on first use), the owner of
    // shell calls made for the program as a whole.
    HWND Handle();

    // Whether the program's start shows the main form; a component may
    // ask for it to start hidden.
    bool ShowMainForm = true;

    // A hook sees every message of the application window before it is
    // handled; true answers the message with Result and stops it there.
    using TWindowHook = std::function<bool(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result)>;
    // Key names the hook for UnhookMainWindow. The window is made now, so
    // that the hook hears what the system sends it.
    void HookMainWindow(const void* key, TWindowHook hook);
    void UnhookMainWindow(const void* key);

    // Whether one of the program's windows is the active window.
    bool Active() const { return active_; }
    // Restores the main form when it is minimised.
    void Restore();
    // Brings the main form, or the window it last opened, to the front.
    void BringToFront();

    // Sees every message before it is dispatched; true means handled.
    std::function<bool(MSG&)> OnMessage;
    // The program becomes the active one, or stops being it.
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
    // Told by the windows when they get WM_ACTIVATEAPP.
    void ActivateApp(bool active);

    int ExitCode() const { return exitCode_; }

private:
    static LRESULT CALLBACK AppWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    bool RunHooks(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);

    bool terminated_ = false;
    int exitCode_ = 0;
    bool active_ = false;
    std::wstring title_;
    HWND handle_ = nullptr;
    std::vector<std::pair<const void*, TWindowHook>> hooks_;
};

extern TApplication Application;

// Posts a quit message again after a nested loop took it off the queue.
void RepostQuit(int exitCode);

// Runs the handling of one message; an exception it lets out goes to the
// application's default handler instead of through the system's window
// procedure, and the message gets Fallback.
template <class F>
LRESULT GuardedDispatch(F&& handle, LRESULT fallback = 0) noexcept {
    try {
        return handle();
    } catch (...) {
        try {
            Application.HandleException();
        } catch (...) {
        }
        return fallback;
    }
}

}  // namespace cls
