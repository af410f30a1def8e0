#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/History.h"
#include "classlib/Bitmap.h"
#include "classlib/Files.h"
#include "classlib/Picture.h"
#include "classlib/Strings.h"
#include "forms/DownloadStart.h"
#include "tests/forms/DownloadTestSupport.h"
#include "tests/support/TestPictures.h"

using namespace app;
using namespace downloadtest;

namespace {

const std::wstring kSnap = L"https://scontent.xx.fbcdn.net/v/snap.jpg?oh=1&src=snapshot&";
const std::wstring kSd = L"https://video.xx.fbcdn.net/v/sd.mp4?oh=2&src=sd&";
const std::wstring kHd = L"https://video.xx.fbcdn.net/v/hd.mp4?oh=3&src=hd&";

struct Row {
    std::wstring caption;
    int iconTop, labelTop;
    uint32_t iconPixel;
};

std::vector<Row> Rows(TVideoPanel* panel) {
    std::vector<Row> rows;
    for (const auto& link : panel->Links()) {
        cls::TBitmap bitmap;
        if (link.Icon->Graphic()) link.Icon->Graphic()->ToBitmap(bitmap);
        rows.push_back({link.Label->Caption(), link.Icon->Top(), link.Label->Top(),
                        bitmap.Width() ? bitmap.Pixel(6, 5) | 0xFF000000 : 0});
        EXPECT_EQ(link.Icon->Left(), 220);
        EXPECT_EQ(link.Label->Left(), 243);
    }
    return rows;
}

class VideoPanelTest : public DownloadFixture {};

TEST_F(VideoPanelTest, PanelSitsAtTheTopOfTheResultsArea) {
    TVideoPanel* panel = Panel({kSd});
    EXPECT_EQ(panel->Name, L"PnlVideo");
    EXPECT_EQ(panel->Parent(), results);
    EXPECT_EQ(panel->Owner(), results);
    EXPECT_EQ(panel->Align(), cls::alTop);
    EXPECT_EQ(panel->Top(), 0);
    EXPECT_EQ(panel->Height(), 160);
    // No scroll bar came and went while it was placed.
    EXPECT_EQ(panel->Width(), results->ClientWidth());
    EXPECT_EQ(panel->TitleLabel->EllipsisPosition(), cls::epEndEllipsis);
}

TEST_F(VideoPanelTest, RowsFollowTheKindsPresent) {
    struct Case {
        std::vector<std::wstring> lines;
        std::vector<Row> rows;
    } cases[] = {
        {{kSnap}, {{L"Download Snapshot", 74, 71, SnapshotPixel}}},
        {{kHd, kSd},  // the hd line first in the list still goes below sd
         {{L"Download video in Standard Definition", 101, 97, VideoPixel},
          {L"Download video in High Definition", 127, 123, VideoPixel}}},
        {{kHd}, {{L"Download video in High Definition", 101, 97, VideoPixel}}},
        {{kSd, kHd, kSnap},
         {{L"Download Snapshot", 74, 71, SnapshotPixel},
          {L"Download video in Standard Definition", 101, 97, VideoPixel},
          {L"Download video in High Definition", 127, 123, VideoPixel}}},
        {{L"https://h/x.mp4&src=other&", L"https://h/y.mp4"}, {}},
    };
    for (const auto& c : cases) {
        TVideoPanel* panel = Panel(c.lines);
        std::vector<Row> rows = Rows(panel);
        ASSERT_EQ(rows.size(), c.rows.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(rows[i].caption, c.rows[i].caption);
            EXPECT_EQ(rows[i].iconTop, c.rows[i].iconTop);
            EXPECT_EQ(rows[i].labelTop, c.rows[i].labelTop);
            EXPECT_EQ(rows[i].iconPixel, c.rows[i].iconPixel);
        }
        delete panel;
    }
}

TEST_F(VideoPanelTest, LinkLabelsReactAsLinks) {
    TVideoPanel* panel = Panel({kSd});
    cls::TLabel* label = panel->Links().at(0).Label;
    EXPECT_EQ(label->Cursor(), cls::crHandPoint);
    EXPECT_FALSE(label->ShowHint());  // the hint carries fields, not a tip
    label->DoMouseMove(0, 3, 3);
    EXPECT_EQ(label->Font().Color(), LinkLabelHoverColor);
    label->DoMouseLeave();
    EXPECT_EQ(label->Font().Color(), LinkLabelColor);
}

TEST_F(VideoPanelTest, TipsShowTheTitleWithoutBars) {
    TVideoPanel* panel = Panel({kSd}, L"10150000000101", L"Left | right || end");
    const std::wstring tip = L"Title: Left _ right __ end\n" + CanonicalVideoAddress(L"10150000000101");
    EXPECT_EQ(panel->Thumbnail->Hint(), tip);
    EXPECT_TRUE(panel->Thumbnail->ShowHint());
    EXPECT_EQ(panel->TitleLabel->Hint(), tip);
    EXPECT_TRUE(panel->TitleLabel->ShowHint());
    // The caption keeps the whole title.
    EXPECT_EQ(panel->TitleLabel->Caption(), L"Left | right || end");
}

TEST_F(VideoPanelTest, DownloadFieldsSurviveATitleHoldingTheSeparator) {
    const std::wstring title = L"Odd \u00B4\u00B4 title: part 2";
    cls::TStringList list;
    list.Add(kSd);
    list.Add(kSnap);
    TVideoPanel* panel = CreateVideoPanel(list, L"10150000000101", title, L"Odd \u00B4\u00B4 ti...");
    cls::TLabel* snap = panel->Links().at(0).Label;
    cls::TLabel* sd = panel->Links().at(1).Label;

    const TDownloadFields* f = panel->FieldsOf(sd);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->Id, L"10150000000101");
    EXPECT_EQ(f->MediaUrl, L"https://video.xx.fbcdn.net/v/sd.mp4?oh=2");
    EXPECT_EQ(f->FileName, L"Odd \u00B4\u00B4 ti___ (SD).mp4");
    EXPECT_EQ(f->Title, title);
    // The hint is still built the old way, fields and all.
    EXPECT_EQ(sd->Hint(), JoinDownloadHint(*f));
    EXPECT_EQ(panel->FieldsOf(snap)->FileName, L"Odd \u00B4\u00B4 ti___ (snapshot).jpg");
    EXPECT_EQ(PanelOfLinkLabel(sd), panel);
    EXPECT_EQ(PanelOfLinkLabel(panel->TitleLabel), nullptr);
}

TEST_F(VideoPanelTest, StreamAddressesRoundTripWhateverTheirQueryHolds) {
    const struct {
        std::wstring address, kind, caption;
    } cases[] = {
        {L"https://video.xx.fbcdn.net/v/a.mp4?x=1&src=hd&y=2", L"sd", L"Download video in Standard Definition"},
        {L"https://video.xx.fbcdn.net/v/b.mp4?src=sd&SRC=SD&&src=sd&", L"hd", L"Download video in High Definition"},
        {L"https://scontent.xx.fbcdn.net/v/c.jpg?k=\u00B4\u00B4&src=snapshot", L"snapshot", L"Download Snapshot"},
        {L"https://video.xx.fbcdn.net/v/d.mp4?q=%26src%3Dhd%26&src=", L"hd", L"Download video in High Definition"},
    };
    for (const auto& c : cases) {
        TVideoPanel* panel = Panel({c.address + L"&src=" + c.kind + L"&"});
        ASSERT_EQ(panel->Links().size(), 1u) << cls::WideToUtf8(c.address);
        cls::TLabel* label = panel->Links()[0].Label;
        EXPECT_EQ(label->Caption(), c.caption);
        EXPECT_EQ(panel->FieldsOf(label) ? panel->FieldsOf(label)->MediaUrl : L"none", c.address);
        delete panel;
    }
}

TEST_F(VideoPanelTest, StoredThumbnailIsScaledIntoTheDarkFrame) {
    cls::WriteFileBytes(engine::ThumbnailsFolder + L"10150000000101.jpg", testing_support::RedBlueJpeg(320, 240));
    TVideoPanel* panel = Panel({kSd});
    ASSERT_NE(panel->Thumbnail->Graphic(), nullptr);
    EXPECT_EQ(panel->Thumbnail->Graphic()->Width(), 174);
    EXPECT_EQ(panel->Thumbnail->Graphic()->Height(), 130);
    cls::TBitmap shown;
    panel->Thumbnail->Graphic()->ToBitmap(shown);
    EXPECT_TRUE(testing_support::Near(shown.Pixel(20, 65), cls::MakeBGRA(255, 0, 0), 40));
    EXPECT_EQ(panel->Frame->PenColor(), FrameColorLoaded);
}

TEST_F(VideoPanelTest, MissingOrBrokenThumbnailShowsThePlaceholder) {
    for (bool broken : {false, true}) {
        if (broken) cls::WriteFileBytes(engine::ThumbnailsFolder + L"10150000000101.jpg", "\xFF\xD8 not a jpeg");
        TVideoPanel* panel = Panel({kSd});
        ASSERT_NE(panel->Thumbnail->Graphic(), nullptr) << broken;
        cls::TBitmap shown;
        panel->Thumbnail->Graphic()->ToBitmap(shown);
        EXPECT_EQ(shown.Pixel(10, 10) | 0xFF000000, cls::MakeBGRA(0x80, 0x80, 0x80)) << broken;
        EXPECT_EQ(panel->Frame->PenColor(), FrameColorPlaceholder) << broken;
        delete panel;
    }
}

TEST_F(VideoPanelTest, MouseDownOnThePanelHidesTheHistory) {
    TVideoPanel* panel = Panel({kSd});
    for (cls::TControl* c : std::initializer_list<cls::TControl*>{panel, panel->Frame, panel->Thumbnail,
                                                                  panel->TitleLabel})
        c->DoMouseDown(cls::mbLeft, 0, 1, 1);
    EXPECT_EQ(hideHistoryCalls, 4);
}

TEST_F(VideoPanelTest, FreeingThePanelDetachesTheDownloadWindowFromItsLabel) {
    TVideoPanel* panel = Panel({kSd});
    FrmDownloading = new TFrmDownloading(nullptr);
    DownloadFormExists = true;
    FrmDownloading->Lbl1 = panel->Links().at(0).Label;
    TVideoPanel* other = Panel({kHd});
    delete other;
    EXPECT_NE(FrmDownloading->Lbl1, nullptr);
    delete panel;
    EXPECT_EQ(FrmDownloading->Lbl1, nullptr);
}

TEST_F(VideoPanelTest, ClickOnAFinishedLabelPlaysItsFile) {
    TVideoPanel* panel = Panel({kSd});
    cls::TLabel* label = panel->Links().at(0).Label;
    const std::wstring file = tmp_.Write(L"done (SD).mp4", "data");
    label->SetCaption(L"Play video in Standard Definition");
    label->HelpKeyword = file;
    DownloadLabelClick(label);
    ASSERT_EQ(shell.size(), 1u);
    EXPECT_EQ(shell[0].verb, L"Open");
    EXPECT_EQ(shell[0].file, L"\"" + file + L"\"");
    EXPECT_EQ(shell[0].dir, tmp_.Path());
    EXPECT_EQ(shell[0].show, SW_SHOWNORMAL);
    EXPECT_EQ(FrmDownloading, nullptr);
    EXPECT_GE(hideHistoryCalls, 1);
}

TEST_F(VideoPanelTest, ClickWhileADownloadRunsIsRefused) {
    TVideoPanel* panel = Panel({kSd});
    cls::TLabel* label = panel->Links().at(0).Label;
    FrmDownloading = new TFrmDownloading(nullptr);
    DownloadFormExists = true;
    DownloadRunning = true;
    FrmDownloading->HG->URL = L"https://video.xx.fbcdn.net/stream/1/other.mp4";
    DownloadLabelClick(label);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"The download engine is currently active. Wait until it is complete or cancel it.");
    EXPECT_EQ(boxes[0].caption, L"Download engine active");
    EXPECT_EQ(boxes[0].flags, 64u);
    EXPECT_EQ(FrmDownloading->HG->URL, L"https://video.xx.fbcdn.net/stream/1/other.mp4");
    EXPECT_EQ(label->Caption(), L"Download video in Standard Definition");
    DownloadRunning = false;
}

TEST(CameraPictures, TheEmbeddedPicturesAre13By10) {
    // The pictures are resources of the program, not of the tests: read
    // the files they are made from.
    std::wstring dir = ToWinePath(__FILE__);
    dir = cls::ExtractFilePath(dir) + L"..\\..\\app\\res\\";
    for (const wchar_t* name : {L"camera_snapshot.png", L"camera_video.png"}) {
        cls::TPicture picture;
        picture.LoadFromFile(dir + name);
        EXPECT_EQ(picture.Width(), 13) << name;
        EXPECT_EQ(picture.Height(), 10) << name;
    }
    cls::TPicture placeholder;
    placeholder.LoadFromFile(dir + L"thumb_download_default.jpg");
    EXPECT_EQ(placeholder.Width(), 97);
    EXPECT_EQ(placeholder.Height(), 73);
    // The test program carries none of the program's resources.
    cls::TImageList list;
    list.SetSize(13, 10);
    EXPECT_EQ(AddCameraPictures(list), 0);
}

TEST(CameraPictures, TheProgramCarriesThem) {
    std::wstring exe = cls::ExtractFilePath(cls::GetModuleFileNameStr()) + L"Korvelink.exe";
    if (!cls::FileExists(exe)) GTEST_SKIP() << "Korvelink.exe is not built";
    HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    cls::TImageList list;
    list.SetSize(13, 10);
    EXPECT_EQ(AddCameraPictures(list, module), 2);
    EXPECT_EQ(list.Count(), 2);
    // Both are blue cameras on a transparent ground.
    for (int i = 0; i < 2; ++i) {
        cls::TBitmap b;
        list.GetBitmap(i, b);
        EXPECT_EQ(b.Pixel(0, 0) >> 24, 0u) << i;
        uint32_t body = b.Pixel(1, 6);
        EXPECT_GT(body & 0xFF, (body >> 16) & 0xFF) << i;
    }
    FreeLibrary(module);
}

}  // namespace
