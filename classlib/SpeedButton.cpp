#include "SpeedButton.h"

#include "classlib/ExtCtrls.h"

namespace cls {

TSpeedButton::TSpeedButton(TComponent* owner) : TGraphicControl(owner) {
    width_ = 23;
    height_ = 22;
}

void TSpeedButton::SetProps(const Props& p) {
    flat_ = p.Flat;
    SetCaption(p.Caption);
    Invalidate();
}

void TSpeedButton::DoMouseEnter() {
    hot_ = true;
    Invalidate();
    TGraphicControl::DoMouseEnter();
}

void TSpeedButton::DoMouseLeave() {
    hot_ = false;
    Invalidate();
    TGraphicControl::DoMouseLeave();
}

void TSpeedButton::DoMouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (button == mbLeft) {
        pressed_ = true;
        Invalidate();
    }
    TGraphicControl::DoMouseDown(button, shift, x, y);
}

void TSpeedButton::DoMouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (button == mbLeft && pressed_) {
        pressed_ = false;
        Invalidate();
    }
    TGraphicControl::DoMouseUp(button, shift, x, y);
}

void TSpeedButton::DoClick() {
    // The click may hide or free the button: it is drawn released first.
    pressed_ = false;
    Invalidate();
    TGraphicControl::DoClick();
}

void TSpeedButton::Paint(HDC dc) {
    RECT r = {0, 0, width_, height_};
    if (!flat_) {
        DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed_ ? DFCS_PUSHED : 0));
    } else if (enabled_ && (hot_ || pressed_)) {
        RECT f = r;
        Frame3D(dc, f, pressed_ ? clBtnShadow : clBtnHighlight, pressed_ ? clBtnHighlight : clBtnShadow, 1);
    }
    if (caption_.empty()) return;
    if (pressed_) OffsetRect(&r, 1, 1);
    HGDIOBJ old = SelectObject(dc, font_.Handle());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, ColorToRGB(enabled_ ? font_.Color() : clGrayText));
    DrawTextW(dc, caption_.c_str(), -1, &r, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    SelectObject(dc, old);
}

}  // namespace cls
