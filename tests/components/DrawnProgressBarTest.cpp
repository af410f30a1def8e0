#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "classlib/Bitmap.h"
#include "components/DrawnProgressBar.h"

using namespace components;
using cls::MakeBGRA;
using cls::TBitmap;

namespace {

uint32_t Px(COLORREF c) { return MakeBGRA(GetRValue(c), GetGValue(c), GetBValue(c)); }
uint32_t WindowPx() { return Px(GetSysColor(COLOR_WINDOW)); }

// The bar as it lands on a device context: painted into a bitmap's DC at
// an offset, then cut back out.
TBitmap Paint(const ProgressBarLook& look, int w, int h) {
    TBitmap canvas(w + 7, h + 5);
    canvas.Fill(MakeBGRA(1, 2, 3));
    PaintProgressBar(canvas.DC(), RECT{4, 3, 4 + w, 3 + h}, look);
    TBitmap out(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) out.SetPixel(x, y, canvas.Pixel(x + 4, y + 3) | 0xFF000000u);
    return out;
}

ProgressBarLook Bar(int position, bool altMode = true) {
    ProgressBarLook l;
    l.Position = position;
    l.AltMode = altMode;
    return l;
}

bool Greenish(uint32_t p) {
    const int r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
    return g > r + 20 && g > b + 20;
}

int FilledColumns(const TBitmap& b, int y) {
    int n = 0;
    for (int x = 0; x < b.Width(); ++x) n += Greenish(b.Pixel(x, y));
    return n;
}

int FilledRows(const TBitmap& b, int x) {
    int n = 0;
    for (int y = 0; y < b.Height(); ++y) n += Greenish(b.Pixel(x, y));
    return n;
}

}  // namespace

TEST(DrawnProgressBarLogic, BlendColors) {
    struct {
        COLORREF a, b;
        uint8_t p;
        COLORREF expected;
    } cases[] = {
        {RGB(255, 255, 255), RGB(0xC0, 0xC0, 0xC0), 50, RGB(0xDF, 0xDF, 0xDF)},
        {RGB(0, 255, 0), RGB(255, 255, 255), 5, RGB(242, 255, 242)},  // 12.8 rounds to 13; floor of the negative
        {RGB(0, 255, 0), RGB(0, 0, 0), 60, RGB(0, 153, 0)},
        {RGB(0, 255, 0), RGB(0, 0, 0), 80, RGB(0, 204, 0)},
        {RGB(10, 20, 30), RGB(200, 100, 50), 0, RGB(200, 100, 50)},
        {RGB(10, 20, 30), RGB(200, 100, 50), 100, RGB(200, 100, 50)},  // 256 wraps to 0
        {RGB(10, 20, 30), RGB(200, 100, 50), 99, RGB(12, 20, 30)},
    };
    for (const auto& c : cases) EXPECT_EQ(BlendColors(c.a, c.b, c.p), c.expected) << int(c.p);
    const COLORREF window = 0xFF000000u | COLOR_WINDOW;
    EXPECT_EQ(BlendColors(RGB(1, 2, 3), window, 0), GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(ResolveColor(RGB(1, 2, 3)), RGB(1, 2, 3));
}

TEST(DrawnProgressBarLogic, PositionIsClampedAndRangesNeverDivideByZero) {
    struct {
        int min, max, pos;
        int clamped;
        double fraction;
    } cases[] = {
        {0, 100, 50, 50, 0.5},  {0, 100, 150, 100, 1.0}, {0, 100, -5, 0, 0.0}, {10, 20, 15, 15, 0.5},
        {50, 50, 50, 50, 0.0},  {50, 50, 70, 50, 0.0},   {20, 10, 15, 20, 0.0}, {-100, 100, 0, 0, 0.5},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ClampPosition(c.pos, c.min, c.max), c.clamped) << c.min << ".." << c.max << " @" << c.pos;
        ProgressBarLook l;
        l.Min = c.min, l.Max = c.max, l.Position = c.pos;
        EXPECT_DOUBLE_EQ(ProgressFraction(l), c.fraction) << c.min << ".." << c.max << " @" << c.pos;
    }
}

TEST(DrawnProgressBarLogic, PartRectangles) {
    struct {
        bool marquee, vertical;
        int value;  // position, or the marquee step
        RECT expected;
    } cases[] = {
        {false, false, 0, {1, 1, 0, 17}},      {false, false, 50, {1, 1, 75, 17}},
        {false, false, 100, {1, 1, 150, 17}},  {false, false, 1, {1, 1, 2, 17}},  // 1.5 rounds to 2
        {false, true, 0, {1, 17, 150, 17}},    {false, true, 50, {1, 9, 150, 17}},  // 8.5 rounds to 8
        {false, true, 100, {1, 1, 150, 17}},   {true, false, 0, {-60, 1, 0, 17}},
        {true, false, 40, {0, 1, 60, 17}},     {true, false, 140, {150, 1, 210, 17}},
        {true, true, 50, {1, 9, 150, 16}},
    };
    for (const auto& c : cases) {
        ProgressBarLook l;
        l.Marquee = c.marquee;
        l.Orientation = c.vertical ? vpbVertical : vpbHorizontal;
        (c.marquee ? l.MarqueeStep : l.Position) = c.value;
        const RECT r = ProgressPartRect(l, 150, 17);
        SCOPED_TRACE(testing::Message() << c.marquee << c.vertical << " " << c.value);
        EXPECT_EQ(r.left, c.expected.left);
        EXPECT_EQ(r.top, c.expected.top);
        EXPECT_EQ(r.right, c.expected.right);
        EXPECT_EQ(r.bottom, c.expected.bottom);
    }
}

TEST(DrawnProgressBarLogic, PositionText) {
    ProgressBarLook l;
    l.Position = 50;
    l.PosTextPrefix = L"Done: ";
    l.PosTextSuffix = L" so far";
    EXPECT_EQ(ProgressText(l), L"Done: 50 so far");
    l.Percentage = true;
    EXPECT_EQ(ProgressText(l), L"Done: 50% so far");
    l.Min = 0, l.Max = 400, l.Position = 1;  // 0.25 % rounds to 0
    EXPECT_EQ(ProgressText(l), L"Done: 0% so far");
    l.Position = 999;
    EXPECT_EQ(ProgressText(l), L"Done: 100% so far");
    l.Percentage = false;
    EXPECT_EQ(ProgressText(l), L"Done: 400 so far");
}

TEST(DrawnProgressBarLogic, MarqueeCycleTakesSizePlus100Steps) {
    int step = 0, restarts = 0;
    for (int tick = 1; tick <= 280; ++tick) {
        const int next = NextMarqueeStep(step, 40);
        if (next < step) ++restarts;
        EXPECT_EQ(next, (tick - 1) % 140 + 1) << tick;
        step = next;
    }
    EXPECT_EQ(restarts, 1);
    EXPECT_EQ(NextMarqueeStep(500, 40), 1);  // a step beyond the cycle starts again
}

TEST(DrawnProgressBarPaint, FrameAndEmptyBar) {
    const TBitmap b = Paint(Bar(0), 150, 17);
    const uint32_t edge = MakeBGRA(0xA0, 0xA0, 0xA0), top = MakeBGRA(0xC0, 0xC0, 0xC0);
    const uint32_t corner = MakeBGRA(0xDF, 0xDF, 0xDF);
    EXPECT_EQ(b.Pixel(0, 0), corner);
    EXPECT_EQ(b.Pixel(149, 16), corner);
    EXPECT_EQ(b.Pixel(1, 0), top);
    EXPECT_EQ(b.Pixel(148, 0), top);
    EXPECT_EQ(b.Pixel(0, 8), edge);
    EXPECT_EQ(b.Pixel(149, 8), edge);
    EXPECT_EQ(b.Pixel(75, 16), edge);
    // AltMode: the empty part is the plain window colour.
    for (int x = 1; x < 149; ++x) EXPECT_EQ(b.Pixel(x, 8), WindowPx()) << x;

    // Without it the empty part is glossy grey, lighter at the top.
    const TBitmap g = Paint(Bar(0, false), 150, 17);
    const uint32_t p = g.Pixel(75, 12);
    EXPECT_EQ((p >> 16) & 255, p & 255);
    EXPECT_EQ((p >> 8) & 255, p & 255);
    EXPECT_NE(p | 0xFF000000u, WindowPx());
    EXPECT_GT(g.Pixel(75, 2) & 255, g.Pixel(75, 12) & 255);
    EXPECT_EQ(FilledColumns(g, 8), 0);
}

TEST(DrawnProgressBarPaint, FillFollowsThePosition) {
    struct {
        int min, max, pos, columns;
    } cases[] = {
        {0, 100, 0, 0},    {0, 100, 1, 0},     {0, 100, 25, 36}, {0, 100, 50, 73},
        {0, 100, 100, 148}, {0, 100, 250, 148}, {0, 100, -7, 0},  {0, 10, 5, 73},
        {50, 50, 50, 0},   {20, 10, 15, 0},     {-50, 50, 0, 73},
    };
    for (const bool alt : {true, false})
        for (const auto& c : cases) {
            ProgressBarLook l = Bar(c.pos, alt);
            l.Min = c.min, l.Max = c.max;
            const TBitmap b = Paint(l, 150, 17);
            EXPECT_EQ(FilledColumns(b, 8), c.columns) << c.min << ".." << c.max << " @" << c.pos << " alt " << alt;
            if (c.columns > 0) EXPECT_TRUE(Greenish(b.Pixel(1, 8)));
        }
}

TEST(DrawnProgressBarPaint, GlossyFillColoursAndSymmetry) {
    const TBitmap b = Paint(Bar(100), 150, 17);
    // First column: base c1 pulled an eighth toward the dark highlight g1,
    // rounding down: (242, 255, 242) + ((0, 127, 0) - it) / 8.
    EXPECT_EQ(b.Pixel(1, 1), MakeBGRA(211, 239, 211));
    for (int y = 1; y < 16; ++y)
        for (int x = 1; x < 75; ++x) ASSERT_EQ(b.Pixel(x, y), b.Pixel(149 - x, y)) << x << "," << y;
    // Upper rows light, lower rows darker.
    EXPECT_GT((b.Pixel(75, 2) >> 16) & 255, (b.Pixel(75, 12) >> 16) & 255);

    ProgressBarLook red = Bar(100);
    red.Color = RGB(255, 0, 0);
    const uint32_t p = Paint(red, 150, 17).Pixel(75, 10);
    EXPECT_GT((p >> 16) & 255, ((p >> 8) & 255) + 60);
    EXPECT_EQ((p >> 8) & 255, p & 255);
}

TEST(DrawnProgressBarPaint, VerticalBarFillsFromTheBottom) {
    for (const auto& [pos, rows] : {std::pair{0, 0}, {25, 37}, {50, 74}, {100, 148}}) {
        ProgressBarLook l = Bar(pos);
        l.Orientation = vpbVertical;
        const TBitmap b = Paint(l, 17, 150);
        EXPECT_EQ(FilledRows(b, 8), rows) << pos;
        if (rows) {
            EXPECT_TRUE(Greenish(b.Pixel(8, 148))) << pos;
            EXPECT_TRUE(Greenish(b.Pixel(8, 149 - rows))) << pos;
        }
        EXPECT_FALSE(Greenish(b.Pixel(8, 148 - rows))) << pos;
    }
    // The vertical fill mirrors top to bottom and shades left to right.
    ProgressBarLook l = Bar(100);
    l.Orientation = vpbVertical;
    const TBitmap b = Paint(l, 17, 150);
    EXPECT_EQ(b.Pixel(5, 3), b.Pixel(5, 146));
    EXPECT_GT((b.Pixel(2, 75) >> 16) & 255, (b.Pixel(12, 75) >> 16) & 255);
}

TEST(DrawnProgressBarPaint, MarqueeBandMovesAlongTheBar) {
    auto band = [](int step) {
        ProgressBarLook l = Bar(0);
        l.Marquee = true;
        l.MarqueeStep = step;
        return Paint(l, 150, 17);
    };
    // Tinted columns compared with the plain bar, on the middle row.
    auto tinted = [](const TBitmap& b, int& first, int& last) {
        first = -1, last = -1;
        for (int x = 1; x < 149; ++x)
            if (b.Pixel(x, 8) != WindowPx()) {
                if (first < 0) first = x;
                last = x;
            }
    };
    int f1, l1, f2, l2;
    tinted(band(40), f1, l1);
    tinted(band(80), f2, l2);
    EXPECT_EQ(f1, 1);
    EXPECT_EQ(l1, 59);
    EXPECT_EQ(f2, 60);
    EXPECT_EQ(l2, 119);
    // Full tint in the middle of the band: 96/256 of the window colour left.
    const COLORREF w = GetSysColor(COLOR_WINDOW);
    auto keep = [](int under, int c) { return uint8_t(c + (((under - c) * 96) >> 8)); };
    EXPECT_EQ(band(80).Pixel(90, 8), MakeBGRA(keep(GetRValue(w), 0), keep(GetGValue(w), 255), keep(GetBValue(w), 0)));
    // The frame under the band is tinted too; its faded ends are lighter.
    EXPECT_TRUE(Greenish(band(80).Pixel(90, 0)));
    const TBitmap b = band(80);
    EXPECT_GT((b.Pixel(61, 8) >> 16) & 255, (b.Pixel(70, 8) >> 16) & 255);
    EXPECT_GT((b.Pixel(118, 8) >> 16) & 255, (b.Pixel(100, 8) >> 16) & 255);
    // Outside the cycle's visible steps nothing is tinted.
    tinted(band(140), f1, l1);
    EXPECT_EQ(f1, -1);

    ProgressBarLook v = Bar(0);
    v.Marquee = true, v.MarqueeStep = 50, v.Orientation = vpbVertical;
    const TBitmap vb = Paint(v, 17, 150);
    EXPECT_TRUE(Greenish(vb.Pixel(8, 100)));
    EXPECT_FALSE(Greenish(vb.Pixel(8, 50)));
    EXPECT_FALSE(Greenish(vb.Pixel(8, 140)));
}

TEST(DrawnProgressBarPaint, TextIsWrittenInTheMiddle) {
    ProgressBarLook l = Bar(0);
    const TBitmap plain = Paint(l, 150, 17);
    l.ShowPosText = true;
    l.Percentage = true;
    const TBitmap text = Paint(l, 150, 17);
    int inside = 0, outside = 0;
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 150; ++x)
            if (text.Pixel(x, y) != plain.Pixel(x, y)) ++(x >= 55 && x < 95 ? inside : outside);
    EXPECT_GT(inside, 5);
    EXPECT_EQ(outside, 0);

    l.PosTextPrefix = L"Progress of the file: ";
    const TBitmap longer = Paint(l, 150, 17);
    int left = 0;
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 55; ++x) left += longer.Pixel(x, y) != plain.Pixel(x, y);
    EXPECT_GT(left, 5);
}

TEST(DrawnProgressBarPaint, EmptyRectanglesPaintNothing) {
    TBitmap canvas(20, 20);
    canvas.Fill(MakeBGRA(9, 9, 9));
    ProgressBarLook l = Bar(50, false);
    for (const RECT& r : {RECT{5, 5, 5, 15}, RECT{5, 5, 15, 5}, RECT{10, 10, 5, 5}}) PaintProgressBar(canvas.DC(), r, l);
    PaintProgressBar(nullptr, RECT{0, 0, 10, 10}, l);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) ASSERT_EQ(canvas.Pixel(x, y), MakeBGRA(9, 9, 9));
    // The smallest bars still draw their frame without a fill.
    for (auto [w, h] : {std::pair{1, 1}, {2, 2}, {3, 3}}) {
        const TBitmap b = Paint(Bar(100, false), w, h);
        EXPECT_EQ(FilledColumns(b, h / 2), 0) << w;
    }
}
