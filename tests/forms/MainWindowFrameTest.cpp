// The real main window: creation, settings, menus, the notification icon,
// closing, clean-up and the message bar.
#include <windows.h>

#include <string>

#include "MainWindowTestSupport.h"
#include "app/Links.h"
#include "classlib/Dialogs.h"
#include "classlib/ExtCtrls.h"
#include "classlib/ImgList.h"
#include "classlib/Files.h"
#include "classlib/Image.h"
#include "classlib/Label.h"
#include "classlib/ListView.h"
#include "classlib/Menus.h"
#include "classlib/ScrollBox.h"
#include "classlib/SpeedButton.h"
#include "classlib/Strings.h"
#include "classlib/Timer.h"
#include "classlib/ToolBar.h"
#include "app/FolderTree.h"
#include "forms/DownloadState.h"

using namespace app;
using namespace cls;
using namespace mainwin_test;
using formstest::Pump;
using formstest::PumpUntil;

namespace {

POINT Centred(TFrmKorvelink& f) {
    return CenteredWindowPosition(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), f.Width(),
                                  f.Height());
}

// --- creation and settings ------------------------------------------------------------

TEST_F(MainWindowTest, FirstStartIsCentredAndEmptiesThePositionKeys) {
    ASSERT_FALSE(FileExists(ConfigFileName()));
    TTestMainWindow& f = Open();
    POINT c = Centred(f);
    EXPECT_EQ(f.Left(), c.x);
    EXPECT_EQ(f.Top(), c.y);
    EXPECT_FALSE(f.MnuRecordarPosicionVentana->Checked());
    EXPECT_EQ(Config(L"PosicionFormSuperior"), L"");
    EXPECT_EQ(Config(L"PosicionFormIzquierda"), L"");
    EXPECT_EQ(Config(L"PrimeraInstalacion"), std::nullopt);
    EXPECT_TRUE(Balloons().empty());
}

TEST_F(MainWindowTest, RememberedPositionIsRestored) {
    EscribirArchivoConfig(L"PosicionFormRecordar", L"1");
    EscribirArchivoConfig(L"PosicionFormSuperior", L"100");
    EscribirArchivoConfig(L"PosicionFormIzquierda", L"120");
    TTestMainWindow& f = Open();
    EXPECT_EQ(f.Left(), 120);
    EXPECT_EQ(f.Top(), 100);
    EXPECT_TRUE(f.MnuRecordarPosicionVentana->Checked());
    EXPECT_EQ(Config(L"PosicionFormSuperior"), L"100");
}

TEST_F(MainWindowTest, UnusableRememberedPositionIsReplacedByTheCentredOne) {
    const std::pair<const wchar_t*, const wchar_t*> stored[] = {{L"100", L"left"}, {L"-20000", L"-20000"}};
    for (auto [top, left] : stored) {
        SCOPED_TRACE(left);
        EscribirArchivoConfig(L"PosicionFormRecordar", L"1");
        EscribirArchivoConfig(L"PosicionFormSuperior", top);
        EscribirArchivoConfig(L"PosicionFormIzquierda", left);
        TTestMainWindow& f = Open();
        POINT c = Centred(f);
        EXPECT_EQ(f.Left(), c.x);
        EXPECT_EQ(f.Top(), c.y);
        EXPECT_EQ(Config(L"PosicionFormSuperior"), IntToStr(c.y));
        EXPECT_EQ(Config(L"PosicionFormIzquierda"), IntToStr(c.x));
    }
}

TEST_F(MainWindowTest, SettingsOfOtherWindowsAreReadAtStart) {
    ForceDirectories(tmp_.Path() + L"Videos");
    EscribirArchivoConfig(L"CarpetaDestino", tmp_.Path() + L"Videos\\");
    EscribirArchivoConfig(L"MotorBusqueda", L"200");
    EscribirArchivoConfig(L"TipoBusqueda", L"2");
    EscribirArchivoConfig(L"NoCerrarFormBuscarLinks", L"1");
    SearchEngineIndex = 5;
    KeepSearchFormOpen = false;
    Open();
    EXPECT_EQ(DownloadFolder, tmp_.Path() + L"Videos");
    EXPECT_EQ(SearchEngineIndex, 1);
    EXPECT_EQ(SearchKind, 2);
    EXPECT_TRUE(KeepSearchFormOpen);

    // Values it does not take leave the keep-open flag as it was.
    EscribirArchivoConfig(L"NoCerrarFormBuscarLinks", L"yes");
    EscribirArchivoConfig(L"MotorBusqueda", L"12");
    Open();
    EXPECT_TRUE(KeepSearchFormOpen);
    EXPECT_EQ(SearchEngineIndex, 12);
}

TEST_F(MainWindowTest, MissingDownloadFolderBecomesKorvelinkInDocuments) {
    EscribirArchivoConfig(L"CarpetaDestino", tmp_.Path() + L"Gone");
    Open();
    EXPECT_EQ(DownloadFolder, engine::DocumentsFolder + L"Korvelink\\");
    EXPECT_TRUE(DirectoryExists(DownloadFolder));
}

TEST_F(MainWindowTest, WelcomeBalloonOnFirstRunOnly) {
    EscribirArchivoConfig(L"PrimeraInstalacion", L"1");
    Open();
    auto balloons = Balloons();
    ASSERT_EQ(balloons.size(), 1u);
    EXPECT_STREQ(balloons[0].szInfoTitle, L"Welcome to Korvelink!");
    EXPECT_STREQ(balloons[0].szInfo,
                 L"This is the first time you run the program. Click here to log in with your Facebook account...");
    EXPECT_EQ(balloons[0].dwInfoFlags, static_cast<DWORD>(components::bitNone));
    EXPECT_EQ(balloons[0].TimeoutOrVersion, 10000u);
    EXPECT_EQ(Config(L"PrimeraInstalacion"), L"0");

    shell_.clear();
    Open();
    EXPECT_TRUE(Balloons().empty());
}

TEST_F(MainWindowTest, AlwaysOnTopFromSettingsAndMenu) {
    auto topmost = [&] { return (GetWindowLongW(form_->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; };
    EscribirArchivoConfig(L"SiempreVisible", L"1");
    TTestMainWindow& f = Open();
    EXPECT_TRUE(f.MnuSiempreVisible->Checked());
    EXPECT_TRUE(topmost());

    f.MnuSiempreVisible->Click();  // a check item: the click unticks it
    EXPECT_FALSE(f.MnuSiempreVisible->Checked());
    EXPECT_FALSE(topmost());
    EXPECT_EQ(Config(L"SiempreVisible"), L"0");
    f.MnuSiempreVisible->Click();
    EXPECT_TRUE(topmost());
    EXPECT_EQ(Config(L"SiempreVisible"), L"1");
}

TEST_F(MainWindowTest, PositionMemoryFollowsTheMenuItemAndMoves) {
    TTestMainWindow& f = Open();
    f.SetBounds(140, 90, f.Width(), f.Height());
    f.MnuRecordarPosicionVentana->Click();
    EXPECT_EQ(Config(L"PosicionFormRecordar"), L"1");
    EXPECT_EQ(Config(L"PosicionFormSuperior"), L"90");
    EXPECT_EQ(Config(L"PosicionFormIzquierda"), L"140");

    // The end of a move stores the new place.
    SetWindowPos(f.Handle(), nullptr, 150, 95, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(f.Handle(), WM_EXITSIZEMOVE, 0, 0);
    EXPECT_EQ(Config(L"PosicionFormSuperior"), L"95");
    EXPECT_EQ(Config(L"PosicionFormIzquierda"), L"150");

    f.MnuRecordarPosicionVentana->Click();
    EXPECT_EQ(Config(L"PosicionFormRecordar"), L"0");
    EXPECT_EQ(Config(L"PosicionFormSuperior"), L"");
    SendMessageW(f.Handle(), WM_EXITSIZEMOVE, 0, 0);
    EXPECT_EQ(Config(L"PosicionFormIzquierda"), L"");
}

TEST_F(MainWindowTest, CreationLaysOutTheWindow) {
    DownloadFormExists = DownloadRunning = true;
    DownloadFormLeft = DownloadFormTop = 7;
    TTestMainWindow& f = Open();
    EXPECT_EQ(f.Caption(), L"Korvelink");
    EXPECT_EQ(Application.Title(), L"Korvelink");
    EXPECT_EQ(f.TrayIcon1->Hint(), L"Korvelink");
    EXPECT_TRUE(f.TrayIcon1->IconVisible());
    EXPECT_EQ(f.ClientWidth(), 532);
    EXPECT_EQ(f.ClientHeight(), 203);
    DWORD style = GetWindowLongW(f.Handle(), GWL_STYLE);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & (WS_MAXIMIZEBOX | WS_THICKFRAME));

    EXPECT_EQ(f.EdtEnlace->Width(), 423);
    EXPECT_EQ(f.EdtEnlace->TextHint(), L"Type or paste here a Facebook public video URL.");
    EXPECT_EQ(f.BtnHistorial->Hint(), L"Show History");
    EXPECT_EQ(f.BtnAnalizar->Hint(), L"Scan...");
    EXPECT_EQ(f.BtnUsuario->Hint(), L"Click here to log into Facebook...");
    EXPECT_EQ(f.ImageList1->Count(), 3);

    // The drop-down hangs under the link box, as wide as it.
    EXPECT_FALSE(f.PnlHistorial->Visible());
    EXPECT_EQ(f.PnlHistorial->Width(), f.EdtEnlace->Width());
    EXPECT_EQ(f.PnlHistorial->Left(), f.CoolBar1->Left() + f.ToolBar1->Left() + f.EdtEnlace->Left());
    EXPECT_EQ(f.PnlHistorial->Top(), f.ToolBar1->Top() + f.EdtEnlace->Top() + f.EdtEnlace->Height() - 1);
    EXPECT_EQ(f.BtnOcultar->Left(), f.PnlHistorial->Width() - f.BtnOcultar->Width() - 4);
    EXPECT_EQ(f.LblLimpiarHistorial->Caption(), L"Clean History...");
    EXPECT_EQ(f.LblLimpiarHistorial->Left(), 532 - 225);

    // The message bar waits hidden just below the client area.
    EXPECT_FALSE(f.PnlMsgs->Visible());
    EXPECT_EQ(f.PnlMsgs->Top(), 203);
    EXPECT_EQ(f.PnlMsgs->Width(), 532);
    EXPECT_EQ(f.BtnOcultar2->Left(), 532 - 16 - 1);
    EXPECT_EQ(f.LblMensaje->Width(), f.BtnOcultar2->Left() - 33 - 4);
    EXPECT_FALSE(f.ImgThumbDefault->Visible());
    EXPECT_EQ(f.ImgThumbDefault->Picture().Width(), 174);

    EXPECT_TRUE(f.PnlInfoInicio->Visible());
    EXPECT_EQ(f.PnlInfoInicio->BevelOuter(), bvNone);
    EXPECT_EQ(f.Label2->Caption(),
              L"Paste a Facebook video link in the text bar above or drag and drop the link from your web browser "
              L"to this window.");
    EXPECT_EQ(f.LblTestFBLink->Caption(), L"Test a link now!");

    EXPECT_FALSE(DownloadFormExists);
    EXPECT_FALSE(DownloadRunning);
    EXPECT_EQ(DownloadFormLeft, -1);
    EXPECT_EQ(DownloadFormTop, -1);
    EXPECT_EQ(f.SaveDialog1->InitialDir, engine::DocumentsFolder);
    EXPECT_EQ(f.OpenDialog1->InitialDir, engine::DocumentsFolder);
}

TEST_F(MainWindowTest, MenusHaveTheirCaptionsAndShortcuts) {
    TTestMainWindow& f = Open();
    struct Row {
        TMenuItem* item;
        const wchar_t* caption;
        const wchar_t* shortcut;
    };
    const Row rows[] = {
        {f.MnuArchivo, L"File", L""},
        {f.MnuSalir, L"Exit", L"Ctrl+W"},
        {f.MnuOpciones, L"Options", L""},
        {f.MnuLogin, L"Facebook Account...", L"Ctrl+F"},
        {f.ools1, L"Facebook Tools", L""},
        {f.SearchPublicVideoLinks1, L"Search Facebook Video Links...", L"Ctrl+S"},
        {f.FindFacebookUserID1, L"Find Facebook User ID...", L"Ctrl+U"},
        {f.N6, L"-", L""},
        {f.MnuSelDestFolder, L"Download Folder...", L"Ctrl+D"},
        {f.MnuHistorial, L"History", L""},
        {f.MnuLimpiarHistorial, L"Clean...", L""},
        {f.MnuRespaldarHistorial, L"Backup...", L""},
        {f.MnuImportarHistorial, L"Import...", L""},
        {f.N3, L"-", L""},
        {f.MnuSiempreVisible, L"Always on Top", L""},
        {f.MnuRecordarPosicionVentana, L"Remember Current Window Position", L""},
        {f.MnuAyuda, L"Help", L""},
        {f.DownloadRecommendedTools1, L"Download Recommended Tools", L""},
        {f.GoogleChromeWebBrowser1, L"Google Chrome Web Browser", L""},
        {f.KLiteCodecPack1, L"K-Lite Codec Pack", L""},
        {f.N1, L"-", L""},
        {f.MnuCheckUpdates, L"Check for Updates...", L""},
        {f.MnuFacebook2, L"Facebook", L""},
        {f.MnuSitioOficial, L"Homepage", L""},
        {f.N7, L"-", L""},
        {f.MnuDonar, L"Donate...", L""},
        {f.MnuAcercaDe, L"About Korvelink...", L"F1"},
        {f.PopItemMostrarAplicacion, L"Show", L""},
        {f.N8, L"-", L""},
        {f.PopItemSalir, L"Exit", L""},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(r.item->Caption(), r.caption);
        EXPECT_EQ(ShortCutToText(r.item->ShortCut()), r.shortcut) << r.caption;
    }
    // The order of the menus.
    TMenuItem* root = f.MainMenu1->Items();
    ASSERT_EQ(root->Count(), 3);
    EXPECT_EQ(root->Items(1), f.MnuOpciones);
    EXPECT_EQ(f.MnuOpciones->IndexOf(f.MnuRecordarPosicionVentana), f.MnuOpciones->Count() - 1);
    EXPECT_EQ(f.MnuAyuda->IndexOf(f.MnuAcercaDe), f.MnuAyuda->Count() - 1);
    EXPECT_TRUE(f.MnuSiempreVisible->AutoCheck);
    EXPECT_TRUE(f.MnuRecordarPosicionVentana->AutoCheck);
}

TEST_F(MainWindowTest, MenuCommandsOpenTheirWindows) {
    TTestMainWindow& f = Open();
    f.MostrarPnlMsgs(L"Old news", MsgInformation);
    f.FindFacebookUserID1->Click();
    EXPECT_TRUE(f.Timer3->Enabled());  // the message bar goes first
    f.MnuSelDestFolder->Click();
    f.MnuCheckUpdates->Click();
    f.MnuAcercaDe->Click();
    f.MnuLimpiarHistorial->Click();
    EXPECT_EQ(f.opened, (std::vector<std::wstring>{L"FindUserId", L"DestinationFolder", L"Updater", L"About",
                                                   L"CleanHistory"}));
    f.MnuLogin->Click();
    f.BtnUsuario->Click();
    EXPECT_EQ(f.loginWindows, (std::vector<bool>{true, true}));
    f.SearchPublicVideoLinks1->Click();
    EXPECT_EQ(f.searchWindowShown, 1);
    f.MnuDonar->Click();
    EXPECT_EQ(f.donateModes, std::vector<int>{1});
}

TEST_F(MainWindowTest, HelpMenuOpensItsAddresses) {
    TTestMainWindow& f = Open();
    f.GoogleChromeWebBrowser1->Click();
    f.KLiteCodecPack1->Click();
    f.MnuFacebook2->Click();
    f.MnuSitioOficial->Click();
    ASSERT_EQ(launches_.size(), 4u);
    const wchar_t* expected[] = {BrowserDownloadLink, CodecPackDownloadLink, SocialPageLink, HomePageLink};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(launches_[i].verb, L"Open");
        EXPECT_EQ(launches_[i].file, expected[i]);
        EXPECT_EQ(launches_[i].show, SW_SHOW);
        EXPECT_TRUE(StartsWith(launches_[i].file, L"https://korvelink.example/"));
    }
}

// --- the notification icon and closing -----------------------------------------------------

TEST_F(MainWindowTest, CloseButtonHidesToTheNotificationArea) {
    TTestMainWindow& f = Open();
    f.EdtEnlace->SetText(L"abc");
    // A click on the icon or its "Show" brings it back, ready for typing
    // over the link box's text; also while another window of the program
    // stayed open, which keeps the program active meanwhile.
    const struct {
        TMenuItem* show;
        bool otherWindow;
    } rounds[] = {{nullptr, false}, {f.PopItemMostrarAplicacion, false}, {nullptr, true}};
    for (const auto& [show, otherWindow] : rounds) {
        SCOPED_TRACE(std::string(show ? "Show" : "icon") + (otherWindow ? ", other window open" : ""));
        TForm other;
        if (otherWindow) other.Show();
        f.Show();
        f.ScllVideos->SetFocus();
        SendMessageW(f.Handle(), WM_CLOSE, 0, 0);
        Pump(20);
        EXPECT_FALSE(IsWindowVisible(f.Handle()));
        EXPECT_EQ(formstest::TakeQuit(), -1);
        EXPECT_TRUE(f.TrayIcon1->IconVisible());
        if (otherWindow) EXPECT_TRUE(Application.Active());

        if (show)
            show->Click();
        else
            f.TrayIcon1->OnClick(f.TrayIcon1);
        Pump(20);
        EXPECT_TRUE(IsWindowVisible(f.Handle()));
        EXPECT_EQ(f.WindowState(), wsNormal);
        EXPECT_EQ(GetForegroundWindow(), f.Handle());
        EXPECT_TRUE(f.EdtEnlace->Focused());
        EXPECT_EQ(f.EdtEnlace->SelLength(), 3);
    }
}

TEST_F(MainWindowTest, ExitRemovesTheIconAndEndsTheProgram) {
    for (bool fromIcon : {false, true}) {
        TTestMainWindow& f = Open();
        shell_.clear();
        if (fromIcon)
            f.PopItemSalir->Click();
        else
            f.MnuSalir->Click();
        ASSERT_FALSE(shell_.empty());
        EXPECT_EQ(shell_.front().message, static_cast<DWORD>(NIM_DELETE));
        EXPECT_FALSE(f.TrayIcon1->IconVisible());
        Pump(10);
        EXPECT_EQ(formstest::TakeQuit(), 0) << fromIcon;
    }
}

TEST_F(MainWindowTest, EndOfSessionIsNeverRefused) {
    TTestMainWindow& f = Open();
    EXPECT_NE(SendMessageW(f.Handle(), WM_QUERYENDSESSION, 0, 0), 0);
    EXPECT_TRUE(IsWindowVisible(f.Handle()));
}

TEST_F(MainWindowTest, BalloonClickOpensLoginOnlyWhenNothingElseRuns) {
    TTestMainWindow& f = Open();
    // A modal window disables the main window.
    EnableWindow(f.Handle(), FALSE);
    f.TrayIcon1->OnBalloonHintClick(f.TrayIcon1);
    EXPECT_TRUE(f.loginWindows.empty());
    EnableWindow(f.Handle(), TRUE);
    f.TrayIcon1->OnBalloonHintClick(f.TrayIcon1);
    EXPECT_EQ(f.loginWindows, std::vector<bool>{true});
}

TEST_F(MainWindowTest, DonationReminder) {
    TTestMainWindow& f = Open();
    f.donateAnswer = true;
    f.Timer4->SetEnabled(false);  // armed by the window's own activation
    f.FormActivate(&f);
    EXPECT_TRUE(f.Timer4->Enabled());
    EXPECT_EQ(f.Timer4->Interval(), 2000u);

    // Not inside a modal window: it waits for the next turn.
    EnableWindow(f.Handle(), FALSE);
    f.Timer4Timer(f.Timer4);
    EXPECT_TRUE(f.donateModes.empty());
    EXPECT_TRUE(f.Timer4->Enabled());
    EnableWindow(f.Handle(), TRUE);
    f.Timer4Timer(f.Timer4);
    EXPECT_EQ(f.donateModes, std::vector<int>{2});
    EXPECT_FALSE(f.Timer4->Enabled());
    EXPECT_EQ(Config(L"NoMostrarMsgDonar"), L"1");

    // Once a Donate window was made, activations arm nothing.
    EscribirArchivoConfig(L"NoMostrarMsgDonar", L"0");
    f.FormActivate(&f);
    EXPECT_FALSE(f.Timer4->Enabled());
}

TEST_F(MainWindowTest, DonateFromTheMenuEndsTheReminder) {
    TTestMainWindow& f = Open();
    f.MnuDonar->Click();
    EXPECT_EQ(Config(L"NoMostrarMsgDonar"), std::nullopt);  // no check box in menu mode
    f.Timer4->SetEnabled(false);
    f.FormActivate(&f);
    EXPECT_FALSE(f.Timer4->Enabled());
    f.Timer4Timer(f.Timer4);
    EXPECT_EQ(f.donateModes, std::vector<int>{1});

    EscribirArchivoConfig(L"NoMostrarMsgDonar", L"1");
    TTestMainWindow& g = Open();
    g.FormActivate(&g);
    EXPECT_FALSE(g.Timer4->Enabled());
}

TEST_F(MainWindowTest, ActivationFocusesOnlyAUsableWindow) {
    TTestMainWindow& f = Open();
    FirstActivation = false;
    f.EdtEnlace->SetText(L"abc");
    f.ScllVideos->SetFocus();
    f.ApplicationActivate(nullptr);
    EXPECT_TRUE(f.EdtEnlace->Focused());
    EXPECT_EQ(f.EdtEnlace->SelLength(), 3);

    f.ScllVideos->SetFocus();
    EnableWindow(f.Handle(), FALSE);
    f.ApplicationActivate(nullptr);
    EXPECT_FALSE(f.EdtEnlace->Focused());
    EnableWindow(f.Handle(), TRUE);

    f.Hide();
    f.ApplicationActivate(nullptr);
    EXPECT_FALSE(f.EdtEnlace->Focused());

    // The very first activation goes to the results area.
    f.Show();
    FirstActivation = true;
    f.ApplicationActivate(nullptr);
    EXPECT_FALSE(FirstActivation);
    EXPECT_TRUE(f.ScllVideos->Focused());

    // One that comes while the window is on its way to the screen acts
    // once it is there.
    for (bool first : {true, false}) {
        f.EdtEnlace->SetFocus();
        f.EdtEnlace->SetSelStart(0);
        f.Hide();
        FirstActivation = first;
        f.OnShow = [&](TComponent*) { f.ApplicationActivate(nullptr); };
        f.Show();
        f.OnShow = nullptr;
        Pump(20);
        EXPECT_FALSE(FirstActivation);
        EXPECT_EQ(f.ScllVideos->Focused(), first) << first;
        EXPECT_EQ(f.EdtEnlace->SelLength(), first ? 0 : 3) << first;
    }
}

// A directory link inside the cache folder, made the way Wine shows one:
// a Unix symbolic link, made and removed with the Unix tools.
std::string UnixName(const std::wstring& path) {
    using Func = char*(CDECL*)(const wchar_t*);
    auto fn = reinterpret_cast<Func>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name"));
    char* name = fn ? fn(path.c_str()) : nullptr;
    std::string r = name ? name : "";
    if (name) HeapFree(GetProcessHeap(), 0, name);
    return r;
}

bool RunUnixTool(const std::wstring& tool, const std::wstring& args) {
    std::wstring cmd = L"/bin/" + tool + L" " + args;
    STARTUPINFOW si{sizeof si};
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW((L"Z:\\bin\\" + tool).c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &si, &pi))
        return false;
    WaitForSingleObject(pi.hProcess, 5000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}

bool IsDirectoryLink(const std::wstring& path) {
    DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) && (a & FILE_ATTRIBUTE_REPARSE_POINT);
}

TEST_F(MainWindowTest, DestructionEmptiesTheCacheAndUnusedThumbnails) {
    ForceDirectories(engine::CacheFolder + L"sub");
    ASSERT_TRUE(WriteFileBytes(engine::CacheFolder + L"~123456.tmp", "page"));
    ASSERT_TRUE(WriteFileBytes(engine::CacheFolder + L"sub\\100004000000001.jpg", "jpg"));
    ForceDirectories(engine::ThumbnailsFolder);
    ASSERT_TRUE(WriteFileBytes(engine::ThumbnailsFolder + L"123.jpg", "jpg"));
    Open();
    CloseWindow();
    EXPECT_FALSE(DirectoryExists(engine::CacheFolder));
    // No history: no thumbnail is needed any more.
    EXPECT_FALSE(DirectoryExists(engine::ThumbnailsFolder));
}

TEST_F(MainWindowTest, DestructionNeverFollowsALinkOutOfTheCache) {
    const std::wstring outside = tmp_.Path() + L"Outside", link = engine::CacheFolder + L"link";
    ForceDirectories(outside);
    ASSERT_TRUE(WriteFileBytes(outside + L"\\keep.txt", "kept"));
    ForceDirectories(engine::CacheFolder);
    ASSERT_TRUE(RunUnixTool(L"ln", L"-s \"" + Utf8ToWide(UnixName(outside)) + L"\" \"" + Utf8ToWide(UnixName(link)) +
                                       L"\""));
    ASSERT_TRUE(formstest::PumpUntil([&] { return IsDirectoryLink(link); }, 5000));

    std::vector<std::wstring> removed;
    ScopedHook<std::function<bool(const std::wstring&)>> hook(RemoveDirectoryHook, [&](const std::wstring& d) {
        removed.push_back(d);
        return RemoveDirectoryW(d.c_str()) != 0;
    });
    Open();
    CloseWindow();
    EXPECT_TRUE(FileExists(outside + L"\\keep.txt"));
    // The link itself was removed, then the cache; nothing behind the link.
    ASSERT_GE(removed.size(), 2u);
    EXPECT_EQ(removed[0], link);
    EXPECT_EQ(removed[1], ExcludeTrailingPathDelimiter(engine::CacheFolder));
    // Wine's removal leaves the Unix link behind; the test folder needs it gone.
    RunUnixTool(L"rm", L"-f \"" + Utf8ToWide(UnixName(link)) + L"\"");
}

// --- the message bar -----------------------------------------------------------------------------

TEST_F(MainWindowTest, MessageKindsShowTheirIcon) {
    TTestMainWindow& f = Open();
    struct Row {
        int kind;
        TImage* icon;
        bool closeButton;
    };
    const Row rows[] = {{1, f.ImgMsg1, true}, {2, f.ImgMsg2, true}, {3, f.ImgProcesando, false},
                        {7, f.ImgProcesando, false}, {1, f.ImgMsg1, true}};
    for (const Row& r : rows) {
        f.MostrarPnlMsgs(L"Text " + IntToStr(r.kind), r.kind);
        EXPECT_EQ(f.LblMensaje->Caption(), L"Text " + IntToStr(r.kind));
        for (TImage* icon : {f.ImgMsg1, f.ImgMsg2, f.ImgProcesando}) {
            EXPECT_EQ(icon->Visible(), icon == r.icon) << r.kind;
            EXPECT_EQ(icon->Left(), f.ImgMsg1->Left());
        }
        EXPECT_FALSE(r.icon->Picture().Empty());
        EXPECT_EQ(f.BtnOcultar2->Visible(), r.closeButton);
        EXPECT_EQ(f.BtnOcultar2->Hint(), L"Hide");
        if (r.icon == f.ImgProcesando) EXPECT_TRUE(f.ImgProcesando->Animate());
        EXPECT_EQ(f.MessageKind(), r.kind);
    }
    EXPECT_GT(f.ImgProcesando->Picture().Graphic()->FrameCount(), 1);
}

TEST_F(MainWindowTest, BarSlidesUpAndANewMessageReplacesItInPlace) {
    TTestMainWindow& f = Open();
    const int h = f.ClientHeight(), up = h - 25;
    f.MostrarPnlMsgs(L"First", MsgError);
    EXPECT_TRUE(f.PnlMsgs->Visible());
    EXPECT_EQ(f.ScllVideos->Align(), alCustom);
    EXPECT_EQ(f.ScllVideos->Top() + f.ScllVideos->Height(), h);  // under the bar while it moves
    Pump(40);
    EXPECT_GT(f.PnlMsgs->Top(), up - 1);  // one pixel per tick: not there yet
    ASSERT_TRUE(PumpUntil([&] { return f.PnlMsgs->Top() == up && !f.Timer1->Enabled(); }, 3000));
    EXPECT_EQ(f.ScllVideos->Top() + f.ScllVideos->Height(), up);
    EXPECT_TRUE(f.Timer2->Enabled());

    f.MostrarPnlMsgs(L"Second", MsgInformation);
    EXPECT_EQ(f.PnlMsgs->Top(), up);
    EXPECT_FALSE(f.Timer1->Enabled());
    EXPECT_TRUE(f.Timer2->Enabled());
    EXPECT_EQ(f.LblMensaje->Caption(), L"Second");
}

TEST_F(MainWindowTest, BarHidesItselfAfterFiveSeconds) {
    TTestMainWindow& f = Open();
    const int areaHeight = f.ScllVideos->Height();
    f.MostrarPnlMsgs(L"Done", MsgInformation);
    ASSERT_TRUE(PumpUntil([&] { return f.Timer2->Enabled(); }, 3000));
    DWORD start = GetTickCount();
    ASSERT_TRUE(PumpUntil([&] { return !f.PnlMsgs->Visible(); }, 8000));
    EXPECT_GE(GetTickCount() - start, 4900u);
    EXPECT_EQ(f.PnlMsgs->Top(), f.ClientHeight());
    EXPECT_EQ(f.ScllVideos->Align(), alClient);
    EXPECT_EQ(f.ScllVideos->Height(), areaHeight);
}

TEST_F(MainWindowTest, BarStaysUpWhileTheLinkBoxIsDisabled) {
    TTestMainWindow& f = Open();
    f.EdtEnlace->SetEnabled(false);
    f.MostrarPnlMsgs(L"Busy", MsgError);
    ASSERT_TRUE(PumpUntil([&] { return !f.Timer1->Enabled(); }, 3000));
    EXPECT_FALSE(f.Timer2->Enabled());
    f.Timer2Timer(f.Timer2);  // a countdown left over from before
    EXPECT_FALSE(f.Timer3->Enabled());
    EXPECT_TRUE(f.PnlMsgs->Visible());
}

TEST_F(MainWindowTest, CloseButtonHidesTheBarAtOnce) {
    TTestMainWindow& f = Open();
    f.MostrarPnlMsgs(L"Oops", MsgError);
    Pump(50);
    f.BtnOcultar2->DoClick();
    EXPECT_FALSE(f.PnlMsgs->Visible());
    EXPECT_EQ(f.PnlMsgs->Top(), f.ClientHeight());
    EXPECT_FALSE(f.Timer1->Enabled() || f.Timer2->Enabled() || f.Timer3->Enabled());
    EXPECT_EQ(f.ScllVideos->Align(), alClient);
}

TEST_F(MainWindowTest, NewMessageWhileSlidingDownGoesBackUp) {
    TTestMainWindow& f = Open();
    const int up = f.ClientHeight() - 25;
    f.MostrarPnlMsgs(L"One", MsgInformation);
    ASSERT_TRUE(PumpUntil([&] { return f.PnlMsgs->Top() == up; }, 3000));
    f.OcultarPnlMsgs();
    ASSERT_TRUE(PumpUntil([&] { return f.PnlMsgs->Top() > up + 5; }, 3000));
    int from = f.PnlMsgs->Top();
    f.MostrarPnlMsgs(L"Two", MsgWorking);
    EXPECT_FALSE(f.Timer3->Enabled());
    EXPECT_TRUE(f.Timer1->Enabled());
    EXPECT_EQ(f.PnlMsgs->Top(), from);
    ASSERT_TRUE(PumpUntil([&] { return f.PnlMsgs->Top() == up; }, 3000));
    EXPECT_TRUE(f.PnlMsgs->Visible());
}

TEST_F(MainWindowTest, HidingAHiddenBarOnlyStopsTheAnimation) {
    TTestMainWindow& f = Open();
    f.ImgProcesando->SetAnimate(true);
    f.OcultarPnlMsgs();
    EXPECT_FALSE(f.ImgProcesando->Animate());
    EXPECT_FALSE(f.Timer3->Enabled());
    EXPECT_FALSE(f.PnlMsgs->Visible());
}

TEST_F(MainWindowTest, MessageAfterALoginGivesTheResultsAreaTheFocus) {
    TTestMainWindow& f = Open();
    f.EdtEnlace->SetFocus();
    LoginJustCompleted = true;
    f.MostrarPnlMsgs(L"Welcome, Ann. You have logged in Facebook successfully!", MsgInformation);
    ASSERT_TRUE(PumpUntil([&] { return !f.Timer1->Enabled(); }, 3000));
    EXPECT_FALSE(LoginJustCompleted);
    EXPECT_TRUE(f.ScllVideos->Focused());
}

}  // namespace
