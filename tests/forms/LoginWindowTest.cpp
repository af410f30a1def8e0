// The login window over the real main window, its hidden browser scripted
// through the browser factory; the username and picture fetches reach the
// fake site (forms_tests runs inside its wrapper).
#include <gtest/gtest.h>

#include <memory>
#include <string>

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
const std::wstring kLoadFailed = L"Unable to load Facebook Login API. Please check your internet connection.";

#define REQUIRE_SITE() \
    if (!SiteRunning()) GTEST_SKIP() << "needs tests/fakesite/run-with-site.sh"

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
        LoginAccount.clear();
        Open();
    }
    ~LoginWindow() override {
        login_.reset();
        LoginBrowserFactory = factory_;
        LoginAccount.clear();
        LoggedInUsername.clear();
        LoggedInDisplayName.clear();
    }
    TFrmLogin& OpenLogin(const wchar_t* page = L"LOGINPAGE_LOGIN") {
        login_ = std::make_unique<TFrmLogin>();
        login_->Show();
        formstest::Pump(20);
        if (page) browser_->Load(PageBytes(page));
        return *login_;
    }
    void Submit(const std::wstring& email, const std::wstring& password) {
        login_->EdtEmail->SetText(email);
        login_->EdtPassword->SetText(password);
        login_->BtnLog->Click();
    }
    // Temporary page copies left in the cache folder.
    int PageCopies() const {
        int n = 0;
        WIN32_FIND_DATAW fd;
        HANDLE h = FindFirstFileW((engine::CacheFolder + L"~*.tmp").c_str(), &fd);
        if (h == INVALID_HANDLE_VALUE) return 0;
        do ++n;
        while (FindNextFileW(h, &fd));
        FindClose(h);
        return n;
    }

    std::function<std::unique_ptr<TLoginBrowser>(HWND, const std::wstring&)> factory_;
    logintest::TBrowserLog log_;
    logintest::TFakeLoginBrowser* browser_ = nullptr;
    std::wstring agent_;
    bool factoryThrows_ = false, navigateThrows_ = false;
    std::unique_ptr<TFrmLogin> login_;
};

}  // namespace

TEST_F(LoginWindow, OpensBusyThenLoggedOutWithNobodyLoggedIn) {
    TFrmLogin& w = OpenLogin(nullptr);
    EXPECT_EQ(w.Caption(), L"Facebook Account");
    EXPECT_EQ(w.Left(), form_->Left() + form_->Width() - w.Width() - 34);
    EXPECT_EQ(w.Top(), form_->Top() + form_->Height() - w.Height() - 13);
    EXPECT_EQ(agent_, L"Mozilla/5.0 (X11; Linux x86_64; rv:10.0) Gecko/20100101 Firefox/10.0 (Chrome)");
    EXPECT_EQ(log_.navigations,
              std::vector<std::wstring>{L"https://m.facebook.com/login.php?locale=en_US&next=https://m.facebook.com/home.php"});
    EXPECT_EQ(w.EdtEmail->Text(), L"Checking session...");
    EXPECT_FALSE(w.EdtEmail->Enabled() || w.EdtPassword->Enabled() || w.BtnLog->Enabled());

    browser_->Load(PageBytes(L"LOGINPAGE_LOGIN"));
    EXPECT_EQ(w.LblMsg->Caption(), kNotLogged);
    EXPECT_TRUE(w.BtnLog->Enabled() && w.BtnClose->Enabled() && w.EdtEmail->Enabled() && w.EdtPassword->Enabled());
    EXPECT_EQ(w.BtnLog->Caption(), L"Log In");
    EXPECT_EQ(w.EdtPassword->PasswordChar(), L'*');
    EXPECT_FALSE(w.ImgProcesando->Visible());
    EXPECT_EQ(form_->MnuLogin->Caption(), L"Facebook Account...");
    EXPECT_EQ(form_->BtnUsuario->Hint(), L"You are not logged. Click here to log in with your Facebook account...");
    EXPECT_EQ(PageCopies(), 0);
}

TEST_F(LoginWindow, BlankFieldsAreRefusedAndNothingIsSent) {
    TFrmLogin& w = OpenLogin();
    const struct {
        const wchar_t *email, *password, *message;
    } cases[] = {
        {L"", L"pw", L"Email or Phone field is empty. Please enter the required data."},
        {L" \t ", L"pw", L"Email or Phone field is empty. Please enter the required data."},
        {L"jane@example.com", L"   ", L"Password field is empty. Please enter the required data."},
    };
    for (const auto& c : cases) {
        Submit(c.email, c.password);
        EXPECT_EQ(w.LblMsg->Caption(), c.message);
    }
    EXPECT_TRUE(log_.submits.empty());
}

TEST_F(LoginWindow, LoginMadeHereClosesWithWelcomeAndKeepsNoPassword) {
    REQUIRE_SITE();
    TFrmLogin& w = OpenLogin();
    w.FMostrarMsgWelcome = true;
    w.ChkRecordarCorreo->SetChecked(true);
    Submit(L" jane@example.com ", L"s3cret pw");
    ASSERT_EQ(log_.submits.size(), 1u);
    EXPECT_EQ(log_.submits[0], std::make_pair(std::wstring(L" jane@example.com "), std::wstring(L"s3cret pw")));
    EXPECT_EQ(LoginAccount, L"jane@example.com");
    EXPECT_EQ(w.EdtPassword->Text(), L"");

    browser_->Load(PageBytes(L"LOGINPAGE_OWNER"));
    EXPECT_FALSE(w.Visible());
    EXPECT_TRUE(LoginJustCompleted);
    EXPECT_EQ(LoggedInUserId, L"100004000000001");
    EXPECT_EQ(LoggedInUsername, L"jane.doe.42");
    EXPECT_EQ(form_->MnuLogin->Caption(), L"Jane Doe...");
    EXPECT_EQ(form_->LblMensaje->Caption(), L"Welcome, Jane Doe. You have logged in Facebook successfully!");
    EXPECT_EQ(form_->MessageKind(), MsgInformation);
    EXPECT_EQ(Config(L"UltimaCuenta"), std::wstring(L"jane@example.com"));
    EXPECT_EQ(LoginAccount, L"");
    // Closed inside the browser's own event: freed with the window.
    EXPECT_EQ(log_.freed, 0);
    login_.reset();
    EXPECT_EQ(log_.freed, 1);
    EXPECT_TRUE(log_.hooksClearedBeforeFree);
    std::string settings;
    cls::ReadFileBytes(ConfigFileName(), settings);
    EXPECT_EQ(settings.find("s3cret"), std::string::npos);
    EXPECT_EQ(PageCopies(), 0);
}

TEST_F(LoginWindow, AnswersToASubmittedLogin) {
    // Wrong password: told at once, and the next try is handled in full.
    TFrmLogin& w = OpenLogin();
    for (int attempt = 1; attempt <= 2; ++attempt) {
        Submit(L"jane@example.com", L"bad");
        browser_->Load(PageBytes(L"LOGINPAGE_WRONG"));
        EXPECT_EQ(w.LblMsg->Caption(), L"Your email/phone or password is incorrect.");
        EXPECT_EQ(w.EdtPassword->Text(), L"");
        EXPECT_EQ(w.EdtEmail->Text(), L"jane@example.com");
    }
    EXPECT_EQ(log_.submits.size(), 2u);

    // No answer: the login page is loaded once more and shows a locked
    // account; so does a page without the form's elements.
    for (bool formMissing : {false, true}) {
        browser_->submitThrows = formMissing;
        size_t navigations = log_.navigations.size();
        Submit(L"jane@example.com", L"pw");
        if (formMissing) browser_->Load(PageBytes(L"LOGINPAGE_LOGIN"));
        else browser_->Load(PageBytes(L"LOGINPAGE_LOGOUTNOID"));
        EXPECT_EQ(log_.navigations.size(), navigations + (formMissing ? 2 : 1));
        EXPECT_EQ(log_.navigations.back(), LoginAddress());
        EXPECT_EQ(w.EdtPassword->Text(), L"");
        browser_->Load(PageBytes(L"LOGINPAGE_LOGIN"));
        EXPECT_EQ(w.LblMsg->Caption(), L"Your account is currently unavailable or maybe is temporarily locked.");
        EXPECT_EQ(w.BtnLog->Caption(), L"Log In");
        EXPECT_EQ(LoggedInUserId, L"");
    }
}

TEST_F(LoginWindow, ExistingLoginIsShownCopiedAndLoggedOut) {
    REQUIRE_SITE();
    TFrmLogin& w = OpenLogin(L"LOGINPAGE_OWNER");
    EXPECT_TRUE(w.Visible());
    EXPECT_EQ(w.BtnLog->Caption(), L"Log Out");
    EXPECT_EQ(w.BtnClose->Caption(), L"OK");
    EXPECT_EQ(w.EdtEmail->Text(), L"Jane Doe");
    EXPECT_TRUE(w.EdtEmail->ReadOnly() && w.EdtPassword->ReadOnly());
    EXPECT_EQ(w.EdtPassword->PasswordChar(), 0);
    EXPECT_EQ(w.EdtPassword->Text(), L"https://www.facebook.com/jane.doe.42");
    EXPECT_EQ(w.ImgUser->Hint(), SessionDetailsText(L"Jane Doe", L"jane.doe.42", L"100004000000001"));
    EXPECT_EQ(w.LblMsg->Caption(), L"You are currently logged in Facebook.");
    EXPECT_FALSE(LoginJustCompleted);
    w.CopyUserDetailstoClipboard1Click(nullptr);
    EXPECT_EQ(logintest::ClipboardText(), w.ImgUser->Hint());

    w.BtnLog->Click();
    EXPECT_EQ(log_.navigations.back(), L"https://m.facebook.com/logout.php?h=AfdQ2f&t=1448000000&ref_component=mbasic_footer");
    browser_->Load(PageBytes(L"LOGINPAGE_LOGIN"));
    EXPECT_EQ(w.BtnLog->Caption(), L"Log In");
    EXPECT_EQ(LoggedInUserId, L"");
    EXPECT_EQ(form_->MnuLogin->Caption(), L"Facebook Account...");
}

TEST_F(LoginWindow, UserPictureOnlyWhenA74By74Jpeg) {
    REQUIRE_SITE();
    const struct {
        const wchar_t* id;
        bool kept;
    } cases[] = {{L"100004000000001", true}, {L"100004000000044", false}, {L"100004000000045", false},
                 {L"100004000000043", false}, {L"100004000000099", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(cls::WideToUtf8(c.id));
        std::string page = PageBytes(L"LOGINPAGE_OWNER");
        page.replace(page.find("100004000000001"), 15, cls::WideToUtf8(c.id));
        TFrmLogin& w = OpenLogin(nullptr);
        browser_->Load(page);
        EXPECT_EQ(cls::FileExists(UserPictureFile(c.id)), c.kept);
        EXPECT_EQ(IsValidUserPicture(UserPictureFile(c.id)), c.kept);
        EXPECT_EQ(dynamic_cast<cls::TJPEGImage*>(w.ImgUser->Graphic()) != nullptr, c.kept);
        EXPECT_FALSE(w.LblLoadingPicture->Visible());
    }
}

TEST_F(LoginWindow, FetchUsernameFromTheSite) {
    REQUIRE_SITE();
    const std::wstring host = engine::WebHost;
    const struct {
        const wchar_t *host, *name;
    } cases[] = {{L"www.facebook.com", L"jane.doe.42"}, {L"facebook.com", L"kept"}, {L"nowhere.invalid", L"kept"}};
    for (const auto& c : cases) {
        engine::WebHost = c.host;
        std::wstring name = L"kept";
        FetchUsername(name);
        EXPECT_EQ(name, c.name) << cls::WideToUtf8(c.host);
    }
    engine::WebHost = host;
    EXPECT_EQ(PageCopies(), 0);
}

TEST_F(LoginWindow, LoadFailureStatesAndRefresh) {
    const struct {
        bool factoryThrows, navigateThrows;
        const char* page;
    } cases[] = {{true, false, nullptr}, {false, true, nullptr}, {false, false, ""}, {false, false, "error"}};
    for (const auto& c : cases) {
        factoryThrows_ = c.factoryThrows;
        navigateThrows_ = c.navigateThrows;
        TFrmLogin& w = OpenLogin(nullptr);
        if (c.page) browser_->Load(*c.page ? PageBytes(L"LOGINPAGE_ERROR") : std::string());
        EXPECT_EQ(w.LblMsg->Caption(), kLoadFailed);
        EXPECT_EQ(w.BtnLog->Caption(), L"Refresh");
        EXPECT_TRUE(w.BtnLog->Enabled() && w.BtnClose->Enabled());
        EXPECT_FALSE(w.EdtEmail->Enabled() || w.ImgProcesando->Visible());
        EXPECT_EQ(w.EdtEmail->Text(), L"");
        if (!c.page) continue;
        w.BtnLog->Click();
        EXPECT_EQ(log_.navigations.back(), LoginAddress());
        browser_->Load(PageBytes(L"LOGINPAGE_LOGIN"));
        EXPECT_EQ(w.LblMsg->Caption(), kNotLogged);
    }
}

TEST_F(LoginWindow, RememberedAccountIsKeptOrCleared) {
    EscribirArchivoConfig(L"UltimaCuenta", L"  jane@example.com ");
    TFrmLogin* w = &OpenLogin();
    EXPECT_TRUE(w->ChkRecordarCorreo->Checked());
    EXPECT_EQ(w->EdtEmail->Text(), L"jane@example.com");
    w->ChkRecordarCorreo->SetChecked(false);
    w->Close();
    EXPECT_EQ(Config(L"UltimaCuenta"), std::wstring());

    w = &OpenLogin();
    EXPECT_FALSE(w->ChkRecordarCorreo->Checked());
    EXPECT_EQ(w->EdtEmail->Text(), L"");
    w->ChkRecordarCorreo->SetChecked(true);
    Submit(L" joe@example.com", L"pw");
    w->Close();
    EXPECT_EQ(Config(L"UltimaCuenta"), std::wstring(L"joe@example.com"));
}

TEST_F(LoginWindow, ClosingWhileItWaitsStopsItsWork) {
    REQUIRE_SITE();
    // Esc while the busy handler lets messages through, and a close while
    // the username is fetched: the modal window goes, its browser's events
    // are cut off before the browser is freed, and no later step runs.
    for (bool duringFetch : {false, true}) {
        SCOPED_TRACE(duringFetch ? "username fetch" : "busy handler");
        log_ = {};
        mainwin_test::QueuedCall load, close;
        load.Post([&] {
            auto post = [&] { close.Post([] { FrmLogin->Close(); }); };
            if (duringFetch) browser_->onRead = post;
            else formstest::PostKey(FrmLogin->Handle(), VK_ESCAPE);
            browser_->Load(PageBytes(L"LOGINPAGE_OWNER"));
        });
        OpenLoginWindow(form_.get(), true);
        EXPECT_EQ(FrmLogin, nullptr);
        EXPECT_EQ(log_.created, 1);
        EXPECT_EQ(log_.freed, 1);
        EXPECT_TRUE(log_.hooksClearedBeforeFree);
        EXPECT_EQ(close.Ran(), duringFetch);
        EXPECT_EQ(LoggedInUserId, duringFetch ? L"100004000000001" : L"");
        EXPECT_FALSE(cls::FileExists(UserPictureFile(L"100004000000001")));
        EXPECT_FALSE(LoginJustCompleted);
        EXPECT_EQ(PageCopies(), 0);
    }
}
