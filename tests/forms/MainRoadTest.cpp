// The program's main road inside the real main window: a search through
// the link box builds the result panel, a click on one of its links
// downloads the stream from the fake site through the download window, and
// Exit stops a download that is still running.
#include <windows.h>

#include <string>
#include <vector>

#include "DownloadTestSupport.h"
#include "MainWindowTestSupport.h"
#include "app/History.h"
#include "classlib/Button.h"
#include "classlib/Files.h"
#include "classlib/Image.h"
#include "classlib/ImgList.h"
#include "classlib/Label.h"
#include "classlib/ListView.h"
#include "classlib/Menus.h"
#include "classlib/ScrollBox.h"
#include "classlib/StringList.h"
#include "classlib/Strings.h"
#include "forms/DownloadState.h"
#include "forms/VideoPanel.h"
#include "forms/uFrmDownloading.h"

using namespace app;
using namespace mainwin_test;
using formstest::Pump;

namespace {

const std::wstring kVideo101 = L"https://www.facebook.com/video.php?v=10150000000101";
const std::wstring kTitle101 = L"Ben \"The Chef\" Cooks Pasta 'Al Dente' & More";
const std::wstring kSdCaption = L"Download video in Standard Definition";
constexpr size_t kSdSize101 = 262161;

#define REQUIRE_SITE() \
    if (!SiteRunning()) GTEST_SKIP() << "needs tests/fakesite/run-with-site.sh"

class MainRoad : public MainWindowTest {
protected:
    MainRoad() {
        // The window creates the taskbar progress; this one records it.
        components::ReleaseTaskbarAPI();
        components::TaskbarListFactory = [this](cls::ComPtr<ITaskbarList3>& list) {
            list = cls::ComPtr<ITaskbarList3>(&taskbar_, true);
            return S_OK;
        };
    }
    ~MainRoad() override {
        if (FrmDownloading) AbortDownloadForExit();
        Pump(20);
        CloseWindow();
        components::ReleaseTaskbarAPI();
        components::TaskbarListFactory = nullptr;
    }

    void Search(const std::wstring& link) {
        form_->EdtEnlace->SetText(link);
        form_->EdtEnlace->SetFocus();
        PressKey(VK_RETURN);
        WaitForSearch();
    }

    std::vector<TVideoPanel*> Panels() const {
        std::vector<TVideoPanel*> r;
        for (int i = 0; i < form_->ScllVideos->ControlCount(); ++i)
            if (auto* p = dynamic_cast<TVideoPanel*>(form_->ScllVideos->Controls(i))) r.push_back(p);
        return r;
    }

    static cls::TLabel* LinkLabel(const TVideoPanel& panel, const std::wstring& caption) {
        for (const auto& link : panel.Links())
            if (link.Label->Caption() == caption) return link.Label;
        return nullptr;
    }

    // A panel of one SD link to a generated stream of the fake site.
    cls::TLabel* StreamPanel(const std::wstring& query, const std::wstring& title) {
        cls::TStringList list;
        list.Add(L"https://video.xx.fbcdn.net/stream/262144/clip.mp4?" + query + L"&src=sd&");
        TVideoPanel* panel = app::CreateVideoPanel(list, L"10150000000199", title, title);
        return panel ? LinkLabel(*panel, kSdCaption) : nullptr;
    }

    bool DownloadMenusEnabled() const {
        return form_->MnuSelDestFolder->Enabled() && form_->MnuHistorial->Enabled() &&
               form_->LblLimpiarHistorial->Enabled();
    }
    bool DownloadMenusDisabled() const {
        return !form_->MnuSelDestFolder->Enabled() && !form_->MnuHistorial->Enabled() &&
               !form_->LblLimpiarHistorial->Enabled();
    }

    static std::string HistoryBytes() {
        std::string bytes;
        cls::ReadFileBytes(HistoryFileName(), bytes);
        return bytes;
    }

    downloadtest::RecordingTaskbarList taskbar_;
};

TEST_F(MainRoad, WindowConnectsItsPartsToTheResultPanels) {
    TTestMainWindow& f = Open();
    EXPECT_TRUE(TaskbarProgressAvailable);
    EXPECT_EQ(VideoPanelHost.MainForm, &f);
    EXPECT_EQ(VideoPanelHost.ResultsArea, f.ScllVideos);
    EXPECT_EQ(VideoPanelHost.CameraImages, f.ImageList3);
    EXPECT_EQ(VideoPanelHost.ThumbDefault, f.ImgThumbDefault);
    EXPECT_EQ(f.ImageList3->Width(), 13);
    EXPECT_EQ(f.ImageList3->Height(), 10);
    ASSERT_TRUE(VideoPanelHost.TaskbarProgressAvailable);
    EXPECT_TRUE(VideoPanelHost.TaskbarProgressAvailable());

    ASSERT_TRUE(VideoPanelHost.SetDownloadMenusEnabled);
    VideoPanelHost.SetDownloadMenusEnabled(false);
    EXPECT_TRUE(DownloadMenusDisabled());
    VideoPanelHost.SetDownloadMenusEnabled(true);
    EXPECT_TRUE(DownloadMenusEnabled());

    ASSERT_TRUE(VideoPanelHost.WorkAnimationVisible);
    f.MostrarPnlMsgs(L"Searching videos, please wait...", MsgWorking);
    EXPECT_TRUE(VideoPanelHost.WorkAnimationVisible());
    f.MostrarPnlMsgs(L"The History is empty.", MsgInformation);
    EXPECT_FALSE(VideoPanelHost.WorkAnimationVisible());

    // A click on a panel hides the history drop-down.
    cls::TStringList list;
    list.Add(L"https://video.xx.fbcdn.net/v/clip.mp4?src=sd&");
    f.ShowHistoryPanel();
    TVideoPanel* panel = app::CreateVideoPanel(list, L"10150000000199", L"Clip", L"Clip");
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->Parent(), f.ScllVideos);
    ASSERT_TRUE(panel->OnMouseDown);
    panel->OnMouseDown(panel, cls::mbLeft, 0, 5, 5);
    EXPECT_FALSE(f.PnlHistorial->Visible());
    EXPECT_TRUE(f.HasVideoPanels());
    f.FreeVideoPanels();
    EXPECT_TRUE(Panels().empty());

    // Nothing of a window that has gone stays reachable.
    CloseWindow();
    EXPECT_EQ(VideoPanelHost.MainForm, nullptr);
    EXPECT_FALSE(VideoPanelHost.SetDownloadMenusEnabled);
}

TEST_F(MainRoad, SearchDownloadAndPlay) {
    REQUIRE_SITE();
    TTestMainWindow& f = Open();
    // The program's own camera pictures, as the program carries them.
    const std::wstring exe = cls::ExtractFilePath(cls::GetModuleFileNameStr()) + L"Korvelink.exe";
    HMODULE program = cls::FileExists(exe) ? LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE) : nullptr;
    if (program) {
        EXPECT_EQ(AddCameraPictures(*f.ImageList3, program), 2);
        FreeLibrary(program);
    }

    Search(kVideo101);
    std::vector<TVideoPanel*> panels = Panels();
    ASSERT_EQ(panels.size(), 1u);
    TVideoPanel& panel = *panels[0];
    EXPECT_EQ(panel.TitleLabel->Caption(), kTitle101);
    // The snapshot was stored as the thumbnail: no placeholder.
    EXPECT_EQ(panel.Frame->PenColor(), FrameColorLoaded);
    struct Row {
        std::wstring caption;
        int top;
    };
    const Row rows[] = {{L"Download Snapshot", 71}, {kSdCaption, 97}, {L"Download video in High Definition", 123}};
    ASSERT_EQ(panel.Links().size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(panel.Links()[i].Label->Caption(), rows[i].caption);
        EXPECT_EQ(panel.Links()[i].Label->Top(), rows[i].top);
        if (program) {
            EXPECT_NE(panel.Links()[i].Icon->Graphic(), nullptr) << i;
        }
    }

    cls::TLabel* sd = LinkLabel(panel, kSdCaption);
    ASSERT_NE(sd, nullptr);
    ASSERT_TRUE(sd->OnClick);
    sd->OnClick(sd);

    // Started: the history has the video at its top at once, the menus that
    // would disturb the download are off, the window sits over the main
    // window's lower right corner.
    ASSERT_NE(FrmDownloading, nullptr);
    TFrmDownloading& w = *FrmDownloading;
    const std::string bom = "\xEF\xBB\xBF";
    EXPECT_EQ(HistoryBytes().rfind(bom + "10150000000101>" + cls::WideToUtf8(kTitle101) + "\r\n", 0), 0u);
    EXPECT_TRUE(DownloadMenusDisabled());
    EXPECT_EQ(w.Left(), f.Left() + f.Width() - w.Width() - 54);
    EXPECT_EQ(w.Top(), f.Top() + f.Height() - w.Height() - 10);
    // Ctrl+D ("Download Folder...") does nothing while the window exists.
    {
        formstest::HeldKeys ctrl({VK_CONTROL});
        PressKey('D');
    }
    EXPECT_TRUE(f.opened.empty());

    ASSERT_TRUE(formstest::PumpUntil([] { return !DownloadRunning; }, 20000));
    EXPECT_EQ(w.Caption(), L"Download Complete");
    const std::wstring file = cls::IncludeTrailingPathDelimiter(DownloadFolder) +
                              L"Ben _The Chef_ Cooks Pasta 'Al Dente' _ More (SD).mp4";
    EXPECT_EQ(cls::ExcludeTrailingPathDelimiter(cls::ExtractFilePath(file)),
              engine::DocumentsFolder + L"Korvelink");
    std::string bytes;
    ASSERT_TRUE(cls::ReadFileBytes(file, bytes));
    EXPECT_TRUE(bytes == downloadtest::SitePattern(kSdSize101)) << bytes.size() << " bytes";
    EXPECT_EQ(sd->Caption(), L"Play video in Standard Definition");
    EXPECT_EQ(sd->HelpKeyword, file);
    // The taskbar button showed the download from its start.
    ASSERT_FALSE(taskbar_.Flags().empty());
    EXPECT_EQ(taskbar_.Flags().front(), TBPF_INDETERMINATE);

    // Closing the finished window gives the menus back.
    w.BtnCancelar->Click();
    ASSERT_TRUE(formstest::PumpUntil([] { return FrmDownloading == nullptr && !DownloadFormExists; }));
    EXPECT_TRUE(DownloadMenusEnabled());
    EXPECT_EQ(taskbar_.Flags().back(), TBPF_NOPROGRESS);
    {
        formstest::HeldKeys ctrl({VK_CONTROL});
        PressKey('D');
    }
    EXPECT_EQ(f.opened, std::vector<std::wstring>{L"DestinationFolder"});

    // The label now plays the file it brought.
    launches_.clear();
    sd->OnClick(sd);
    ASSERT_EQ(launches_.size(), 1u);
    EXPECT_EQ(launches_[0].verb, L"Open");
    EXPECT_EQ(launches_[0].file, L"\"" + file + L"\"");
    EXPECT_EQ(FrmDownloading, nullptr);
}

TEST_F(MainRoad, NewSearchDuringADownloadLeavesTheOldLabelAlone) {
    REQUIRE_SITE();
    TTestMainWindow& f = Open();
    // About two seconds of transfer: long enough for a search meanwhile.
    cls::TLabel* label = StreamPanel(L"trickle=60&chunk=8192", L"Slow clip");
    ASSERT_NE(label, nullptr);
    label->OnClick(label);
    ASSERT_NE(FrmDownloading, nullptr);
    EXPECT_EQ(FrmDownloading->Lbl1, label);

    Search(kVideo101);
    ASSERT_EQ(Panels().size(), 1u);
    EXPECT_EQ(Panels()[0]->TitleLabel->Caption(), kTitle101);
    ASSERT_NE(FrmDownloading, nullptr);
    EXPECT_TRUE(DownloadRunning) << "the download ended before the search did";
    EXPECT_EQ(FrmDownloading->Lbl1, nullptr);

    ASSERT_TRUE(formstest::PumpUntil([] { return !DownloadRunning; }, 20000));
    EXPECT_EQ(FrmDownloading->Caption(), L"Download Complete");
    // The end of the download touched no label of the new panel.
    for (const auto& link : Panels()[0]->Links())
        EXPECT_TRUE(cls::StartsWith(link.Label->Caption(), L"Download ")) << cls::WideToUtf8(link.Label->Caption());
    EXPECT_TRUE(cls::FileExists(cls::IncludeTrailingPathDelimiter(DownloadFolder) + L"Slow clip (SD).mp4"));
    // The search gave back its own controls, not the download's.
    EXPECT_TRUE(DownloadMenusDisabled());
    EXPECT_TRUE(f.MnuOpciones->Enabled());
}

TEST_F(MainRoad, ExitDuringADownloadStopsItAndDeletesThePartialFile) {
    REQUIRE_SITE();
    using ExitCommand = void (TFrmKorvelink::*)(cls::TComponent*);
    const std::pair<const char*, ExitCommand> exits[] = {{"icon menu", &TFrmKorvelink::PopItemSalirClick},
                                                         {"main menu", &TFrmKorvelink::MnuSalirClick}};
    for (const auto& [name, command] : exits) {
        SCOPED_TRACE(name);
        TTestMainWindow& f = Open();
        // The site sends the first 32 KB and then nothing more.
        cls::TLabel* label = StreamPanel(L"stall=32768", L"Stalled clip");
        ASSERT_NE(label, nullptr);
        label->OnClick(label);
        ASSERT_NE(FrmDownloading, nullptr);
        TFrmDownloading* w = FrmDownloading;
        const std::wstring file = w->HG->FileName;
        ASSERT_TRUE(formstest::PumpUntil([&] { return cls::StartsWith(w->Label2->Caption(), L"Downloaded "); }, 15000));
        ASSERT_TRUE(cls::FileExists(file));
        ASSERT_TRUE(DownloadRunning);

        formstest::TakeQuit();
        (f.*command)(nullptr);

        EXPECT_FALSE(cls::FileExists(file));
        EXPECT_EQ(FrmDownloading, nullptr);
        EXPECT_FALSE(DownloadRunning);
        EXPECT_FALSE(DownloadFormExists);
        EXPECT_FALSE(f.TrayIcon1->IconVisible());
        // The main window closed, which ends the message loop.
        EXPECT_EQ(formstest::TakeQuit(), 0);
        Pump(50);
        EXPECT_FALSE(cls::FileExists(file));
    }
}

}  // namespace
