// A 32-bit top-down DIB section: the in-memory picture every decoder fills
// and every window draws from.
#pragma once
#include <cstdint>
#include <memory>

#include "classlib/Graphics.h"
#include "classlib/Raii.h"

namespace cls {

// Pixels are 0xAARRGGBB words: blue, green, red, alpha bytes in memory.
constexpr uint32_t MakeBGRA(uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255) {
    return (uint32_t(a) << 24) | (uint32_t(r) << 16) | (uint32_t(g) << 8) | b;
}

class TBitmap : public TGraphic {
public:
    TBitmap() = default;
    TBitmap(int width, int height);
    TBitmap(const TBitmap& other);
    TBitmap& operator=(const TBitmap& other);
    TBitmap(TBitmap&& other) noexcept;
    TBitmap& operator=(TBitmap&& other) noexcept;
    ~TBitmap() override;

    int Width() const override { return width_; }
    int Height() const override { return height_; }
    // New pixels are transparent black; 0 x 0 frees the bitmap. Throws
    // EInvalidGraphic when the bitmap cannot be created.
    void SetSize(int width, int height);
    void Fill(uint32_t bgra);

    // Rows run top-down; y must be inside the bitmap. Reading flushes
    // pending GDI drawing first.
    uint32_t* ScanLine(int y);
    const uint32_t* ScanLine(int y) const;
    uint32_t Pixel(int x, int y) const { return ScanLine(y)[x]; }
    void SetPixel(int x, int y, uint32_t bgra) { ScanLine(y)[x] = bgra; }

    // Whether Draw honours the alpha bytes (straight, not premultiplied);
    // without it the alpha bytes are ignored.
    bool HasAlpha() const { return hasAlpha_; }
    void SetHasAlpha(bool value) { hasAlpha_ = value; }

    HBITMAP Handle() const { return handle_.get(); }
    // A memory DC with the bitmap selected, for drawing on it with GDI;
    // null while the bitmap is empty. GDI drawing leaves alpha bytes at 0,
    // so such pictures keep HasAlpha off.
    HDC DC() { return SelectedDC(); }

    void Draw(HDC dc, const RECT& rect) const override;
    // Takes over the current frame of any picture.
    void Assign(const TGraphic& source);

    bool Transparent() const override { return hasAlpha_; }
    void ToBitmap(TBitmap& out) const override;
    std::unique_ptr<TGraphic> Clone() const override;

private:
    HDC SelectedDC() const;
    void Reset();

    Bitmap handle_;  // declared before dc_ so the DC lets go of it first
    uint32_t* bits_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    bool hasAlpha_ = false;
    mutable std::unique_ptr<MemoryDC> dc_;
};

}  // namespace cls
