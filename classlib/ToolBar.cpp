#include "ToolBar.h"

#include <commctrl.h>

#include "classlib/ImgList.h"

namespace cls {

namespace {

UINT NextButtonCommand() {
    static UINT next = 1;
    if (next >= 0x7FFF) next = 1;
    return next++;
}

std::wstring ShortHint(const std::wstring& hint) { return hint.substr(0, hint.find(L'|')); }

}  // namespace

// --- TToolButton ------------------------------------------------------------------

TToolButton::TToolButton(TComponent* owner) : TControl(owner), command_(NextButtonCommand()) {
    width_ = 23;
    height_ = 22;
}

void TToolButton::SetProps(const Props& p) {
    imageIndex_ = p.ImageIndex;
    style_ = p.Style;
    down_ = p.Down;
    if (style_ == tbsSeparator || style_ == tbsDivider) width_ = 8;
    SetCaption(p.Caption);
    if (TToolBar* bar = ToolBar()) bar->Rebuild();
}

TToolBar* TToolButton::ToolBar() const { return dynamic_cast<TToolBar*>(Parent()); }

bool TToolButton::Down() const {
    TToolBar* bar = ToolBar();
    if (style_ != tbsCheck || !bar || !bar->HandleAllocated()) return down_;
    return SendMessageW(bar->Handle(), TB_ISBUTTONCHECKED, command_, 0) != 0;
}

void TToolButton::Invalidate() {
    TToolBar* bar = ToolBar();
    if (!bar || !bar->HandleAllocated()) return;
    RECT r = bar->ItemRect(this);
    InvalidateRect(bar->Handle(), &r, TRUE);
}

void TToolButton::VisibleChanged() {
    if (TToolBar* bar = ToolBar()) bar->UpdateButton(this);
}

void TToolButton::EnabledChanged() {
    if (TToolBar* bar = ToolBar()) bar->UpdateButton(this);
}

void TToolButton::CaptionChanged() {
    if (TToolBar* bar = ToolBar()) bar->UpdateButton(this);
}

// --- TToolBar ----------------------------------------------------------------------

TToolBar::TToolBar(TComponent* owner) : TWinControl(owner) {
    width_ = 150;
    height_ = 29;
}

void TToolBar::SetProps(const Props& p) {
    images_ = p.Images;
    buttonWidth_ = p.ButtonWidth;
    buttonHeight_ = p.ButtonHeight;
    flat_ = p.Flat;
    showCaptions_ = p.ShowCaptions;
    indent_ = p.Indent;
}

void TToolBar::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.ClassName = TOOLBARCLASSNAMEW;
    p.Style |= WS_CLIPCHILDREN | TBSTYLE_TOOLTIPS | CCS_NODIVIDER | CCS_NORESIZE | CCS_NOPARENTALIGN;
    if (flat_) p.Style |= TBSTYLE_FLAT;
    if (showCaptions_) p.Style |= TBSTYLE_LIST;
}

void TToolBar::HandleCreated() {
    HWND h = Handle();
    SendMessageW(h, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SetImages(images_);
    SendMessageW(h, TB_SETINDENT, indent_, 0);
    Rebuild();
}

void TToolBar::SetImages(TImageList* images) {
    images_ = images;
    if (!HandleAllocated()) return;
    HWND h = Handle();
    if (images_) {
        SendMessageW(h, TB_SETBITMAPSIZE, 0, MAKELPARAM(images_->Width(), images_->Height()));
        SendMessageW(h, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images_->Handle()));
    } else {
        SendMessageW(h, TB_SETIMAGELIST, 0, 0);
    }
    SendMessageW(h, TB_SETBUTTONSIZE, 0, MAKELPARAM(buttonWidth_, buttonHeight_));
    PlaceControls();
}

void TToolBar::ControlsChanged() {
    if (!rebuilding_) Rebuild();
}

void TToolBar::Rebuild() {
    if (!HandleAllocated() || rebuilding_) return;
    rebuilding_ = true;
    HWND h = Handle();
    while (SendMessageW(h, TB_BUTTONCOUNT, 0, 0) > 0) SendMessageW(h, TB_DELETEBUTTON, 0, 0);
    for (int i = 0; i < ControlCount(); ++i) {
        TControl* c = Controls(i);
        TBBUTTON b = {};
        b.dwData = reinterpret_cast<DWORD_PTR>(c);
        b.iString = -1;
        if (auto* tb = dynamic_cast<TToolButton*>(c)) {
            b.idCommand = static_cast<int>(tb->command_);
            if (tb->style_ == tbsSeparator || tb->style_ == tbsDivider) {
                b.fsStyle = BTNS_SEP;
                b.iBitmap = tb->width_;
            } else {
                b.fsStyle = BTNS_BUTTON | (tb->style_ == tbsCheck ? BTNS_CHECK : 0);
                b.iBitmap = tb->imageIndex_ >= 0 ? tb->imageIndex_ : I_IMAGENONE;
                if (showCaptions_ && !tb->caption_.empty()) b.iString = reinterpret_cast<INT_PTR>(tb->caption_.c_str());
            }
            b.fsState = (tb->enabled_ ? TBSTATE_ENABLED : 0) | (tb->visible_ ? 0 : TBSTATE_HIDDEN) |
                        (tb->down_ ? TBSTATE_CHECKED : 0);
        } else if (auto* w = dynamic_cast<TWinControl*>(c)) {
            // A gap as wide as the control, which is then placed over it.
            b.fsStyle = BTNS_SEP;
            b.iBitmap = w->Width();
            b.fsState = w->Visible() ? 0 : TBSTATE_HIDDEN;
        } else {
            continue;
        }
        SendMessageW(h, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&b));
    }
    rebuilding_ = false;
    PlaceControls();
}

void TToolBar::UpdateButton(TToolButton* button) {
    if (!HandleAllocated()) return;
    TBBUTTONINFOW bi = {sizeof(bi)};
    bi.dwMask = TBIF_STATE | TBIF_IMAGE;
    bi.fsState = (button->enabled_ ? TBSTATE_ENABLED : 0) | (button->visible_ ? 0 : TBSTATE_HIDDEN) |
                 (button->down_ ? TBSTATE_CHECKED : 0);
    bi.iImage = button->imageIndex_ >= 0 ? button->imageIndex_ : I_IMAGENONE;
    std::wstring text = button->caption_;
    if (showCaptions_) {
        bi.dwMask |= TBIF_TEXT;
        bi.pszText = text.data();
    }
    SendMessageW(Handle(), TB_SETBUTTONINFOW, button->command_, reinterpret_cast<LPARAM>(&bi));
    PlaceControls();
}

RECT TToolBar::ItemRect(TControl* item) {
    RECT r = {};
    if (!HandleAllocated()) return r;
    HWND h = Handle();
    int count = static_cast<int>(SendMessageW(h, TB_BUTTONCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        TBBUTTON b = {};
        SendMessageW(h, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&b));
        if (b.dwData == reinterpret_cast<DWORD_PTR>(item)) {
            SendMessageW(h, TB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&r));
            break;
        }
    }
    return r;
}

void TToolBar::PlaceControls() {
    if (!HandleAllocated() || rebuilding_) return;
    rebuilding_ = true;
    for (int i = 0; i < ControlCount(); ++i) {
        TControl* c = Controls(i);
        RECT r = ItemRect(c);
        if (auto* tb = dynamic_cast<TToolButton*>(c)) {
            tb->left_ = r.left;
            tb->top_ = r.top;
            tb->width_ = r.right - r.left;
            tb->height_ = r.bottom - r.top;
        } else if (auto* w = dynamic_cast<TWinControl*>(c)) {
            int top = r.top + ((r.bottom - r.top) - w->Height()) / 2;
            w->SetBounds(r.left, std::max(0, top), w->Width(), w->Height());
        }
    }
    rebuilding_ = false;
}

TToolButton* TToolBar::FindButton(UINT command) const {
    for (int i = 0; i < ControlCount(); ++i)
        if (auto* tb = dynamic_cast<TToolButton*>(Controls(i)); tb && tb->command_ == command) return tb;
    return nullptr;
}

bool TToolBar::CommandNotify(WORD code, WORD id) {
    TToolButton* button = FindButton(id);
    if (!button) return false;
    if (button->style_ == tbsCheck) button->down_ = button->Down();
    button->DoClick();
    return true;
}

bool TToolBar::Notify(NMHDR& header, LRESULT& result) {
    if (header.code != TBN_GETINFOTIPW) return false;
    auto& tip = reinterpret_cast<NMTBGETINFOTIPW&>(header);
    TToolButton* button = FindButton(static_cast<UINT>(tip.iItem));
    if (!button || !(button->ShowHint() || ShowHint()) || !tip.pszText || tip.cchTextMax <= 0) return true;
    std::wstring text = ShortHint(button->Hint());
    lstrcpynW(tip.pszText, text.c_str(), tip.cchTextMax);
    result = 0;
    return true;
}

}  // namespace cls
