// Helpers for tests that drive real windows in-process: pumping the
// message queue and holding modifier keys.
#pragma once
#include <windows.h>

#include <cstring>
#include <fstream>
#include <initializer_list>
#include <string>

#include "classlib/Application.h"

namespace formstest {

// Handles messages until Done holds or the time is up; true when it holds.
template <class Pred>
bool PumpUntil(Pred done, DWORD timeoutMs = 3000) {
    DWORD start = GetTickCount();
    while (!done()) {
        cls::Application.ProcessMessages();
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(1);
    }
    return true;
}

inline void Pump(DWORD ms) {
    DWORD start = GetTickCount();
    do {
        cls::Application.ProcessMessages();
        Sleep(1);
    } while (GetTickCount() - start < ms);
}

// Makes the thread see the given keys as held down, for messages that are
// posted rather than typed.
class HeldKeys {
public:
    HeldKeys(std::initializer_list<int> keys) {
        GetKeyboardState(saved_);
        BYTE state[256];
        std::memcpy(state, saved_, sizeof(state));
        for (int k : keys) state[k] |= 0x80;
        SetKeyboardState(state);
    }
    ~HeldKeys() { SetKeyboardState(saved_); }
    HeldKeys(const HeldKeys&) = delete;
    HeldKeys& operator=(const HeldKeys&) = delete;

private:
    BYTE saved_[256];
};

// Posts a key press to a window as the keyboard would.
inline void PostKey(HWND window, WORD key) {
    PostMessageW(window, WM_KEYDOWN, key, 1);
    PostMessageW(window, WM_KEYUP, key, 0xC0000001);
}

// Takes a quit message a test caused off the queue; returns its code or -1.
inline int TakeQuit() {
    MSG msg;
    if (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) return static_cast<int>(msg.wParam);
    return -1;
}

// Windows made in its scope use version 6 of the common controls, as the
// program's own windows do through its manifest.
class CommonControls6 {
public:
    CommonControls6() {
        wchar_t dir[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, dir);
        path_ = std::wstring(dir) + L"classlib-tests-cc6.manifest";
        std::ofstream(path_.c_str()) << R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">
  <dependency><dependentAssembly>
    <assemblyIdentity type="win32" name="Microsoft.Windows.Common-Controls" version="6.0.0.0"
                      processorArchitecture="x86" publicKeyToken="6595b64144ccf1df" language="*"/>
  </dependentAssembly></dependency>
</assembly>)";
        ACTCTXW ctx = {sizeof(ctx)};
        ctx.lpSource = path_.c_str();
        context_ = CreateActCtxW(&ctx);
        active_ = context_ != INVALID_HANDLE_VALUE && ActivateActCtx(context_, &cookie_);
    }
    ~CommonControls6() {
        if (active_) DeactivateActCtx(0, cookie_);
        if (context_ != INVALID_HANDLE_VALUE) ReleaseActCtx(context_);
        DeleteFileW(path_.c_str());
    }
    CommonControls6(const CommonControls6&) = delete;
    CommonControls6& operator=(const CommonControls6&) = delete;
    bool Active() const { return active_; }

private:
    std::wstring path_;
    HANDLE context_ = INVALID_HANDLE_VALUE;
    ULONG_PTR cookie_ = 0;
    bool active_ = false;
};

}  // namespace formstest
