#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "classlib/Application.h"
#include "classlib/Forms.h"
#include "classlib/Hooks.h"
#include "classlib/ImgList.h"
#include "classlib/Menus.h"
#include "components/TrayIcon.h"
#include "Pump.h"

using namespace components;
using cls::mbLeft;
using cls::mbRight;
using cls::ssLeft;
using cls::ssRight;
using components_test::PumpFor;
using components_test::PumpUntil;

// The record must line up with the shell's own up to its last field.
static_assert(offsetof(TNotifyIconDataEx, szTip) == offsetof(NOTIFYICONDATAW, szTip));
static_assert(offsetof(TNotifyIconDataEx, szInfo) == offsetof(NOTIFYICONDATAW, szInfo));
static_assert(offsetof(TNotifyIconDataEx, TimeoutOrVersion) == offsetof(NOTIFYICONDATAW, uTimeout));
static_assert(offsetof(TNotifyIconDataEx, szInfoTitle) == offsetof(NOTIFYICONDATAW, szInfoTitle));
static_assert(sizeof(TNotifyIconDataEx) == NOTIFYICONDATAW_V2_SIZE);

namespace {

struct ShellCall {
    DWORD message;
    TNotifyIconDataEx data;
    COLORREF iconColor;  // of the icon sent, read while it was alive
};

// The colour in the middle of an icon.
COLORREF IconColor(HICON icon) {
    if (!icon) return CLR_INVALID;
    cls::MemoryDC dc;
    cls::Bitmap bmp(CreateBitmap(16, 16, 1, 32, nullptr));
    dc.SelectBitmap(bmp.get());
    DrawIconEx(dc.get(), 0, 0, icon, 16, 16, 0, nullptr, DI_NORMAL);
    return GetPixel(dc.get(), 8, 8);
}

// Records every request to the shell and answers with Result.
class TrayIconTest : public ::testing::Test {
protected:
    TrayIconTest()
        : hook_(ShellNotifyIconHook, [this](DWORD message, const TNotifyIconDataEx& data) {
              calls.push_back({message, data, IconColor(data.hIcon)});
              return result;
          }) {}

    std::vector<DWORD> Messages() const {
        std::vector<DWORD> m;
        for (const auto& c : calls) m.push_back(c.message);
        return m;
    }
    // Sends the shell's callback for Icon to the shared window.
    static void Callback(TTrayIcon& icon, UINT event) {
        SendMessageW(icon.Handle(), WM_TRAYNOTIFY, icon.IconID(), event);
    }

    std::vector<ShellCall> calls;
    BOOL result = TRUE;

private:
    cls::ScopedHook<ShellNotifyIconFunc> hook_;
};

struct MouseRecord {
    TMouseButton button;
    TShiftState shift;
    POINT at;
};

POINT CursorNow() {
    POINT p = {};
    GetCursorPos(&p);
    return p;
}

// A pop-up menu that reports where it would open instead of opening.
class RecordingMenu : public cls::TPopupMenu {
public:
    void Popup(int x, int y) override {
        if (OnShow) OnShow(POINT{x, y});
    }
    std::function<void(POINT)> OnShow;
};

}  // namespace

TEST(TrayIconUnit, TaskbarCreatedNeedsCommonControls471) {
    const struct {
        DWORD major, minor;
        bool offered;
    } cases[] = {{4, 70, false}, {4, 71, true}, {4, 72, true}, {3, 99, false},
                 {5, 0, true},   {6, 10, true}, {0, 0, false}};
    for (const auto& c : cases)
        EXPECT_EQ(CommonControlsOfferTaskbarCreated(c.major, c.minor), c.offered) << c.major << "." << c.minor;
    // Every shell Wine ships is new enough.
    EXPECT_EQ(TaskbarCreatedMessage(), RegisterWindowMessageW(L"TaskbarCreated"));
}

TEST_F(TrayIconTest, NewIconCarriesTheShellsRecord) {
    auto icon = std::make_unique<TTrayIcon>();
    EXPECT_TRUE(calls.empty());
    EXPECT_FALSE(icon->IconVisible());
    EXPECT_FALSE(icon->IconAdded());
    ASSERT_NE(SharedTrayIconHandler(), nullptr);
    EXPECT_EQ(icon->Handle(), SharedTrayIconHandler()->Handle());
    EXPECT_TRUE(IsWindow(icon->Handle()));

    icon->SetIconVisible(true);
    ASSERT_EQ(Messages(), (std::vector<DWORD>{NIM_ADD}));
    const TNotifyIconDataEx& d = calls[0].data;
    EXPECT_EQ(d.cbSize, 936u);
    EXPECT_EQ(d.hWnd, icon->Handle());
    EXPECT_EQ(d.uID, static_cast<UINT>(reinterpret_cast<UINT_PTR>(icon.get())));
    EXPECT_EQ(d.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ(d.uCallbackMessage, 0x800u);

    // Freeing the icon takes it out of the tray, and the last one takes
    // the shared window along.
    HWND shared = icon->Handle();
    icon.reset();
    EXPECT_EQ(Messages(), (std::vector<DWORD>{NIM_ADD, NIM_DELETE}));
    EXPECT_EQ(SharedTrayIconHandler(), nullptr);
    EXPECT_FALSE(IsWindow(shared));
}

TEST_F(TrayIconTest, IconAddedFollowsTheShellNotTheRequest) {
    TTrayIcon icon;
    result = FALSE;  // no notification area
    icon.SetIconVisible(true);
    EXPECT_TRUE(icon.IconVisible());
    EXPECT_FALSE(icon.IconAdded());

    result = TRUE;
    icon.SetIconVisible(true);
    EXPECT_TRUE(icon.IconAdded());
    // The shell refuses a second add of the same icon; nothing changes.
    result = FALSE;
    icon.SetIconVisible(true);
    EXPECT_TRUE(icon.IconVisible());
    EXPECT_TRUE(icon.IconAdded());

    icon.SetIconVisible(false);
    EXPECT_FALSE(icon.IconVisible());
    EXPECT_FALSE(icon.IconAdded());
    EXPECT_EQ(Messages(), (std::vector<DWORD>{NIM_ADD, NIM_ADD, NIM_ADD, NIM_DELETE}));
}

TEST_F(TrayIconTest, TooltipIsTheHintCutTo127Characters) {
    TTrayIcon icon;
    std::wstring hint(200, L'h');
    hint[126] = L'x';
    icon.SetHint(hint);
    ASSERT_EQ(Messages(), (std::vector<DWORD>{NIM_MODIFY}));
    const auto& tip = calls.back().data.szTip;
    EXPECT_EQ(std::wstring(tip), hint.substr(0, 127));
    EXPECT_EQ(tip[127], L'\0');

    icon.SetShowHint(false);
    for (wchar_t c : calls.back().data.szTip) ASSERT_EQ(c, L'\0');
    icon.SetShowHint(true);
    EXPECT_EQ(std::wstring(calls.back().data.szTip), hint.substr(0, 127));
    icon.SetHint(L"");
    EXPECT_EQ(calls.back().data.szTip[0], L'\0');
}

TEST_F(TrayIconTest, BalloonHintFieldsAndLimits) {
    TTrayIcon icon;
    std::wstring title(100, L't'), text(300, L'x');
    title[62] = L'T';
    text[254] = L'X';
    EXPECT_TRUE(icon.ShowBalloonHint(title, text, bitWarning, 10));
    // An open balloon is hidden first, then the new one is sent.
    ASSERT_EQ(Messages(), (std::vector<DWORD>{NIM_MODIFY, NIM_MODIFY}));
    const TNotifyIconDataEx& hide = calls[0].data;
    EXPECT_TRUE(hide.uFlags & NIF_INFO);
    EXPECT_EQ(hide.szInfo[0], L'\0');
    const TNotifyIconDataEx& show = calls[1].data;
    EXPECT_EQ(show.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO));
    EXPECT_EQ(std::wstring(show.szInfo), text.substr(0, 255));
    EXPECT_EQ(std::wstring(show.szInfoTitle), title.substr(0, 63));
    EXPECT_EQ(show.TimeoutOrVersion, 10000u);
    EXPECT_EQ(show.dwInfoFlags, static_cast<DWORD>(NIIF_WARNING));
    EXPECT_EQ(icon.IconData().uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));

    const struct {
        TBalloonHintIcon type;
        DWORD flags;
        unsigned secs, timeout;
    } cases[] = {{bitNone, NIIF_NONE, 10, 10000},  {bitInfo, NIIF_INFO, 60, 60000},
                 {bitError, NIIF_ERROR, 5, 10000}, {bitCustom, NIIF_USER, 600, 60000},
                 {bitNone, NIIF_NONE, 25, 25000}};
    for (const auto& c : cases) {
        calls.clear();
        icon.ShowBalloonHint(L"Korvelink", L"short", c.type, c.secs);
        ASSERT_EQ(calls.size(), 2u);
        EXPECT_EQ(calls[1].data.dwInfoFlags, c.flags);
        EXPECT_EQ(calls[1].data.TimeoutOrVersion, c.timeout) << c.secs;
        EXPECT_EQ(std::wstring(calls[1].data.szInfo), L"short");
        EXPECT_EQ(std::wstring(calls[1].data.szInfoTitle), L"Korvelink");
    }
    result = FALSE;
    EXPECT_FALSE(icon.ShowBalloonHint(L"a", L"b", bitInfo, 10));
}

TEST_F(TrayIconTest, ClickWithoutDoubleClickHandlerFiresOnRelease) {
    TTrayIcon icon;
    int clicks = 0;
    std::vector<MouseRecord> downs, ups;
    icon.OnClick = [&](TTrayIcon* s) {
        EXPECT_EQ(s, &icon);
        ++clicks;
    };
    icon.OnMouseDown = [&](TTrayIcon*, TMouseButton b, TShiftState sh, int x, int y) {
        downs.push_back({b, sh, {x, y}});
    };
    icon.OnMouseUp = [&](TTrayIcon*, TMouseButton b, TShiftState sh, int x, int y) {
        ups.push_back({b, sh, {x, y}});
    };
    Callback(icon, WM_LBUTTONDOWN);
    EXPECT_EQ(clicks, 0);
    Callback(icon, WM_LBUTTONUP);
    EXPECT_EQ(clicks, 1);
    ASSERT_EQ(downs.size(), 1u);
    ASSERT_EQ(ups.size(), 1u);
    EXPECT_EQ(downs[0].button, mbLeft);
    EXPECT_TRUE(downs[0].shift & ssLeft);
    POINT p = CursorNow();
    EXPECT_EQ(ups[0].at.x, p.x);
    EXPECT_EQ(ups[0].at.y, p.y);
    // A release without a press is no click.
    Callback(icon, WM_LBUTTONUP);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(ups.size(), 2u);
}

TEST_F(TrayIconTest, DoubleClickSuppressesTheClick) {
    TTrayIcon icon;
    int clicks = 0, dblClicks = 0;
    icon.OnClick = [&](TTrayIcon*) { ++clicks; };
    icon.OnDblClick = [&](TTrayIcon*) { ++dblClicks; };

    // A single click waits for the double-click time to pass.
    DWORD start = GetTickCount();
    Callback(icon, WM_LBUTTONDOWN);
    Callback(icon, WM_LBUTTONUP);
    EXPECT_EQ(clicks, 0);
    ASSERT_TRUE(PumpUntil([&] { return clicks > 0; }));
    EXPECT_GE(GetTickCount() - start + 50, GetDoubleClickTime());
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(dblClicks, 0);

    // The shell sends a double-click in place of the second press.
    Callback(icon, WM_LBUTTONDOWN);
    Callback(icon, WM_LBUTTONUP);
    Callback(icon, WM_LBUTTONDBLCLK);
    Callback(icon, WM_LBUTTONUP);
    EXPECT_EQ(dblClicks, 1);
    PumpFor(GetDoubleClickTime() + 150);
    EXPECT_EQ(clicks, 1);

    // The double-click mark is cleared by the tick: the next click counts.
    Callback(icon, WM_LBUTTONDOWN);
    Callback(icon, WM_LBUTTONUP);
    EXPECT_TRUE(PumpUntil([&] { return clicks == 2; }));
}

TEST_F(TrayIconTest, BalloonEventsIgnoreEnabledMouseEventsDoNot) {
    TTrayIcon icon;
    std::vector<std::string> log;
    icon.OnBalloonHintShow = [&](TTrayIcon*) { log.push_back("show"); };
    icon.OnBalloonHintHide = [&](TTrayIcon*) { log.push_back("hide"); };
    icon.OnBalloonHintTimeout = [&](TTrayIcon*) { log.push_back("timeout"); };
    icon.OnBalloonHintClick = [&](TTrayIcon* s) {
        EXPECT_EQ(s, &icon);
        log.push_back("click");
    };
    icon.OnClick = [&](TTrayIcon*) { log.push_back("icon click"); };
    icon.OnMouseMove = [&](TTrayIcon*, TShiftState, int, int) { log.push_back("move"); };
    icon.SetEnabled(false);
    for (UINT e : {UINT(NIN_BALLOONSHOW), UINT(NIN_BALLOONHIDE), UINT(NIN_BALLOONTIMEOUT),
                   UINT(NIN_BALLOONUSERCLICK), UINT(WM_MOUSEMOVE), UINT(WM_LBUTTONDOWN), UINT(WM_LBUTTONUP)})
        Callback(icon, e);
    EXPECT_EQ(log, (std::vector<std::string>{"show", "hide", "timeout", "click"}));
    log.clear();
    icon.SetEnabled(true);
    for (UINT e : {UINT(WM_MOUSEMOVE), UINT(WM_LBUTTONDOWN), UINT(WM_LBUTTONUP)}) Callback(icon, e);
    EXPECT_EQ(log, (std::vector<std::string>{"move", "icon click"}));
}

TEST_F(TrayIconTest, RightButtonShowsThePopupMenu) {
    TTrayIcon icon;
    std::vector<POINT> popups;
    HWND foregroundAtPopup = nullptr;
    std::vector<MouseRecord> downs, ups;
    icon.OnMouseDown = [&](TTrayIcon*, TMouseButton b, TShiftState sh, int x, int y) {
        downs.push_back({b, sh, {x, y}});
    };
    icon.OnMouseUp = [&](TTrayIcon*, TMouseButton b, TShiftState sh, int x, int y) {
        ups.push_back({b, sh, {x, y}});
    };
    // Without a menu the buttons still report.
    Callback(icon, WM_RBUTTONDOWN);
    Callback(icon, WM_RBUTTONUP);
    EXPECT_EQ(downs.size(), 1u);
    EXPECT_EQ(ups.size(), 1u);

    RecordingMenu menu;
    menu.OnShow = [&](POINT p) {
        popups.push_back(p);
        foregroundAtPopup = GetForegroundWindow();
    };
    icon.SetPopupMenu(&menu);
    MSG stray;
    while (PeekMessageW(&stray, icon.Handle(), WM_NULL, WM_NULL, PM_REMOVE)) {
    }
    Callback(icon, WM_RBUTTONDOWN);
    Callback(icon, WM_RBUTTONUP);
    ASSERT_EQ(popups.size(), 1u);
    POINT p = CursorNow();
    EXPECT_EQ(popups[0].x, p.x);
    EXPECT_EQ(popups[0].y, p.y);
    EXPECT_EQ(foregroundAtPopup, icon.Handle());
    // The null message after the menu lets it close on a click elsewhere.
    MSG m;
    EXPECT_TRUE(PeekMessageW(&m, icon.Handle(), WM_NULL, WM_NULL, PM_REMOVE));
    ASSERT_EQ(downs.size(), 2u);
    ASSERT_EQ(ups.size(), 2u);
    EXPECT_EQ(downs[1].button, mbRight);
    EXPECT_TRUE(downs[1].shift & ssRight);
    EXPECT_EQ(ups[1].button, mbRight);

    // A double-click runs the menu's default command, unless the menu
    // belongs to the left button, which then opens it.
    int defaults = 0;
    cls::NewItem(menu.Items(), {.Caption = L"Show", .Default = true})->OnClick = [&](cls::TComponent*) {
        ++defaults;
    };
    Callback(icon, WM_LBUTTONDOWN);
    Callback(icon, WM_LBUTTONDBLCLK);
    EXPECT_EQ(popups.size(), 1u);
    EXPECT_EQ(defaults, 1);
    icon.LeftPopup = true;
    Callback(icon, WM_LBUTTONDOWN);
    Callback(icon, WM_LBUTTONDBLCLK);
    EXPECT_EQ(popups.size(), 2u);
    EXPECT_EQ(defaults, 1);
}

TEST_F(TrayIconTest, Win2000BehaviourReportsTheContextMenuInstead) {
    TTrayIcon icon;
    icon.SetBehavior(bhWin2000);
    ASSERT_EQ(Messages(), (std::vector<DWORD>{NIM_SETVERSION}));
    EXPECT_EQ(calls[0].data.TimeoutOrVersion, 3u);
    int ups = 0;
    icon.OnMouseUp = [&](TTrayIcon*, TMouseButton b, TShiftState sh, int, int) {
        EXPECT_EQ(b, mbRight);
        EXPECT_TRUE(sh & ssRight);
        ++ups;
    };
    Callback(icon, WM_RBUTTONUP);
    EXPECT_EQ(ups, 0);
    Callback(icon, WM_CONTEXTMENU);
    Callback(icon, NIN_KEYSELECT);
    EXPECT_EQ(ups, 2);
    icon.SetBehavior(bhWin95);
    EXPECT_EQ(calls.back().data.TimeoutOrVersion, 0u);
    Callback(icon, WM_CONTEXTMENU);
    Callback(icon, WM_RBUTTONUP);
    EXPECT_EQ(ups, 3);
}

TEST_F(TrayIconTest, CallbackForAnIconThatIsGoneIsIgnored) {
    TTrayIcon alive;
    int clicks = 0;
    alive.OnClick = [&](TTrayIcon*) { ++clicks; };
    auto gone = std::make_unique<TTrayIcon>();
    UINT staleId = gone->IconID();
    gone.reset();
    int notAnIcon = 0;
    for (WPARAM id : {WPARAM(staleId), reinterpret_cast<WPARAM>(&notAnIcon), WPARAM(0)}) {
        SendMessageW(alive.Handle(), WM_TRAYNOTIFY, id, WM_LBUTTONDOWN);
        SendMessageW(alive.Handle(), WM_TRAYNOTIFY, id, WM_LBUTTONUP);
    }
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(notAnIcon, 0);
    Callback(alive, WM_LBUTTONDOWN);
    Callback(alive, WM_LBUTTONUP);
    EXPECT_EQ(clicks, 1);
    // The shared window refuses to be closed by a stray message.
    EXPECT_EQ(SendMessageW(alive.Handle(), WM_CLOSE, 0, 0), 1);
    EXPECT_TRUE(IsWindow(alive.Handle()));
}

TEST_F(TrayIconTest, TaskbarCreatedAddsVisibleIconsAgain) {
    TTrayIcon shown, hidden;
    shown.SetIconVisible(true);
    ASSERT_TRUE(shown.IconAdded());
    calls.clear();
    // Broadcast as the shell does: the application window hears it.
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(HWND_BROADCAST, TaskbarCreatedMessage(), 0, 0, SMTO_ABORTIFHUNG, 2000, &answer);
    PumpFor(20);
    ASSERT_EQ(Messages(), (std::vector<DWORD>{NIM_ADD}));
    EXPECT_EQ(calls[0].data.uID, shown.IconID());
    EXPECT_TRUE(shown.IconAdded());
    EXPECT_FALSE(hidden.IconAdded());

    // A new shell that refuses the icon leaves it not added.
    result = FALSE;
    SendMessageW(cls::Application.Handle(), TaskbarCreatedMessage(), 0, 0);
    EXPECT_TRUE(shown.IconVisible());
    EXPECT_FALSE(shown.IconAdded());
}

namespace {

// An image list of icons in solid colours.
class ColourIcons {
public:
    explicit ColourIcons(std::vector<COLORREF> colours) {
        for (COLORREF c : colours) {
            HDC screen = GetDC(nullptr);
            cls::Bitmap bmp(CreateCompatibleBitmap(screen, 16, 16));
            ReleaseDC(nullptr, screen);
            {
                cls::MemoryDC dc;
                dc.SelectBitmap(bmp.get());
                cls::Brush brush(CreateSolidBrush(c));
                RECT r = {0, 0, 16, 16};
                FillRect(dc.get(), &r, brush.get());
            }
            list_.AddMasked(bmp.get(), RGB(255, 0, 255));
        }
    }
    cls::TImageList* get() { return &list_; }

private:
    cls::TImageList list_;
};

const COLORREF Red = RGB(255, 0, 0), Green = RGB(0, 255, 0), Blue = RGB(0, 0, 255);

}  // namespace

TEST_F(TrayIconTest, IconIndexIsClampedToTheList) {
    ColourIcons list({Red, Green, Blue});
    TTrayIcon icon;
    icon.SetIconIndex(2);
    EXPECT_EQ(icon.IconIndex(), 0);  // no list yet
    icon.SetIconList(list.get());
    EXPECT_EQ(icon.IconIndex(), 0);
    EXPECT_EQ(IconColor(icon.Icon()), Red);
    icon.SetIconIndex(10);
    EXPECT_EQ(icon.IconIndex(), 2);
    EXPECT_EQ(IconColor(icon.Icon()), Blue);
    EXPECT_EQ(calls.back().message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(calls.back().iconColor, Blue);
}

TEST_F(TrayIconTest, PopupMenuAndImageListAreComponents) {
    TTrayIcon icon;
    auto* menu = new RecordingMenu;
    std::vector<std::wstring> log;
    menu->OnShow = [&](POINT) { log.push_back(menu->PopupComponent == &icon ? L"menu" : L"menu of another"); };
    for (auto [caption, isDefault] : {std::pair{L"A", false}, {L"B", true}, {L"C", true}})
        cls::NewItem(menu->Items(), {.Caption = caption, .Default = isDefault})->OnClick =
            [&, c = caption](cls::TComponent*) { log.push_back(c); };
    icon.OnMouseDown = [&](TTrayIcon*, TMouseButton b, TShiftState, int, int) { log.push_back(b == mbLeft ? L"L" : L"R"); };
    icon.SetPopupMenu(menu);
    const struct {
        bool autoPopup, leftPopup;
        UINT event;
        std::vector<std::wstring> want;
    } cases[] = {
        {true, false, WM_RBUTTONDOWN, {L"R", L"menu"}},  {false, false, WM_RBUTTONDOWN, {L"R"}},
        {true, false, WM_LBUTTONDOWN, {L"L"}},           {true, true, WM_LBUTTONDOWN, {L"L", L"menu"}},
        {false, true, WM_LBUTTONDOWN, {L"L"}},           {true, false, WM_LBUTTONDBLCLK, {L"B"}},  // the first default
        {false, false, WM_LBUTTONDBLCLK, {}},            {true, true, WM_LBUTTONDBLCLK, {}},
    };
    for (const auto& c : cases) {
        log.clear();
        menu->PopupComponent = nullptr;
        menu->AutoPopup = c.autoPopup;
        icon.LeftPopup = c.leftPopup;
        Callback(icon, c.event);
        EXPECT_EQ(log, c.want) << c.autoPopup << c.leftPopup << " " << c.event;
    }

    // Freed, the menu and an image list leave no reference behind, and an
    // icon that went first left no link in them.
    auto* list = new ColourIcons({Red, Green});
    icon.SetIconList(list->get());
    icon.SetIconIndex(1);
    std::make_unique<TTrayIcon>()->SetPopupMenu(menu);
    delete menu;
    delete list;
    EXPECT_EQ(icon.PopupMenu(), nullptr);
    EXPECT_EQ(icon.IconList(), nullptr);
    EXPECT_EQ(icon.IconIndex(), 0);
    log.clear();
    Callback(icon, WM_RBUTTONDOWN);
    Callback(icon, WM_LBUTTONDBLCLK);
    EXPECT_EQ(log, std::vector<std::wstring>{L"R"});
}

TEST_F(TrayIconTest, CyclingStepsThroughTheList) {
    ColourIcons list({Red, Green, Blue});
    TTrayIcon icon;
    icon.SetIconList(list.get());
    std::vector<int> next;
    std::vector<COLORREF> shownAtCycle;
    icon.OnCycle = [&](TTrayIcon* s, int n) {
        next.push_back(n);
        shownAtCycle.push_back(calls.back().iconColor);
    };
    icon.SetCycleInterval(10);
    icon.SetCycleIcons(true);
    ASSERT_TRUE(PumpUntil([&] { return next.size() >= 4; }));
    icon.SetCycleIcons(false);
    size_t stopped = next.size();
    PumpFor(50);
    EXPECT_EQ(next.size(), stopped);
    next.resize(4);
    shownAtCycle.resize(4);
    EXPECT_EQ(next, (std::vector<int>{1, 2, 0, 1}));
    EXPECT_EQ(shownAtCycle, (std::vector<COLORREF>{Red, Green, Blue, Red}));
}

TEST_F(TrayIconTest, EnterAndExitFollowTheCursor) {
    TTrayIcon icon;
    std::vector<std::string> log;
    icon.OnMouseEnter = [&](TTrayIcon*) { log.push_back("enter"); };
    icon.OnMouseExit = [&](TTrayIcon*) { log.push_back("exit"); };
    icon.OnMouseMove = [&](TTrayIcon*, TShiftState, int, int) { log.push_back("move"); };
    ASSERT_TRUE(SetCursorPos(100, 100));
    Callback(icon, WM_MOUSEMOVE);
    EXPECT_EQ(log, (std::vector<std::string>{"move"}));  // not wanted yet

    log.clear();
    icon.SetWantEnterExitEvents(true);
    Callback(icon, WM_MOUSEMOVE);
    Callback(icon, WM_MOUSEMOVE);
    PumpFor(60);  // a cursor standing still is still over the icon
    EXPECT_EQ(log, (std::vector<std::string>{"enter", "move", "move"}));
    ASSERT_TRUE(SetCursorPos(300, 200));
    ASSERT_TRUE(PumpUntil([&] { return log.size() == 4; }));
    EXPECT_EQ(log.back(), "exit");
    PumpFor(60);
    EXPECT_EQ(log.size(), 4u);
    Callback(icon, WM_MOUSEMOVE);
    EXPECT_EQ(log[4], "enter");
}

namespace {

class OwnerForm : public cls::TForm {
public:
    OwnerForm() { CreateHandle({L"TrayIconTestForm"}); }
};

}  // namespace

TEST_F(TrayIconTest, MinimizeToTrayHidesTheMainWindow) {
    OwnerForm form;
    HWND savedMain = cls::Application.MainFormHandle;
    cls::Application.MainFormHandle = form.Handle();
    cls::ScopeExit restore([&] { cls::Application.MainFormHandle = savedMain; });
    form.Show();
    auto* icon = new TTrayIcon(&form);
    int minimized = 0;
    icon->OnMinimizeToTray = [&](TTrayIcon*) { ++minimized; };

    // Without MinimizeToTray the window minimises as usual.
    SendMessageW(form.Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(IsIconic(form.Handle()));
    EXPECT_EQ(minimized, 0);
    ShowWindow(form.Handle(), SW_RESTORE);

    icon->MinimizeToTray = true;
    SendMessageW(form.Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_EQ(minimized, 1);
    EXPECT_FALSE(IsWindowVisible(form.Handle()));
    EXPECT_FALSE(IsIconic(form.Handle()));
    EXPECT_TRUE(icon->IconVisible());
    EXPECT_EQ(Messages(), (std::vector<DWORD>{NIM_ADD}));

    // The owner's window goes before its components; the icon copes.
}

TEST_F(TrayIconTest, MainFormAndTaskbarButton) {
    OwnerForm form;
    HWND savedMain = cls::Application.MainFormHandle, app = cls::Application.Handle();
    cls::Application.MainFormHandle = form.Handle();
    cls::ScopeExit restore([&] {
        cls::Application.MainFormHandle = savedMain;
        cls::Application.ShowMainForm = true;
        ShowWindow(app, SW_HIDE);
    });
    auto* icon = new TTrayIcon(&form);
    TTrayIcon unowned;
    int startups = 0;
    icon->OnStartup = [&](TTrayIcon*, bool& show) { show = !++startups; };
    // An MDI parent is asked once, at the application window's first move.
    CLIENTCREATESTRUCT mdi = {nullptr, 1000};
    cls::Window client(CreateWindowExW(0, L"MDICLIENT", nullptr, WS_CHILD, 0, 0, 9, 9, form.Handle(), nullptr,
                                       GetModuleHandleW(nullptr), &mdi));
    const struct {
        std::function<void()> act;
        bool formShown, appShown;
    } steps[] = {
        {[&] { TTrayIcon::ShowTaskbarIcon(); }, false, false},
        {[&] { form.Show(), TTrayIcon::ShowTaskbarIcon(); }, true, true},
        {[&] { unowned.HideMainForm(); }, true, true},
        {[&] { icon->HideMainForm(); }, false, false},
        {[&] { icon->ShowMainForm(); }, true, false},
        {[&] { ShowWindow(form.Handle(), SW_MINIMIZE), icon->ShowMainForm(); }, true, false},
        {[&] { icon->Loaded(); }, false, false},
        {[&] { SendMessageW(app, WM_SYSCOMMAND, SC_RESTORE, 0), TTrayIcon::HideTaskbarIcon(); }, true, false},
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        steps[i].act();
        EXPECT_EQ(IsWindowVisible(form.Handle()) != FALSE, steps[i].formShown) << i;
        EXPECT_FALSE(IsIconic(form.Handle())) << i;
        EXPECT_EQ(IsWindowVisible(app) != FALSE, steps[i].appShown) << i;
    }
    EXPECT_EQ(startups, 2);
    EXPECT_FALSE(cls::Application.ShowMainForm);
}

// The prefix runs a virtual desktop whose taskbar has a notification area.
TEST(TrayIconShell, RealNotificationArea) {
    ASSERT_FALSE(ShellNotifyIconHook);
    TTrayIcon icon;
    cls::Icon app(CopyIcon(LoadIconW(nullptr, IDI_APPLICATION)));
    icon.SetIcon(app.get());
    icon.SetHint(L"Tray icon test");
    EXPECT_TRUE(icon.AddTrayIcon());
    EXPECT_TRUE(icon.IconAdded());
    EXPECT_FALSE(icon.AddTrayIcon());  // already there
    EXPECT_TRUE(icon.IconAdded());
    EXPECT_TRUE(icon.ModifyTrayIcon());
    EXPECT_TRUE(icon.ShowBalloonHint(L"Title", L"Text", bitInfo, 10));
    EXPECT_TRUE(icon.HideBalloonHint());
    icon.SetIconVisible(false);
    EXPECT_FALSE(icon.IconAdded());
    EXPECT_FALSE(icon.ModifyTrayIcon());  // nothing left to modify
}
