#include "Controls.h"

#include <commctrl.h>

#include <algorithm>
#include <stdexcept>

#include "classlib/Application.h"
#include "classlib/Forms.h"
#include "classlib/Menus.h"

namespace cls {

namespace {

// The window property that leads from a window to its object.
const wchar_t* const ControlProp = L"cls.TWinControl";

template <class V, class T>
void Erase(V& v, T* item) {
    v.erase(std::remove(v.begin(), v.end(), item), v.end());
}

// Signed coordinates of a mouse message.
int XOf(LPARAM lp) { return static_cast<short>(LOWORD(lp)); }
int YOf(LPARAM lp) { return static_cast<short>(HIWORD(lp)); }

bool ContainsFocus(HWND window) {
    HWND f = GetFocus();
    return f && (f == window || IsChild(window, f));
}

}  // namespace

TShiftState KeyboardShiftState(SHORT(WINAPI* keyState)(int)) {
    TShiftState s = 0;
    if (keyState(VK_SHIFT) < 0) s |= ssShift;
    if (keyState(VK_CONTROL) < 0) s |= ssCtrl;
    if (keyState(VK_MENU) < 0) s |= ssAlt;
    return s;
}

TShiftState MouseShiftState(WPARAM wp) {
    TShiftState s = 0;
    if (wp & MK_SHIFT) s |= ssShift;
    if (wp & MK_CONTROL) s |= ssCtrl;
    if (wp & MK_LBUTTON) s |= ssLeft;
    if (wp & MK_RBUTTON) s |= ssRight;
    if (wp & MK_MBUTTON) s |= ssMiddle;
    if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
    return s;
}

HCURSOR CursorHandle(TCursor cursor) {
    const wchar_t* id = nullptr;
    switch (cursor) {
        case crDefault: return nullptr;
        case crArrow: id = IDC_ARROW; break;
        case crHandPoint: id = IDC_HAND; break;
        case crIBeam: id = IDC_IBEAM; break;
        case crHourGlass: id = IDC_WAIT; break;
        case crAppStart: id = IDC_APPSTARTING; break;
        case crNo: id = IDC_NO; break;
        case crCross: id = IDC_CROSS; break;
        case crSizeAll: id = IDC_SIZEALL; break;
        case crSizeWE: id = IDC_SIZEWE; break;
        case crSizeNS: id = IDC_SIZENS; break;
        case crHelp: id = IDC_HELP; break;
    }
    return LoadCursorW(nullptr, id);
}

TComponent* DefaultOwner(TWinControl* parent) {
    if (!parent) return nullptr;
    if (TForm* form = parent->ParentForm()) return form;
    return parent;
}

// --- TControl ------------------------------------------------------------------

TControl::TControl(TComponent* owner) : TComponent(owner) {
    font_.OnChange = [this] {
        if (!followingParent_) parentFont_ = false;
        FontChanged();
    };
}

TControl::~TControl() {
    *alive_ = false;
    if (parent_) {
        if (TForm* form = ParentForm(); form && form != this) form->RemoveHintTool(this);
        parent_->RemoveControl(this);
        parent_ = nullptr;
    }
}

void TControl::SetParent(TWinControl* parent) {
    if (parent == parent_) return;
    if (parent_) {
        if (TForm* form = ParentForm(); form && form != this) form->RemoveHintTool(this);
        parent_->RemoveControl(this);
    }
    parent_ = parent;
    if (parent_) {
        parent_->InsertControl(this);
        TakeParentLooks();
        UpdateHintTool();
    }
}

TForm* TControl::ParentForm() const {
    const TControl* c = this;
    while (c->parent_) c = c->parent_;
    return dynamic_cast<TForm*>(const_cast<TControl*>(c));
}

void TControl::SetBounds(int left, int top, int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (left == left_ && top == top_ && width == width_ && height == height_) return;
    RECT old = BoundsRect();
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    BoundsChanged(old);
    if (align_ != alNone && align_ != alCustom && parent_) parent_->Realign();
    if (parent_) parent_->ControlsChanged();
}

void TControl::SetAlign(TAlign align) {
    if (align == align_) return;
    align_ = align;
    if (parent_) parent_->Realign();
}

void TControl::SetVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    VisibleChanged();
    if (align_ != alNone && align_ != alCustom && parent_) parent_->Realign();
    if (parent_) parent_->ControlsChanged();
    UpdateHintTool();
}

bool TControl::Showing() const { return visible_ && parent_ && parent_->Showing(); }

void TControl::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    EnabledChanged();
}

void TControl::SetCaption(const std::wstring& caption) {
    if (caption == Caption()) return;
    caption_ = caption;
    CaptionChanged();
}

void TControl::SetParentFont(bool value) {
    parentFont_ = value;
    if (value) TakeParentLooks();
}

void TControl::SetColor(TColor color) {
    parentColor_ = false;
    if (color == color_) return;
    color_ = color;
    ColorChanged();
}

void TControl::SetHint(const std::wstring& hint) {
    if (hint == hint_) return;
    hint_ = hint;
    UpdateHintTool();
}

void TControl::SetShowHint(bool value) {
    if (value == showHint_) return;
    showHint_ = value;
    UpdateHintTool();
}

void TControl::SetCursor(TCursor cursor) {
    if (cursor == cursor_) return;
    cursor_ = cursor;
    // Take effect at once when the mouse is over the control.
    HWND host = HostWindow();
    POINT p;
    if (host && GetCursorPos(&p) && WindowFromPoint(p) == host)
        SendMessageW(host, WM_SETCURSOR, reinterpret_cast<WPARAM>(host), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
}

void TControl::Update() {
    if (HWND h = HostWindow()) UpdateWindow(h);
}

POINT TControl::ClientToScreen(POINT p) const {
    POINT o = HostOffset();
    p.x += o.x;
    p.y += o.y;
    if (HWND h = HostWindow()) ::ClientToScreen(h, &p);
    return p;
}

POINT TControl::ScreenToClient(POINT p) const {
    if (HWND h = HostWindow()) ::ScreenToClient(h, &p);
    POINT o = HostOffset();
    p.x -= o.x;
    p.y -= o.y;
    return p;
}

void TControl::BringToFront() {
    if (!parent_) return;
    auto& v = parent_->controls_;
    Erase(v, this);
    v.push_back(this);
    parent_->ApplyZOrder(this);
}

void TControl::SendToBack() {
    if (!parent_) return;
    auto& v = parent_->controls_;
    Erase(v, this);
    v.insert(v.begin(), this);
    parent_->ApplyZOrder(this);
}

void TControl::ApplyCommon(const TControlProps& p) {
    Name = p.Name;
    SetBounds(p.Left, p.Top, p.Width >= 0 ? p.Width : width_, p.Height >= 0 ? p.Height : height_);
    align_ = p.Align;
    SetVisible(p.Visible);
    SetEnabled(p.Enabled);
    hint_ = p.Hint;
    showHint_ = p.ShowHint;
    cursor_ = p.Cursor;
    Tag = p.Tag;
    if (p.Color) SetColor(*p.Color);
    HelpKeyword = p.HelpKeyword;
    PopupMenu = p.PopupMenu;
    // The tab order needs the parent: NewOwned sets it once placed.
    if (auto* w = dynamic_cast<TWinControl*>(this); w && p.TabStop) w->SetTabStop(*p.TabStop);
}

void TControl::DoClick() {
    if (OnClick) OnClick(this);
}
void TControl::DoDblClick() {
    if (OnDblClick) OnDblClick(this);
}
void TControl::DoMouseDown(TMouseButton b, TShiftState s, int x, int y) {
    if (OnMouseDown) OnMouseDown(this, b, s, x, y);
}
void TControl::DoMouseUp(TMouseButton b, TShiftState s, int x, int y) {
    if (OnMouseUp) OnMouseUp(this, b, s, x, y);
}
void TControl::DoMouseMove(TShiftState s, int x, int y) {
    if (OnMouseMove) OnMouseMove(this, s, x, y);
}
void TControl::DoMouseEnter() {
    if (OnMouseEnter) OnMouseEnter(this);
}
void TControl::DoMouseLeave() {
    if (OnMouseLeave) OnMouseLeave(this);
}

HWND TControl::HostWindow() const { return parent_ ? parent_->handle_ : nullptr; }

POINT TControl::HostOffset() const { return {left_, top_}; }

void TControl::UpdateHintTool() {
    if (TForm* form = ParentForm(); form && form != this) form->UpdateHintTool(this);
}

void TControl::TakeParentLooks() {
    if (!parent_) return;
    if (parentFont_) ParentFontChanged(parent_->font_);
    if (parentColor_) ParentColorChanged(parent_->color_);
}

void TControl::ParentFontChanged(const TFont& font) {
    if (!parentFont_) return;
    followingParent_ = true;
    font_ = font;
    followingParent_ = false;
}

void TControl::ParentColorChanged(TColor color) {
    if (!parentColor_ || color == color_) return;
    color_ = color;
    ColorChanged();
}

// --- TGraphicControl -----------------------------------------------------------

void TGraphicControl::Invalidate() {
    if (!Parent() || !Parent()->HandleAllocated()) return;
    RECT r = BoundsRect();
    InvalidateRect(HostWindow(), &r, FALSE);
}

void TGraphicControl::BoundsChanged(const RECT& old) {
    if (HWND host = HostWindow(); host && visible_) {
        InvalidateRect(host, &old, FALSE);
        Invalidate();
    }
    UpdateHintTool();
}

void TGraphicControl::VisibleChanged() {
    if (HWND host = HostWindow()) {
        RECT r = BoundsRect();
        InvalidateRect(host, &r, FALSE);
    }
}

// --- TWinControl -------------------------------------------------------------------

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
    destroying_ = true;
    // Child controls go with their parent.
    while (!controls_.empty()) delete controls_.back();
    if (handle_) {
        HWND h = handle_;
        Detach();
        DestroyWindow(h);
    }
}

HWND TWinControl::Handle() {
    if (!handle_) CreateHandle();
    return handle_;
}

TWinControl* TWinControl::FromHandle(HWND window) {
    if (!window) return nullptr;
    return static_cast<TWinControl*>(GetPropW(window, ControlProp));
}

TWinControl* TWinControl::FindControl(HWND window) {
    for (HWND h = window; h; h = GetAncestor(h, GA_PARENT)) {
        if (TWinControl* c = FromHandle(h)) return c;
        if (!(GetWindowLongW(h, GWL_STYLE) & WS_CHILD)) break;
    }
    return nullptr;
}

void TWinControl::CreateParams(TCreateParams& p) {
    p.Style = WS_CHILD | WS_CLIPSIBLINGS;
}

void TWinControl::CreateHandle() {
    if (handle_) return;
    TCreateParams p;
    CreateParams(p);
    HWND parentWindow = p.ParentWindow;
    bool child = (p.Style & WS_CHILD) != 0;
    if (child) {
        // A control may sit in a window that is not one of ours.
        if (Parent()) parentWindow = Parent()->Handle();
        if (!parentWindow) return;
        if (visible_) p.Style |= WS_VISIBLE;
    }
    if (!enabled_) p.Style |= WS_DISABLED;
    if (tabStop_) p.Style |= WS_TABSTOP;
    HINSTANCE inst = GetModuleHandleW(nullptr);
    ownClass_ = p.OwnClass;
    if (ownClass_) {
        WNDCLASSEXW wc = {sizeof(wc)};
        if (!GetClassInfoExW(inst, p.ClassName.c_str(), &wc)) {
            wc = {sizeof(wc)};
            wc.style = p.ClassStyle;
            wc.lpfnWndProc = &TWinControl::ClassWndProc;
            wc.hInstance = inst;
            wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
            wc.hbrBackground = p.Background;
            wc.hIcon = p.Icon;
            wc.hIconSm = p.SmallIcon;
            wc.lpszClassName = p.ClassName.c_str();
            RegisterClassExW(&wc);
        }
    }
    static UINT_PTR nextId = 100;
    SIZE size = WindowSize();
    HWND h = CreateWindowExW(p.ExStyle, p.ClassName.c_str(), caption_.c_str(), p.Style, left_, top_,
                             size.cx, size.cy, parentWindow,
                             child ? reinterpret_cast<HMENU>(nextId++) : nullptr, inst, this);
    if (!h) throw std::runtime_error("cannot create window");
    if (!ownClass_) Attach(h);
    SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Handle()), FALSE);
    if (child) {
        // Later controls lie above earlier ones.
        if (Parent()) Parent()->ApplyZOrder(this);
        ReadBoundsFromWindow();
    }
    HandleCreated();
    for (size_t i = 0; i < controls_.size(); ++i)
        if (auto* w = dynamic_cast<TWinControl*>(controls_[i])) w->CreateHandle();
    Realign();
    UpdateHintTool();
    for (TControl* c : controls_)
        if (!dynamic_cast<TWinControl*>(c)) c->UpdateHintTool();
}

void TWinControl::HandleCreated() {}

void TWinControl::Attach(HWND hwnd) {
    handle_ = hwnd;
    SetPropW(hwnd, ControlProp, this);
    if (!ownClass_) SetWindowSubclass(hwnd, &TWinControl::SubclassProc, 0, reinterpret_cast<DWORD_PTR>(this));
}

void TWinControl::Detach() {
    if (!handle_) return;
    RemovePropW(handle_, ControlProp);
    if (!ownClass_) RemoveWindowSubclass(handle_, &TWinControl::SubclassProc, 0);
    handle_ = nullptr;
    mouseControl_ = nullptr;
    captureControl_ = nullptr;
    mouseTracked_ = false;
}

LRESULT CALLBACK TWinControl::ClassWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    TWinControl* self;
    if (msg == WM_NCCREATE) {
        self = static_cast<TWinControl*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        if (self) self->Attach(hwnd);
    } else {
        self = FromHandle(hwnd);
    }
    if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
    return self->Dispatch(msg, wp, lp);
}

LRESULT CALLBACK TWinControl::SubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                           DWORD_PTR ref) {
    return reinterpret_cast<TWinControl*>(ref)->Dispatch(msg, wp, lp);
}

LRESULT TWinControl::Dispatch(UINT msg, WPARAM wp, LPARAM lp) {
    // Every event handler runs below this point: what it lets out is
    // reported by the application, never unwound through the system.
    if (msg == WM_NCDESTROY) {
        LRESULT r = GuardedDispatch([&] { return WndProc(msg, wp, lp); });
        Detach();
        return r;
    }
    return GuardedDispatch([&]() -> LRESULT {
        for (size_t i = 0; i < handlers_.size(); ++i) {
            if (handlers_[i].first != msg) continue;
            TMessage m{msg, wp, lp};
            auto alive = alive_;
            TMessageHandler h = handlers_[i].second;
            h(m);
            if (!*alive || m.Handled) return m.Result;
        }
        return WndProc(msg, wp, lp);
    });
}

LRESULT TWinControl::DefaultHandler(UINT msg, WPARAM wp, LPARAM lp) {
    if (!handle_) return 0;
    if (ownClass_) return DefWindowProcW(handle_, msg, wp, lp);
    return DefSubclassProc(handle_, msg, wp, lp);
}

void TWinControl::SetMessageHandler(UINT msg, TMessageHandler handler) {
    for (auto& h : handlers_)
        if (h.first == msg) {
            h.second = std::move(handler);
            return;
        }
    handlers_.emplace_back(msg, std::move(handler));
}

LRESULT TWinControl::Perform(UINT msg, WPARAM wp, LPARAM lp) {
    HWND h = Handle();
    return h ? SendMessageW(h, msg, wp, lp) : 0;
}

LRESULT TWinControl::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_COMMAND:
            if (lp) {
                TWinControl* c = FromHandle(reinterpret_cast<HWND>(lp));
                if (c && c != this && c->CommandNotify(HIWORD(wp), LOWORD(wp))) return 0;
            }
            break;
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<NMHDR*>(lp);
            TWinControl* c = FromHandle(header->hwndFrom);
            LRESULT result = 0;
            if (c && c != this && c->Notify(*header, result)) return result;
            break;
        }
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORLISTBOX: {
            TWinControl* c = FromHandle(reinterpret_cast<HWND>(lp));
            if (c && c != this)
                if (HBRUSH b = c->CtlColor(reinterpret_cast<HDC>(wp))) return reinterpret_cast<LRESULT>(b);
            break;
        }
        case WM_SETFOCUS:
            if (TForm* form = ParentForm(); form && form != this) form->ControlFocused(this);
            break;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
        case WM_KEYUP:
        case WM_SYSKEYUP:
        case WM_CHAR:
            if (!KeyMessage(msg, wp)) return 0;
            break;
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONUP:
        case WM_MBUTTONDBLCLK:
            return MouseMessage(msg, wp, lp);
        case WM_MOUSELEAVE:
            mouseTracked_ = false;
            if (TControl* old = mouseControl_) {
                mouseControl_ = nullptr;
                old->DoMouseLeave();
            }
            break;
        case WM_CAPTURECHANGED:
            captureControl_ = nullptr;
            break;
        case WM_SETCURSOR:
            if (LOWORD(lp) == HTCLIENT && reinterpret_cast<HWND>(wp) == handle_) {
                POINT p;
                GetCursorPos(&p);
                ::ScreenToClient(handle_, &p);
                TControl* c = ControlAtPos(p, true);
                TCursor cursor = c && c->cursor_ != crDefault ? c->cursor_ : cursor_;
                if (cursor != crDefault) {
                    ::SetCursor(CursorHandle(cursor));
                    return TRUE;
                }
            }
            break;
        case WM_CONTEXTMENU: {
            POINT p = {XOf(lp), YOf(lp)};
            TControl* target = this;
            if (p.x == -1 && p.y == -1) {
                p = ClientToScreen({ClientWidth() / 2, ClientHeight() / 2});
            } else if (reinterpret_cast<HWND>(wp) == handle_) {
                POINT c = p;
                ::ScreenToClient(handle_, &c);
                if (TControl* g = ControlAtPos(c, false); g && g->PopupMenu) target = g;
            }
            if (target->PopupMenu && target->PopupMenu->AutoPopup) {
                target->PopupMenu->PopupComponent = target;
                target->PopupMenu->Popup(p.x, p.y);
                return 0;
            }
            break;
        }
        case WM_SIZE: {
            LRESULT r = DefaultHandler(msg, wp, lp);
            Realign();
            return r;
        }
        case WM_WINDOWPOSCHANGED: {
            LRESULT r = DefaultHandler(msg, wp, lp);
            ReadBoundsFromWindow();
            return r;
        }
    }
    return DefaultHandler(msg, wp, lp);
}

bool TWinControl::KeyMessage(UINT msg, WPARAM& wp) {
    TForm* form = ParentForm();
    bool preview = form && form != this && form->KeyPreview;
    auto alive = alive_;
    if (msg == WM_CHAR) {
        auto ch = static_cast<wchar_t>(wp);
        if (preview) form->DoKeyPress(ch);
        if (ch && *alive) DoKeyPress(ch);
        if (!*alive) return false;
        wp = ch;
        return ch != 0;
    }
    WORD key = static_cast<WORD>(wp);
    TShiftState shift = KeyboardShiftState();
    bool down = msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN;
    if (preview) down ? form->DoKeyDown(key, shift) : form->DoKeyUp(key, shift);
    if (key && *alive) down ? DoKeyDown(key, shift) : DoKeyUp(key, shift);
    if (!*alive) return false;
    wp = key;
    return key != 0;
}

LRESULT TWinControl::MouseMessage(UINT msg, WPARAM wp, LPARAM lp) {
    POINT p = {XOf(lp), YOf(lp)};
    TShiftState shift = MouseShiftState(wp);
    TControl* target = captureControl_ ? captureControl_ : ControlAtPos(p, false);
    bool self = target == nullptr;
    if (self) target = this;
    int x = self ? p.x : p.x - target->left_;
    int y = self ? p.y : p.y - target->top_;
    auto alive = alive_;
    auto targetAlive = target->alive_;

    if (msg == WM_MOUSEMOVE) {
        if (!mouseTracked_ && handle_) {
            TRACKMOUSEEVENT t = {sizeof(t), TME_LEAVE, handle_, 0};
            mouseTracked_ = TrackMouseEvent(&t) != FALSE;
        }
        SetMouseControl(target);
        LRESULT r = self && *alive ? DefaultHandler(msg, wp, lp) : 0;
        if (*targetAlive) target->DoMouseMove(shift, x, y);
        return r;
    }

    TMouseButton button = mbLeft;
    if (msg == WM_RBUTTONDOWN || msg == WM_RBUTTONUP || msg == WM_RBUTTONDBLCLK) button = mbRight;
    if (msg == WM_MBUTTONDOWN || msg == WM_MBUTTONUP || msg == WM_MBUTTONDBLCLK) button = mbMiddle;
    bool dbl = msg == WM_LBUTTONDBLCLK || msg == WM_RBUTTONDBLCLK || msg == WM_MBUTTONDBLCLK;
    bool down = dbl || msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN || msg == WM_MBUTTONDOWN;

    // The system control handles the button first (focus, caret, capture).
    LRESULT r = self ? DefaultHandler(msg, wp, lp) : 0;
    if (!*alive) return r;
    if (down) {
        if (button == mbLeft) {
            if (self) {
                clicked_ = ClickOnMouseUp();
                if (ownClass_) SetCapture(handle_);
            } else {
                SetCapture(handle_);
                captureControl_ = target;
            }
        }
        target->DoMouseDown(button, dbl ? shift | ssDouble : shift, x, y);
        if (dbl && button == mbLeft && *targetAlive) target->DoDblClick();
        return r;
    }
    bool inside = x >= 0 && y >= 0 && x < target->ClientWidth() && y < target->ClientHeight();
    if (button == mbLeft) {
        bool click = self ? clicked_ : captureControl_ == target;
        clicked_ = false;
        captureControl_ = nullptr;
        if (GetCapture() == handle_ && (ownClass_ || !self)) ReleaseCapture();
        if (click && inside) target->DoClick();
    }
    if (*targetAlive) target->DoMouseUp(button, shift, x, y);
    return r;
}

void TWinControl::SetMouseControl(TControl* control) {
    if (control == mouseControl_) return;
    TControl* old = mouseControl_;
    mouseControl_ = control;
    auto alive = control->alive_;
    if (old) old->DoMouseLeave();
    if (*alive) control->DoMouseEnter();
}

TControl* TWinControl::ControlAtPos(POINT p, bool allowDisabled) const {
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
        TControl* c = *it;
        if (!dynamic_cast<TGraphicControl*>(c)) continue;
        if (!c->visible_ || (!allowDisabled && !c->enabled_)) continue;
        RECT r = c->BoundsRect();
        if (PtInRect(&r, p)) return c;
    }
    return nullptr;
}

void TWinControl::SetParent(TWinControl* parent) {
    if (parent == Parent()) return;
    TControl::SetParent(parent);
    if (!parent) {
        if (handle_) {
            ShowWindow(handle_, SW_HIDE);
            ::SetParent(handle_, nullptr);
        }
        return;
    }
    if (!parent->HandleAllocated()) return;
    if (handle_) {
        ::SetParent(handle_, parent->handle_);
        parent->ApplyZOrder(this);
        SIZE size = WindowSize();
        SetWindowPos(handle_, nullptr, left_, top_, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
        if (visible_) ShowWindow(handle_, SW_SHOWNA);
    } else {
        CreateHandle();
    }
    if (align_ != alNone && align_ != alCustom) parent->Realign();
}

void TWinControl::InsertControl(TControl* control) {
    controls_.push_back(control);
    if (auto* w = dynamic_cast<TWinControl*>(control)) tabList_.push_back(w);
    if (control->align_ != alNone && control->align_ != alCustom) Realign();
    if (auto* g = dynamic_cast<TGraphicControl*>(control)) g->Invalidate();
    ControlsChanged();
}

void TWinControl::RemoveControl(TControl* control) {
    if (auto* g = dynamic_cast<TGraphicControl*>(control); g && control->visible_) g->Invalidate();
    Erase(controls_, control);
    tabList_.erase(std::remove_if(tabList_.begin(), tabList_.end(),
                                  [&](TWinControl* w) { return static_cast<TControl*>(w) == control; }),
                   tabList_.end());
    if (mouseControl_ == control) mouseControl_ = nullptr;
    if (captureControl_ == control) {
        captureControl_ = nullptr;
        if (handle_ && GetCapture() == handle_) ReleaseCapture();
    }
    if (destroying_) return;
    if (control->align_ != alNone && control->align_ != alCustom) Realign();
    ControlsChanged();
}

void TWinControl::ApplyZOrder(TControl* control) {
    auto* w = dynamic_cast<TWinControl*>(control);
    if (!w) {
        if (auto* g = dynamic_cast<TGraphicControl*>(control)) g->Invalidate();
        return;
    }
    if (!w->handle_ || !handle_) return;
    // Just below the nearest window control listed after it, or on top.
    auto it = std::find(controls_.begin(), controls_.end(), control);
    HWND above = HWND_TOP;
    for (auto j = it + 1; it != controls_.end() && j != controls_.end(); ++j)
        if (auto* n = dynamic_cast<TWinControl*>(*j); n && n->handle_) {
            above = n->handle_;
            break;
        }
    SetWindowPos(w->handle_, above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TWinControl::BringToFront() {
    TControl::BringToFront();
    if (handle_ && !Parent()) SetWindowPos(handle_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void TWinControl::SendToBack() {
    TControl::SendToBack();
    if (handle_ && !Parent())
        SetWindowPos(handle_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

int TWinControl::ClientWidth() const {
    if (!handle_) return width_;
    RECT r;
    GetClientRect(handle_, &r);
    return r.right;
}

int TWinControl::ClientHeight() const {
    if (!handle_) return height_;
    RECT r;
    GetClientRect(handle_, &r);
    return r.bottom;
}

bool TWinControl::Showing() const { return handle_ && IsWindowVisible(handle_); }

std::wstring TWinControl::Caption() const {
    if (!handle_) return caption_;
    std::wstring s(GetWindowTextLengthW(handle_) + 1, L'\0');
    s.resize(GetWindowTextW(handle_, s.data(), static_cast<int>(s.size())));
    return s;
}

void TWinControl::Invalidate() {
    if (handle_) InvalidateRect(handle_, nullptr, TRUE);
}

bool TWinControl::Focused() const { return handle_ && GetFocus() == handle_; }

bool TWinControl::CanFocus() const {
    if (!handle_) return false;
    const TControl* top = this;
    for (const TControl* c = this; c; c = c->Parent()) {
        if (!c->visible_ || !c->enabled_) return false;
        top = c;
    }
    HWND h = static_cast<const TWinControl*>(top)->handle_;
    return h && IsWindowVisible(h) && IsWindowEnabled(h);
}

void TWinControl::SetFocus() {
    if (CanFocus()) ::SetFocus(handle_);
}

void TWinControl::SetTabOrder(int order) {
    if (!Parent()) return;
    auto& v = Parent()->tabList_;
    Erase(v, this);
    order = std::clamp(order, 0, static_cast<int>(v.size()));
    v.insert(v.begin() + order, this);
}

void TWinControl::SetTabStop(bool value) {
    tabStop_ = value;
    if (handle_) {
        LONG style = GetWindowLongW(handle_, GWL_STYLE);
        SetWindowLongW(handle_, GWL_STYLE, value ? style | WS_TABSTOP : style & ~WS_TABSTOP);
    }
}

void TWinControl::Realign() {
    if (aligning_) return;
    std::vector<TControl*> aligned;
    std::vector<AlignItem> items;
    for (TControl* c : controls_)
        if (c->visible_ && c->align_ != alNone && c->align_ != alCustom) {
            aligned.push_back(c);
            items.push_back({c->align_, c->BoundsRect()});
        }
    if (aligned.empty()) return;
    aligning_ = true;
    std::vector<RECT> rects = AlignLayout(AlignRect(), items);
    for (size_t i = 0; i < aligned.size(); ++i) {
        const RECT& r = rects[i];
        aligned[i]->SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
    }
    aligning_ = false;
}

HBRUSH TWinControl::ColorBrush() {
    if (!brush_ || brushColor_ != color_) {
        brush_.reset(CreateSolidBrush(ColorToRGB(color_)));
        brushColor_ = color_;
    }
    return brush_.get();
}

void TWinControl::BoundsChanged(const RECT& old) {
    if (!handle_) return;
    SIZE size = WindowSize();
    SetWindowPos(handle_, nullptr, left_, top_, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TWinControl::ReadBoundsFromWindow() {
    if (!handle_ || IsIconic(handle_)) return;
    RECT r;
    GetWindowRect(handle_, &r);
    if (GetWindowLongW(handle_, GWL_STYLE) & WS_CHILD)
        MapWindowPoints(HWND_DESKTOP, GetParent(handle_), reinterpret_cast<POINT*>(&r), 2);
    left_ = r.left;
    top_ = r.top;
    width_ = r.right - r.left;
    height_ = r.bottom - r.top;
}

void TWinControl::VisibleChanged() {
    if (!handle_) return;
    if (!visible_ && ContainsFocus(handle_))
        if (TForm* form = ParentForm(); form && form != this) form->DefocusControl(this);
    ShowWindow(handle_, visible_ ? SW_SHOWNA : SW_HIDE);
}

void TWinControl::EnabledChanged() {
    if (!handle_) return;
    if (!enabled_ && ContainsFocus(handle_))
        if (TForm* form = ParentForm(); form && form != this) form->DefocusControl(this);
    EnableWindow(handle_, enabled_);
    Invalidate();
}

void TWinControl::FontChanged() {
    if (handle_) SendMessageW(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Handle()), TRUE);
    for (size_t i = 0; i < controls_.size(); ++i) controls_[i]->ParentFontChanged(font_);
}

void TWinControl::ColorChanged() {
    Invalidate();
    for (size_t i = 0; i < controls_.size(); ++i) controls_[i]->ParentColorChanged(color_);
}

void TWinControl::CaptionChanged() {
    if (handle_) SetWindowTextW(handle_, caption_.c_str());
}

void TWinControl::DoKeyDown(WORD& key, TShiftState shift) {
    if (OnKeyDown) OnKeyDown(this, key, shift);
}
void TWinControl::DoKeyUp(WORD& key, TShiftState shift) {
    if (OnKeyUp) OnKeyUp(this, key, shift);
}
void TWinControl::DoKeyPress(wchar_t& key) {
    if (OnKeyPress) OnKeyPress(this, key);
}
void TWinControl::DoEnter() {
    if (OnEnter) OnEnter(this);
}
void TWinControl::DoExit() {
    if (OnExit) OnExit(this);
}

// --- TCustomControl -----------------------------------------------------------

void TCustomControl::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.ClassName = L"TCustomControl";
    p.OwnClass = true;
    p.ClassStyle = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
    p.Style |= WS_CLIPCHILDREN;
}

LRESULT TCustomControl::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(Handle(), &ps);
            RECT r = ps.rcPaint;
            int w = r.right - r.left, h = r.bottom - r.top;
            if (w > 0 && h > 0) {
                // Painted off-screen first, so moving controls do not flicker.
                MemoryDC mem(dc);
                cls::Bitmap bmp(CreateCompatibleBitmap(dc, w, h));
                mem.SelectBitmap(bmp.get());
                SetViewportOrgEx(mem.get(), -r.left, -r.top, nullptr);
                IntersectClipRect(mem.get(), r.left, r.top, r.right, r.bottom);
                FillRect(mem.get(), &r, ColorBrush());
                RECT client = ClientRect();
                Paint(mem.get(), client);
                PaintControls(mem.get(), r);
                SetViewportOrgEx(mem.get(), 0, 0, nullptr);
                BitBlt(dc, r.left, r.top, w, h, mem.get(), 0, 0, SRCCOPY);
            }
            EndPaint(Handle(), &ps);
            return 0;
        }
        case WM_PRINTCLIENT:
            PaintTo(reinterpret_cast<HDC>(wp));
            return 0;
    }
    return TWinControl::WndProc(msg, wp, lp);
}

void TCustomControl::PaintTo(HDC dc) {
    RECT client = ClientRect();
    int saved = SaveDC(dc);
    FillRect(dc, &client, ColorBrush());
    Paint(dc, client);
    PaintControls(dc, client);
    RestoreDC(dc, saved);
}

void TCustomControl::PaintControls(HDC dc, const RECT& clip) {
    for (int i = 0; i < ControlCount(); ++i) {
        auto* g = dynamic_cast<TGraphicControl*>(Controls(i));
        if (!g || !g->Visible()) continue;
        RECT r = g->BoundsRect(), common;
        if (!IntersectRect(&common, &r, &clip)) continue;
        int saved = SaveDC(dc);
        OffsetViewportOrgEx(dc, r.left, r.top, nullptr);
        IntersectClipRect(dc, 0, 0, r.right - r.left, r.bottom - r.top);
        g->Paint(dc);
        RestoreDC(dc, saved);
    }
}

}  // namespace cls
