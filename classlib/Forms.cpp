#include "Forms.h"

#include <commctrl.h>

#include <algorithm>

#include "classlib/Application.h"
#include "classlib/Button.h"
#include "classlib/Menus.h"

namespace cls {

namespace {

// The text a tooltip shows: the part of a hint before a "|".
std::wstring ShortHint(const std::wstring& hint) { return hint.substr(0, hint.find(L'|')); }

BOOL CALLBACK CollectEnabled(HWND hwnd, LPARAM lp) {
    auto* list = reinterpret_cast<std::vector<HWND>*>(lp);
    if (hwnd != list->front() && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) list->push_back(hwnd);
    return TRUE;
}

// Disables every visible window of this thread but Except; returns them.
std::vector<HWND> DisableThreadWindows(HWND except) {
    std::vector<HWND> list{except};
    EnumThreadWindows(GetCurrentThreadId(), &CollectEnabled, reinterpret_cast<LPARAM>(&list));
    list.erase(list.begin());
    for (HWND h : list) EnableWindow(h, FALSE);
    return list;
}

void EnableWindows(const std::vector<HWND>& list) {
    for (HWND h : list)
        if (IsWindow(h)) EnableWindow(h, TRUE);
}

// The window controls inside Parent in tab order, each before its own.
void TabOrderList(TWinControl* parent, std::vector<TWinControl*>& out) {
    for (TWinControl* c : parent->TabList()) {
        out.push_back(c);
        TabOrderList(c, out);
    }
}

void SelectNextIn(TWinControl* container, TWinControl* from, bool forward, bool checkTabStop) {
    std::vector<TWinControl*> list;
    TabOrderList(container, list);
    if (list.empty()) return;
    int n = static_cast<int>(list.size());
    auto it = std::find(list.begin(), list.end(), from);
    int start = it == list.end() ? (forward ? n - 1 : 0) : static_cast<int>(it - list.begin());
    for (int step = 1; step <= n; ++step) {
        TWinControl* c = list[((start + (forward ? step : -step)) % n + n) % n];
        if (c->CanFocus() && (!checkTabStop || c->TabStop())) {
            c->SetFocus();
            return;
        }
    }
}

template <class Pred>
TButton* FindButton(TWinControl* parent, Pred pred) {
    for (int i = 0; i < parent->ControlCount(); ++i) {
        auto* w = dynamic_cast<TWinControl*>(parent->Controls(i));
        if (!w) continue;
        if (auto* b = dynamic_cast<TButton*>(w); b && pred(b) && b->CanFocus()) return b;
        if (TButton* b = FindButton(w, pred)) return b;
    }
    return nullptr;
}

}  // namespace

void FormWindowStyles(TFormBorderStyle border, TBorderIcons icons, DWORD& style, DWORD& exStyle) {
    style = WS_CLIPCHILDREN;
    exStyle = 0;
    switch (border) {
        case bsNone:
            style |= WS_POPUP;
            icons = 0;
            break;
        case bsSingle:
            style |= WS_CAPTION;
            break;
        case bsSizeable:
            style |= WS_CAPTION | WS_THICKFRAME;
            break;
        case bsDialog:
            style |= WS_POPUP | WS_CAPTION | DS_MODALFRAME;
            exStyle |= WS_EX_DLGMODALFRAME;
            icons &= biSystemMenu;
            break;
        case bsToolWindow:
            style |= WS_CAPTION;
            exStyle |= WS_EX_TOOLWINDOW;
            icons &= biSystemMenu;
            break;
        case bsSizeToolWin:
            style |= WS_CAPTION | WS_THICKFRAME;
            exStyle |= WS_EX_TOOLWINDOW;
            icons &= biSystemMenu;
            break;
    }
    if (icons & biSystemMenu) {
        style |= WS_SYSMENU;
        if (icons & biMinimize) style |= WS_MINIMIZEBOX;
        if (icons & biMaximize) style |= WS_MAXIMIZEBOX;
    }
}

POINT CenteredPosition(const RECT& area, SIZE size, const RECT* bounds) {
    POINT p = {area.left + (area.right - area.left - size.cx) / 2,
               area.top + (area.bottom - area.top - size.cy) / 2};
    if (bounds) {
        p.x = std::max<LONG>(bounds->left, std::min<LONG>(p.x, bounds->right - size.cx));
        p.y = std::max<LONG>(bounds->top, std::min<LONG>(p.y, bounds->bottom - size.cy));
    }
    return p;
}

// --- creation --------------------------------------------------------------------

TForm::TForm(TComponent* owner) : TCustomControl(owner) {
    visible_ = false;
    parentFont_ = false;
    parentColor_ = false;
}

TForm::TForm(TComponent* owner, const TFormProps& props) : TForm(owner) { CreateHandle(props); }

TForm::~TForm() {
    DoDestroy();
    // The controls go first, while the form they tell about still exists.
    while (ControlCount() > 0) delete Controls(ControlCount() - 1);
    if (HandleAllocated() && menu_) {
        ::SetMenu(handle_, nullptr);
        menu_->SetWindow(nullptr);
    }
    hintTools_.clear();
    tooltip_.reset();
    if (handle_ && handle_ == Application.MainFormHandle) Application.MainFormHandle = nullptr;
}

void TForm::ApplyProps(const TFormProps& p) {
    windowClass_ = p.WindowClass;
    iconName_ = p.IconName ? p.IconName : L"";
    caption_ = p.Caption;
    left_ = p.Left;
    top_ = p.Top;
    designClientWidth_ = p.ClientWidth;
    designClientHeight_ = p.ClientHeight;
    borderStyle_ = p.BorderStyle;
    borderIcons_ = p.BorderIcons;
    position_ = p.Position;
    formStyle_ = p.FormStyle;
    KeyPreview = p.KeyPreview;
    color_ = p.Color;
    font_.Apply(p.Font);
}

void TForm::CreateHandle(const TFormProps& props) {
    if (HandleAllocated()) return;
    ApplyProps(props);
    TCustomControl::CreateHandle();
}

void TForm::CreateParams(TCreateParams& p) {
    p.ClassName = windowClass_;
    p.OwnClass = true;
    p.ClassStyle = CS_DBLCLKS;
    HINSTANCE inst = GetModuleHandleW(nullptr);
    // Only a class still to be registered takes icons, and keeps them for the
    // program's life: loaded for every window, the small one, a copy of its
    // own, would be lost each time.
    WNDCLASSEXW registered = {sizeof(registered)};
    if (!iconName_.empty() && !GetClassInfoExW(inst, windowClass_.c_str(), &registered)) {
        p.Icon = LoadIconW(inst, iconName_.c_str());
        p.SmallIcon = static_cast<HICON>(LoadImageW(inst, iconName_.c_str(), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                    GetSystemMetrics(SM_CYSMICON), 0));
    }
    FormWindowStyles(borderStyle_, borderIcons_, p.Style, p.ExStyle);
    if (formStyle_ == fsStayOnTop) p.ExStyle |= WS_EX_TOPMOST;
    p.ParentWindow = popupParent_ ? popupParent_->Handle() : nullptr;
    // The outer size that gives the designed client size.
    RECT r = {0, 0, designClientWidth_, designClientHeight_};
    AdjustWindowRectEx(&r, p.Style, FALSE, p.ExStyle);
    width_ = r.right - r.left;
    height_ = r.bottom - r.top;
}

void TForm::DoCreate() {
    if (OnCreate) OnCreate(this);
}

// --- showing and closing ---------------------------------------------------------

bool TForm::IsMainForm() const { return handle_ && handle_ == Application.MainFormHandle; }

void TForm::ApplyOwner() {
    if (IsMainForm() || !handle_) return;
    HWND owner = popupParent_ ? popupParent_->Handle() : modalOwner_;
    // Without a pop-up parent a window stays with the main form, which
    // carries the program's taskbar button.
    if (!owner && Application.MainFormHandle && Application.MainFormHandle != handle_)
        owner = Application.MainFormHandle;
    if (reinterpret_cast<HWND>(GetWindowLongPtrW(handle_, GWLP_HWNDPARENT)) != owner)
        SetWindowLongPtrW(handle_, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
}

void TForm::ApplyPosition() {
    // Placed once: shown again, the form stays where it was left.
    if (positioned_) return;
    positioned_ = true;
    RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SIZE size = {width_, height_};
    POINT p;
    switch (position_) {
        case poDesigned:
            return;
        case poScreenCenter:
            p = CenteredPosition(screen, size);
            break;
        case poMainFormCenter:
        case poOwnerFormCenter: {
            TForm* ref = position_ == poMainFormCenter ? Application.MainForm() : popupParent_;
            if (!ref) ref = Application.MainForm();
            if (!ref || ref == this || !ref->Showing()) {
                p = CenteredPosition(screen, size);
                break;
            }
            RECT area;
            GetWindowRect(ref->Handle(), &area);
            MONITORINFO mi = {sizeof(mi)};
            GetMonitorInfoW(MonitorFromRect(&area, MONITOR_DEFAULTTONEAREST), &mi);
            p = CenteredPosition(area, size, &mi.rcWork);
            break;
        }
    }
    SetBounds(p.x, p.y, width_, height_);
}

void TForm::Show() {
    Handle();
    if (visible_ && !IsWindowVisible(handle_)) visible_ = false;
    SetVisible(true);
    BringToFront();
}

void TForm::Hide() { SetVisible(false); }

void TForm::VisibleChanged() {
    HWND h = Handle();
    if (visible_) {
        if (IsWindowVisible(h)) return;
        ApplyOwner();
        ApplyPosition();
        auto alive = alive_;
        DoShow();
        if (!*alive || !visible_) return;
        int cmd = pendingState_ == wsMinimized ? SW_SHOWMINIMIZED
                  : pendingState_ == wsMaximized ? SW_SHOWMAXIMIZED
                                                  : SW_SHOWNORMAL;
        ShowWindow(h, cmd);
    } else {
        if (!IsWindowVisible(h)) return;
        auto alive = alive_;
        DoHide();
        if (!*alive || visible_) return;
        ShowWindow(h, SW_HIDE);
    }
}

void TForm::BringToFront() {
    if (handle_ && IsWindowVisible(handle_)) SetForegroundWindow(handle_);
}

bool TForm::CloseQuery() {
    bool canClose = true;
    if (OnCloseQuery) OnCloseQuery(this, canClose);
    return canClose;
}

void TForm::DoClose(TCloseAction& action) {
    if (OnClose) OnClose(this, action);
}

void TForm::Close() {
    if (modal_) {
        modalResult_ = mrCancel;
        return;
    }
    if (!CloseQuery()) return;
    TCloseAction action = caHide;
    auto alive = alive_;
    DoClose(action);
    if (!*alive || action == caNone) return;
    if (IsMainForm()) {
        Application.Terminate();
        return;
    }
    switch (action) {
        case caHide: Hide(); break;
        case caMinimize: SetWindowState(wsMinimized); break;
        case caFree: Release(); break;
        case caNone: break;
    }
}

void TForm::CloseModal() {
    TCloseAction action = caNone;
    auto alive = alive_;
    if (CloseQuery()) {
        action = caHide;
        DoClose(action);
    }
    if (!*alive) return;
    if (action == caNone) modalResult_ = mrNone;
    if (action == caFree) Release();
}

TModalResult TForm::ShowModal() {
    HWND h = Handle();
    if (HWND capture = GetCapture()) {
        SendMessageW(capture, WM_CANCELMODE, 0, 0);
        ReleaseCapture();
    }
    HWND wasActive = GetActiveWindow();
    // Without a pop-up parent it stays above the form it was opened from.
    if (auto* f = dynamic_cast<TForm*>(TWinControl::FromHandle(wasActive)); f && f != this && f->Showing())
        modalOwner_ = wasActive;
    std::vector<HWND> disabled = DisableThreadWindows(h);
    modal_ = true;
    modalResult_ = mrNone;
    auto alive = alive_;
    Show();

    MSG msg;
    bool quit = false, sawQuit = false;
    TModalResult result = mrCancel;
    while (*alive) {
        if (!IsWindow(h) || !IsWindowVisible(h))
            if (modalResult_ == mrNone) modalResult_ = mrCancel;
        if (modalResult_ != mrNone) {
            CloseModal();
            if (!*alive || modalResult_ != mrNone) break;
        }
        if (Application.ProcessMessage(msg, quit)) {
            if (quit) {
                sawQuit = true;
                if (*alive) modalResult_ = mrCancel;
                break;
            }
            continue;
        }
        if (*alive && modalResult_ == mrNone) WaitMessage();
    }

    // Enabled again before the form hides, so the activation goes back to
    // the window it came from.
    EnableWindows(disabled);
    if (*alive) {
        result = modalResult_;
        modal_ = false;
        modalOwner_ = nullptr;
        if (IsWindow(h)) Hide();
        if (wasActive && wasActive != h && IsWindow(wasActive) && IsWindowVisible(wasActive))
            SetActiveWindow(wasActive);
    }
    if (sawQuit) RepostQuit(Application.ExitCode());
    return result;
}

void TForm::Release() {
    if (HandleAllocated()) PostMessageW(handle_, CM_RELEASE, 0, 0);
}

void TForm::Free() {
    DoDestroy();
    delete this;
}

void TForm::DoDestroy() {
    if (destroyed_) return;
    destroyed_ = true;
    if (OnDestroy) OnDestroy(this);
}

// --- properties --------------------------------------------------------------------

void TForm::SetPopupParent(TForm* form) {
    popupParent_ = form;
    if (HandleAllocated()) ApplyOwner();
}

void TForm::ApplyBorder() {
    if (!HandleAllocated()) return;
    int cw = ClientWidth(), ch = ClientHeight();
    DWORD style, ex;
    FormWindowStyles(borderStyle_, borderIcons_, style, ex);
    const DWORD kept = WS_VISIBLE | WS_DISABLED | WS_MINIMIZE | WS_MAXIMIZE;
    DWORD old = GetWindowLongW(handle_, GWL_STYLE);
    SetWindowLongW(handle_, GWL_STYLE, (style & ~kept) | (old & kept));
    DWORD oldEx = GetWindowLongW(handle_, GWL_EXSTYLE);
    const DWORD keptEx = WS_EX_TOPMOST;
    SetWindowLongW(handle_, GWL_EXSTYLE, (ex & ~keptEx) | (oldEx & keptEx));
    SetWindowPos(handle_, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    SetClientSize(cw, ch);
}

void TForm::SetBorderStyle(TFormBorderStyle style) {
    if (style == borderStyle_) return;
    borderStyle_ = style;
    ApplyBorder();
}

void TForm::SetBorderIcons(TBorderIcons icons) {
    if (icons == borderIcons_) return;
    borderIcons_ = icons;
    ApplyBorder();
}

void TForm::SetClientSize(int width, int height) {
    designClientWidth_ = width;
    designClientHeight_ = height;
    if (!HandleAllocated()) return;
    RECT r = {0, 0, width, height};
    AdjustWindowRectEx(&r, GetWindowLongW(handle_, GWL_STYLE), GetMenu(handle_) != nullptr,
                       GetWindowLongW(handle_, GWL_EXSTYLE));
    SetBounds(left_, top_, r.right - r.left, r.bottom - r.top);
    // A menu bar that wraps takes more room than one line: correct for it.
    RECT c;
    GetClientRect(handle_, &c);
    if (c.right != width || c.bottom != height)
        SetBounds(left_, top_, width_ + width - c.right, height_ + height - c.bottom);
}

void TForm::SetFormStyle(TFormStyle style) {
    formStyle_ = style;
    if (HandleAllocated())
        SetWindowPos(handle_, style == fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

TWindowState TForm::WindowState() const {
    if (!handle_) return pendingState_;
    if (IsIconic(handle_)) return wsMinimized;
    if (IsZoomed(handle_)) return wsMaximized;
    return wsNormal;
}

void TForm::SetWindowState(TWindowState state) {
    pendingState_ = state;
    if (!handle_ || !IsWindowVisible(handle_)) return;
    ShowWindow(handle_, state == wsMinimized ? SW_MINIMIZE : state == wsMaximized ? SW_MAXIMIZE : SW_RESTORE);
}

bool TForm::Active() const { return handle_ && GetActiveWindow() == handle_; }

void TForm::SetActiveControl(TWinControl* control) {
    if (control && control->ParentForm() != this) return;
    if (control && Active() && control->CanFocus()) {
        control->SetFocus();
        return;
    }
    ControlFocused(control);
}

void TForm::SetMenu(TMainMenu* menu) {
    if (menu == menu_) return;
    HWND h = Handle();
    int cw = ClientWidth(), ch = ClientHeight();
    if (menu_) menu_->SetWindow(nullptr);
    menu_ = menu;
    if (menu_) menu_->SetWindow(h);
    ::SetMenu(h, menu_ ? menu_->Handle() : nullptr);
    SetClientSize(cw, ch);
}

void TForm::SelectNext(TWinControl* from, bool forward, bool checkTabStop) {
    SelectNextIn(this, from, forward, checkTabStop);
}

// --- focus ---------------------------------------------------------------------------

void TForm::ControlFocused(TWinControl* control) {
    if (control == activeControl_ || control == this) return;
    TWinControl* old = activeControl_;
    activeControl_ = control;
    if (old) {
        auto alive = control ? control->alive_ : nullptr;
        old->DoExit();
        if (alive && !*alive) return;
    }
    if (control) control->DoEnter();
}

void TForm::DefocusControl(TWinControl* control) {
    for (TControl* c = activeControl_; c; c = c->Parent())
        if (c == control) {
            activeControl_ = nullptr;
            break;
        }
    if (handle_ && IsWindowVisible(handle_)) ::SetFocus(handle_);
}

// --- hints -----------------------------------------------------------------------------

void TForm::RemoveHintTool(TControl* control) {
    for (auto it = hintTools_.begin(); it != hintTools_.end(); ++it)
        if (it->control == control) {
            if (tooltip_) {
                TTTOOLINFOW ti = {TTTOOLINFOW_V2_SIZE};
                ti.hwnd = it->window;
                ti.uId = it->id;
                SendMessageW(tooltip_.get(), TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
            }
            hintTools_.erase(it);
            return;
        }
}

void TForm::UpdateHintTool(TControl* control) {
    RemoveHintTool(control);
    std::wstring text = ShortHint(control->Hint());
    if (!control->HintByForm() || !control->ShowHint() || text.empty() || !control->Visible() || !HandleAllocated()) return;
    auto* win = dynamic_cast<TWinControl*>(control);
    if (win && !win->HandleAllocated()) return;
    if (!win && (!control->Parent() || !control->Parent()->HandleAllocated())) return;
    if (!tooltip_) {
        tooltip_.reset(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                       CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, handle_, nullptr,
                                       GetModuleHandleW(nullptr), nullptr));
        if (!tooltip_) return;
        // Hints may hold line feeds; a width limit makes the tooltip honour them.
        SendMessageW(tooltip_.get(), TTM_SETMAXTIPWIDTH, 0, GetSystemMetrics(SM_CXSCREEN) / 2);
    }
    // The smaller structure is understood by every version of the control.
    TTTOOLINFOW ti = {TTTOOLINFOW_V2_SIZE};
    ti.uFlags = TTF_SUBCLASS;
    if (win) {
        ti.uFlags |= TTF_IDISHWND;
        ti.hwnd = handle_;
        ti.uId = reinterpret_cast<UINT_PTR>(win->handle_);
    } else {
        ti.hwnd = control->Parent()->handle_;
        ti.uId = reinterpret_cast<UINT_PTR>(control);
        ti.rect = control->BoundsRect();
    }
    ti.lpszText = text.data();
    if (SendMessageW(tooltip_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti)))
        hintTools_.push_back({control, ti.hwnd, ti.uId});
}

// --- keyboard ---------------------------------------------------------------------------

bool TForm::IsShortCut(WORD key, TShiftState shift) {
    return menu_ && menu_->IsShortCut(ShortCut(key, shift));
}

bool TForm::DialogKey(WORD key, TShiftState shift) {
    switch (key) {
        case VK_TAB:
            if (shift & (ssCtrl | ssAlt)) return false;
            SelectNext(activeControl_, !(shift & ssShift), true);
            return true;
        case VK_LEFT:
        case VK_UP:
        case VK_RIGHT:
        case VK_DOWN:
            // Among the controls of the focused control's parent.
            if (shift & ssAlt || !activeControl_ || !activeControl_->Parent()) return false;
            SelectNextIn(activeControl_->Parent(), activeControl_, key == VK_RIGHT || key == VK_DOWN, false);
            return true;
        case VK_RETURN: {
            if (shift & (ssCtrl | ssAlt)) return false;
            // A focused button answers Enter itself, else the default one.
            auto* focused = dynamic_cast<TButton*>(activeControl_);
            TButton* b = focused && focused->Focused() ? focused
                                                       : FindButton(this, [](TButton* x) { return x->Default(); });
            if (!b) return false;
            b->Click();
            return true;
        }
        case VK_ESCAPE: {
            if (shift & (ssCtrl | ssAlt)) return false;
            TButton* b = FindButton(this, [](TButton* x) { return x->Cancel; });
            if (!b) return false;
            b->Click();
            return true;
        }
    }
    return false;
}

bool IsFormMessage(MSG& msg) {
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
    TWinControl* control = TWinControl::FindControl(msg.hwnd);
    if (!control) return false;
    TForm* form = control->ParentForm();
    if (!form) return false;
    auto key = static_cast<WORD>(msg.wParam);
    TShiftState shift = KeyboardShiftState();
    if (form->IsShortCut(key, shift)) return true;
    if (msg.message != WM_KEYDOWN) return false;
    bool arrow = key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_DOWN;
    if (key != VK_TAB && key != VK_RETURN && key != VK_ESCAPE && !arrow) return false;
    // Keys the focused control wants stay with it.
    auto code = SendMessageW(msg.hwnd, WM_GETDLGCODE, key, reinterpret_cast<LPARAM>(&msg));
    if (code & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) return false;
    if (key == VK_TAB && (code & DLGC_WANTTAB)) return false;
    if (arrow && (code & DLGC_WANTARROWS)) return false;
    return form->DialogKey(key, shift);
}

// --- messages -----------------------------------------------------------------------------

void TForm::DoShow() {
    if (OnShow) OnShow(this);
}
void TForm::DoHide() {
    if (OnHide) OnHide(this);
}
void TForm::DoActivate() {
    if (OnActivate) OnActivate(this);
}
void TForm::DoDeactivate() {
    if (OnDeactivate) OnDeactivate(this);
}

LRESULT TForm::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_CLOSE:
            Close();
            return 0;
        case CM_RELEASE:
            Free();
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wp) == WA_INACTIVE) {
                DoDeactivate();
                return 0;
            }
            if (!HIWORD(wp)) {
                // The focus first, so OnActivate can move it elsewhere.
                if (activeControl_ && activeControl_->CanFocus())
                    ::SetFocus(activeControl_->handle_);
                else
                    SelectNext(nullptr, true, true);
                if (!GetFocus() || !IsChild(handle_, GetFocus())) ::SetFocus(handle_);
                DoActivate();
            }
            return 0;
        case WM_ACTIVATEAPP:
            Application.ActivateApp(wp != FALSE);
            break;
        case WM_SETFOCUS:
            if (activeControl_ && activeControl_->CanFocus()) ::SetFocus(activeControl_->handle_);
            return 0;
        case WM_COMMAND:
            if (lp == 0 && HIWORD(wp) == 0 && menu_ && menu_->DispatchCommand(LOWORD(wp))) return 0;
            break;
        case WM_WINDOWPOSCHANGED: {
            LRESULT r = TCustomControl::WndProc(msg, wp, lp);
            auto* pos = reinterpret_cast<WINDOWPOS*>(lp);
            if (pos->flags & SWP_SHOWWINDOW) visible_ = true;
            if (pos->flags & SWP_HIDEWINDOW) visible_ = false;
            return r;
        }
        case WM_DESTROY:
            // Owned windows such as the tooltip are gone already.
            tooltip_.release();
            hintTools_.clear();
            if (IsMainForm()) {
                Application.MainFormHandle = nullptr;
                Application.Terminate();
            }
            break;
    }
    return TCustomControl::WndProc(msg, wp, lp);
}

}  // namespace cls
