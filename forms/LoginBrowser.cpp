#include "forms/LoginBrowser.h"

#include <stdexcept>

#include "classlib/OleAuto.h"
#include "forms/WebBrowser2.h"

namespace app {

namespace {

using cls::TVariant;

// The login browser over the system's browser control.
class TControlLoginBrowser : public TLoginBrowser {
public:
    explicit TControlLoginBrowser(std::unique_ptr<TWebBrowser2> browser) : browser_(std::move(browser)) {
        // Copies of the hooks are called: the window may free us inside one.
        browser_->OnBeforeNavigate2 = [this](cls::TComponent*, const std::wstring&) {
            auto hook = OnBeforeNavigate2;
            if (hook) hook();
        };
        browser_->OnDocumentComplete = [this](cls::TComponent*, const std::wstring&) {
            auto hook = OnDocumentComplete;
            if (hook) hook();
        };
    }

    ~TControlLoginBrowser() override {
        browser_->OnBeforeNavigate2 = nullptr;
        browser_->OnDocumentComplete = nullptr;
    }

    void Navigate(const std::wstring& url) override { browser_->Navigate(url); }

    std::string GetDocumentHtml() override { return app::GetDocumentHtml(*browser_); }

    void SubmitLogin(const std::wstring& email, const std::wstring& password) override {
        cls::ComPtr<IDispatch> doc = browser_->Document();
        if (!doc) throw std::runtime_error("no page to log in on");
        // document.all.tags("input").item("email").value := email
        cls::SetProperty(Input(doc.get(), L"email").get(), L"value", TVariant(email));
        // document.all.tags("input").item("pass").value := password
        cls::SetProperty(Input(doc.get(), L"pass").get(), L"value", TVariant(password));
        // document.all.item("login").click()
        cls::ComPtr<IDispatch> login = cls::CallMethod(All(doc.get()).get(), L"item", {TVariant(L"login")}).AsDispatch();
        cls::CallMethod(login.get(), L"click");
    }

private:
    static cls::ComPtr<IDispatch> All(IDispatch* doc) { return cls::GetProperty(doc, L"all").AsDispatch(); }

    static cls::ComPtr<IDispatch> Input(IDispatch* doc, const wchar_t* name) {
        cls::ComPtr<IDispatch> inputs = cls::CallMethod(All(doc).get(), L"tags", {TVariant(L"input")}).AsDispatch();
        return cls::CallMethod(inputs.get(), L"item", {TVariant(name)}).AsDispatch();
    }

    std::unique_ptr<TWebBrowser2> browser_;
};

}  // namespace

std::unique_ptr<TLoginBrowser> CreateLoginBrowser(HWND parent, const std::wstring& userAgent) {
    auto browser = std::make_unique<TWebBrowser2>(nullptr);
    browser->SetUserAgent(userAgent);
    browser->SetParentWindow(parent);
    browser->SetBounds(0, 0, 1, 1);
    // Making the window activates the control in place.
    if (!browser->Handle()) throw std::runtime_error("no window for the browser control");
    browser->SetSilent(true);
    return std::make_unique<TControlLoginBrowser>(std::move(browser));
}

std::function<std::unique_ptr<TLoginBrowser>(HWND parent, const std::wstring& userAgent)> LoginBrowserFactory =
    CreateLoginBrowser;

}  // namespace app
