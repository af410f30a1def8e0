// The user-ID window: finds the numeric ID behind a profile, page, group or
// event link and shows it with a profile link in one of five forms, ready to
// copy or open. Modal.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "classlib/Forms.h"

namespace cls {
class TBevel;
class TButton;
class TComboBox;
class TEdit;
class TImage;
class TLabel;
class TPanel;
}  // namespace cls

namespace dragdrop {
class TDropURLTarget;
}

namespace app {

// Posted to the user-ID window to analyse a dropped link once the drop is over.
constexpr UINT CM_ANALYZEDROPPEDLINK = WM_APP + 0x311;

// Trimmed, the short domain written out in full and the domain in lower
// case, whatever case it was typed in.
std::wstring NormalizeProfileLink(const std::wstring& link);
// The link written back into the link box for a kind and its name or ID
// part; the logged-in user's own name or ID gives the user's own link.
std::wstring CanonicalProfileLink(int kind, const std::wstring& part, const std::wstring& loggedInId,
                                  const std::wstring& loggedInUsername);
// The profile link of an ID by the index of the link-type list.
std::wstring ProfileLinkOfType(int index, const std::wstring& id);
// A profile ID: decimal digits only, within the signed 64-bit range.
bool IsNumber(const std::wstring& text);

// The link behind "Test a link now!".
std::wstring SampleProfileLink();

class TFrmFindFacebookUserID : public cls::TForm {
public:
    explicit TFrmFindFacebookUserID(cls::TComponent* owner = nullptr);
    ~TFrmFindFacebookUserID() override;

    static constexpr const wchar_t* WindowClass = L"TFrmFindFacebookUserID";
    static constexpr int DesignClientWidth = 504;
    static constexpr int DesignClientHeight = 169;

    cls::TPanel* Panel1 = nullptr;
    cls::TLabel* Label3 = nullptr;
    cls::TLabel* LblMsg = nullptr;
    cls::TLabel* Label1 = nullptr;
    cls::TLabel* Label2 = nullptr;
    cls::TEdit* EdtLink = nullptr;
    cls::TEdit* EdtUID = nullptr;
    cls::TEdit* EdtPID = nullptr;
    cls::TComboBox* CmbPIDFmt = nullptr;
    cls::TImage* ImgProcesando = nullptr;
    cls::TLabel* LblTestFBLink = nullptr;
    cls::TBevel* Bevel1 = nullptr;
    cls::TButton* BtnScan = nullptr;
    cls::TButton* BtnTestUID = nullptr;
    cls::TButton* BtnCopyPID = nullptr;
    cls::TButton* BtnCopyUID = nullptr;
    cls::TButton* BtnClose = nullptr;

    void BtnScanClick(cls::TComponent* sender);
    void BtnTestUIDClick(cls::TComponent* sender);
    void BtnCopyPIDClick(cls::TComponent* sender);
    void BtnCopyUIDClick(cls::TComponent* sender);
    void CmbPIDFmtSelect(cls::TComponent* sender);
    void LblTestFBLinkClick(cls::TComponent* sender);

    // The URL drop target's enter and drop events, to be bound when the
    // window places one; Effect is set to none to refuse the drag.
    void DropURLTarget1Enter(const std::wstring& url, DWORD& effect);
    void DropURLTarget1Drop(const std::wstring& url, DWORD& effect);
    // What the drop target's ShowImage was last set to.
    bool DropShowImage() const { return dropShowImage_; }
    // Takes links dragged onto the window to the two events above.
    dragdrop::TDropURLTarget* DropURLTarget1 = nullptr;

private:
    // The form resource: the window, its controls and their event bindings.
    void CreateControls();

    void FormCreate(cls::TComponent* sender);
    void FormShow(cls::TComponent* sender);
    void FormKeyDown(cls::TComponent* sender, WORD& key, cls::TShiftState shift);
    void EdtLinkChange(cls::TComponent* sender);
    void EdtLinkClick(cls::TComponent* sender);
    void EdtPIDEnter(cls::TComponent* sender);
    void EdtPIDMouseMove(cls::TComponent* sender, cls::TShiftState shift, int x, int y);
    void EdtPIDMouseLeave(cls::TComponent* sender);

    void AnalyzeUserLink(const std::wstring& link);
    void AnalyzeDroppedLink(cls::TMessage& msg);
    void CollapseSampleRow();
    void PlaceSampleLink();
    void LoginFirst();

    bool dropShowImage_ = false;
    // Taken in Drop, analysed from the posted message.
    std::wstring droppedLink_;
};

// The window while it exists.
extern TFrmFindFacebookUserID* FrmFindFacebookUserID;
// The canonical link of the last analysed link, put back at the next opening.
extern std::wstring LastUserLink;
// The link type last chosen by the user.
extern int LastLinkFormat;
// From creation until the window is shown.
extern bool UserIdFormStarting;

// Shows the login window modally when nobody is logged in; the main window
// sets it. Null: scanning goes on without a login.
extern std::function<void()> UserIdLoginHook;

// Options > Facebook Tools > Find Facebook User ID...: frees the video-link
// search window, shows this window modally with MainForm as its pop-up
// parent and frees it.
void OpenFindUserIdWindow(cls::TForm* mainForm);
bool UserIdFormExists();

}  // namespace app
