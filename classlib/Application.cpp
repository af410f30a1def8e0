#include "Application.h"

#include <commctrl.h>

#include "Hooks.h"

namespace cls {

TApplication Application;

void RepostQuit(int exitCode) { PostQuitMessage(exitCode); }

void TApplication::Initialize() {
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES |
                                                 ICC_COOL_CLASSES | ICC_LINK_CLASS};
    InitCommonControlsEx(&icc);
}

bool TApplication::ProcessMessage(MSG& msg, bool& quit) {
    quit = false;
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
    if (msg.message == WM_QUIT) {
        quit = true;
        terminated_ = true;
        exitCode_ = static_cast<int>(msg.wParam);
        return true;
    }
    if (OnMessage && OnMessage(msg)) return true;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    return true;
}

void TApplication::ProcessMessages() {
    MSG msg;
    bool quit = false, sawQuit = false;
    while (ProcessMessage(msg, quit))
        if (quit) {
            sawQuit = true;
            break;
        }
    if (sawQuit) RepostQuit(exitCode_);
}

int TApplication::Run() {
    MSG msg;
    while (!terminated_) {
        BOOL r = GetMessageW(&msg, nullptr, 0, 0);
        if (r == 0 || r == -1) {
            terminated_ = true;
            if (r == 0) exitCode_ = static_cast<int>(msg.wParam);
            break;
        }
        if (OnMessage && OnMessage(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return exitCode_;
}

void TApplication::Terminate() { PostQuitMessage(0); }

int TApplication::MessageBox(const std::wstring& text, const std::wstring& caption, UINT flags) {
    HWND owner = GetActiveWindow();
    if (!owner) owner = MainFormHandle;
    return ShowMessageBox(owner, text, caption, flags);
}

}  // namespace cls
