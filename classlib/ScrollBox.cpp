#include "ScrollBox.h"

#include <algorithm>

namespace cls {

TScrollBox::TScrollBox(TComponent* owner) : TCustomControl(owner) {
    width_ = 185;
    height_ = 41;
}

void TScrollBox::SetProps(const Props& p) {
    borderStyle_ = p.BorderStyle;
    Increment = p.Increment;
}

void TScrollBox::CreateParams(TCreateParams& p) {
    TCustomControl::CreateParams(p);
    p.ClassName = L"TScrollBox";
    p.Style |= WS_VSCROLL;
    if (borderStyle_ == bsSingle) p.ExStyle |= WS_EX_CLIENTEDGE;
}

RECT TScrollBox::AlignRect() const {
    RECT r = ClientRect();
    OffsetRect(&r, 0, -scrollPos_);
    return r;
}

int TScrollBox::ContentHeight() const {
    int bottom = 0;
    for (int i = 0; i < ControlCount(); ++i) {
        TControl* c = Controls(i);
        if (c->Visible()) bottom = std::max(bottom, c->Top() + c->Height() + scrollPos_);
    }
    return bottom;
}

void TScrollBox::ControlsChanged() {
    if (!scrolling_) UpdateScrollBar();
}

void TScrollBox::UpdateScrollBar() {
    if (!HandleAllocated() || scrolling_) return;
    int page = ClientHeight();
    int content = ContentHeight();
    // Content that shrank leaves no empty space at the bottom.
    int maxPos = std::max(0, content - page);
    if (scrollPos_ > maxPos) {
        SetScrollPos(maxPos);
        return;
    }
    SCROLLINFO si = {sizeof(si), SIF_RANGE | SIF_PAGE | SIF_POS};
    si.nMin = 0;
    si.nMax = std::max(0, content - 1);
    si.nPage = static_cast<UINT>(std::max(0, page));
    si.nPos = scrollPos_;
    SetScrollInfo(Handle(), SB_VERT, &si, TRUE);
}

void TScrollBox::SetScrollPos(int pos) {
    int maxPos = std::max(0, ContentHeight() - ClientHeight());
    pos = std::clamp(pos, 0, maxPos);
    int delta = pos - scrollPos_;
    if (delta == 0) {
        UpdateScrollBar();
        return;
    }
    scrolling_ = true;
    scrollPos_ = pos;
    for (int i = 0; i < ControlCount(); ++i) {
        TControl* c = Controls(i);
        if (c->Align() == alNone || c->Align() == alCustom) c->SetBounds(c->Left(), c->Top() - delta, c->Width(), c->Height());
    }
    Realign();
    scrolling_ = false;
    Invalidate();
    UpdateScrollBar();
}

LRESULT TScrollBox::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_VSCROLL: {
            SCROLLINFO si = {sizeof(si), SIF_ALL};
            GetScrollInfo(Handle(), SB_VERT, &si);
            int pos = scrollPos_;
            switch (LOWORD(wp)) {
                case SB_LINEUP: pos -= Increment; break;
                case SB_LINEDOWN: pos += Increment; break;
                case SB_PAGEUP: pos -= static_cast<int>(si.nPage); break;
                case SB_PAGEDOWN: pos += static_cast<int>(si.nPage); break;
                case SB_THUMBTRACK:
                case SB_THUMBPOSITION: pos = si.nTrackPos; break;
                case SB_TOP: pos = 0; break;
                case SB_BOTTOM: pos = ContentHeight(); break;
            }
            SetScrollPos(pos);
            return 0;
        }
        case WM_MOUSEWHEEL: {
            int notches = static_cast<short>(HIWORD(wp)) / WHEEL_DELTA;
            SetScrollPos(scrollPos_ - notches * Increment * 3);
            return 0;
        }
        case WM_SIZE: {
            LRESULT r = TCustomControl::WndProc(msg, wp, lp);
            UpdateScrollBar();
            return r;
        }
    }
    return TCustomControl::WndProc(msg, wp, lp);
}

}  // namespace cls
