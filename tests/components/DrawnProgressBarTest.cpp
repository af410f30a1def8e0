#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "classlib/Bitmap.h"
#include "classlib/Forms.h"
#include "components/DrawnProgressBar.h"
#include "tests/components/Pump.h"

using namespace components;
using cls::MakeBGRA;
using cls::TBitmap;
using cls::TColor;
using components_test::PumpFor;
using components_test::PumpUntil;

namespace {

uint32_t WindowPx() {
    const COLORREF c = GetSysColor(COLOR_WINDOW);
    return MakeBGRA(GetRValue(c), GetGValue(c), GetBValue(c));
}

// The bar painted into a bitmap's DC at an offset, then cut back out.
TBitmap Paint(const ProgressBarLook& look, int w, int h) {
    TBitmap canvas(w + 7, h + 5);
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

int Red(uint32_t p) { return (p >> 16) & 255; }
bool Greenish(uint32_t p) {
    const int g = (p >> 8) & 255;
    return g > Red(p) + 20 && g > int(p & 255) + 20;
}

// Greenish pixels along row y (or column x when vertical).
int Filled(const TBitmap& b, int at, bool vertical = false) {
    int n = 0;
    for (int i = 0; i < (vertical ? b.Height() : b.Width()); ++i) n += Greenish(vertical ? b.Pixel(at, i) : b.Pixel(i, at));
    return n;
}

}  // namespace

TEST(DrawnProgressBarLogic, BlendColors) {
    struct {
        TColor a, b;
        uint8_t p;
        TColor expected;
    } cases[] = {
        {cls::clWhite, cls::clSilver, 50, 0xDFDFDF},
        {cls::clLime, cls::clWhite, 5, RGB(242, 255, 242)},  // 12.8 rounds to 13; negative steps round down
        {cls::clLime, cls::clBlack, 60, RGB(0, 153, 0)},
        {RGB(10, 20, 30), RGB(200, 100, 50), 0, RGB(200, 100, 50)},
        {RGB(10, 20, 30), RGB(200, 100, 50), 100, RGB(200, 100, 50)},  // 256 wraps to 0
        {RGB(10, 20, 30), RGB(200, 100, 50), 99, RGB(12, 20, 30)},
    };
    for (const auto& c : cases) EXPECT_EQ(BlendColors(c.a, c.b, c.p), c.expected) << int(c.p);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    EXPECT_EQ(BlendColors(cls::clBtnFace, cls::clBlack, 50),
              TColor(RGB(GetRValue(face) / 2, GetGValue(face) / 2, GetBValue(face) / 2)));
}

TEST(DrawnProgressBarLogic, PositionIsClampedAndRangesNeverDivideByZero) {
    struct {
        int min, max, pos, clamped;
        double fraction;
    } cases[] = {{0, 100, 50, 50, 0.5}, {0, 100, 150, 100, 1.0}, {0, 100, -5, 0, 0.0}, {10, 20, 15, 15, 0.5},
                 {50, 50, 70, 50, 0.0}, {20, 10, 15, 20, 0.0},    {-100, 100, 0, 0, 0.5}};
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
        {false, false, 0, {1, 1, 0, 17}},   {false, false, 50, {1, 1, 75, 17}}, {false, false, 1, {1, 1, 2, 17}},
        {false, true, 0, {1, 17, 150, 17}}, {false, true, 50, {1, 9, 150, 17}}, {false, true, 100, {1, 1, 150, 17}},
        {true, false, 0, {-60, 1, 0, 17}},  {true, false, 40, {0, 1, 60, 17}},  {true, false, 140, {150, 1, 210, 17}},
        {true, true, 50, {1, 9, 150, 16}},
    };
    for (const auto& c : cases) {
        ProgressBarLook l;
        l.Marquee = c.marquee;
        l.Orientation = c.vertical ? vpbVertical : vpbHorizontal;
        (c.marquee ? l.MarqueeStep : l.Position) = c.value;
        const RECT r = ProgressPartRect(l, 150, 17);
        EXPECT_TRUE(EqualRect(&r, &c.expected)) << c.marquee << c.vertical << " " << c.value << ": " << r.left << ","
                                                << r.top << "," << r.right << "," << r.bottom;
    }
}

TEST(DrawnProgressBarLogic, PositionTextAndMarqueeCycle) {
    ProgressBarLook l;
    l.Position = 50;
    l.PosTextPrefix = L"Done: ";
    l.PosTextSuffix = L" so far";
    EXPECT_EQ(ProgressText(l), L"Done: 50 so far");
    l.Percentage = true;
    EXPECT_EQ(ProgressText(l), L"Done: 50% so far");
    l.Max = 400, l.Position = 999;
    EXPECT_EQ(ProgressText(l), L"Done: 100% so far");
    l.Percentage = false;
    EXPECT_EQ(ProgressText(l), L"Done: 400 so far");

    // Size 40: 140 steps, 1..140, then again from 1.
    int step = 0;
    for (int tick = 1; tick <= 280; ++tick) EXPECT_EQ(step = NextMarqueeStep(step, 40), (tick - 1) % 140 + 1);
    EXPECT_EQ(NextMarqueeStep(500, 40), 1);
}

TEST(DrawnProgressBarPaint, FrameAndEmptyBar) {
    const TBitmap b = Paint(Bar(0), 150, 17);
    for (auto [x, y] : {std::pair{0, 0}, {149, 0}, {0, 16}, {149, 16}}) EXPECT_EQ(b.Pixel(x, y), MakeBGRA(0xDF, 0xDF, 0xDF));
    EXPECT_EQ(b.Pixel(1, 0), MakeBGRA(0xC0, 0xC0, 0xC0));
    EXPECT_EQ(b.Pixel(148, 0), MakeBGRA(0xC0, 0xC0, 0xC0));
    for (auto [x, y] : {std::pair{0, 8}, {149, 8}, {75, 16}}) EXPECT_EQ(b.Pixel(x, y), MakeBGRA(0xA0, 0xA0, 0xA0));
    for (int x = 1; x < 149; ++x) EXPECT_EQ(b.Pixel(x, 8), WindowPx()) << x;  // AltMode: plain

    const TBitmap g = Paint(Bar(0, false), 150, 17);  // otherwise glossy grey, lighter at the top
    const uint32_t p = g.Pixel(75, 12);
    EXPECT_EQ(p, MakeBGRA(p & 255, p & 255, p & 255));
    EXPECT_NE(p, WindowPx());
    EXPECT_GT(g.Pixel(75, 2) & 255, p & 255);
}

TEST(DrawnProgressBarPaint, FillFollowsThePosition) {
    struct {
        int min, max, pos, columns;
    } cases[] = {{0, 100, 0, 0},   {0, 100, 1, 0},    {0, 100, 25, 36}, {0, 100, 50, 73}, {0, 100, 100, 148},
                 {0, 100, 250, 148}, {0, 100, -7, 0}, {50, 50, 50, 0},  {20, 10, 15, 0},  {-50, 50, 0, 73}};
    for (const bool alt : {true, false})
        for (const auto& c : cases) {
            ProgressBarLook l = Bar(c.pos, alt);
            l.Min = c.min, l.Max = c.max;
            const TBitmap b = Paint(l, 150, 17);
            EXPECT_EQ(Filled(b, 8), c.columns) << c.min << ".." << c.max << " @" << c.pos << " alt " << alt;
            EXPECT_EQ(Greenish(b.Pixel(1, 8)), c.columns > 0);
        }
    // Vertical bars fill from the bottom: Round(H x F) - 1 rows.
    for (const auto& [pos, rows] : {std::pair{0, 0}, {25, 37}, {50, 74}, {100, 148}}) {
        ProgressBarLook l = Bar(pos);
        l.Orientation = vpbVertical;
        const TBitmap b = Paint(l, 17, 150);
        EXPECT_EQ(Filled(b, 8, true), rows) << pos;
        EXPECT_EQ(Greenish(b.Pixel(8, 148)), rows > 0) << pos;
    }
}

TEST(DrawnProgressBarPaint, GlossyFillColoursAndSymmetry) {
    const TBitmap b = Paint(Bar(100), 150, 17);
    // First column: c1 (242, 255, 242) pulled an eighth toward g1 (0, 127, 0),
    // rounding down.
    EXPECT_EQ(b.Pixel(1, 1), MakeBGRA(211, 239, 211));
    for (int y = 1; y < 16; ++y)
        for (int x = 1; x < 75; ++x) ASSERT_EQ(b.Pixel(x, y), b.Pixel(149 - x, y)) << x << "," << y;
    EXPECT_GT(Red(b.Pixel(75, 2)), Red(b.Pixel(75, 12)));

    ProgressBarLook red = Bar(100);
    red.Color = cls::clRed;
    red.Orientation = vpbVertical;
    const TBitmap v = Paint(red, 17, 150);
    const uint32_t p = v.Pixel(10, 75);
    EXPECT_GT(Red(p), int((p >> 8) & 255) + 60);
    EXPECT_EQ(v.Pixel(5, 3), v.Pixel(5, 146));  // mirrored top to bottom
    EXPECT_GT(v.Pixel(2, 75) & 255, v.Pixel(12, 75) & 255);  // shaded left to right
}

TEST(DrawnProgressBarPaint, MarqueeBandMovesAlongTheBar) {
    auto band = [](int step, TDPBOrientation o = vpbHorizontal) {
        ProgressBarLook l = Bar(0);
        l.Marquee = true, l.MarqueeStep = step, l.Orientation = o;
        return o == vpbHorizontal ? Paint(l, 150, 17) : Paint(l, 17, 150);
    };
    auto tinted = [](const TBitmap& b) {
        std::pair<int, int> span{-1, -1};
        for (int x = 1; x < 149; ++x)
            if (b.Pixel(x, 8) != WindowPx()) span = {span.first < 0 ? x : span.first, x};
        return span;
    };
    EXPECT_EQ(tinted(band(40)), std::pair(1, 59));
    const TBitmap b = band(80);
    EXPECT_EQ(tinted(b), std::pair(60, 119));
    EXPECT_EQ(tinted(band(140)), std::pair(-1, -1));
    // Middle of the band: 96/256 of what lies under it is left.
    const COLORREF w = GetSysColor(COLOR_WINDOW);
    auto keep = [](int under, int c) { return uint8_t(c + (((under - c) * 96) >> 8)); };
    EXPECT_EQ(b.Pixel(90, 8), MakeBGRA(keep(GetRValue(w), 0), keep(GetGValue(w), 255), keep(GetBValue(w), 0)));
    EXPECT_TRUE(Greenish(b.Pixel(90, 0)));  // the frame too
    EXPECT_GT(Red(b.Pixel(61, 8)), Red(b.Pixel(70, 8)));  // faded ends
    EXPECT_GT(Red(b.Pixel(118, 8)), Red(b.Pixel(100, 8)));

    const TBitmap v = band(50, vpbVertical);
    EXPECT_TRUE(Greenish(v.Pixel(8, 100)));
    EXPECT_FALSE(Greenish(v.Pixel(8, 50)));
    EXPECT_FALSE(Greenish(v.Pixel(8, 140)));
}

TEST(DrawnProgressBarPaint, TextIsWrittenInTheMiddle) {
    ProgressBarLook l = Bar(0);
    const TBitmap plain = Paint(l, 150, 17);
    auto changed = [&](const TBitmap& b, int from, int to) {
        int n = 0;
        for (int y = 0; y < 17; ++y)
            for (int x = from; x < to; ++x) n += b.Pixel(x, y) != plain.Pixel(x, y);
        return n;
    };
    l.ShowPosText = l.Percentage = true;
    const TBitmap text = Paint(l, 150, 17);
    EXPECT_GT(changed(text, 55, 95), 5);
    EXPECT_EQ(changed(text, 0, 55) + changed(text, 95, 150), 0);
    l.PosTextPrefix = L"Progress of the file: ";
    EXPECT_GT(changed(Paint(l, 150, 17), 0, 55), 5);
}

TEST(DrawnProgressBarPaint, EmptyRectanglesPaintNothing) {
    TBitmap canvas(20, 20);
    canvas.Fill(MakeBGRA(9, 9, 9));
    for (const RECT& r : {RECT{5, 5, 5, 15}, RECT{5, 5, 15, 5}, RECT{10, 10, 5, 5}})
        PaintProgressBar(canvas.DC(), r, Bar(50, false));
    PaintProgressBar(nullptr, RECT{0, 0, 10, 10}, Bar(50));
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) ASSERT_EQ(canvas.Pixel(x, y), MakeBGRA(9, 9, 9));
    for (int size = 1; size <= 3; ++size) EXPECT_EQ(Filled(Paint(Bar(100, false), size, size), size / 2), 0);
}

// --- the control ---------------------------------------------------------

TEST(DrawnProgressBar, DefaultsAndClampedPosition) {
    TDrawnProgressBar bar(nullptr);
    EXPECT_EQ(bar.Width() * 100 + bar.Height(), 15017);
    EXPECT_EQ(bar.Max(), 100);
    EXPECT_EQ(bar.MarqueeSize() * 100 + bar.MarqueeFade(), 4030);
    EXPECT_EQ(bar.MarqueeTimerInterval(), 25u);
    EXPECT_FALSE(bar.MarqueeTimerRunning());
    EXPECT_EQ(bar.Color(), cls::clLime);

    struct {
        int min, max, set, stored;
    } cases[] = {{0, 100, 150, 100}, {0, 100, -3, 0}, {10, 20, 5, 10}, {50, 50, 70, 50}, {30, 20, 25, 30}};
    for (const auto& c : cases) {
        bar.SetMin(-1000), bar.SetMax(1000);
        bar.SetMin(c.min), bar.SetMax(c.max);
        bar.SetPosition(c.set);
        EXPECT_EQ(bar.Position(), c.stored) << c.min << ".." << c.max << " set " << c.set;
    }
    bar.SetMin(0), bar.SetMax(100), bar.SetPosition(80);
    bar.AddPosition(15);
    EXPECT_EQ(bar.Position(), 95);
    bar.AddPosition(15);
    EXPECT_EQ(bar.Position(), 100);
    bar.SetMax(60);  // a narrower range takes the position along
    EXPECT_EQ(bar.Position(), 60);
}

TEST(DrawnProgressBar, DrawsItsPropertiesIntoAnyDeviceContext) {
    TDrawnProgressBar bar(nullptr);
    bar.SetAltMode(true);
    bar.SetPosition(50);
    TBitmap canvas(160, 20);
    bar.Draw(canvas.DC(), 5, 2);
    EXPECT_EQ(Filled(canvas, 10), 73);
    EXPECT_TRUE(Greenish(canvas.Pixel(6, 10)));
    EXPECT_EQ(canvas.Pixel(5, 2) & 0xFFFFFF, 0xDFDFDFu);

    bar.SetColor(cls::clRed);
    bar.SetPosition(100);
    bar.Draw(canvas.DC(), 5, 2);
    EXPECT_GT(Red(canvas.Pixel(80, 10)), int((canvas.Pixel(80, 10) >> 8) & 255) + 60);
    EXPECT_EQ(bar.Look().Font, bar.Font().Handle());
}

TEST(DrawnProgressBar, MarqueeTimerMovesTheBand) {
    TDrawnProgressBar bar(nullptr);
    bar.SetMarqueeSpeed(5);
    EXPECT_EQ(bar.MarqueeTimerInterval(), 5u);
    bar.SetMarquee(true);
    EXPECT_TRUE(bar.MarqueeTimerRunning());
    ASSERT_TRUE(PumpUntil([&] { return bar.MarqueeStep() >= 3; }));
    TBitmap first(150, 17), later(150, 17);
    bar.Draw(first.DC(), 0, 0);
    const int before = bar.MarqueeStep();
    ASSERT_TRUE(PumpUntil([&] { return bar.MarqueeStep() >= before + 10; }));
    bar.Draw(later.DC(), 0, 0);
    int moved = 0;
    for (int x = 0; x < 150; ++x) moved += first.Pixel(x, 8) != later.Pixel(x, 8);
    EXPECT_GT(moved, 10);

    bar.SetMarquee(false);
    EXPECT_FALSE(bar.MarqueeTimerRunning());
    const int stopped = bar.MarqueeStep();
    PumpFor(60);
    EXPECT_EQ(bar.MarqueeStep(), stopped);
    bar.SetMarquee(true);  // goes on from where it stopped
    ASSERT_TRUE(PumpUntil([&] { return bar.MarqueeStep() != stopped; }));
    EXPECT_EQ(bar.MarqueeStep(), stopped == 140 ? 1 : stopped + 1);
}

TEST(DrawnProgressBar, PaintedByItsFormAtItsPlace) {
    cls::TForm form(nullptr, {.WindowClass = L"TBarTestForm", .ClientWidth = 200, .ClientHeight = 60});
    auto* bar = new TDrawnProgressBar(&form);
    bar->SetParent(&form);
    bar->SetBounds(20, 30, 150, 17);
    bar->SetAltMode(true);
    bar->SetPosition(100);
    TBitmap shot(200, 60);
    form.PaintTo(shot.DC());
    for (auto [x, y, on] : {std::tuple{21, 38, true}, {167, 38, true}, {19, 38, false}, {21, 28, false}})
        EXPECT_EQ(Greenish(shot.Pixel(x, y)), on) << x << "," << y;
    bar->SetVisible(false);
    form.PaintTo(shot.DC());
    EXPECT_FALSE(Greenish(shot.Pixel(80, 38)));
}
