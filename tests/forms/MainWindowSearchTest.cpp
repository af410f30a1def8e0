// The main window's link road, driven through its link box, buttons and
// drops; searches reach the fake site through the real engine.
#include <windows.h>

#include <string>

#include "MainWindowTestSupport.h"
#include "app/History.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Files.h"
#include "classlib/Label.h"
#include "classlib/Menus.h"
#include "classlib/ScrollBox.h"
#include "classlib/StringList.h"
#include "classlib/Timer.h"
#include "classlib/ToolBar.h"

using namespace app;
using namespace cls;
using namespace mainwin_test;
using formstest::Pump;

namespace {

const std::wstring kEmpty = L"The text field is empty. Please enter a valid Facebook video URL.";
const std::wstring kInvalid = L"Invalid URL format. Please enter a valid Facebook video URL.";
const std::wstring kVideo101 = L"https://www.facebook.com/video.php?v=10150000000101";
const std::wstring kVideo105 = L"https://www.facebook.com/video.php?v=10150000000105";

class MainWindowSearch : public MainWindowTest {
protected:
    void Type(const std::wstring& text) {
        form_->EdtEnlace->SetText(text);
        form_->EdtEnlace->SetFocus();
    }
    // What the user can start while a search runs.
    struct Controls {
        bool edit, history, analyse, account, file, options, help, iconExit;
    };
    Controls ControlStates() const {
        TFrmKorvelink& f = *form_;
        return {f.EdtEnlace->Enabled(), f.BtnHistorial->Enabled(), f.BtnAnalizar->Enabled(),
                f.BtnUsuario->Enabled(), f.MnuArchivo->Enabled(),   f.MnuOpciones->Enabled(),
                f.MnuAyuda->Enabled(),  f.PopItemSalir->Enabled()};
    }
    static bool AllEnabled(const Controls& c) {
        return c.edit && c.history && c.analyse && c.account && c.file && c.options && c.help && c.iconExit;
    }
    static bool NoneEnabled(const Controls& c) {
        return !(c.edit || c.history || c.analyse || c.account || c.file || c.options || c.help || c.iconExit);
    }
};

#define REQUIRE_SITE() \
    if (!SiteRunning()) GTEST_SKIP() << "needs tests/fakesite/run-with-site.sh"

// --- refusals -------------------------------------------------------------------------------------

TEST_F(MainWindowSearch, EmptyOrBlankBoxIsRefused) {
    TTestMainWindow& f = Open();
    for (const wchar_t* text : {L"", L"   \t "}) {
        Type(text);
        PressKey(VK_RETURN);
        EXPECT_EQ(f.LblMensaje->Caption(), kEmpty);
        EXPECT_EQ(f.MessageKind(), MsgError);
        EXPECT_TRUE(f.PnlInfoInicio->Visible());
    }
    EXPECT_TRUE(f.loginWindows.empty());
}

TEST_F(MainWindowSearch, SiteHomeOpensTheLoginWindowInstead) {
    TTestMainWindow& f = Open();
    Type(L"  FaceBook.COM/ ");
    f.BtnAnalizar->Click();
    EXPECT_EQ(f.loginWindows, std::vector<bool>{true});
    EXPECT_EQ(f.EdtEnlace->Text(), L"  FaceBook.COM/ ");
    EXPECT_TRUE(f.PnlInfoInicio->Visible());
    EXPECT_FALSE(f.PnlMsgs->Visible());
    EXPECT_EQ(f.panels, 0);
}

TEST_F(MainWindowSearch, InvalidLinksAreRefusedWithTheTextSelected) {
    TTestMainWindow& f = Open();
    for (const std::wstring text :
         {L"https://www.facebook.com/profile.php?id=4", L"https://www.example.com/video.php?v=1",
          L"https://www.facebook.com/video.php?v=", L"https://www.facebook.com/video.php?v%253d91"}) {
        SCOPED_TRACE(text);
        Type(text);
        PressKey(VK_RETURN);
        EXPECT_EQ(f.LblMensaje->Caption(), kInvalid);
        EXPECT_EQ(f.MessageKind(), MsgError);
        EXPECT_EQ(f.EdtEnlace->Text(), text);
        EXPECT_EQ(f.EdtEnlace->SelStart(), 0);
        EXPECT_EQ(f.EdtEnlace->SelLength(), static_cast<int>(text.size()));
    }
    EXPECT_TRUE(f.PnlInfoInicio->Visible());
    EXPECT_FALSE(f.Searching());
}

// --- searches -----------------------------------------------------------------------------------

TEST_F(MainWindowSearch, ShortDomainInCapitalsIsSearchedUnderItsCanonicalAddress) {
    REQUIRE_SITE();
    TStringList history;
    history.Add(L"222>Other video");
    history.Add(L"10150000000101>Older title");
    ForceDirectories(engine::DataFolder);
    ASSERT_TRUE(history.SaveToFile(HistoryFileName()));
    LoggedInUserId = L"100004000000001";

    TTestMainWindow& f = Open();
    Type(L"HTTPS://WWW.FB.COM/VIDEO.PHP?V=10150000000101");
    PressKey(VK_RETURN);
    WaitForSearch();

    EXPECT_EQ(f.EdtEnlace->Text(), kVideo101);
    ASSERT_EQ(f.panels, 1);
    EXPECT_EQ(f.panelId, L"10150000000101");
    ASSERT_EQ(f.panelLines.size(), 3u);
    EXPECT_NE(f.panelLines[0].find(L"&src=sd&"), std::wstring::npos);
    EXPECT_NE(f.panelLines[1].find(L"&src=hd&"), std::wstring::npos);
    EXPECT_NE(f.panelLines[2].find(L"&src=snapshot&"), std::wstring::npos);
    EXPECT_FALSE(f.panelTitle.empty());
    EXPECT_TRUE(f.HasVideoPanels());
    EXPECT_FALSE(f.PnlInfoInicio->Visible());
    EXPECT_TRUE(f.loginWindows.empty());  // somebody is logged in

    // Found: the message goes, the entry moves up without a new title.
    EXPECT_TRUE(!f.PnlMsgs->Visible() || f.Timer3->Enabled());
    TStringList after;
    ASSERT_TRUE(after.LoadFromFile(HistoryFileName()));
    ASSERT_EQ(after.Count(), 2);
    EXPECT_EQ(after[0], L"10150000000101>Older title");
    EXPECT_TRUE(f.EdtEnlace->Focused());
    EXPECT_EQ(f.EdtEnlace->SelStart(), 0);
    EXPECT_FALSE(SuppressLinkChange);

    // The next search frees the panel first.
    Type(kVideo105);
    PressKey(VK_RETURN);
    WaitForSearch();
    EXPECT_FALSE(f.HasVideoPanels());
}

TEST_F(MainWindowSearch, EverythingIsDisabledWhileTheSearchWaits) {
    REQUIRE_SITE();
    LoggedInUserId = L"100004000000001";
    TTestMainWindow& f = Open();
    Controls during{};
    bool searching = false;
    std::wstring text, message;
    int kind = 0;
    DWORD dropEffect = DROPEFFECT_COPY;
    QueuedCall probe;

    Type(kVideo101);
    formstest::PostKey(f.EdtEnlace->Handle(), VK_RETURN);
    probe.Post([&] {
        searching = f.Searching();
        during = ControlStates();
        text = f.EdtEnlace->Text();
        message = f.LblMensaje->Caption();
        kind = f.MessageKind();
        // Nothing else may start inside the search.
        f.DropURLTarget1Enter(kVideo105, dropEffect);
        f.BtnAnalizarClick(nullptr);
        f.LblTestFBLinkClick(nullptr);
        f.TrayIcon1->OnBalloonHintClick(f.TrayIcon1);
        f.Timer4Timer(f.Timer4);
    });
    // A second Enter reaches the box while the first search waits.
    formstest::PostKey(f.EdtEnlace->Handle(), VK_RETURN);
    Pump(20);
    WaitForSearch();

    ASSERT_TRUE(probe.Ran());
    EXPECT_TRUE(searching);
    EXPECT_TRUE(NoneEnabled(during));
    EXPECT_EQ(text, kVideo101);
    EXPECT_EQ(message, L"Searching videos, please wait...");
    EXPECT_EQ(kind, MsgWorking);
    EXPECT_EQ(dropEffect, static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_TRUE(f.loginWindows.empty());
    EXPECT_TRUE(f.donateModes.empty());
    EXPECT_TRUE(f.Timer4->Enabled());  // the reminder waits for its turn

    EXPECT_EQ(f.panels, 1);
    EXPECT_EQ(f.EdtEnlace->Text(), kVideo101);
    EXPECT_TRUE(AllEnabled(ControlStates()));
}

TEST_F(MainWindowSearch, NoResultsMessageDependsOnTheLogin) {
    REQUIRE_SITE();
    for (bool loggedIn : {false, true}) {
        SCOPED_TRACE(loggedIn);
        LoggedInUserId = loggedIn ? L"100004000000001" : L"";
        TTestMainWindow& f = Open();
        Type(L"https://www.facebook.com/video.php?v=10150000000105&ref=share");
        PressKey(VK_RETURN);
        WaitForSearch();
        EXPECT_EQ(f.LblMensaje->Caption(), NoVideoResultsMessage(loggedIn));
        EXPECT_EQ(f.MessageKind(), MsgError);
        EXPECT_EQ(f.panels, 0);
        EXPECT_EQ(f.EdtEnlace->Text(), kVideo105);
        EXPECT_TRUE(f.EdtEnlace->Enabled());
        EXPECT_TRUE(f.EdtEnlace->Focused());
        EXPECT_EQ(f.EdtEnlace->SelLength(), static_cast<int>(kVideo105.size()));
        EXPECT_TRUE(AllEnabled(ControlStates()));
        EXPECT_FALSE(SuppressLinkChange);
    }
}

TEST_F(MainWindowSearch, FirstSearchOffersTheLoginOnce) {
    REQUIRE_SITE();
    TTestMainWindow& f = Open();
    for (int i = 0; i < 2; ++i) {
        Type(kVideo105);
        PressKey(VK_RETURN);
        WaitForSearch();
        // Closed without logging in, the search still ran.
        EXPECT_EQ(f.LblMensaje->Caption(), NoVideoResultsMessage(false));
    }
    EXPECT_EQ(f.loginWindows, std::vector<bool>{false});
    EXPECT_FALSE(AskLoginBeforeSearch);
}

TEST_F(MainWindowSearch, TheReminderWaitsUntilTheFirstSearchAndItsLoginHaveEnded) {
    REQUIRE_SITE();
    TTestMainWindow& f = Open();
    // A first run: the reminder is armed; the test gives its ticks itself.
    f.Timer4->SetInterval(3600000);
    f.FormActivate(&f);
    ASSERT_TRUE(f.Timer4->Enabled());
    bool busyInLogin = false;
    f.insideLogin = [&] {
        // The login window dispatches what is queued before it disables
        // the main window: the reminder's tick among it.
        busyInLogin = f.Searching();
        f.Timer4Timer(f.Timer4);
    };
    Type(kVideo101);
    PressKey(VK_RETURN);
    WaitForSearch();
    EXPECT_EQ(f.loginWindows, std::vector<bool>{false});
    EXPECT_TRUE(busyInLogin);
    EXPECT_EQ(f.panels, 1);
    EXPECT_TRUE(f.donateModes.empty());
    // Its next tick after the search opens it.
    ASSERT_TRUE(f.Timer4->Enabled());
    f.Timer4Timer(f.Timer4);
    EXPECT_EQ(f.donateModes, std::vector<int>{2});
}

TEST_F(MainWindowSearch, SampleLinkSearchesTheBuiltInVideo) {
    REQUIRE_SITE();
    LoggedInUserId = L"100004000000001";
    TTestMainWindow& f = Open();
    f.LblTestFBLink->DoClick();
    WaitForSearch();
    EXPECT_EQ(f.EdtEnlace->Text(), L"https://www.facebook.com/video.php?v=10200271954219923");
    EXPECT_FALSE(f.PnlInfoInicio->Visible());
    EXPECT_EQ(f.LblMensaje->Caption(), NoVideoResultsMessage(true));
}

// --- drops ---------------------------------------------------------------------------------------

TEST_F(MainWindowSearch, DragsAreRefusedWhenNoSearchCanStart) {
    TTestMainWindow& f = Open();
    auto enter = [&](const std::wstring& url) {
        DWORD effect = DROPEFFECT_COPY | DROPEFFECT_LINK;
        f.DropURLTarget1Enter(url, effect);
        return effect;
    };
    EXPECT_EQ(enter(kVideo101), static_cast<DWORD>(DROPEFFECT_COPY | DROPEFFECT_LINK));
    EXPECT_TRUE(f.DropShowImage());
    EXPECT_EQ(enter(L"https://www.facebook.com/profile.php?id=4"), static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_FALSE(f.DropShowImage());

    f.userIdWindow = true;
    EXPECT_EQ(enter(kVideo101), static_cast<DWORD>(DROPEFFECT_NONE));
    f.userIdWindow = false;
    EnableWindow(f.Handle(), FALSE);  // a modal window is open
    EXPECT_EQ(enter(kVideo101), static_cast<DWORD>(DROPEFFECT_NONE));
    DWORD effect = DROPEFFECT_COPY;
    f.DropURLTarget1Drop(kVideo101, effect);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
    EnableWindow(f.Handle(), TRUE);
    f.BtnAnalizar->SetEnabled(false);
    EXPECT_EQ(enter(kVideo101), static_cast<DWORD>(DROPEFFECT_NONE));
    f.BtnAnalizar->SetEnabled(true);
    Pump(20);
    EXPECT_EQ(f.EdtEnlace->Text(), L"");
}

TEST_F(MainWindowSearch, DroppedLinkIsSearchedAfterTheDropReturns) {
    REQUIRE_SITE();
    LoggedInUserId = L"100004000000001";
    TTestMainWindow& f = Open();
    DWORD effect = DROPEFFECT_COPY;
    f.DropURLTarget1Enter(L"https://www.facebook.com/someone/videos/10150000000101/", effect);
    f.DropURLTarget1Drop(L"https://www.facebook.com/someone/videos/10150000000101/", effect);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_FALSE(f.Searching());
    EXPECT_EQ(f.EdtEnlace->Text(), L"");
    EXPECT_EQ(f.panels, 0);

    Pump(20);
    WaitForSearch();
    EXPECT_EQ(f.EdtEnlace->Text(), kVideo101);
    EXPECT_EQ(f.panels, 1);
}

// --- the link box's own keys ---------------------------------------------------------------------

TEST_F(MainWindowSearch, EscapeClearsTheBoxOrHidesTheDropDown) {
    TTestMainWindow& f = Open();
    Type(L"abc");
    f.ShowHistoryPanel();
    PressKey(VK_ESCAPE);
    EXPECT_FALSE(f.PnlHistorial->Visible());
    EXPECT_EQ(f.EdtEnlace->Text(), L"abc");
    EXPECT_EQ(f.EdtEnlace->SelStart(), 3);
    PressKey(VK_ESCAPE);
    EXPECT_EQ(f.EdtEnlace->Text(), L"");

    for (auto [in, out] : {std::pair<wchar_t, wchar_t>{13, 0}, {27, 0}, {L'a', L'a'}}) {
        wchar_t key = in;
        f.EdtEnlaceKeyPress(f.EdtEnlace, key);
        EXPECT_EQ(key, out);
    }
}

TEST_F(MainWindowSearch, OnlyTypingHidesTheMessage) {
    TTestMainWindow& f = Open();
    f.MostrarPnlMsgs(L"Note", MsgInformation);
    SuppressLinkChange = true;
    f.EdtEnlace->SetText(L"set by code");
    EXPECT_FALSE(f.Timer3->Enabled());
    EXPECT_TRUE(SuppressLinkChange);
    SuppressLinkChange = false;
    f.EdtEnlace->SetText(L"typed");
    EXPECT_TRUE(f.Timer3->Enabled());
}

}  // namespace
