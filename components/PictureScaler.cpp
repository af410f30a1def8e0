#include "components/PictureScaler.h"

#include <algorithm>
#include <cmath>

namespace components {

namespace {

constexpr uint32_t Opaque(COLORREF c) { return cls::MakeBGRA(GetRValue(c), GetGValue(c), GetBValue(c)); }

// Copies src onto dst with its top left corner at (x, y), clipped to dst.
void CopyPixels(const cls::TBitmap& src, cls::TBitmap& dst, int x, int y) {
    const int x0 = std::max(x, 0), x1 = std::min(x + src.Width(), dst.Width());
    const int y0 = std::max(y, 0), y1 = std::min(y + src.Height(), dst.Height());
    if (x0 >= x1) return;
    for (int row = y0; row < y1; ++row) {
        const uint32_t* s = src.ScanLine(row - y) + (x0 - x);
        uint32_t* d = dst.ScanLine(row) + x0;
        for (int i = 0; i < x1 - x0; ++i) d[i] = s[i] | 0xFF000000u;
    }
}

// Steps shared by every kind of picture once it is decoded at its scale.
void PlaceThumbnail(const cls::TBitmap& picture, int width, int height, cls::TBitmap& bitmap, COLORREF backColor) {
    bitmap.SetSize(width, height);
    bitmap.SetHasAlpha(false);
    bitmap.Fill(Opaque(backColor));
    const int w = picture.Width(), h = picture.Height();
    if (w > width || h > height) {
        RECT fit{};
        FitRect(RECT{0, 0, width, height}, fit, w, h);
        cls::TBitmap temp(picture);
        // A picture one pixel thin would fit as nothing; keep a line of it.
        ResampleBitmap(temp, std::max<int>(fit.right, 1), std::max<int>(fit.bottom, 1));
        CopyPixels(temp, bitmap, (width - temp.Width()) / 2, (height - temp.Height()) / 2);
    } else {
        CopyPixels(picture, bitmap, (width - w) / 2, (height - h) / 2);
    }
}

}  // namespace

cls::TJPEGScale ThumbnailScale(int fullWidth, int fullHeight, int width, int height) {
    if (width < 1 || height < 1) return cls::TJPEGScale::Full;
    const long double r = std::min(static_cast<long double>(fullWidth) / width,
                                   static_cast<long double>(fullHeight) / height);
    const long double n = std::floor(r);
    if (n < 2) return cls::TJPEGScale::Full;
    if (n < 4) return cls::TJPEGScale::Half;
    if (n < 8) return cls::TJPEGScale::Quarter;
    return cls::TJPEGScale::Eighth;
}

void FitRect(const RECT& bounds, RECT& r, int w, int h) {
    if (w < 1 || h < 1) return;
    const int bw = bounds.right - bounds.left, bh = bounds.bottom - bounds.top;
    int fw = w, fh = h;
    if (w > bw || h > bh) {
        const double ratio = static_cast<double>(w) / h;
        if (h >= w) {
            fh = bh;
            fw = static_cast<int>(std::trunc(bh * ratio));
            if (fw > bw) {
                fw = bw;
                fh = static_cast<int>(std::trunc(bw / ratio));
            }
        } else {
            fw = bw;
            fh = static_cast<int>(std::trunc(bw / ratio));
            if (fh > bh) {
                fh = bh;
                fw = static_cast<int>(std::trunc(bh * ratio));
            }
        }
    }
    r = RECT{0, 0, fw, fh};
}

void ResampleBitmap(cls::TBitmap& bitmap, int newWidth, int newHeight) {
    if (newWidth < 1 || newHeight < 1) {
        bitmap.SetSize(0, 0);
        return;
    }
    cls::TBitmap dst(newWidth, newHeight);
    const int sw = bitmap.Width(), sh = bitmap.Height();
    if (sw > 0 && sh > 0) {
        // Single precision on purpose: the thumbnails must match the
        // pictures the program has always made, rounding included. A source
        // one pixel thin has nothing to interpolate in that direction.
        const float sx = sw > 1 ? float(newWidth) / float(sw - 1) : 0.0f;
        const float sy = sh > 1 ? float(newHeight) / float(sh - 1) : 0.0f;
        for (int y = 0; y < newHeight; ++y) {
            const float fy = sh > 1 ? float(y) / sy : 0.0f;
            const int iy = static_cast<int>(fy);
            const float wy[2] = {1.0f - (fy - float(iy)), fy - float(iy)};
            const uint32_t* rows[2] = {bitmap.ScanLine(std::min(iy, sh - 1)),
                                       bitmap.ScanLine(std::min(iy + 1, sh - 1))};
            uint32_t* out = dst.ScanLine(y);
            for (int x = 0; x < newWidth; ++x) {
                const float fx = sw > 1 ? float(x) / sx : 0.0f;
                const int ix = static_cast<int>(fx);
                const float wx[2] = {1.0f - (fx - float(ix)), fx - float(ix)};
                const int cols[2] = {std::min(ix, sw - 1), std::min(ix + 1, sw - 1)};
                float sum[3] = {0, 0, 0};
                for (int j = 0; j < 2; ++j)
                    for (int i = 0; i < 2; ++i) {
                        const uint32_t p = rows[i][cols[j]];
                        const float weight = wx[j] * wy[i];
                        for (int c = 0; c < 3; ++c) sum[c] += float((p >> (8 * c)) & 255) * weight;
                    }
                uint32_t pixel = 0xFF000000u;
                for (int c = 0; c < 3; ++c) {
                    const long v = std::clamp(std::lrint(sum[c]), 0L, 255L);
                    pixel |= uint32_t(v) << (8 * c);
                }
                out[x] = pixel;
            }
        }
    }
    bitmap = std::move(dst);
    bitmap.SetHasAlpha(false);
}

void MakeJpegThumbnail(cls::TJPEGImage& jpeg, int width, int height, cls::TBitmap& bitmap, COLORREF backColor) {
    if (width < 1 || height < 1) {
        bitmap.SetSize(0, 0);
        return;
    }
    jpeg.SetScale(ThumbnailScale(jpeg.FullWidth(), jpeg.FullHeight(), width, height));
    PlaceThumbnail(jpeg.Bitmap(), width, height, bitmap, backColor);
}

void MakeThumbnail(const cls::TGraphic& graphic, int width, int height, cls::TBitmap& bitmap, COLORREF backColor) {
    if (const auto* jpeg = dynamic_cast<const cls::TJPEGImage*>(&graphic)) {
        // Only the compressed data is copied, decoded at once at the scale
        // the box needs, never at full size.
        cls::TJPEGImage copy;
        if (!jpeg->Data().empty()) {
            copy.SetScale(ThumbnailScale(jpeg->FullWidth(), jpeg->FullHeight(), width, height));
            copy.LoadFromStream(jpeg->Data());
        } else {
            copy = *jpeg;
        }
        MakeJpegThumbnail(copy, width, height, bitmap, backColor);
        return;
    }
    if (width < 1 || height < 1) {
        bitmap.SetSize(0, 0);
        return;
    }
    cls::TBitmap full;
    graphic.ToBitmap(full);
    PlaceThumbnail(full, width, height, bitmap, backColor);
}

}  // namespace components
