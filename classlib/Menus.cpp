#include "Menus.h"

#include <algorithm>

#include "classlib/Application.h"

namespace cls {

namespace {

UINT NextCommand() {
    // Below the system commands (0xF000 and up).
    static UINT next = 0x1000;
    if (next >= 0xEFFF) next = 0x1000;
    return next++;
}

std::wstring KeyName(WORD key) {
    if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) return std::wstring(1, wchar_t(key));
    if (key >= VK_F1 && key <= VK_F24) return L"F" + std::to_wstring(key - VK_F1 + 1);
    switch (key) {
        case VK_BACK: return L"BkSp";
        case VK_TAB: return L"Tab";
        case VK_RETURN: return L"Enter";
        case VK_ESCAPE: return L"Esc";
        case VK_SPACE: return L"Space";
        case VK_PRIOR: return L"PgUp";
        case VK_NEXT: return L"PgDn";
        case VK_END: return L"End";
        case VK_HOME: return L"Home";
        case VK_LEFT: return L"Left";
        case VK_UP: return L"Up";
        case VK_RIGHT: return L"Right";
        case VK_DOWN: return L"Down";
        case VK_INSERT: return L"Ins";
        case VK_DELETE: return L"Del";
    }
    // Punctuation keys name the character they type on this keyboard.
    UINT ch = MapVirtualKeyW(key, MAPVK_VK_TO_CHAR) & 0xFFFF;
    return ch >= 32 ? std::wstring(1, wchar_t(ch)) : std::wstring();
}

}  // namespace

TShortCut ShortCut(WORD key, TShiftState shift) {
    TShortCut sc = key & 0xFF;
    if (shift & ssShift) sc |= scShift;
    if (shift & ssCtrl) sc |= scCtrl;
    if (shift & ssAlt) sc |= scAlt;
    return sc;
}

std::wstring ShortCutToText(TShortCut shortCut) {
    std::wstring name = KeyName(shortCut & 0xFF);
    if (name.empty()) return {};
    std::wstring text;
    if (shortCut & scShift) text += L"Shift+";
    if (shortCut & scCtrl) text += L"Ctrl+";
    if (shortCut & scAlt) text += L"Alt+";
    return text + name;
}

// --- TMenuItem -------------------------------------------------------------------

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner), command_(NextCommand()) {}

TMenuItem::~TMenuItem() {
    destroying_ = true;
    if (parent_) parent_->Remove(this);
    // Unhook the sub-menus first: destroying a menu destroys its sub-menus.
    if (handle_)
        while (GetMenuItemCount(handle_) > 0) RemoveMenu(handle_, 0, MF_BYPOSITION);
    while (!items_.empty()) delete items_.back();
    if (handle_) DestroyMenu(handle_);
}

void TMenuItem::SetProps(const Props& p) {
    Name = p.Name;
    caption_ = p.Caption;
    shortCut_ = p.ShortCut;
    checked_ = p.Checked;
    AutoCheck = p.AutoCheck;
    radio_ = p.RadioItem;
    enabled_ = p.Enabled;
    default_ = p.Default;
    Hint = p.Hint;
    Tag = p.Tag;
    Changed();
    SetVisible(p.Visible);
}

void TMenuItem::SetCaption(const std::wstring& caption) {
    if (caption == caption_) return;
    caption_ = caption;
    Changed();
}

void TMenuItem::SetChecked(bool checked) {
    if (checked == checked_) return;
    checked_ = checked;
    Changed();
}

void TMenuItem::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    Changed();
}

void TMenuItem::SetVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    if (parent_) parent_->Rebuild();
}

int TMenuItem::IndexOf(const TMenuItem* item) const {
    auto it = std::find(items_.begin(), items_.end(), item);
    return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

void TMenuItem::Add(TMenuItem* item) { Insert(Count(), item); }

void TMenuItem::Insert(int index, TMenuItem* item) {
    if (item->parent_) item->parent_->Remove(item);
    index = std::clamp(index, 0, Count());
    items_.insert(items_.begin() + index, item);
    item->parent_ = this;
    Rebuild();
    // The first sub-item turns this item's entry into a sub-menu.
    if (items_.size() == 1) Changed();
}

void TMenuItem::Remove(TMenuItem* item) {
    auto it = std::find(items_.begin(), items_.end(), item);
    if (it == items_.end()) return;
    items_.erase(it);
    item->parent_ = nullptr;
    if (destroying_) return;
    Rebuild();
    if (items_.empty()) Changed();
}

HMENU TMenuItem::Handle() {
    if (!handle_) {
        handle_ = menuBar_ ? CreateMenu() : CreatePopupMenu();
        Rebuild();
    }
    return handle_;
}

TMenu* TMenuItem::Menu() const {
    const TMenuItem* i = this;
    while (i->parent_) i = i->parent_;
    return i->menu_;
}

TMenuItem* TMenuItem::FindCommand(UINT command) {
    if (command_ == command) return this;
    for (TMenuItem* item : items_)
        if (TMenuItem* found = item->FindCommand(command)) return found;
    return nullptr;
}

TMenuItem* TMenuItem::FindShortCut(TShortCut shortCut) {
    for (TMenuItem* item : items_) {
        if (!item->visible_ || !item->enabled_) continue;
        if (item->shortCut_ == shortCut && !item->IsLine()) return item;
        if (TMenuItem* found = item->FindShortCut(shortCut)) return found;
    }
    return nullptr;
}

void TMenuItem::Click() {
    if (AutoCheck) SetChecked(!checked_);
    if (OnClick) OnClick(this);
}

void TMenuItem::FillItemInfo(MENUITEMINFOW& mii, std::wstring& text) {
    mii = {sizeof(mii)};
    mii.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STATE | MIIM_SUBMENU;
    mii.wID = command_;
    if (IsLine()) {
        mii.fType = MFT_SEPARATOR;
    } else {
        mii.fMask |= MIIM_STRING;
        mii.fType = radio_ ? MFT_RADIOCHECK : MFT_STRING;
        text = caption_;
        if (shortCut_) text += L"\t" + ShortCutToText(shortCut_);
        mii.dwTypeData = text.data();
    }
    mii.fState = (checked_ ? MFS_CHECKED : 0) | (enabled_ ? 0 : MFS_GRAYED) | (default_ ? MFS_DEFAULT : 0);
    mii.hSubMenu = items_.empty() ? nullptr : Handle();
}

void TMenuItem::Changed() {
    if (!parent_ || !parent_->handle_ || !visible_) return;
    UINT pos = 0;
    for (TMenuItem* item : parent_->items_) {
        if (item == this) break;
        if (item->visible_) ++pos;
    }
    MENUITEMINFOW mii;
    std::wstring text;
    FillItemInfo(mii, text);
    SetMenuItemInfoW(parent_->handle_, pos, TRUE, &mii);
    if (parent_->menuBar_)
        if (TMenu* m = Menu(); m && m->Window()) DrawMenuBar(m->Window());
}

void TMenuItem::Rebuild() {
    if (!handle_ || destroying_) return;
    // RemoveMenu, not DeleteMenu: the sub-menus belong to their items.
    while (GetMenuItemCount(handle_) > 0) RemoveMenu(handle_, 0, MF_BYPOSITION);
    UINT pos = 0;
    for (TMenuItem* item : items_) {
        if (!item->visible_) continue;
        MENUITEMINFOW mii;
        std::wstring text;
        item->FillItemInfo(mii, text);
        InsertMenuItemW(handle_, pos++, TRUE, &mii);
    }
    if (menuBar_)
        if (TMenu* m = Menu(); m && m->Window()) DrawMenuBar(m->Window());
}

TMenuItem* NewItem(TMenuItem* parent, const TMenuItem::Props& props) {
    auto* item = new TMenuItem(nullptr);
    item->SetProps(props);
    parent->Add(item);
    return item;
}

// --- TMenu -----------------------------------------------------------------------

TMenu::TMenu(TComponent* owner, bool menuBar) : TComponent(owner), items_(std::make_unique<TMenuItem>()) {
    items_->menu_ = this;
    items_->menuBar_ = menuBar;
}

TMenu::~TMenu() {
    // A window destroys the menu on its bar: take it off first.
    if (window_ && items_->handle_ && GetMenu(window_) == items_->handle_) ::SetMenu(window_, nullptr);
}

bool TMenu::IsShortCut(TShortCut shortCut) {
    if (shortCut == scNone) return false;
    TMenuItem* item = items_->FindShortCut(shortCut);
    if (!item) return false;
    item->Click();
    return true;
}

bool TMenu::DispatchCommand(UINT command) {
    TMenuItem* item = items_->FindCommand(command);
    if (!item || item == items_.get()) return false;
    item->Click();
    return true;
}

void TPopupMenu::Popup(int x, int y) {
    if (OnPopup) OnPopup(this);
    HWND owner = GetActiveWindow();
    if (!owner || !TWinControl::FromHandle(owner)) owner = Application.Handle();
    UINT command = TrackPopupMenuEx(Handle(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN,
                                    x, y, owner, nullptr);
    if (command) DispatchCommand(command);
}

}  // namespace cls
