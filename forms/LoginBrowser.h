// What the login window needs of its hidden browser. The program puts the
// real browser control behind it; tests put a scripted page source there.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

namespace app {

class TLoginBrowser {
public:
    virtual ~TLoginBrowser() = default;

    // Fired on the GUI thread before every navigation (frames and redirections
    // too) and after every completed document. Cleared before the browser is
    // freed, so nothing reaches a closed window.
    std::function<void()> OnBeforeNavigate2;
    std::function<void()> OnDocumentComplete;

    virtual void Navigate(const std::wstring& url) = 0;
    // The current document saved as bytes, as the document itself stores
    // them; empty when there is no document.
    virtual std::string GetDocumentHtml() = 0;
    // Puts the two texts into the page's "email" and "pass" inputs and clicks
    // its "login" element. Throws when the page lacks any of them.
    virtual void SubmitLogin(const std::wstring& email, const std::wstring& password) = 0;
};

// Creates the real browser control as a child of `parent` (1 by 1 pixel),
// with the user agent given, its Silent property set, and its events wired
// to the returned object's hooks. Throws when the control cannot be created
// or activated.
std::unique_ptr<TLoginBrowser> CreateLoginBrowser(HWND parent, const std::wstring& userAgent);

// The factory the login window calls; the program leaves it at
// CreateLoginBrowser, tests replace it with a scripted browser.
extern std::function<std::unique_ptr<TLoginBrowser>(HWND parent, const std::wstring& userAgent)>
    LoginBrowserFactory;

}  // namespace app
