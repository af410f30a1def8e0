#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/Links.h"
#include "classlib/Application.h"
#include "classlib/Button.h"
#include "classlib/Files.h"
#include "classlib/Hooks.h"
#include "classlib/IniFiles.h"
#include "classlib/Label.h"
#include "classlib/Strings.h"
#include "engine/Constants.h"
#include "engine/HTTPGet.h"
#include "forms/uFrmActualizador.h"
#include "tests/classlib/FormsTestSupport.h"
#include "tests/support/TempFolder.h"

using namespace app;
using namespace cls;
using formstest::Pump;
using formstest::PumpUntil;
using testing_support::TempFolder;

namespace {

using Opt = std::optional<std::wstring>;
const std::wstring kFailed = L"An error has occurred while trying to run the updater.";
const std::wstring kUpToDate = L"Korvelink is up to date.";
const std::wstring kChecking = L"Checking for updates, please wait...";

std::wstring VersionUrl(const std::wstring& host) { return L"http://" + host + L"/download/KV.currver"; }

struct ShellCall {
    HWND owner;
    std::wstring verb, file, params, dir;
    int show;
};

// The requests the fake site answered, one "METHOD URL STATUS" per line.
std::vector<std::wstring> SiteRequests() {
    engine::THTTPGet get(nullptr);
    get.WaitThread = true;
    get.URL = L"http://fakesite.control/requests";
    std::wstring text;
    get.OnDoneString = [&](engine::THTTPGet*, const std::wstring& r) { text = r; };
    get.GetString();
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t nl; (nl = text.find(L'\n', start)) != std::wstring::npos; start = nl + 1)
        lines.push_back(text.substr(start, nl - start));
    return lines;
}

class UpdateWindow : public ::testing::Test {
protected:
    UpdateWindow()
        : cache_(engine::CacheFolder),
          url_(UpdateFileURL),
          shellHook_(ShellExecuteHook,
                     [this](HWND owner, const std::wstring& verb, const std::wstring& file, const std::wstring& params,
                            const std::wstring& dir, int show) -> INT_PTR {
                         shell_.push_back({owner, verb, file, params, dir, show});
                         return 42;
                     }),
          boxHook_(MessageBoxHook, [this](HWND, const std::wstring& text, const std::wstring&, UINT) {
              boxes_.push_back(text);
              return IDOK;
          }) {
        Application.Initialize();
        engine::CacheFolder = tmp_.Path() + L"KorvelinkCache\\";
    }
    ~UpdateWindow() override {
        Pump(10);
        engine::CacheFolder = cache_;
        UpdateFileURL = url_;
    }
    void SetUp() override {
        if (!std::getenv("KORVELINK_FAKESITE_PORT")) GTEST_SKIP() << "needs the fake site (tests/fakesite/run-with-site.sh)";
    }

    // A window that has run its check against Url.
    std::unique_ptr<TFrmActualizador> Checked(const std::wstring& url) {
        UpdateFileURL = url;
        auto f = std::make_unique<TFrmActualizador>();
        f->Show();
        f->CheckForUpdates();
        return f;
    }
    bool LocalCopyExists() const {
        return GetFileAttributesW(UpdateFileName().c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    formstest::CommonControls6 cc6_;
    TempFolder tmp_;
    std::wstring cache_, url_;
    std::vector<ShellCall> shell_;
    std::vector<std::wstring> boxes_;
    ScopedHook<ShellExecuteFunc> shellHook_;
    ScopedHook<MessageBoxFunc> boxHook_;
};

// ShowModal, with a guard that closes a window the test failed to close.
TModalResult ShowModalGuarded(TForm& form, DWORD ms = 15000) {
    UINT_PTR timer = SetTimer(nullptr, 0, ms, nullptr);
    bool timedOut = false;
    Application.OnMessage = [&](MSG& m) {
        if (m.message == WM_TIMER && m.wParam == timer && !timedOut) {
            timedOut = true;
            form.SetModalResult(mrCancel);
        }
        return false;
    };
    TModalResult r = form.ShowModal();
    Application.OnMessage = nullptr;
    KillTimer(nullptr, timer);
    EXPECT_FALSE(timedOut) << "closed by the guard timer";
    return r;
}

}  // namespace

// --- plain routines -----------------------------------------------------------

TEST(UpdateWindowLogic, OnlyWebAddressesWithAHostAreAccepted) {
    struct Row {
        const wchar_t* address;
        bool ok;
    } rows[] = {
        {L"https://korvelink.example/download/", true},
        {L"http://korvelink.example", true},
        {L"HTTPS://Korvelink.Example/x?y=1#z", true},
        {L"http://127.0.0.1:8080/setup.exe", true},
        {L"https://", false},
        {L"http:///path", false},
        {L"https://?q", false},
        {L"file:///C:/Windows/System32/calc.exe", false},
        {L"C:\\Windows\\System32\\calc.exe", false},
        {L"\\\\server\\share\\setup.exe", false},
        {L"javascript:alert(1)", false},
        {L"ftp://korvelink.example/", false},
        {L"  https://korvelink.example/", false},
        {L"https://korvelink.example/a b", false},
        {L"https://korvelink.example/\"-x", false},
        {L"https://korvelink.example/\x7f", false},
        {L"http://host\\..\\x", false},
        {L"", false},
    };
    for (const Row& r : rows) EXPECT_EQ(IsWebAddress(r.address), r.ok) << r.address;
}

TEST(UpdateWindowLogic, VersionValuesGiveTheOutcome) {
    const Opt link = L"https://korvelink.example/download/";
    struct Row {
        Opt number, text, link;
        TUpdateState state;
    } rows[] = {
        {L"425141", L"4.2.5.141", link, TUpdateState::UpToDate},
        {L"425140", L"4.2.5.140", link, TUpdateState::UpToDate},
        {L"-1", L"", link, TUpdateState::UpToDate},
        {L" 425141 ", L"x", link, TUpdateState::UpToDate},
        {L"425142", L"4.2.5.142", link, TUpdateState::Newer},
        {L"2147483647", L"big", link, TUpdateState::Newer},
        // One key missing, even with an empty value elsewhere.
        {std::nullopt, L"4.2.6", link, TUpdateState::Failed},
        {L"425142", std::nullopt, link, TUpdateState::Failed},
        {L"425142", L"4.2.6", std::nullopt, TUpdateState::Failed},
        {L"", L"", std::nullopt, TUpdateState::Failed},
        // A newer version may only send the user to a web page.
        {L"425142", L"4.2.6", L"file:///C:/Windows/System32/calc.exe", TUpdateState::Failed},
        {L"425142", L"4.2.6", L"calc.exe", TUpdateState::Failed},
        {L"425142", L"4.2.6", L"", TUpdateState::Failed},
        // An up-to-date answer opens nothing, whatever its link says.
        {L"425141", L"4.2.5.141", L"calc.exe", TUpdateState::UpToDate},
    };
    for (const Row& r : rows) {
        TUpdateInfo info = EvaluateVersionInfo(r.number, r.text, r.link);
        EXPECT_EQ(info.State, r.state) << r.number.value_or(L"(none)") << " / " << r.link.value_or(L"(none)");
        if (info.State == TUpdateState::Newer) {
            EXPECT_EQ(info.VersionText, *r.text);
            EXPECT_EQ(info.DownloadLink, *r.link);
        } else {
            EXPECT_TRUE(info.DownloadLink.empty());
        }
    }
    EXPECT_EQ(AppVersionNumber, 425141);
    // A number that is not an integer is a conversion error that names it,
    // once all three keys are there.
    for (const wchar_t* number : {L"4.2.6", L"425142x", L"99999999999", L""}) {
        try {
            EvaluateVersionInfo(number, L"4.2.6", link);
            ADD_FAILURE() << "no error for " << number;
        } catch (const EConvertError& e) {
            EXPECT_EQ(Utf8ToWide(e.what()), std::wstring(L"'") + number + L"' is not a valid integer value");
        }
    }
    EXPECT_EQ(EvaluateVersionInfo(L"4.2.6", std::nullopt, link).State, TUpdateState::Failed);
}

TEST(UpdateWindowLogic, StatusTexts) {
    EXPECT_EQ(UpdateStatusText({TUpdateState::Newer, L"4.3 beta", L"https://x/"}),
              L"Korvelink 4.3 beta is available for download.");
    EXPECT_EQ(UpdateStatusText({TUpdateState::UpToDate, L"", L""}), kUpToDate);
    EXPECT_EQ(UpdateStatusText({}), kFailed);
}

TEST(UpdateWindowLogic, VersionFileKeysAreReadFromSectionInfo) {
    TempFolder tmp;
    auto read = [&](const std::string& text) {
        return EvaluateVersionFile(TMemIniFile(tmp.Write(L"v.currver", text)));
    };
    TUpdateInfo info = read("[Info]\r\nAppCurrentVersionNumber=425200\r\nAppCurrentVersionText=4.2.6\r\n"
                            "AppDownloadLink=https://korvelink.example/get\r\n");
    EXPECT_EQ(info.State, TUpdateState::Newer);
    EXPECT_EQ(info.VersionText, L"4.2.6");
    EXPECT_EQ(info.DownloadLink, L"https://korvelink.example/get");
    // Key names are not case-sensitive; the section must be "Info".
    EXPECT_EQ(read("[info]\nappcurrentversionnumber=425200\nAPPCURRENTVERSIONTEXT=4.2.6\nAppDownloadLink=https://k/\n")
                  .State,
              TUpdateState::Newer);
    EXPECT_EQ(read("[General]\nAppCurrentVersionNumber=425200\nAppCurrentVersionText=4.2.6\n"
                   "AppDownloadLink=https://k/\n")
                  .State,
              TUpdateState::Failed);
    EXPECT_EQ(read("<html><body>Not here</body></html>").State, TUpdateState::Failed);
}

// --- the window ---------------------------------------------------------------

TEST_F(UpdateWindow, FormResource) {
    TFrmActualizador f;
    EXPECT_EQ(f.Caption(), L"Korvelink Updater");
    EXPECT_EQ(f.ClientWidth(), 337);
    EXPECT_EQ(f.ClientHeight(), 64);
    EXPECT_EQ(f.BorderStyle(), bsSingle);
    EXPECT_EQ(f.BorderIcons(), 0u);
    EXPECT_FALSE(GetWindowLongW(f.Handle(), GWL_STYLE) & WS_SYSMENU);
    EXPECT_EQ(f.Position(), poMainFormCenter);
    EXPECT_TRUE(f.KeyPreview);
    EXPECT_EQ(f.LblEstado->Width(), 321);
    EXPECT_EQ(f.LblEstado->Caption(), L"");
    EXPECT_EQ(f.BtnDescargar->Caption(), L"Download");
    EXPECT_EQ(f.BtnDescargar->ModalResult, mrOk);
    EXPECT_EQ(f.BtnCerrar->Caption(), L"Close");
    EXPECT_EQ(f.BtnCerrar->ModalResult, mrClose);
    EXPECT_FALSE(f.BtnDescargar->Visible());
    EXPECT_FALSE(f.BtnCerrar->Visible());
    EXPECT_LE(f.BtnDescargar->Left() + f.BtnDescargar->Width(), f.BtnCerrar->Left());
    EXPECT_LE(f.BtnCerrar->Left() + f.BtnCerrar->Width(), 337);
    EXPECT_LE(f.BtnCerrar->Top() + f.BtnCerrar->Height(), 64);
}

TEST_F(UpdateWindow, ANewerVersionOffersItsDownloadPage) {
    // A cache folder that is not there yet is made for the copy.
    engine::CacheFolder = tmp_.Path() + L"deep\\er\\Cache\\";
    auto f = Checked(VersionUrl(L"newer.kvupdate.test"));
    EXPECT_TRUE(DirectoryExists(engine::CacheFolder));
    EXPECT_TRUE(f->CheckDone());
    // The "&" of the server's text is shown, not taken as a hot key.
    EXPECT_EQ(f->LblEstado->Caption(), L"Korvelink 4.2.6.0 R&D is available for download.");
    EXPECT_TRUE(f->BtnDescargar->Visible());
    EXPECT_TRUE(f->BtnCerrar->Visible());
    EXPECT_EQ(f->BtnDescargar->Hint(), L"https://korvelink.example/download/?v=4.2.6.0");
    EXPECT_TRUE(f->BtnDescargar->Focused());
    EXPECT_FALSE(LocalCopyExists());

    f->BtnDescargar->Click();
    ASSERT_EQ(shell_.size(), 1u);
    EXPECT_EQ(shell_[0].owner, Application.Handle());
    EXPECT_EQ(shell_[0].verb, L"Open");
    EXPECT_EQ(shell_[0].file, L"https://korvelink.example/download/?v=4.2.6.0");
    EXPECT_EQ(shell_[0].params, L"");
    EXPECT_EQ(shell_[0].dir, L"");
    EXPECT_EQ(shell_[0].show, SW_SHOW);
    EXPECT_EQ(f->ModalResult(), mrOk);
    EXPECT_TRUE(boxes_.empty());
    // Whatever changed the hint since the check, only a web page opens.
    f->BtnDescargar->SetHint(L"C:\\Windows\\System32\\calc.exe");
    f->BtnDescargar->Click();
    EXPECT_EQ(shell_.size(), 1u);
}

TEST_F(UpdateWindow, TheSameOrAnOlderVersionIsUpToDate) {
    // The program's own address, answered by the site's shared file (425141).
    for (const std::wstring& url : {std::wstring(UpdateVersionFileLink), VersionUrl(L"older.kvupdate.test")}) {
        auto f = Checked(url);
        EXPECT_EQ(f->LblEstado->Caption(), kUpToDate) << url;
        EXPECT_FALSE(f->BtnDescargar->Visible());
        EXPECT_TRUE(f->BtnCerrar->Visible());
        EXPECT_TRUE(f->BtnCerrar->Focused());
        EXPECT_FALSE(LocalCopyExists());
    }
    EXPECT_TRUE(shell_.empty());
    // The version file travels over plain HTTP from its fixed path.
    bool fetched = false;
    for (const std::wstring& line : SiteRequests())
        fetched = fetched || line == L"GET http://korvelink.example/download/KV.currver 200";
    EXPECT_TRUE(fetched);
}

TEST_F(UpdateWindow, EveryFailureReadsAsAnErrorWithoutADownload) {
    const std::wstring urls[] = {
        VersionUrl(L"update.invalid"),                 // no server
        L"http://korvelink.example/download/none",     // no file (404 page)
        VersionUrl(L"notfound.kvupdate.test"),         // a valid file sent as an error
        VersionUrl(L"nolink.kvupdate.test"),           // a key missing
        VersionUrl(L"badlink.kvupdate.test"),          // newer, pointing at a program
        L"http://big.kvupdate.test/stream/100000/KV.currver",  // far too big for a version file
        L"notaurl",
    };
    for (const std::wstring& url : urls) {
        auto f = Checked(url);
        EXPECT_EQ(f->LblEstado->Caption(), kFailed) << url;
        EXPECT_FALSE(f->BtnDescargar->Visible()) << url;
        EXPECT_TRUE(f->BtnDescargar->Hint().empty()) << url;
        EXPECT_TRUE(f->BtnCerrar->Visible()) << url;
        EXPECT_TRUE(f->BtnCerrar->Focused()) << url;
        EXPECT_FALSE(LocalCopyExists()) << url;
    }
    EXPECT_TRUE(shell_.empty());
    // Failures show in the window only; no error box on top of it.
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(UpdateWindow, ANumberThatIsNotAnIntegerShowsTheErrorThenReachesTheDefaultHandler) {
    UpdateFileURL = VersionUrl(L"badnumber.kvupdate.test");
    struct Box {
        std::wstring text, status;
        bool closeShown, closeFocused, copyLeft;
    };
    std::vector<Box> seen;
    ScopedHook<MessageBoxFunc> box(MessageBoxHook, [&](HWND, const std::wstring& text, const std::wstring&, UINT) {
        TFrmActualizador* f = FrmActualizador;
        seen.push_back({text, f ? f->LblEstado->Caption() : L"(no window)", f && f->BtnCerrar->Visible(),
                        f && f->BtnCerrar->Focused(), LocalCopyExists()});
        return IDOK;
    });
    TForm main(nullptr, {.Caption = L"main"});
    main.Show();
    UINT_PTR timer = SetTimer(nullptr, 0, 50, nullptr);
    Application.OnMessage = [&](MSG& m) {
        if (m.message == WM_TIMER && m.wParam == timer && FrmActualizador && FrmActualizador->CheckDone())
            FrmActualizador->BtnCerrar->Click();
        return false;
    };
    OpenUpdaterWindow(&main);
    Application.OnMessage = nullptr;
    KillTimer(nullptr, timer);
    main.Hide();
    // The window had shown its outcome when the error was reported.
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, L"'4.2.6' is not a valid integer value");
    EXPECT_EQ(seen[0].status, kFailed);
    EXPECT_TRUE(seen[0].closeShown);
    EXPECT_TRUE(seen[0].closeFocused);
    EXPECT_FALSE(seen[0].copyLeft);
    EXPECT_TRUE(shell_.empty());
}

TEST_F(UpdateWindow, AStaleLocalCopyIsNeverRead) {
    ASSERT_TRUE(ForceDirectories(engine::CacheFolder));
    ASSERT_TRUE(WriteFileBytes(UpdateFileName(),
                               "[Info]\r\nAppCurrentVersionNumber=999999\r\nAppCurrentVersionText=9\r\n"
                               "AppDownloadLink=https://stale.example/\r\n"));
    auto f = Checked(VersionUrl(L"update.invalid"));
    EXPECT_EQ(f->LblEstado->Caption(), kFailed);
    EXPECT_FALSE(LocalCopyExists());
}

namespace {

// What a timer sees of the window while its check waits for the server.
struct CheckWatch {
    TFrmActualizador* form = nullptr;
    std::vector<std::wstring> captions;
    int notVisible = 0;
    int closeAsked = 0;  // a modal result set during the check
};
CheckWatch* watch = nullptr;

void CALLBACK PokeDuringCheck(HWND, UINT, UINT_PTR id, DWORD) {
    TFrmActualizador* f = watch->form;
    if (f->CheckDone()) {
        KillTimer(nullptr, id);
        formstest::PostKey(f->Handle(), VK_ESCAPE);
        return;
    }
    // What the previous poke posted has been handled by now.
    watch->captions.push_back(f->LblEstado->Caption());
    if (!IsWindowVisible(f->Handle())) ++watch->notVisible;
    if (f->ModalResult() != mrNone) ++watch->closeAsked;
    formstest::PostKey(f->Handle(), VK_ESCAPE);
    PostMessageW(f->Handle(), WM_CLOSE, 0, 0);
    // Coming back to the window must not start a second check.
    PostMessageW(f->Handle(), WM_ACTIVATE, WA_ACTIVE, 0);
}

}  // namespace

TEST_F(UpdateWindow, ShownModallyTheCheckRunsOnceAndEscClosesOnlyAfterIt) {
    // About two seconds of transfer, during which Esc and a close request
    // must do nothing.
    UpdateFileURL = L"http://slow.kvupdate.test/stream/2000/KV.currver?trickle=100&chunk=100";
    TFrmActualizador f;
    CheckWatch w;
    w.form = &f;
    watch = &w;
    UINT_PTR poke = SetTimer(nullptr, 0, 300, PokeDuringCheck);
    ASSERT_NE(poke, 0u);
    EXPECT_EQ(ShowModalGuarded(f), mrCancel);
    KillTimer(nullptr, poke);
    watch = nullptr;
    ASSERT_GE(w.captions.size(), 3u);
    for (const auto& c : w.captions) EXPECT_EQ(c, kChecking);
    EXPECT_EQ(w.notVisible, 0);
    EXPECT_EQ(w.closeAsked, 0);
    // The pattern body is no version file.
    EXPECT_EQ(f.LblEstado->Caption(), kFailed);
    int requests = 0;
    for (const std::wstring& line : SiteRequests()) requests += line.find(L"slow.kvupdate.test") != std::wstring::npos;
    EXPECT_EQ(requests, 1);
}

TEST_F(UpdateWindow, OpenedFromTheMainWindowItIsModalAndFreedAfterwards) {
    UpdateFileURL = VersionUrl(L"older.kvupdate.test");
    TForm main(nullptr, {.Caption = L"main"});
    main.Show();
    TForm* parent = nullptr;
    bool mainDisabled = false;
    UINT_PTR timer = SetTimer(nullptr, 0, 50, nullptr);
    Application.OnMessage = [&](MSG& m) {
        if (m.message == WM_TIMER && m.wParam == timer && FrmActualizador && FrmActualizador->CheckDone()) {
            parent = FrmActualizador->PopupParent();
            mainDisabled = !IsWindowEnabled(main.Handle());
            FrmActualizador->BtnCerrar->Click();
        }
        return false;
    };
    OpenUpdaterWindow(&main);
    Application.OnMessage = nullptr;
    KillTimer(nullptr, timer);
    EXPECT_EQ(parent, &main);
    EXPECT_TRUE(mainDisabled);
    EXPECT_EQ(FrmActualizador, nullptr);
    EXPECT_TRUE(IsWindowEnabled(main.Handle()));
    main.Hide();
}
