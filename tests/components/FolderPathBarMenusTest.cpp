#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <set>
#include <string>
#include <vector>

#include "classlib/Bitmap.h"
#include "classlib/Edit.h"
#include "classlib/Files.h"
#include "classlib/Hooks.h"
#include "classlib/Menus.h"
#include "components/FolderPathBar.h"
#include "components/FolderPathBarMenus.h"
#include "components/FolderPathBarShell.h"
#include "tests/components/FolderPathBarTestSupport.h"

using namespace components;
using components_test::PumpFor;
using components_test::PumpUntil;
using Strings = std::vector<std::wstring>;

TEST(FolderPathBarMenus, NaturalOrder) {
    struct {
        const wchar_t *a, *b;
        int sign;
    } cases[] = {
        {L"a2", L"a10", -1},      {L"a10", L"a2", 1},     {L"A1", L"a2", -1},   {L"a", L"B", -1},
        {L"B", L"a", 1},          {L"abc", L"ABC", 0},    {L"", L"a", -1},      {L"a", L"", 1},
        {L"x", L"x1", -1},        {L"file2b", L"file2a", 1}, {L"10", L"9", 1},  {L"a01", L"a1", 0},
        {L"v1.10", L"v1.9", 1},   {L"a99999999999999999999", L"a1", -1},  // too long to count: 0
    };
    for (const auto& c : cases) {
        const int r = NaturalCompare(c.a, c.b);
        EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.a << " vs " << c.b;
    }
    Strings names = {L"a10", L"a2", L"A1", L"b", L"a2b"};
    SortNatural(names);
    EXPECT_EQ(names, (Strings{L"A1", L"a2", L"a2b", L"a10", L"b"}));
}

TEST(FolderPathBarMenus, UniqueNames) {
    std::set<std::wstring> taken = {L"C:\\x\\N", L"C:\\x\\N 2", L"C:\\x\\N 3"};
    auto exists = [&](const std::wstring& p) { return taken.count(p) > 0; };
    EXPECT_EQ(UniqueFolderName(L"C:\\x\\", L"M", exists), L"C:\\x\\M");
    EXPECT_EQ(UniqueFolderName(L"C:\\x\\", L"N", exists), L"C:\\x\\N 4");
}

TEST(FolderPathBarMenus, RootMenuOrder) {
    const std::wstring sep = SeparatorEntry, star = NewFolderEntry;
    EXPECT_EQ(RootMenuEntries({L"C:\\a\\b\\", L"C:\\a\\"}, true, {L"D1", L"D2"}, {L"F"}, {L"C:\\", L"E:\\"}),
              (Strings{L"C:\\a\\b\\", L"C:\\a\\", sep, star, sep, L"D1", L"D2", sep, L"F", sep, L"C:\\", L"E:\\"}));
    // The separators stay even around empty sections.
    EXPECT_EQ(RootMenuEntries({}, false, {L"D1"}, {}, {L"C:\\"}), (Strings{L"D1", sep, sep, L"C:\\"}));
    EXPECT_EQ(SpecialFolderIds(spDesktop | spVideos), (std::vector<int>{CSIDL_DESKTOPDIRECTORY, CSIDL_MYVIDEO}));
    EXPECT_EQ(SpecialFolderIds(0x1F), (std::vector<int>{CSIDL_DESKTOPDIRECTORY, CSIDL_PERSONAL, CSIDL_MYPICTURES,
                                                        CSIDL_MYMUSIC, CSIDL_MYVIDEO}));
}

TEST(FolderPathBarMenus, TypedPathsMustNameTheirDrive) {
    for (const wchar_t* ok : {L"C:\\", L"c:\\Data", L"\\\\srv\\share", L"Z:\\x y\\"})
        EXPECT_TRUE(IsAbsoluteFolderPath(ok)) << ok;
    for (const wchar_t* bad : {L"", L"New Folder", L"C:", L"C:Data", L"\\Data", L"\\\\", L"\\\\\\x", L"1:\\x",
                               L"..\\x"})
        EXPECT_FALSE(IsAbsoluteFolderPath(bad)) << bad;
}

namespace {

class FolderPathBarMenu : public pathbar_test::PathBarTest {
protected:
    FolderPathBarMenu() {
        boxHook_ = std::make_unique<cls::ScopedHook<cls::MessageBoxFunc>>(
            cls::MessageBoxHook, [this](HWND, const std::wstring& text, const std::wstring&, UINT) {
                boxes_.push_back(text);
                return IDOK;
            });
        bar_->OnPathChanged = [this](cls::TComponent*) { ++changes_; };
    }
    // Hovers the arrow after the last part (or the root arrow) and builds
    // its menu as opening it would.
    void BuildMenuOf(bool root) {
        const POINT p = root ? RootPoint() : PartPoint(bar_->Parts().Count() - 1, false);
        Move(p.x, p.y);
        bar_->UpdateView();
        bar_->BuildPopupMenu();
    }
    cls::TMenuItem* Item(int i) { return bar_->FolderMenu()->Items()->Items(i); }
    Strings Lookups() { return bar_->MenuLookup().Lines(); }
    cls::TEdit* Edit() { return bar_->PathEdit(); }
    void EditKey(WORD key) { SendMessageW(Edit()->Handle(), WM_KEYDOWN, key, 1); }
    void Type(const std::wstring& text) { Edit()->SetText(text); }

    std::unique_ptr<cls::ScopedHook<cls::MessageBoxFunc>> boxHook_;
    Strings boxes_;
    int changes_ = 0;
};

}  // namespace

TEST_F(FolderPathBarMenu, SubFolderMenuListsVisibleFoldersInNaturalOrder) {
    const std::wstring dir = Folder(L"list");
    for (const wchar_t* name : {L"a10", L"a2", L"A1", L"R&D"}) Folder(L"list\\" + std::wstring(name));
    Folder(L"list\\secret", FILE_ATTRIBUTE_HIDDEN);
    Folder(L"list\\sys", FILE_ATTRIBUTE_SYSTEM);
    tmp_.Write(L"list\\file.txt", "x");
    bar_->SetPath(dir);
    changes_ = 0;
    BuildMenuOf(false);
    EXPECT_EQ(bar_->PopupPath(), dir);
    EXPECT_EQ(bar_->PopUpX(), bar_->Parts().Count() - 1);
    EXPECT_EQ(Lookups(), (Strings{L"A1", L"a2", L"a10", L"R&D", L"sys"}));
    ASSERT_EQ(bar_->FolderMenu()->Items()->Count(), 5);
    HMENU menu = bar_->FolderMenu()->Handle();
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(Item(i)->Tag, i);
        MENUITEMINFOW mii{sizeof(mii)};
        mii.fMask = MIIM_BITMAP;
        ASSERT_TRUE(GetMenuItemInfoW(menu, i, TRUE, &mii));
        EXPECT_EQ(mii.hbmpItem, HBMMENU_CALLBACK) << "the bar draws the folder's icon";
    }
    // Asked by the menu, the bar measures and draws the item's icon.
    MEASUREITEMSTRUCT mis{ODT_MENU, 0, Item(2)->Command()};
    ASSERT_TRUE(SendMessageW(BarWindow(), WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&mis)));
    EXPECT_EQ(mis.itemWidth, 16u);
    EXPECT_EQ(mis.itemHeight, 16u);
    cls::TBitmap canvas(20, 20);
    canvas.Fill(cls::MakeBGRA(255, 255, 255));
    DRAWITEMSTRUCT dis{ODT_MENU, 0, Item(2)->Command(), ODA_DRAWENTIRE, 0, nullptr, canvas.DC(), {2, 2, 18, 18}, 0};
    ASSERT_TRUE(SendMessageW(BarWindow(), WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&dis)));
    GdiFlush();
    int drawn = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) drawn += (canvas.Pixel(x, y) & 0xFFFFFF) != 0xFFFFFF;
    EXPECT_GT(drawn, 30);
    EXPECT_EQ(canvas.Pixel(0, 0) & 0xFFFFFF, 0xFFFFFFu) << "transparent around the icon";
    EXPECT_EQ(Item(1)->Caption(), DisplayNameOfPath(dir + L"a2"));
    EXPECT_EQ(Item(3)->Caption(), L"R&&D") << "no hot key";
    Item(1)->Click();
    EXPECT_EQ(bar_->Path(), dir + L"a2\\");
    EXPECT_EQ(changes_, 1);
}

TEST_F(FolderPathBarMenu, RootMenuSections) {
    const std::wstring deep = Folder(L"r1\\r2\\r3");
    bar_->SetPath(deep);
    bar_->SetWidth(200);
    bar_->SetFavorites({tmp_.Path()});
    bar_->SetNewFolderName(L"New Folder");
    BuildMenuOf(true);
    const int off = bar_->PathOff();
    ASSERT_GE(off, 3);
    EXPECT_EQ(bar_->PopupPath(), HomeFolderMarker);
    EXPECT_EQ(bar_->PopUpX(), off - 1);
    const Strings got = Lookups();
    Strings expected = HiddenAncestors(bar_->Parts().Lines(), off);
    ASSERT_EQ(expected.size(), size_t(off));
    EXPECT_EQ(expected.front(), CumulativePaths(bar_->Parts().Lines())[off - 1]) << "the deepest hidden level first";
    for (const auto& e : Strings{SeparatorEntry, NewFolderEntry, SeparatorEntry,
                                 AddBackslash(TFolderPathBar::GetSpecialFolderPath(CSIDL_DESKTOPDIRECTORY)),
                                 AddBackslash(TFolderPathBar::GetSpecialFolderPath(CSIDL_PERSONAL)), SeparatorEntry,
                                 tmp_.Path(), SeparatorEntry})
        expected.push_back(e);
    ASSERT_GT(got.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(AddBackslash(got[i]), AddBackslash(expected[i])) << i;
    const Strings drives(got.begin() + expected.size(), got.end());
    EXPECT_EQ(drives.front(), L"C:\\");
    // Captions: the new-folder item by name, separators as lines.
    EXPECT_EQ(Item(off + 1)->Caption(), L"New Folder");
    EXPECT_EQ(bar_->MenuItemImage(off + 1), -1);
    EXPECT_TRUE(Item(off)->IsLine());
    EXPECT_EQ(Item(0)->Caption(), DisplayNameOfPath(expected[0]));

    // A drive goes there; the new-folder item opens the edit box for a name.
    Item(static_cast<int>(expected.size()))->Click();
    EXPECT_EQ(bar_->Path(), L"C:\\");
    bar_->SetPath(deep);
    BuildMenuOf(true);
    Item(bar_->PathOff() + 1)->Click();
    ASSERT_TRUE(bar_->EditMode());
    EXPECT_TRUE(bar_->CreatingFolder());
}

TEST_F(FolderPathBarMenu, TypedPathIsCommittedOrRefused) {
    const std::wstring start = Folder(L"start"), other = Folder(L"other");
    bar_->SetPath(start);
    changes_ = 0;
    bar_->DoEdit(false);
    ASSERT_TRUE(bar_->EditMode());
    EXPECT_EQ(Edit()->Text(), start);
    EXPECT_EQ(GetFocus(), Edit()->Handle());
    EXPECT_EQ(Edit()->SelLength(), int(start.size())) << "the whole path selected";
    EXPECT_EQ(Edit()->Left(), 4);
    EXPECT_EQ(Edit()->Width(), bar_->ClientWidth() - 8);
    EXPECT_EQ(Edit()->Height(), bar_->Font().Size() + 6);
    EXPECT_EQ(Edit()->Top(), (bar_->ClientHeight() - Edit()->Height()) / 2);
    EXPECT_TRUE(bar_->CompletionAttached()) << "the shell completes folder paths";
    Type(other);
    EditKey(VK_RETURN);
    EXPECT_FALSE(bar_->EditMode());
    EXPECT_EQ(bar_->Path(), other);
    EXPECT_EQ(changes_, 1);
    EXPECT_EQ(GetFocus(), BarWindow()) << "the bar takes the focus back";
    PumpFor(10);

    for (const std::wstring& bad : {tmp_.Path() + L"missing", std::wstring(L"start"), std::wstring(L"..")}) {
        bar_->DoEdit(false);
        Type(bad);
        EditKey(VK_RETURN);
        EXPECT_FALSE(bar_->EditMode()) << bad;
        EXPECT_EQ(bar_->Path(), other) << bad;
    }
    EXPECT_EQ(changes_, 1);
    EXPECT_TRUE(boxes_.empty()) << "a refused path is silent";

    bar_->SetAutoComplete(false);
    bar_->DoEdit(false);
    EXPECT_FALSE(bar_->CompletionAttached());
    Type(start);
    EditKey(VK_ESCAPE);
    EXPECT_FALSE(bar_->EditMode());
    EXPECT_EQ(bar_->Path(), other);
}

TEST_F(FolderPathBarMenu, ClickingElsewhereDropsTheText) {
    auto* elsewhere = cls::New<cls::TEdit>(form_.get(), {.Name = L"Elsewhere", .Left = 8, .Top = 45});
    const std::wstring start = Folder(L"keep");
    bar_->SetPath(start);
    bar_->DoEdit(false);
    Type(Folder(L"typed"));
    elsewhere->SetFocus();
    EXPECT_FALSE(bar_->EditMode());
    EXPECT_EQ(bar_->Path(), start);
    EXPECT_EQ(GetFocus(), elsewhere->Handle()) << "the focus stays where it went";
    PumpFor(20);
    EXPECT_EQ(form_->ActiveControl(), elsewhere);
}

TEST_F(FolderPathBarMenu, NewFolderIsCreatedAndEntered) {
    const std::wstring base = Folder(L"nf");
    bar_->SetPath(base);
    bar_->SetNewFolderName(L"New Folder");
    bar_->DoEdit(true);
    ASSERT_TRUE(bar_->EditMode());
    EXPECT_EQ(Edit()->Text(), base + L"New Folder");
    EXPECT_EQ(Edit()->SelStart(), int(base.size())) << "only the name is selected";
    EXPECT_EQ(Edit()->SelLength(), 10);
    EditKey(VK_RETURN);
    EXPECT_TRUE(cls::DirectoryExists(base + L"New Folder"));
    EXPECT_EQ(bar_->Path(), base + L"New Folder\\");
    EXPECT_FALSE(bar_->EditMode());

    bar_->SetPath(base);
    bar_->DoEdit(true);
    EXPECT_EQ(Edit()->Text(), base + L"New Folder 2");
    EditKey(VK_ESCAPE);
    EXPECT_FALSE(cls::DirectoryExists(base + L"New Folder 2")) << "Esc creates nothing";
    EXPECT_EQ(bar_->Path(), base);
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(FolderPathBarMenu, FailedCreationIsReported) {
    const std::wstring base = Folder(L"fail");
    bar_->SetPath(base);
    bar_->DoEdit(true);
    Type(base + L"missing\\child");
    EditKey(VK_RETURN);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0], std::wstring(CreateFolderFailedText) + std::to_wstring(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(bar_->Path(), base) << "the bar stays at its folder";
    EXPECT_FALSE(bar_->EditMode());

    // With OnError assigned it is told instead of the box.
    std::vector<int> errors;
    bar_->OnError = [&](cls::TComponent*, uint8_t e) { errors.push_back(e); };
    bar_->DoEdit(true);
    Type(base + L"missing\\child");
    EditKey(VK_RETURN);
    EXPECT_EQ(errors, std::vector<int>{0});
    EXPECT_EQ(boxes_.size(), 1u);

    // A bare name would land in the current folder: refused, nothing made.
    bar_->OnError = nullptr;
    bar_->DoEdit(true);
    Type(L"Stray Folder");
    EditKey(VK_RETURN);
    ASSERT_EQ(boxes_.size(), 2u);
    EXPECT_EQ(boxes_[1], std::wstring(CreateFolderFailedText) + std::to_wstring(ERROR_BAD_PATHNAME));
    EXPECT_FALSE(cls::DirectoryExists(L"Stray Folder"));
    EXPECT_EQ(bar_->Path(), base);
}

TEST_F(FolderPathBarMenu, BarGoesAwayWhileEditing) {
    bar_->SetPath(Folder(L"gone"));
    bar_->DoEdit(false);
    ASSERT_TRUE(bar_->EditMode());
    // A path change whose handler frees the bar, from inside the box's key.
    const std::wstring target = Folder(L"target");
    bar_->OnPathChanged = [this](cls::TComponent*) { delete bar_; };
    Type(target);
    EditKey(VK_RETURN);
    PumpFor(20);
    bar_ = nullptr;
    EXPECT_EQ(form_->ActiveControl(), nullptr);
}
