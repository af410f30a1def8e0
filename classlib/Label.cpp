#include "Label.h"

#include <climits>
#include <vector>

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
    if (!(font_.Style() & fsUnderline) || !DrawLineAtMeasuredAdvances(dc, r)) DrawTextW(dc, caption_.c_str(), -1, &r, flags);
    SelectObject(dc, old);
}

bool TLabel::DrawLineAtMeasuredAdvances(HDC dc, const RECT& r) const {
    if (caption_.find_first_of(L"\r\n\t") != std::wstring::npos) return false;
    if (showAccelChar_ && caption_.find(L'&') != std::wstring::npos) return false;
    const int count = static_cast<int>(caption_.size());
    std::vector<int> ends(count);
    int fit = 0;
    SIZE size{};
    if (!GetTextExtentExPointW(dc, caption_.c_str(), count, INT_MAX, &fit, ends.data(), &size) || fit != count)
        return false;
    const int width = r.right - r.left;
    // A line that must wrap or be shortened is laid out by the system.
    if (size.cx > width && (wordWrap_ || ellipsis_ == epEndEllipsis)) return false;
    std::vector<int> advances(count);
    for (int i = 0; i < count; ++i) advances[i] = ends[i] - (i ? ends[i - 1] : 0);
    int x = r.left;
    if (alignment_ == taCenter) x += (width - size.cx) / 2;
    if (alignment_ == taRightJustify) x += width - size.cx;
    return ExtTextOutW(dc, x, r.top, 0, nullptr, caption_.c_str(), count, advances.data()) != FALSE;
}

}  // namespace cls
