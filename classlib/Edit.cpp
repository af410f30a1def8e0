#include "Edit.h"

#include <commctrl.h>

namespace cls {

TEdit::TEdit(TComponent* owner) : TWinControl(owner) {
    width_ = 121;
    height_ = 21;
    color_ = clWindow;
    parentColor_ = false;
    SetTabStop(true);
}

void TEdit::SetProps(const Props& p) {
    borderStyle_ = p.BorderStyle;
    alignment_ = p.Alignment;
    SetText(p.Text);
    SetTextHint(p.TextHint);
    SetMaxLength(p.MaxLength);
    SetReadOnly(p.ReadOnly);
    SetPasswordChar(p.PasswordChar);
}

void TEdit::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.ClassName = L"EDIT";
    p.Style |= ES_AUTOHSCROLL;
    if (readOnly_) p.Style |= ES_READONLY;
    if (passwordChar_) p.Style |= ES_PASSWORD;
    if (alignment_ == taCenter) p.Style |= ES_CENTER;
    if (alignment_ == taRightJustify) p.Style |= ES_RIGHT;
    if (borderStyle_) p.ExStyle |= WS_EX_CLIENTEDGE;
}

void TEdit::HandleCreated() {
    SendMessageW(Wnd(), EM_LIMITTEXT, maxLength_, 0);
    if (!textHint_.empty()) SendMessageW(Wnd(), EM_SETCUEBANNER, FALSE, reinterpret_cast<LPARAM>(textHint_.c_str()));
    if (passwordChar_) SendMessageW(Wnd(), EM_SETPASSWORDCHAR, passwordChar_, 0);
}

void TEdit::SetTextHint(const std::wstring& hint) {
    textHint_ = hint;
    if (HandleAllocated()) SendMessageW(Wnd(), EM_SETCUEBANNER, FALSE, reinterpret_cast<LPARAM>(textHint_.c_str()));
}

void TEdit::SetMaxLength(int length) {
    maxLength_ = length;
    if (HandleAllocated()) SendMessageW(Wnd(), EM_LIMITTEXT, length, 0);
}

void TEdit::SetReadOnly(bool value) {
    readOnly_ = value;
    if (HandleAllocated()) SendMessageW(Wnd(), EM_SETREADONLY, value, 0);
}

void TEdit::SetPasswordChar(wchar_t ch) {
    passwordChar_ = ch;
    if (!HandleAllocated()) return;
    SendMessageW(Wnd(), EM_SETPASSWORDCHAR, ch, 0);
    Invalidate();
}

int TEdit::SelStart() const {
    DWORD start = 0, end = 0;
    SendMessageW(Wnd(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return static_cast<int>(start);
}

int TEdit::SelLength() const {
    DWORD start = 0, end = 0;
    SendMessageW(Wnd(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return static_cast<int>(end - start);
}

void TEdit::SetSelStart(int start) { SendMessageW(Wnd(), EM_SETSEL, start, start); }

void TEdit::SetSelLength(int length) {
    int start = SelStart();
    SendMessageW(Wnd(), EM_SETSEL, start, start + length);
}

std::wstring TEdit::SelText() const {
    int start = SelStart();
    return Text().substr(start, SelLength());
}

void TEdit::SelectAll() { SendMessageW(Wnd(), EM_SETSEL, 0, -1); }

void TEdit::ClearSelection() { SendMessageW(Wnd(), WM_CLEAR, 0, 0); }

void TEdit::CopyToClipboard() { SendMessageW(Wnd(), WM_COPY, 0, 0); }

void TEdit::DoChange() {
    if (OnChange) OnChange(this);
}

bool TEdit::CommandNotify(WORD code, WORD) {
    if (code != EN_CHANGE) return false;
    changeSeen_ = true;
    DoChange();
    return true;
}

void TEdit::CaptionChanged() {
    if (!HandleAllocated()) return;
    // Not every version of the control reports a change made by code.
    changeSeen_ = false;
    auto alive = alive_;
    SetWindowTextW(Wnd(), caption_.c_str());
    if (*alive && !changeSeen_) DoChange();
}

HBRUSH TEdit::CtlColor(HDC dc) {
    SetTextColor(dc, ColorToRGB(enabled_ ? font_.Color() : clGrayText));
    SetBkColor(dc, ColorToRGB(color_));
    return ColorBrush();
}

TMemo::TMemo(TComponent* owner) : TEdit(owner) {
    width_ = 185;
    height_ = 89;
}

void TMemo::SetProps(const Props& p) {
    wordWrap_ = p.WordWrap;
    scrollBars_ = p.ScrollBars;
    wantReturns_ = p.WantReturns;
    borderStyle_ = p.BorderStyle;
    SetReadOnly(p.ReadOnly);
    SetLines(p.Lines);
}

void TMemo::CreateParams(TCreateParams& p) {
    TEdit::CreateParams(p);
    p.Style &= ~ES_AUTOHSCROLL;
    p.Style |= ES_MULTILINE | ES_AUTOVSCROLL;
    if (!wordWrap_) p.Style |= ES_AUTOHSCROLL;
    if (wantReturns_) p.Style |= ES_WANTRETURN;
    if (scrollBars_ == ssVertical || scrollBars_ == ssBoth) p.Style |= WS_VSCROLL;
    if (scrollBars_ == ssHorizontal || scrollBars_ == ssBoth) p.Style |= WS_HSCROLL;
}

std::vector<std::wstring> TMemo::Lines() const {
    std::vector<std::wstring> lines;
    std::wstring text = Text();
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(L"\r\n", start);
        if (end == std::wstring::npos) {
            if (start < text.size()) lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

void TMemo::SetLines(const std::vector<std::wstring>& lines) {
    std::wstring text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i) text += L"\r\n";
        text += lines[i];
    }
    SetText(text);
}

int TMemo::LineCount() const { return static_cast<int>(Lines().size()); }

}  // namespace cls
