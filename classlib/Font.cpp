#include "Font.h"

namespace cls {

int ScreenPixelsPerInch() {
    HDC dc = GetDC(nullptr);
    int ppi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
    if (dc) ReleaseDC(nullptr, dc);
    return ppi > 0 ? ppi : 96;
}

TFont::TFont(const TFont& other)
    : name_(other.name_), height_(other.height_), style_(other.style_), color_(other.color_) {}

TFont& TFont::operator=(const TFont& other) {
    if (this == &other || SameAs(other)) return *this;
    bool shape = name_ != other.name_ || height_ != other.height_ || style_ != other.style_;
    name_ = other.name_;
    height_ = other.height_;
    style_ = other.style_;
    color_ = other.color_;
    Changed(shape);
    return *this;
}

int TFont::Size() const { return -MulDiv(height_, 72, ScreenPixelsPerInch()); }

void TFont::SetName(const std::wstring& name) {
    if (name == name_) return;
    name_ = name;
    Changed(true);
}

void TFont::SetStyle(TFontStyles style) {
    if (style == style_) return;
    style_ = style;
    Changed(true);
}

void TFont::SetColor(TColor color) {
    if (color == color_) return;
    color_ = color;
    Changed(false);
}

void TFont::Apply(const TFontSpec& spec) {
    TFont f(*this);
    if (spec.Name) f.name_ = *spec.Name;
    if (spec.Height)
        f.height_ = *spec.Height;
    else if (spec.Size)
        f.height_ = -MulDiv(*spec.Size, ScreenPixelsPerInch(), 72);
    if (spec.Style) f.style_ = *spec.Style;
    if (spec.Color) f.color_ = *spec.Color;
    *this = f;
}

bool TFont::SameAs(const TFont& o) const {
    return name_ == o.name_ && height_ == o.height_ && style_ == o.style_ && color_ == o.color_;
}

HFONT TFont::Handle() const {
    if (!handle_) {
        LOGFONTW lf = {};
        lf.lfHeight = height_;
        lf.lfWeight = (style_ & fsBold) ? FW_BOLD : FW_NORMAL;
        lf.lfItalic = (style_ & fsItalic) ? TRUE : FALSE;
        lf.lfUnderline = (style_ & fsUnderline) ? TRUE : FALSE;
        lf.lfStrikeOut = (style_ & fsStrikeOut) ? TRUE : FALSE;
        lf.lfCharSet = DEFAULT_CHARSET;
        lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
        lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
        lf.lfQuality = DEFAULT_QUALITY;
        lstrcpynW(lf.lfFaceName, name_.c_str(), LF_FACESIZE);
        handle_.reset(CreateFontIndirectW(&lf));
    }
    return handle_.get();
}

void TFont::Changed(bool shapeChanged) {
    // The old font lives until the listeners have handed the new one out.
    cls::Font old;
    if (shapeChanged) old = std::move(handle_);
    if (OnChange) OnChange();
}

}  // namespace cls
