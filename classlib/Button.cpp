#include "Button.h"

#include <commctrl.h>

#include "classlib/Forms.h"
#include "classlib/Menus.h"

namespace cls {

namespace {

// Split buttons came with Windows Vista, so XP's headers lack them; on XP
// the button is a plain push button and its menu stays closed.
constexpr LONG kSplitButtonStyle = 0x000C;
constexpr UINT kDropDownCode = BCN_FIRST + 0x0002;

bool SplitButtonsAvailable() { return LOBYTE(LOWORD(GetVersion())) >= 6; }

}  // namespace

TButton::TButton(TComponent* owner) : TWinControl(owner) {
    width_ = 75;
    height_ = 25;
    SetTabStop(true);
}

void TButton::SetProps(const Props& p) {
    SetCaption(p.Caption);
    SetDefault(p.Default);
    Cancel = p.Cancel;
    ModalResult = p.ModalResult;
    DropDownMenu = p.DropDownMenu;
}

void TButton::SetDefault(bool value) {
    default_ = value;
    if (HandleAllocated())
        SendMessageW(Handle(), BM_SETSTYLE, value ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void TButton::DoClick() {
    // The form learns the result first, so OnClick may still change it.
    if (ModalResult != 0)
        if (TForm* form = ParentForm()) form->SetModalResult(ModalResult);
    TWinControl::DoClick();
}

void TButton::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.ClassName = L"BUTTON";
    p.Style |= (default_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | (DropDownMenu && SplitButtonsAvailable() ? kSplitButtonStyle : 0);
}

bool TButton::CommandNotify(WORD code, WORD) {
    if (code != BN_CLICKED) return false;
    DoClick();
    return true;
}

bool TButton::Notify(NMHDR& header, LRESULT&) {
    if (header.code != kDropDownCode || !DropDownMenu) return false;
    POINT p = ClientToScreen({0, Height()});
    DropDownMenu->PopupComponent = this;
    DropDownMenu->Popup(p.x, p.y);
    return true;
}

TCheckBox::TCheckBox(TComponent* owner) : TWinControl(owner) {
    width_ = 97;
    height_ = 17;
    SetTabStop(true);
}

void TCheckBox::SetProps(const Props& p) {
    SetCaption(p.Caption);
    SetChecked(p.Checked);
}

bool TCheckBox::Checked() const {
    if (!HandleAllocated()) return checked_;
    return SendMessageW(const_cast<TCheckBox*>(this)->Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TCheckBox::SetChecked(bool checked) {
    checked_ = checked;
    if (HandleAllocated()) SendMessageW(Handle(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TCheckBox::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.ClassName = L"BUTTON";
    p.Style |= BS_AUTOCHECKBOX;
}

void TCheckBox::HandleCreated() { SetChecked(checked_); }

bool TCheckBox::CommandNotify(WORD code, WORD) {
    if (code != BN_CLICKED) return false;
    checked_ = Checked();
    DoClick();
    return true;
}

HBRUSH TCheckBox::CtlColor(HDC dc) {
    // The parent's colour shows around the box and its caption.
    SetTextColor(dc, ColorToRGB(font_.Color()));
    SetBkColor(dc, ColorToRGB(color_));
    return ColorBrush();
}

}  // namespace cls
