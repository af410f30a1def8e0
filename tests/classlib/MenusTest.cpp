#include <gtest/gtest.h>

#include <string>

#include "FormsTestSupport.h"
#include "classlib/Edit.h"
#include "classlib/Forms.h"
#include "classlib/Menus.h"

using namespace cls;
using namespace formstest;

namespace {

struct ItemState {
    bool found = false;
    std::wstring text;
    UINT state = 0;
    UINT type = 0;
    HMENU subMenu = nullptr;
};

ItemState Read(HMENU menu, UINT item, bool byPosition) {
    ItemState s;
    wchar_t buf[128] = {};
    MENUITEMINFOW mii = {sizeof(mii)};
    mii.fMask = MIIM_STRING | MIIM_STATE | MIIM_FTYPE | MIIM_SUBMENU;
    mii.dwTypeData = buf;
    mii.cch = 128;
    s.found = GetMenuItemInfoW(menu, item, byPosition, &mii) != FALSE;
    s.text = buf;
    s.state = mii.fState;
    s.type = mii.fType;
    s.subMenu = mii.hSubMenu;
    return s;
}

TEST(ShortCutToText, NamesKeysAsMenusShowThem) {
    struct Row {
        TShortCut shortCut;
        const wchar_t* text;
    };
    const Row rows[] = {
        {ShortCut('W', ssCtrl), L"Ctrl+W"},
        {ShortCut(VK_F1, 0), L"F1"},
        {ShortCut(VK_F12, ssShift), L"Shift+F12"},
        {ShortCut(VK_DELETE, ssCtrl | ssAlt), L"Ctrl+Alt+Del"},
        {ShortCut('5', ssShift | ssCtrl), L"Shift+Ctrl+5"},
        {ShortCut(VK_RETURN, 0), L"Enter"},
        {scNone, L""},
    };
    for (const Row& r : rows) EXPECT_EQ(ShortCutToText(r.shortCut), r.text);
    EXPECT_EQ(ShortCut('H', ssCtrl), scCtrl | 'H');
}

class MenusTest : public ::testing::Test {
protected:
    void SetUp() override {
        form = new TForm(nullptr, {.WindowClass = L"TMenuTestForm", .ClientWidth = 300, .ClientHeight = 150});
        edit = New<TEdit>(form, {.Left = 8, .Top = 8});
        menu = new TMainMenu(form);
        file = NewItem(menu->Items(), {.Name = L"MnuArchivo", .Caption = L"&File"});
        exitItem = NewItem(file, {.Name = L"MnuSalir", .Caption = L"Exit", .ShortCut = ShortCut('W', ssCtrl)});
        options = NewItem(menu->Items(), {.Name = L"MnuOpciones", .Caption = L"Options"});
        history = NewItem(options, {.Caption = L"History"});
        clean = NewItem(history, {.Caption = L"Clean...", .ShortCut = ShortCut('H', ssCtrl)});
        NewItem(options, {.Caption = L"-"});
        onTop = NewItem(options, {.Caption = L"Always on Top", .AutoCheck = true});
        about = NewItem(options, {.Caption = L"About...", .ShortCut = ShortCut(VK_F1, 0)});
        form->SetMenu(menu);
    }
    void TearDown() override { delete form; }

    TForm* form;
    TEdit* edit;
    TMainMenu* menu;
    TMenuItem *file, *exitItem, *options, *history, *clean, *onTop, *about;
};

TEST_F(MenusTest, TheMenuBarShowsTheItemsWithTheirShortcuts) {
    HMENU bar = GetMenu(form->Handle());
    ASSERT_EQ(bar, menu->Handle());
    EXPECT_EQ(GetMenuItemCount(bar), 2);
    EXPECT_EQ(Read(bar, 0, true).text, L"&File");
    HMENU fileMenu = Read(bar, 0, true).subMenu;
    ASSERT_NE(fileMenu, nullptr);
    EXPECT_EQ(Read(fileMenu, exitItem->Command(), false).text, L"Exit\tCtrl+W");
    HMENU optionsMenu = Read(bar, 1, true).subMenu;
    EXPECT_EQ(GetMenuItemCount(optionsMenu), 4);
    EXPECT_TRUE(Read(optionsMenu, 1, true).type & MFT_SEPARATOR);
    // The menu bar does not take room from the client area.
    EXPECT_EQ(form->ClientHeight(), 150);
}

TEST_F(MenusTest, StateAndCaptionChangesReachTheSystemMenu) {
    onTop->SetChecked(true);
    EXPECT_TRUE(Read(menu->Handle(), onTop->Command(), false).state & MFS_CHECKED);
    onTop->SetChecked(false);
    EXPECT_FALSE(Read(menu->Handle(), onTop->Command(), false).state & MFS_CHECKED);
    about->SetCaption(L"About Korvelink...");
    EXPECT_EQ(Read(menu->Handle(), about->Command(), false).text, L"About Korvelink...\tF1");
    exitItem->SetEnabled(false);
    EXPECT_TRUE(Read(menu->Handle(), exitItem->Command(), false).state & MFS_GRAYED);
    // A whole menu of the bar greys out too.
    file->SetEnabled(false);
    EXPECT_TRUE(Read(menu->Handle(), 0, true).state & MFS_GRAYED);
    file->SetEnabled(true);
    EXPECT_FALSE(Read(menu->Handle(), 0, true).state & MFS_GRAYED);
    // Hidden items leave the system menu and come back in their place.
    HMENU optionsMenu = options->Handle();
    history->SetVisible(false);
    EXPECT_EQ(GetMenuItemCount(optionsMenu), 3);
    EXPECT_FALSE(Read(menu->Handle(), clean->Command(), false).found);
    history->SetVisible(true);
    EXPECT_EQ(Read(optionsMenu, 0, true).text, L"History");
}

TEST_F(MenusTest, MenuCommandsRunTheItemAndAutoCheckToggles) {
    int clicks = 0;
    onTop->OnClick = [&](TComponent* s) {
        ++clicks;
        EXPECT_EQ(s, onTop);
    };
    SendMessageW(form->Handle(), WM_COMMAND, MAKEWPARAM(onTop->Command(), 0), 0);
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(onTop->Checked());
    SendMessageW(form->Handle(), WM_COMMAND, MAKEWPARAM(onTop->Command(), 0), 0);
    EXPECT_FALSE(onTop->Checked());
}

TEST_F(MenusTest, ShortcutsRunThroughTheMessageLoop) {
    int cleans = 0, abouts = 0;
    std::vector<WORD> editKeys;
    clean->OnClick = [&](TComponent*) { ++cleans; };
    about->OnClick = [&](TComponent*) { ++abouts; };
    edit->OnKeyDown = [&](TComponent*, WORD& key, TShiftState) { editKeys.push_back(key); };
    {
        HeldKeys ctrl{VK_CONTROL};
        PostKey(edit->Handle(), 'H');
        Pump(20);
    }
    EXPECT_EQ(cleans, 1);
    PostKey(edit->Handle(), VK_F1);
    Pump(20);
    EXPECT_EQ(abouts, 1);
    // The shortcut's key does not reach the control; others do.
    PostKey(edit->Handle(), 'H');
    Pump(20);
    EXPECT_EQ(cleans, 1);
    EXPECT_EQ(editKeys, (std::vector<WORD>{'H'}));

    // Disabled items, or items under a disabled menu, are not run: the
    // key goes on to the control.
    options->SetEnabled(false);
    PostKey(edit->Handle(), VK_F1);
    Pump(20);
    EXPECT_EQ(abouts, 1);
    EXPECT_EQ(editKeys.back(), VK_F1);
    options->SetEnabled(true);
    about->SetEnabled(false);
    PostKey(edit->Handle(), VK_F1);
    Pump(20);
    EXPECT_EQ(abouts, 1);
}

TEST_F(MenusTest, FreeingAnItemTakesItOutOfItsMenu) {
    HMENU optionsMenu = options->Handle();
    delete onTop;
    EXPECT_EQ(GetMenuItemCount(optionsMenu), 3);
    EXPECT_EQ(options->Count(), 3);
    delete history;
    EXPECT_EQ(GetMenuItemCount(optionsMenu), 2);
    EXPECT_TRUE(Read(optionsMenu, 0, true).type & MFT_SEPARATOR);
}

TEST(PopupMenu, ShowsAtAPointAndRunsTheChosenItem) {
    TForm form(nullptr, {.WindowClass = L"TPopupTestForm", .ClientWidth = 200, .ClientHeight = 100});
    form.Show();
    SetForegroundWindow(form.Handle());
    TPopupMenu popup(&form);
    TMenuItem* show = NewItem(popup.Items(), {.Caption = L"Show"});
    NewItem(popup.Items(), {.Caption = L"-"});
    TMenuItem* exitItem = NewItem(popup.Items(), {.Caption = L"Exit"});
    int shows = 0, exits = 0, popups = 0;
    show->OnClick = [&](TComponent*) { ++shows; };
    exitItem->OnClick = [&](TComponent*) { ++exits; };
    popup.OnPopup = [&](TComponent*) { ++popups; };
    // The menu's own loop reads these keys: down to the second item, choose.
    PostKey(form.Handle(), VK_DOWN);
    PostKey(form.Handle(), VK_DOWN);
    PostKey(form.Handle(), VK_RETURN);
    POINT p = form.ClientToScreen({20, 20});
    popup.Popup(p.x, p.y);
    EXPECT_EQ(popups, 1);
    EXPECT_EQ(shows, 0);
    EXPECT_EQ(exits, 1);
    form.Hide();
}

}  // namespace
