// An icon in the notification area of the taskbar: turns the shell's
// callbacks into mouse, click and balloon events, shows a pop-up menu and
// balloon hints, can cycle through the icons of an image list and can hide
// the main window to the notification area instead of minimising it. All
// icons share one hidden window that receives the shell's callbacks.
// GUI thread only.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>

#include "classlib/Component.h"
#include "classlib/Controls.h"
#include "classlib/Raii.h"
#include "components/SimpleTimer.h"

namespace cls {
class TImageList;
class TPopupMenu;
}  // namespace cls

namespace components {

// The shell's icon record in the size every shell since Windows 2000 takes.
struct TNotifyIconDataEx {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON hIcon;
    wchar_t szTip[128];
    DWORD dwState;
    DWORD dwStateMask;
    wchar_t szInfo[256];
    UINT TimeoutOrVersion;  // uTimeout for balloons, uVersion for NIM_SETVERSION
    wchar_t szInfoTitle[64];
    DWORD dwInfoFlags;
};
static_assert(sizeof(TNotifyIconDataEx) == 936, "the shell expects the 936-byte record");

// The message the shell sends the shared window for the icons' events.
constexpr UINT WM_TRAYNOTIFY = WM_USER + 1024;

// Sends an icon request to the shell; null means Shell_NotifyIconW. Tests
// record the requests through it.
using ShellNotifyIconFunc = std::function<BOOL(DWORD message, const TNotifyIconDataEx& data)>;
extern ShellNotifyIconFunc ShellNotifyIconHook;

// The registered "TaskbarCreated" message (broadcast when the shell
// restarts), or 0 where the common controls are older than 4.71.
UINT TaskbarCreatedMessage();
bool CommonControlsOfferTaskbarCreated(DWORD major, DWORD minor);

enum TBalloonHintIcon { bitNone, bitInfo, bitWarning, bitError, bitCustom };
// Balloon time-outs run from 10 to 60 seconds; other values are clamped.
constexpr unsigned BalloonHintTimeOutMin = 10, BalloonHintTimeOutMax = 60;
enum TBehavior { bhWin95, bhWin2000 };  // callback protocol version 0 or 3

// The mouse events take the class library's button and shift state.
using cls::TMouseButton;
using cls::TShiftState;

class TTrayIcon;
using TTrayNotifyEvent = std::function<void(TTrayIcon* sender)>;
using TTrayMouseEvent =
    std::function<void(TTrayIcon* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TTrayMouseMoveEvent = std::function<void(TTrayIcon* sender, TShiftState shift, int x, int y)>;
using TCycleEvent = std::function<void(TTrayIcon* sender, int nextIndex)>;
using TStartupEvent = std::function<void(TTrayIcon* sender, bool& showMainForm)>;

class TTrayIcon : public cls::TComponent {
public:
    explicit TTrayIcon(cls::TComponent* owner = nullptr);
    ~TTrayIcon() override;

    // Call once the owner has set the properties: asks OnStartup whether the
    // main window is to be shown, hooks an owner window created meanwhile,
    // then sends the icon's look and applies the settings once more.
    virtual void Loaded();

    // The shared window that receives the shell's callbacks.
    HWND Handle() const { return iconData_.hWnd; }
    // The icon's uID: the component's own address.
    UINT IconID() const { return iconData_.uID; }
    const TNotifyIconDataEx& IconData() const { return iconData_; }

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value) { enabled_ = value; }
    HICON Icon() const { return icon_.get(); }
    // Takes a copy of the icon.
    void SetIcon(HICON value);
    // The last request, not the shell's answer; see IconAdded.
    bool IconVisible() const { return iconVisible_; }
    void SetIconVisible(bool value);
    // Whether the shell really holds the icon: its last add succeeded and
    // no delete came after it. Do not hide a window to a tray without one.
    bool IconAdded() const { return iconAdded_; }
    const std::wstring& Hint() const { return hint_; }
    void SetHint(const std::wstring& value);
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool value);
    // Not owned; dropped when it is freed.
    cls::TImageList* IconList() const { return iconList_; }
    void SetIconList(cls::TImageList* value);
    int IconIndex() const { return iconIndex_; }
    void SetIconIndex(int value);
    bool CycleIcons() const { return cycleIcons_; }
    void SetCycleIcons(bool value);
    // Milliseconds; 0 (the default) keeps cycling from starting.
    uint32_t CycleInterval() const { return cycleInterval_; }
    void SetCycleInterval(uint32_t value);
    bool WantEnterExitEvents() const { return wantEnterExitEvents_; }
    void SetWantEnterExitEvents(bool value);
    TBehavior Behavior() const { return behavior_; }
    void SetBehavior(TBehavior value);
    // A preview in a designer's notification area. There is no designer, so
    // outside one the value is only kept.
    bool DesignPreview() const { return designPreview_; }
    void SetDesignPreview(bool value) { designPreview_ = value; }
    // Whether a preview may show the system's default icon when Icon is empty.
    virtual bool AllowDefaultIcon() { return true; }

    // Not owned; dropped when it is freed. The right button opens it (the
    // left one too with LeftPopup) while its AutoPopup is set; a
    // double-click then runs its default item unless LeftPopup is set.
    cls::TPopupMenu* PopupMenu() const { return popupMenu_; }
    void SetPopupMenu(cls::TPopupMenu* value);
    bool LeftPopup = false;
    bool MinimizeToTray = false;

    TTrayNotifyEvent OnClick, OnDblClick;
    TTrayMouseEvent OnMouseDown, OnMouseUp;
    TTrayMouseMoveEvent OnMouseMove;
    TTrayNotifyEvent OnMouseEnter, OnMouseExit;
    TCycleEvent OnCycle;
    TStartupEvent OnStartup;
    TTrayNotifyEvent OnMinimizeToTray;
    TTrayNotifyEvent OnBalloonHintShow, OnBalloonHintHide, OnBalloonHintTimeout, OnBalloonHintClick;

    // Each returns whether the shell accepted the request.
    virtual bool AddTrayIcon();
    virtual bool DeleteTrayIcon();
    virtual bool ModifyTrayIcon();
    bool SetFocus();
    bool Refresh() { return ModifyTrayIcon(); }

    // Title is cut to 63 characters, Text to 255.
    bool ShowBalloonHint(const std::wstring& title, const std::wstring& text, TBalloonHintIcon iconType,
                         unsigned timeoutSecs);
    // Our strings are wide already: the same as ShowBalloonHint.
    bool ShowBalloonHintUnicode(const std::wstring& title, const std::wstring& text, TBalloonHintIcon iconType,
                                unsigned timeoutSecs) {
        return ShowBalloonHint(title, text, iconType, timeoutSecs);
    }
    bool HideBalloonHint();

    // Shows PopupMenu at a screen point; nothing without one.
    void Popup(int x, int y);
    void PopupAtCursor();

    // Both act only with a windowed owner and a main form.
    void ShowMainForm();
    void HideMainForm();
    // The application window's taskbar button.
    static void HideTaskbarIcon();
    static void ShowTaskbarIcon();

    // The shell's tooltip and balloon windows of the notification area; 0
    // when there is none.
    static HWND GetTooltipHandle();
    static HWND GetBalloonHintHandle();
    // Turns a bitmap into a 16 by 16 icon, MaskColor being transparent.
    static bool BitmapToIcon(HBITMAP bitmap, cls::Icon& icon, COLORREF maskColor);
    // The point relative to the window under it, folded into the caption's size.
    static POINT GetClientIconPos(int x, int y);

    // The handler of the shell's callback message for this icon.
    void HandleIconMessage(LPARAM event);

protected:
    void Notification(cls::TComponent* component) override;

    virtual void DoClick();
    virtual void DoDblClick();
    virtual void DoCycle(int nextIndex);
    virtual void DoMouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void DoMouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void DoMouseMove(TShiftState shift, int x, int y);
    virtual void DoMouseEnter();
    virtual void DoMouseExit();
    virtual void DoMinimizeToTray();
    virtual void DoBalloonHintShow();
    virtual void DoBalloonHintHide();
    virtual void DoBalloonHintTimeout();
    virtual void DoBalloonHintClick();

private:
    bool Notify(DWORD message);
    void PrepareIconData();
    void ClickTimerProc();
    void CycleTimerProc();
    void EnterExitTimerProc();
    void HookForm();
    void UnhookForm();
    void HookAppProc(UINT msg, WPARAM wp, LPARAM lp);
    void TaskbarCreated();
    cls::TWinControl* WindowedOwner() const;
    static LRESULT CALLBACK HookFormProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                         DWORD_PTR self);
    bool HandleFormMessage(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
    HWND OwnerWindow() const;

    bool enabled_ = true;
    cls::Icon icon_;
    bool iconVisible_ = false;
    bool iconAdded_ = false;
    std::wstring hint_;
    bool showHint_ = true;
    bool clickStart_ = false, clickReady_ = false;
    std::unique_ptr<TSimpleTimer> cycleTimer_, clickTimer_, exitTimer_;
    int lastMoveX_ = 0, lastMoveY_ = 0;
    bool didExit_ = true;
    bool wantEnterExitEvents_ = false;
    TBehavior behavior_ = bhWin95;
    bool isDblClick_ = false;
    int iconIndex_ = 0;
    bool designPreview_ = false;
    bool settingMDIForm_ = true;
    cls::TImageList* iconList_ = nullptr;
    cls::TPopupMenu* popupMenu_ = nullptr;
    bool cycleIcons_ = false;
    uint32_t cycleInterval_ = 0;
    HWND hookedForm_ = nullptr;
    TNotifyIconDataEx iconData_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// The shared window of every icon, and the set of icons alive: a callback
// reaches only an icon that is still alive.
class TTrayIconHandler final : public TMessageTarget {
public:
    TTrayIconHandler();
    ~TTrayIconHandler();
    TTrayIconHandler(const TTrayIconHandler&) = delete;
    TTrayIconHandler& operator=(const TTrayIconHandler&) = delete;

    void Add(TTrayIcon* icon);
    void Remove(TTrayIcon* icon);
    uint32_t RefCount() const { return refCount_; }
    HWND Handle() const { return handle_; }

    LRESULT HandleMessage(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) override;

private:
    uint32_t refCount_ = 0;
    HWND handle_ = nullptr;
    std::unordered_map<UINT, TTrayIcon*> live_;
};

// The shared handler, or null while no icon exists.
TTrayIconHandler* SharedTrayIconHandler();

}  // namespace components
