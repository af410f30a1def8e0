#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "classlib/Edit.h"
#include "classlib/Menus.h"
#include "components/FolderPathBar.h"
#include "components/FolderPathBarLayout.h"
#include "tests/components/FolderPathBarTestSupport.h"

using namespace components;
using components_test::PumpFor;
using components_test::PumpUntil;

namespace {

// A menu that records where it was asked to open and runs a check while
// it is "open", instead of tracking a real menu.
class RecordingMenu : public cls::TPopupMenu {
public:
    void Popup(int x, int y) override {
        points.push_back({x, y});
        if (whileOpen) whileOpen();
    }
    std::vector<POINT> points;
    std::function<void()> whileOpen;
};

void CALLBACK CloseMenuTimer(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    EndMenu();
}

class FolderPathBarInput : public pathbar_test::PathBarTest {
protected:
    FolderPathBarInput() {
        leaf_ = Folder(L"one\\two\\three");
        Folder(L"one\\two\\three\\four");
        bar_->SetPath(leaf_);
        bar_->SetWidth(1000);  // room for every part of the temporary path
        count_ = bar_->Parts().Count();
        bar_->SetAuto(false);
        bar_->SetCustomPopupMenu(&menu_);
        bar_->OnPathChanged = [this](cls::TComponent*) { ++changes_; };
    }
    // The folder of part K: the path's first K + 1 levels.
    std::wstring FolderOf(int k) {
        std::wstring p;
        for (int i = 0; i <= k; ++i) p += bar_->Parts()[i] + L"\\";
        return p;
    }
    // Runs the posted reset that follows a menu.
    void LetMenuClose() {
        PumpUntil([&] { return !bar_->MenuOpen(); }, 1000);
        PumpFor(10);
    }

    std::wstring leaf_;
    int count_ = 0;
    int changes_ = 0;
    RecordingMenu menu_;
};

}  // namespace

TEST_F(FolderPathBarInput, PointerMakesPartsHotAndButtonsGoToTheirFolder) {
    const POINT b = PartPoint(count_ - 2, true), a = PartPoint(count_ - 2, false);
    Move(a.x, a.y);
    bar_->UpdateView();
    EXPECT_EQ(bar_->State(), spArrowHot);
    EXPECT_EQ(bar_->HotPos(), count_ - 2);
    EXPECT_EQ(bar_->PopupPath(), FolderOf(count_ - 2));
    POINT expected{Elements()[2 * (count_ - 2) + 2].Right - 22, bar_->ClientHeight() - 1};
    ClientToScreen(BarWindow(), &expected);
    EXPECT_EQ(bar_->PopupPos().x, expected.x) << "under the part, 22 pixels left of the arrow's edge";
    EXPECT_EQ(bar_->PopupPos().y, expected.y);

    bar_->SetClickSetPath(false);
    Press(b.x, b.y);
    EXPECT_EQ(bar_->State(), spButtonPressed);
    Release(b.x, b.y);
    EXPECT_FALSE(bar_->Clicked());
    EXPECT_EQ(changes_, 0) << "only pressed";
    bar_->SetClickSetPath(true);
    Click(b.x, b.y);
    EXPECT_EQ(bar_->Path(), FolderOf(count_ - 2));
    EXPECT_EQ(changes_, 1);
    EXPECT_TRUE(menu_.points.empty());
}

TEST_F(FolderPathBarInput, ArrowOpensItsMenuAndTheResetFollows) {
    const POINT a = PartPoint(count_ - 2, false);
    int leaves = 0, ups = 0;
    bar_->OnMouseLeave = [&](cls::TComponent*) { ++leaves; };
    bar_->OnMouseUp = [&](cls::TComponent*, cls::TMouseButton, cls::TShiftState, int, int) { ++ups; };
    menu_.whileOpen = [&] {
        EXPECT_TRUE(bar_->MenuOpen());
        EXPECT_EQ(bar_->State(), spArrowPressed);
        // Leaving with the pointer or releasing the button changes nothing now.
        bar_->DoMouseLeave();
        bar_->DoMouseUp(cls::mbLeft, 0, a.x, a.y);
        EXPECT_TRUE(bar_->MenuOpen());
        EXPECT_EQ(bar_->HotPos(), count_ - 2);
    };
    Move(a.x, a.y);
    Press(a.x, a.y);
    ASSERT_EQ(menu_.points.size(), 1u);
    EXPECT_EQ(menu_.points[0].x, bar_->PopupPos().x);
    EXPECT_EQ(leaves + ups, 0);
    EXPECT_EQ(bar_->Path(), leaf_) << "an arrow never goes anywhere by itself";
    LetMenuClose();
    EXPECT_FALSE(bar_->Clicked());
    EXPECT_EQ(bar_->HotPos(), -2);
    EXPECT_EQ(bar_->PopupPath(), L"");

    // Without any menu the press still ends in the reset.
    bar_->SetCustomPopupMenu(nullptr);
    Press(a.x, a.y);
    EXPECT_TRUE(bar_->MenuOpen());
    LetMenuClose();
    EXPECT_FALSE(bar_->MenuOpen());
}

TEST_F(FolderPathBarInput, BuiltInMenuIsNotReopenedByTheDismissingPress) {
    bar_->SetAuto(true);
    const POINT a = PartPoint(count_ - 1, false);  // three's arrow: four
    // The real menu is tracked modally; a timer closes it.
    auto closeSoon = [] { SetTimer(nullptr, 0, 150, &CloseMenuTimer); };
    closeSoon();
    Move(a.x, a.y);
    Click(a.x, a.y);
    EXPECT_EQ(bar_->PopUpX(), count_ - 1);
    EXPECT_EQ(bar_->MenuLookup().Lines(), std::vector<std::wstring>{L"four"});
    LetMenuClose();
    // The pointer is still on that arrow: the next press only clears the mark,
    Move(a.x, a.y);
    Click(a.x, a.y);
    EXPECT_EQ(bar_->PopUpX(), -2);
    EXPECT_FALSE(bar_->MenuOpen());
    // and the press after that opens it.
    closeSoon();
    Click(a.x, a.y);
    EXPECT_EQ(bar_->PopUpX(), count_ - 1);
    LetMenuClose();
    bar_->DoMouseEnter();
    EXPECT_EQ(bar_->PopUpX(), -2) << "entering the bar anew clears the mark";
}

TEST_F(FolderPathBarInput, OnlyTheLeftButtonOnTheEmptyAreaEdits) {
    int downs = 0;
    bar_->OnMouseDown = [&](cls::TComponent*, cls::TMouseButton, cls::TShiftState, int, int) { ++downs; };
    Press(PartPoint(count_ - 2, false).x, 12, WM_RBUTTONDOWN);
    Press(900, 12, WM_MBUTTONDOWN);
    EXPECT_TRUE(menu_.points.empty());
    EXPECT_FALSE(bar_->EditMode());
    EXPECT_EQ(downs, 2);
    EXPECT_EQ(bar_->PopupPath(), leaf_) << "nothing highlighted: the bar's own folder";
    bar_->SetAllowEdit(false);
    Click(900, 12);
    EXPECT_FALSE(bar_->EditMode());
    bar_->SetAllowEdit(true);
    Click(900, 12);
    ASSERT_TRUE(bar_->EditMode());
    EXPECT_EQ(bar_->PathEdit()->Text(), leaf_);
    Move(PartPoint(0, true).x, 12);  // ignored in edit mode
    bar_->UpdateView();
    EXPECT_EQ(bar_->State(), spNormal);
}

TEST_F(FolderPathBarInput, KeyboardWalksTheRootArrowAndTheButtons) {
    Key(VK_RIGHT);
    EXPECT_EQ(bar_->HotPos(), -2) << "keyboard navigation is off";
    EXPECT_EQ(SendMessageW(BarWindow(), WM_GETDLGCODE, 0, 0), LRESULT(DLGC_WANTARROWS));
    bar_->SetAllowKeyNav(true);
    // Any key first highlights the root arrow only; Enter there does nothing.
    Key(VK_RETURN);
    EXPECT_TRUE(bar_->KeyNavActive());
    EXPECT_EQ(bar_->HotPos(), -1);
    EXPECT_EQ(bar_->State(), spArrowHot);
    Key(VK_RETURN);
    EXPECT_EQ(bar_->State(), spNormal);
    // Right and Left move over the buttons and wrap through the root arrow.
    const struct {
        WORD key;
        int hot;
    } steps[] = {{VK_RIGHT, 0}, {VK_LEFT, -1}, {VK_LEFT, count_ - 1}, {VK_RIGHT, -1}, {VK_LEFT, count_ - 1},
                 {VK_LEFT, count_ - 2}};
    for (const auto& st : steps) {
        Key(st.key);
        EXPECT_EQ(bar_->HotPos(), st.hot);
        EXPECT_EQ(bar_->State(), st.hot == -1 ? spArrowHot : spButtonHot);
    }
    Key(VK_RETURN);
    EXPECT_EQ(bar_->Path(), FolderOf(count_ - 2));
    EXPECT_EQ(changes_, 1);
}

TEST_F(FolderPathBarInput, KeyboardOpensTheFocusedMenuAndKeepsTheHighlight) {
    bar_->SetAllowKeyNav(true);
    for (WORD k : {VK_HOME, VK_LEFT, VK_LEFT}) Key(k);  // the button before the last
    menu_.whileOpen = [&] {
        EXPECT_EQ(bar_->State(), spButtonPressed);
        EXPECT_EQ(bar_->PopupPath(), FolderOf(count_ - 2));
    };
    Key(VK_DOWN);
    ASSERT_EQ(menu_.points.size(), 1u);
    menu_.whileOpen = nullptr;
    LetMenuClose();
    bar_->UpdateView();
    EXPECT_EQ(bar_->HotPos(), count_ - 2);
    EXPECT_EQ(bar_->State(), spButtonHot) << "still highlighted, no longer pressed";
    // Up on the root arrow opens the root menu.
    Key(VK_RIGHT);
    Key(VK_RIGHT);
    Key(VK_UP);
    ASSERT_EQ(menu_.points.size(), 2u);
    EXPECT_EQ(bar_->PopupPath(), HomeFolderMarker);
    LetMenuClose();
}

TEST_F(FolderPathBarInput, NewFolderOpensItsBoxWhenTheBarHasTheFocus) {
    bar_->SetFocus();  // as after every Enter in its box
    menu_.whileOpen = [&] { bar_->DoEdit(true); };  // the root menu's New Folder item
    const POINT r = RootPoint();
    Move(r.x, r.y);
    Click(r.x, r.y);
    LetMenuClose();
    ASSERT_TRUE(bar_->EditMode());
    EXPECT_TRUE(bar_->CreatingFolder()) << "not the path editor";
    EXPECT_EQ(bar_->PathEdit()->Text(), leaf_ + L"NewFolder");
}

TEST_F(FolderPathBarInput, HiddenPartsAreReachedThroughTheRootArrow) {
    bar_->SetWidth(160);
    const int off = bar_->PathOff();
    ASSERT_GT(off, 0);
    bar_->SetAllowKeyNav(true);
    Key(VK_HOME);
    EXPECT_EQ(bar_->HotPos(), off - 1) << "the root arrow's index";
    Key(VK_RIGHT);
    EXPECT_EQ(bar_->HotPos(), off) << "the first visible button";
    Key(VK_LEFT);
    EXPECT_EQ(bar_->HotPos(), off - 1);
    EXPECT_EQ(bar_->PopupPath(), HomeFolderMarker);
}

TEST_F(FolderPathBarInput, SmallMouseMovesKeepTheKeyboardHighlight) {
    bar_->SetAllowKeyNav(true);
    Key(VK_HOME);
    Key(VK_RIGHT);
    Move(300, 12);  // the first position seen
    Move(305, 7);
    EXPECT_TRUE(bar_->KeyNavActive());
    bar_->UpdateView();
    EXPECT_EQ(bar_->HotPos(), 0);
    Move(306, 12);
    EXPECT_FALSE(bar_->KeyNavActive()) << "six pixels";
    const POINT b = PartPoint(1, true);
    Move(b.x, b.y);  // the following move takes over
    bar_->UpdateView();
    EXPECT_EQ(bar_->HotPos(), 1);
}

TEST_F(FolderPathBarInput, FocusAndPointerLeavingReset) {
    auto* other = cls::New<cls::TEdit>(form_.get(), {.Name = L"Other", .Left = 8, .Top = 45});
    int enters = 0, exits = 0, leaves = 0;
    bar_->OnEnter = [&](cls::TComponent*) { ++enters; };
    bar_->OnExit = [&](cls::TComponent*) { ++exits; };
    bar_->OnMouseLeave = [&](cls::TComponent*) { ++leaves; };
    bar_->SetFocus();
    EXPECT_EQ(bar_->HotPos(), -2) << "no keyboard navigation: nothing highlighted";
    bar_->SetAllowKeyNav(true);
    other->SetFocus();
    bar_->SetFocus();
    EXPECT_EQ(bar_->HotPos(), -1);
    EXPECT_EQ(bar_->State(), spArrowHot);
    other->SetFocus();
    EXPECT_EQ(enters, 2);
    EXPECT_EQ(exits, 2);
    EXPECT_EQ(bar_->HotPos(), -2);
    EXPECT_FALSE(bar_->KeyNavActive());

    Move(PartPoint(0, true).x, 12);
    bar_->UpdateView();
    bar_->DoMouseLeave();
    EXPECT_EQ(leaves, 1);
    EXPECT_EQ(bar_->HotPos(), -2);
    EXPECT_EQ(bar_->State(), spNormal);
}

TEST_F(FolderPathBarInput, KeyboardSurvivesAShorterPath) {
    bar_->SetAllowKeyNav(true);
    Key(VK_HOME);
    Key(VK_LEFT);  // the last of the long path's buttons
    bar_->SetPath(L"C:\\");
    for (WORD key : {VK_LEFT, VK_RETURN, VK_RIGHT, VK_LEFT}) {
        Key(key);
        EXPECT_GE(bar_->HotPos(), -1);
        EXPECT_LT(bar_->HotPos(), bar_->Parts().Count());
    }
}
