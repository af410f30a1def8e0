#include "Hooks.h"

#include <shellapi.h>

namespace cls {

MessageBoxFunc MessageBoxHook;
ShellExecuteFunc ShellExecuteHook;

namespace {
const wchar_t* OrNull(const std::wstring& s) { return s.empty() ? nullptr : s.c_str(); }
}

int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags) {
    if (MessageBoxHook) return MessageBoxHook(owner, text, caption, flags);
    return MessageBoxW(owner, text.c_str(), caption.c_str(), flags);
}

INT_PTR ShellExecuteStr(HWND owner, const std::wstring& verb, const std::wstring& file,
                        const std::wstring& params, const std::wstring& dir, int show) {
    if (ShellExecuteHook) return ShellExecuteHook(owner, verb, file, params, dir, show);
    return reinterpret_cast<INT_PTR>(
        ShellExecuteW(owner, OrNull(verb), file.c_str(), OrNull(params), OrNull(dir), show));
}

}  // namespace cls
