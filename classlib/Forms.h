// Top-level windows of the program. A form holds controls, shows itself
// modal or not, closes through OnCloseQuery and OnClose, can free itself
// after the current message (Release), previews keys for its controls,
// moves the focus with Tab and the arrow keys, runs menu shortcuts and
// gives its controls' hints one tooltip.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "classlib/Controls.h"

namespace cls {

class TMainMenu;

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };

using TBorderIcons = unsigned;
constexpr TBorderIcons biSystemMenu = 1;
constexpr TBorderIcons biMinimize = 2;
constexpr TBorderIcons biMaximize = 4;

enum TPosition { poDesigned, poScreenCenter, poMainFormCenter, poOwnerFormCenter };
enum TFormStyle { fsNormal, fsStayOnTop };
enum TCloseAction { caNone, caHide, caFree, caMinimize };
enum TWindowState { wsNormal, wsMinimized, wsMaximized };

using TModalResult = int;
constexpr TModalResult mrNone = 0;
constexpr TModalResult mrOk = IDOK;
constexpr TModalResult mrCancel = IDCANCEL;
constexpr TModalResult mrAbort = IDABORT;
constexpr TModalResult mrRetry = IDRETRY;
constexpr TModalResult mrIgnore = IDIGNORE;
constexpr TModalResult mrYes = IDYES;
constexpr TModalResult mrNo = IDNO;
constexpr TModalResult mrAll = 8;
constexpr TModalResult mrNoToAll = 9;
constexpr TModalResult mrYesToAll = 10;
constexpr TModalResult mrClose = 11;

using TCloseQueryEvent = std::function<void(TComponent* sender, bool& canClose)>;
using TCloseEvent = std::function<void(TComponent* sender, TCloseAction& action)>;

// Posted to a form by Release; the form frees itself when it arrives.
constexpr UINT CM_RELEASE = WM_USER + 0x7F00;

// Window styles of a border style with its icons; minimise and maximise
// boxes need the system menu, and dialog and tool borders take none.
void FormWindowStyles(TFormBorderStyle border, TBorderIcons icons, DWORD& style, DWORD& exStyle);
// The top-left corner that centres a window of the given size on Area,
// moved inside Bounds when given.
POINT CenteredPosition(const RECT& area, SIZE size, const RECT* bounds = nullptr);

struct TFormProps {
    const wchar_t* WindowClass = L"TForm";
    std::wstring Caption;
    int Left = 0;
    int Top = 0;
    int ClientWidth = 400;
    int ClientHeight = 300;
    TFormBorderStyle BorderStyle = bsSizeable;
    TBorderIcons BorderIcons = biSystemMenu | biMinimize | biMaximize;
    TPosition Position = poDesigned;
    TFormStyle FormStyle = fsNormal;
    bool KeyPreview = false;
    TColor Color = clBtnFace;
    TFontSpec Font;  // over Tahoma, height -11
    const wchar_t* IconName = L"MAINICON";
};

class TForm : public TCustomControl {
public:
    // The window is made on first use, with the default settings.
    explicit TForm(TComponent* owner = nullptr);
    // The window is made at once, so a form resource can place controls.
    TForm(TComponent* owner, const TFormProps& props);
    ~TForm() override;

    void Show();
    void Hide();
    // Asks OnCloseQuery, runs OnClose and then hides, minimises or releases
    // the form as its action says; closing the main form ends the program.
    // A modal form only gets ModalResult mrCancel and closes in its loop.
    void Close();
    bool CloseQuery();
    // Shows the form with every other window of the program disabled until
    // ModalResult is set or the form closes; returns ModalResult.
    TModalResult ShowModal();
    bool Modal() const { return modal_; }
    TModalResult ModalResult() const { return modalResult_; }
    void SetModalResult(TModalResult result) { modalResult_ = result; }
    // Frees the form once the message being handled is done.
    void Release();
    // Runs OnDestroy and frees the form now.
    void Free();

    // The window this one stays above (its owner window).
    TForm* PopupParent() const { return popupParent_; }
    void SetPopupParent(TForm* form);
    TFormBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TFormBorderStyle style);
    TBorderIcons BorderIcons() const { return borderIcons_; }
    void SetBorderIcons(TBorderIcons icons);
    // Keeps the client size when the border changes.
    void SetClientSize(int width, int height);
    void SetClientHeight(int height) { SetClientSize(ClientWidth(), height); }
    // Applied when the form is first shown.
    TPosition Position() const { return position_; }
    void SetPosition(TPosition position) { position_ = position; }
    TFormStyle FormStyle() const { return formStyle_; }
    void SetFormStyle(TFormStyle style);
    TWindowState WindowState() const;
    void SetWindowState(TWindowState state);
    bool Active() const;
    void BringToFront() override;

    // The form's OnKeyDown, OnKeyPress and OnKeyUp run before the focused
    // control's; a key set to 0 goes no further.
    bool KeyPreview = false;

    TWinControl* ActiveControl() const { return activeControl_; }
    // The control that gets the focus now, or when the form is activated.
    void SetActiveControl(TWinControl* control);
    TMainMenu* Menu() const { return menu_; }
    void SetMenu(TMainMenu* menu);
    // Moves the focus to the next (or previous) control in tab order.
    void SelectNext(TWinControl* from, bool forward, bool checkTabStop);
    // The tooltip of the controls' hints; null until a hint needs it.
    HWND HintWindow() const { return tooltip_.get(); }

    TNotifyEvent OnCreate;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
    TNotifyEvent OnDestroy;
    TCloseQueryEvent OnCloseQuery;
    TCloseEvent OnClose;

    // Keyboard work of the message loop, before a key reaches a control.
    bool IsShortCut(WORD key, TShiftState shift);
    bool DialogKey(WORD key, TShiftState shift);

    // Told by the controls.
    void ControlFocused(TWinControl* control);
    void DefocusControl(TWinControl* control);
    void UpdateHintTool(TControl* control);
    void RemoveHintTool(TControl* control);

protected:
    using TCustomControl::CreateHandle;
    // Makes the window with these settings (for forms built by hand).
    void CreateHandle(const TFormProps& props);
    void CreateParams(TCreateParams& params) override;
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
    void VisibleChanged() override;

    // Runs OnCreate: the last step of a form's constructor.
    void DoCreate();
    virtual void DoShow();
    virtual void DoHide();
    virtual void DoActivate();
    virtual void DoDeactivate();
    virtual void DoClose(TCloseAction& action);
    // Runs OnDestroy once. A form whose handler uses the form's own fields
    // calls this first thing in its destructor, while they still exist.
    void DoDestroy();

private:
    void ApplyProps(const TFormProps& props);
    void ApplyPosition();
    void ApplyBorder();
    void ApplyOwner();
    void CloseModal();
    bool IsMainForm() const;

    struct HintTool {
        TControl* control;
        HWND window;
        UINT_PTR id;
    };

    std::wstring windowClass_ = L"TForm";
    std::wstring iconName_ = L"MAINICON";
    TFormBorderStyle borderStyle_ = bsSizeable;
    TBorderIcons borderIcons_ = biSystemMenu | biMinimize | biMaximize;
    TPosition position_ = poDesigned;
    TFormStyle formStyle_ = fsNormal;
    int designClientWidth_ = 400;
    int designClientHeight_ = 300;
    TForm* popupParent_ = nullptr;
    HWND modalOwner_ = nullptr;  // while modal without a pop-up parent
    bool positioned_ = false;
    TWinControl* activeControl_ = nullptr;
    TMainMenu* menu_ = nullptr;
    bool modal_ = false;
    TModalResult modalResult_ = mrNone;
    bool destroyed_ = false;
    TWindowState pendingState_ = wsNormal;
    cls::Window tooltip_;
    std::vector<HintTool> hintTools_;
};

// The keyboard handling the message loops give the program's forms: menu
// shortcuts, then Tab, the arrows, Enter and Esc where the focused control
// does not want them. True when the message was used up.
bool IsFormMessage(MSG& msg);

}  // namespace cls
