// The saved pages of the login tests (LoginPages.rc) and a scripted browser
// the login window gets through its browser factory.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "forms/LoginBrowser.h"

namespace logintest {

inline std::string PageBytes(const wchar_t* resource) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC info = FindResourceW(module, resource, MAKEINTRESOURCEW(10));  // RT_RCDATA
    if (!info) return {};
    HGLOBAL data = LoadResource(module, info);
    return std::string(static_cast<const char*>(LockResource(data)), SizeofResource(module, info));
}

inline std::wstring ClipboardText() {
    std::wstring text;
    if (!OpenClipboard(nullptr)) return L"<no clipboard>";
    if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
        if (auto* p = static_cast<const wchar_t*>(GlobalLock(h))) text = p;
        GlobalUnlock(h);
    }
    CloseClipboard();
    return text;
}

// What the scripted browsers did; outlives them, so tests can see how they
// were let go.
struct TBrowserLog {
    std::vector<std::wstring> navigations;
    std::vector<std::pair<std::wstring, std::wstring>> submits;  // e-mail, password as given
    int created = 0, freed = 0;
    bool hooksClearedBeforeFree = true;
};

class TFakeLoginBrowser : public app::TLoginBrowser {
public:
    explicit TFakeLoginBrowser(TBrowserLog& log) : log_(log) { ++log_.created; }
    ~TFakeLoginBrowser() override {
        if (OnBeforeNavigate2 || OnDocumentComplete) log_.hooksClearedBeforeFree = false;
        ++log_.freed;
    }

    void Navigate(const std::wstring& url) override {
        if (navigateThrows) throw std::runtime_error("navigate");
        log_.navigations.push_back(url);
    }
    std::string GetDocumentHtml() override {
        if (onRead) onRead();
        return document;
    }
    void SubmitLogin(const std::wstring& email, const std::wstring& password) override {
        log_.submits.emplace_back(email, password);
        if (submitThrows) throw std::runtime_error("no login form");
    }

    // The control's order of events for one page.
    void Load(const std::string& bytes) {
        auto before = OnBeforeNavigate2;
        if (before) before();
        document = bytes;
        auto complete = OnDocumentComplete;
        if (complete) complete();
    }

    std::string document;
    bool navigateThrows = false, submitThrows = false;
    std::function<void()> onRead;  // runs when the window reads the page

private:
    TBrowserLog& log_;
};

}  // namespace logintest
