// The login window over the real main window, its browser scripted through
// the browser factory; username and picture come from the fake site.
#include <gtest/gtest.h>

#include "classlib/Button.h"
#include "classlib/Edit.h"
#include "classlib/Files.h"
#include "classlib/Image.h"
#include "classlib/JpegImage.h"
#include "classlib/Label.h"
#include "classlib/Menus.h"
#include "classlib/Strings.h"
#include "classlib/ToolBar.h"
#include "engine/FBapi.h"
#include "forms/LoginPage.h"
#include "forms/uFrmLogin.h"
#include "tests/forms/LoginTestSupport.h"
#include "tests/forms/MainWindowTestSupport.h"

using namespace app;
using logintest::PageBytes;

namespace {

const std::wstring kNotLogged = L"You are not logged. Please enter your email/phone and password and click Log In.";

class LoginWindow : public mainwin_test::MainWindowTest {
protected:
    LoginWindow() : factory_(LoginBrowserFactory) {
        LoginBrowserFactory = [this](HWND, const std::wstring& agent) -> std::unique_ptr<TLoginBrowser> {
            agent_ = agent;
            if (factoryThrows_) throw std::runtime_error("no control");
            auto b = std::make_unique<logintest::TFakeLoginBrowser>(log_);
            b->navigateThrows = navigateThrows_;
            browser_ = b.get();
            return b;
        };
        Open();
    }
    ~LoginWindow() override {
        login_.reset();
        LoginBrowserFactory = factory_;
        LoginAccount.clear();
    }
    TFrmLogin& OpenLogin(const wchar_t* page = L"LOGINPAGE_LOGIN") {
        login_ = std::make_unique<TFrmLogin>();
        login_->Show();
        if (page) browser_->Load(PageBytes(page));
        return *login_;
    }
    void Submit(const std::wstring& email, const std::wstring& password) {
        login_->EdtEmail->SetText(email);
        login_->EdtPassword->SetText(password);
        login_->BtnLog->Click();
    }
    int PageCopies() const {  // temporary page files left behind
        WIN32_FIND_DATAW fd;
        HANDLE h = FindFirstFileW((engine::CacheFolder + L"~*.tmp").c_str(), &fd);
        if (h != INVALID_HANDLE_VALUE) FindClose(h);
        return h != INVALID_HANDLE_VALUE;
    }

    std::function<std::unique_ptr<TLoginBrowser>(HWND, const std::wstring&)> factory_;
    logintest::TBrowserLog log_;
    logintest::TFakeLoginBrowser* browser_ = nullptr;
    std::wstring agent_;
    bool factoryThrows_ = false, navigateThrows_ = false;
    std::unique_ptr<TFrmLogin> login_;
};

#define REQUIRE_SITE() \
    if (!SiteRunning()) GTEST_SKIP() << "needs tests/fakesite/run-with-site.sh"

}  // namespace

TEST_F(LoginWindow, OpensBusyThenLoggedOutAndRefusesBlankFields) {
    EscribirArchivoConfig(L"UltimaCuenta", L"  jane@example.com ");
    TFrmLogin& w = OpenLogin(nullptr);
    EXPECT_EQ(agent_, L"Mozilla/5.0 (X11; Linux x86_64; rv:10.0) Gecko/20100101 Firefox/10.0 (Chrome)");
    EXPECT_EQ(log_.navigations, std::vector<std::wstring>{L"https://m.facebook.com/login.php?locale=en_US&next="
                                                          L"https://m.facebook.com/home.php"});
    EXPECT_FALSE(w.EdtEmail->Enabled() || w.EdtPassword->Enabled() || w.BtnLog->Enabled());

    browser_->Load(PageBytes(L"LOGINPAGE_LOGIN"));
    EXPECT_EQ(w.LblMsg->Caption(), kNotLogged);
    EXPECT_TRUE(w.BtnLog->Enabled() && w.EdtEmail->Enabled() && w.ChkRecordarCorreo->Checked());
    EXPECT_EQ(w.EdtEmail->Text(), L"jane@example.com");
    EXPECT_EQ(PageCopies(), 0);

    const wchar_t* const noEmail = L"Email or Phone field is empty. Please enter the required data.";
    const wchar_t* const noPassword = L"Password field is empty. Please enter the required data.";
    for (auto [email, password, message] : {std::tuple{L"", L"pw", noEmail}, std::tuple{L" \t", L"pw", noEmail},
                                            std::tuple{L"a@b.c", L"   ", noPassword}}) {
        Submit(email, password);
        EXPECT_EQ(w.LblMsg->Caption(), message);
    }
    EXPECT_TRUE(log_.submits.empty());

    // Unticked, the account is forgotten when the window closes.
    w.ChkRecordarCorreo->SetChecked(false);
    w.Close();
    EXPECT_EQ(Config(L"UltimaCuenta"), std::wstring());
    EXPECT_FALSE(OpenLogin().ChkRecordarCorreo->Checked());
    EXPECT_EQ(login_->EdtEmail->Text(), L"");
}

TEST_F(LoginWindow, LoginMadeHereClosesWithWelcomeAndKeepsNoPassword) {
    REQUIRE_SITE();
    TFrmLogin& w = OpenLogin();
    w.FMostrarMsgWelcome = true;
    w.ChkRecordarCorreo->SetChecked(true);
    Submit(L" jane@example.com ", L"s3cret pw");
    EXPECT_EQ(log_.submits, (decltype(log_.submits){{L" jane@example.com ", L"s3cret pw"}}));
    EXPECT_EQ(w.EdtPassword->Text(), L"");

    browser_->Load(PageBytes(L"LOGINPAGE_OWNER"));
    EXPECT_FALSE(w.Visible());
    EXPECT_TRUE(LoginJustCompleted);
    EXPECT_EQ(form_->MnuLogin->Caption(), L"Jane Doe...");
    EXPECT_EQ(form_->LblMensaje->Caption(), L"Welcome, Jane Doe. You have logged in Facebook successfully!");
    EXPECT_EQ(Config(L"UltimaCuenta"), std::wstring(L"jane@example.com"));
    std::string settings;
    cls::ReadFileBytes(ConfigFileName(), settings);
    EXPECT_EQ(settings.find("s3cret"), std::string::npos);
    EXPECT_EQ(PageCopies(), 0);
    // Closed inside the browser's own event: it goes with the window.
    EXPECT_EQ(log_.freed, 0);
    login_.reset();
    EXPECT_EQ(log_.freed, 1);
    EXPECT_TRUE(log_.hooksClearedBeforeFree);
}

TEST_F(LoginWindow, WrongPasswordRetryAndUnansweredLogins) {
    TFrmLogin& w = OpenLogin();
    for (int attempt = 0; attempt < 2; ++attempt) {
        Submit(L"jane@example.com", L"bad");
        browser_->Load(PageBytes(L"LOGINPAGE_WRONG"));
        EXPECT_EQ(w.LblMsg->Caption(), L"Your email/phone or password is incorrect.");
        EXPECT_EQ(w.EdtPassword->Text(), L"");
    }
    EXPECT_EQ(log_.submits.size(), 2u);
    // No answer, or no login form to fill: one more load of the login page,
    // then the locked-account message.
    for (bool formMissing : {false, true}) {
        browser_->submitThrows = formMissing;
        size_t before = log_.navigations.size();
        Submit(L"jane@example.com", L"pw");
        browser_->Load(PageBytes(formMissing ? L"LOGINPAGE_LOGIN" : L"LOGINPAGE_LOGOUTNOID"));
        EXPECT_EQ(log_.navigations.size(), before + (formMissing ? 2 : 1));
        EXPECT_EQ(log_.navigations.back(), LoginAddress());
        browser_->Load(PageBytes(L"LOGINPAGE_LOGIN"));
        EXPECT_EQ(w.LblMsg->Caption(), L"Your account is currently unavailable or maybe is temporarily locked.");
        EXPECT_EQ(w.EdtPassword->Text(), L"");
    }
}

TEST_F(LoginWindow, ExistingLoginShownWithItsPictureAndLoggedOut) {
    REQUIRE_SITE();
    // Only a 74 by 74 JPEG is kept; an odd size, a PNG, an empty or a
    // missing picture leaves the default one and no file.
    for (auto [id, kept] : {std::pair{L"100004000000061", false}, std::pair{L"100004000000062", false},
                            std::pair{L"100004000000043", false}, std::pair{L"100004000000099", false},
                            std::pair{L"100004000000001", true}}) {
        std::string page = PageBytes(L"LOGINPAGE_OWNER");
        page.replace(page.find("100004000000001"), 15, cls::WideToUtf8(id));
        OpenLogin(nullptr);
        browser_->Load(page);
        EXPECT_EQ(cls::FileExists(UserPictureFile(id)), kept) << cls::WideToUtf8(id);
        EXPECT_EQ(dynamic_cast<cls::TJPEGImage*>(login_->ImgUser->Graphic()) != nullptr, kept);
    }
    TFrmLogin& w = *login_;
    EXPECT_EQ(w.BtnLog->Caption(), L"Log Out");
    EXPECT_TRUE(w.EdtEmail->ReadOnly() && w.EdtPassword->ReadOnly());
    EXPECT_EQ(w.EdtPassword->Text(), L"https://www.facebook.com/jane.doe.42");
    EXPECT_EQ(w.ImgUser->Hint(), SessionDetailsText(L"Jane Doe", L"jane.doe.42", L"100004000000001"));

    w.BtnLog->Click();
    EXPECT_EQ(log_.navigations.back(), L"https://m.facebook.com/logout.php?h=AfdQ2f&t=1448000000&ref_component=mbasic_footer");
    browser_->Load(PageBytes(L"LOGINPAGE_LOGIN"));
    EXPECT_EQ(LoggedInUserId, L"");
    EXPECT_EQ(form_->MnuLogin->Caption(), L"Facebook Account...");
}

TEST_F(LoginWindow, FetchUsernameFoundMissingOrUnreachable) {
    REQUIRE_SITE();
    const std::wstring host = engine::WebHost;
    for (auto [site, expected] : {std::pair{L"www.facebook.com", L"jane.doe.42"}, std::pair{L"facebook.com", L"-"},
                                  std::pair{L"nowhere.invalid", L"-"}}) {
        engine::WebHost = site;
        std::wstring name = L"-";
        FetchUsername(name);
        EXPECT_EQ(name, expected) << cls::WideToUtf8(site);
    }
    engine::WebHost = host;
    EXPECT_EQ(PageCopies(), 0);
}

TEST_F(LoginWindow, LoadFailuresOfferRefresh) {
    // No control, a control that cannot navigate, an empty document, the
    // browser's error page.
    for (auto [noControl, noNavigation, page] : {std::tuple{true, false, L""}, std::tuple{false, true, L""},
                                                 std::tuple{false, false, L"-"},
                                                 std::tuple{false, false, L"LOGINPAGE_ERROR"}}) {
        factoryThrows_ = noControl;
        navigateThrows_ = noNavigation;
        TFrmLogin& w = OpenLogin(nullptr);
        if (*page) browser_->Load(*page == L'-' ? std::string() : PageBytes(page));
        EXPECT_EQ(w.LblMsg->Caption(), L"Unable to load Facebook Login API. Please check your internet connection.");
        EXPECT_EQ(w.BtnLog->Caption(), L"Refresh");
        EXPECT_TRUE(w.BtnLog->Enabled() && w.BtnClose->Enabled() && !w.EdtEmail->Enabled());
        if (!*page) continue;
        w.BtnLog->Click();
        browser_->Load(PageBytes(L"LOGINPAGE_LOGIN"));
        EXPECT_EQ(w.LblMsg->Caption(), kNotLogged);
    }
}

TEST_F(LoginWindow, ClosingWhileItWaitsStopsItsWork) {
    REQUIRE_SITE();
    // Esc while the busy handler lets messages through, or a close while
    // the username is fetched: the modal window goes, its browser's events
    // are cut off before the browser is freed, and no later step runs.
    for (bool duringFetch : {false, true}) {
        SCOPED_TRACE(duringFetch ? "username fetch" : "busy handler");
        log_ = {};
        mainwin_test::QueuedCall load, close;
        load.Post([&] {
            if (duringFetch) browser_->onRead = [&] { close.Post([] { FrmLogin->Close(); }); };
            else formstest::PostKey(FrmLogin->Handle(), VK_ESCAPE);
            browser_->Load(PageBytes(L"LOGINPAGE_OWNER"));
        });
        OpenLoginWindow(form_.get(), true);
        EXPECT_EQ(FrmLogin, nullptr);
        EXPECT_EQ(log_.freed, 1);
        EXPECT_TRUE(log_.hooksClearedBeforeFree);
        EXPECT_EQ(close.Ran(), duringFetch);
        EXPECT_EQ(LoggedInUserId, duringFetch ? L"100004000000001" : L"");
        EXPECT_FALSE(cls::FileExists(UserPictureFile(L"100004000000001")));
        EXPECT_FALSE(LoginJustCompleted);
    }
}
