#include "Application.h"

#include <commctrl.h>

#include <algorithm>
#include <new>
#include <stdexcept>

#include "classlib/Forms.h"
#include "classlib/Hooks.h"
#include "classlib/Strings.h"

namespace cls {

TApplication Application;

void RepostQuit(int exitCode) { PostQuitMessage(exitCode); }

void TApplication::Initialize() {
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES |
                                                 ICC_COOL_CLASSES | ICC_LINK_CLASS};
    InitCommonControlsEx(&icc);
}

void TApplication::DispatchMsg(MSG& msg) {
    // The message hooks run outside any window procedure.
    bool handled = GuardedDispatch([&]() -> LRESULT { return (OnMessage && OnMessage(msg)) || IsFormMessage(msg); },
                                   TRUE);
    if (handled) return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
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
    DispatchMsg(msg);
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
        DispatchMsg(msg);
    }
    return exitCode_;
}

void TApplication::Terminate() { PostQuitMessage(0); }

int TApplication::MessageBox(const std::wstring& text, const std::wstring& caption, UINT flags) {
    HWND owner = GetActiveWindow();
    if (!owner) owner = MainFormHandle;
    return ShowMessageBox(owner, text, caption.empty() ? title_ : caption, flags);
}

void TApplication::HandleException() {
    std::wstring text;
    try {
        throw;
    } catch (const std::bad_alloc&) {
        text = L"Out of memory";
    } catch (const std::exception& e) {
        text = Utf8ToWide(e.what());
    } catch (...) {
        text = L"Unknown exception";
    }
    MessageBox(text, title_, MB_OK | MB_ICONERROR);
}

void TApplication::SetTitle(const std::wstring& title) {
    title_ = title;
    if (handle_) SetWindowTextW(handle_, title_.c_str());
}

TForm* TApplication::MainForm() const {
    return dynamic_cast<TForm*>(TWinControl::FromHandle(MainFormHandle));
}

void TApplication::SetMainForm(TForm* form) { MainFormHandle = form ? form->Handle() : nullptr; }

HWND TApplication::Handle() {
    if (handle_) return handle_;
    HINSTANCE inst = GetModuleHandleW(nullptr);
    const wchar_t* className = L"TApplication";
    WNDCLASSEXW wc = {sizeof(wc)};
    if (!GetClassInfoExW(inst, className, &wc)) {
        wc = {sizeof(wc)};
        wc.lpfnWndProc = &TApplication::AppWndProc;
        wc.hInstance = inst;
        wc.lpszClassName = className;
        wc.hIcon = LoadIconW(inst, L"MAINICON");
        RegisterClassExW(&wc);
    }
    // Never shown: it only owns calls made for the program as a whole.
    handle_ = CreateWindowExW(WS_EX_TOOLWINDOW, className, title_.c_str(), WS_POPUP, 0, 0, 0, 0, nullptr,
                              nullptr, inst, nullptr);
    return handle_;
}

void TApplication::HookMainWindow(const void* key, TWindowHook hook) {
    UnhookMainWindow(key);
    hooks_.emplace_back(key, std::move(hook));
    Handle();
}

void TApplication::UnhookMainWindow(const void* key) {
    std::erase_if(hooks_, [key](const auto& h) { return h.first == key; });
}

bool TApplication::RunHooks(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    // A hook may remove itself or another: each is looked up before its call.
    std::vector<const void*> keys;
    for (const auto& h : hooks_) keys.push_back(h.first);
    for (const void* key : keys) {
        auto it = std::find_if(hooks_.begin(), hooks_.end(), [key](const auto& h) { return h.first == key; });
        if (it == hooks_.end()) continue;
        TWindowHook hook = it->second;
        if (hook(msg, wp, lp, result)) return true;
    }
    return false;
}

LRESULT CALLBACK TApplication::AppWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (hwnd == Application.handle_ && !Application.hooks_.empty()) {
        bool handled = false;
        LRESULT result = GuardedDispatch([&]() -> LRESULT {
            LRESULT r = 0;
            handled = Application.RunHooks(msg, wp, lp, r);
            return r;
        });
        if (handled) return result;
    }
    if (msg == WM_ACTIVATEAPP)
        GuardedDispatch([&]() -> LRESULT {
            Application.ActivateApp(wp != FALSE);
            return 0;
        });
    if (msg == WM_DESTROY && hwnd == Application.handle_) Application.handle_ = nullptr;
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void TApplication::ActivateApp(bool active) {
    if (active == active_) return;
    active_ = active;
    if (active && OnActivate) OnActivate(nullptr);
    if (!active && OnDeactivate) OnDeactivate(nullptr);
}

void TApplication::Restore() {
    if (MainFormHandle && IsIconic(MainFormHandle)) ShowWindow(MainFormHandle, SW_RESTORE);
}

void TApplication::BringToFront() {
    if (!MainFormHandle) return;
    HWND last = GetLastActivePopup(MainFormHandle);
    SetForegroundWindow(last && IsWindowVisible(last) ? last : MainFormHandle);
}

}  // namespace cls
