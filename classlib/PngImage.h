// PNG pictures: decoding of every colour type and bit depth (Adam7 too),
// and saving as 24-bit RGB or 32-bit RGBA.
#pragma once
#include <string>
#include <string_view>

#include "classlib/Bitmap.h"

namespace cls {

// Throws EInvalidGraphic for anything that is not a complete, intact PNG.
TBitmap DecodePng(std::string_view data);
// 32-bit RGBA when withAlpha, else 24-bit RGB; throws for an empty bitmap.
std::string EncodePng(const TBitmap& bitmap, bool withAlpha);

class TPNGImage : public TGraphic {
public:
    TPNGImage() = default;
    explicit TPNGImage(const TBitmap& bitmap) : bitmap_(bitmap) {}

    void LoadFromFile(const std::wstring& fileName);
    void LoadFromStream(std::string_view data);
    // Saved with an alpha channel when the bitmap has one.
    std::string SaveToStream() const { return EncodePng(bitmap_, bitmap_.HasAlpha()); }
    void SaveToFile(const std::wstring& fileName) const;
    void Assign(const TGraphic& source) { bitmap_.Assign(source); }
    const TBitmap& Bitmap() const { return bitmap_; }

    int Width() const override { return bitmap_.Width(); }
    int Height() const override { return bitmap_.Height(); }
    void Draw(HDC dc, const RECT& rect) const override { bitmap_.Draw(dc, rect); }
    bool Transparent() const override { return bitmap_.HasAlpha(); }
    void ToBitmap(TBitmap& out) const override { out = bitmap_; }
    std::unique_ptr<TGraphic> Clone() const override { return std::make_unique<TPNGImage>(*this); }

private:
    TBitmap bitmap_;
};

}  // namespace cls
