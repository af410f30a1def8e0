// The few calls that leave the program's own windows (message boxes, shell
// execution) go through replaceable functions, so tests can record them
// instead of blocking on a modal box or starting another program.
#pragma once
#include <windows.h>
#include <functional>
#include <string>

namespace cls {

using MessageBoxFunc = std::function<int(HWND owner, const std::wstring& text,
                                         const std::wstring& caption, UINT flags)>;
// Returns the value ShellExecuteW would (greater than 32 on success).
using ShellExecuteFunc = std::function<INT_PTR(HWND owner, const std::wstring& verb,
                                               const std::wstring& file, const std::wstring& params,
                                               const std::wstring& dir, int show)>;

// Null means the real Windows call.
extern MessageBoxFunc MessageBoxHook;
extern ShellExecuteFunc ShellExecuteHook;

int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags);
INT_PTR ShellExecuteStr(HWND owner, const std::wstring& verb, const std::wstring& file,
                        const std::wstring& params = {}, const std::wstring& dir = {},
                        int show = SW_SHOWNORMAL);

// Puts a hook in place for one scope and restores the previous one.
template <typename F>
class ScopedHook {
public:
    ScopedHook(F& slot, F replacement) : slot_(slot), saved_(std::move(slot)) {
        slot_ = std::move(replacement);
    }
    ~ScopedHook() { slot_ = std::move(saved_); }
    ScopedHook(const ScopedHook&) = delete;
    ScopedHook& operator=(const ScopedHook&) = delete;

private:
    F& slot_;
    F saved_;
};

}  // namespace cls
