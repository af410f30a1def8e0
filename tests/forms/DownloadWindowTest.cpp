#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "app/History.h"
#include "classlib/Button.h"
#include "classlib/Files.h"
#include "classlib/Label.h"
#include "components/DrawnProgressBar.h"
#include "classlib/Strings.h"
#include "forms/DownloadStart.h"
#include "tests/forms/DownloadTestSupport.h"
#include "tests/support/TestPictures.h"

using namespace app;
using namespace downloadtest;
using cls::Contains;
using cls::EndsWith;
using cls::StartsWith;

namespace {

const std::wstring kId = L"10150000000101";
const std::wstring kCdn = L"https://video.xx.fbcdn.net/stream/";

std::wstring SdLine(const std::wstring& streamPath) { return kCdn + streamPath + L"&src=sd&"; }

std::string FileBytes(const std::wstring& path) {
    std::string data;
    cls::ReadFileBytes(path, data);
    return data;
}

class DownloadWindowTest : public DownloadFixture {
protected:
    void SetUp() override {
        if (!SiteAvailable()) GTEST_SKIP() << "needs the fake site (tests/fakesite/run-with-site.sh)";
    }

    // A result panel with one sd stream of the given path; returns its label.
    cls::TLabel* SdLabel(const std::wstring& streamPath, const std::wstring& title = L"A clip") {
        return Panel({SdLine(streamPath)}, kId, title)->Links().at(0).Label;
    }

    TFrmDownloading* Start(cls::TLabel* label) {
        DownloadLabelClick(label);
        EXPECT_NE(FrmDownloading, nullptr);
        return FrmDownloading;
    }

    bool WaitForProgress() {
        return WaitFor([] { return FrmDownloading && Contains(FrmDownloading->Label2->Caption(), L"Downloaded "); });
    }
};

TEST_F(DownloadWindowTest, CompleteDownloadCanBePlayed) {
    cls::WriteFileBytes(engine::ThumbnailsFolder + kId + L".jpg", testing_support::RedBlueJpeg(160, 120));
    cls::TLabel* label = SdLabel(L"50000/clip.mp4?x=1", L"Clip: one");
    TFrmDownloading* w = Start(label);
    const std::wstring path = Downloaded(L"Clip_ one (SD).mp4");

    // Starting state.
    EXPECT_TRUE(DownloadRunning);
    EXPECT_TRUE(DownloadFormExists);
    EXPECT_EQ(w->Caption(), L"Initializing Download");
    EXPECT_EQ(w->Phase(), TDownloadPhase::Running);
    EXPECT_EQ(w->BtnCancelar->Caption(), L"Cancel");
    EXPECT_EQ(w->Label2->Caption(), L"Getting video information, please wait...");
    EXPECT_EQ(w->Label1->Caption(), L"Clip_ one (SD).mp4");
    EXPECT_EQ(w->HG->FileName, path);
    EXPECT_EQ(w->HG->URL, kCdn + L"50000/clip.mp4?x=1");
    EXPECT_TRUE(w->DrawnProgressBar1->Marquee());
    EXPECT_FALSE(menusEnabled);
    EXPECT_EQ(w->PopupParent(), main);
    ASSERT_NE(w->ImgThumbnail->Graphic(), nullptr);
    EXPECT_EQ(w->ImgThumbnail->Graphic()->Width(), 97);
    // Over the main window's lower right corner.
    EXPECT_EQ(w->Left() + w->Width(), main->Left() + main->Width() - 54);
    EXPECT_EQ(w->Top() + w->Height(), main->Top() + main->Height() - 10);
    // The video entered the history at the top.
    std::vector<THistoryEntry> history = LoadAndCleanHistory();
    ASSERT_FALSE(history.empty());
    EXPECT_EQ(history[0].Id, kId);
    EXPECT_EQ(history[0].Title, L"Clip: one");

    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(FileBytes(path), SitePattern(50000));
    EXPECT_EQ(w->Caption(), L"Download Complete");
    EXPECT_EQ(w->Label2->Caption(), L"Download completed successfully.");
    EXPECT_EQ(w->DrawnProgressBar1->Position(), 100);
    EXPECT_TRUE(w->BtnPlay->Visible());
    EXPECT_EQ(w->BtnPlay->Caption(), L"Play");
    EXPECT_TRUE(w->BtnOpen->Visible());
    EXPECT_EQ(w->BtnOpen->Caption(), L"Open Folder");
    EXPECT_EQ(w->BtnCancelar->Caption(), L"Close");
    EXPECT_EQ(w->Phase(), TDownloadPhase::Complete);
    EXPECT_EQ(label->Caption(), L"Play video in Standard Definition");
    EXPECT_EQ(label->HelpKeyword, path);

    const int left = w->Left(), top = w->Top();
    w->BtnPlay->Click();
    ASSERT_EQ(shell.size(), 1u);
    EXPECT_EQ(shell[0].verb, L"Open");
    EXPECT_EQ(shell[0].file, L"\"" + path + L"\"");
    EXPECT_EQ(shell[0].dir, cls::IncludeTrailingPathDelimiter(downloadDir));
    ASSERT_TRUE(WaitFor([] { return !DownloadFormExists; }));
    EXPECT_EQ(FrmDownloading, nullptr);
    EXPECT_TRUE(menusEnabled);
    EXPECT_EQ(DownloadFormLeft, left);
    EXPECT_EQ(DownloadFormTop, top);

    // The same stream again, from a new search: a numbered name, and the
    // new window where the last one was left.
    cls::TLabel* again = SdLabel(L"50000/clip.mp4?x=1", L"Clip: one");
    TFrmDownloading* w2 = Start(again);
    EXPECT_EQ(w2->Left(), left);
    EXPECT_EQ(w2->Top(), top);
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(FileBytes(Downloaded(L"Clip_ one (SD) (1).mp4")), SitePattern(50000));
}

TEST_F(DownloadWindowTest, SnapshotIsViewed) {
    cls::TLabel* label =
        Panel({L"https://scontent.xx.fbcdn.net/stream/3000/snap.jpg?oh=5&src=snapshot&"}, kId, L"Pic")
            ->Links()
            .at(0)
            .Label;
    TFrmDownloading* w = Start(label);
    EXPECT_EQ(w->Label2->Caption(), L"Getting snapshot information, please wait...");
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(FileBytes(Downloaded(L"Pic (snapshot).jpg")), SitePattern(3000));
    EXPECT_EQ(w->BtnPlay->Caption(), L"View");
    EXPECT_EQ(label->Caption(), L"View Snapshot");
}

TEST_F(DownloadWindowTest, ProgressOnTheTaskbarWhileActive) {
    cls::TLabel* label = SdLabel(L"40000/clip.mp4?trickle=20&chunk=4096");
    TFrmDownloading* w = Start(label);
    cls::Application.ActivateApp(true);
    ASSERT_GE(taskbar.Progress().size(), 1u);
    EXPECT_EQ(taskbar.Progress()[0], std::make_pair(0ULL, 100ULL));
    ASSERT_GE(taskbar.Flags().size(), 1u);
    EXPECT_EQ(taskbar.Flags().back(), TBPF_INDETERMINATE);

    // Moving over the window while the transfer runs leaves the taskbar alone.
    ASSERT_TRUE(WaitForProgress());
    EXPECT_FALSE(w->DrawnProgressBar1->Marquee());
    EXPECT_TRUE(EndsWith(w->Caption(), L"% Downloaded"));
    size_t states = taskbar.Flags().size();
    w->FormMouseMove(w, 0, 1, 1);
    EXPECT_EQ(taskbar.Flags().size(), states);

    ASSERT_TRUE(WaitForEnd());
    for (size_t i = 1; i < taskbar.Progress().size(); ++i) {
        EXPECT_LE(taskbar.Progress()[i - 1].first, taskbar.Progress()[i].first);
        EXPECT_EQ(taskbar.Progress()[i].second, 100ULL);
    }
    EXPECT_EQ(taskbar.Progress().back().first, 100ULL);
    EXPECT_EQ(taskbar.Flags().back(), TBPF_NOPROGRESS);
}

TEST_F(DownloadWindowTest, CancelDeletesThePartialFileAndRestartDownloadsAgain) {
    cls::TLabel* label = SdLabel(L"60000/clip.mp4?trickle=40&chunk=4096");
    TFrmDownloading* w = Start(label);
    const std::wstring path = Downloaded(L"A clip (SD).mp4");
    ASSERT_TRUE(WaitForProgress());
    cls::Application.ActivateApp(false);
    EXPECT_TRUE(cls::FileExists(path));

    w->BtnCancelar->Click();
    EXPECT_EQ(w->BtnCancelar->Caption(), L"Canceling...");
    EXPECT_EQ(w->Phase(), TDownloadPhase::Canceling);
    EXPECT_FALSE(w->BtnCancelar->Enabled());
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(w->Caption(), L"Download Canceled");
    EXPECT_EQ(w->Label2->Caption(), L"Download canceled manually.");
    EXPECT_EQ(w->DrawnProgressBar1->Color(), cls::clYellow);
    EXPECT_GE(w->DrawnProgressBar1->Position(), 2);
    EXPECT_TRUE(w->BtnCancelar->Enabled());
    EXPECT_EQ(w->BtnCancelar->Caption(), L"Close");
    EXPECT_TRUE(w->BtnOpen->Visible());
    EXPECT_EQ(w->BtnOpen->Caption(), L"Restart");
    EXPECT_EQ(w->Phase(), TDownloadPhase::Canceled);
    EXPECT_FALSE(w->BtnPlay->Visible());
    EXPECT_FALSE(cls::FileExists(path));
    EXPECT_EQ(taskbar.Flags().back(), TBPF_PAUSED);
    EXPECT_EQ(label->Caption(), L"Download video in Standard Definition");

    // Moving over the finished window clears the taskbar.
    w->FormMouseMove(w, 0, 1, 1);
    EXPECT_EQ(taskbar.Flags().back(), TBPF_NOPROGRESS);

    w->BtnOpen->Click();
    EXPECT_TRUE(DownloadRunning);
    EXPECT_EQ(w->Caption(), L"Initializing Download");
    EXPECT_EQ(w->Phase(), TDownloadPhase::Running);
    EXPECT_EQ(w->BtnCancelar->Caption(), L"Cancel");
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(w->Caption(), L"Download Complete");
    EXPECT_EQ(FileBytes(path), SitePattern(60000));
}

TEST_F(DownloadWindowTest, CancelAtZeroShowsASmallSegment) {
    TFrmDownloading* w = Start(SdLabel(L"9000/clip.mp4?stall=0"));
    cls::Application.ActivateApp(false);
    w->BtnCancelar->Click();
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(w->DrawnProgressBar1->Position(), 2);
    EXPECT_EQ(taskbar.Progress().back(), std::make_pair(2ULL, 100ULL));
    EXPECT_EQ(taskbar.Flags().back(), TBPF_PAUSED);
    EXPECT_FALSE(cls::FileExists(Downloaded(L"A clip (SD).mp4")));
}

TEST_F(DownloadWindowTest, FailedTransfersAreNeverComplete) {
    struct Case {
        std::wstring url;
        const char* why;
    } cases[] = {
        {kCdn + L"5000/clip.mp4?status=404", "error status with a full body"},
        {kCdn + L"5000/clip.mp4?nolength=1&status=500", "error status without a size"},
        {kCdn + L"20000/clip.mp4?short=7000", "short body"},
        {kCdn + L"0/clip.mp4?nolength=1", "empty body without a size"},
        {L"https://cdn.nowhere.invalid/stream/5000/clip.mp4", "unreachable host"},
        {L"https://unlisted.fakesite.test:99999/x.mp4", "address that cannot be split"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        cls::TLabel* label = Panel({c.url + L"&src=sd&"})->Links().at(0).Label;
        TFrmDownloading* w = Start(label);
        cls::Application.ActivateApp(false);
        ASSERT_TRUE(WaitForEnd());
        EXPECT_EQ(w->Caption(), L"Download Error");
        EXPECT_EQ(w->Label2->Caption(), L"Error when trying to download the video.");
        EXPECT_EQ(w->DrawnProgressBar1->Color(), cls::clRed);
        EXPECT_GE(w->DrawnProgressBar1->Position(), 2);
        EXPECT_EQ(w->BtnOpen->Caption(), L"Try Again");
        EXPECT_EQ(w->BtnCancelar->Caption(), L"Close");
        EXPECT_EQ(w->Phase(), TDownloadPhase::Failed);
        EXPECT_TRUE(w->BtnOpen->Visible());
        EXPECT_FALSE(w->BtnPlay->Visible());
        EXPECT_FALSE(cls::FileExists(w->HG->FileName));
        EXPECT_EQ(label->Caption(), L"Download video in Standard Definition");
        EXPECT_TRUE(label->HelpKeyword.empty());
        EXPECT_EQ(taskbar.Flags().back(), TBPF_ERROR);
    }
}

TEST_F(DownloadWindowTest, UnknownSizeKeepsTheMarqueeAndCompletesWhenTheBodyEndsCleanly) {
    cls::TLabel* label = SdLabel(L"30000/clip.mp4?nolength=1&trickle=30&chunk=4096");
    TFrmDownloading* w = Start(label);
    ASSERT_TRUE(WaitForProgress());
    EXPECT_TRUE(w->DrawnProgressBar1->Marquee());
    EXPECT_TRUE(EndsWith(w->Label2->Caption(), L" of unknown total size"));
    EXPECT_TRUE(EndsWith(w->Caption(), L" Downloaded"));
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(w->Caption(), L"Download Complete");
    EXPECT_EQ(FileBytes(Downloaded(L"A clip (SD).mp4")), SitePattern(30000));
    EXPECT_EQ(label->Caption(), L"Play video in Standard Definition");
}

TEST_F(DownloadWindowTest, TryAgainRunsOneNewTransfer) {
    const std::wstring stream = L"4000/tryagain.mp4?status=503";
    TFrmDownloading* w = Start(SdLabel(stream));
    ASSERT_TRUE(WaitForEnd());
    ASSERT_EQ(w->BtnOpen->Caption(), L"Try Again");
    w->BtnOpen->Click();
    EXPECT_TRUE(DownloadRunning);
    EXPECT_FALSE(w->BtnOpen->Visible());
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(w->Caption(), L"Download Error");
    EXPECT_EQ(CountRequests(L"/stream/4000/tryagain.mp4"), 2);
}

TEST_F(DownloadWindowTest, RestartClickedWhileTheCancelIsStillEndingStartsExactlyOnce) {
    TFrmDownloading* w = Start(SdLabel(L"24000/restart.mp4?stall=5000"));
    ASSERT_TRUE(WaitForProgress());
    // The click arrives while the end of the cancelled transfer is shown,
    // before its worker has let go of the component.
    auto shown = w->HG->OnError;
    bool clicked = false;
    w->HG->OnError = [&](engine::THTTPGet* sender) {
        PostMessageW(w->BtnOpen->Handle(), BM_CLICK, 0, 0);
        clicked = true;
        shown(sender);
        // Still ending: the restart is waiting, and the window says so.
        EXPECT_TRUE(DownloadRunning);
        EXPECT_TRUE(w->TransferActive());
    };
    w->BtnCancelar->Click();
    ASSERT_TRUE(WaitFor([&] { return clicked; }));
    EXPECT_TRUE(DownloadRunning);
    EXPECT_EQ(w->BtnCancelar->Caption(), L"Cancel");
    // The restarted transfer stalls as well; it is running, once.
    ASSERT_TRUE(WaitFor([&] { return CountRequests(L"/stream/24000/restart.mp4") == 2; }));
    EXPECT_TRUE(w->HG->Busy());
    EXPECT_TRUE(DownloadRunning);
    w->BtnCancelar->Click();
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(w->Caption(), L"Download Canceled");
    EXPECT_FALSE(w->TransferActive());
    EXPECT_EQ(CountRequests(L"/stream/24000/restart.mp4"), 2);
}

TEST_F(DownloadWindowTest, OneDownloadAtATime) {
    TVideoPanel* panel =
        Panel({SdLine(L"9000/one.mp4?stall=3000"), kCdn + L"9000/two.mp4&src=hd&"}, kId, L"Two");
    cls::TLabel* sd = panel->Links().at(0).Label;
    cls::TLabel* hd = panel->Links().at(1).Label;
    TFrmDownloading* w = Start(sd);
    ASSERT_TRUE(WaitForProgress());
    DownloadLabelClick(hd);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, L"Download engine active");
    EXPECT_EQ(boxes[0].flags, 64u);
    EXPECT_EQ(FrmDownloading, w);
    EXPECT_EQ(w->HG->URL, kCdn + L"9000/one.mp4?stall=3000");
    w->BtnCancelar->Click();
    ASSERT_TRUE(WaitForEnd());
    // Once it ended, the window is reused for the next label.
    DownloadLabelClick(hd);
    EXPECT_EQ(FrmDownloading, w);
    EXPECT_EQ(w->HG->URL, kCdn + L"9000/two.mp4");
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(FileBytes(Downloaded(L"Two (HD).mp4")), SitePattern(9000));
}

TEST_F(DownloadWindowTest, APlayLabelWhoseFileWentDownloadsAgain) {
    cls::TLabel* label = SdLabel(L"7000/again.mp4");
    Start(label);
    ASSERT_TRUE(WaitForEnd());
    ASSERT_EQ(label->Caption(), L"Play video in Standard Definition");
    cls::RemoveFile(label->HelpKeyword);
    DownloadLabelClick(label);
    EXPECT_EQ(label->Caption(), L"Download video in Standard Definition");
    EXPECT_TRUE(shell.empty());
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(FileBytes(Downloaded(L"A clip (SD).mp4")), SitePattern(7000));
}

TEST_F(DownloadWindowTest, TheWindowWillNotCloseWhileATransferRuns) {
    TFrmDownloading* w = Start(SdLabel(L"9000/clip.mp4?stall=6000"));
    ASSERT_TRUE(WaitForProgress());
    w->Close();
    EXPECT_EQ(FrmDownloading, w);
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(w->Caption(), L"Download Canceled");
    EXPECT_EQ(FrmDownloading, w);
    w->Close();
    ASSERT_TRUE(WaitFor([] { return !DownloadFormExists; }));
}

TEST_F(DownloadWindowTest, ClosingWhileCancelingWaitsForTheWorkerAndDeletesTheFile) {
    TFrmDownloading* w = Start(SdLabel(L"9000/clip.mp4?stall=6000"));
    const std::wstring path = Downloaded(L"A clip (SD).mp4");
    ASSERT_TRUE(WaitForProgress());
    w->BtnCancelar->Click();
    ASSERT_EQ(w->BtnCancelar->Caption(), L"Canceling...");
    w->Close();
    // The worker has let go of the file: it is gone before anything else runs.
    EXPECT_FALSE(cls::FileExists(path));
    EXPECT_FALSE(DownloadRunning);
    ASSERT_TRUE(WaitFor([] { return !DownloadFormExists; }));
    EXPECT_EQ(FrmDownloading, nullptr);
    EXPECT_TRUE(menusEnabled);
}

TEST_F(DownloadWindowTest, ExitAbortsTheRunningDownload) {
    TFrmDownloading* w = Start(SdLabel(L"9000/clip.mp4?stall=6000"));
    const std::wstring path = Downloaded(L"A clip (SD).mp4");
    ASSERT_TRUE(WaitForProgress());
    ASSERT_TRUE(cls::FileExists(path));
    (void)w;
    AbortDownloadForExit();
    EXPECT_FALSE(cls::FileExists(path));
    EXPECT_EQ(FrmDownloading, nullptr);
    EXPECT_FALSE(DownloadRunning);
    EXPECT_FALSE(DownloadFormExists);
    EXPECT_TRUE(menusEnabled);
    EXPECT_EQ(taskbar.Flags().back(), TBPF_NOPROGRESS);
}

// --- shell calls, no transfer needed ---------------------------------------------------

class ShellCallsTest : public DownloadFixture {
protected:
    std::wstring ShortName(const std::wstring& path) {
        wchar_t buffer[MAX_PATH];
        DWORD n = GetShortPathNameW(path.c_str(), buffer, MAX_PATH);
        return n ? std::wstring(buffer, n) : path;
    }
};

TEST_F(ShellCallsTest, OpenFolderSelectsTheFileInExplorerByItsFullPath) {
    const std::wstring file = tmp_.Write(L"My clip (SD).mp4", "x");
    ShowFileInFolder(file);
    ASSERT_EQ(shell.size(), 1u);
    EXPECT_EQ(shell[0].verb, L"Open");
    EXPECT_EQ(shell[0].file, ExplorerPath());
    EXPECT_EQ(shell[0].params, L"/select, \"" + ShortName(file) + L"\"");
    EXPECT_EQ(shell[0].show, SW_SHOWNORMAL);

    // The file gone: its folder; the folder gone: a message.
    cls::RemoveFile(file);
    ShowFileInFolder(file);
    ASSERT_EQ(shell.size(), 2u);
    EXPECT_EQ(shell[1].file, ExplorerPath());
    EXPECT_EQ(shell[1].params, L"\"" + cls::ExcludeTrailingPathDelimiter(ShortName(tmp_.Path())) + L"\"");
    ShowFileInFolder(tmp_.Path() + L"gone\\My clip (SD).mp4");
    EXPECT_EQ(shell.size(), 2u);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"The download folder does not exist or was moved/renamed manually.");
    EXPECT_EQ(boxes[0].caption, L"Download folder not available");
    EXPECT_EQ(boxes[0].flags, 48u);
}

TEST_F(ShellCallsTest, NoAssociatedProgramOffersTheAlternatives) {
    const std::wstring file = tmp_.Write(L"clip (HD).webm", "x");
    struct Case {
        int answer;
        std::wstring file, params;
    } cases[] = {
        {IDYES, CodecPackAddress, L""},
        {IDNO, Rundll32Path(), L"shell32.dll,OpenAs_RunDLL " + file},
        {IDCANCEL, ExplorerPath(), L"/select, \"" + ShortName(file) + L"\""},
    };
    for (const auto& c : cases) {
        shell.clear();
        boxes.clear();
        shellResult = SE_ERR_NOASSOC;
        boxAnswer = c.answer;
        PlayDownloadedFile(file);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, L"No player associated");
        EXPECT_EQ(boxes[0].flags, 51u);
        EXPECT_TRUE(StartsWith(boxes[0].text, L"Apparently there is no associated player to open WEBM video files"));
        EXPECT_TRUE(EndsWith(boxes[0].text, L"\nClick Cancel to open the download folder."));
        ASSERT_EQ(shell.size(), 2u) << c.answer;
        EXPECT_EQ(shell[0].file, L"\"" + file + L"\"");
        EXPECT_EQ(shell[1].verb, L"Open");
        EXPECT_EQ(shell[1].file, c.file);
        EXPECT_EQ(shell[1].params, c.params);
    }
}

TEST_F(ShellCallsTest, OtherFailuresAndMissingFilesOfferTheFolder) {
    const std::wstring file = tmp_.Write(L"clip (SD).mp4", "x");
    shellResult = SE_ERR_ACCESSDENIED;
    boxAnswer = IDYES;
    PlayDownloadedFile(file);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, L"Unable to play the file");
    EXPECT_EQ(boxes[0].flags, 52u);
    ASSERT_EQ(shell.size(), 2u);
    EXPECT_EQ(shell[1].file, ExplorerPath());
    EXPECT_EQ(shell[1].params, L"\"" + cls::ExcludeTrailingPathDelimiter(ShortName(tmp_.Path())) + L"\"");

    cls::RemoveFile(file);
    boxAnswer = IDNO;
    PlayDownloadedFile(file);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].caption, L"Video file not available");
    EXPECT_EQ(boxes[1].flags, 52u);
    EXPECT_EQ(shell.size(), 2u);
}

}  // namespace
