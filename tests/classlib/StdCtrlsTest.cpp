#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "FormsTestSupport.h"
#include "classlib/Bitmap.h"
#include "classlib/Button.h"
#include "classlib/ComboBox.h"
#include "classlib/Dialogs.h"
#include "classlib/Edit.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Forms.h"
#include "classlib/Hooks.h"
#include "classlib/Image.h"
#include "classlib/ImgList.h"
#include "classlib/ListView.h"
#include "classlib/ScrollBox.h"
#include "classlib/Timer.h"
#include "classlib/ToolBar.h"

using namespace cls;
using namespace formstest;

namespace {

class StdCtrlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Application.Initialize();
        form = new TForm(nullptr, {.WindowClass = L"TStdCtrlsForm", .ClientWidth = 400, .ClientHeight = 300});
    }
    void TearDown() override { delete form; }
    TForm* form;
};

// --- text boxes ------------------------------------------------------------------------

TEST_F(StdCtrlsTest, EditSettingsReachTheWindow) {
    // The grey hint needs the newer edit window the program's manifest asks for.
    CommonControls6 cc6;
    ASSERT_TRUE(cc6.Active());
    auto* edit = New<TEdit>(form, {.Left = 8, .Top = 8, .Width = 423},
                            {.TextHint = L"Type or paste here a Facebook public video URL.", .MaxLength = 10});
    wchar_t cue[128] = {};
    ASSERT_TRUE(SendMessageW(edit->Handle(), EM_GETCUEBANNER, reinterpret_cast<WPARAM>(cue), 128));
    EXPECT_STREQ(cue, L"Type or paste here a Facebook public video URL.");
    EXPECT_EQ(SendMessageW(edit->Handle(), EM_GETLIMITTEXT, 0, 0), 10);
    edit->SetReadOnly(true);
    EXPECT_TRUE(GetWindowLongW(edit->Handle(), GWL_STYLE) & ES_READONLY);
    edit->SetPasswordChar(L'*');
    EXPECT_EQ(SendMessageW(edit->Handle(), EM_GETPASSWORDCHAR, 0, 0), L'*');
    edit->SetPasswordChar(0);
    EXPECT_EQ(SendMessageW(edit->Handle(), EM_GETPASSWORDCHAR, 0, 0), 0);
    EXPECT_EQ(edit->Width(), 423);
}

TEST_F(StdCtrlsTest, EditReportsChangesAndSelection) {
    auto* edit = New<TEdit>(form, {});
    std::vector<std::wstring> changes;
    edit->OnChange = [&](TComponent*) { changes.push_back(edit->Text()); };
    edit->SetText(L"https://example/video.php?v=1");
    edit->SetText(L"https://example/video.php?v=1");  // unchanged: no event
    edit->SetSelStart(static_cast<int>(edit->Text().size()));
    SendMessageW(edit->Handle(), WM_CHAR, L'2', 1);
    EXPECT_EQ(changes, (std::vector<std::wstring>{L"https://example/video.php?v=1", L"https://example/video.php?v=12"}));
    edit->SelectAll();
    EXPECT_EQ(edit->SelStart(), 0);
    EXPECT_EQ(edit->SelLength(), static_cast<int>(edit->Text().size()));
    edit->SetSelStart(8);
    edit->SetSelLength(7);
    EXPECT_EQ(edit->SelText(), L"example");
    edit->ClearSelection();
    EXPECT_EQ(edit->Text(), L"https:///video.php?v=12");
}

TEST_F(StdCtrlsTest, MemoHoldsLines) {
    auto* memo = New<TMemo>(form, {}, {.Lines = {L"first", L"second"}, .ReadOnly = true, .ScrollBars = ssVertical});
    EXPECT_EQ(memo->Lines(), (std::vector<std::wstring>{L"first", L"second"}));
    EXPECT_TRUE(GetWindowLongW(memo->Handle(), GWL_STYLE) & ES_MULTILINE);
    EXPECT_TRUE(GetWindowLongW(memo->Handle(), GWL_STYLE) & WS_VSCROLL);
    memo->SetLines({L"a", L"", L"c"});
    EXPECT_EQ(memo->LineCount(), 3);
}

// --- buttons ---------------------------------------------------------------------------------

TEST_F(StdCtrlsTest, ButtonClickGivesTheFormItsResultBeforeOnClick) {
    auto* button = New<TButton>(form, {}, {.Caption = L"Close", .ModalResult = mrClose});
    TModalResult seen = mrNone;
    button->OnClick = [&](TComponent*) { seen = form->ModalResult(); };
    SendMessageW(button->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(seen, mrClose);
    EXPECT_EQ(button->Caption(), L"Close");
    button->SetDefault(true);
    EXPECT_TRUE(GetWindowLongW(button->Handle(), GWL_STYLE) & BS_DEFPUSHBUTTON);
}

TEST_F(StdCtrlsTest, CheckBoxFollowsClicksAndCode) {
    auto* check = New<TCheckBox>(form, {}, {.Caption = L"Remember email/phone", .Checked = true});
    int clicks = 0;
    check->OnClick = [&](TComponent*) { ++clicks; };
    EXPECT_EQ(SendMessageW(check->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
    SendMessageW(check->Handle(), BM_CLICK, 0, 0);
    EXPECT_FALSE(check->Checked());
    EXPECT_EQ(clicks, 1);
    check->SetChecked(true);
    EXPECT_TRUE(check->Checked());
    EXPECT_EQ(clicks, 1);
}

TEST_F(StdCtrlsTest, ComboBoxSelectionRunsClickThenSelect) {
    auto* combo = New<TComboBox>(form, {.Width = 87},
                                 {.Style = csDropDownList, .Items = {L"Google", L"Bing", L"-", L"Other"}, .ItemIndex = 1});
    EXPECT_EQ(combo->ItemIndex(), 1);
    EXPECT_EQ(combo->Text(), L"Bing");
    std::vector<std::string> log;
    combo->OnClick = [&](TComponent*) {
        log.push_back("click " + std::to_string(combo->ItemIndex()));
        // A separator cannot stay chosen.
        if (combo->ItemIndex() == 2) combo->SetItemIndex(0);
    };
    combo->OnSelect = [&](TComponent*) { log.push_back("select " + std::to_string(combo->ItemIndex())); };
    SendMessageW(combo->Handle(), CB_SETCURSEL, 2, 0);
    SendMessageW(form->Handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo->Handle()), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo->Handle()));
    EXPECT_EQ(log, (std::vector<std::string>{"click 2", "select 0"}));
    // The closed height is the control's; the window also holds the list.
    EXPECT_LT(combo->Height(), 30);
}

// --- timers ------------------------------------------------------------------------------------

TEST(Timer, FiresWhileEnabledAndStopsWhenDisabled) {
    TTimer* timer = NewTimer(nullptr, {.Interval = 15, .Enabled = false});
    std::unique_ptr<TTimer> owner(timer);
    int ticks = 0;
    timer->OnTimer = [&](TComponent* s) {
        EXPECT_EQ(s, timer);
        ++ticks;
    };
    Pump(60);
    EXPECT_EQ(ticks, 0);
    timer->SetEnabled(true);
    EXPECT_TRUE(PumpUntil([&] { return ticks >= 2; }));
    timer->SetEnabled(false);
    int stopped = ticks;
    Pump(60);
    EXPECT_EQ(ticks, stopped);
    // A one-shot timer in the style of the program: it stops itself.
    timer->OnTimer = [&](TComponent*) {
        timer->SetEnabled(false);
        ++ticks;
    };
    timer->SetEnabled(true);
    Pump(80);
    EXPECT_EQ(ticks, stopped + 1);
}

TEST(Timer, FreeingTheTimerStopsIt) {
    int ticks = 0;
    {
        TTimer timer;
        timer.SetInterval(10);
        timer.OnTimer = [&](TComponent*) { ++ticks; };
    }
    Pump(50);
    EXPECT_EQ(ticks, 0);
}

// --- pictures ---------------------------------------------------------------------------------

TEST(ImageDestRect, PlacesThePicture) {
    struct Row {
        SIZE picture, client;
        bool stretch, proportional, center;
        RECT expected;
    };
    const Row rows[] = {
        {{50, 40}, {100, 100}, false, false, false, {0, 0, 50, 40}},
        {{50, 40}, {100, 100}, false, false, true, {25, 30, 75, 70}},
        {{50, 40}, {174, 130}, true, false, false, {0, 0, 174, 130}},
        // Proportional keeps the shape, and only shrinks unless stretched.
        {{200, 100}, {100, 100}, false, true, false, {0, 0, 100, 50}},
        {{50, 40}, {100, 100}, false, true, false, {0, 0, 50, 40}},
        {{50, 100}, {100, 100}, true, true, true, {25, 0, 75, 100}},
    };
    for (const Row& r : rows) {
        RECT got = ImageDestRect(r.picture, r.client, r.stretch, r.proportional, r.center);
        EXPECT_EQ(got.left, r.expected.left);
        EXPECT_EQ(got.top, r.expected.top);
        EXPECT_EQ(got.right, r.expected.right);
        EXPECT_EQ(got.bottom, r.expected.bottom);
    }
}

// An animated picture that records the frames it was set to.
class FakeAnimation : public TGraphic {
public:
    int Width() const override { return 16; }
    int Height() const override { return 11; }
    void Draw(HDC, const RECT&) const override {}
    int FrameCount() const override { return 3; }
    int FrameDelayMs(int) const override { return 20; }
    void SetFrame(int f) override {
        frame = f;
        ++steps;
    }
    int Frame() const override { return frame; }
    void ToBitmap(TBitmap& out) const override { out.SetSize(16, 11); }
    std::unique_ptr<TGraphic> Clone() const override { return std::make_unique<FakeAnimation>(*this); }

    int frame = 0;
    int steps = 0;
};

TEST_F(StdCtrlsTest, AnimatedPicturesStepWhileAnimateIsOn) {
    auto* image = New<TImage>(form, {.Width = 16, .Height = 11}, {.Transparent = true});
    image->SetGraphic(std::make_unique<FakeAnimation>());
    auto* anim = static_cast<FakeAnimation*>(image->Graphic());
    Pump(60);
    EXPECT_EQ(anim->steps, 0);
    image->SetAnimate(true);
    EXPECT_TRUE(PumpUntil([&] { return anim->steps >= 4; }));
    EXPECT_LT(anim->frame, 3);
    image->SetAnimate(false);
    int steps = anim->steps;
    Pump(60);
    EXPECT_EQ(anim->steps, steps);
    EXPECT_EQ(FrameDelay(0), 100u);
    EXPECT_EQ(FrameDelay(70), 70u);
}

TEST(ImageList, AddsDrawsAndDeletesImages) {
    TImageList* list = NewImageList(nullptr, {.Width = 13, .Height = 10});
    std::unique_ptr<TImageList> owner(list);
    TBitmap red(13, 10);
    red.Fill(MakeBGRA(255, 0, 0));
    TBitmap blue(20, 20);
    blue.Fill(MakeBGRA(0, 0, 255, 128));
    blue.SetHasAlpha(true);
    EXPECT_EQ(list->AddGraphic(red), 0);
    EXPECT_EQ(list->AddGraphic(blue), 1);
    EXPECT_EQ(list->Add(red.Handle()), 2);
    EXPECT_EQ(list->Count(), 3);
    TBitmap out;
    list->GetBitmap(0, out);
    EXPECT_EQ(out.Width(), 13);
    EXPECT_EQ(out.Pixel(5, 5), MakeBGRA(255, 0, 0));
    list->GetBitmap(1, out);
    EXPECT_EQ(out.Pixel(5, 5) >> 24, 128u);
    list->Delete(1);
    EXPECT_EQ(list->Count(), 2);
    list->SetSize(60, 45);
    EXPECT_EQ(list->Count(), 0);
    int cx = 0, cy = 0;
    ImageList_GetIconSize(list->Handle(), &cx, &cy);
    EXPECT_EQ(cx, 60);
    EXPECT_EQ(cy, 45);
}

// --- dialogs ------------------------------------------------------------------------------------

TEST(Dialogs, FilterBecomesTheSystemsList) {
    EXPECT_EQ(SystemFilter(L"Korvelink History File (*.kvhist)|*.kvhist"),
              std::wstring(L"Korvelink History File (*.kvhist)\0*.kvhist\0\0", 44));
    EXPECT_EQ(OpenFileFlags(ofFileMustExist) & (OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST),
              DWORD(OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST));
    EXPECT_TRUE(OpenFileFlags(ofOverwritePrompt | ofEnableSizing) & OFN_ENABLESIZING);
}

TEST(Dialogs, ExecuteGoesThroughTheHook) {
    TSaveDialog save;
    save.SetProps({.Title = L"Backup History", .Filter = L"Korvelink History File (*.kvhist)|*.kvhist",
                   .DefaultExt = L"kvhist", .FileName = L"Korvelink History 2024-01-02",
                   .InitialDir = L"C:\\docs", .Options = ofOverwritePrompt | ofHideReadOnly | ofEnableSizing});
    std::wstring seenTitle, seenName;
    bool seenSave = false;
    ScopedHook<FileDialogFunc> hook(FileDialogHook, [&](TOpenDialog& d) {
        seenTitle = d.Title;
        seenName = d.FileName;
        seenSave = d.IsSaveDialog();
        d.FileName = L"C:\\docs\\backup.kvhist";
        return true;
    });
    EXPECT_TRUE(save.Execute());
    EXPECT_EQ(seenTitle, L"Backup History");
    EXPECT_EQ(seenName, L"Korvelink History 2024-01-02");
    EXPECT_TRUE(seenSave);
    EXPECT_EQ(save.FileName, L"C:\\docs\\backup.kvhist");

    TOpenDialog open;
    ScopedHook<FileDialogFunc> cancel(FileDialogHook, [&](TOpenDialog& d) {
        seenSave = d.IsSaveDialog();
        return false;
    });
    EXPECT_FALSE(open.Execute());
    EXPECT_FALSE(seenSave);
}

// --- tool bar ----------------------------------------------------------------------------------

TEST_F(StdCtrlsTest, ToolBarButtonsClickShowHintsAndMakeRoomForControls) {
    TImageList* images = NewImageList(form, {.Width = 16, .Height = 16});
    TBitmap pic(16, 16);
    pic.Fill(MakeBGRA(0, 128, 0));
    images->AddGraphic(pic);
    images->AddGraphic(pic);
    auto* bar = New<TToolBar>(form, {.Height = 25, .Align = alTop}, {.Images = images});
    auto* history = New<TToolButton>(bar, {.Name = L"BtnHistorial", .Hint = L"Show History", .ShowHint = true},
                                     {.ImageIndex = 0});
    auto* edit = New<TEdit>(bar, {.Name = L"EdtEnlace", .Width = 200});
    auto* scan = New<TToolButton>(bar, {.Name = L"BtnAnalizar", .Hint = L"Scan...", .ShowHint = true},
                                  {.ImageIndex = 1});
    EXPECT_EQ(bar->Width(), 400);
    EXPECT_EQ(SendMessageW(bar->Handle(), TB_BUTTONCOUNT, 0, 0), 3);
    // The text box sits in its own slot between the buttons.
    RECT slot = bar->ItemRect(edit);
    EXPECT_EQ(edit->Left(), slot.left);
    EXPECT_EQ(slot.right - slot.left, 200);
    EXPECT_GE(edit->Left(), history->Left() + history->Width());
    EXPECT_GE(scan->Left(), edit->Left() + edit->Width());

    int clicks = 0;
    scan->OnClick = [&](TComponent*) { ++clicks; };
    SendMessageW(form->Handle(), WM_COMMAND, MAKEWPARAM(scan->Command(), BN_CLICKED),
                 reinterpret_cast<LPARAM>(bar->Handle()));
    EXPECT_EQ(clicks, 1);

    wchar_t text[80] = {};
    NMTBGETINFOTIPW tip = {};
    tip.hdr.hwndFrom = bar->Handle();
    tip.hdr.code = TBN_GETINFOTIPW;
    tip.iItem = static_cast<int>(history->Command());
    tip.pszText = text;
    tip.cchTextMax = 80;
    SendMessageW(form->Handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&tip));
    EXPECT_STREQ(text, L"Show History");

    scan->SetEnabled(false);
    EXPECT_FALSE(SendMessageW(bar->Handle(), TB_ISBUTTONENABLED, scan->Command(), 0));
    scan->SetEnabled(true);
    EXPECT_TRUE(SendMessageW(bar->Handle(), TB_ISBUTTONENABLED, scan->Command(), 0));
    history->Hide();
    EXPECT_TRUE(SendMessageW(bar->Handle(), TB_ISBUTTONHIDDEN, history->Command(), 0));
    EXPECT_EQ(edit->Left(), bar->ItemRect(edit).left);
}

// --- list view ----------------------------------------------------------------------------------

TEST_F(StdCtrlsTest, ListViewItemsSubItemsAndCheckBoxes) {
    auto* list = New<TListView>(form, {.Width = 450, .Height = 137},
                                {.Columns = {{L"", 431}}, .ShowColumnHeaders = false, .RowSelect = true,
                                 .ReadOnly = true, .Checkboxes = true});
    int a = list->AddItem(L"First video");
    list->SetSubItem(a, 1, L"1001");
    int b = list->AddItem(L"Second video");
    list->SetSubItem(b, 1, L"1002");
    EXPECT_EQ(list->Count(), 2);
    EXPECT_EQ(list->ItemCaption(1), L"Second video");
    EXPECT_EQ(list->SubItem(0, 1), L"1001");
    list->SetChecked(0, true);
    EXPECT_TRUE(list->Checked(0));
    EXPECT_FALSE(list->Checked(1));
    list->SetItemIndex(1);
    EXPECT_EQ(list->ItemIndex(), 1);
    std::wstring tip;
    list->OnInfoTip = [&](TComponent*, int item, std::wstring& text) { text = L"tip " + list->SubItem(item, 1); };
    wchar_t buffer[64] = {};
    NMLVGETINFOTIPW info = {};
    info.hdr.hwndFrom = list->Handle();
    info.hdr.code = LVN_GETINFOTIPW;
    info.pszText = buffer;
    info.cchTextMax = 64;
    info.iItem = 1;
    SendMessageW(form->Handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_STREQ(buffer, L"tip 1002");
    list->DeleteItem(0);
    EXPECT_EQ(list->ItemCaption(0), L"Second video");
    list->Clear();
    EXPECT_EQ(list->Count(), 0);
    EXPECT_EQ(list->ItemIndex(), -1);
}

TEST_F(StdCtrlsTest, OwnerDataListShowsWhatItKeeps) {
    form->Show();
    auto* list = New<TListView>(form, {.Width = 300, .Height = 100},
                                {.Columns = {{L"", 150}, {L"", 100}}, .RowSelect = true, .ReadOnly = true,
                                 .OwnerData = true});
    HWND h = list->Handle();
    auto shown = [&](int item, int column) {
        wchar_t text[32] = {};
        LVITEMW it = {};
        it.iSubItem = column;
        it.pszText = text;
        it.cchTextMax = 32;
        SendMessageW(h, LVM_GETITEMTEXTW, item, reinterpret_cast<LPARAM>(&it));
        return std::wstring(text);
    };
    {
        TListViewUpdate update(*list, 3);
        for (const wchar_t* fruit : {L"Apple", L"Banana", L"blueberry"}) list->SetSubItem(list->AddItem(fruit, 2), 1, fruit);
        EXPECT_EQ(SendMessageW(h, LVM_GETITEMCOUNT, 0, 0), 0);  // counted once, at the end
    }
    ASSERT_EQ(SendMessageW(h, LVM_GETITEMCOUNT, 0, 0), 3);
    EXPECT_EQ(shown(1, 0), L"Banana");
    EXPECT_EQ(shown(2, 1), L"blueberry");
    EXPECT_TRUE(IsWindowVisible(h));
    // Typing selects the next caption that starts with the letters, any case.
    list->SetFocus();
    SendMessageW(h, WM_CHAR, L'b', 1);
    EXPECT_EQ(list->ItemIndex(), 1);
    list->DeleteItem(0);
    EXPECT_EQ(SendMessageW(h, LVM_GETITEMCOUNT, 0, 0), 2);
    EXPECT_EQ(shown(0, 0), L"Banana");
    EXPECT_EQ(list->ItemIndex(), 0);  // the selection moved with its item
    list->Clear();
    EXPECT_EQ(SendMessageW(h, LVM_GETITEMCOUNT, 0, 0), 0);
    EXPECT_EQ(list->ItemIndex(), -1);
}

// --- scroll box -------------------------------------------------------------------------------------

TEST_F(StdCtrlsTest, ScrollBoxScrollsStackedPanels) {
    auto* box = New<TScrollBox>(form, {.Align = alClient, .Color = clWhite});
    EXPECT_EQ(box->ContentHeight(), 0);
    std::vector<TPanel*> panels;
    for (int i = 0; i < 3; ++i) {
        // Each new panel goes below the others, as result panels do.
        auto* p = New<TPanel>(box, {.Name = L"PnlVideo", .Top = box->ClientHeight(), .Height = 160, .Align = alTop});
        panels.push_back(p);
    }
    EXPECT_EQ(panels[1]->Top(), 160);
    EXPECT_EQ(box->ContentHeight(), 480);
    SCROLLINFO si = {sizeof(si), SIF_ALL};
    GetScrollInfo(box->Handle(), SB_VERT, &si);
    EXPECT_EQ(si.nMax, 479);
    EXPECT_EQ(static_cast<int>(si.nPage), box->ClientHeight());
    SendMessageW(box->Handle(), WM_VSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(box->ScrollPos(), 8);
    EXPECT_EQ(panels[0]->Top(), -8);
    box->SetScrollPos(10000);
    EXPECT_EQ(box->ScrollPos(), 480 - box->ClientHeight());
    // Less content scrolls back so nothing empty shows at the bottom.
    delete panels[2];
    delete panels[1];
    EXPECT_EQ(box->ScrollPos(), 0);
    EXPECT_EQ(panels[0]->Top(), 0);
}

}  // namespace
