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
constexpr uint32_t MagentaPx = MakeBGRA(255, 0, 255), GreenPx = MakeBGRA(0, 255, 0), RedPx = MakeBGRA(255, 0, 0);

TJPEGImage GreenJpeg(int w, int h) {
    TJPEGImage j;
    j.LoadFromStream(MakeJpeg({w, h}, [](int, int) { return 0x00FF00u; }));
    return j;
}

// The smallest rectangle holding every pixel that is not the background.
RECT Covered(const TBitmap& b) {
    RECT r{b.Width(), b.Height(), 0, 0};
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            if (!Near(b.Pixel(x, y) | 0xFF000000u, MagentaPx, 40))
                r = {std::min<LONG>(r.left, x), std::min<LONG>(r.top, y), std::max<LONG>(r.right, x + 1),
                     std::max<LONG>(r.bottom, y + 1)};
    return r;
}

void ExpectRect(const RECT& r, const RECT& expected) {
    EXPECT_EQ(r.left, expected.left);
    EXPECT_EQ(r.top, expected.top);
    EXPECT_EQ(r.right, expected.right);
    EXPECT_EQ(r.bottom, expected.bottom);
}

}  // namespace

TEST(PictureScaler, ScaleIsTheCoarsestThatStillCoversTheBox) {
    using enum TJPEGScale;
    struct {
        int fw, fh, w, h;
        TJPEGScale scale;
    } cases[] = {{200, 150, 97, 73, Half},   {640, 360, 97, 73, Quarter}, {1280, 720, 60, 45, Eighth},
                 {80, 60, 97, 73, Full},     {193, 146, 97, 73, Full},    {194, 146, 97, 73, Half},
                 {400, 300, 100, 75, Quarter}, {799, 600, 100, 75, Quarter}, {800, 600, 100, 75, Eighth},
                 {800, 100, 100, 100, Full}, {640, 360, 174, 130, Half},  {0, 0, 97, 73, Full}};
    for (const auto& c : cases)
        EXPECT_EQ(ThumbnailScale(c.fw, c.fh, c.w, c.h), c.scale) << c.fw << "x" << c.fh << " in " << c.w << "x" << c.h;
}

TEST(PictureScaler, FitRectKeepsTheProportions) {
    struct {
        RECT bounds;
        int w, h;
        RECT expected;
    } cases[] = {
        {{0, 0, 97, 73}, 120, 160, {0, 0, 54, 73}},  {{0, 0, 97, 73}, 100, 75, {0, 0, 97, 72}},
        {{0, 0, 60, 45}, 160, 90, {0, 0, 60, 33}},   {{0, 0, 97, 73}, 80, 60, {0, 0, 80, 60}},
        {{10, 20, 107, 93}, 160, 90, {0, 0, 97, 54}}, {{0, 0, 97, 50}, 100, 99, {0, 0, 50, 50}},
        {{0, 0, 50, 97}, 99, 100, {0, 0, 50, 50}},    {{0, 0, 97, 73}, 1, 200, {0, 0, 0, 73}},
        {{0, 0, 97, 73}, 0, 10, {1, 2, 3, 4}},        {{0, 0, 97, 73}, 10, -1, {1, 2, 3, 4}},
    };
    for (const auto& c : cases) {
        RECT r{1, 2, 3, 4};
        FitRect(c.bounds, r, c.w, c.h);
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h);
        ExpectRect(r, c.expected);
    }
}

TEST(PictureScaler, ResamplerInterpolatesAndRoundsHalvesToEven) {
    // Two columns stretched to four sample at 0, 0.25, 0.5 and 0.75.
    struct {
        uint8_t a, b, out[4];
    } cases[] = {{0, 200, {0, 50, 100, 150}}, {0, 1, {0, 0, 0, 1}}, {0, 3, {0, 1, 2, 2}}, {10, 0, {10, 8, 5, 2}}};
    for (const auto& c : cases) {
        TBitmap b(2, 2);
        for (int i = 0; i < 4; ++i) b.SetPixel(i % 2, i / 2, MakeBGRA(i % 2 ? c.b : c.a, 7, 0));
        ResampleBitmap(b, 4, 3);
        ASSERT_EQ(b.Width() * 10 + b.Height(), 43);
        for (int x = 0; x < 4; ++x) {  // row 0 has weight exactly 1, so ties stay ties
            EXPECT_EQ(b.Pixel(x, 0), MakeBGRA(c.out[x], 7, 0)) << int(c.a) << "->" << int(c.b) << " at " << x;
            EXPECT_EQ(b.Pixel(x, 2) & 0xFF00, 0x0700u);
        }
    }
}

TEST(PictureScaler, ResamplerCopesWithThinAndEmptyPictures) {
    TBitmap column(1, 5);
    for (int y = 0; y < 5; ++y) column.SetPixel(0, y, MakeBGRA(uint8_t(y * 50), 0, 0));
    ResampleBitmap(column, 2, 2);
    EXPECT_EQ(column.Pixel(1, 0), MakeBGRA(0, 0, 0));
    EXPECT_EQ(column.Pixel(1, 1), MakeBGRA(100, 0, 0));  // source row 2

    TBitmap empty;
    ResampleBitmap(empty, 4, 3);
    ASSERT_EQ(empty.Width(), 4);
    EXPECT_EQ(empty.Pixel(3, 2) & 0xFFFFFFu, 0u);
    for (auto [w, h] : {std::pair{0, 5}, {5, 0}, {-1, -1}}) {
        TBitmap b(4, 4);
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
        {1, 1, 97, 73, TJPEGScale::Full, {48, 36, 49, 37}},
        {1, 200, 97, 73, TJPEGScale::Full, {48, 0, 49, 73}},  // too tall and one pixel wide: kept as a line
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.fw << "x" << c.fh << " in " << c.w << "x" << c.h);
        TJPEGImage j = GreenJpeg(c.fw, c.fh);
        TBitmap out(3, 3);
        MakeJpegThumbnail(j, c.w, c.h, out, Magenta);
        EXPECT_EQ(j.Scale(), c.scale);
        ASSERT_EQ(out.Width() * 1000 + out.Height(), c.w * 1000 + c.h);
        EXPECT_FALSE(out.HasAlpha());
        ExpectRect(Covered(out), c.covered);
        EXPECT_TRUE(Near(out.Pixel(c.w / 2, c.h / 2), GreenPx, 12));
    }
}

TEST(PictureScaler, MakeThumbnailKeepsTheCallersPictureAndItsLayout) {
    TJPEGImage j;
    j.LoadFromStream(RedBlueJpeg(400, 300));
    TBitmap out;
    MakeThumbnail(j, 60, 45, out, Magenta);
    EXPECT_EQ(j.Scale(), TJPEGScale::Full);
    EXPECT_EQ(j.Width(), 400);
    for (int x : {5, 25}) EXPECT_TRUE(Near(out.Pixel(x, 22), RedPx, 16)) << x;
    for (int x : {34, 54}) EXPECT_TRUE(Near(out.Pixel(x, 22), MakeBGRA(0, 0, 255), 16)) << x;

    // Other pictures are scaled from their full size.
    TBitmap wide(200, 50);
    wide.Fill(GreenPx);
    MakeThumbnail(wide, 100, 100, out, Magenta);
    ExpectRect(Covered(out), {0, 37, 100, 62});
    EXPECT_EQ(out.Pixel(50, 50), GreenPx);
}

TEST(PictureScaler, SnapshotTooLargeAtFullSizeStillGetsItsThumbnail) {
    const std::string data = RedBlueJpeg(8000, 4200);  // 33.6 megapixels
    TJPEGImage j;
    j.LoadFromStream(data);
    EXPECT_EQ(j.FullWidth(), 8000);
    EXPECT_EQ(j.Width(), 0);  // not held at full size
    TBitmap out;
    MakeThumbnail(j, 174, 130, out, Magenta);
    ASSERT_EQ(out.Width(), 174);
    EXPECT_TRUE(Near(out.Pixel(20, 65), RedPx, 16));
    EXPECT_TRUE(Near(out.Pixel(150, 65), MakeBGRA(0, 0, 255), 16));
    MakeJpegThumbnail(j, 60, 45, out, Magenta);
    EXPECT_EQ(j.Scale(), TJPEGScale::Eighth);
    EXPECT_EQ(j.Width(), 1000);
    // Its data is checked all the same.
    EXPECT_THROW(j.LoadFromStream(data.substr(0, data.size() / 2)), cls::EInvalidGraphic);
}

TEST(PictureScaler, EmptyPicturesAndBoxes) {
    TBitmap out;
    TJPEGImage nothing;
    MakeJpegThumbnail(nothing, 10, 8, out, Magenta);
    ASSERT_EQ(out.Width(), 10);
    EXPECT_EQ(Covered(out).right, 0);
    for (auto [w, h] : {std::pair{0, 73}, {97, 0}, {-5, 10}}) {
        TJPEGImage j = GreenJpeg(200, 150);
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
    const std::string good = RedBlueJpeg(200, 150);
    for (const std::string& data : {good.substr(0, good.size() / 3), std::string("\xFF\xD8\xFF\xE0 no picture"), std::string()}) {
        bool placeholder = false;
        try {
            TJPEGImage j;
            j.LoadFromFile(tmp.Write(L"thumb.jpg", data));
            TBitmap thumb;
            MakeThumbnail(j, 97, 73, thumb, RGB(0, 0, 0));
        } catch (const cls::EInvalidGraphic&) {
            placeholder = true;
        }
        EXPECT_TRUE(placeholder) << data.size();
    }
    TJPEGImage j;
    j.LoadFromFile(tmp.Write(L"thumb.jpg", good));
    TBitmap thumb;
    MakeThumbnail(j, 97, 73, thumb, RGB(0, 0, 0));
    EXPECT_TRUE(Near(thumb.Pixel(10, 36), RedPx, 16));
}
