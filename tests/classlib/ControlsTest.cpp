#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "FormsTestSupport.h"
#include "classlib/AlignLayout.h"
#include "classlib/Bitmap.h"
#include "classlib/Edit.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Forms.h"
#include "classlib/Image.h"
#include "classlib/Label.h"
#include "classlib/SpeedButton.h"

using namespace cls;
using namespace formstest;

namespace {

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Str(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

TFormProps PlainForm(int w = 300, int h = 200) {
    return {.WindowClass = L"TControlsTestForm", .ClientWidth = w, .ClientHeight = h, .BorderStyle = bsSingle,
            .Color = clWhite};
}

// The form's own client painting (its colour and its controls without
// window) as 0x00RRGGBB pixels.
class Snapshot {
public:
    explicit Snapshot(TWinControl& control) : bmp_(control.ClientWidth(), control.ClientHeight()) {
        SendMessageW(control.Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(bmp_.DC()), PRF_CLIENT);
        GdiFlush();
    }
    uint32_t At(int x, int y) const { return bmp_.Pixel(x, y) & 0xFFFFFF; }

private:
    TBitmap bmp_;
};

constexpr uint32_t Rgb(TColor c) {
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

// --- alignment ---------------------------------------------------------------------

TEST(AlignLayout, StacksEdgesThenFillsTheRest) {
    struct Row {
        const char* name;
        std::vector<AlignItem> items;
        std::vector<RECT> expected;
    };
    const RECT client = {0, 0, 400, 300};
    const Row rows[] = {
        {"top then client",
         {{alTop, {0, 0, 50, 25}}, {alClient, {5, 5, 10, 10}}},
         {{0, 0, 400, 25}, {0, 25, 400, 300}}},
        {"tops stack by their current top",
         {{alTop, {0, 94, 10, 96}}, {alTop, {0, 0, 10, 94}}},
         {{0, 94, 400, 96}, {0, 0, 400, 94}}},
        {"lowest bottom item sits at the very bottom",
         {{alBottom, {0, 200, 10, 220}}, {alBottom, {0, 250, 10, 300}}},
         {{0, 230, 400, 250}, {0, 250, 400, 300}}},
        {"left and right take what top and bottom leave",
         {{alLeft, {0, 0, 30, 10}}, {alTop, {0, 0, 10, 20}}, {alRight, {0, 0, 40, 10}}, {alBottom, {0, 0, 10, 10}}},
         {{0, 20, 30, 290}, {0, 0, 400, 20}, {360, 20, 400, 290}, {0, 290, 400, 300}}},
        {"unaligned and custom items stay",
         {{alNone, {1, 2, 3, 4}}, {alCustom, {5, 6, 7, 8}}, {alTop, {0, 0, 0, 10}}},
         {{1, 2, 3, 4}, {5, 6, 7, 8}, {0, 0, 400, 10}}},
        {"client never gets a negative size",
         {{alTop, {0, 0, 10, 200}}, {alBottom, {0, 0, 10, 200}}, {alClient, {0, 0, 1, 1}}},
         {{0, 0, 400, 200}, {0, 100, 400, 300}, {0, 200, 400, 200}}},
    };
    for (const Row& r : rows) {
        std::vector<RECT> got = AlignLayout(client, r.items);
        ASSERT_EQ(got.size(), r.expected.size()) << r.name;
        for (size_t i = 0; i < got.size(); ++i)
            EXPECT_TRUE(SameRect(got[i], r.expected[i])) << r.name << " item " << i << ": " << Str(got[i]);
    }
}

TEST(Controls, AlignedControlsFollowTheParentsSize) {
    TForm form(nullptr, PlainForm(400, 300));
    auto* top = New<TPanel>(&form, {.Name = L"Top", .Height = 25, .Align = alTop});
    auto* bevel = New<TBevel>(&form, {.Name = L"Line", .Top = 25, .Height = 2, .Align = alTop}, {.Shape = bsTopLine});
    auto* bottom = New<TPanel>(&form, {.Name = L"Bottom", .Height = 40, .Align = alBottom});
    auto* client = New<TPanel>(&form, {.Name = L"Client", .Align = alClient});
    EXPECT_TRUE(SameRect(top->BoundsRect(), {0, 0, 400, 25})) << Str(top->BoundsRect());
    EXPECT_TRUE(SameRect(bevel->BoundsRect(), {0, 25, 400, 27})) << Str(bevel->BoundsRect());
    EXPECT_TRUE(SameRect(bottom->BoundsRect(), {0, 260, 400, 300}));
    EXPECT_TRUE(SameRect(client->BoundsRect(), {0, 27, 400, 260})) << Str(client->BoundsRect());
    RECT wr;
    GetWindowRect(client->Handle(), &wr);
    EXPECT_EQ(wr.bottom - wr.top, 233);

    form.SetClientSize(500, 200);
    EXPECT_TRUE(SameRect(bottom->BoundsRect(), {0, 160, 500, 200}));
    EXPECT_TRUE(SameRect(client->BoundsRect(), {0, 27, 500, 160}));
    // Hidden controls give their room to the others; custom ones keep their place.
    top->Hide();
    EXPECT_EQ(bevel->Top(), 0);
    EXPECT_EQ(client->Top(), 2);
    client->SetAlign(alCustom);
    client->SetBounds(0, 2, 500, 300);
    EXPECT_EQ(client->Height(), 300);
}

// --- controls without a window ---------------------------------------------------------

TEST(Controls, ControlsWithoutWindowGetTheMouseByHitTest) {
    TForm form(nullptr, PlainForm());
    std::vector<std::string> log;
    auto* under = New<TLabel>(&form, {.Name = L"Under", .Left = 10, .Top = 10, .Width = 100, .Height = 40},
                              {.Caption = L"under", .AutoSize = false});
    auto* over = New<TLabel>(&form, {.Name = L"Over", .Left = 50, .Top = 20, .Width = 100, .Height = 40},
                             {.Caption = L"over", .AutoSize = false});
    auto* disabled = New<TLabel>(&form, {.Name = L"Off", .Left = 200, .Top = 100, .Width = 50, .Height = 50,
                                         .Enabled = false},
                                 {.Caption = L"off", .AutoSize = false});
    for (TControl* c : std::vector<TControl*>{under, over, disabled, &form}) {
        c->OnClick = [&log](TComponent* s) { log.push_back("click " + std::string(s->Name.begin(), s->Name.end())); };
        c->OnMouseDown = [&log](TComponent* s, TMouseButton, TShiftState, int x, int y) {
            log.push_back("down " + std::string(s->Name.begin(), s->Name.end()) + " " + std::to_string(x) + "," +
                          std::to_string(y));
        };
    }
    form.Name = L"Form";
    HWND h = form.Handle();
    auto click = [&](int x, int y) {
        SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        SendMessageW(h, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    };
    click(60, 30);    // both labels: the later one is on top
    click(20, 15);    // only the first
    click(210, 110);  // disabled: the form gets it
    click(280, 180);  // nothing there
    EXPECT_EQ(log, (std::vector<std::string>{"down Over 10,10", "click Over", "down Under 10,5", "click Under",
                                             "down Form 210,110", "click Form", "down Form 280,180",
                                             "click Form"}));
    // Released outside the control it was pressed on: no click.
    log.clear();
    SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 15));
    SendMessageW(h, WM_LBUTTONUP, 0, MAKELPARAM(250, 180));
    EXPECT_EQ(log, (std::vector<std::string>{"down Under 10,5"}));
}

TEST(Controls, MouseEnterAndLeaveFollowTheControlUnderTheMouse) {
    TForm form(nullptr, PlainForm());
    form.Name = L"Form";
    auto* label = New<TLabel>(&form, {.Name = L"Link", .Left = 10, .Top = 10, .Width = 80, .Height = 20,
                                      .Cursor = crHandPoint},
                              {.Caption = L"Test a link now!", .AutoSize = false});
    std::vector<std::string> log;
    label->OnMouseEnter = [&](TComponent*) {
        log.push_back("enter");
        label->Font().SetColor(0xD66C33);
    };
    label->OnMouseLeave = [&](TComponent*) {
        log.push_back("leave");
        label->Font().SetColor(0x333333);
    };
    HWND h = form.Handle();
    SendMessageW(h, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    SendMessageW(h, WM_MOUSEMOVE, 0, MAKELPARAM(20, 15));
    EXPECT_EQ(label->Font().Color(), 0xD66C33);
    SendMessageW(h, WM_MOUSEMOVE, 0, MAKELPARAM(25, 15));
    SendMessageW(h, WM_MOUSEMOVE, 0, MAKELPARAM(150, 150));
    EXPECT_EQ(log, (std::vector<std::string>{"enter", "leave"}));
    EXPECT_EQ(label->Font().Color(), 0x333333);
    SendMessageW(h, WM_MOUSEMOVE, 0, MAKELPARAM(20, 15));
    SendMessageW(h, WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(log.back(), "leave");
    EXPECT_FALSE(label->ParentFont());
}

TEST(Controls, FormPaintsItsColourAndItsControlsWithoutWindow) {
    TForm form(nullptr, PlainForm(200, 100));
    New<TLabel>(&form, {.Left = 10, .Top = 10, .Width = 30, .Height = 20, .Color = clBlue}, {.AutoSize = false});
    New<TLabel>(&form, {.Left = 50, .Top = 10, .Width = 30, .Height = 20, .Color = clBlue},
                {.AutoSize = false, .Transparent = true});
    New<TBevel>(&form, {.Left = 0, .Top = 60, .Width = 200, .Height = 2}, {.Shape = bsTopLine});
    auto picture = std::make_unique<TBitmap>(4, 4);
    picture->Fill(MakeBGRA(255, 0, 0));
    auto* image = New<TImage>(&form, {.Left = 100, .Top = 10, .Width = 40, .Height = 40}, {.Stretch = true});
    image->SetGraphic(std::move(picture));
    auto* hidden = New<TLabel>(&form, {.Left = 150, .Top = 70, .Width = 20, .Height = 20, .Color = clBlue},
                               {.AutoSize = false});
    hidden->Hide();

    Snapshot s(form);
    EXPECT_EQ(s.At(2, 2), 0xFFFFFFu);                    // the form's colour
    EXPECT_EQ(s.At(20, 20), 0x0000FFu);                  // an opaque label
    EXPECT_EQ(s.At(60, 20), 0xFFFFFFu);                  // a transparent one
    EXPECT_EQ(s.At(100, 60), Rgb(ColorToRGB(clBtnShadow)));  // the bevel's dark line
    EXPECT_EQ(s.At(120, 30), 0xFF0000u);                 // the stretched picture
    EXPECT_EQ(s.At(145, 30), 0xFFFFFFu);                 // right of it
    EXPECT_EQ(s.At(160, 80), 0xFFFFFFu);                 // the hidden label
}

TEST(Controls, PanelPaintsBevelAndCaption) {
    TForm form(nullptr, PlainForm(200, 100));
    auto* panel = New<TPanel>(&form, {.Left = 0, .Top = 0, .Width = 100, .Height = 50, .Color = clWhite},
                              {.Caption = L"", .BevelOuter = bvRaised});
    Snapshot raised(*panel);
    EXPECT_EQ(raised.At(0, 0), Rgb(ColorToRGB(clBtnHighlight)));
    EXPECT_EQ(raised.At(99, 49), Rgb(ColorToRGB(clBtnShadow)));
    EXPECT_EQ(raised.At(50, 25), 0xFFFFFFu);
    panel->SetBevelOuter(bvNone);
    panel->SetColor(clYellow);
    Snapshot flat(*panel);
    EXPECT_EQ(flat.At(0, 0), 0xFFFF00u);
}

TEST(Controls, LabelSizesItselfToItsText) {
    TForm form(nullptr, PlainForm());
    auto* label = New<TLabel>(&form, {.Left = 10, .Top = 10}, {.Caption = L"Short"});
    int shortWidth = label->Width();
    EXPECT_GT(shortWidth, 0);
    EXPECT_GT(label->Height(), 0);
    label->SetCaption(L"A much longer caption than before");
    EXPECT_GT(label->Width(), shortWidth);
    int oneLine = label->Height();
    label->Font().SetStyle(fsBold);
    EXPECT_GT(label->Width(), shortWidth);
    // Word wrap keeps the width and grows downwards.
    auto* wrapped = New<TLabel>(&form, {.Left = 10, .Top = 40, .Width = 60},
                                {.Caption = L"one two three four five six", .WordWrap = true});
    EXPECT_EQ(wrapped->Width(), 60);
    EXPECT_GT(wrapped->Height(), 2 * oneLine);
    // Without auto size nothing moves.
    auto* fixed = New<TLabel>(&form, {.Left = 0, .Top = 80, .Width = 33, .Height = 13}, {.AutoSize = false});
    fixed->SetCaption(L"a caption wider than thirty-three pixels");
    EXPECT_EQ(fixed->Width(), 33);
}

TEST(Controls, AnUnderlinedLabelsUnderlineEndsWhereItsTextEnds) {
    struct Row {
        const wchar_t* caption;
        int height;
        TAlignment alignment;
    } rows[] = {
        {L"Test a link now!", -11, taLeftJustify}, {L"korvelink.example/", -11, taLeftJustify},
        {L"korvelink.example/", -13, taLeftJustify}, {L"Test a link now!", -11, taCenter},
        {L"www", -11, taRightJustify},
    };
    for (const Row& row : rows) {
        TForm form(nullptr, PlainForm());
        auto* label = New<TLabel>(
            &form, {.Left = 10, .Top = 10, .Width = 150, .Height = 24, .Font = TFontSpec{.Height = row.height, .Style = fsUnderline, .Color = clBlack}},
            {.Caption = row.caption, .AutoSize = false, .Alignment = row.alignment});
        Snapshot shot(form);
        auto dark = [&](int x, int y) { return (shot.At(x, y) & 0xFF) < 128; };
        const RECT b = label->BoundsRect();
        // The underline is the row with the longest run of ink.
        int lineY = -1, lineLength = 0;
        for (int y = b.top; y < b.bottom; ++y) {
            int length = 0;
            for (int x = b.left; x < b.right; ++x) length += dark(x, y);
            if (length > lineLength) lineLength = length, lineY = y;
        }
        int lineRight = -1, textRight = -1;
        for (int x = b.left; x < b.right; ++x) {
            if (dark(x, lineY)) lineRight = x;
            for (int y = b.top; y < b.bottom; ++y)
                if (y != lineY && dark(x, y)) textRight = x;
        }
        ASSERT_GT(textRight, b.left) << row.caption;
        EXPECT_EQ(lineRight, textRight) << row.caption << " " << row.height;
        // Underlining moves no letter (a link underlined on hover stays put).
        label->Font().SetStyle(0);
        Snapshot plain(form);
        for (int y = b.top; y < b.bottom; ++y)
            for (int x = b.left; x < b.right; ++x)
                if (y != lineY) ASSERT_EQ(plain.At(x, y), shot.At(x, y)) << row.caption << " at " << x << "," << y;
    }
}

TEST(Controls, ControlsTakeTheParentsFontUntilGivenTheirOwn) {
    TForm form(nullptr, PlainForm());
    auto* panel = New<TPanel>(&form, {.Width = 100, .Height = 100});
    auto* label = New<TLabel>(panel, {}, {.Caption = L"x"});
    auto* bold = New<TLabel>(panel, {.Font = TFontSpec{.Height = -13, .Style = fsBold, .Color = 0x969696}},
                             {.Caption = L"x"});
    EXPECT_EQ(label->Font().Name(), L"Tahoma");
    EXPECT_TRUE(label->ParentFont());
    EXPECT_EQ(bold->Font().Height(), -13);
    EXPECT_EQ(bold->Font().Name(), L"Tahoma");
    EXPECT_FALSE(bold->ParentFont());
    form.Font().SetName(L"Arial");
    EXPECT_EQ(panel->Font().Name(), L"Arial");
    EXPECT_EQ(label->Font().Name(), L"Arial");
    EXPECT_EQ(bold->Font().Name(), L"Tahoma");
    // The window of a window control gets the font too.
    auto* edit = New<TEdit>(panel, {});
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(edit->Handle(), WM_GETFONT, 0, 0)), edit->Font().Handle());
}

// --- hints and cursors ---------------------------------------------------------------------

std::wstring ToolText(HWND tip, HWND window, UINT_PTR id) {
    wchar_t buf[256] = {};
    TTTOOLINFOW ti = {TTTOOLINFOW_V2_SIZE};
    ti.hwnd = window;
    ti.uId = id;
    ti.lpszText = buf;
    SendMessageW(tip, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&ti));
    return buf;
}

TEST(Controls, HintsGoToTheFormsOneTooltip) {
    TForm form(nullptr, PlainForm());
    auto* edit = New<TEdit>(&form, {.Hint = L"Type here", .ShowHint = true});
    auto* label = New<TLabel>(&form, {.Left = 10, .Top = 40, .Width = 50, .Height = 20,
                                      .Hint = L"Title: a\nhttps://example|long part", .ShowHint = true},
                              {.AutoSize = false});
    auto* quiet = New<TLabel>(&form, {.Hint = L"not shown"});
    (void)quiet;
    HWND tip = form.HintWindow();
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 2);
    EXPECT_EQ(ToolText(tip, form.Handle(), reinterpret_cast<UINT_PTR>(edit->Handle())), L"Type here");
    EXPECT_EQ(ToolText(tip, form.Handle(), reinterpret_cast<UINT_PTR>(label)), L"Title: a\nhttps://example");

    // A moved control without window moves its tool; a changed hint is shown.
    label->SetBounds(100, 100, 30, 30);
    label->SetHint(L"Hide");
    TTTOOLINFOW ti = {TTTOOLINFOW_V2_SIZE};
    ti.hwnd = form.Handle();
    ti.uId = reinterpret_cast<UINT_PTR>(label);
    ASSERT_TRUE(SendMessageW(tip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&ti)));
    EXPECT_TRUE(SameRect(ti.rect, {100, 100, 130, 130}));
    EXPECT_EQ(ToolText(tip, form.Handle(), reinterpret_cast<UINT_PTR>(label)), L"Hide");

    label->SetShowHint(false);
    EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 1);
    delete edit;
    EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 0);
}

TEST(Controls, CursorOfTheControlUnderTheMouse) {
    TForm form(nullptr, PlainForm());
    New<TLabel>(&form, {.Left = 0, .Top = 0, .Width = 300, .Height = 200, .Cursor = crHandPoint},
                {.AutoSize = false});
    form.Show();
    SetForegroundWindow(form.Handle());
    POINT centre = form.ClientToScreen({150, 100});
    SetCursorPos(centre.x, centre.y);
    Pump(20);
    SendMessageW(form.Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(form.Handle()),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
    form.Hide();
}

// --- window order and lifetime ---------------------------------------------------------------

TEST(Controls, LaterWindowControlsLieAboveEarlierOnes) {
    TForm form(nullptr, PlainForm());
    auto* first = New<TPanel>(&form, {.Width = 100, .Height = 100});
    auto* second = New<TPanel>(&form, {.Width = 100, .Height = 100});
    EXPECT_EQ(GetWindow(form.Handle(), GW_CHILD), second->Handle());
    first->BringToFront();
    EXPECT_EQ(GetWindow(form.Handle(), GW_CHILD), first->Handle());
    EXPECT_EQ(form.Controls(form.ControlCount() - 1), first);
}

TEST(Controls, FreeingAParentFreesItsControls) {
    TForm form(nullptr, PlainForm());
    auto* panel = New<TPanel>(&form, {.Name = L"PnlVideo"});
    auto* inner = New<TLabel>(panel, {.Name = L"Inner"});
    auto* edit = New<TEdit>(panel, {.Name = L"InnerEdit"});
    HWND editWindow = edit->Handle();
    EXPECT_EQ(inner->Owner(), &form);
    EXPECT_EQ(form.FindComponent(L"Inner"), inner);
    delete panel;
    EXPECT_EQ(form.FindComponent(L"Inner"), nullptr);
    EXPECT_EQ(form.FindComponent(L"InnerEdit"), nullptr);
    EXPECT_FALSE(IsWindow(editWindow));
    EXPECT_EQ(form.ControlCount(), 0);
}

TEST(Controls, SpeedButtonClicksAndShowsItsState) {
    TForm form(nullptr, PlainForm());
    auto* button = New<TSpeedButton>(&form, {.Left = 10, .Top = 10, .Width = 16, .Height = 18},
                                     {.Caption = L"x", .Flat = true});
    int clicks = 0;
    button->OnClick = [&](TComponent*) { ++clicks; };
    HWND h = form.Handle();
    SendMessageW(h, WM_MOUSEMOVE, 0, MAKELPARAM(15, 15));
    EXPECT_TRUE(button->Hot());
    SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(15, 15));
    EXPECT_TRUE(button->Pressed());
    SendMessageW(h, WM_LBUTTONUP, 0, MAKELPARAM(15, 15));
    EXPECT_FALSE(button->Pressed());
    EXPECT_EQ(clicks, 1);
    SendMessageW(h, WM_MOUSEMOVE, 0, MAKELPARAM(100, 100));
    EXPECT_FALSE(button->Hot());
}

}  // namespace
