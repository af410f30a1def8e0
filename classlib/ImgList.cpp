#include "ImgList.h"

#include <algorithm>

#include "classlib/Bitmap.h"

namespace cls {

TImageList::TImageList(TComponent* owner) : TComponent(owner) {}

void TImageList::SetProps(const Props& p) {
    Name = p.Name;
    SetSize(p.Width, p.Height);
}

void TImageList::SetSize(int width, int height) {
    if (width == width_ && height == height_) return;
    width_ = width;
    height_ = height;
    handle_.reset();
}

HIMAGELIST TImageList::Handle() {
    if (!handle_) handle_.reset(ImageList_Create(width_, height_, ILC_COLOR32 | ILC_MASK, 4, 4));
    return handle_.get();
}

int TImageList::Count() { return ImageList_GetImageCount(Handle()); }

int TImageList::Add(HBITMAP image, HBITMAP mask) { return ImageList_Add(Handle(), image, mask); }

int TImageList::AddMasked(HBITMAP image, TColor maskColor) {
    return ImageList_AddMasked(Handle(), image, ColorToRGB(maskColor));
}

int TImageList::AddGraphic(const TGraphic& graphic) {
    TBitmap source;
    graphic.ToBitmap(source);
    if (source.Empty()) return -1;
    TBitmap bmp(width_, height_);
    // Colour-on-colour stretching copies the alpha bytes along.
    SetStretchBltMode(bmp.DC(), COLORONCOLOR);
    StretchBlt(bmp.DC(), 0, 0, width_, height_, source.DC(), 0, 0, source.Width(), source.Height(), SRCCOPY);
    GdiFlush();
    if (!graphic.Transparent())
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x) bmp.SetPixel(x, y, bmp.Pixel(x, y) | 0xFF000000u);
    return ImageList_Add(Handle(), bmp.Handle(), nullptr);
}

void TImageList::Delete(int index) { ImageList_Remove(Handle(), index); }

void TImageList::Draw(HDC dc, int x, int y, int index, bool enabled) {
    ImageList_DrawEx(Handle(), index, dc, x, y, 0, 0, CLR_NONE, CLR_NONE,
                     ILD_TRANSPARENT | (enabled ? 0 : ILD_BLEND50));
}

void TImageList::GetBitmap(int index, TBitmap& out) {
    // Drawn once on black and once on white: the difference gives each
    // pixel's transparency, whether the list keeps alpha or a mask.
    TBitmap onBlack(width_, height_), onWhite(width_, height_);
    onBlack.Fill(MakeBGRA(0, 0, 0));
    onWhite.Fill(MakeBGRA(255, 255, 255));
    Draw(onBlack.DC(), 0, 0, index);
    Draw(onWhite.DC(), 0, 0, index);
    GdiFlush();
    out.SetSize(width_, height_);
    out.SetHasAlpha(true);
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) {
            uint32_t b = onBlack.Pixel(x, y), w = onWhite.Pixel(x, y);
            int alpha = 255 - (int((w >> 8) & 0xFF) - int((b >> 8) & 0xFF));
            alpha = std::clamp(alpha, 0, 255);
            auto channel = [&](int shift) {
                int c = int((b >> shift) & 0xFF);
                return alpha ? uint32_t(std::min(255, c * 255 / alpha)) : 0u;
            };
            out.SetPixel(x, y, (uint32_t(alpha) << 24) | (channel(16) << 16) | (channel(8) << 8) | channel(0));
        }
}

TImageList* NewImageList(TComponent* owner, const TImageList::Props& props) {
    auto* list = new TImageList(owner);
    list->SetProps(props);
    return list;
}

}  // namespace cls
