#include "forms/uFrmLogin.h"

#include <windows.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "classlib/Application.h"
#include "classlib/Button.h"
#include "classlib/Edit.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Files.h"
#include "classlib/Image.h"
#include "classlib/JpegImage.h"
#include "classlib/Label.h"
#include "classlib/Menus.h"
#include "classlib/Picture.h"
#include "classlib/StringList.h"
#include "classlib/Strings.h"
#include "classlib/ToolBar.h"
#include "engine/Constants.h"
#include "engine/FBapi.h"
#include "engine/HTTPGet.h"
#include "engine/PageFetch.h"
#include "engine/ProfileSearch.h"
#include "forms/LoginPage.h"
#include "forms/LoginState.h"
#include "forms/Settings.h"
#include "forms/uFrmKorvelink.h"

namespace app {

using namespace cls;

TFrmLogin* FrmLogin = nullptr;
const wchar_t* const LoginUserAgent = engine::DefaultAgent;

namespace {

const wchar_t* const BusyPicture = L"KV_MSG_WORK";
const wchar_t* const DefaultUserPicture = L"KV_USER_DEFAULT";

const wchar_t* const LoadingText = L"Loading Facebook Login API, please wait...";
const wchar_t* const LoadFailedText = L"Unable to load Facebook Login API. Please check your internet connection.";
const wchar_t* const NotLoggedText =
    L"You are not logged. Please enter your email/phone and password and click Log In.";
const wchar_t* const EditedText = L"You are not logged. Enter your email/phone and password and click Log In.";
const wchar_t* const WrongCredentialsText = L"Your email/phone or password is incorrect.";
const wchar_t* const LockedText = L"Your account is currently unavailable or maybe is temporarily locked.";
const wchar_t* const LoggedInText = L"You are currently logged in Facebook.";
const wchar_t* const EmptyEmailText = L"Email or Phone field is empty. Please enter the required data.";
const wchar_t* const EmptyPasswordText = L"Password field is empty. Please enter the required data.";
const wchar_t* const LoggedOutHint = L"You are not logged. Click here to log in with your Facebook account...";

constexpr int UserPictureSize = 74;
constexpr int NameAttempts = 100;

void LoadResourcePicture(TImage* image, const wchar_t* name) {
    try {
        TPicture picture;
        picture.LoadFromResource(GetModuleHandleW(nullptr), name);
        image->AssignPicture(picture);
    } catch (...) {
        // Without the resource the picture stays blank.
    }
}

void PutTextOnClipboard(const std::wstring& text) {
    if (!OpenClipboard(nullptr)) return;
    EmptyClipboard();
    size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        if (void* p = GlobalLock(g)) {
            memcpy(p, text.c_str(), bytes);
            GlobalUnlock(g);
            if (!SetClipboardData(CF_UNICODETEXT, g)) GlobalFree(g);
        } else {
            GlobalFree(g);
        }
    }
    CloseClipboard();
}

// A browser whose event was still running when its window let it go; freed
// once the window has been shown out (nothing of it is on the stack then).
struct TRetiredBrowser {
    std::unique_ptr<TLoginBrowser> browser;
    std::unique_ptr<TPanel> host;
};
std::vector<TRetiredBrowser> RetiredBrowsers;

void FreeRetiredBrowsers() {
    std::vector<TRetiredBrowser> gone = std::move(RetiredBrowsers);
    RetiredBrowsers.clear();
    for (TRetiredBrowser& r : gone) {
        r.browser.reset();
        r.host.reset();
    }
}

}  // namespace

// --- plain routines -----------------------------------------------------------

std::wstring LoginAddress() {
    return L"https://" + engine::MobileHost + L"/login.php?locale=en_US&next=https://" + engine::MobileHost +
           L"/home.php";
}

std::wstring UserPictureFile(const std::wstring& userId) { return engine::CacheFolder + userId + L".jpg"; }

bool IsValidUserPicture(const std::wstring& fileName) {
    try {
        if (!FileExists(fileName)) return false;
        TJPEGImage picture;
        picture.LoadFromFile(fileName);
        return picture.Width() == UserPictureSize && picture.Height() == UserPictureSize;
    } catch (...) {
        return false;
    }
}

void UpdateAccountMenuCaption() {
    if (!FrmKorvelink) return;
    FrmKorvelink->MnuLogin->SetCaption(LoggedInDisplayName + L"...");
    FrmKorvelink->BtnUsuario->SetHint(LoggedInDisplayName + L"...");
}

void FetchUsername(std::wstring& username) {
    std::wstring found;
    engine::FetchPageLines(UsernamePageAddress(), [&](const std::wstring& line) {
        found = UsernameFromLine(line);
        return found.empty();
    });
    if (!found.empty()) username = found;
}

void TFrmLogin::DesactivarMenusFacebook() {
    if (!FrmKorvelink) return;
    FrmKorvelink->MnuLogin->SetCaption(L"Facebook Account...");
    FrmKorvelink->BtnUsuario->SetHint(L"Click here to log into Facebook...");
}

// --- the window -----------------------------------------------------------------

TFrmLogin::TFrmLogin(TComponent* owner) : TForm(owner) {
    CreateControls();
    DoCreate();
}

TFrmLogin::~TFrmLogin() {
    ReleaseBrowser();
    if (browserEvents_ == 0) FreeRetiredBrowsers();
    if (FrmLogin == this) FrmLogin = nullptr;
}

void TFrmLogin::CreateControls() {
    CreateHandle({
        .WindowClass = WindowClass,
        .ClientWidth = DesignClientWidth,
        .ClientHeight = DesignClientHeight,
        .BorderStyle = bsDialog,
        .BorderIcons = biSystemMenu,
        .Position = poDesigned,
        .KeyPreview = true,
        .Font = TFontSpec{.Color = clBlack},
    });
    OnCreate = Method(this, &TFrmLogin::FormCreate);
    OnClose = Method(this, &TFrmLogin::FormClose);
    OnKeyDown = Method(this, &TFrmLogin::FormKeyDown);

    PopupMenu1 = new TPopupMenu(this);
    PopupMenu1->Name = L"PopupMenu1";
    CopyAccountDetailstoClipboard1 = new TMenuItem(PopupMenu1);
    CopyAccountDetailstoClipboard1->SetProps(
        {.Name = L"CopyAccountDetailstoClipboard1", .Caption = L"Copy Session Details to Clipboard"});
    CopyAccountDetailstoClipboard1->OnClick = Method(this, &TFrmLogin::CopyUserDetailstoClipboard1Click);
    PopupMenu1->Items()->Add(CopyAccountDetailstoClipboard1);

    Panel1 = New<TPanel>(this, {.Name = L"Panel1", .Height = 89, .Align = alTop, .TabOrder = 0},
                         {.BevelOuter = bvNone});
    LblMsg = New<TLabel>(Panel1, {.Name = L"LblMsg", .Left = 89, .Top = 63}, {.ShowAccelChar = false});
    ImgProcesando = New<TImage>(
        Panel1, {.Name = L"ImgProcesando", .Left = 441, .Top = 65, .Width = 16, .Height = 11, .Visible = false},
        {.Transparent = true});
    LoadResourcePicture(ImgProcesando, BusyPicture);
    ImgUser = New<TImage>(Panel1, {.Name = L"ImgUser", .Left = 7, .Top = 7, .Width = UserPictureSize,
                                   .Height = UserPictureSize, .ShowHint = true});
    ImgUser->OnMouseDown = Method(this, &TFrmLogin::ImgUserMouseDown);
    ImgUser->OnMouseMove = Method(this, &TFrmLogin::ImgUserMouseMove);
    ImgUser->OnMouseLeave = Method(this, &TFrmLogin::ImgUserMouseLeave);
    ImgUserDef = New<TImage>(Panel1, {.Name = L"ImgUserDef", .Left = 220, .Top = 60, .Width = UserPictureSize,
                                      .Height = UserPictureSize, .Visible = false},
                             {.Stretch = true});
    LoadResourcePicture(ImgUserDef, DefaultUserPicture);
    LblLoadingPicture = New<TLabel>(
        Panel1, {.Name = L"LblLoadingPicture", .Left = 7, .Top = 31, .Width = 75, .Height = 40},
        {.AutoSize = false, .WordWrap = true, .Alignment = taCenter, .ShowAccelChar = false});
    EdtEmail = New<TEdit>(Panel1, {.Name = L"EdtEmail", .Left = 89, .Top = 7, .Width = 368, .TabOrder = 0},
                          {.TextHint = L"Type here your email or phone"});
    EdtPassword = New<TEdit>(Panel1, {.Name = L"EdtPassword", .Left = 89, .Top = 33, .Width = 368, .TabOrder = 1},
                             {.TextHint = L"Type here your password", .PasswordChar = L'*'});
    for (TEdit* box : {EdtEmail, EdtPassword}) {
        box->OnChange = Method(this, &TFrmLogin::EdtEmailChange);
        box->OnEnter = Method(this, &TFrmLogin::EdtEmailEnter);
        box->OnMouseMove = Method(this, &TFrmLogin::EdtEmailMouseMove);
        box->OnMouseLeave = Method(this, &TFrmLogin::EdtEmailMouseLeave);
    }

    Bevel1 = New<TBevel>(this, {.Name = L"Bevel1", .Top = 89, .Height = 2, .Align = alTop}, {.Shape = bsTopLine});
    BtnClose = New<TButton>(
        this, {.Name = L"BtnClose", .Left = 382, .Top = 97, .Width = 75, .Height = 25, .TabOrder = 3},
        {.Caption = L"Close", .ModalResult = mrClose});
    BtnLog = New<TButton>(this,
                          {.Name = L"BtnLog", .Left = 301, .Top = 97, .Width = 75, .Height = 25, .TabOrder = 2},
                          {.Caption = L"Log In", .Default = true});
    BtnLog->OnClick = Method(this, &TFrmLogin::BtnLogClick);
    ChkRecordarCorreo = New<TCheckBox>(
        this, {.Name = L"ChkRecordarCorreo", .Left = 8, .Top = 101, .Width = 150, .Height = 17, .TabOrder = 1},
        {.Caption = L"Remember email/phone"});
}

void TFrmLogin::FormCreate(TComponent*) {
    FreeRetiredBrowsers();
    if (FrmKorvelink) {
        // At the main window's lower right.
        SetBounds(FrmKorvelink->Left() + FrmKorvelink->Width() - Width() - 34,
                  FrmKorvelink->Top() + FrmKorvelink->Height() - Height() - 13, Width(), Height());
    }
    SetCaption(L"Facebook Account");
    LblLoadingPicture->SetCaption(L"Loading\nPicture...");
    EdtEmail->SetText(L"Checking session...");

    ShowDefaultPicture();
    if (!LoggedInUserId.empty()) {
        const std::wstring file = UserPictureFile(LoggedInUserId);
        bool shown = false;
        if (IsValidUserPicture(file)) {
            try {
                ImgUser->LoadFromFile(file);
                shown = true;
            } catch (...) {
                // An unreadable picture goes; the default one stays.
            }
        }
        if (!shown) RemoveFile(file);
    }

    LblLoadingPicture->Hide();
    EdtEmail->SetEnabled(false);
    EdtPassword->SetPasswordChar(0);
    EdtPassword->SetEnabled(false);
    ChkRecordarCorreo->SetEnabled(false);
    BtnLog->SetEnabled(false);
    LoginSubmitted = false;

    std::wstring remembered = Trim(LeerArchivoConfig(L"UltimaCuenta"));
    if (!remembered.empty()) LoginAccount = remembered;
    if (!LoginAccount.empty()) ChkRecordarCorreo->SetChecked(true);

    LblMsg->SetCaption(LoadingText);

    CreateBrowser();

    PageHandled = false;
    LoginRecheck = false;
    LoginPageFailed = false;
    LoginJustCompleted = false;

    Navigate(LoginAddress());
}

void TFrmLogin::CreateBrowser() {
    if (browser_) return;
    TWinControl* parent = FrmKorvelink ? static_cast<TWinControl*>(FrmKorvelink) : this;
    std::unique_ptr<TPanel> host(
        NewOwned<TPanel>(parent, parent, {.Width = 1, .Height = 1, .Visible = false},
                         {.BevelOuter = bvNone}));
    try {
        browser_ = LoginBrowserFactory(host->Handle(), LoginUserAgent);
    } catch (...) {
        // The window then shows that the login page cannot be loaded.
        browser_.reset();
    }
    if (!browser_) return;
    browserHost_ = host.release();
    // Each event runs guarded: the window counts it so that closing inside
    // one never frees the browser under it, and an exception goes to the
    // application's handler, never into the control's code.
    auto guarded = [this](void (TFrmLogin::*handler)()) {
        return [this, handler] {
            auto alive = alive_;
            ++browserEvents_;
            GuardedDispatch([&]() -> LRESULT {
                (this->*handler)();
                return 0;
            });
            if (*alive) --browserEvents_;
        };
    };
    browser_->OnBeforeNavigate2 = guarded(&TFrmLogin::BrowserBeforeNavigate2);
    browser_->OnDocumentComplete = guarded(&TFrmLogin::BrowserDocumentComplete);
}

void TFrmLogin::ReleaseBrowser() {
    if (!browser_) return;
    browser_->OnBeforeNavigate2 = nullptr;
    browser_->OnDocumentComplete = nullptr;
    std::unique_ptr<TPanel> host(browserHost_);
    browserHost_ = nullptr;
    if (browserEvents_ > 0) {
        RetiredBrowsers.push_back({std::move(browser_), std::move(host)});
        return;
    }
    // The control goes before the window it lives in.
    browser_.reset();
    host.reset();
}

void TFrmLogin::Navigate(const std::wstring& url) {
    if (Closing()) return;
    CreateBrowser();
    if (!browser_) {
        ShowLoadFailed();
        return;
    }
    try {
        browser_->Navigate(url);
    } catch (...) {
        ReleaseBrowser();
        ShowLoadFailed();
    }
}

bool TFrmLogin::Closing() const { return closed_ || ModalResult() != mrNone; }

void TFrmLogin::FormClose(TComponent*, TCloseAction&) {
    closed_ = true;
    ReleaseBrowser();
    EscribirArchivoConfig(L"UltimaCuenta", ChkRecordarCorreo->Checked() ? LoginAccount : std::wstring());
    LoginAccount.clear();
}

void TFrmLogin::FormKeyDown(TComponent*, WORD& key, TShiftState) {
    if (key == VK_ESCAPE) Close();
}

// --- window states ------------------------------------------------------------------

void TFrmLogin::ShowBusy(bool busy) {
    ImgProcesando->SetVisible(busy);
    ImgProcesando->SetAnimate(busy);
}

void TFrmLogin::ShowDefaultPicture() { ImgUser->AssignPicture(ImgUserDef->Picture()); }

void TFrmLogin::ShowLoadFailed() {
    ShowDefaultPicture();
    BtnLog->SetEnabled(true);
    SetLogAction(TLogAction::Refresh);
    BtnClose->SetEnabled(true);
    ShowBusy(false);
    EdtEmail->Clear();
    LblMsg->SetCaption(LoadFailedText);
    if (BtnLog->CanFocus())
        BtnLog->SetFocus();
    else
        SetActiveControl(BtnLog);
}

void TFrmLogin::ShowLoggedOut(const std::wstring& message) {
    DesactivarMenusFacebook();
    ShowDefaultPicture();
    BtnLog->SetEnabled(true);
    BtnClose->SetCaption(L"Close");
    BtnClose->SetEnabled(true);
    ShowBusy(false);
    LogoutUrl.clear();
    LoggedInDisplayName.clear();
    LoggedInUsername.clear();
    LoggedInUserId.clear();
    SetLogAction(TLogAction::LogIn);
    EdtEmail->SetEnabled(true);
    EdtPassword->SetEnabled(true);
    EdtPassword->SetPasswordChar(L'*');
    EdtPassword->Clear();
    EdtEmail->SetText(LoginAccount);
    EdtEmail->SetReadOnly(false);
    EdtPassword->SetReadOnly(false);
    ChkRecordarCorreo->SetEnabled(true);
    if (FrmKorvelink) FrmKorvelink->BtnUsuario->SetHint(LoggedOutHint);
    // Set last: filling the boxes above would put the typing hint there.
    LblMsg->SetCaption(message);
    TWinControl* focus = EdtEmail->Text().empty() ? static_cast<TWinControl*>(BtnClose) : EdtEmail;
    if (focus->CanFocus())
        focus->SetFocus();
    else
        SetActiveControl(focus);
    if (focus == EdtEmail) EdtEmail->SetSelStart(static_cast<int>(EdtEmail->Text().size()));
}

void TFrmLogin::ShowLoggedIn() {
    UpdateAccountMenuCaption();
    BtnLog->SetEnabled(true);
    BtnClose->SetCaption(L"OK");
    BtnClose->SetEnabled(true);
    ShowBusy(false);
    EdtEmail->SetText(LoggedInDisplayName);
    EdtPassword->SetPasswordChar(0);
    EdtPassword->SetText(ProfileAddress(LoggedInUsername, LoggedInUserId));
    EdtEmail->SetReadOnly(true);
    EdtPassword->SetReadOnly(true);
    EdtEmail->SetEnabled(true);
    EdtPassword->SetEnabled(true);
    ImgUser->SetHint(SessionDetailsText(LoggedInDisplayName, LoggedInUsername, LoggedInUserId));
    LblMsg->SetCaption(LoggedInText);
    SetLogAction(TLogAction::LogOut);
}

void TFrmLogin::CompleteLogin() {
    Sleep(400);
    UpdateAccountMenuCaption();
    LoginJustCompleted = true;
    const bool welcome = FMostrarMsgWelcome;
    const std::wstring name = LoggedInDisplayName;
    Close();
    if (welcome && FrmKorvelink)
        FrmKorvelink->MostrarPnlMsgs(L"Welcome, " + name + L". You have logged in Facebook successfully!",
                                     MsgInformation);
}

// --- browser events -------------------------------------------------------------------

void TFrmLogin::BrowserBeforeNavigate2() {
    if (Closing()) return;
    LblLoadingPicture->Hide();
    ImgUser->SetHint(L"");
    for (TWinControl* c : std::initializer_list<TWinControl*>{BtnLog, BtnClose, EdtEmail, EdtPassword,
                                                               ChkRecordarCorreo})
        c->SetEnabled(false);
    auto alive = alive_;
    Application.ProcessMessages();
    // Closed meanwhile: nothing more of it is touched.
    if (!*alive || Closing()) return;
    ShowBusy(true);
    LblMsg->SetCaption(LoadingText);
}

std::vector<std::wstring> TFrmLogin::ReadPageLines() {
    std::string bytes;
    try {
        if (browser_) bytes = browser_->GetDocumentHtml();
    } catch (...) {
        // Read as an empty document: the load failed.
    }
    TStringList page;
    page.SetText(DecodeDocumentBytes(bytes));
    // The copy holds the session's page: it goes as soon as it is read.
    ForceDirectories(engine::CacheFolder);
    std::wstring name = engine::DrawFreeFileName(
        engine::CacheFolder, [] { return L"~" + engine::MakeRandomFileName() + L".tmp"; }, NameAttempts);
    if (name.empty()) return page.Lines();
    const std::wstring path = engine::CacheFolder + name;
    TStringList copy;
    bool read = page.SaveToFile(path) && copy.LoadFromFile(path, TextEncoding::UTF8);
    RemoveFile(path);
    return read ? copy.Lines() : page.Lines();
}

void TFrmLogin::BrowserDocumentComplete() {
    if (Closing()) return;
    if (PageHandled) {
        if (LoginRecheck) ShowLoggedOut(LockedText);
        return;
    }
    PageHandled = true;
    LogoutUrl.clear();
    LoggedInDisplayName.clear();
    LoggedInUsername.clear();
    LoggedInUserId.clear();

    const TLoginPage page = ScanLoginPage(ReadPageLines());
    if (page.Failed) {
        LoginPageFailed = true;
        ShowLoadFailed();
        return;
    }
    LogoutUrl = page.LogoutUrl;
    LoggedInDisplayName = page.DisplayName;

    if (page.LoggedIn()) {
        LoggedInUserId = page.UserId;
        auto alive = alive_;
        try {
            FetchUsername(LoggedInUsername);
        } catch (...) {
            // Without a username the session shows its ID forms.
        }
        if (!*alive || Closing()) return;
        if (!ShowUserPicture()) return;
        if (LoginSubmitted)
            CompleteLogin();
        else
            ShowLoggedIn();
        return;
    }

    std::wstring message = NotLoggedText;
    if (LoginSubmitted) {
        if (page.WrongCredentials) {
            message = WrongCredentialsText;
        } else {
            LoginRecheck = true;
            Navigate(LoginAddress());
        }
    }
    if (!LoginRecheck) ShowLoggedOut(message);
}

bool TFrmLogin::ShowUserPicture() {
    auto alive = alive_;
    const std::wstring file = UserPictureFile(LoggedInUserId);
    try {
        if (IsValidUserPicture(file)) {
            ImgUser->LoadFromFile(file);
        } else {
            LblLoadingPicture->Show();
            RemoveFile(file);
            engine::DownloadProfilePicture(file, LoggedInUserId);
            if (!*alive) return false;
            if (IsValidUserPicture(file)) {
                ImgUser->LoadFromFile(file);
            } else {
                RemoveFile(file);
                ShowDefaultPicture();
            }
            LblLoadingPicture->Hide();
        }
        Application.ProcessMessages();
    } catch (...) {
        if (!*alive) return false;
        LblLoadingPicture->Hide();
    }
    return *alive && !Closing();
}

// --- buttons, boxes and the picture ---------------------------------------------------

void TFrmLogin::SetLogAction(TLogAction action) {
    static const wchar_t* const captions[] = {L"Log In", L"Refresh", L"Log Out"};
    logAction_ = action;
    BtnLog->SetCaption(captions[static_cast<int>(action)]);
}

void TFrmLogin::BtnLogClick(TComponent*) {
    if (logAction_ == TLogAction::LogIn) {
        if (Trim(EdtEmail->Text()).empty()) {
            LblMsg->SetCaption(EmptyEmailText);
            EdtEmail->SetFocus();
            return;
        }
        if (Trim(EdtPassword->Text()).empty()) {
            LblMsg->SetCaption(EmptyPasswordText);
            EdtPassword->SetFocus();
            return;
        }
        LoginAccount = Trim(EdtEmail->Text());
        PageHandled = false;
        LoginRecheck = false;
        LoginPageFailed = false;
        // Set before the page is touched: its answer may complete at once.
        LoginSubmitted = true;
        bool submitted = false;
        auto alive = alive_;
        try {
            if (browser_) {
                browser_->SubmitLogin(EdtEmail->Text(), EdtPassword->Text());
                submitted = true;
            }
        } catch (...) {
            // A page without the expected form: the login page is loaded
            // again below, with nothing shown.
        }
        if (!*alive) return;
        // The password leaves the box whatever happened to it.
        EdtPassword->Clear();
        if (!submitted) Navigate(LoginAddress());
        return;
    }
    PageHandled = false;
    LoginPageFailed = false;
    Navigate(logAction_ == TLogAction::Refresh ? LoginAddress() : LogoutUrl);
}

void TFrmLogin::EdtEmailChange(TComponent*) {
    if (!ImgProcesando->Visible()) LblMsg->SetCaption(EditedText);
}

void TFrmLogin::EdtEmailEnter(TComponent* sender) {
    auto* box = dynamic_cast<TEdit*>(sender);
    if (box && box->ReadOnly() && BtnLog->CanFocus()) BtnLog->SetFocus();
}

void TFrmLogin::EdtEmailMouseMove(TComponent* sender, TShiftState, int, int) {
    if (auto* box = dynamic_cast<TEdit*>(sender); box && box->ReadOnly()) box->SetCursor(crArrow);
}

void TFrmLogin::EdtEmailMouseLeave(TComponent* sender) {
    if (auto* box = dynamic_cast<TEdit*>(sender)) box->SetCursor(crDefault);
}

void TFrmLogin::ImgUserMouseMove(TComponent*, TShiftState, int, int) {
    if (!ImgUser->Hint().empty()) ImgUser->SetCursor(crHandPoint);
}

void TFrmLogin::ImgUserMouseLeave(TComponent*) { ImgUser->SetCursor(crDefault); }

void TFrmLogin::ImgUserMouseDown(TComponent*, TMouseButton, TShiftState, int, int) {
    if (ImgUser->Hint().empty()) return;
    POINT p = {};
    GetCursorPos(&p);
    PopupMenu1->Popup(p.x, p.y);
}

void TFrmLogin::CopyUserDetailstoClipboard1Click(TComponent*) { PutTextOnClipboard(ImgUser->Hint()); }

// --- opening from the main window --------------------------------------------

void OpenLoginWindow(TFrmKorvelink* mainForm, bool showWelcome) {
    {
        std::unique_ptr<TFrmLogin> form(new TFrmLogin(nullptr));
        FrmLogin = form.get();
        form->SetPopupParent(mainForm);
        form->FMostrarMsgWelcome = showWelcome;
        form->ShowModal();
    }
    FrmLogin = nullptr;
    FreeRetiredBrowsers();
}

}  // namespace app
