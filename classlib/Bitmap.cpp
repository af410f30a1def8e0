#include "classlib/Bitmap.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace cls {

TBitmap::TBitmap(int width, int height) { SetSize(width, height); }

TBitmap::TBitmap(const TBitmap& other) { *this = other; }

TBitmap& TBitmap::operator=(const TBitmap& other) {
    if (this == &other) return *this;
    SetSize(other.width_, other.height_);
    if (bits_) std::memcpy(bits_, other.ScanLine(0), size_t(width_) * height_ * 4);
    hasAlpha_ = other.hasAlpha_;
    return *this;
}

TBitmap::TBitmap(TBitmap&& other) noexcept { *this = std::move(other); }

TBitmap& TBitmap::operator=(TBitmap&& other) noexcept {
    if (this == &other) return *this;
    Reset();
    other.dc_.reset();
    handle_ = std::move(other.handle_);
    bits_ = std::exchange(other.bits_, nullptr);
    width_ = std::exchange(other.width_, 0);
    height_ = std::exchange(other.height_, 0);
    hasAlpha_ = std::exchange(other.hasAlpha_, false);
    return *this;
}

TBitmap::~TBitmap() { Reset(); }

void TBitmap::Reset() {
    dc_.reset();
    handle_.reset();
    bits_ = nullptr;
    width_ = height_ = 0;
}

void TBitmap::SetSize(int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == width_ && height == height_) {
        Fill(0);
        return;
    }
    Reset();
    if (width == 0 || height == 0) return;
    if (static_cast<long long>(width) * height > MaxGraphicPixels)
        throw EInvalidGraphic("Picture too large");
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;  // negative: rows top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP h = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!h || !bits) {
        if (h) DeleteObject(h);
        throw EInvalidGraphic("Not enough memory for the picture");
    }
    handle_.reset(h);
    bits_ = static_cast<uint32_t*>(bits);
    width_ = width;
    height_ = height;
    std::memset(bits_, 0, size_t(width_) * height_ * 4);
}

void TBitmap::Fill(uint32_t bgra) {
    if (!bits_) return;
    GdiFlush();
    std::fill(bits_, bits_ + size_t(width_) * height_, bgra);
}

uint32_t* TBitmap::ScanLine(int y) {
    GdiFlush();
    return bits_ + size_t(y) * width_;
}

const uint32_t* TBitmap::ScanLine(int y) const {
    GdiFlush();
    return bits_ + size_t(y) * width_;
}

HDC TBitmap::SelectedDC() const {
    if (!handle_) return nullptr;
    if (!dc_) {
        auto dc = std::make_unique<MemoryDC>();
        if (!dc->get()) return nullptr;
        dc->SelectBitmap(handle_.get());
        dc_ = std::move(dc);
    }
    return dc_->get();
}

void TBitmap::Draw(HDC dc, const RECT& rect) const {
    int w = rect.right - rect.left, h = rect.bottom - rect.top;
    if (Empty() || w <= 0 || h <= 0 || !dc) return;
    if (hasAlpha_) {
        // AlphaBlend wants premultiplied colours; the bitmap keeps straight
        // ones so that pixel access and PNG saving stay simple.
        TBitmap pre(width_, height_);
        const uint32_t* s = ScanLine(0);
        uint32_t* d = pre.ScanLine(0);
        for (size_t i = 0, n = size_t(width_) * height_; i < n; ++i) {
            uint32_t c = s[i], a = c >> 24;
            if (a == 255) {
                d[i] = c;
            } else if (a != 0) {
                auto mul = [a](uint32_t v) { return (v * a + 127) / 255; };
                d[i] = (a << 24) | (mul((c >> 16) & 255) << 16) | (mul((c >> 8) & 255) << 8) | mul(c & 255);
            }
        }
        BLENDFUNCTION bf{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        AlphaBlend(dc, rect.left, rect.top, w, h, pre.SelectedDC(), 0, 0, width_, height_, bf);
    } else if (w == width_ && h == height_) {
        BitBlt(dc, rect.left, rect.top, w, h, SelectedDC(), 0, 0, SRCCOPY);
    } else {
        int oldMode = SetStretchBltMode(dc, HALFTONE);
        POINT oldOrg{};
        SetBrushOrgEx(dc, 0, 0, &oldOrg);  // HALFTONE needs it after the mode change
        StretchBlt(dc, rect.left, rect.top, w, h, SelectedDC(), 0, 0, width_, height_, SRCCOPY);
        SetBrushOrgEx(dc, oldOrg.x, oldOrg.y, nullptr);
        SetStretchBltMode(dc, oldMode);
    }
}

void TBitmap::Assign(const TGraphic& source) {
    if (&source != this) source.ToBitmap(*this);
}

void TBitmap::ToBitmap(TBitmap& out) const { out = *this; }

std::unique_ptr<TGraphic> TBitmap::Clone() const { return std::make_unique<TBitmap>(*this); }

}  // namespace cls
