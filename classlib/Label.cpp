#include "Label.h"

#include <algorithm>
#include <optional>

#include "classlib/Bitmap.h"

namespace cls {

TLabel::TLabel(TComponent* owner) : TGraphicControl(owner) {
    width_ = 65;
    height_ = 13;
}

void TLabel::SetProps(const Props& p) {
    wordWrap_ = p.WordWrap;
    alignment_ = p.Alignment;
    layout_ = p.Layout;
    transparent_ = p.Transparent;
    showAccelChar_ = p.ShowAccelChar;
    ellipsis_ = p.EllipsisPosition;
    autoSize_ = p.AutoSize;
    SetCaption(p.Caption);
    AdjustSize();
}

void TLabel::FontChanged() {
    AdjustSize();
    Invalidate();
}

void TLabel::CaptionChanged() {
    AdjustSize();
    Invalidate();
}

UINT TLabel::TextFlags() const {
    UINT flags = DT_EXPANDTABS;
    if (wordWrap_) flags |= DT_WORDBREAK;
    if (!showAccelChar_) flags |= DT_NOPREFIX;
    if (alignment_ == taCenter) flags |= DT_CENTER;
    if (alignment_ == taRightJustify) flags |= DT_RIGHT;
    return flags;
}

void TLabel::AdjustSize() {
    if (!autoSize_) return;
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font_.Handle());
    // An empty caption still takes the height of a line.
    std::wstring text = caption_.empty() ? L" " : caption_;
    RECT r = {0, 0, wordWrap_ ? width_ : 0, 0};
    DrawTextW(dc, text.c_str(), -1, &r, TextFlags() | DT_CALCRECT);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    int w = wordWrap_ ? width_ : r.right;
    int left = left_;
    if (alignment_ == taRightJustify) left = left_ + width_ - w;
    if (alignment_ == taCenter) left = left_ + (width_ - w) / 2;
    SetBounds(left, top_, w, r.bottom);
}

void TLabel::Paint(HDC dc) {
    RECT r = {0, 0, width_, height_};
    if (!transparent_) {
        cls::Brush brush(CreateSolidBrush(ColorToRGB(color_)));
        FillRect(dc, &r, brush.get());
    }
    if (caption_.empty()) return;
    HGDIOBJ old = SelectObject(dc, font_.Handle());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, ColorToRGB(enabled_ ? font_.Color() : clGrayText));
    UINT flags = TextFlags();
    if (ellipsis_ == epEndEllipsis) flags |= DT_END_ELLIPSIS | (wordWrap_ ? 0 : DT_SINGLELINE);
    if (layout_ != tlTop) {
        RECT calc = r;
        DrawTextW(dc, caption_.c_str(), -1, &calc, (flags & ~DT_END_ELLIPSIS) | DT_CALCRECT);
        int textHeight = calc.bottom - calc.top;
        r.top = layout_ == tlCenter ? (height_ - textHeight) / 2 : height_ - textHeight;
    }
    std::optional<SIZE> line;
    if ((font_.Style() & fsUnderline) && (line = PlainLineExtent(dc))) {
        // The letters are drawn exactly as without the underline, so a
        // label that underlines itself on hover does not move.
        TFont plain(font_);
        plain.SetStyle(font_.Style() & ~fsUnderline);
        SelectObject(dc, plain.Handle());
        DrawTextW(dc, caption_.c_str(), -1, &r, flags);
        DrawUnderline(dc, r, flags, *line);
        SelectObject(dc, old);
        return;
    }
    DrawTextW(dc, caption_.c_str(), -1, &r, flags);
    SelectObject(dc, old);
}

std::optional<SIZE> TLabel::PlainLineExtent(HDC dc) const {
    if (caption_.find_first_of(L"\r\n\t") != std::wstring::npos) return std::nullopt;
    if (showAccelChar_ && caption_.find(L'&') != std::wstring::npos) return std::nullopt;
    SIZE size{};
    GetTextExtentPoint32W(dc, caption_.c_str(), static_cast<int>(caption_.size()), &size);
    if (size.cx > width_ && (wordWrap_ || ellipsis_ == epEndEllipsis)) return std::nullopt;
    return size;
}

void TLabel::DrawUnderline(HDC dc, const RECT& r, UINT flags, SIZE extent) const {
    const int width = r.right - r.left, height = r.bottom - r.top;
    if (width <= 0 || height <= 0) return;
    // Some fonts' small bitmaps advance by less than the widths the font
    // reports, and the font's own underline follows the widths: it would
    // run past the last letter. The line ends where the letters' ink does.
    TBitmap ink(width, height);
    ink.Fill(MakeBGRA(255, 255, 255));
    HGDIOBJ oldInkFont = SelectObject(ink.DC(), GetCurrentObject(dc, OBJ_FONT));
    SetBkMode(ink.DC(), TRANSPARENT);
    SetTextColor(ink.DC(), RGB(0, 0, 0));
    RECT inkRect = {0, 0, width, height};
    DrawTextW(ink.DC(), caption_.c_str(), -1, &inkRect, flags);
    SelectObject(ink.DC(), oldInkFont);
    GdiFlush();
    int inkRight = -1;
    for (int x = width - 1; x >= 0 && inkRight < 0; --x)
        for (int y = 0; y < height; ++y)
            if ((ink.Pixel(x, y) & 0xFFFFFF) != 0xFFFFFF) {
                inkRight = x;
                break;
            }
    if (inkRight < 0) return;

    int left = r.left;
    if (flags & DT_CENTER) left += (width - extent.cx) / 2;
    if (flags & DT_RIGHT) left += width - extent.cx;
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    int below = 1, thickness = 1;
    OUTLINETEXTMETRICW otm{};
    otm.otmSize = sizeof(otm);
    if (GetOutlineTextMetricsW(dc, sizeof(otm), &otm)) {
        below = -otm.otmsUnderscorePosition;
        thickness = std::max(1, int(otm.otmsUnderscoreSize));
    }
    const int top = r.top + tm.tmAscent + below;
    RECT line = {std::max(left, int(r.left)), top, r.left + inkRight + 1, top + thickness};
    cls::Brush brush(CreateSolidBrush(GetTextColor(dc)));
    FillRect(dc, &line, brush.get());
}

}  // namespace cls
