#include "ExtCtrls.h"

#include <algorithm>

namespace cls {

namespace {

void Line(HDC dc, int x1, int y1, int x2, int y2, TColor color) {
    cls::Pen pen(CreatePen(PS_SOLID, 1, ColorToRGB(color)));
    HGDIOBJ old = SelectObject(dc, pen.get());
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
    SelectObject(dc, old);
}

}  // namespace

// The edges of the rectangle whose corners are the given pixels: top and
// left in one colour, right and bottom in the other.
void BevelRect(HDC dc, const RECT& r, TColor topLeft, TColor bottomRight) {
    Line(dc, r.left, r.bottom, r.left, r.top, topLeft);
    Line(dc, r.left, r.top, r.right, r.top, topLeft);
    Line(dc, r.right, r.top, r.right, r.bottom, bottomRight);
    Line(dc, r.right, r.bottom, r.left - 1, r.bottom, bottomRight);
}

void Frame3D(HDC dc, RECT& r, TColor topLeft, TColor bottomRight, int width) {
    --r.right;
    --r.bottom;
    for (int i = 0; i < width; ++i) {
        BevelRect(dc, r, topLeft, bottomRight);
        InflateRect(&r, -1, -1);
    }
    ++r.right;
    ++r.bottom;
}

// --- TPanel ----------------------------------------------------------------------

TPanel::TPanel(TComponent* owner) : TCustomControl(owner) {
    width_ = 185;
    height_ = 41;
}

void TPanel::SetProps(const Props& p) {
    bevelOuter_ = p.BevelOuter;
    bevelInner_ = p.BevelInner;
    bevelWidth_ = p.BevelWidth;
    alignment_ = p.Alignment;
    SetCaption(p.Caption);
    Invalidate();
}

void TPanel::SetBevelOuter(TBevelCut value) {
    bevelOuter_ = value;
    Invalidate();
}

void TPanel::SetBevelInner(TBevelCut value) {
    bevelInner_ = value;
    Invalidate();
}

void TPanel::CreateParams(TCreateParams& p) {
    TCustomControl::CreateParams(p);
    p.ClassName = L"TPanel";
}

void TPanel::CaptionChanged() { Invalidate(); }

void TPanel::FontChanged() {
    TCustomControl::FontChanged();
    Invalidate();
}

void TPanel::Paint(HDC dc, const RECT& client) {
    RECT r = client;
    auto bevel = [&](TBevelCut cut) {
        if (cut == bvNone) return;
        if (cut == bvSpace) {
            InflateRect(&r, -bevelWidth_, -bevelWidth_);
            return;
        }
        bool raised = cut == bvRaised;
        Frame3D(dc, r, raised ? clBtnHighlight : clBtnShadow, raised ? clBtnShadow : clBtnHighlight, bevelWidth_);
    };
    bevel(bevelOuter_);
    bevel(bevelInner_);
    if (caption_.empty()) return;
    HGDIOBJ old = SelectObject(dc, font_.Handle());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, ColorToRGB(enabled_ ? font_.Color() : clGrayText));
    UINT flags = DT_SINGLELINE | DT_VCENTER | DT_EXPANDTABS;
    flags |= alignment_ == taCenter ? DT_CENTER : alignment_ == taRightJustify ? DT_RIGHT : DT_LEFT;
    DrawTextW(dc, caption_.c_str(), -1, &r, flags);
    SelectObject(dc, old);
}

// --- TBevel ----------------------------------------------------------------------

TBevel::TBevel(TComponent* owner) : TGraphicControl(owner) {
    width_ = 50;
    height_ = 50;
}

void TBevel::SetProps(const Props& p) {
    shape_ = p.Shape;
    style_ = p.Style;
    Invalidate();
}

void TBevel::Paint(HDC dc) {
    TColor c1 = style_ == bsLowered ? clBtnShadow : clBtnHighlight;
    TColor c2 = style_ == bsLowered ? clBtnHighlight : clBtnShadow;
    int w = width_, h = height_;
    switch (shape_) {
        case bsBox:
            BevelRect(dc, {0, 0, w - 1, h - 1}, c1, c2);
            break;
        case bsFrame:
            BevelRect(dc, {1, 1, w - 1, h - 1}, c2, c2);
            BevelRect(dc, {0, 0, w - 2, h - 2}, c1, c1);
            break;
        case bsTopLine:
            Line(dc, 0, 0, w, 0, c1);
            Line(dc, 0, 1, w, 1, c2);
            break;
        case bsBottomLine:
            Line(dc, 0, h - 2, w, h - 2, c1);
            Line(dc, 0, h - 1, w, h - 1, c2);
            break;
        case bsLeftLine:
            Line(dc, 0, 0, 0, h, c1);
            Line(dc, 1, 0, 1, h, c2);
            break;
        case bsRightLine:
            Line(dc, w - 2, 0, w - 2, h, c1);
            Line(dc, w - 1, 0, w - 1, h, c2);
            break;
        case bsSpacer:
            break;
    }
}

// --- TShape ----------------------------------------------------------------------

TShape::TShape(TComponent* owner) : TGraphicControl(owner) {
    width_ = 65;
    height_ = 65;
}

void TShape::SetProps(const Props& p) {
    shape_ = p.Shape;
    penColor_ = p.PenColor;
    penWidth_ = p.PenWidth;
    brushColor_ = p.BrushColor;
    brushClear_ = p.BrushClear;
    Invalidate();
}

void TShape::SetPenColor(TColor value) {
    penColor_ = value;
    Invalidate();
}

void TShape::Paint(HDC dc) {
    cls::Pen pen(CreatePen(PS_INSIDEFRAME, penWidth_, ColorToRGB(penColor_)));
    cls::Brush brush(brushClear_ ? nullptr : CreateSolidBrush(ColorToRGB(brushColor_)));
    HGDIOBJ oldPen = SelectObject(dc, pen.get());
    HGDIOBJ oldBrush = SelectObject(dc, brush ? brush.get() : GetStockObject(NULL_BRUSH));
    int x = 0, y = 0, w = width_, h = height_;
    if (shape_ == stSquare || shape_ == stCircle) {
        int side = std::min(w, h);
        x = (w - side) / 2;
        y = (h - side) / 2;
        w = h = side;
    }
    switch (shape_) {
        case stRectangle:
        case stSquare:
            Rectangle(dc, x, y, x + w, y + h);
            break;
        case stRoundRect:
            RoundRect(dc, x, y, x + w, y + h, std::min(w, h) / 4, std::min(w, h) / 4);
            break;
        case stEllipse:
        case stCircle:
            Ellipse(dc, x, y, x + w, y + h);
            break;
    }
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
}

}  // namespace cls
