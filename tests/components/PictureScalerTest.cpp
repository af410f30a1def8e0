#include <gtest/gtest.h>

#include <windows.h>

#include "classlib/Bitmap.h"
#include "classlib/JpegImage.h"
#include "components/PictureScaler.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestPictures.h"

using namespace components;
using cls::MakeBGRA;
using cls::TBitmap;
using cls::TJPEGImage;
using cls::TJPEGScale;
using testing_support::MakeJpeg;
using testing_support::Near;
using testing_support::RedBlueJpeg;

namespace {

constexpr COLORREF Magenta = RGB(255, 0, 255);
constexpr uint32_t MagentaPx = MakeBGRA(255, 0, 255), GreenPx = MakeBGRA(0, 255, 0);
constexpr uint32_t RedPx = MakeBGRA(255, 0, 0), BluePx = MakeBGRA(0, 0, 255);

std::string GreenJpeg(int w, int h) {
    return MakeJpeg({w, h}, [](int, int) { return 0x00FF00u; });
}

TJPEGImage Jpeg(const std::string& data) {
    TJPEGImage j;
    j.LoadFromStream(data);
    return j;
}

// The rows and columns of the bitmap that are not the background colour.
RECT Covered(const TBitmap& b, uint32_t back) {
    RECT r{b.Width(), b.Height(), 0, 0};
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            if (!Near(b.Pixel(x, y) | 0xFF000000u, back, 40)) {
                r.left = std::min<LONG>(r.left, x), r.top = std::min<LONG>(r.top, y);
                r.right = std::max<LONG>(r.right, x + 1), r.bottom = std::max<LONG>(r.bottom, y + 1);
            }
    return r;
}

// A bitmap of w x h whose pixel (x, y) is f(x, y).
template <typename F>
TBitmap Pattern(int w, int h, F f) {
    TBitmap b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b.SetPixel(x, y, f(x, y));
    return b;
}

}  // namespace

TEST(PictureScaler, ScaleIsTheCoarsestThatStillCoversTheBox) {
    struct {
        int fw, fh, w, h;
        TJPEGScale scale;
    } cases[] = {
        {200, 150, 97, 73, TJPEGScale::Half},     {640, 360, 97, 73, TJPEGScale::Quarter},
        {1280, 720, 60, 45, TJPEGScale::Eighth},  {80, 60, 97, 73, TJPEGScale::Full},
        {193, 146, 97, 73, TJPEGScale::Full},     {194, 146, 97, 73, TJPEGScale::Half},
        {399, 300, 100, 75, TJPEGScale::Half},    {400, 300, 100, 75, TJPEGScale::Quarter},
        {800, 600, 100, 75, TJPEGScale::Eighth},  {799, 600, 100, 75, TJPEGScale::Quarter},
        {800, 100, 100, 100, TJPEGScale::Full},   {100, 5000, 10, 10, TJPEGScale::Eighth},
        {640, 360, 174, 130, TJPEGScale::Half},   {0, 0, 97, 73, TJPEGScale::Full},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ThumbnailScale(c.fw, c.fh, c.w, c.h), c.scale) << c.fw << "x" << c.fh << " in " << c.w << "x" << c.h;
}

TEST(PictureScaler, FitRectKeepsTheProportions) {
    struct {
        RECT bounds;
        int w, h;
        LONG right, bottom;
    } cases[] = {
        {{0, 0, 97, 73}, 120, 160, 54, 73},  {{0, 0, 97, 73}, 100, 75, 97, 72},
        {{0, 0, 97, 73}, 160, 90, 97, 54},   {{0, 0, 60, 45}, 160, 90, 60, 33},
        {{0, 0, 97, 73}, 80, 60, 80, 60},    {{0, 0, 97, 73}, 97, 73, 97, 73},
        {{10, 20, 107, 93}, 160, 90, 97, 54}, {{0, 0, 97, 50}, 100, 99, 50, 50},
        {{0, 0, 50, 97}, 99, 100, 50, 50},    {{0, 0, 97, 73}, 1, 200, 0, 73},
        {{0, 0, 174, 130}, 320, 180, 174, 97},
    };
    for (const auto& c : cases) {
        RECT r{5, 5, 5, 5};
        FitRect(c.bounds, r, c.w, c.h);
        EXPECT_EQ(r.left, 0);
        EXPECT_EQ(r.top, 0);
        EXPECT_EQ(r.right, c.right) << c.w << "x" << c.h;
        EXPECT_EQ(r.bottom, c.bottom) << c.w << "x" << c.h;
    }
    for (auto [w, h] : {std::pair{0, 10}, {10, 0}, {-3, 10}}) {
        RECT r{1, 2, 3, 4};
        FitRect({0, 0, 97, 73}, r, w, h);
        EXPECT_EQ(r.left + r.top * 10 + r.right * 100 + r.bottom * 1000, 4321) << w << "x" << h;
    }
}

TEST(PictureScaler, ResamplerInterpolatesAndRoundsHalvesToEven) {
    // Two columns stretched to four: source positions 0, 0.25, 0.5, 0.75.
    struct {
        uint8_t a, b;
        uint8_t out[4];
    } cases[] = {{0, 200, {0, 50, 100, 150}}, {0, 1, {0, 0, 0, 1}}, {0, 3, {0, 1, 2, 2}}, {10, 0, {10, 8, 5, 2}}};
    for (const auto& c : cases) {
        TBitmap b = Pattern(2, 2, [&](int x, int) { return MakeBGRA(x ? c.b : c.a, 7, 0); });
        ResampleBitmap(b, 4, 3);
        ASSERT_EQ(b.Width(), 4);
        ASSERT_EQ(b.Height(), 3);
        EXPECT_FALSE(b.HasAlpha());
        // Row 0 takes its source row with weight exactly 1, so ties stay ties.
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ((b.Pixel(x, 0) >> 16) & 255, c.out[x]) << int(c.a) << "->" << int(c.b) << " at " << x;
            EXPECT_EQ((b.Pixel(x, 2) >> 8) & 255, 7u);
        }
    }
}

TEST(PictureScaler, ResamplerShrinksAlongBothAxes) {
    // A vertical ramp shrunk keeps its ends and its order.
    TBitmap b = Pattern(50, 101, [](int, int y) { return MakeBGRA(0, 0, uint8_t(y * 2)); });
    ResampleBitmap(b, 25, 10);
    ASSERT_EQ(b.Width(), 25);
    ASSERT_EQ(b.Height(), 10);
    EXPECT_EQ(b.Pixel(24, 0) & 255, 0u);
    for (int y = 1; y < 10; ++y) {
        EXPECT_EQ(b.Pixel(0, y), b.Pixel(24, y));
        EXPECT_EQ(b.Pixel(3, y) & 255, uint32_t(y * 20)) << y;  // row y samples source row y * 10
    }
}

TEST(PictureScaler, ResamplerCopesWithThinAndEmptyPictures) {
    TBitmap dot = Pattern(1, 1, [](int, int) { return MakeBGRA(9, 99, 199); });
    ResampleBitmap(dot, 3, 2);
    ASSERT_EQ(dot.Width(), 3);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(dot.Pixel(x, y), MakeBGRA(9, 99, 199));

    TBitmap column = Pattern(1, 5, [](int, int y) { return MakeBGRA(uint8_t(y * 50), 0, 0); });
    ResampleBitmap(column, 2, 2);
    ASSERT_EQ(column.Height(), 2);
    EXPECT_EQ(column.Pixel(1, 0), MakeBGRA(0, 0, 0));
    EXPECT_EQ(column.Pixel(1, 1), MakeBGRA(100, 0, 0));  // source row 2

    TBitmap empty;
    ResampleBitmap(empty, 4, 3);
    ASSERT_EQ(empty.Width(), 4);
    EXPECT_EQ(empty.Pixel(3, 2) & 0xFFFFFFu, 0u);

    for (auto [w, h] : {std::pair{0, 5}, {5, 0}, {-1, -1}}) {
        TBitmap b = Pattern(4, 4, [](int, int) { return GreenPx; });
        ResampleBitmap(b, w, h);
        EXPECT_TRUE(b.Empty()) << w << "x" << h;
    }
}

TEST(PictureScaler, ThumbnailIsDecodedSmallFittedAndCentred) {
    struct {
        int fw, fh, w, h;
        TJPEGScale scale;
        RECT covered;
    } cases[] = {
        {200, 150, 97, 73, TJPEGScale::Half, {0, 0, 97, 72}},
        {640, 360, 97, 73, TJPEGScale::Quarter, {0, 9, 97, 63}},
        {1280, 720, 60, 45, TJPEGScale::Eighth, {0, 6, 60, 39}},
        {80, 60, 97, 73, TJPEGScale::Full, {8, 6, 88, 66}},
        {640, 360, 174, 130, TJPEGScale::Half, {0, 16, 174, 113}},
        {120, 160, 97, 73, TJPEGScale::Full, {21, 0, 75, 73}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.fw << "x" << c.fh << " in " << c.w << "x" << c.h);
        TJPEGImage j = Jpeg(GreenJpeg(c.fw, c.fh));
        TBitmap out(3, 3);
        MakeJpegThumbnail(j, c.w, c.h, out, Magenta);
        EXPECT_EQ(j.Scale(), c.scale);
        ASSERT_EQ(out.Width(), c.w);
        ASSERT_EQ(out.Height(), c.h);
        EXPECT_FALSE(out.HasAlpha());
        RECT r = Covered(out, MagentaPx);
        EXPECT_EQ(r.left, c.covered.left);
        EXPECT_EQ(r.top, c.covered.top);
        EXPECT_EQ(r.right, c.covered.right);
        EXPECT_EQ(r.bottom, c.covered.bottom);
        EXPECT_TRUE(Near(out.Pixel(c.w / 2, c.h / 2), GreenPx, 12));
        EXPECT_EQ(out.Pixel(0, 0) == MagentaPx, c.covered.top > 0 || c.covered.left > 0);
    }
}

TEST(PictureScaler, ThumbnailKeepsTheLayoutOfThePicture) {
    // Red left half, blue right half: the split stays in the middle.
    TJPEGImage j = Jpeg(RedBlueJpeg(400, 300));
    TBitmap out;
    MakeJpegThumbnail(j, 60, 45, out, RGB(0, 0, 0));
    EXPECT_TRUE(Near(out.Pixel(5, 22), RedPx, 16));
    EXPECT_TRUE(Near(out.Pixel(25, 22), RedPx, 16));
    EXPECT_TRUE(Near(out.Pixel(34, 22), BluePx, 16));
    EXPECT_TRUE(Near(out.Pixel(54, 22), BluePx, 16));
}

TEST(PictureScaler, MakeThumbnailWorksOnACopy) {
    TJPEGImage j = Jpeg(GreenJpeg(640, 360));
    TBitmap out;
    MakeThumbnail(j, 97, 73, out, Magenta);
    EXPECT_EQ(j.Scale(), TJPEGScale::Full);
    EXPECT_EQ(j.Width(), 640);
    RECT r = Covered(out, MagentaPx);
    EXPECT_EQ(r.top, 9);
    EXPECT_EQ(r.bottom, 63);

    // Other pictures are scaled from their full size.
    TBitmap wide = Pattern(200, 50, [](int, int) { return BluePx; });
    MakeThumbnail(wide, 100, 100, out, Magenta);
    r = Covered(out, MagentaPx);
    EXPECT_EQ(r.top, 37);
    EXPECT_EQ(r.bottom, 62);
    EXPECT_EQ(out.Pixel(50, 50), BluePx);
}

TEST(PictureScaler, OnePixelPicturesAndEmptyBoxes) {
    TBitmap out;
    TJPEGImage dot = Jpeg(GreenJpeg(1, 1));
    MakeJpegThumbnail(dot, 97, 73, out, Magenta);
    EXPECT_EQ(Covered(out, MagentaPx).left, 48);
    EXPECT_EQ(Covered(out, MagentaPx).right, 49);
    EXPECT_TRUE(Near(out.Pixel(48, 36), GreenPx, 12));

    // Too tall for the box and one pixel wide: it stays a one-pixel line.
    TJPEGImage line = Jpeg(GreenJpeg(1, 200));
    MakeJpegThumbnail(line, 97, 73, out, Magenta);
    RECT r = Covered(out, MagentaPx);
    EXPECT_EQ(r.left, 48);
    EXPECT_EQ(r.right, 49);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.bottom, 73);

    TJPEGImage nothing;
    MakeJpegThumbnail(nothing, 10, 8, out, Magenta);
    ASSERT_EQ(out.Width(), 10);
    EXPECT_EQ(Covered(out, MagentaPx).right, 0);

    for (auto [w, h] : {std::pair{0, 73}, {97, 0}, {-5, 10}}) {
        TJPEGImage j = Jpeg(GreenJpeg(200, 150));
        out.SetSize(4, 4);
        MakeJpegThumbnail(j, w, h, out, Magenta);
        EXPECT_TRUE(out.Empty()) << w << "x" << h;
        out.SetSize(4, 4);
        MakeThumbnail(j, w, h, out, Magenta);
        EXPECT_TRUE(out.Empty()) << w << "x" << h;
    }
}

TEST(PictureScaler, CorruptPictureRaisesAndTheCallerRecovers) {
    testing_support::TempFolder tmp;
    std::string good = RedBlueJpeg(200, 150);
    const std::wstring files[] = {tmp.Write(L"cut.jpg", good.substr(0, good.size() / 3)),
                                  tmp.Write(L"junk.jpg", "\xFF\xD8\xFF\xE0 this is no picture"),
                                  tmp.Write(L"empty.jpg", "")};
    for (const auto& file : files) {
        TBitmap shown = Pattern(2, 2, [](int, int) { return BluePx; });
        bool placeholder = false;
        try {
            TJPEGImage j;
            j.LoadFromFile(file);
            TBitmap thumb;
            MakeThumbnail(j, 97, 73, thumb, RGB(0, 0, 0));
            shown = thumb;
        } catch (const cls::EInvalidGraphic&) {
            placeholder = true;
        }
        EXPECT_TRUE(placeholder);
        EXPECT_EQ(shown.Width(), 2);
    }
    // Still alive and able to scale the intact file.
    TJPEGImage j;
    j.LoadFromFile(tmp.Write(L"good.jpg", good));
    TBitmap thumb;
    MakeThumbnail(j, 97, 73, thumb, RGB(0, 0, 0));
    EXPECT_TRUE(Near(thumb.Pixel(10, 36), RedPx, 16));
}
