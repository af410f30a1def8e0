// Links dragged onto the main window and the user-ID window, through the OLE drop target it
// registers, as a browser's drag would hand them over.
#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "MainWindowTestSupport.h"
#include "classlib/Edit.h"
#include "classlib/ToolBar.h"
#include "dragdrop/DragDropFile.h"
#include "dragdrop/DragDropInternet.h"
#include "forms/uFrmFindFacebookUserID.h"
#include "tests/dragdrop/TestDataObject.h"

using namespace app;
using namespace mainwin_test;
using formstest::Pump;

namespace {

// A data object that also lists what it offers.
class LinkDataObject : public dragdrop_test::TestDataObject {
public:
    void Offer(CLIPFORMAT cf, const std::string& bytes, LONG lindex = -1) {
        Put(cf, HGlobalMedium(bytes), lindex);
        offered_.push_back(FORMATETC{cf, nullptr, DVASPECT_CONTENT, lindex, TYMED_HGLOBAL});
    }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD dir, IEnumFORMATETC** out) override {
        if (dir != DATADIR_GET) return E_NOTIMPL;
        return SHCreateStdEnumFmtEtc(static_cast<UINT>(offered_.size()), offered_.data(), out);
    }

private:
    std::vector<FORMATETC> offered_;
};

// What a browser offers for a dragged link: a virtual ".url" file.
void OfferShortcut(LinkDataObject& data, const std::wstring& title, const std::string& url) {
    FILEGROUPDESCRIPTORW group{};
    group.cItems = 1;
    wcsncpy(group.fgd[0].cFileName, (title + L".url").c_str(), MAX_PATH - 1);
    data.Offer(dragdrop::TUnicodeFileGroupDescriptorClipboardFormat::Id(),
               std::string(reinterpret_cast<const char*>(&group), sizeof group));
    data.Offer(dragdrop::FileContentsId(), "[InternetShortcut]\r\nURL=" + url + "\r\n", 0);
}

class LinkDrop : public MainWindowTest {
protected:
    TTestMainWindow& OpenOnTop() {
        TTestMainWindow& f = Open();
        SetWindowPos(f.Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        return f;
    }
    POINTL Inside() const {
        POINT p = form_->ClientToScreen({40, 40});
        return {p.x, p.y};
    }
    IDropTarget& Target() const { return *form_->DropURLTarget1; }
};

TEST_F(LinkDrop, TargetTakesOnlyLinksReadOnEntry) {
    TTestMainWindow& f = OpenOnTop();
    ASSERT_NE(f.DropURLTarget1, nullptr);
    EXPECT_EQ(f.DropURLTarget1->DragTypes, dragdrop::dtLink);
    EXPECT_TRUE(f.DropURLTarget1->GetDataOnEnter);
    ASSERT_EQ(f.DropURLTarget1->Targets().Count(), 1);
    EXPECT_EQ(f.DropURLTarget1->Targets().Items(0), &f);
}

TEST_F(LinkDrop, OtherLinkIsRefusedOnEntry) {
    TTestMainWindow& f = OpenOnTop();
    LinkDataObject data;
    data.Offer(CF_TEXT, std::string("https://www.facebook.com/profile.php?id=4") + '\0');
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_LINK;
    ASSERT_EQ(Target().DragEnter(&data, MK_LBUTTON, Inside(), &effect), S_OK);
    EXPECT_EQ(effect, 0u);
    EXPECT_FALSE(f.DropURLTarget1->ShowImage());
    EXPECT_EQ(f.DropURLTarget1->DataObject(), nullptr);  // let go: no drop follows
    Target().DragLeave();
    Pump(20);
    EXPECT_FALSE(f.Searching());
    EXPECT_EQ(f.panels, 0);
}

TEST_F(LinkDrop, RefusedDragShowsNoDropToTheEnd) {
    TTestMainWindow& f = OpenOnTop();
    for (const char* text : {"https://example.com/", "https://www.facebook.com/watch/?v=12345", "plain words"}) {
        LinkDataObject data;
        data.Offer(CF_TEXT, std::string(text) + '\0');
        DWORD enter = DROPEFFECT_COPY | DROPEFFECT_LINK, over = enter, drop = enter;
        Target().DragEnter(&data, MK_LBUTTON, Inside(), &enter);
        Target().DragOver(MK_LBUTTON, Inside(), &over);  // the cursor OLE shows, and whether it drops
        Target().Drop(&data, MK_LBUTTON, Inside(), &drop);
        EXPECT_EQ(enter | over | drop, 0u) << text;
    }
    Pump(20);
    EXPECT_FALSE(f.Searching());
}

TEST_F(LinkDrop, BusyWindowRefusesEvenAVideoLink) {
    TTestMainWindow& f = OpenOnTop();
    f.BtnAnalizar->SetEnabled(false);
    LinkDataObject data;
    OfferShortcut(data, L"A video", "https://www.facebook.com/video.php?v=10150000000101");
    DWORD effect = DROPEFFECT_LINK;
    ASSERT_EQ(Target().DragEnter(&data, MK_LBUTTON, Inside(), &effect), S_OK);
    EXPECT_EQ(effect, 0u);
    f.BtnAnalizar->SetEnabled(true);
}

TEST_F(LinkDrop, DroppedVideoLinkIsSearched) {
    if (!SiteRunning()) GTEST_SKIP() << "needs tests/fakesite/run-with-site.sh";
    LoggedInUserId = L"100004000000001";
    TTestMainWindow& f = OpenOnTop();
    LinkDataObject data;
    OfferShortcut(data, L"A video", "https://www.facebook.com/video.php?v=10150000000101");
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_LINK;
    ASSERT_EQ(Target().DragEnter(&data, MK_LBUTTON, Inside(), &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_LINK));
    EXPECT_TRUE(f.DropURLTarget1->ShowImage());
    effect = DROPEFFECT_COPY | DROPEFFECT_LINK;
    ASSERT_EQ(Target().Drop(&data, MK_LBUTTON, Inside(), &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_LINK));
    EXPECT_FALSE(f.Searching());  // the search waits until the drop has returned
    EXPECT_TRUE(f.DropURLTarget1->URL().empty());

    Pump(20);
    WaitForSearch();
    EXPECT_EQ(f.EdtEnlace->Text(), L"https://www.facebook.com/video.php?v=10150000000101");
    EXPECT_EQ(f.panels, 1);
    EXPECT_EQ(f.panelId, L"10150000000101");
}

// --- the user-ID window ---------------------------------------------------------------------------

class UserIdLinkDrop : public ::testing::Test {
protected:
    UserIdLinkDrop() {
        cls::Application.Initialize();
        engine::CacheFolder = tmp_.Path() + L"Cache\\";
        LoggedInUserId = L"100004000000001";
        LoggedInUsername = L"me.myself";
        LastUserLink.clear();
        UserIdLoginHook = [this] { ++logins_; };
        form_.Show();
        formstest::PumpUntil([&] { return IsWindowVisible(form_.Handle()) != 0; });
        SetWindowPos(form_.Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    ~UserIdLinkDrop() override {
        engine::CacheFolder = cache_;
        LoggedInUserId.clear();
        LoggedInUsername.clear();
        LastUserLink.clear();
        UserIdLoginHook = nullptr;
    }
    POINTL Inside() const {
        POINT p = form_.ClientToScreen({40, 20});
        return {p.x, p.y};
    }
    DWORD Enter(LinkDataObject& data) {
        DWORD effect = DROPEFFECT_COPY | DROPEFFECT_LINK;
        EXPECT_EQ(form_.DropURLTarget1->DragEnter(&data, MK_LBUTTON, Inside(), &effect), S_OK);
        return effect;
    }

    formstest::CommonControls6 cc6_;
    testing_support::TempFolder tmp_;
    std::wstring cache_ = engine::CacheFolder;
    int logins_ = 0;
    TFrmFindFacebookUserID form_;
};

TEST_F(UserIdLinkDrop, DroppedGroupLinkIsAnalysed) {
    LinkDataObject data;
    OfferShortcut(data, L"Group", "https://www.facebook.com/groups/77");
    ASSERT_EQ(Enter(data), static_cast<DWORD>(DROPEFFECT_LINK));
    EXPECT_TRUE(form_.DropURLTarget1->ShowImage());
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_LINK;
    ASSERT_EQ(form_.DropURLTarget1->Drop(&data, MK_LBUTTON, Inside(), &effect), S_OK);
    EXPECT_TRUE(form_.EdtUID->Text().empty()) << "the lookup waits until the drop has returned";
    formstest::PumpUntil([&] { return !form_.EdtUID->Text().empty(); });
    EXPECT_EQ(logins_, 0);
    EXPECT_EQ(form_.EdtLink->Text(), L"https://www.facebook.com/groups/77");
    EXPECT_EQ(form_.EdtUID->Text(), L"77");
}

TEST_F(UserIdLinkDrop, LinkOfAnotherSiteIsRefused) {
    LinkDataObject data;
    data.Offer(CF_TEXT, std::string("https://example.com/groups/77") + '\0');
    EXPECT_EQ(Enter(data), 0u);
    EXPECT_FALSE(form_.DropURLTarget1->ShowImage());
    EXPECT_EQ(form_.DropURLTarget1->DataObject(), nullptr);
    DWORD over = DROPEFFECT_COPY | DROPEFFECT_LINK;
    form_.DropURLTarget1->DragOver(MK_LBUTTON, Inside(), &over);
    EXPECT_EQ(over, 0u) << "no link cursor over a refused drag";
    EXPECT_EQ(form_.EdtUID->Text(), L"");
}

}  // namespace
