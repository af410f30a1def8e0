#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/History.h"
#include "classlib/Button.h"
#include "classlib/Edit.h"
#include "classlib/Label.h"
#include "classlib/Menus.h"
#include "classlib/Raii.h"
#include "forms/DownloadStart.h"
#include "forms/uFrmAbout.h"
#include "forms/uFrmActualizador.h"
#include "forms/uFrmDestinationFolder.h"
#include "forms/uFrmDonate.h"
#include "forms/uFrmFindFacebookUserID.h"
#include "forms/uFrmHistorial.h"
#include "forms/uFrmLogin.h"
#include "forms/uFrmSearchFacebookVideoLinks.h"
#include "tests/forms/DownloadTestSupport.h"
#include "tests/forms/LoginTestSupport.h"
#include "tests/forms/MainWindowTestSupport.h"
#include "tests/support/GdiObjects.h"

using namespace app;
using namespace downloadtest;
using testing_support::CountGdiObjects;
using testing_support::GdiObjects;

namespace {

// A leak grows the count with every window; Wine's own caches may grow it
// once in a while, so less than one object per window is no leak.
void ExpectNoGrowthPerWindow(const GdiObjects& before, const GdiObjects& after, int windows) {
    EXPECT_LT(after.Bitmaps() - before.Bitmaps(), windows)
        << "bitmaps " << before.Bitmaps() << " -> " << after.Bitmaps() << " over " << windows << " windows";
    EXPECT_LT(after.Total - before.Total, windows)
        << "GDI objects " << before.Total << " -> " << after.Total << " over " << windows << " windows";
}

// The count is only worth trusting when it follows what is made and freed.
TEST(GdiObjectsTest, CountsWhatThisProcessMakesAndFrees) {
    const GdiObjects before = CountGdiObjects();
    std::vector<cls::Bitmap> bitmaps;
    for (int i = 0; i < 100; ++i) bitmaps.emplace_back(CreateBitmap(4, 4, 1, 32, nullptr));
    std::vector<cls::Brush> brushes;
    for (int i = 0; i < 10; ++i) brushes.emplace_back(CreateSolidBrush(RGB(i, 0, 0)));
    const GdiObjects made = CountGdiObjects();
    EXPECT_EQ(made.Bitmaps() - before.Bitmaps(), 100);
    EXPECT_EQ(made.ByType[testing_support::gdiBrush] - before.ByType[testing_support::gdiBrush], 10);
    EXPECT_EQ(made.Total - before.Total, 110);

    bitmaps.clear();
    brushes.clear();
    const GdiObjects after = CountGdiObjects();
    EXPECT_EQ(after.Bitmaps(), before.Bitmaps());
    EXPECT_EQ(after.Total, before.Total);
}

class GdiLeakTest : public DownloadFixture {
protected:
    void SetUp() override {
        if (!SiteAvailable()) GTEST_SKIP() << "needs the fake site (tests/fakesite/run-with-site.sh)";
    }

    // One download window from a new result panel, run to its end and closed.
    void DownloadAndClose(int i) {
        TVideoPanel* panel =
            Panel({L"https://video.xx.fbcdn.net/stream/20000/clip.mp4?n=" + std::to_wstring(i) + L"&src=sd&"});
        DownloadLabelClick(panel->Links().at(0).Label);
        ASSERT_NE(FrmDownloading, nullptr);
        ASSERT_TRUE(WaitForEnd());
        ASSERT_EQ(FrmDownloading->Phase(), TDownloadPhase::Complete);
        FrmDownloading->BtnCancelar->Click();
        ASSERT_TRUE(WaitFor([] { return !DownloadFormExists; }));
        delete panel;
        formstest::Pump(10);
    }
};

TEST_F(GdiLeakTest, ClosedDownloadWindowsLeaveNoGdiObjects) {
    // The first window registers its class and fills the system's caches.
    ASSERT_NO_FATAL_FAILURE(DownloadAndClose(0));
    const GdiObjects before = CountGdiObjects();
    for (int i = 1; i <= 20; ++i) ASSERT_NO_FATAL_FAILURE(DownloadAndClose(i));
    ExpectNoGrowthPerWindow(before, CountGdiObjects(), 20);
}

// The main window with its real windows behind its menu commands.
class TRealWindowsMain : public mainwin_test::TTestMainWindow {
protected:
    void OpenFindUserIdWindow() override { TFrmKorvelink::OpenFindUserIdWindow(); }
    void OpenDestinationFolderWindow() override { TFrmKorvelink::OpenDestinationFolderWindow(); }
    void OpenUpdaterWindow() override { TFrmKorvelink::OpenUpdaterWindow(); }
    void OpenAboutWindow() override { TFrmKorvelink::OpenAboutWindow(); }
    std::optional<bool> OpenDonateWindow(int mode) override { return TFrmKorvelink::OpenDonateWindow(mode); }
    void OpenCleanHistoryWindow() override { TFrmKorvelink::OpenCleanHistoryWindow(); }
    void ShowSearchLinksForm() override { TFrmKorvelink::ShowSearchLinksForm(); }
    bool UserIdFormExists() const override { return TFrmKorvelink::UserIdFormExists(); }
};

HWND HandleOf(cls::TForm* form) { return form ? form->Handle() : nullptr; }

class GdiWindowsTest : public mainwin_test::MainWindowTest {
protected:
    GdiWindowsTest() : factory_(LoginBrowserFactory), updateUrl_(UpdateFileURL) {
        LoginBrowserFactory = [this](HWND, const std::wstring&) -> std::unique_ptr<TLoginBrowser> {
            auto b = std::make_unique<logintest::TFakeLoginBrowser>(log_);
            browser_ = b.get();
            return b;
        };
    }
    ~GdiWindowsTest() override {
        LoginBrowserFactory = factory_;
        UpdateFileURL = updateUrl_;
    }

    // Open returns once its window shows, or for a modal one once it has
    // gone; meanwhile, when the window is up and Ready says it has done what
    // it does on opening, it is closed as its title bar's X would close it.
    void OpenAndClose(const std::function<void()>& open, const std::function<HWND()>& window,
                      const std::function<bool()>& ready) {
        UINT_PTR timer = SetTimer(nullptr, 0, 20, nullptr);
        cls::Application.OnMessage = [&](MSG& m) {
            if (m.message != WM_TIMER || m.wParam != timer) return false;
            HWND w = window();
            if (w && IsWindowVisible(w) && ready()) PostMessageW(w, WM_CLOSE, 0, 0);
            return true;
        };
        open();
        EXPECT_TRUE(formstest::PumpUntil([&] { return window() == nullptr; }, 15000)) << "left open";
        cls::Application.OnMessage = nullptr;
        KillTimer(nullptr, timer);
        formstest::Pump(10);
    }

    logintest::TBrowserLog log_;
    logintest::TFakeLoginBrowser* browser_ = nullptr;

private:
    decltype(LoginBrowserFactory) factory_;
    std::wstring updateUrl_;
};

TEST_F(GdiWindowsTest, WindowsOpenedOverAndOverLeaveNoGdiObjects) {
    if (!SiteRunning()) GTEST_SKIP() << "needs tests/fakesite/run-with-site.sh";
    cls::ForceDirectories(engine::DataFolder);
    EscribirArchivoConfig(L"NoMostrarMsgDonar", L"1");
    cls::TStringList history;
    for (const wchar_t* line : {L"10150000000101>A clip", L"222>Other video"}) history.Add(line);
    ASSERT_TRUE(history.SaveToFile(HistoryFileName()));
    UpdateFileURL = L"http://newer.kvupdate.test/download/KV.currver";
    TRealWindowsMain& f = Open<TRealWindowsMain>();

    auto up = [] { return true; };
    struct Case {
        const char* name;
        std::function<void()> open;
        std::function<HWND()> window;
        std::function<bool()> ready;
    } cases[] = {
        {"result panels",
         [&] {
             // Each search frees the last one's panels and builds its own.
             f.EdtEnlace->SetText(L"https://www.facebook.com/video.php?v=10150000000101");
             f.EdtEnlace->SetFocus();
             PressKey(VK_RETURN);
             WaitForSearch();
             EXPECT_TRUE(f.HasVideoPanels());
         },
         [] { return HWND(nullptr); }, up},
        {"login", [&] { OpenLoginWindow(&f, false); }, [] { return HandleOf(FrmLogin); },
         [&] {
             browser_->Load(logintest::PageBytes(L"LOGINPAGE_LOGIN"));
             return true;
         }},
        {"user ID", [&] { f.FindFacebookUserID1->Click(); }, [] { return HandleOf(FrmFindFacebookUserID); }, up},
        {"search links", [&] { f.SearchPublicVideoLinks1->Click(); },
         [] { return HandleOf(FrmSearchFacebookVideoLinks); }, up},
        {"About", [&] { f.MnuAcercaDe->Click(); }, [] { return HandleOf(FrmAbout); }, up},
        {"Donate", [&] { f.MnuDonar->Click(); }, [] { return HandleOf(FrmDonate); }, up},
        {"updater", [&] { f.MnuCheckUpdates->Click(); }, [] { return HandleOf(FrmActualizador); },
         [] { return FrmActualizador->BtnDescargar->Visible(); }},
        {"destination folder", [&] { f.MnuSelDestFolder->Click(); }, [] { return HandleOf(FrmDestinationFolder); },
         up},
        {"clean history", [&] { f.MnuLimpiarHistorial->Click(); }, [] { return HandleOf(FrmHistorial); }, up},
    };
    constexpr int Opened = 10;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // The first one registers its window classes and fills the caches.
        OpenAndClose(c.open, c.window, c.ready);
        const GdiObjects before = CountGdiObjects();
        for (int i = 0; i < Opened; ++i) OpenAndClose(c.open, c.window, c.ready);
        ExpectNoGrowthPerWindow(before, CountGdiObjects(), Opened);
    }
}

}  // namespace
