// The login window: signs the user into the mobile site inside a hidden
// browser, shows who is logged in and ends that login. Modal; the logged-in
// user and the rest of its state (LoginState.h) outlive it.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "classlib/Forms.h"
#include "forms/LoginBrowser.h"

namespace cls {
class TBevel;
class TButton;
class TCheckBox;
class TEdit;
class TImage;
class TLabel;
class TMenuItem;
class TPanel;
class TPopupMenu;
}  // namespace cls

namespace app {

class TFrmKorvelink;

// The mobile site's login page, which goes on to its home page.
std::wstring LoginAddress();
// The user agent the hidden browser presents, the HTTP component's own.
extern const wchar_t* const LoginUserAgent;
// CacheFolder + the user ID + ".jpg".
std::wstring UserPictureFile(const std::wstring& userId);
// The file exists, is a JPEG and is exactly 74 by 74 pixels.
bool IsValidUserPicture(const std::wstring& fileName);
// The main window's account menu item and tool button name the user.
void UpdateAccountMenuCaption();
// The name the profile-name page gives the logged-in user; Username is left
// as it is when none is found.
void FetchUsername(std::wstring& username);

class TFrmLogin : public cls::TForm {
public:
    explicit TFrmLogin(cls::TComponent* owner = nullptr);
    ~TFrmLogin() override;

    static constexpr const wchar_t* WindowClass = L"TFrmLogin";
    static constexpr int DesignClientWidth = 465;
    static constexpr int DesignClientHeight = 130;

    cls::TPanel* Panel1 = nullptr;
    cls::TLabel* LblMsg = nullptr;
    cls::TImage* ImgProcesando = nullptr;
    cls::TImage* ImgUser = nullptr;
    cls::TImage* ImgUserDef = nullptr;
    cls::TLabel* LblLoadingPicture = nullptr;
    cls::TEdit* EdtEmail = nullptr;
    cls::TEdit* EdtPassword = nullptr;
    cls::TBevel* Bevel1 = nullptr;
    cls::TButton* BtnClose = nullptr;
    cls::TButton* BtnLog = nullptr;
    cls::TCheckBox* ChkRecordarCorreo = nullptr;
    cls::TPopupMenu* PopupMenu1 = nullptr;
    cls::TMenuItem* CopyAccountDetailstoClipboard1 = nullptr;

    // Show the welcome message after a login made in this window.
    bool FMostrarMsgWelcome = false;

    // The main window's account texts for nobody logged in.
    static void DesactivarMenusFacebook();

    void BtnLogClick(cls::TComponent* sender);
    void CopyUserDetailstoClipboard1Click(cls::TComponent* sender);
    void ImgUserMouseDown(cls::TComponent* sender, cls::TMouseButton button, cls::TShiftState shift, int x, int y);
    void ImgUserMouseMove(cls::TComponent* sender, cls::TShiftState shift, int x, int y);
    void ImgUserMouseLeave(cls::TComponent* sender);

    // The hidden browser's events.
    void BrowserBeforeNavigate2();
    void BrowserDocumentComplete();

private:
    // What the Log In button does; its caption follows.
    enum class TLogAction { LogIn, Refresh, LogOut };

    // The form resource: the window, its controls and their event bindings.
    void CreateControls();
    void SetLogAction(TLogAction action);

    void FormCreate(cls::TComponent* sender);
    void FormClose(cls::TComponent* sender, cls::TCloseAction& action);
    void FormKeyDown(cls::TComponent* sender, WORD& key, cls::TShiftState shift);
    void EdtEmailChange(cls::TComponent* sender);
    void EdtEmailEnter(cls::TComponent* sender);
    void EdtEmailMouseMove(cls::TComponent* sender, cls::TShiftState shift, int x, int y);
    void EdtEmailMouseLeave(cls::TComponent* sender);

    void CreateBrowser();
    // Stops the browser's events and frees it with its host panel; a browser
    // whose event is still running is freed once that event is over.
    void ReleaseBrowser();
    void Navigate(const std::wstring& url);

    // The window states.
    void ShowLoadFailed();
    void ShowLoggedOut(const std::wstring& message);
    void ShowLoggedIn();
    void CompleteLogin();
    void ShowBusy(bool busy);
    void ShowDefaultPicture();
    // Shows the user's picture, fetching it when the cached one is not
    // valid. False when the window was closed meanwhile.
    bool ShowUserPicture();
    // The page's lines through a temporary UTF-8 copy deleted at once.
    std::vector<std::wstring> ReadPageLines();
    // Set once the window has been asked to close: work that waited for
    // the network stops there.
    bool Closing() const;

    std::unique_ptr<TLoginBrowser> browser_;
    cls::TPanel* browserHost_ = nullptr;  // owned by the main window
    int browserEvents_ = 0;                // browser events running
    bool closed_ = false;
    TLogAction logAction_ = TLogAction::LogIn;
};

// The window while it exists.
extern TFrmLogin* FrmLogin;

// Shows the login window modally over MainForm and frees it; ShowWelcome
// when the user asked for it.
void OpenLoginWindow(TFrmKorvelink* mainForm, bool showWelcome);

}  // namespace app
