#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "FormsTestSupport.h"
#include "classlib/Application.h"
#include "classlib/Button.h"
#include "classlib/Edit.h"
#include "classlib/Forms.h"
#include "classlib/Hooks.h"

using namespace cls;
using namespace formstest;

namespace {

TFormProps DialogProps() {
    return {.WindowClass = L"TTestDialog",
            .Caption = L"Test",
            .ClientWidth = 300,
            .ClientHeight = 120,
            .BorderStyle = bsDialog,
            .BorderIcons = biSystemMenu,
            .KeyPreview = true};
}

// A small dialog in the style of the program's forms.
class TTestDialog : public TForm {
public:
    explicit TTestDialog(const TFormProps& props = DialogProps()) : TForm(nullptr, props) {
        Edit1 = New<TEdit>(this, {.Name = L"Edit1", .Left = 8, .Top = 8, .Width = 200});
        Edit2 = New<TEdit>(this, {.Name = L"Edit2", .Left = 8, .Top = 36, .Width = 200});
        Edit3 = New<TEdit>(this, {.Name = L"Edit3", .Left = 8, .Top = 64, .Width = 200});
        BtnOk = New<TButton>(this, {.Name = L"BtnOk", .Left = 140, .Top = 90}, {.Caption = L"OK", .ModalResult = mrOk});
        DoCreate();
    }
    ~TTestDialog() override {
        DoDestroy();
        if (destroyedFlag) *destroyedFlag = true;
    }

    TEdit* Edit1;
    TEdit* Edit2;
    TEdit* Edit3;
    TButton* BtnOk;
    bool* destroyedFlag = nullptr;
};

class FormsTest : public ::testing::Test {
protected:
    void SetUp() override { Application.Initialize(); }
    void TearDown() override { Pump(10); }
};

// --- pure helpers ------------------------------------------------------------------

TEST(FormWindowStyles, BorderStyleAndIcons) {
    struct Row {
        TFormBorderStyle border;
        TBorderIcons icons;
        DWORD mustHave, mustNotHave, exMustHave;
    };
    const Row rows[] = {
        {bsSingle, biSystemMenu | biMinimize, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, WS_THICKFRAME | WS_MAXIMIZEBOX, 0},
        {bsSizeable, biSystemMenu | biMinimize | biMaximize, WS_THICKFRAME | WS_MAXIMIZEBOX | WS_MINIMIZEBOX, WS_POPUP, 0},
        // Dialog and tool borders never get minimise or maximise boxes.
        {bsDialog, biSystemMenu | biMinimize | biMaximize, WS_CAPTION | WS_SYSMENU | WS_POPUP,
         WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME, WS_EX_DLGMODALFRAME},
        {bsToolWindow, biSystemMenu | biMaximize, WS_CAPTION | WS_SYSMENU, WS_MAXIMIZEBOX, WS_EX_TOOLWINDOW},
        // Minimise needs the system menu.
        {bsSingle, biMinimize, WS_CAPTION, WS_SYSMENU | WS_MINIMIZEBOX, 0},
        {bsSingle, 0, WS_CAPTION, WS_SYSMENU, 0},
        {bsNone, biSystemMenu, WS_POPUP, WS_CAPTION | WS_SYSMENU, 0},
    };
    for (const Row& r : rows) {
        DWORD style = 0, ex = 0;
        FormWindowStyles(r.border, r.icons, style, ex);
        EXPECT_EQ(style & r.mustHave, r.mustHave) << r.border << "/" << r.icons;
        EXPECT_EQ(style & r.mustNotHave, 0u) << r.border << "/" << r.icons;
        EXPECT_EQ(ex & r.exMustHave, r.exMustHave) << r.border << "/" << r.icons;
    }
}

TEST(CenteredPosition, CentresAndKeepsInsideBounds) {
    struct Row {
        RECT area;
        SIZE size;
        bool bounded;
        POINT expected;
    };
    const RECT bounds = {0, 0, 1280, 994};
    const Row rows[] = {
        {{0, 0, 1280, 1024}, {538, 232}, false, {371, 396}},
        // Odd differences round toward zero, as integer division does.
        {{0, 0, 101, 101}, {50, 50}, false, {25, 25}},
        {{100, 100, 500, 300}, {200, 100}, true, {200, 150}},
        // A window centred on one near the edge stays on the work area.
        {{1200, 900, 1280, 960}, {300, 200}, true, {980, 794}},
        {{-50, -50, 50, 50}, {300, 200}, true, {0, 0}},
    };
    for (const Row& r : rows) {
        POINT p = CenteredPosition(r.area, r.size, r.bounded ? &bounds : nullptr);
        EXPECT_EQ(p.x, r.expected.x);
        EXPECT_EQ(p.y, r.expected.y);
    }
}

// --- creation and geometry -------------------------------------------------------------

TEST_F(FormsTest, MadeWithItsClassCaptionClientSizeAndBorder) {
    TForm form(nullptr, {.WindowClass = L"TGeometryForm",
                         .Caption = L"Geometry",
                         .ClientWidth = 532,
                         .ClientHeight = 203,
                         .BorderStyle = bsSingle,
                         .BorderIcons = biSystemMenu | biMinimize});
    wchar_t cls[64] = {};
    GetClassNameW(form.Handle(), cls, 64);
    EXPECT_STREQ(cls, L"TGeometryForm");
    EXPECT_EQ(form.Caption(), L"Geometry");
    RECT rc;
    GetClientRect(form.Handle(), &rc);
    EXPECT_EQ(rc.right, 532);
    EXPECT_EQ(rc.bottom, 203);
    LONG style = GetWindowLongW(form.Handle(), GWL_STYLE);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_FALSE(IsWindowVisible(form.Handle()));
    EXPECT_EQ(form.Font().Name(), L"Tahoma");
    EXPECT_EQ(form.Font().Height(), -11);
}

TEST_F(FormsTest, BorderChangesKeepTheClientSize) {
    TForm form(nullptr, {.WindowClass = L"TBorderForm", .ClientWidth = 430, .ClientHeight = 181,
                         .BorderStyle = bsDialog, .BorderIcons = 0});
    EXPECT_FALSE(GetWindowLongW(form.Handle(), GWL_STYLE) & WS_SYSMENU);
    form.SetBorderIcons(biSystemMenu);
    EXPECT_TRUE(GetWindowLongW(form.Handle(), GWL_STYLE) & WS_SYSMENU);
    form.SetBorderStyle(bsSizeable);
    EXPECT_TRUE(GetWindowLongW(form.Handle(), GWL_STYLE) & WS_THICKFRAME);
    EXPECT_EQ(form.ClientWidth(), 430);
    EXPECT_EQ(form.ClientHeight(), 181);
    form.SetClientSize(200, 100);
    EXPECT_EQ(form.ClientWidth(), 200);
    EXPECT_EQ(form.ClientHeight(), 100);
}

TEST_F(FormsTest, MainFormCentreAndPopupParent) {
    TForm main(nullptr, {.WindowClass = L"TMainTest", .Left = 100, .Top = 80, .ClientWidth = 500, .ClientHeight = 300});
    ScopeExit restore([saved = Application.MainFormHandle] { Application.MainFormHandle = saved; });
    Application.SetMainForm(&main);
    EXPECT_EQ(Application.MainForm(), &main);
    main.Show();
    TForm dialog(nullptr, {.WindowClass = L"TChildTest", .ClientWidth = 200, .ClientHeight = 100,
                           .Position = poMainFormCenter});
    dialog.SetPopupParent(&main);
    dialog.Show();
    EXPECT_EQ(reinterpret_cast<HWND>(GetWindowLongPtrW(dialog.Handle(), GWLP_HWNDPARENT)), main.Handle());
    EXPECT_EQ(dialog.Left() + dialog.Width() / 2, main.Left() + main.Width() / 2);
    EXPECT_EQ(dialog.Top() + dialog.Height() / 2, main.Top() + main.Height() / 2);
    dialog.Hide();
    main.Hide();
}

TEST_F(FormsTest, PositionAppliesOnFirstShowAndStayOnTopIsTopmost) {
    TForm form(nullptr, {.WindowClass = L"TCentred", .ClientWidth = 200, .ClientHeight = 100,
                         .Position = poScreenCenter, .FormStyle = fsStayOnTop});
    EXPECT_TRUE(GetWindowLongW(form.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    form.Show();
    POINT centred = CenteredPosition({0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)},
                                     {form.Width(), form.Height()});
    EXPECT_EQ(form.Left(), centred.x);
    EXPECT_EQ(form.Top(), centred.y);
    form.Hide();
    form.SetBounds(10, 20, form.Width(), form.Height());
    form.Show();
    EXPECT_EQ(form.Left(), 10);
    EXPECT_EQ(form.Top(), 20);
    form.SetFormStyle(fsNormal);
    EXPECT_FALSE(GetWindowLongW(form.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    form.Hide();
}

// --- modal loop ----------------------------------------------------------------------

TEST_F(FormsTest, ModalFormWithoutPopupParentStaysAboveTheActiveForm) {
    TForm owner(nullptr, {.WindowClass = L"TOwnerForm", .ClientWidth = 200, .ClientHeight = 100});
    owner.Show();
    ASSERT_TRUE(PumpUntil([&] { return GetActiveWindow() == owner.Handle(); }));
    TTestDialog dialog;
    HWND seenOwner = nullptr;
    dialog.OnShow = [&](TComponent*) { PostMessageW(dialog.Handle(), WM_CLOSE, 0, 0); };
    dialog.OnClose = [&](TComponent*, TCloseAction&) { seenOwner = GetWindow(dialog.Handle(), GW_OWNER); };
    dialog.ShowModal();
    EXPECT_EQ(seenOwner, owner.Handle());
    EXPECT_EQ(GetActiveWindow(), owner.Handle());
    owner.Hide();
}

TEST_F(FormsTest, ModalEndsOnModalResultWithOwnerDisabledMeanwhile) {
    TForm owner(nullptr, {.WindowClass = L"TOwnerForm", .ClientWidth = 200, .ClientHeight = 100});
    owner.Show();
    TTestDialog dialog;
    dialog.SetPopupParent(&owner);
    bool ownerEnabledInside = true;
    dialog.OnShow = [&](TComponent*) {
        // The button's click sets the result the loop ends with.
        PostMessageW(dialog.BtnOk->Handle(), BM_CLICK, 0, 0);
    };
    dialog.BtnOk->OnClick = [&](TComponent*) { ownerEnabledInside = IsWindowEnabled(owner.Handle()) != FALSE; };
    EXPECT_EQ(dialog.ShowModal(), mrOk);
    EXPECT_FALSE(ownerEnabledInside);
    EXPECT_TRUE(IsWindowEnabled(owner.Handle()));
    EXPECT_FALSE(IsWindowVisible(dialog.Handle()));
    EXPECT_FALSE(dialog.Modal());
    owner.Hide();
}

TEST_F(FormsTest, ModalEndsWhenTheWindowIsClosed) {
    TTestDialog dialog;
    int closes = 0;
    TCloseAction seen = caNone;
    dialog.OnClose = [&](TComponent*, TCloseAction& action) {
        ++closes;
        seen = action;
    };
    dialog.OnShow = [&](TComponent*) { PostMessageW(dialog.Handle(), WM_CLOSE, 0, 0); };
    EXPECT_EQ(dialog.ShowModal(), mrCancel);
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(seen, caHide);
}

TEST_F(FormsTest, ModalLoopPutsBackAQuitMessageItTookOff) {
    TTestDialog dialog;
    dialog.OnShow = [&](TComponent*) { PostQuitMessage(7); };
    EXPECT_EQ(dialog.ShowModal(), mrCancel);
    EXPECT_FALSE(IsWindowVisible(dialog.Handle()));
    EXPECT_EQ(TakeQuit(), 7);
}

TEST_F(FormsTest, CloseQueryCanRefuseAndOnCloseCanKeepTheForm) {
    TTestDialog dialog;
    int asks = 0;
    dialog.OnCloseQuery = [&](TComponent*, bool& canClose) {
        canClose = ++asks >= 2;
        // Asked again once refused.
        if (!canClose) PostMessageW(dialog.Handle(), WM_CLOSE, 0, 0);
    };
    dialog.OnShow = [&](TComponent*) { PostMessageW(dialog.Handle(), WM_CLOSE, 0, 0); };
    EXPECT_EQ(dialog.ShowModal(), mrCancel);
    EXPECT_EQ(asks, 2);

    // Not modal: a refusal or caNone leaves the form shown.
    TTestDialog plain;
    plain.Show();
    bool allow = false;
    TCloseAction action = caNone;
    plain.OnCloseQuery = [&](TComponent*, bool& canClose) { canClose = allow; };
    plain.OnClose = [&](TComponent*, TCloseAction& a) { a = action; };
    plain.Close();
    EXPECT_TRUE(IsWindowVisible(plain.Handle()));
    allow = true;
    plain.Close();
    EXPECT_TRUE(IsWindowVisible(plain.Handle()));
    action = caHide;
    plain.Close();
    EXPECT_FALSE(IsWindowVisible(plain.Handle()));
}

TEST_F(FormsTest, ReleaseFreesAfterTheCurrentMessage) {
    bool destroyed = false, onDestroy = false;
    auto* dialog = new TTestDialog();
    dialog->destroyedFlag = &destroyed;
    dialog->OnDestroy = [&](TComponent*) { onDestroy = true; };
    dialog->Show();
    dialog->Release();
    EXPECT_FALSE(destroyed);
    EXPECT_TRUE(PumpUntil([&] { return destroyed; }));
    EXPECT_TRUE(onDestroy);
}

TEST_F(FormsTest, CloseActionFreeReleasesTheForm) {
    bool destroyed = false;
    auto* dialog = new TTestDialog();
    dialog->destroyedFlag = &destroyed;
    dialog->OnClose = [](TComponent*, TCloseAction& a) { a = caFree; };
    dialog->Show();
    PostMessageW(dialog->Handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return destroyed; }));
}

// --- keyboard ------------------------------------------------------------------------------

TEST_F(FormsTest, EscClosesADialogThroughKeyPreview) {
    TTestDialog dialog;
    std::vector<std::wstring> order;
    dialog.OnKeyDown = [&](TComponent*, WORD& key, TShiftState) {
        order.push_back(L"form");
        if (key == VK_ESCAPE) dialog.Close();
    };
    dialog.Edit1->OnKeyDown = [&](TComponent*, WORD&, TShiftState) { order.push_back(L"edit"); };
    dialog.OnShow = [&](TComponent*) { PostKey(dialog.Edit1->Handle(), VK_ESCAPE); };
    EXPECT_EQ(dialog.ShowModal(), mrCancel);
    ASSERT_FALSE(order.empty());
    EXPECT_EQ(order.front(), L"form");
}

TEST_F(FormsTest, KeyPreviewRunsFirstAndCanSwallowTheKey) {
    TTestDialog dialog;
    dialog.Show();
    std::vector<std::wstring> order;
    dialog.OnKeyDown = [&](TComponent*, WORD& key, TShiftState) {
        order.push_back(L"form");
        if (key == 'X') key = 0;
    };
    dialog.Edit1->OnKeyDown = [&](TComponent*, WORD&, TShiftState) { order.push_back(L"edit"); };
    dialog.Edit1->OnKeyPress = [&](TComponent*, wchar_t& ch) { order.push_back(L"press"); };
    PostKey(dialog.Edit1->Handle(), 'A');
    Pump(20);
    EXPECT_EQ(order, (std::vector<std::wstring>{L"form", L"edit", L"press"}));
    // A key the form zeroes goes no further down; its character still comes.
    order.clear();
    PostKey(dialog.Edit1->Handle(), 'X');
    Pump(20);
    EXPECT_EQ(order, (std::vector<std::wstring>{L"form", L"press"}));
    dialog.OnKeyPress = [&](TComponent*, wchar_t& ch) {
        if (ch == L'q') ch = 0;
    };
    dialog.Edit1->OnKeyPress = nullptr;
    dialog.Edit1->SetText(L"");
    PostMessageW(dialog.Edit1->Handle(), WM_CHAR, L'q', 1);
    PostMessageW(dialog.Edit1->Handle(), WM_CHAR, L'r', 1);
    Pump(20);
    EXPECT_EQ(dialog.Edit1->Text(), L"r");
    dialog.Edit1->OnKeyPress = [&](TComponent*, wchar_t& ch) { order.push_back(L"press"); };
    // Without key preview the form does not see the control's keys.
    dialog.KeyPreview = false;
    order.clear();
    PostKey(dialog.Edit1->Handle(), 'B');
    Pump(20);
    EXPECT_EQ(order, (std::vector<std::wstring>{L"edit", L"press"}));
    dialog.Hide();
}

TEST_F(FormsTest, EnterClicksTheDefaultButtonAndEscTheCancelButton) {
    TTestDialog dialog;
    auto* cancel = New<TButton>(&dialog, {.Name = L"BtnCancel", .Left = 60, .Top = 90},
                                {.Caption = L"Cancel", .Cancel = true, .ModalResult = mrClose});
    dialog.BtnOk->SetDefault(true);
    dialog.OnShow = [&](TComponent*) { PostKey(dialog.Edit1->Handle(), VK_RETURN); };
    EXPECT_EQ(dialog.ShowModal(), mrOk);
    dialog.OnShow = [&](TComponent*) { PostKey(dialog.Edit1->Handle(), VK_ESCAPE); };
    EXPECT_EQ(dialog.ShowModal(), mrClose);
    // A hidden cancel button does not answer Esc.
    cancel->Hide();
    dialog.KeyPreview = false;
    dialog.OnShow = [&](TComponent*) {
        PostKey(dialog.Edit1->Handle(), VK_ESCAPE);
        PostMessageW(dialog.Handle(), WM_CLOSE, 0, 0);
    };
    EXPECT_EQ(dialog.ShowModal(), mrCancel);
}

TEST_F(FormsTest, TabMovesTheFocusInTabOrder) {
    TTestDialog dialog;
    dialog.Edit2->SetTabOrder(0);  // Edit2, Edit1, Edit3, BtnOk
    dialog.Show();
    SetForegroundWindow(dialog.Handle());
    ASSERT_TRUE(PumpUntil([&] { return dialog.Edit2->Focused(); }));
    PostKey(dialog.Edit2->Handle(), VK_TAB);
    EXPECT_TRUE(PumpUntil([&] { return dialog.Edit1->Focused(); }));
    EXPECT_EQ(dialog.ActiveControl(), dialog.Edit1);
    {
        HeldKeys shift{VK_SHIFT};
        PostKey(dialog.Edit1->Handle(), VK_TAB);
        EXPECT_TRUE(PumpUntil([&] { return dialog.Edit2->Focused(); }));
    }
    // Disabled controls are passed over.
    dialog.Edit1->SetEnabled(false);
    PostKey(dialog.Edit2->Handle(), VK_TAB);
    EXPECT_TRUE(PumpUntil([&] { return dialog.Edit3->Focused(); }));
    dialog.Hide();
}

TEST_F(FormsTest, SetFocusDoesNothingOnHiddenOrDisabledControls) {
    TTestDialog dialog;
    dialog.Edit1->SetFocus();  // the form is not shown yet
    EXPECT_NE(GetFocus(), dialog.Edit1->Handle());
    dialog.Show();
    SetForegroundWindow(dialog.Handle());
    dialog.Edit1->SetFocus();
    ASSERT_TRUE(PumpUntil([&] { return dialog.Edit1->Focused(); }));
    dialog.Edit2->SetEnabled(false);
    EXPECT_FALSE(dialog.Edit2->CanFocus());
    dialog.Edit2->SetFocus();
    dialog.Edit3->Hide();
    EXPECT_FALSE(dialog.Edit3->CanFocus());
    dialog.Edit3->SetFocus();
    EXPECT_TRUE(dialog.Edit1->Focused());
    // Hiding the focused control takes the focus off it.
    dialog.Edit1->Hide();
    EXPECT_NE(GetFocus(), dialog.Edit1->Handle());
    EXPECT_EQ(dialog.ActiveControl(), nullptr);
    dialog.Hide();
}

TEST_F(FormsTest, EnterAndExitFollowTheActiveControl) {
    TTestDialog dialog;
    std::vector<std::wstring> log;
    for (TEdit* e : {dialog.Edit1, dialog.Edit2}) {
        e->OnEnter = [&log](TComponent* s) { log.push_back(L"enter " + s->Name); };
        e->OnExit = [&log](TComponent* s) { log.push_back(L"exit " + s->Name); };
    }
    dialog.Show();
    SetForegroundWindow(dialog.Handle());
    ASSERT_TRUE(PumpUntil([&] { return dialog.Edit1->Focused(); }));
    dialog.Edit2->SetFocus();
    EXPECT_EQ(log, (std::vector<std::wstring>{L"enter Edit1", L"exit Edit1", L"enter Edit2"}));
    dialog.Hide();
}

// --- activation -------------------------------------------------------------------------------

TEST_F(FormsTest, FormAndApplicationActivationEvents) {
    TTestDialog dialog;
    int activated = 0, deactivated = 0, appActivated = 0, appDeactivated = 0;
    dialog.OnActivate = [&](TComponent*) { ++activated; };
    dialog.OnDeactivate = [&](TComponent*) { ++deactivated; };
    ScopedHook<TNotifyEvent> a(Application.OnActivate, [&](TComponent*) { ++appActivated; });
    ScopedHook<TNotifyEvent> d(Application.OnDeactivate, [&](TComponent*) { ++appDeactivated; });
    SendMessageW(dialog.Handle(), WM_ACTIVATEAPP, FALSE, 0);
    int baseDeactivated = appDeactivated;
    SendMessageW(dialog.Handle(), WM_ACTIVATEAPP, TRUE, 0);
    SendMessageW(dialog.Handle(), WM_ACTIVATEAPP, TRUE, 0);  // no change: no second event
    EXPECT_EQ(appActivated, 1);
    EXPECT_TRUE(Application.Active());
    SendMessageW(dialog.Handle(), WM_ACTIVATEAPP, FALSE, 0);
    EXPECT_EQ(appDeactivated, baseDeactivated + 1);
    EXPECT_FALSE(Application.Active());

    dialog.Show();
    EXPECT_TRUE(PumpUntil([&] { return activated >= 1; }));
    TTestDialog other;
    other.Show();
    EXPECT_TRUE(PumpUntil([&] { return deactivated >= 1; }));
    other.Hide();
    dialog.Hide();
}

TEST_F(FormsTest, ApplicationTitleNamesTheApplicationWindow) {
    std::wstring saved = Application.Title();
    Application.SetTitle(L"Korvelink test");
    wchar_t text[64] = {};
    GetWindowTextW(Application.Handle(), text, 64);
    EXPECT_STREQ(text, L"Korvelink test");
    EXPECT_FALSE(IsWindowVisible(Application.Handle()));
    Application.SetTitle(saved);
}

// --- messages ---------------------------------------------------------------------------------

TEST_F(FormsTest, MessageHandlersSeeAnyMessage) {
    TTestDialog dialog;
    int exits = 0;
    dialog.SetMessageHandler(WM_EXITSIZEMOVE, [&](TMessage&) { ++exits; });
    dialog.SetMessageHandler(WM_APP + 5, [&](TMessage& m) {
        m.Result = static_cast<LRESULT>(m.WParam * 2);
        m.Handled = true;
    });
    SendMessageW(dialog.Handle(), WM_EXITSIZEMOVE, 0, 0);
    EXPECT_EQ(exits, 1);
    EXPECT_EQ(SendMessageW(dialog.Handle(), WM_APP + 5, 21, 0), 42);
}

TEST_F(FormsTest, OnCreateRunsAtTheEndOfConstructionAndOnDestroyOnce) {
    class TCreated : public TForm {
    public:
        TCreated(std::vector<std::wstring>& log) : TForm(nullptr, {.WindowClass = L"TCreated"}) {
            OnCreate = [&log, this](TComponent*) { log.push_back(Edit->Name); };
            OnDestroy = [&log](TComponent*) { log.push_back(L"destroy"); };
            Edit = New<TEdit>(this, {.Name = L"EdtCreated"});
            DoCreate();
        }
        TEdit* Edit;
    };
    std::vector<std::wstring> log;
    auto* form = new TCreated(log);
    EXPECT_EQ(log, (std::vector<std::wstring>{L"EdtCreated"}));
    form->Free();
    EXPECT_EQ(log, (std::vector<std::wstring>{L"EdtCreated", L"destroy"}));
}

// An exception out of any handler reaches the class library's dispatch:
// one report with its text, owned by the active window, and the program
// goes on handling messages.
TEST_F(FormsTest, HandlerExceptionsAreReportedOnceAndTheProgramGoesOn) {
    std::vector<std::pair<HWND, std::wstring>> boxes;
    ScopedHook<MessageBoxFunc> hook(MessageBoxHook, [&](HWND owner, const std::wstring& text, const std::wstring&,
                                                        UINT flags) {
        EXPECT_EQ(flags & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
        boxes.emplace_back(owner, text);
        return IDOK;
    });
    TTestDialog dialog;
    dialog.Show();
    ASSERT_TRUE(PumpUntil([&] { return GetActiveWindow() == dialog.Handle(); }));
    const std::pair<std::function<void()>, std::wstring> cases[] = {
        {[] { throw std::runtime_error("Handler failed"); }, L"Handler failed"},
        {[] { throw std::bad_alloc(); }, L"Out of memory"},
        {[] { throw 7; }, L"Unknown exception"},
    };
    for (const auto& [raise, text] : cases) {
        boxes.clear();
        int clicks = 0;
        dialog.BtnOk->OnClick = [&](TComponent*) {
            if (++clicks == 1) raise();
        };
        SendMessageW(dialog.BtnOk->Handle(), BM_CLICK, 0, 0);  // through the form's window procedure
        SendMessageW(dialog.BtnOk->Handle(), BM_CLICK, 0, 0);
        EXPECT_EQ(clicks, 2);
        EXPECT_EQ(boxes, (std::vector<std::pair<HWND, std::wstring>>{{dialog.Handle(), text}}));
    }
    dialog.Hide();
}

}  // namespace
