// JPEG pictures decoded by libjpeg, optionally at 1/2, 1/4 or 1/8 of their
// size, which libjpeg does far faster than a full decode.
#pragma once
#include <string>
#include <string_view>

#include "classlib/Bitmap.h"

namespace cls {

enum class TJPEGScale { Full, Half, Quarter, Eighth };

class TJPEGImage : public TGraphic {
public:
    TJPEGImage() = default;

    // Both decode at once at the current scale; a corrupt or truncated
    // picture raises EInvalidGraphic and leaves the image as it was.
    void LoadFromFile(const std::wstring& fileName);
    void LoadFromStream(std::string_view data);
    // The compressed picture as loaded.
    const std::string& Data() const { return data_; }

    TJPEGScale Scale() const { return scale_; }
    // Decodes again when a picture is loaded; may raise like LoadFromStream.
    void SetScale(TJPEGScale scale);

    // At the current scale: ceil(full size / scale). A picture too large
    // to hold at the current scale has no pixels (0 x 0) until a smaller
    // scale is set; its data was checked all the same.
    int Width() const override { return bitmap_.Width(); }
    int Height() const override { return bitmap_.Height(); }
    int FullWidth() const { return fullWidth_; }
    int FullHeight() const { return fullHeight_; }
    bool Grayscale() const { return grayscale_; }
    const TBitmap& Bitmap() const { return bitmap_; }

    void Draw(HDC dc, const RECT& rect) const override { bitmap_.Draw(dc, rect); }
    void ToBitmap(TBitmap& out) const override { out = bitmap_; }
    std::unique_ptr<TGraphic> Clone() const override { return std::make_unique<TJPEGImage>(*this); }

private:
    void Decode(std::string_view data, TJPEGScale scale);

    std::string data_;
    TJPEGScale scale_ = TJPEGScale::Full;
    int fullWidth_ = 0;
    int fullHeight_ = 0;
    bool grayscale_ = false;
    TBitmap bitmap_;
};

}  // namespace cls
