// Controls of the windows: TControl holds what every control has (place,
// visibility, font, colour, hint, cursor, mouse events); TWinControl owns a
// window and the controls inside it; TGraphicControl has no window and is
// painted and fed mouse input by its parent; TCustomControl is a window of
// our own class that does that painting, double-buffered.
//
// Each window finds its object through a pointer kept in the window's own
// data (a window property), and system controls are subclassed with the
// object as reference data, so no global map is involved.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "classlib/AlignLayout.h"
#include "classlib/Colors.h"
#include "classlib/Component.h"
#include "classlib/Events.h"
#include "classlib/Font.h"
#include "classlib/Raii.h"

namespace cls {

class TWinControl;
class TForm;
class TPopupMenu;

enum TMouseButton { mbLeft, mbRight, mbMiddle };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };

using TShiftState = unsigned;
constexpr TShiftState ssShift = 1;
constexpr TShiftState ssAlt = 2;
constexpr TShiftState ssCtrl = 4;
constexpr TShiftState ssLeft = 8;
constexpr TShiftState ssRight = 16;
constexpr TShiftState ssMiddle = 32;
constexpr TShiftState ssDouble = 64;

// Shift, Ctrl and Alt as of the input message being handled; with
// GetAsyncKeyState, as the keyboard holds them this moment.
TShiftState KeyboardShiftState(SHORT(WINAPI* keyState)(int) = GetKeyState);
// The keys and buttons a mouse message's wParam reports.
TShiftState MouseShiftState(WPARAM wp);

enum TCursor {
    crDefault,  // the window class's cursor
    crArrow,
    crHandPoint,
    crIBeam,
    crHourGlass,
    crAppStart,
    crNo,
    crCross,
    crSizeAll,
    crSizeWE,
    crSizeNS,
    crHelp,
};
// Null for crDefault.
HCURSOR CursorHandle(TCursor cursor);

using TMouseEvent = std::function<void(TComponent* sender, TMouseButton button, TShiftState shift,
                                       int x, int y)>;
using TMouseMoveEvent = std::function<void(TComponent* sender, TShiftState shift, int x, int y)>;
using TKeyEvent = std::function<void(TComponent* sender, WORD& key, TShiftState shift)>;
using TKeyPressEvent = std::function<void(TComponent* sender, wchar_t& key)>;

// A window message as a handler sees it. Default processing still follows
// unless the handler sets Handled.
struct TMessage {
    UINT Msg;
    WPARAM WParam;
    LPARAM LParam;
    LRESULT Result = 0;
    bool Handled = false;
};
using TMessageHandler = std::function<void(TMessage& msg)>;

// What every control of a form resource states; the class's own settings
// follow in its Props.
struct TControlProps {
    std::wstring Name;
    int Left = 0;
    int Top = 0;
    int Width = -1;  // -1: the class's default size
    int Height = -1;
    TAlign Align = alNone;
    bool Visible = true;
    bool Enabled = true;
    std::wstring Hint;
    bool ShowHint = false;
    TCursor Cursor = crDefault;
    int Tag = 0;
    std::optional<TColor> Color;    // unset: the parent's colour or the class's own
    std::optional<TFontSpec> Font;  // applied over the parent's font
    std::optional<int> TabOrder;    // window controls only
    std::optional<bool> TabStop;
    std::wstring HelpKeyword;
    TPopupMenu* PopupMenu = nullptr;
};

class TControl : public TComponent {
public:
    explicit TControl(TComponent* owner);
    ~TControl() override;

    TWinControl* Parent() const { return parent_; }
    virtual void SetParent(TWinControl* parent);
    // The form the control sits on; a form answers itself.
    TForm* ParentForm() const;

    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
    void SetTop(int v) { SetBounds(left_, v, width_, height_); }
    void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
    void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
    virtual void SetBounds(int left, int top, int width, int height);
    RECT BoundsRect() const { return {left_, top_, left_ + width_, top_ + height_}; }
    virtual int ClientWidth() const { return width_; }
    virtual int ClientHeight() const { return height_; }
    RECT ClientRect() const { return {0, 0, ClientWidth(), ClientHeight()}; }

    TAlign Align() const { return align_; }
    void SetAlign(TAlign align);
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Visible here and in every parent, on a window that is shown.
    virtual bool Showing() const;
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);

    virtual std::wstring Caption() const { return caption_; }
    void SetCaption(const std::wstring& caption);

    TFont& Font() { return font_; }
    const TFont& Font() const { return font_; }
    bool ParentFont() const { return parentFont_; }
    void SetParentFont(bool value);
    TColor Color() const { return color_; }
    void SetColor(TColor color);
    bool ParentColor() const { return parentColor_; }

    const std::wstring& Hint() const { return hint_; }
    void SetHint(const std::wstring& hint);
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool value);
    TCursor Cursor() const { return cursor_; }
    void SetCursor(TCursor cursor);

    int Tag = 0;
    std::wstring HelpKeyword;
    // Shown on a right click (the context-menu key included).
    TPopupMenu* PopupMenu = nullptr;

    virtual void Invalidate() = 0;
    // Paints what is pending now.
    void Update();
    void Repaint() {
        Invalidate();
        Update();
    }
    POINT ClientToScreen(POINT p) const;
    POINT ScreenToClient(POINT p) const;
    // Top or bottom of the z-order among the parent's controls.
    virtual void BringToFront();
    virtual void SendToBack();

    // The settings of a form resource; the parent is set afterwards.
    void ApplyCommon(const TControlProps& props);

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;

    virtual void DoClick();
    virtual void DoDblClick();
    virtual void DoMouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void DoMouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void DoMouseMove(TShiftState shift, int x, int y);
    virtual void DoMouseEnter();
    virtual void DoMouseLeave();

public:
    // False when the control shows its hint itself (tool buttons).
    virtual bool HintByForm() const { return true; }

protected:
    // Hooks run after a property changed.
    virtual void BoundsChanged(const RECT& old) {}
    virtual void VisibleChanged() {}
    virtual void EnabledChanged() {}
    virtual void FontChanged() {}
    virtual void ColorChanged() {}
    virtual void CaptionChanged() {}
    // The window and point a cursor or hint of this control belongs to.
    virtual HWND HostWindow() const;
    // Where the control's client area starts in HostWindow's client area.
    virtual POINT HostOffset() const;
    // Tells the form's tooltip about the hint, place or visibility.
    void UpdateHintTool();
    // Takes over the parent's font and colour where the control follows them.
    void TakeParentLooks();

    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    TAlign align_ = alNone;
    bool visible_ = true;
    bool enabled_ = true;
    std::wstring caption_;
    std::wstring hint_;
    bool showHint_ = false;
    TCursor cursor_ = crDefault;
    TFont font_;
    bool parentFont_ = true;
    TColor color_ = clBtnFace;
    bool parentColor_ = true;

private:
    friend class TWinControl;
    void ParentFontChanged(const TFont& font);
    void ParentColorChanged(TColor color);

    TWinControl* parent_ = nullptr;
    bool followingParent_ = false;

protected:
    // False once the control is destroyed; copied before calling handlers
    // that may free it.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// A control without a window: its parent paints it and passes it the mouse
// input that falls on it. Coordinates in Paint start at its top-left corner.
// Its parent is a TCustomControl (form, panel, scroll box); system controls
// do not paint such children.
class TGraphicControl : public TControl {
public:
    using TControl::TControl;

    void Invalidate() override;
    virtual void Paint(HDC dc) {}

protected:
    void BoundsChanged(const RECT& old) override;
    void VisibleChanged() override;
    void EnabledChanged() override { Invalidate(); }
    void FontChanged() override { Invalidate(); }
    void ColorChanged() override { Invalidate(); }
    void CaptionChanged() override { Invalidate(); }
};

// How a window control's window is made.
struct TCreateParams {
    std::wstring ClassName;
    DWORD Style = WS_CHILD | WS_CLIPSIBLINGS;
    DWORD ExStyle = 0;
    // Our own class (registered on first use, window procedure of this
    // library); otherwise a system class that is subclassed.
    bool OwnClass = false;
    UINT ClassStyle = CS_DBLCLKS;
    HBRUSH Background = nullptr;
    HICON Icon = nullptr;
    HICON SmallIcon = nullptr;
    // Owner of a top-level window; parent of a child without a Parent.
    HWND ParentWindow = nullptr;
};

class TWinControl : public TControl {
public:
    explicit TWinControl(TComponent* owner);
    ~TWinControl() override;

    // Makes the window when it does not exist yet; a child needs a parent.
    HWND Handle();
    bool HandleAllocated() const { return handle_ != nullptr; }
    // The object behind one of our windows, or null for any other window.
    static TWinControl* FromHandle(HWND window);
    // Ours for the window or the nearest window above it.
    static TWinControl* FindControl(HWND window);

    int ControlCount() const { return static_cast<int>(controls_.size()); }
    TControl* Controls(int index) const { return controls_.at(index); }

    void SetParent(TWinControl* parent) override;
    int ClientWidth() const override;
    int ClientHeight() const override;
    bool Showing() const override;
    std::wstring Caption() const override;
    void Invalidate() override;
    void BringToFront() override;
    void SendToBack() override;

    bool Focused() const;
    // Visible and enabled, and so is every parent up to a shown form.
    virtual bool CanFocus() const;
    // Does nothing when the control cannot take the focus.
    void SetFocus();
    void SetTabOrder(int order);
    bool TabStop() const { return tabStop_; }
    void SetTabStop(bool value);
    // The window controls inside, in tab order.
    const std::vector<TWinControl*>& TabList() const { return tabList_; }

    // Places the aligned controls inside.
    void Realign();
    // The control without a window at a client point (the topmost one).
    TControl* ControlAtPos(POINT p, bool allowDisabled) const;

    // Runs before the class's own handling of the message.
    void SetMessageHandler(UINT msg, TMessageHandler handler);
    LRESULT Perform(UINT msg, WPARAM wp = 0, LPARAM lp = 0);

    TKeyEvent OnKeyDown;
    TKeyEvent OnKeyUp;
    TKeyPressEvent OnKeyPress;
    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;

    virtual void DoKeyDown(WORD& key, TShiftState shift);
    virtual void DoKeyUp(WORD& key, TShiftState shift);
    virtual void DoKeyPress(wchar_t& key);
    virtual void DoEnter();
    virtual void DoExit();

protected:
    virtual void CreateParams(TCreateParams& params);
    void CreateHandle();
    // The window exists: give it the state kept so far.
    virtual void HandleCreated();
    virtual LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp);
    LRESULT DefaultHandler(UINT msg, WPARAM wp, LPARAM lp);
    // Notifications a child window sent its parent, handed back to the child.
    virtual bool CommandNotify(WORD code, WORD id) { return false; }
    virtual bool Notify(NMHDR& header, LRESULT& result) { return false; }
    // Colours of a system control's text and background; null leaves the
    // system's choice.
    virtual HBRUSH CtlColor(HDC dc) { return nullptr; }
    // Controls that fire OnClick themselves (buttons) say false.
    virtual bool ClickOnMouseUp() const { return true; }
    // The area the aligned controls fill.
    virtual RECT AlignRect() const { return ClientRect(); }
    // A control inside was added, removed, moved, resized, shown or hidden.
    virtual void ControlsChanged() {}
    // The window's size; a combo box adds its drop-down list.
    virtual SIZE WindowSize() const { return {width_, height_}; }
    // A brush of the control's colour, kept until the colour changes.
    HBRUSH ColorBrush();

    void BoundsChanged(const RECT& old) override;
    void VisibleChanged() override;
    void EnabledChanged() override;
    void FontChanged() override;
    void ColorChanged() override;
    void CaptionChanged() override;
    HWND HostWindow() const override { return handle_; }
    POINT HostOffset() const override { return {0, 0}; }

    // The window moved or changed size on its own (user, system).
    void ReadBoundsFromWindow();

private:
    friend class TControl;
    friend class TForm;
    static LRESULT CALLBACK ClassWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                         DWORD_PTR ref);
    LRESULT Dispatch(UINT msg, WPARAM wp, LPARAM lp);
    void Attach(HWND hwnd);
    void Detach();
    void InsertControl(TControl* control);
    void RemoveControl(TControl* control);
    LRESULT MouseMessage(UINT msg, WPARAM wp, LPARAM lp);
    bool KeyMessage(UINT msg, WPARAM& wp);
    void SetMouseControl(TControl* control);
    void ApplyZOrder(TControl* control);

    HWND handle_ = nullptr;
    bool ownClass_ = false;
    bool destroying_ = false;
    std::vector<TControl*> controls_;  // z-order: later ones on top
    std::vector<TWinControl*> tabList_;
    bool tabStop_ = false;
    std::vector<std::pair<UINT, TMessageHandler>> handlers_;
    bool aligning_ = false;
    TControl* mouseControl_ = nullptr;    // under the mouse: this or a child without window
    TControl* captureControl_ = nullptr;  // child without window holding the mouse
    bool mouseTracked_ = false;
    bool clicked_ = false;
    cls::Brush brush_;
    TColor brushColor_ = clNone;
};

// A window of our own class: it fills its background with its colour,
// paints itself and its controls without window into one buffer and then
// onto the screen.
class TCustomControl : public TWinControl {
public:
    using TWinControl::TWinControl;

    // Paints the client area into a device context, as WM_PRINTCLIENT does.
    void PaintTo(HDC dc);

protected:
    void CreateParams(TCreateParams& params) override;
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
    // Drawn over the background; coordinates are client coordinates.
    virtual void Paint(HDC dc, const RECT& client) {}
    void PaintControls(HDC dc, const RECT& clip);
};

// Makes a control of a form resource: owned by the parent's form, its
// settings applied, then placed on the parent.
template <class T>
T* NewOwned(TComponent* owner, TWinControl* parent, const TControlProps& common,
            const typename T::Props& props = {}) {
    T* control = new T(owner);
    control->ApplyCommon(common);
    control->SetProps(props);
    if (parent) control->SetParent(parent);
    if constexpr (std::is_base_of_v<TWinControl, T>)
        if (common.TabOrder) control->SetTabOrder(*common.TabOrder);
    // The font settings go over the font taken from the parent.
    if (common.Font) control->Font().Apply(*common.Font);
    return control;
}
// The owner a control of a form resource gets: the parent's form.
TComponent* DefaultOwner(TWinControl* parent);
template <class T>
T* New(TWinControl* parent, const TControlProps& common, const typename T::Props& props = {}) {
    return NewOwned<T>(DefaultOwner(parent), parent, common, props);
}

}  // namespace cls
