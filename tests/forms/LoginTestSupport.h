// The saved pages of the login tests (LoginPages.rc) and a scripted browser
// the login window gets through its browser factory.
#pragma once
#include <windows.h>

#include <functional>
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
    return std::string(static_cast<const char*>(LockResource(LoadResource(module, info))),
                       SizeofResource(module, info));
}

// What the scripted browsers did; outlives them.
struct TBrowserLog {
    std::vector<std::wstring> navigations;
    std::vector<std::pair<std::wstring, std::wstring>> submits;  // e-mail, password as given
    int freed = 0;
    bool hooksClearedBeforeFree = true;
};

class TFakeLoginBrowser : public app::TLoginBrowser {
public:
    explicit TFakeLoginBrowser(TBrowserLog& log) : log_(log) {}
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
        return document_;
    }
    void SubmitLogin(const std::wstring& email, const std::wstring& password) override {
        log_.submits.emplace_back(email, password);
        if (submitThrows) throw std::runtime_error("no login form");
    }
    // One page as the control reports it: before navigating, then complete.
    void Load(const std::string& bytes) {
        if (auto before = OnBeforeNavigate2) before();
        document_ = bytes;
        if (auto complete = OnDocumentComplete) complete();
    }

    bool navigateThrows = false, submitThrows = false;
    std::function<void()> onRead;  // runs when the window reads the page

private:
    TBrowserLog& log_;
    std::string document_;
};

}  // namespace logintest
