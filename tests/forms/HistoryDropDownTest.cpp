// The history in the main window: the drop-down under the link box, its
// keys and mouse, and the History menu's clean, backup and import commands,
// over a history file in a temporary data folder.
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "MainWindowTestSupport.h"
#include "app/History.h"
#include "app/StartupChecks.h"
#include "classlib/Bitmap.h"
#include "classlib/Dialogs.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Files.h"
#include "classlib/ImgList.h"
#include "classlib/Label.h"
#include "classlib/ListView.h"
#include "classlib/Menus.h"
#include "classlib/ScrollBox.h"
#include "classlib/Strings.h"
#include "classlib/Timer.h"
#include "classlib/ToolBar.h"
#include "forms/uFrmHistorial.h"
#include "tests/support/TestPictures.h"

using namespace app;
using namespace cls;
using namespace mainwin_test;
using formstest::Pump;
using Lines = std::vector<std::wstring>;

namespace {

const std::wstring kEmpty = L"The History is empty.";
const std::wstring kVideo101 = L"https://www.facebook.com/video.php?v=10150000000101";
const std::wstring kFilter = L"Korvelink History File (*.kvhist)|*.kvhist";
const std::wstring kImportError = L"An error has occurred while trying to import the History file.";
const std::wstring kBackupError = L"An error has occurred while trying to create the backup.";

// The main window with the real clean-history window.
class TRealCleanWindow : public TTestMainWindow {
protected:
    void OpenCleanHistoryWindow() override { TFrmKorvelink::OpenCleanHistoryWindow(); }
};

// What a modal clean-history window looked like while it was open; a
// thread timer closes it from inside its modal loop.
struct ModalSeen {
    bool shown = false;
    int items = -1;
    cls::TForm* popupParent = nullptr;
    bool ownerDisabled = false;
    HWND owner = nullptr;
    TFrmKorvelink* main = nullptr;
    bool barLeaving = false;  // the message bar hidden or sliding down
    int ticks = 0;
};
ModalSeen* gSeen = nullptr;

void CALLBACK CloseCleanWindow(HWND, UINT, UINT_PTR timer, DWORD) {
    if (!gSeen) return;
    ++gSeen->ticks;
    if (FrmHistorial && IsWindowVisible(FrmHistorial->Handle())) {
        gSeen->shown = true;
        gSeen->items = FrmHistorial->ItemCount();
        gSeen->popupParent = FrmHistorial->PopupParent();
        gSeen->ownerDisabled = !IsWindowEnabled(gSeen->owner);
        if (TFrmKorvelink* m = gSeen->main)
            gSeen->barLeaving = !m->Timer1->Enabled() && (!m->PnlMsgs->Visible() || m->Timer3->Enabled());
        FrmHistorial->Close();
        KillTimer(nullptr, timer);
    } else if (gSeen->ticks > 200) {
        KillTimer(nullptr, timer);  // never hang a run on a window that did not come
    }
}

class HistoryDropDown : public MainWindowTest {
protected:
    struct BoxCall {
        std::wstring text, caption;
        UINT flags;
    };
    struct DialogCall {
        bool save;
        std::wstring title, filter, defaultExt, fileName, initialDir;
        TOpenOptions options;
    };

    HistoryDropDown()
        : answerHook_(MessageBoxHook,
                      [this](HWND, const std::wstring& text, const std::wstring& caption, UINT flags) {
                          questions_.push_back({text, caption, flags});
                          return answer_;
                      }),
          dialogHook_(FileDialogHook, [this](TOpenDialog& d) {
              dialogs_.push_back({d.IsSaveDialog(), d.Title, d.Filter, d.DefaultExt, d.FileName, d.InitialDir,
                                  d.Options});
              if (chosen_.empty()) return false;
              d.FileName = chosen_;
              return true;
          }) {}

    TTestMainWindow& OpenReal() {
        CloseWindow();
        form_ = std::make_unique<TRealCleanWindow>();
        Application.SetMainForm(form_.get());
        FrmKorvelink = form_.get();
        engine::PageFetchOwner = form_.get();
        form_->Show();
        Pump(30);
        return *form_;
    }

    void WriteHistory(const Lines& lines) {
        TStringList l;
        for (const auto& line : lines) l.Add(line);
        ASSERT_TRUE(ForceDirectories(engine::DataFolder));
        ASSERT_TRUE(l.SaveToFile(HistoryFileName()));
    }
    static Lines HistoryLines() {
        TStringList l;
        l.LoadFromFile(HistoryFileName());
        return l.Lines();
    }
    static std::string Bytes(const std::wstring& file) {
        std::string b;
        ReadFileBytes(file, b);
        return b;
    }
    void MakeThumb(const std::wstring& id) {
        ASSERT_TRUE(ForceDirectories(engine::ThumbnailsFolder));
        ASSERT_TRUE(WriteFileBytes(engine::ThumbnailsFolder + id + L".jpg", testing_support::RedBlueJpeg(120, 90)));
    }

    Lines Captions() const {
        Lines r;
        for (int i = 0; i < form_->LstHistorial->Count(); ++i) r.push_back(form_->LstHistorial->ItemCaption(i));
        return r;
    }
    Lines Ids() const {
        Lines r;
        for (int i = 0; i < form_->LstHistorial->Count(); ++i) r.push_back(form_->LstHistorial->SubItem(i, 1));
        return r;
    }
    std::vector<int> Images() const {
        std::vector<int> r;
        for (int i = 0; i < form_->LstHistorial->Count(); ++i) r.push_back(form_->LstHistorial->ImageIndex(i));
        return r;
    }
    // Types into the link box as the user does: its change handler runs.
    void Type(const std::wstring& text) {
        form_->EdtEnlace->SetText(text);
        Pump(10);
    }
    void ListKey(WORD key) {
        formstest::PostKey(form_->LstHistorial->Handle(), key);
        Pump(30);
    }
    bool CaretAtEnd() const {
        return form_->EdtEnlace->SelStart() == static_cast<int>(form_->EdtEnlace->Text().size()) &&
               form_->EdtEnlace->SelLength() == 0;
    }
    // A click on the drop-down's bottom strip, in its client coordinates.
    void ClickStrip(int x, int y) {
        HWND strip = form_->Panel1->Handle();
        SendMessageW(strip, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        SendMessageW(strip, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    }
    static bool OnXP() {
        WindowsVersion v = GetWindowsVersion();
        return v.major == 5 && v.minor == 1;
    }

    std::vector<BoxCall> questions_;
    int answer_ = IDYES;
    std::vector<DialogCall> dialogs_;
    std::wstring chosen_;
    ScopedHook<MessageBoxFunc> answerHook_;
    ScopedHook<FileDialogFunc> dialogHook_;
};

#define REQUIRE_SITE() \
    if (!SiteRunning()) GTEST_SKIP() << "needs tests/fakesite/run-with-site.sh"

// --- the history button ----------------------------------------------------------------------------

TEST_F(HistoryDropDown, EmptyHistoryIsReportedAndTheDropDownStaysHidden) {
    TTestMainWindow& f = Open();
    // No file, then a file of nothing but blank and ">"-less lines.
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        f.LblMensaje->SetCaption(L"");
        f.BtnHistorial->Click();
        Pump(20);
        EXPECT_FALSE(f.PnlHistorial->Visible());
        EXPECT_EQ(f.LblMensaje->Caption(), kEmpty);
        EXPECT_EQ(f.MessageKind(), MsgInformation);
        EXPECT_EQ(f.Label1->Caption(), L"Total 0 video links clicked recently");
        WriteHistory({L"  ", L"no separator here", L""});
    }
}

TEST_F(HistoryDropDown, HistoryButtonListsEveryEntryWithItsThumbnail) {
    if (OnXP()) GTEST_SKIP() << "captions are never shortened on Windows XP";
    const std::wstring title55(55, L'x');
    const std::wstring title56 = std::wstring(54, L'y') + L" z";
    WriteHistory({L"10150000000101>  With a thumbnail  ", L"", L"10150000000102>" + title55,
                  L"10150000000103>" + title56, L"no entry", L"..\\evil>Hand-edited entry"});
    MakeThumb(L"10150000000101");
    // What the hand-edited ID would name if it were taken as a file name.
    ASSERT_TRUE(WriteFileBytes(engine::DataFolder + L"evil.jpg", testing_support::RedBlueJpeg(120, 90)));

    TTestMainWindow& f = Open();
    ASSERT_GE(f.ImageList2->Count(), 1);  // the default picture
    SuppressLinkChange = true;
    f.EdtEnlace->SetText(L"abc");
    SuppressLinkChange = false;
    f.BtnHistorial->Click();
    Pump(20);

    ASSERT_TRUE(f.PnlHistorial->Visible());
    EXPECT_TRUE(f.LstHistorial->Focused());
    EXPECT_EQ(Captions(), (Lines{L" With a thumbnail", L" " + title55, L" " + std::wstring(54, L'y') + L"...",
                                 L" Hand-edited entry"}));
    EXPECT_EQ(Ids(), (Lines{L"10150000000101", L"10150000000102", L"10150000000103", L"..\\evil"}));
    EXPECT_EQ(Images(), (std::vector<int>{1, 0, 0, 0}));
    EXPECT_EQ(f.ImageList2->Count(), 2);
    EXPECT_EQ(f.Label1->Caption(), L"Total 4 video links clicked recently");
    // The full fill cleans the file.
    EXPECT_EQ(HistoryLines().size(), 4u);

    // The thumbnail is the picture, scaled down: red left, blue right.
    TBitmap thumb;
    f.ImageList2->GetBitmap(1, thumb);
    EXPECT_TRUE(testing_support::Near(thumb.Pixel(10, 22), MakeBGRA(255, 0, 0), 60));
    EXPECT_TRUE(testing_support::Near(thumb.Pixel(50, 22), MakeBGRA(0, 0, 255), 60));

    // A second click hides the drop-down and lets go of its pictures.
    f.BtnHistorial->Click();
    Pump(20);
    EXPECT_FALSE(f.PnlHistorial->Visible());
    EXPECT_EQ(f.LstHistorial->Count(), 0);
    EXPECT_EQ(f.ImageList2->Count(), 1);
    EXPECT_TRUE(f.EdtEnlace->Focused());
    EXPECT_TRUE(CaretAtEnd());
}

TEST_F(HistoryDropDown, TotalLineCountsOneVideoInTheSingular) {
    WriteHistory({L"10150000000101>Only one"});
    TTestMainWindow& f = Open();
    f.BtnHistorial->Click();
    EXPECT_EQ(f.Label1->Caption(), L"Total 1 video link clicked recently");
}

TEST_F(HistoryDropDown, PlainFillOfAnotherListStillCountsTheDropDown) {
    WriteHistory({L"10150000000101>  First  ", L"10150000000102>Second"});
    MakeThumb(L"10150000000101");
    TTestMainWindow& f = Open();
    auto* other = New<TListView>(&f, {.Name = L"OtherList", .Left = 0, .Top = 60, .Width = 300, .Height = 100},
                                 {.Columns = {{L"", 280}}, .Checkboxes = true});
    f.LlenarLstHistorialTodos(other, true, 2);
    ASSERT_EQ(other->Count(), 2);
    EXPECT_EQ(other->ItemCaption(0), L"First");
    EXPECT_EQ(other->SubItem(1, 1), L"10150000000102");
    EXPECT_TRUE(other->Checked(0) && other->Checked(1));
    EXPECT_EQ(f.ImageList2->Count(), 1);  // no thumbnails outside the drop-down
    EXPECT_EQ(f.Label1->Caption(), L"Total 0 video links clicked recently");
}

// --- typing ------------------------------------------------------------------------------------------

TEST_F(HistoryDropDown, TypingFiltersTitlesWithoutAccentsOrCase) {
    WriteHistory({L"10150000000101>Elan vital", L"  ", L"10150000000102>Un ÉLAN de plus", L"10150000000103>Æon Flux",
                  L"10150000000104>Something else", L"stray line"});
    MakeThumb(L"10150000000102");
    TTestMainWindow& f = Open();

    Type(L"élan");
    EXPECT_TRUE(f.PnlHistorial->Visible());
    EXPECT_EQ(Ids(), (Lines{L"10150000000101", L"10150000000102"}));
    EXPECT_EQ(Images(), (std::vector<int>{0, 1}));
    EXPECT_EQ(f.Label1->Caption(), L"Result: 2 video links clicked recently");

    Type(L"AEON");
    EXPECT_EQ(Ids(), Lines{L"10150000000103"});
    EXPECT_EQ(f.Label1->Caption(), L"Result: 1 video link clicked recently");
    EXPECT_EQ(f.ImageList2->Count(), 1);

    Type(L"nothing like it");
    EXPECT_FALSE(f.PnlHistorial->Visible());
    EXPECT_EQ(f.Label1->Caption(), L"Result: 0 video links clicked recently");

    // A filtered fill never cleans the file.
    EXPECT_EQ(HistoryLines().size(), 6u);
}

TEST_F(HistoryDropDown, ALongFilteredFillShowsEveryMatchInOrderWithItsPicture) {
    // Thousands of entries, every other one a match; two matches share a
    // thumbnail's ID, one other has its own.
    Lines lines;
    for (int i = 0; i < 6000; ++i)
        lines.push_back(std::to_wstring(10150000010000LL + i % 5000) + (i % 2 ? L">Other " : L">Lake ") +
                        std::to_wstring(i));
    WriteHistory(lines);
    MakeThumb(L"10150000010000");  // entries 0 and 5000
    MakeThumb(L"10150000010004");  // entry 4
    TTestMainWindow& f = Open();
    Type(L"lake");

    ASSERT_TRUE(f.PnlHistorial->Visible());
    EXPECT_EQ(f.Label1->Caption(), L"Result: 3000 video links clicked recently");
    // What the list shows, asked of the window itself.
    HWND list = f.LstHistorial->Handle();
    ASSERT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 3000);
    auto shown = [&](int item) {
        wchar_t text[64] = {};
        LVITEMW it = {};
        it.mask = LVIF_TEXT | LVIF_IMAGE;
        it.iItem = item;
        it.pszText = text;
        it.cchTextMax = 64;
        SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it));
        return std::make_pair(std::wstring(text), it.iImage);
    };
    for (int item : {0, 1, 2, 1234, 2500, 2999}) {
        SCOPED_TRACE(item);
        const int entry = 2 * item;
        EXPECT_EQ(shown(item).first, L" Lake " + std::to_wstring(entry));
        EXPECT_EQ(f.LstHistorial->SubItem(item, 1), std::to_wstring(10150000010000LL + entry % 5000));
    }
    EXPECT_EQ(shown(0).second, 1);
    EXPECT_EQ(shown(2).second, 2);
    EXPECT_EQ(shown(2500).second, 1);  // the same thumbnail, added once
    EXPECT_EQ(shown(1).second, 0);
    EXPECT_EQ(f.ImageList2->Count(), 3);

    // Keys and the mouse still reach the items.
    f.LstHistorial->SetFocus();
    f.LstHistorial->SetItemIndex(0);
    ListKey(VK_END);
    EXPECT_EQ(f.LstHistorial->ItemIndex(), 2999);
    wchar_t tip[256] = {};
    NMLVGETINFOTIPW nm = {};
    nm.hdr = {list, static_cast<UINT_PTR>(GetDlgCtrlID(list)), LVN_GETINFOTIPW};
    nm.pszText = tip;
    nm.cchTextMax = 256;
    nm.iItem = 2999;
    SendMessageW(f.PnlHistorial->Handle(), WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
    EXPECT_EQ(std::wstring(tip), CanonicalVideoAddress(std::to_wstring(10150000010000LL + 5998 % 5000)));

    // A narrower filter replaces them all.
    Type(L"lake 5998");
    EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 1);
    EXPECT_EQ(shown(0).first, L" Lake 5998");
    EXPECT_EQ(f.LstHistorial->ItemIndex(), -1);
}

TEST_F(HistoryDropDown, FilteredCaptionsAreCutAt54ForTextAnd55ForALink) {
    if (OnXP()) GTEST_SKIP() << "captions are never shortened on Windows XP";
    const std::wstring t54 = L"match" + std::wstring(49, L'a');
    const std::wstring t55 = L"match" + std::wstring(50, L'b');
    WriteHistory({L"10150000000101>" + t54, L"10150000000102>" + t55});
    TTestMainWindow& f = Open();

    Type(L"match");
    EXPECT_EQ(Captions(), (Lines{L" " + t54, L" " + t55.substr(0, 54) + L"..."}));

    // A video link shows its own entry only, cut as in the full fill; the
    // box text is percent-decoded first.
    Type(L"https://www.facebook.com/video.php%3Fv%3D10150000000102");
    EXPECT_EQ(Captions(), Lines{L" " + t55});
    EXPECT_EQ(f.Label1->Caption(), L"Result: 1 video link clicked recently");
}

TEST_F(HistoryDropDown, DownKeyInAnEmptyBoxOpensEveryEntry) {
    WriteHistory({L"10150000000101>One", L"10150000000102>Two"});
    TTestMainWindow& f = Open();
    f.EdtEnlace->SetFocus();
    formstest::PostKey(f.EdtEnlace->Handle(), VK_DOWN);
    Pump(30);
    ASSERT_TRUE(f.PnlHistorial->Visible());
    EXPECT_EQ(f.LstHistorial->Count(), 2);
    EXPECT_EQ(f.LstHistorial->ItemIndex(), 0);
    EXPECT_EQ(f.Label1->Caption(), L"Total 2 video links clicked recently");
}

// --- keys and mouse on the drop-down --------------------------------------------------------------

TEST_F(HistoryDropDown, EnterSearchesTheSelectedEntryUnderItsCanonicalAddress) {
    REQUIRE_SITE();
    WriteHistory({L"10150000000102>Other", L"10150000000101>Wanted"});
    TTestMainWindow& f = Open();
    f.BtnHistorial->Click();
    f.LstHistorial->SetItemIndex(1);
    ListKey(VK_RETURN);
    EXPECT_FALSE(f.PnlHistorial->Visible());
    WaitForSearch();

    EXPECT_EQ(f.loginWindows, std::vector<bool>{false});  // first search, nobody logged in
    EXPECT_EQ(f.EdtEnlace->Text(), kVideo101);
    ASSERT_EQ(f.panels, 1);
    EXPECT_EQ(f.panelId, L"10150000000101");
    // Writing the address did not filter the history again.
    EXPECT_FALSE(f.PnlHistorial->Visible());
    EXPECT_FALSE(SuppressLinkChange);
    EXPECT_EQ(HistoryLines()[0], L"10150000000101>Wanted");
}

TEST_F(HistoryDropDown, EscAndEnterWithoutSelectionOnlyHide) {
    WriteHistory({L"10150000000101>One"});
    TTestMainWindow& f = Open();
    for (WORD key : {VK_ESCAPE, VK_RETURN}) {
        SCOPED_TRACE(key);
        f.BtnHistorial->Click();
        ASSERT_TRUE(f.PnlHistorial->Visible());
        f.LstHistorial->SetItemIndex(-1);
        ListKey(key);
        EXPECT_FALSE(f.PnlHistorial->Visible());
    }
    EXPECT_EQ(f.EdtEnlace->Text(), L"");
    EXPECT_FALSE(f.Searching());
    EXPECT_EQ(f.panels, 0);
    EXPECT_TRUE(f.loginWindows.empty());
}

TEST_F(HistoryDropDown, HandEditedEntryIsNeverSearched) {
    WriteHistory({L"..\\..\\x>Planted", L"10150000000101>Fine"});
    TTestMainWindow& f = Open();
    SuppressLinkChange = true;
    f.EdtEnlace->SetText(L"typed");
    SuppressLinkChange = false;
    f.BtnHistorial->Click();
    RECT r = {LVIR_BOUNDS};
    SendMessageW(f.LstHistorial->Handle(), LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&r));
    // A click on the entry: the drop-down goes, nothing is searched.
    f.LstHistorialMouseDown(f.LstHistorial, mbLeft, 0, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    Pump(20);
    EXPECT_EQ(f.LstHistorial->ItemIndex(), 0);
    EXPECT_FALSE(f.PnlHistorial->Visible());
    EXPECT_EQ(f.LblMensaje->Caption(), L"Invalid URL format. Please enter a valid Facebook video URL.");
    EXPECT_EQ(f.MessageKind(), MsgError);
    EXPECT_EQ(f.EdtEnlace->Text(), L"typed");
    EXPECT_FALSE(f.Searching());
    EXPECT_TRUE(f.loginWindows.empty());
    EXPECT_FALSE(DirectoryExists(engine::ThumbnailsFolder));
}

TEST_F(HistoryDropDown, InfoTipIsTheCanonicalAddress) {
    WriteHistory({L"10150000000101>One"});
    TTestMainWindow& f = Open();
    f.BtnHistorial->Click();
    wchar_t buffer[256] = L"unchanged";
    NMLVGETINFOTIPW tip = {};
    tip.hdr.hwndFrom = f.LstHistorial->Handle();
    tip.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(f.LstHistorial->Handle()));
    tip.hdr.code = LVN_GETINFOTIPW;
    tip.pszText = buffer;
    tip.cchTextMax = 256;
    tip.iItem = 0;
    SendMessageW(f.PnlHistorial->Handle(), WM_NOTIFY, tip.hdr.idFrom, reinterpret_cast<LPARAM>(&tip));
    EXPECT_EQ(std::wstring(buffer), kVideo101);
}

TEST_F(HistoryDropDown, LeavingTheListOrClickingItsFooterHidesIt) {
    WriteHistory({L"10150000000101>One"});
    TTestMainWindow& f = Open();
    SuppressLinkChange = true;
    f.EdtEnlace->SetText(L"some text");
    SuppressLinkChange = false;

    f.BtnHistorial->Click();
    ASSERT_TRUE(f.LstHistorial->Focused());
    f.ScllVideos->SetFocus();
    Pump(20);
    EXPECT_FALSE(f.PnlHistorial->Visible());
    EXPECT_TRUE(f.EdtEnlace->Focused());
    EXPECT_TRUE(CaretAtEnd());

    f.BtnHistorial->Click();
    ASSERT_TRUE(f.PnlHistorial->Visible());
    f.EdtEnlace->SetSelStart(0);
    // A click on the strip itself, beside its labels.
    ClickStrip(f.Label1->Left() + f.Label1->Width() + 20, 2);
    Pump(20);
    EXPECT_FALSE(f.PnlHistorial->Visible());
    EXPECT_TRUE(f.EdtEnlace->Focused());
    EXPECT_TRUE(CaretAtEnd());
}

TEST_F(HistoryDropDown, CleanLabelTurnsBlueUnderTheMouse) {
    TTestMainWindow& f = Open();
    TLabel* label = f.LblLimpiarHistorial;
    ASSERT_EQ(label->Font().Color(), clWindowText);
    HWND strip = f.Panel1->Handle();
    SendMessageW(strip, WM_MOUSEMOVE, 0, MAKELPARAM(label->Left() + 3, label->Top() + 3));
    EXPECT_EQ(label->Font().Color(), TColor(14052403));
    SendMessageW(strip, WM_MOUSEMOVE, 0, MAKELPARAM(f.Label1->Left() + f.Label1->Width() + 20, 2));
    EXPECT_EQ(label->Font().Color(), clWindowText);
}

// --- the clean-history window ------------------------------------------------------------------------

TEST_F(HistoryDropDown, CleanHistoryOpensModallyOnlyWithEntries) {
    TTestMainWindow& f = OpenReal();

    // Empty: the message instead of the window.
    f.LblLimpiarHistorialClick(f.LblLimpiarHistorial);
    EXPECT_EQ(f.LblMensaje->Caption(), kEmpty);
    EXPECT_EQ(f.MessageKind(), MsgInformation);
    EXPECT_EQ(FrmHistorial, nullptr);

    WriteHistory({L"10150000000101>One", L"10150000000102>Two"});
    f.BtnHistorial->Click();
    ASSERT_TRUE(f.PnlHistorial->Visible());
    ModalSeen seen;
    seen.owner = f.Handle();
    gSeen = &seen;
    SetTimer(nullptr, 0, 20, &CloseCleanWindow);
    ClickStrip(f.LblLimpiarHistorial->Left() + 3, f.LblLimpiarHistorial->Top() + 3);
    gSeen = nullptr;

    EXPECT_TRUE(seen.shown);
    EXPECT_EQ(seen.items, 2);
    EXPECT_EQ(seen.popupParent, &f);
    EXPECT_TRUE(seen.ownerDisabled);
    EXPECT_EQ(FrmHistorial, nullptr);
    EXPECT_FALSE(f.PnlHistorial->Visible());
    Pump(20);
    EXPECT_TRUE(f.EdtEnlace->Focused());
}

TEST_F(HistoryDropDown, CleanMenuHidesTheMessageBarFirst) {
    WriteHistory({L"10150000000101>One"});
    TTestMainWindow& f = OpenReal();
    f.MostrarPnlMsgs(L"Old news", MsgInformation);
    f.FillHistoryListFiltered(L"one");
    ASSERT_EQ(f.Label1->Caption(), L"Result: 1 video link clicked recently");
    ModalSeen seen;
    seen.owner = f.Handle();
    seen.main = &f;
    gSeen = &seen;
    SetTimer(nullptr, 0, 20, &CloseCleanWindow);
    f.MnuLimpiarHistorial->Click();
    gSeen = nullptr;
    EXPECT_TRUE(seen.shown);
    EXPECT_EQ(seen.items, 1);
    EXPECT_TRUE(seen.barLeaving);
    EXPECT_NE(f.LblMensaje->Caption(), kEmpty);
    // The window's fill is the main window's full fill: the total line follows.
    EXPECT_EQ(f.Label1->Caption(), L"Total 1 video link clicked recently");
}

// --- backup ------------------------------------------------------------------------------------------

TEST_F(HistoryDropDown, BackupWritesAByteCopyOfTheCleanedFile) {
    WriteHistory({L"10150000000101>Vidéo one", L"", L"10150000000102>Two"});
    TTestMainWindow& f = Open();
    ASSERT_TRUE(ForceDirectories(tmp_.Path() + L"Backups"));
    chosen_ = tmp_.Path() + L"Backups\\mine.kvhist";
    f.SaveDialog1->InitialDir = L"C:\\elsewhere\\";
    f.MnuRespaldarHistorial->Click();

    ASSERT_EQ(dialogs_.size(), 1u);
    const DialogCall& d = dialogs_[0];
    EXPECT_TRUE(d.save);
    EXPECT_EQ(d.title, L"Backup History");
    EXPECT_EQ(d.filter, kFilter);
    EXPECT_EQ(d.defaultExt, L"kvhist");
    EXPECT_EQ(d.options, ofOverwritePrompt | ofHideReadOnly | ofEnableSizing);
    SYSTEMTIME t;
    GetLocalTime(&t);
    wchar_t date[16];
    swprintf(date, 16, L"%04u-%02u-%02u", t.wYear, t.wMonth, t.wDay);
    EXPECT_EQ(d.fileName, std::wstring(L"Korvelink History ") + date);
    EXPECT_EQ(d.initialDir, L"C:\\elsewhere\\");

    EXPECT_EQ(Bytes(chosen_), Bytes(HistoryFileName()));
    EXPECT_EQ(HistoryLines().size(), 2u);  // cleaned before the copy
    EXPECT_EQ(f.SaveDialog1->InitialDir, tmp_.Path() + L"Backups\\");
    EXPECT_FALSE(f.PnlHistorial->Visible());
    EXPECT_NE(f.MessageKind(), MsgError);

    // A backup that cannot be written says so.
    chosen_ = tmp_.Path() + L"Missing\\folder\\mine.kvhist";
    f.MnuRespaldarHistorial->Click();
    EXPECT_EQ(f.LblMensaje->Caption(), kBackupError);
    EXPECT_EQ(f.MessageKind(), MsgError);
}

TEST_F(HistoryDropDown, BackupOfNoHistoryAsksNothing) {
    TTestMainWindow& f = Open();
    chosen_ = tmp_.Path() + L"never.kvhist";
    f.MnuRespaldarHistorial->Click();
    EXPECT_TRUE(dialogs_.empty());
    EXPECT_EQ(f.LblMensaje->Caption(), kEmpty);
    EXPECT_FALSE(FileExists(chosen_));
}

// --- import ------------------------------------------------------------------------------------------

TEST_F(HistoryDropDown, ImportReplacesTheHistoryAfterConfirmation) {
    TTestMainWindow& f = Open();
    const std::string text = "\xEF\xBB\xBF" "10150000000107>Imported vid\xC3\xA9o\r\n";
    const std::wstring source = tmp_.Path() + L"Old\\saved.kvhist";
    ASSERT_TRUE(ForceDirectories(tmp_.Path() + L"Old"));
    ASSERT_TRUE(WriteFileBytes(source, text));
    chosen_ = source;
    f.OpenDialog1->FileName = L"left over";

    // No: nothing changes.
    answer_ = IDNO;
    f.MnuImportarHistorial->Click();
    ASSERT_EQ(questions_.size(), 1u);
    EXPECT_EQ(questions_[0].text, L"Are you sure you want to import the history file?");
    EXPECT_EQ(questions_[0].caption, L"Confirmation");
    EXPECT_EQ(questions_[0].flags, 36u);
    ASSERT_EQ(dialogs_.size(), 1u);
    EXPECT_FALSE(dialogs_[0].save);
    EXPECT_EQ(dialogs_[0].title, L"Import History");
    EXPECT_EQ(dialogs_[0].filter, kFilter);
    EXPECT_EQ(dialogs_[0].defaultExt, L"kvhist");
    EXPECT_EQ(dialogs_[0].fileName, L"");
    EXPECT_EQ(dialogs_[0].options, ofFileMustExist | ofHideReadOnly | ofEnableSizing);
    EXPECT_FALSE(FileExists(HistoryFileName()));
    EXPECT_EQ(f.OpenDialog1->InitialDir, tmp_.Path() + L"Old\\");

    answer_ = IDYES;
    f.MnuImportarHistorial->Click();
    EXPECT_EQ(Bytes(HistoryFileName()), text);
    EXPECT_NE(f.MessageKind(), MsgError);
    f.BtnHistorial->Click();
    EXPECT_EQ(Captions(), Lines{L" Imported vidéo"});
}

TEST_F(HistoryDropDown, ImportRefusesWhatIsNotHistoryText) {
    WriteHistory({L"10150000000101>Kept"});
    const std::string before = Bytes(HistoryFileName());
    TTestMainWindow& f = Open();
    const std::string refused[] = {
        std::string("10150000000101>Bin\0ary\r\n", 24),  // a NUL byte
        "10150000000101>Caf\xE9\r\n",                      // Latin-1, not UTF-8
        std::string("\xFF\xFE" "1\0" "0\0", 6),            // UTF-16
        "10150000000101>Big\r\n" + std::string(kMaxHistoryFileBytes, ' '),  // text, but over 1 MiB
    };
    for (const std::string& bytes : refused) {
        SCOPED_TRACE(bytes.size());
        f.OcultarPnlMsgs();
        chosen_ = tmp_.Path() + L"bad.kvhist";
        ASSERT_TRUE(WriteFileBytes(chosen_, bytes));
        f.MnuImportarHistorial->Click();
        EXPECT_EQ(f.LblMensaje->Caption(), kImportError);
        EXPECT_EQ(f.MessageKind(), MsgError);
        EXPECT_EQ(Bytes(HistoryFileName()), before);
    }
    // A cancelled dialog asks nothing.
    questions_.clear();
    chosen_.clear();
    f.MnuImportarHistorial->Click();
    EXPECT_TRUE(questions_.empty());
}

}  // namespace
