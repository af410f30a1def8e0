#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "components/FolderPathBar.h"
#include "components/FolderPathBarShell.h"
#include "tests/components/FolderPathBarTestSupport.h"

using namespace components;
using Strings = std::vector<std::wstring>;

namespace {
class FolderPathBarPath : public pathbar_test::PathBarTest {};
}  // namespace

TEST(FolderPathBarModel, SplitAndJoinPaths) {
    EXPECT_EQ(AddBackslash(L""), L"");
    EXPECT_EQ(AddBackslash(L"C:"), L"C:\\");
    EXPECT_EQ(AddBackslash(L"C:\\"), L"C:\\");
    struct {
        std::wstring path;
        Strings parts;
    } cases[] = {
        {L"C:\\Data\\Docs\\", {L"C:", L"Data", L"Docs"}},
        {L"C:\\", {L"C:"}},
        {L"d:\\a b\\c.d\\", {L"d:", L"a b", L"c.d"}},
        {L"\\\\srv\\share\\dir\\", {L"\\\\srv", L"share", L"dir"}},
        {L"\\\\srv\\share\\", {L"\\\\srv", L"share"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(SplitPathParts(c.path), c.parts);
        // Each level's folder ends in "\"; the deepest is the path itself.
        const Strings folders = CumulativePaths(c.parts);
        EXPECT_EQ(folders.back(), c.path);
        EXPECT_EQ(folders.front(), c.parts.front() + L"\\");
    }
    // Standard shell folders split into their own levels and join back.
    for (int csidl : {CSIDL_PERSONAL, CSIDL_DESKTOPDIRECTORY, CSIDL_MYPICTURES}) {
        const std::wstring path = AddBackslash(TFolderPathBar::GetSpecialFolderPath(csidl));
        ASSERT_GT(path.size(), 3u);
        EXPECT_EQ(CumulativePaths(SplitPathParts(path)).back(), path);
    }
    EXPECT_EQ(TFolderPathBar::GetSpecialFolderPath(0x7F), L"") << "an unknown folder";
    EXPECT_EQ(HiddenAncestors({L"C:", L"a", L"b", L"c"}, 3), (Strings{L"C:\\a\\b\\", L"C:\\a\\", L"C:\\"}));
    EXPECT_TRUE(HiddenAncestors({L"C:", L"a"}, 0).empty());
}

TEST(FolderPathBarModel, Drives) {
    EXPECT_EQ(DriveNumber(L"c:\\"), 2);
    EXPECT_EQ(DriveNumber(L""), -1);
    EXPECT_EQ(ExtractFileDrive(L"C:\\x\\y"), L"C:");
    EXPECT_EQ(ExtractFileDrive(L"\\\\srv\\share\\dir"), L"\\\\srv\\share");
    EXPECT_EQ(LogicalDriveRoots().front(), L"C:\\");
    EXPECT_TRUE(DriveReady(L"C:\\"));
    EXPECT_FALSE(DriveReady(L""));
    EXPECT_FALSE(DriveReady(L"1:\\"));
    EXPECT_TRUE(DriveListed(L"C:\\", true));
}

TEST_F(FolderPathBarPath, StartsAtDocumentsWithTheComputerForTheEmptyPath) {
    TFolderPathBar fresh(nullptr);
    EXPECT_EQ(fresh.Path(), AddBackslash(TFolderPathBar::GetSpecialFolderPath(CSIDL_PERSONAL)));
    EXPECT_NE(fresh.ImageIndex(), -1);
    const ShellItemInfo computer = ComputerFolderInfo();
    ASSERT_TRUE(computer.Ok);
    EXPECT_EQ(fresh.EmptyPathText(), computer.DisplayName);
    EXPECT_EQ(fresh.EmptyPathIcon(), computer.Icon);
    EXPECT_NE(fresh.Images(), nullptr);
}

TEST_F(FolderPathBarPath, SettingAPathFillsPartsCaptionsAndIcon) {
    const std::wstring dir = Folder(L"alpha\\beta");
    int changes = 0;
    bar_->OnPathChanged = [&](cls::TComponent*) { ++changes; };
    bar_->SetPath(dir);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(bar_->Path(), dir);
    EXPECT_EQ(bar_->Parts().Lines(), SplitPathParts(dir));
    ASSERT_EQ(bar_->Captions().Count(), bar_->Parts().Count());
    EXPECT_EQ(bar_->Captions().Lines().back(), L"beta");
    EXPECT_EQ(bar_->Captions()[0], DisplayNameOfPath(L"C:\\")) << "the drive's shell name";
    EXPECT_EQ(bar_->ImageIndex(), FolderIconIndex(dir));
    EXPECT_FALSE(bar_->ShowArrow()) << "beta has no sub-folder";

    // The same folder again changes nothing; without its "\" it is applied again.
    bar_->SetPath(dir);
    EXPECT_EQ(changes, 1);
    bar_->SetPath(dir.substr(0, dir.size() - 1));
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(bar_->Path(), dir);

    bar_->SetPath(L"C:\\");
    EXPECT_EQ(bar_->Parts().Lines(), Strings{L"C:"});
    EXPECT_TRUE(bar_->ShowArrow()) << "C:\\windows is visible";
}

TEST_F(FolderPathBarPath, OnlyVisibleSubFoldersShowTheArrow) {
    Folder(L"h\\secret", FILE_ATTRIBUTE_HIDDEN);
    Folder(L"s\\sys", FILE_ATTRIBUTE_SYSTEM);
    Folder(L"f");
    tmp_.Write(L"f\\file.txt", "x");
    for (const wchar_t* name : {L"h", L"s", L"f"}) {
        bar_->SetPath(tmp_.Path() + name);
        EXPECT_FALSE(bar_->ShowArrow()) << name;
    }
    Folder(L"f\\sub");
    bar_->SetPath(tmp_.Path());
    bar_->SetPath(tmp_.Path() + L"f");
    EXPECT_TRUE(bar_->ShowArrow());
}

TEST_F(FolderPathBarPath, MissingFoldersAreRefusedSilently) {
    const std::wstring dir = Folder(L"here");
    bar_->SetPath(dir);
    int changes = 0;
    bar_->OnPathChanged = [&](cls::TComponent*) { ++changes; };
    for (const std::wstring& bad : {tmp_.Path() + L"not-there", std::wstring(), std::wstring(L"here")})
        bar_->SetPath(bad);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(bar_->Path(), dir);
    EXPECT_EQ(bar_->Parts().Lines(), SplitPathParts(dir));
}

TEST_F(FolderPathBarPath, EmptyPathShowsTheComputerWhenAllowed) {
    bar_->SetDirMustExist(false);
    bar_->SetEmptyPathText(L"Equipo");
    bar_->SetEmptyPathIcon(8);
    int changes = 0;
    bar_->OnPathChanged = [&](cls::TComponent*) { ++changes; };
    bar_->SetPath(L"");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(bar_->Path(), L"");
    // ComputerAsDefault fetches the shell's name again over the stored one.
    const ShellItemInfo computer = ComputerFolderInfo();
    EXPECT_EQ(bar_->Captions().Lines(), Strings{computer.DisplayName});
    EXPECT_EQ(bar_->ImageIndex(), computer.Icon);
    EXPECT_FALSE(bar_->ShowArrow());

    bar_->SetComputerAsDefault(false);
    bar_->SetEmptyPathText(L"Equipo");
    bar_->SetEmptyPathIcon(8);
    bar_->SetPath(L"");
    EXPECT_EQ(bar_->Parts().Lines(), Strings{L"Equipo"});
    EXPECT_EQ(bar_->ImageIndex(), 8);
}

TEST_F(FolderPathBarPath, FormSettingsApplyInDeclarationOrder) {
    const std::wstring dir = Folder(L"stored");
    auto* bar = cls::New<TFolderPathBar>(form_.get(), {.Name = L"Stored", .Top = 40, .Width = 393, .Height = 25},
                                         {.ComputerAsDefault = true, .EmptyPathIcon = 8, .EmptyPathText = L"Equipo",
                                          .Path = dir});
    EXPECT_EQ(bar->EmptyPathText(), L"Equipo") << "stored after the computer's name";
    EXPECT_EQ(bar->EmptyPathIcon(), 8);
    EXPECT_EQ(bar->Path(), dir);
}

TEST_F(FolderPathBarPath, OnlyLookSettersRepaint) {
    components_test::PumpFor(30);
    auto pendingAfter = [&](const std::function<void()>& set) {
        ValidateRect(BarWindow(), nullptr);
        set();
        RECT r;
        return GetUpdateRect(BarWindow(), &r, FALSE) != FALSE;
    };
    EXPECT_FALSE(pendingAfter([&] { bar_->SetSpecialFolders(spMusic); }));
    EXPECT_TRUE(pendingAfter([&] { bar_->SetColorOf(ciBtnPenArrow, cls::clRed); }));
    EXPECT_TRUE(pendingAfter([&] { bar_->SetBorderColor(cls::clBlue); }));
    EXPECT_TRUE(pendingAfter([&] { bar_->SetFramed(false); }));
    EXPECT_TRUE(pendingAfter([&] { bar_->SetTransparent(true); }));
}
