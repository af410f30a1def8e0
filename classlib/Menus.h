// Menus: a main menu on a form's menu bar and pop-up menus, made of items
// with captions ("&" marks the hot key, "-" is a separator), check marks,
// enabled and visible states and keyboard shortcuts. Every change goes to
// the system menu at once; hidden items are left out of it.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "classlib/Component.h"
#include "classlib/Controls.h"
#include "classlib/Events.h"

namespace cls {

class TMenu;

// A key with modifiers: the virtual key in the low byte.
using TShortCut = WORD;
constexpr TShortCut scNone = 0;
constexpr TShortCut scShift = 0x2000;
constexpr TShortCut scCtrl = 0x4000;
constexpr TShortCut scAlt = 0x8000;

TShortCut ShortCut(WORD key, TShiftState shift);
// As menus show it: "Ctrl+W", "F1", "Shift+Del".
std::wstring ShortCutToText(TShortCut shortCut);

class TMenuItem : public TComponent {
public:
    struct Props {
        std::wstring Name;
        std::wstring Caption;
        TShortCut ShortCut = scNone;
        bool Checked = false;
        bool AutoCheck = false;  // a click toggles Checked first
        bool RadioItem = false;  // the check is a dot
        bool Enabled = true;
        bool Visible = true;
        bool Default = false;  // shown bold
        std::wstring Hint;
        int Tag = 0;
    };

    explicit TMenuItem(TComponent* owner = nullptr);
    ~TMenuItem() override;
    void SetProps(const Props& props);

    const std::wstring& Caption() const { return caption_; }
    void SetCaption(const std::wstring& caption);
    bool IsLine() const { return caption_ == L"-"; }
    bool Checked() const { return checked_; }
    void SetChecked(bool checked);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    bool Default() const { return default_; }
    bool RadioItem() const { return radio_; }
    TShortCut ShortCut() const { return shortCut_; }
    bool AutoCheck = false;
    std::wstring Hint;
    int Tag = 0;

    TMenuItem* Parent() const { return parent_; }
    int Count() const { return static_cast<int>(items_.size()); }
    TMenuItem* Items(int index) const { return items_.at(index); }
    int IndexOf(const TMenuItem* item) const;
    void Add(TMenuItem* item);
    void Insert(int index, TMenuItem* item);
    // Takes the item out without freeing it.
    void Remove(TMenuItem* item);

    // The command id the system menu reports for this item.
    UINT Command() const { return command_; }
    // The system menu of this item's sub-items, made on first use.
    HMENU Handle();
    // The menu this item belongs to (through its parents).
    TMenu* Menu() const;

    TMenuItem* FindCommand(UINT command);
    // An item with this shortcut that can be chosen now: it and its parents
    // are visible and enabled.
    TMenuItem* FindShortCut(TShortCut shortCut);

    // Toggles an auto-check item, then runs OnClick.
    virtual void Click();
    TNotifyEvent OnClick;

private:
    friend class TMenu;
    void Changed();  // state or caption: the entry in the parent menu
    void Rebuild();  // sub-items: the whole system menu
    void FillItemInfo(MENUITEMINFOW& info, std::wstring& text);
    bool Selectable() const;

    std::wstring caption_;
    bool checked_ = false;
    bool enabled_ = true;
    bool visible_ = true;
    bool default_ = false;
    bool radio_ = false;
    TShortCut shortCut_ = scNone;
    TMenuItem* parent_ = nullptr;
    TMenu* menu_ = nullptr;  // set on a menu's root item
    std::vector<TMenuItem*> items_;
    UINT command_;
    HMENU handle_ = nullptr;
    bool menuBar_ = false;
    bool destroying_ = false;
};

// Adds an item of a form resource under Parent.
TMenuItem* NewItem(TMenuItem* parent, const TMenuItem::Props& props);

class TMenu : public TComponent {
public:
    explicit TMenu(TComponent* owner, bool menuBar);
    ~TMenu() override;

    TMenuItem* Items() const { return items_.get(); }
    HMENU Handle() const { return items_->Handle(); }
    bool IsShortCut(TShortCut shortCut);
    // Runs the item of a WM_COMMAND; false when no item has the id.
    bool DispatchCommand(UINT command);
    // The window whose menu bar shows this menu.
    HWND Window() const { return window_; }
    void SetWindow(HWND window) { window_ = window; }

private:
    std::unique_ptr<TMenuItem> items_;
    HWND window_ = nullptr;
};

class TMainMenu : public TMenu {
public:
    explicit TMainMenu(TComponent* owner = nullptr) : TMenu(owner, true) {}
};

class TPopupMenu : public TMenu {
public:
    explicit TPopupMenu(TComponent* owner = nullptr) : TMenu(owner, false) {}

    // Shows the menu at a screen point and runs the chosen item.
    virtual void Popup(int x, int y);
    // Whether the right button (or whatever the menu's user takes for it)
    // opens the menu by itself; false leaves that to the program.
    bool AutoPopup = true;
    // The control the menu was last popped up for.
    TComponent* PopupComponent = nullptr;
    TNotifyEvent OnPopup;
};

}  // namespace cls
