#include "components/TrayIcon.h"

#include <shlwapi.h>

#include <algorithm>
#include <vector>

#include "classlib/Application.h"
#include "classlib/Forms.h"
#include "classlib/ImgList.h"
#include "classlib/Menus.h"

namespace components {

ShellNotifyIconFunc ShellNotifyIconHook;

namespace {

std::unique_ptr<TTrayIconHandler> IconHandler;

TTrayIconHandler* AcquireTrayIconHandler(TTrayIcon* icon) {
    if (!IconHandler) IconHandler = std::make_unique<TTrayIconHandler>();
    IconHandler->Add(icon);
    return IconHandler.get();
}

void ReleaseTrayIconHandler(TTrayIcon* icon) {
    if (!IconHandler) return;
    IconHandler->Remove(icon);
    if (IconHandler->RefCount() == 0) IconHandler.reset();
}

UINT RegisterTaskbarCreated() {
    DWORD major = 0, minor = 0;
    if (HMODULE comctl = GetModuleHandleW(L"comctl32.dll")) {
        auto getVersion = reinterpret_cast<DLLGETVERSIONPROC>(GetProcAddress(comctl, "DllGetVersion"));
        DLLVERSIONINFO info = {sizeof(info)};
        if (getVersion && SUCCEEDED(getVersion(&info))) {
            major = info.dwMajorVersion;
            minor = info.dwMinorVersion;
        }
    }
    if (!CommonControlsOfferTaskbarCreated(major, minor)) return 0;
    return RegisterWindowMessageW(L"TaskbarCreated");
}

// Copies at most Max characters and terminates; the rest of Dest is zero.
template <size_t N>
void CopyField(wchar_t (&dest)[N], const std::wstring& src, size_t max) {
    std::fill(std::begin(dest), std::end(dest), L'\0');
    size_t n = std::min({src.size(), max, N - 1});
    std::copy_n(src.data(), n, dest);
}

// Tooltip windows of the notification area carry this style bit when they
// are balloons.
constexpr LONG BalloonStyleBit = 1 << 2;

HWND FindShellTooltip(bool balloon) {
    DWORD shellProcess = 0;
    HWND tray = FindWindowW(L"Shell_TrayWnd", nullptr);
    if (!tray || !GetWindowThreadProcessId(tray, &shellProcess)) return nullptr;
    HWND wnd = nullptr;
    while ((wnd = FindWindowExW(nullptr, wnd, TOOLTIPS_CLASSW, nullptr))) {
        DWORD process = 0;
        GetWindowThreadProcessId(wnd, &process);
        bool hasBit = (GetWindowLongW(wnd, GWL_STYLE) & BalloonStyleBit) != 0;
        if (process == shellProcess && hasBit == balloon) return wnd;
    }
    return nullptr;
}

void RestoreMainForm(cls::TForm* main) {
    if (main->WindowState() == cls::wsMinimized) main->SetWindowState(cls::wsNormal);
    main->SetVisible(true);
}

// A main form that holds an MDI client window is an MDI parent.
bool IsMDIParent(cls::TForm* form) {
    return form && form->HandleAllocated() && FindWindowExW(form->Handle(), nullptr, L"MDIClient", nullptr);
}

bool IsBalloonEvent(LPARAM event) {
    return event == NIN_BALLOONSHOW || event == NIN_BALLOONHIDE || event == NIN_BALLOONTIMEOUT ||
           event == NIN_BALLOONUSERCLICK;
}

}  // namespace

bool CommonControlsOfferTaskbarCreated(DWORD major, DWORD minor) {
    return major > 4 || (major == 4 && minor >= 71);
}

UINT TaskbarCreatedMessage() {
    static const UINT message = RegisterTaskbarCreated();
    return message;
}

TTrayIconHandler* SharedTrayIconHandler() { return IconHandler.get(); }

// ---------------------------------------------------------------------------

TTrayIconHandler::TTrayIconHandler() {
    TaskbarCreatedMessage();
    handle_ = AllocateHWnd(this);
}

TTrayIconHandler::~TTrayIconHandler() { DeallocateHWnd(handle_); }

void TTrayIconHandler::Add(TTrayIcon* icon) {
    ++refCount_;
    live_[icon->IconID()] = icon;
}

void TTrayIconHandler::Remove(TTrayIcon* icon) {
    if (refCount_ > 0) --refCount_;
    auto it = live_.find(icon->IconID());
    if (it != live_.end() && it->second == icon) live_.erase(it);
}

LRESULT TTrayIconHandler::HandleMessage(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_TRAYNOTIFY) {
        auto it = live_.find(static_cast<UINT>(wp));
        // An event may free the icon or the handler: nothing of this object
        // is touched after the call.
        if (it != live_.end()) it->second->HandleIconMessage(lp);
        return 0;
    }
    switch (msg) {
        case WM_DESTROY:
        case WM_CLOSE:
        case WM_QUERYENDSESSION:
        case WM_QUIT:
        case WM_ENDSESSION:
        case WM_NCDESTROY:
            return 1;
    }
    return DefWindowProcW(wnd, msg, wp, lp);
}

// ---------------------------------------------------------------------------

TTrayIcon::TTrayIcon(cls::TComponent* owner) : cls::TComponent(owner) {
    iconData_ = {};
    iconData_.cbSize = sizeof(iconData_);
    iconData_.uID = static_cast<UINT>(reinterpret_cast<UINT_PTR>(this));
    iconData_.hWnd = AcquireTrayIconHandler(this)->Handle();
    iconData_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    iconData_.uCallbackMessage = WM_TRAYNOTIFY;
    cycleTimer_ = std::make_unique<TSimpleTimer>(1000, [this](TSimpleTimer*) { CycleTimerProc(); });
    clickTimer_ = std::make_unique<TSimpleTimer>(1000, [this](TSimpleTimer*) { ClickTimerProc(); });
    exitTimer_ = std::make_unique<TSimpleTimer>(20, [this](TSimpleTimer*) { EnterExitTimerProc(); });
    SetDesignPreview(false);
    cls::Application.HookMainWindow(this, [this](UINT msg, WPARAM wp, LPARAM lp, LRESULT&) {
        HookAppProc(msg, wp, lp);
        return false;
    });
    HookForm();
}

TTrayIcon::~TTrayIcon() {
    *alive_ = false;
    SetIconVisible(false);
    SetDesignPreview(false);
    cycleTimer_.reset();
    clickTimer_.reset();
    exitTimer_.reset();
    icon_.reset();
    cls::Application.UnhookMainWindow(this);
    UnhookForm();
    ReleaseTrayIconHandler(this);
}

void TTrayIcon::Loaded() {
    if (WindowedOwner()) {
        auto alive = alive_;
        bool show = true;
        if (OnStartup) OnStartup(this, show);
        if (!*alive) return;
        if (!show) {
            cls::Application.ShowMainForm = false;
            HideMainForm();
        }
        HookForm();
    }
    ModifyTrayIcon();
    SetIconVisible(iconVisible_);
    SetCycleIcons(cycleIcons_);
    SetWantEnterExitEvents(wantEnterExitEvents_);
    SetBehavior(behavior_);
}

void TTrayIcon::Notification(cls::TComponent* component) {
    cls::TComponent::Notification(component);
    if (component == iconList_) SetIconList(nullptr);
    if (component == popupMenu_) SetPopupMenu(nullptr);
}

cls::TWinControl* TTrayIcon::WindowedOwner() const { return dynamic_cast<cls::TWinControl*>(Owner()); }

HWND TTrayIcon::OwnerWindow() const {
    cls::TWinControl* owner = WindowedOwner();
    return owner && owner->HandleAllocated() ? owner->Handle() : nullptr;
}

// --- properties -------------------------------------------------------------

void TTrayIcon::SetIcon(HICON value) {
    icon_.reset(value ? CopyIcon(value) : nullptr);
    ModifyTrayIcon();
}

void TTrayIcon::SetIconVisible(bool value) {
    if (value)
        AddTrayIcon();
    else
        DeleteTrayIcon();
}

void TTrayIcon::SetHint(const std::wstring& value) {
    hint_ = value;
    ModifyTrayIcon();
}

void TTrayIcon::SetShowHint(bool value) {
    showHint_ = value;
    ModifyTrayIcon();
}

void TTrayIcon::SetIconList(cls::TImageList* value) {
    if (iconList_ != value) {
        RemoveFreeNotification(iconList_);
        iconList_ = value;
        FreeNotification(iconList_);
    }
    SetIconIndex(0);
}

void TTrayIcon::SetPopupMenu(cls::TPopupMenu* value) {
    if (popupMenu_ == value) return;
    RemoveFreeNotification(popupMenu_);
    popupMenu_ = value;
    FreeNotification(popupMenu_);
}

void TTrayIcon::SetIconIndex(int value) {
    if (iconList_) {
        int count = iconList_->Count();
        if (value >= count) value = count - 1;
        iconIndex_ = value;
        icon_.reset(ImageList_GetIcon(iconList_->Handle(), value, ILD_NORMAL));
    } else {
        iconIndex_ = 0;
    }
    ModifyTrayIcon();
}

void TTrayIcon::SetCycleIcons(bool value) {
    cycleIcons_ = value;
    if (!value) {
        cycleTimer_->SetEnabled(false);
        return;
    }
    SetIconIndex(0);
    cycleTimer_->SetInterval(cycleInterval_);
    cycleTimer_->SetEnabled(true);
}

void TTrayIcon::SetCycleInterval(uint32_t value) {
    if (value == cycleInterval_) return;
    cycleInterval_ = value;
    SetCycleIcons(cycleIcons_);
}

void TTrayIcon::SetWantEnterExitEvents(bool value) {
    wantEnterExitEvents_ = value;
    exitTimer_->SetEnabled(value);
}

void TTrayIcon::SetBehavior(TBehavior value) {
    behavior_ = value;
    iconData_.TimeoutOrVersion = value == bhWin2000 ? 3 : 0;
    Notify(NIM_SETVERSION);
}

// --- shell requests ---------------------------------------------------------

bool TTrayIcon::Notify(DWORD message) {
    if (ShellNotifyIconHook) return ShellNotifyIconHook(message, iconData_) != FALSE;
    return Shell_NotifyIconW(message, reinterpret_cast<NOTIFYICONDATAW*>(&iconData_)) != FALSE;
}

void TTrayIcon::PrepareIconData() {
    iconData_.hIcon = icon_.get();
    if (!hint_.empty() && showHint_)
        CopyField(iconData_.szTip, hint_, 127);
    else
        CopyField(iconData_.szTip, std::wstring(), 0);
}

bool TTrayIcon::AddTrayIcon() {
    iconVisible_ = true;
    PrepareIconData();
    bool ok = Notify(NIM_ADD);
    // A second add fails while the icon is there; that changes nothing.
    if (ok) iconAdded_ = true;
    return ok;
}

bool TTrayIcon::DeleteTrayIcon() {
    iconVisible_ = false;
    PrepareIconData();
    bool ok = Notify(NIM_DELETE);
    iconAdded_ = false;
    return ok;
}

bool TTrayIcon::ModifyTrayIcon() {
    PrepareIconData();
    return Notify(NIM_MODIFY);
}

bool TTrayIcon::SetFocus() { return Notify(NIM_SETFOCUS); }

bool TTrayIcon::ShowBalloonHint(const std::wstring& title, const std::wstring& text,
                                TBalloonHintIcon iconType, unsigned timeoutSecs) {
    HideBalloonHint();
    timeoutSecs = std::clamp(timeoutSecs, BalloonHintTimeOutMin, BalloonHintTimeOutMax);
    iconData_.uFlags |= NIF_INFO;
    CopyField(iconData_.szInfo, text, 255);
    CopyField(iconData_.szInfoTitle, title, 63);
    iconData_.TimeoutOrVersion = timeoutSecs * 1000;
    iconData_.dwInfoFlags = static_cast<DWORD>(iconType);
    bool ok = ModifyTrayIcon();
    iconData_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    return ok;
}

bool TTrayIcon::HideBalloonHint() {
    iconData_.uFlags |= NIF_INFO;
    CopyField(iconData_.szInfo, std::wstring(), 0);
    return ModifyTrayIcon();
}

// --- pop-up menu and main window ------------------------------------------------

void TTrayIcon::Popup(int x, int y) {
    if (!popupMenu_) return;
    // A menu command may free the icon: keep what is needed afterwards.
    HWND shared = Handle(), owner = OwnerWindow();
    auto alive = alive_;
    // Without the foreground the menu would not close on a click elsewhere.
    SetForegroundWindow(shared);
    cls::Application.ProcessMessages();
    if (!*alive || !popupMenu_) return;
    popupMenu_->PopupComponent = this;
    popupMenu_->Popup(x, y);
    // The window made foreground for the menu gets one too.
    PostMessageW(shared, WM_NULL, 0, 0);
    if (owner) PostMessageW(owner, WM_NULL, 0, 0);
}

void TTrayIcon::PopupAtCursor() {
    POINT p = {};
    GetCursorPos(&p);
    Popup(p.x, p.y);
}

void TTrayIcon::ShowMainForm() {
    cls::TForm* main = cls::Application.MainForm();
    if (!WindowedOwner() || !main) return;
    cls::Application.Restore();
    RestoreMainForm(main);
    SetForegroundWindow(cls::Application.Handle());
}

void TTrayIcon::HideMainForm() {
    cls::TForm* main = cls::Application.MainForm();
    if (!WindowedOwner() || !main) return;
    main->SetVisible(false);
    HideTaskbarIcon();
}

void TTrayIcon::HideTaskbarIcon() {
    HWND app = cls::Application.Handle();
    if (IsWindowVisible(app)) ShowWindow(app, SW_HIDE);
}

void TTrayIcon::ShowTaskbarIcon() {
    HWND app = cls::Application.Handle();
    if (!IsWindowVisible(app)) ShowWindow(app, SW_SHOW);
}

HWND TTrayIcon::GetTooltipHandle() { return FindShellTooltip(false); }
HWND TTrayIcon::GetBalloonHintHandle() { return FindShellTooltip(true); }

// --- the shell's callbacks --------------------------------------------------

void TTrayIcon::HandleIconMessage(LPARAM event) {
    if (IsBalloonEvent(event)) {
        switch (event) {
            case NIN_BALLOONSHOW: DoBalloonHintShow(); break;
            case NIN_BALLOONHIDE: DoBalloonHintHide(); break;
            case NIN_BALLOONTIMEOUT: DoBalloonHintTimeout(); break;
            case NIN_BALLOONUSERCLICK: DoBalloonHintClick(); break;
        }
        return;
    }
    if (!enabled_) return;
    // A handler may free the icon; no member is touched after that.
    auto alive = alive_;
    // The shell's callback is no input message of this thread: the keys
    // as they are held now.
    TShiftState shift = cls::KeyboardShiftState(GetAsyncKeyState);
    POINT p = {};
    GetCursorPos(&p);
    switch (event) {
        case WM_MOUSEMOVE:
            if (wantEnterExitEvents_ && didExit_) {
                didExit_ = false;
                DoMouseEnter();
                if (!*alive) return;
            }
            lastMoveX_ = p.x;
            lastMoveY_ = p.y;
            DoMouseMove(shift, p.x, p.y);
            break;
        case WM_LBUTTONDOWN:
            if (OnDblClick) {
                clickTimer_->SetInterval(GetDoubleClickTime());
                clickTimer_->SetEnabled(true);
            }
            clickStart_ = true;
            DoMouseDown(cls::mbLeft, shift | cls::ssLeft, p.x, p.y);
            if (!*alive) return;
            if (LeftPopup && popupMenu_ && popupMenu_->AutoPopup) {
                SetForegroundWindow(Handle());
                PopupAtCursor();
            }
            break;
        case WM_LBUTTONUP:
            if (clickStart_) {
                clickReady_ = true;
                // Without a double-click handler the click needs no waiting.
                if (!clickTimer_->Enabled()) {
                    clickStart_ = false;
                    clickReady_ = false;
                    DoClick();
                    if (!*alive) return;
                }
            }
            clickStart_ = false;
            DoMouseUp(cls::mbLeft, shift | cls::ssLeft, p.x, p.y);
            break;
        case WM_LBUTTONDBLCLK:
            clickReady_ = false;
            isDblClick_ = true;
            DoDblClick();
            if (!*alive) return;
            if (popupMenu_ && popupMenu_->AutoPopup && !LeftPopup) {
                cls::TMenuItem* items = popupMenu_->Items();
                for (int i = 0; i < items->Count(); ++i)
                    if (items->Items(i)->Default()) {
                        items->Items(i)->Click();
                        break;
                    }
            }
            break;
        case WM_RBUTTONDOWN:
            DoMouseDown(cls::mbRight, shift | cls::ssRight, p.x, p.y);
            if (!*alive) return;
            if (popupMenu_ && popupMenu_->AutoPopup) {
                SetForegroundWindow(Handle());
                PopupAtCursor();
            }
            break;
        case WM_RBUTTONUP:
            if (behavior_ == bhWin95) DoMouseUp(cls::mbRight, shift | cls::ssRight, p.x, p.y);
            break;
        case WM_CONTEXTMENU:
        case NIN_SELECT:
        case NIN_KEYSELECT:
            if (behavior_ == bhWin2000) DoMouseUp(cls::mbRight, shift | cls::ssRight, p.x, p.y);
            break;
        case WM_MBUTTONDOWN:
            DoMouseDown(cls::mbMiddle, shift | cls::ssMiddle, p.x, p.y);
            break;
        case WM_MBUTTONUP:
            DoMouseUp(cls::mbMiddle, shift | cls::ssMiddle, p.x, p.y);
            break;
    }
}

void TTrayIcon::ClickTimerProc() {
    clickTimer_->SetEnabled(false);
    bool fire = !isDblClick_ && clickReady_;
    if (fire) clickReady_ = false;
    isDblClick_ = false;
    if (fire) DoClick();
}

void TTrayIcon::CycleTimerProc() {
    if (!iconList_) return;
    icon_.reset(ImageList_GetIcon(iconList_->Handle(), iconIndex_, ILD_NORMAL));
    ModifyTrayIcon();
    int next = iconIndex_ >= iconList_->Count() - 1 ? 0 : iconIndex_ + 1;
    auto alive = alive_;
    DoCycle(next);
    if (*alive) SetIconIndex(next);
}

void TTrayIcon::EnterExitTimerProc() {
    if (didExit_) return;
    POINT p = {};
    GetCursorPos(&p);
    if (p.x != lastMoveX_ || p.y != lastMoveY_) {
        didExit_ = true;
        DoMouseExit();
    }
}

// --- events -------------------------------------------------------------------

void TTrayIcon::DoClick() {
    if (OnClick) OnClick(this);
}
void TTrayIcon::DoDblClick() {
    if (OnDblClick) OnDblClick(this);
}
void TTrayIcon::DoCycle(int nextIndex) {
    if (OnCycle) OnCycle(this, nextIndex);
}
void TTrayIcon::DoMouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}
void TTrayIcon::DoMouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}
void TTrayIcon::DoMouseMove(TShiftState shift, int x, int y) {
    if (OnMouseMove) OnMouseMove(this, shift, x, y);
}
void TTrayIcon::DoMouseEnter() {
    if (OnMouseEnter) OnMouseEnter(this);
}
void TTrayIcon::DoMouseExit() {
    if (OnMouseExit) OnMouseExit(this);
}
void TTrayIcon::DoMinimizeToTray() {
    HideMainForm();
    SetIconVisible(true);
}
void TTrayIcon::DoBalloonHintShow() {
    if (OnBalloonHintShow) OnBalloonHintShow(this);
}
void TTrayIcon::DoBalloonHintHide() {
    if (OnBalloonHintHide) OnBalloonHintHide(this);
}
void TTrayIcon::DoBalloonHintTimeout() {
    if (OnBalloonHintTimeout) OnBalloonHintTimeout(this);
}
void TTrayIcon::DoBalloonHintClick() {
    if (OnBalloonHintClick) OnBalloonHintClick(this);
}

// --- the application window and the owner window ---------------------------------

void TTrayIcon::HookAppProc(UINT msg, WPARAM wp, LPARAM lp) {
    cls::TForm* main = cls::Application.MainForm();
    if (msg == WM_SIZE && wp == SIZE_MINIMIZED && MinimizeToTray) {
        DoMinimizeToTray();
    } else if (msg == WM_WINDOWPOSCHANGED && settingMDIForm_ && main) {
        // Cleared first: hiding the button moves the window again.
        settingMDIForm_ = false;
        // An MDI parent shows itself before OnStartup could keep it hidden.
        if (IsMDIParent(main)) {
            bool show = true;
            if (OnStartup) OnStartup(this, show);
            if (!show) HideTaskbarIcon();
        }
    } else if (msg == WM_SYSCOMMAND && (wp & 0xFFF0) == SC_RESTORE && main) {
        RestoreMainForm(main);
    } else if (msg != 0 && msg == TaskbarCreatedMessage()) {
        TaskbarCreated();
    }
}

void TTrayIcon::TaskbarCreated() {
    // The shell restarted and holds none of our icons any more. Only the
    // application window's hook hears this, so each icon is added once.
    iconAdded_ = false;
    if (iconVisible_) AddTrayIcon();
}

void TTrayIcon::HookForm() {
    HWND wnd = OwnerWindow();
    if (hookedForm_ || !wnd) return;
    if (SetWindowSubclass(wnd, &TTrayIcon::HookFormProc, reinterpret_cast<UINT_PTR>(this),
                          reinterpret_cast<DWORD_PTR>(this)))
        hookedForm_ = wnd;
}

void TTrayIcon::UnhookForm() {
    if (!hookedForm_) return;
    RemoveWindowSubclass(hookedForm_, &TTrayIcon::HookFormProc, reinterpret_cast<UINT_PTR>(this));
    hookedForm_ = nullptr;
}

LRESULT CALLBACK TTrayIcon::HookFormProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                         DWORD_PTR self) {
    auto* icon = reinterpret_cast<TTrayIcon*>(self);
    if (msg == WM_NCDESTROY) {
        // The owner window goes before its components.
        icon->UnhookForm();
        return DefSubclassProc(wnd, msg, wp, lp);
    }
    return cls::GuardedDispatch([&] {
        LRESULT result = 0;
        if (icon->HandleFormMessage(wnd, msg, wp, lp, result)) return result;
        return DefSubclassProc(wnd, msg, wp, lp);
    });
}

bool TTrayIcon::HandleFormMessage(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    bool minimize = false;
    if (msg == WM_SHOWWINDOW) {
        if (wp == 1 && lp == 0) {
            // The application first, so that the form comes up in front of
            // whatever program held the foreground.
            SetForegroundWindow(cls::Application.Handle());
            SetForegroundWindow(wnd);
            return false;
        }
        minimize = wp == 0 && lp == SW_PARENTCLOSING && !cls::Application.Terminated();
    } else if (msg == WM_SYSCOMMAND) {
        UINT cmd = static_cast<UINT>(wp & 0xFFF0);
        if (cmd == SC_RESTORE && wnd == cls::Application.MainFormHandle) {
            // Restore a main window that went to the tray hidden.
            LRESULT r = DefSubclassProc(wnd, msg, wp, lp);
            ShowWindow(wnd, SW_SHOW);
            result = r;
            return true;
        }
        minimize = cmd == SC_MINIMIZE;
    } else if (msg == WM_SIZE && wp == SIZE_MINIMIZED && MinimizeToTray) {
        DoMinimizeToTray();
        return false;
    }
    if (minimize && MinimizeToTray && OnMinimizeToTray) {
        OnMinimizeToTray(this);
        DoMinimizeToTray();
        result = 1;
        return true;
    }
    return false;
}

// --- helpers -------------------------------------------------------------------

bool TTrayIcon::BitmapToIcon(HBITMAP bitmap, cls::Icon& icon, COLORREF maskColor) {
    HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 1, 0);
    if (!list) return false;
    ImageList_AddMasked(list, bitmap, maskColor);
    icon.reset(ImageList_GetIcon(list, 0, ILD_NORMAL));
    ImageList_Destroy(list);
    return true;
}

POINT TTrayIcon::GetClientIconPos(int x, int y) {
    POINT p = {x, y};
    if (HWND under = WindowFromPoint(p)) ScreenToClient(under, &p);
    int fold = GetSystemMetrics(SM_CYCAPTION) - 1;
    if (fold > 0) {
        p.x = p.x % fold - 1;
        p.y = p.y % fold - 1;
    }
    return p;
}

}  // namespace components
