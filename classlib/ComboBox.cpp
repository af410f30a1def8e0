#include "ComboBox.h"

#include "classlib/Forms.h"

namespace cls {

TComboBox::TComboBox(TComponent* owner) : TWinControl(owner) {
    width_ = 145;
    height_ = 21;
    color_ = clWindow;
    parentColor_ = false;
    SetTabStop(true);
}

void TComboBox::SetProps(const Props& p) {
    style_ = p.Style;
    dropDownCount_ = p.DropDownCount;
    SetItems(p.Items);
    SetItemIndex(p.ItemIndex);
}

void TComboBox::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.ClassName = L"COMBOBOX";
    p.Style |= WS_VSCROLL | CBS_AUTOHSCROLL | (style_ == csDropDownList ? CBS_DROPDOWNLIST : CBS_DROPDOWN);
}

SIZE TComboBox::WindowSize() const {
    // The window's height includes the list that drops down.
    return {width_, height_ + dropDownCount_ * 16 + 2};
}

void TComboBox::HandleCreated() { FillWindow(); }

void TComboBox::FillWindow() {
    if (!HandleAllocated()) return;
    SendMessageW(Wnd(), CB_RESETCONTENT, 0, 0);
    for (const auto& s : items_) SendMessageW(Wnd(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s.c_str()));
    SendMessageW(Wnd(), CB_SETCURSEL, itemIndex_, 0);
}

void TComboBox::SetItems(const std::vector<std::wstring>& items) {
    items_ = items;
    itemIndex_ = -1;
    FillWindow();
}

int TComboBox::ItemIndex() const {
    if (!HandleAllocated()) return itemIndex_;
    return static_cast<int>(SendMessageW(Wnd(), CB_GETCURSEL, 0, 0));
}

void TComboBox::SetItemIndex(int index) {
    itemIndex_ = index >= 0 && index < Count() ? index : -1;
    if (HandleAllocated()) SendMessageW(Wnd(), CB_SETCURSEL, itemIndex_, 0);
}

void TComboBox::DoChange() {
    if (OnChange) OnChange(this);
}

void TComboBox::DoSelect() {
    if (OnSelect)
        OnSelect(this);
    else
        DoChange();
}

bool TComboBox::CommandNotify(WORD code, WORD) {
    switch (code) {
        case CBN_SELCHANGE: {
            itemIndex_ = ItemIndex();
            auto alive = alive_;
            DoClick();
            if (*alive) DoSelect();
            return true;
        }
        case CBN_EDITCHANGE:
            DoChange();
            return true;
        case CBN_SETFOCUS:
            // An editable box gives the focus to its edit window, which is
            // not ours: the form learns of it here.
            if (TForm* form = ParentForm()) form->ControlFocused(this);
            return true;
    }
    return false;
}

}  // namespace cls
