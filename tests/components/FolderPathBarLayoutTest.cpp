#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "classlib/Bitmap.h"
#include "components/FolderPathBar.h"
#include "components/FolderPathBarLayout.h"
#include "tests/components/FolderPathBarTestSupport.h"

using namespace components;
using cls::MakeBGRA;
using cls::TBitmap;
using Strings = std::vector<std::wstring>;

namespace {

class FolderPathBarPaint : public pathbar_test::PathBarTest {};

uint32_t Px(COLORREF c) { return MakeBGRA(GetRValue(c), GetGValue(c), GetBValue(c)) & 0xFFFFFF; }
uint32_t Px(cls::TColor c) { return Px(cls::ColorToRGB(c)); }
uint32_t At(TBitmap& b, int x, int y) { return b.Pixel(x, y) & 0xFFFFFF; }

const Strings kParts = {L"C:", L"a", L"b"};
const Strings kCaptions = {L"Disk", L"A", L"B"};
const std::vector<int> kWidths = {20, 10, 12};

}  // namespace

TEST(FolderPathBarLayout, HiddenPartsForAWidth) {
    // The last element's right edge is 36 + 43 + 33 + 35 = 147 with the
    // final arrow, 133 without.
    struct {
        int width;
        bool arrow;
        int hidden;
    } cases[] = {
        {160, true, 0}, {155, true, 0},  // fits up to 8 pixels from the edge
        {154, true, 1}, {112, true, 1},  // the first part's 43 pixels cover the overlap
        {111, true, 2}, {79, true, 2},
        {78, true, 3},  {10, true, 3},   // not even one part fits: all hidden
        {141, false, 0}, {140, false, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CalcPathOff(kWidths, false, c.arrow, c.width), c.hidden) << c.width << (c.arrow ? " arrow" : "");
    EXPECT_EQ(CalcPathOff({500}, true, false, 10), 0) << "the empty path is never cut";
}

TEST(FolderPathBarLayout, ElementsFollowEachOtherFromTheRootArrow) {
    auto els = LayoutPathBar(kParts, kCaptions, kWidths, 0, false, false);
    // Root arrow, then button and arrow per part; no arrow after a folder
    // without sub-folders.
    const int edges[][2] = {{22, 36}, {36, 65}, {65, 79}, {79, 98}, {98, 112}, {112, 133}};
    ASSERT_EQ(els.size(), std::size(edges));
    for (size_t i = 0; i < els.size(); ++i) {
        EXPECT_EQ(els[i].Left, edges[i][0]) << i;
        EXPECT_EQ(els[i].Right, edges[i][1]) << i;
        EXPECT_EQ(els[i].Button, i % 2 == 1) << i;
    }
    EXPECT_EQ(els[0].Index, -1);
    EXPECT_EQ(els[0].Path, HomeFolderMarker);
    EXPECT_EQ(els[4].Path, L"C:\\a\\");
    EXPECT_EQ(els[4].Caption, L"A") << "an arrow carries its button's caption";
    EXPECT_EQ(els[5].Path, L"C:\\a\\b\\");
    EXPECT_EQ(LayoutPathBar(kParts, kCaptions, kWidths, 0, true, false).back().Right, 147);

    // Two parts hidden: the root arrow takes index 1, the last button follows it.
    els = LayoutPathBar(kParts, kCaptions, kWidths, 2, true, false);
    ASSERT_EQ(els.size(), 3u);
    EXPECT_EQ(els[0].Index, 1);
    EXPECT_EQ(els[1].Left, 36);
    EXPECT_EQ(els[1].Path, L"C:\\a\\b\\");
    els = LayoutPathBar(kParts, kCaptions, kWidths, 3, true, false);
    ASSERT_EQ(els.size(), 1u) << "all hidden: only the root arrow";
    // The empty path's button is the empty path, not a folder of its name.
    els = LayoutPathBar({L"Equipo"}, {L"Equipo"}, {40}, 0, false, true);
    ASSERT_EQ(els.size(), 2u);
    EXPECT_EQ(els[1].Path, L"");
}

TEST(FolderPathBarLayout, HitTestUsesTheRightHandElementOnSharedEdges) {
    const auto els = LayoutPathBar(kParts, kCaptions, kWidths, 0, false, false);
    struct {
        int x;
        int element;
    } cases[] = {{-1, -1}, {21, -1}, {22, 0}, {35, 0}, {36, 1}, {64, 1}, {65, 2},
                 {79, 3},  {112, 5}, {133, 5}, {134, -1}};
    for (const auto& c : cases) EXPECT_EQ(HitElement(els, c.x), c.element) << "x = " << c.x;
}

TEST(FolderPathBarLayout, KeyboardEdges) {
    EXPECT_EQ(KeyNavEdge(kWidths, 0, -1), 22);
    EXPECT_EQ(KeyNavEdge(kWidths, 0, 1), 98) << "button 1's right edge";
    EXPECT_EQ(KeyNavEdge(kWidths, 0, 7), 133) << "parts beyond the last are not counted";
    EXPECT_EQ(KeyNavEdge(kWidths, 1, 0), 22) << "below the first visible part";
    EXPECT_EQ(KeyNavEdge(kWidths, 1, 1), 55);
}

TEST(FolderPathBarLayout, GradientHasAGlassyEdgeAtMidHeight) {
    // $FDF6EA to $FADFAC over 21 rows: the middle colour lies beyond the end.
    const auto rows = GradientRows(0xFDF6EA, 0xFADFAC, 21);
    ASSERT_EQ(rows.size(), 21u);
    EXPECT_EQ(rows[0], RGB(0xEA, 0xF6, 0xFD));
    EXPECT_EQ(rows[8], RGB(234 - 62 * 8 / 10, 246 - 23 * 8 / 10, 253 - 3 * 8 / 10));
    EXPECT_EQ(rows[9], RGB(131 + 41 * 9 / 21, 208 + 15 * 9 / 21, 248 + 2 * 9 / 21)) << "the jump";
    EXPECT_EQ(rows[20], RGB(131 + 41 * 20 / 21, 208 + 15 * 20 / 21, 248 + 2 * 20 / 21));
    // Two rows show the middle colour itself, clamped to a byte.
    EXPECT_EQ(GetRValue(GradientRows(RGB(100, 0, 0), RGB(250, 0, 0), 2)[0]), 255);
    EXPECT_EQ(GetRValue(GradientRows(RGB(150, 0, 0), RGB(10, 0, 0), 2)[0]), 0);
    EXPECT_EQ(GetRValue(GradientRows(RGB(150, 0, 0), RGB(120, 0, 0), 2)[0]), 100);
    EXPECT_TRUE(GradientRows(0, 0, 0).empty());
}

TEST_F(FolderPathBarPaint, HotButtonAndHotArrowColours) {
    bar_->SetPath(Folder(L"q1\\q2"));
    bar_->SetPath(tmp_.Path() + L"q1");
    ASSERT_TRUE(bar_->ShowArrow());
    // Distinct colours, so each pixel tells which rule painted it.
    const cls::TColor colours[ciColorCount] = {0x000010, 0x000020, 0x000030, 0x000040, 0x000050, 0x000060,
                                               0x000070, 0x000080, 0x000090, 0x0000A0, 0x0000B0};
    for (int i = 0; i < ciColorCount; ++i) bar_->SetColorOf(TspColorIndex(i), colours[i]);
    const int k = bar_->Parts().Count() - 1;
    const POINT button = PartPoint(k, true), arrow = PartPoint(k, false);
    PathBarElement be{}, ae{};
    for (const auto& e : Elements())
        if (e.Index == k && !e.Root) (e.Button ? be : ae) = e;

    Move(button.x, button.y);
    bar_->UpdateView();
    EXPECT_EQ(bar_->State(), spButtonHot);
    EXPECT_EQ(bar_->HotPos(), k);
    TBitmap& b = bar_->Canvas();
    EXPECT_EQ(At(b, be.Left, 5), Px(colours[ciBtnPenNorm]));
    EXPECT_EQ(At(b, be.Left + 2, 2), Px(colours[ciBtnHotGrad1]));
    EXPECT_EQ(At(b, ae.Left + 2, 2), Px(colours[ciBtnHotGrad1])) << "its arrow shares the state";
    EXPECT_EQ(At(b, ae.Right - 1, 5), Px(colours[ciBtnPenNorm]));

    Move(arrow.x, arrow.y);
    bar_->UpdateView();
    EXPECT_EQ(bar_->State(), spArrowHot);
    EXPECT_EQ(At(b, be.Left, 5), Px(colours[ciBtnPenGray]));
    EXPECT_EQ(At(b, be.Left + 2, 2), Px(colours[ciBtnGreyGrad1]));
    EXPECT_EQ(At(b, ae.Left + 2, 2), Px(colours[ciBtnNormGrad1]));
    EXPECT_EQ(At(b, ae.Left - 1, 5), Px(colours[ciBtnPenNorm])) << "the arrow's edge lies over its button's";
    // The highlighted arrow's glyph in the arrow pen, pointing right.
    const int gx = ae.Right - 12, gy = (24 - 1 - 7) / 2 + 2;
    for (int y = gy - 1; y <= gy + 5; ++y) EXPECT_EQ(At(b, gx + 3, y), Px(colours[ciBtnPenArrow])) << y;
    // Other parts stay plain; frame and icon around them.
    const POINT other = PartPoint(k - 1, true);
    EXPECT_EQ(At(b, other.x, 2), Px(cls::clWindow));
    EXPECT_EQ(At(b, 0, 0), Px(cls::clSilver));
    EXPECT_EQ(At(b, 392, 24), Px(cls::clSilver));
    int iconPixels = 0;
    for (int y = 5; y < 21; ++y)
        for (int x = 4; x < 20; ++x) iconPixels += At(b, x, y) != Px(cls::clWindow);
    EXPECT_GT(iconPixels, 30) << "the folder icon";
}

TEST_F(FolderPathBarPaint, PressedButtonIsShadedAndTurnsItsArrowDown) {
    bar_->SetPath(Folder(L"r1\\r2"));
    bar_->SetPath(tmp_.Path() + L"r1");
    bar_->SetClickSetPath(false);
    const int k = bar_->Parts().Count() - 1;
    PathBarElement be{}, ae{};
    for (const auto& e : Elements())
        if (e.Index == k && !e.Root) (e.Button ? be : ae) = e;
    const POINT button = PartPoint(k, true);
    Press(button.x, button.y);
    EXPECT_EQ(bar_->State(), spButtonPressed);
    TBitmap& b = bar_->Canvas();
    const PathBarColors c;
    EXPECT_EQ(At(b, be.Left + 1, 1), Px(c.C[ciBtnPenShade1]));
    EXPECT_EQ(At(b, be.Left + 1, 20), Px(c.C[ciBtnPenShade1]));
    EXPECT_EQ(At(b, be.Left + 2, 2), Px(c.C[ciBtnPenShade2]));
    EXPECT_EQ(At(b, be.Left + 2, 23), Px(c.C[ciBtnPenShade2])) << "light along the bottom";
    const int gx = ae.Right - 12, gy = (24 - 1 - 7) / 2 + 2;
    for (int x = gx + 2; x <= gx + 8; ++x) EXPECT_EQ(At(b, x, gy + 2), Px(cls::clBlack)) << x;
    Release(button.x, button.y);
    EXPECT_FALSE(bar_->Clicked());
}

TEST_F(FolderPathBarPaint, TransparentShowsTheParentWithoutAFrame) {
    bar_->SetPath(Folder(L"t1"));
    form_->SetColor(0x336699);
    bar_->SetTransparent(true);
    const int k = bar_->Parts().Count() - 1;
    const POINT button = PartPoint(k, true);
    Move(button.x, button.y);
    bar_->UpdateView();
    TBitmap& b = bar_->Canvas();
    EXPECT_EQ(At(b, 0, 0), Px(cls::TColor(0x336699)));
    EXPECT_EQ(At(b, 300, 12), Px(cls::TColor(0x336699)));
    PathBarElement be{};
    for (const auto& e : Elements())
        if (e.Index == k && e.Button) be = e;
    EXPECT_EQ(At(b, be.Left, 0), Px(cls::TColor(0x336699))) << "the parts still sit one pixel inside";
    EXPECT_EQ(At(b, be.Left, 1), Px(PathBarColors().C[ciBtnPenNorm]));
}

TEST_F(FolderPathBarPaint, OwnerDrawGetsEveryElement) {
    bar_->SetPath(Folder(L"o1\\o2"));
    bar_->SetPath(tmp_.Path() + L"o1");
    struct Call {
        RECT r;
        std::wstring text;
        TspItemState state;
        bool button;
    };
    std::vector<Call> calls;
    bar_->OnOwnerDraw = [&](cls::TComponent*, HDC, const RECT& r, const std::wstring& text, TspItemState st,
                            bool button) { calls.push_back({r, text, st, button}); };
    bar_->SetOwnerDraw(true);
    const int k = bar_->Parts().Count() - 1;
    const POINT arrow = PartPoint(k, false);
    Move(arrow.x, arrow.y);
    bar_->UpdateView();
    const auto els = Elements();
    ASSERT_EQ(calls.size(), els.size());
    for (size_t i = 0; i < calls.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(calls[i].r.left, els[i].Left);
        EXPECT_EQ(calls[i].r.bottom, 24);
        EXPECT_EQ(calls[i].button, els[i].Button);
        EXPECT_EQ(calls[i].text, els[i].Caption);
        EXPECT_EQ(calls[i].state, els[i].Index == k ? spArrowHot : spNormal);
    }
    // Nothing of the bar's own drawing: no side line at the hot arrow.
    EXPECT_EQ(At(bar_->Canvas(), els.back().Right - 1, 5), Px(cls::clWindow));
}

TEST_F(FolderPathBarPaint, NarrowBarHidesLeadingParts) {
    const std::wstring deep = Folder(L"aaaa\\bbbb\\cccc\\dddd");
    bar_->SetPath(deep);
    const int count = bar_->Parts().Count();
    ASSERT_GE(count, 7);
    bar_->SetWidth(1000);
    EXPECT_EQ(bar_->PathOff(), 0);
    bar_->SetWidth(180);
    EXPECT_GT(bar_->PathOff(), 0) << "the resize recomputes the hidden parts";
    EXPECT_LT(bar_->PathOff(), count);
    std::vector<int> widths;
    for (const auto& c : bar_->Captions().Lines()) widths.push_back(bar_->TextWidth(c));
    EXPECT_EQ(bar_->PathOff(), CalcPathOff(widths, false, false, 180));
    EXPECT_LE(Elements().back().Right, 180 - 8);
    // The root arrow now stands for the hidden levels.
    Move(RootPoint().x, RootPoint().y);
    bar_->UpdateView();
    EXPECT_EQ(bar_->HotPos(), bar_->PathOff() - 1);
    EXPECT_EQ(bar_->PopupPath(), HomeFolderMarker);
    EXPECT_EQ(bar_->State(), spArrowHot);

    bar_->SetWidth(40);
    bar_->UpdateView();
    EXPECT_EQ(bar_->PathOff(), count);
    EXPECT_EQ(Elements().size(), 1u) << "only the root arrow";
}

TEST_F(FolderPathBarPaint, EditModePaintsOnlyBackgroundAndFrame) {
    bar_->SetPath(Folder(L"e1"));
    bar_->DoEdit(false);
    ASSERT_TRUE(bar_->EditMode());
    TBitmap& b = bar_->Canvas();
    EXPECT_EQ(At(b, 0, 0), Px(cls::clSilver));
    for (int y = 1; y < 24; ++y)
        for (int x = 1; x < 392; ++x) ASSERT_EQ(At(b, x, y), Px(cls::clWindow)) << x << "," << y;
}
