#include "components/DrawnProgressBar.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace components {

namespace {

struct Rgb {
    int r, g, b;
};

Rgb ToRgb(cls::TColor color) {
    const COLORREF c = cls::ColorToRGB(color);
    return {GetRValue(c), GetGValue(c), GetBValue(c)};
}

uint32_t Pixel(const Rgb& c) { return cls::MakeBGRA(uint8_t(c.r), uint8_t(c.g), uint8_t(c.b)); }
uint32_t Pixel(cls::TColor c) { return Pixel(ToRgb(c)); }

// Delphi-style Round: halves go to the even neighbour.
int RoundEven(double v) { return static_cast<int>(std::nearbyint(v)); }

// from + (to - from) * num / den per channel, truncating toward zero.
Rgb Lerp(const Rgb& from, const Rgb& to, int num, int den) {
    return {from.r + (to.r - from.r) * num / den, from.g + (to.g - from.g) * num / den,
            from.b + (to.b - from.b) * num / den};
}

// base + (g - base) / d: shift (rounding down) for the strong rule, plain
// division (toward zero) for the half-way rule.
Rgb Toward(const Rgb& base, const Rgb& g, int shift) {
    return {base.r + ((g.r - base.r) >> shift), base.g + ((g.g - base.g) >> shift), base.b + ((g.b - base.b) >> shift)};
}
Rgb Halfway(const Rgb& base, const Rgb& g) {
    return {base.r + (g.r - base.r) / 2, base.g + (g.g - base.g) / 2, base.b + (g.b - base.b) / 2};
}

void PutPixel(cls::TBitmap& b, int x, int y, uint32_t p) {
    if (x >= 0 && y >= 0 && x < b.Width() && y < b.Height()) b.ScanLine(y)[x] = p;
}

}  // namespace

cls::TColor BlendColors(cls::TColor a, cls::TColor b, uint8_t percent) {
    const uint8_t w = static_cast<uint8_t>(RoundEven(percent * 2.56));  // 100% wraps to 0
    const Rgb ca = ToRgb(a), cb = ToRgb(b);
    auto mix = [w](int x, int y) { return y + (((x - y) * w) >> 8); };
    return cls::TColor(RGB(mix(ca.r, cb.r), mix(ca.g, cb.g), mix(ca.b, cb.b)));
}

int ClampPosition(int position, int min, int max) {
    if (max <= min) return min;
    return std::clamp(position, min, max);
}

double ProgressFraction(const ProgressBarLook& look) {
    if (look.Marquee) return look.MarqueeStep / 100.0;
    if (look.Max <= look.Min) return 0;
    const int pos = ClampPosition(look.Position, look.Min, look.Max);
    return (double(pos) - look.Min) / (double(look.Max) - look.Min);
}

RECT ProgressPartRect(const ProgressBarLook& look, int w, int h) {
    RECT r{1, 1, w, h};
    const double f = ProgressFraction(look);
    if (look.Marquee) {
        if (look.Orientation == vpbHorizontal) {
            r.right = RoundEven(w * f);
            r.left = r.right - RoundEven(w * look.MarqueeSize / 100.0);
        } else {
            r.top = h - RoundEven(h * f);
            r.bottom = r.top + RoundEven(h * look.MarqueeSize / 100.0);
        }
    } else if (look.Orientation == vpbHorizontal) {
        r.right = RoundEven(w * f);
    } else {
        r.top = std::max(r.bottom - RoundEven(h * f), 1L);
    }
    return r;
}

std::wstring ProgressText(const ProgressBarLook& look) {
    const std::wstring value = look.Percentage
                                   ? std::to_wstring(RoundEven(ProgressFraction(look) * 100)) + L"%"
                                   : std::to_wstring(ClampPosition(look.Position, look.Min, look.Max));
    return look.PosTextPrefix + value + look.PosTextSuffix;
}

int NextMarqueeStep(int step, uint8_t marqueeSize) {
    if (step >= marqueeSize + 100) step = 0;
    return step + 1;
}

void DrawGlossyFill(cls::TBitmap& bitmap, const RECT& r, cls::TColor color, bool background,
                    TDPBOrientation orientation) {
    const int bw = r.right - r.left - 1, bh = r.bottom - r.top - 1;
    if (bw <= 0 || bh <= 1) return;
    Rgb c1, c2, c3, c4, g1, g2;
    if (background) {
        c1 = {253, 253, 253}, c2 = {218, 218, 218}, c3 = {160, 160, 160}, c4 = {213, 213, 213};
        g1 = {200, 200, 200}, g2 = {253, 253, 253};
    } else {
        c1 = ToRgb(BlendColors(color, cls::clWhite, 5));
        c2 = ToRgb(BlendColors(color, cls::clWhite, 50));
        c3 = ToRgb(BlendColors(color, cls::clBlack, 60));
        c4 = ToRgb(BlendColors(color, cls::clBlack, 80));
        g1 = ToRgb(BlendColors(color, cls::clBlack, 50));
        g2 = ToRgb(BlendColors(color, cls::clWhite, 50));
    }
    // Along the bar the highlight changes; across it the base colour does.
    // Only the first half along the bar is computed, the rest is mirrored.
    const bool horizontal = orientation == vpbHorizontal;
    const int across = horizontal ? bh : bw, along = horizontal ? bw : bh;
    const int split = static_cast<int>(across / (horizontal ? 2.25 : 2.5));
    std::vector<Rgb> base(across);
    for (int i = 0; i < across; ++i) base[i] = i < split ? Lerp(c1, c2, i, split) : Lerp(c3, c4, i, across);
    auto put = [&](int a, int c, uint32_t p) {
        if (horizontal)
            PutPixel(bitmap, r.left + a, r.top + c, p);
        else
            PutPixel(bitmap, r.left + c, r.top + a, p);
    };
    for (int a = 0; a < (along + 1) / 2; ++a) {
        const Rgb g = a < 25 ? Lerp(g1, g2, a, 25) : g2;
        for (int c = 0; c < across; ++c) {
            const bool strong = a == 0 || c < split || c == across - 1;
            const uint32_t p = Pixel(strong ? Toward(base[c], g, a == 0 ? 3 : 2) : Halfway(base[c], g));
            put(a, c, p);
            if (along - 1 - a > a) put(along - 1 - a, c, p);
        }
    }
}

void DrawMarqueeBand(cls::TBitmap& bitmap, const RECT& r, cls::TColor color, uint8_t size, uint8_t fade,
                     TDPBOrientation orientation) {
    const bool horizontal = orientation == vpbHorizontal;
    const long along = horizontal ? r.right - r.left : r.bottom - r.top;
    const long across = horizontal ? r.bottom - r.top : r.right - r.left;
    if (along - 1 <= 0 || across - 2 <= 0) return;
    // Extended precision, as the weights were always computed.
    const int length = horizontal ? bitmap.Width() : bitmap.Height();
    const int bandLen = static_cast<int>(std::trunc(static_cast<long double>(length) / 100 * size));
    const int fadeLen = static_cast<int>(std::trunc(static_cast<long double>(bandLen) / 100 * fade));
    std::vector<int> weight(std::max(bandLen, 0), 0);
    for (int i = 0; i <= bandLen - 1 - fadeLen; ++i) {
        if (i < fadeLen)
            weight[i] = weight[bandLen - 1 - i] =
                static_cast<int>(std::trunc(159.0L / fadeLen * (fadeLen - i))) + 95;
        else
            weight[i] = 96;
    }
    const Rgb c = ToRgb(color);
    auto tint = [&](uint32_t& p, int w) {
        const int b = p & 255, g = (p >> 8) & 255, rd = (p >> 16) & 255;
        p = cls::MakeBGRA(uint8_t(c.r + (((rd - c.r) * w) >> 8)), uint8_t(c.g + (((g - c.g) * w) >> 8)),
                          uint8_t(c.b + (((b - c.b) * w) >> 8)));
    };
    const int start = horizontal ? r.left : r.top;
    for (int k = 0; k < bandLen; ++k) {
        const int at = start + k;
        if (at < 0 || at >= length) continue;
        if (horizontal) {
            for (int y = 0; y < bitmap.Height(); ++y) tint(bitmap.ScanLine(y)[at], weight[k]);
        } else {
            uint32_t* row = bitmap.ScanLine(at);
            for (int x = 0; x < bitmap.Width(); ++x) tint(row[x], weight[k]);
        }
    }
}

void ComposeProgressBar(cls::TBitmap& out, int w, int h, const ProgressBarLook& look) {
    if (w <= 0 || h <= 0) {
        out.SetSize(0, 0);
        return;
    }
    out.SetSize(w, h);
    out.SetHasAlpha(false);
    // Frame: grey outline, lighter top line, softened corners.
    out.Fill(Pixel(cls::clWindow));
    const uint32_t edge = Pixel(cls::TColor(0xA0A0A0)), top = Pixel(cls::clSilver);
    for (int x = 0; x < w; ++x) {
        PutPixel(out, x, 0, x >= 1 && x <= w - 2 ? top : edge);
        PutPixel(out, x, h - 1, edge);
    }
    for (int y = 0; y < h; ++y) PutPixel(out, 0, y, edge), PutPixel(out, w - 1, y, edge);
    const uint32_t corner = Pixel(BlendColors(cls::clWhite, cls::clSilver, 50));
    PutPixel(out, 0, 0, corner), PutPixel(out, w - 1, 0, corner);
    PutPixel(out, 0, h - 1, corner), PutPixel(out, w - 1, h - 1, corner);

    const RECT inner{1, 1, w, h};
    if (!look.AltMode) DrawGlossyFill(out, inner, look.Color, true, look.Orientation);
    const RECT part = ProgressPartRect(look, w, h);
    if (part.right > 0) {
        if (look.Marquee)
            DrawMarqueeBand(out, part, look.Color, look.MarqueeSize, look.MarqueeFade, look.Orientation);
        else
            DrawGlossyFill(out, part, look.Color, false, look.Orientation);
    }
    if (look.ShowPosText) {
        HDC dc = out.DC();
        const std::wstring text = ProgressText(look);
        HGDIOBJ oldFont = SelectObject(dc, look.Font ? look.Font : GetStockObject(DEFAULT_GUI_FONT));
        SIZE size{};
        GetTextExtentPoint32W(dc, text.c_str(), int(text.size()), &size);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, cls::ColorToRGB(look.FontColor));
        TextOutW(dc, (w - size.cx) / 2, (h - size.cy) / 2, text.c_str(), int(text.size()));
        SelectObject(dc, oldFont);
        GdiFlush();
    }
}

void PaintProgressBar(HDC dc, const RECT& r, const ProgressBarLook& look) {
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (!dc || w <= 0 || h <= 0) return;
    cls::TBitmap bar;
    ComposeProgressBar(bar, w, h, look);
    BitBlt(dc, r.left, r.top, w, h, bar.DC(), 0, 0, SRCCOPY);
}

// --- TDrawnProgressBar ------------------------------------------------------

TDrawnProgressBar::TDrawnProgressBar(cls::TComponent* owner)
    : cls::TGraphicControl(owner), timer_(new cls::TTimer(this)) {
    width_ = 150;
    height_ = 17;
    color_ = cls::clLime;
    parentColor_ = false;
    timer_->SetEnabled(false);
    timer_->SetInterval(marqueeSpeed_);
    timer_->OnTimer = [this](cls::TComponent*) { MarqueeTick(); };
}

void TDrawnProgressBar::SetProps(const Props& p) {
    look_.Min = p.Min;
    look_.Max = p.Max;
    look_.Position = ClampPosition(p.Position, p.Min, p.Max);
    look_.MarqueeSize = p.MarqueeSize;
    look_.MarqueeFade = p.MarqueeFade;
    look_.AltMode = p.AltMode;
    look_.Orientation = p.Orientation;
    look_.Percentage = p.Percentage;
    look_.ShowPosText = p.ShowPosText;
    look_.PosTextPrefix = p.PosTextPrefix;
    look_.PosTextSuffix = p.PosTextSuffix;
    SetMarqueeSpeed(p.MarqueeSpeed);
    SetMarquee(p.Marquee);
}

// The bounds change together, and the position follows them, so the bar
// never shows or reports a value outside its range.
void TDrawnProgressBar::SetMin(int value) {
    if (value == look_.Min) return;
    look_.Min = value;
    look_.Position = ClampPosition(look_.Position, look_.Min, look_.Max);
    Repaint();
}

void TDrawnProgressBar::SetMax(int value) {
    if (value == look_.Max) return;
    look_.Max = value;
    look_.Position = ClampPosition(look_.Position, look_.Min, look_.Max);
    Repaint();
}

void TDrawnProgressBar::SetPosition(int value) {
    if (value == look_.Position) return;
    look_.Position = ClampPosition(value, look_.Min, look_.Max);
    Repaint();
}

void TDrawnProgressBar::SetMarquee(bool value) {
    look_.Marquee = value;
    timer_->SetEnabled(value);
    Repaint();
}

void TDrawnProgressBar::SetMarqueeSize(uint8_t value) {
    look_.MarqueeSize = value;
    Repaint();
}

void TDrawnProgressBar::SetMarqueeFade(uint8_t value) {
    look_.MarqueeFade = value;
    Repaint();
}

void TDrawnProgressBar::SetMarqueeSpeed(uint8_t value) {
    marqueeSpeed_ = value;
    timer_->SetInterval(value);
}

void TDrawnProgressBar::SetAltMode(bool value) {
    look_.AltMode = value;
    Invalidate();
}

void TDrawnProgressBar::SetOrientation(TDPBOrientation value) {
    look_.Orientation = value;
    Repaint();
}

void TDrawnProgressBar::SetPercentage(bool value) {
    if (value == look_.Percentage) return;
    look_.Percentage = value;
    Repaint();
}

void TDrawnProgressBar::SetShowPosText(bool value) {
    if (value == look_.ShowPosText) return;
    look_.ShowPosText = value;
    Repaint();
}

void TDrawnProgressBar::SetPosTextPrefix(const std::wstring& value) {
    if (value == look_.PosTextPrefix) return;
    look_.PosTextPrefix = value;
    Repaint();
}

void TDrawnProgressBar::SetPosTextSuffix(const std::wstring& value) {
    if (value == look_.PosTextSuffix) return;
    look_.PosTextSuffix = value;
    Repaint();
}

ProgressBarLook TDrawnProgressBar::Look() const {
    ProgressBarLook look = look_;
    look.Color = Color();
    look.Font = Font().Handle();
    look.FontColor = Font().Color();
    return look;
}

void TDrawnProgressBar::Draw(HDC dc, int x, int y) const {
    PaintProgressBar(dc, RECT{x, y, x + Width(), y + Height()}, Look());
}

void TDrawnProgressBar::Paint(HDC dc) {
    if (Visible()) Draw(dc, 0, 0);
}

void TDrawnProgressBar::MarqueeTick() {
    look_.MarqueeStep = NextMarqueeStep(look_.MarqueeStep, look_.MarqueeSize);
    Invalidate();
}

}  // namespace components
