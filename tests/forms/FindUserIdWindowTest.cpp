// The user-ID window driven in-process; the name lookups reach the fake
// site's mobile profile pages (forms_tests runs inside its wrapper).
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "classlib/Application.h"
#include "classlib/Button.h"
#include "classlib/ComboBox.h"
#include "classlib/Edit.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Hooks.h"
#include "classlib/Image.h"
#include "classlib/Label.h"
#include "engine/Constants.h"
#include "engine/ProfileSearch.h"
#include "forms/LoginState.h"
#include "forms/uFrmFindFacebookUserID.h"
#include "forms/uFrmSearchFacebookVideoLinks.h"
#include "tests/classlib/FormsTestSupport.h"
#include "tests/support/TempFolder.h"

using namespace app;
using namespace cls;
using formstest::PumpUntil;

namespace {

const std::wstring kShown =
    L"Paste a Facebook user link in the text bar above and click Scan, or simply drag and drop the link from "
    L"your browser to this window.";
const std::wstring kEdited = L"Type or paste a Facebook user link in the text bar above and click Scan.";
const std::wstring kSuccess = L"Success! Facebook user ID recovered.";
const std::wstring kNoId = L"Unable to get the Facebook user ID for the entered URL.";
const std::wstring kInvalid = L"Invalid URL format. Please enter a valid Facebook user URL.";
const std::wstring kEmpty = L"Facebook URL field is empty. Please enter the required data.";

struct ShellCall {
    HWND owner;
    std::wstring verb, file;
    int show;
};

std::wstring ClipboardText() {
    std::wstring text;
    if (!OpenClipboard(nullptr)) return L"<no clipboard>";
    if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
        if (auto* p = static_cast<const wchar_t*>(GlobalLock(h))) {
            text = p;
            GlobalUnlock(h);
        }
    }
    CloseClipboard();
    return text;
}

void SetClipboardText(const std::wstring& text) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    memcpy(GlobalLock(g), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(g);
    SetClipboardData(CF_UNICODETEXT, g);
    CloseClipboard();
}

class FindUserIdWindow : public ::testing::Test {
protected:
    FindUserIdWindow()
        : shellHook_(ShellExecuteHook,
                     [this](HWND owner, const std::wstring& verb, const std::wstring& file, const std::wstring&,
                            const std::wstring&, int show) -> INT_PTR {
                         shell_.push_back({owner, verb, file, show});
                         return 42;
                     }) {
        Application.Initialize();
        engine::CacheFolder = tmp_.Path() + L"Cache\\";
        LoggedInUserId = L"100004000000001";
        LoggedInUsername = L"me.myself";
        LastUserLink.clear();
        LastLinkFormat = 0;
        UserIdLoginHook = [this] { ++logins_; };
    }
    ~FindUserIdWindow() override {
        engine::CacheFolder = cache_;
        LoggedInUserId.clear();
        LoggedInUsername.clear();
        LastUserLink.clear();
        LastLinkFormat = 0;
        UserIdLoginHook = nullptr;
    }

    std::unique_ptr<TFrmFindFacebookUserID> Open() {
        auto f = std::make_unique<TFrmFindFacebookUserID>();
        f->Show();
        PumpUntil([&] { return IsWindowVisible(f->Handle()) != 0; });
        return f;
    }
    static void Scan(TFrmFindFacebookUserID& f, const std::wstring& link) {
        f.EdtLink->SetText(link);
        f.BtnScan->Click();
    }
    static bool ResultsEnabled(TFrmFindFacebookUserID& f) {
        return f.EdtUID->Enabled() && f.EdtPID->Enabled() && f.BtnCopyUID->Enabled() && f.BtnCopyPID->Enabled() &&
               f.BtnTestUID->Enabled();
    }
    static bool ResultsDisabled(TFrmFindFacebookUserID& f) {
        return !f.EdtUID->Enabled() && !f.EdtPID->Enabled() && !f.BtnCopyUID->Enabled() &&
               !f.BtnCopyPID->Enabled() && !f.BtnTestUID->Enabled();
    }

    formstest::CommonControls6 cc6_;
    testing_support::TempFolder tmp_;
    std::wstring cache_ = engine::CacheFolder;
    std::vector<ShellCall> shell_;
    int logins_ = 0;
    ScopedHook<ShellExecuteFunc> shellHook_;
};

}  // namespace

TEST(FindUserIdLinks, NormalizeShortDomainAnyCase) {
    EXPECT_EQ(NormalizeProfileLink(L"  HTTPS://WWW.FB.COM/Jane.Doe  "), L"HTTPS://WWW.facebook.com/Jane.Doe");
    EXPECT_EQ(NormalizeProfileLink(L"m.FaceBook.COM/x"), L"m.facebook.com/x");
    EXPECT_EQ(NormalizeProfileLink(L"\t"), L"");
}

TEST(FindUserIdLinks, CanonicalLinkOfEveryKind) {
    const std::wstring w = L"https://www.facebook.com";
    struct {
        int kind;
        const wchar_t* n;
        std::wstring link;
    } cases[] = {
        {1, L"Jane.Doe", w + L"/Jane.Doe"},
        {2, L"4", w + L"/profile.php?id=4"},
        {3, L"Name/12", w + L"/pages/Name/12"},
        {4, L"5", w + L"/media/set/?set=vb.5&type=2"},
        {5, L"Jo/7", w + L"/people/Jo/7"},
        {6, L"8", w + L"/media/set/?set=o.8&type=2"},
        {7, L"9", w + L"/media/set/?set=p.9&type=2"},
        {8, L"10", w + L"/groups/10"},
        {9, L"11", w + L"/events/11"},
        {10, L"thread/12", w + L"/messages/thread/12"},
        {11, L"13", w + L"/media/set/?set=vb.13&type=2"},
    };
    for (const auto& c : cases) EXPECT_EQ(CanonicalProfileLink(c.kind, c.n, L"", L""), c.link) << c.kind;

    // The logged-in user's own name or ID gives the user's own link.
    EXPECT_EQ(CanonicalProfileLink(1, L"me.myself", L"1001", L"me.myself"), w + L"/me.myself");
    EXPECT_EQ(CanonicalProfileLink(1, L"1001", L"1001", L"me.myself"), w + L"/me.myself");
    EXPECT_EQ(CanonicalProfileLink(1, L"1001", L"1001", L""), w + L"/profile.php?id=1001");
    EXPECT_EQ(CanonicalProfileLink(1, L"Me.Myself", L"1001", L"me.myself"), w + L"/Me.Myself");
}

TEST(FindUserIdLinks, ProfileLinkTypes) {
    EXPECT_EQ(ProfileLinkOfType(0, L"42"), L"https://www.facebook.com/profile.php?id=42");
    EXPECT_EQ(ProfileLinkOfType(1, L"42"), L"https://www.facebook.com/42");
    EXPECT_EQ(ProfileLinkOfType(2, L"42"), L"https://m.facebook.com/42");
    EXPECT_EQ(ProfileLinkOfType(3, L"42"), L"https://www.fb.com/42");
    EXPECT_EQ(ProfileLinkOfType(4, L"42"), L"https://www.facebook.com/media/set/?set=vb.42&type=2");
}

TEST(FindUserIdLinks, IsNumberTakesOnlyPlain64BitNumbers) {
    for (const wchar_t* ok : {L"0", L"100004000000042", L"9223372036854775807"}) EXPECT_TRUE(IsNumber(ok)) << ok;
    for (const wchar_t* bad : {L"", L"12ab", L"-5", L"+5", L" 5", L"$1F", L"9223372036854775808", L"thread/42"})
        EXPECT_FALSE(IsNumber(bad)) << bad;
}

TEST_F(FindUserIdWindow, FormResource) {
    auto f = Open();
    EXPECT_EQ(f->Caption(), L"Find Facebook User ID");
    EXPECT_EQ(f->ClientWidth(), 504);
    EXPECT_EQ(f->ClientHeight(), 169);
    EXPECT_TRUE(f->KeyPreview);
    EXPECT_EQ(f->Panel1->Height(), 128);
    EXPECT_TRUE(f->EdtUID->ReadOnly() && f->EdtPID->ReadOnly());
    EXPECT_FALSE(f->EdtUID->TabStop() || f->EdtPID->TabStop() || f->CmbPIDFmt->TabStop());
    ASSERT_EQ(f->CmbPIDFmt->Count(), 5);
    EXPECT_EQ(f->CmbPIDFmt->Item(4), L"Videos Link");
    EXPECT_TRUE(f->LblTestFBLink->Visible());
    EXPECT_FALSE(f->ImgProcesando->Visible());

    std::vector<TButton*> buttons = {f->BtnScan, f->BtnTestUID, f->BtnCopyPID, f->BtnCopyUID, f->BtnClose};
    std::vector<std::wstring> captions = {L"Scan", L"Test PID", L"Copy PID", L"Copy UID", L"Close"};
    for (size_t i = 0; i < buttons.size(); ++i) {
        EXPECT_EQ(buttons[i]->Caption(), captions[i]);
        EXPECT_EQ(buttons[i]->Left(), 97 + 81 * static_cast<int>(i));
        EXPECT_EQ(buttons[i]->Top(), 136);
    }
    EXPECT_TRUE(f->BtnScan->Default());
    EXPECT_EQ(f->BtnClose->ModalResult, mrClose);

    EXPECT_EQ(f->LblMsg->Caption(), kShown);
    EXPECT_TRUE(ResultsDisabled(*f));
    EXPECT_FALSE(UserIdFormStarting);
}

TEST_F(FindUserIdWindow, LabelsNeverOverlap) {
    auto f = Open();
    EXPECT_TRUE(f->LblMsg->Top() == 86 && f->LblTestFBLink->Left() == 151);
    RECT text{0, 0, f->LblMsg->Width(), 0};  // the status text, whole, in the window's font
    HDC dc = GetDC(nullptr);
    SelectObject(dc, f->LblMsg->Font().Handle());
    DrawTextW(dc, f->LblMsg->Caption().c_str(), -1, &text, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    ReleaseDC(nullptr, dc);
    EXPECT_GE(f->LblMsg->Height(), text.bottom);
    std::vector<TControl*> all = {f->Label3, f->LblMsg, f->Label1, f->Label2, f->LblTestFBLink,
                                  f->EdtLink, f->EdtUID, f->EdtPID, f->CmbPIDFmt};
    for (size_t i = 0; i < 5; ++i)
        for (size_t j = 0; j < all.size(); ++j) {
            RECT a = all[i]->BoundsRect(), b = all[j]->BoundsRect(), both{}, panel = f->Panel1->ClientRect();
            EXPECT_TRUE(i == j || !IntersectRect(&both, &a, &b)) << all[i]->Name << " " << all[j]->Name;
            EXPECT_TRUE(IntersectRect(&both, &a, &panel) && EqualRect(&both, &a)) << all[i]->Name;
        }
}

TEST_F(FindUserIdWindow, ShortDomainInCapitalsIsScannedInCanonicalForm) {
    auto f = Open();
    Scan(*f, L"  HTTPS://WWW.FB.COM/jane.doe.42/about?ref=x ");
    EXPECT_EQ(f->EdtLink->Text(), L"https://www.facebook.com/jane.doe.42");
    EXPECT_EQ(LastUserLink, L"https://www.facebook.com/jane.doe.42");
    EXPECT_EQ(f->EdtUID->Text(), L"100004000000042");
    EXPECT_EQ(f->EdtPID->Text(), L"https://www.facebook.com/profile.php?id=100004000000042");
    EXPECT_EQ(f->EdtPID->Hint(), L"100004000000042");
    EXPECT_EQ(f->LblMsg->Caption(), kSuccess);
    EXPECT_TRUE(ResultsEnabled(*f));
    EXPECT_TRUE(f->BtnScan->Enabled() && f->BtnClose->Enabled() && f->EdtLink->Enabled() && f->CmbPIDFmt->Enabled());
    EXPECT_FALSE(f->ImgProcesando->Visible());
    EXPECT_EQ(logins_, 0);  // logged in already

    // The sample row went with the first analysis.
    EXPECT_FALSE(f->LblTestFBLink->Visible());
    EXPECT_EQ(f->Panel1->Height(), 115);
    EXPECT_EQ(f->BtnScan->Top(), 123);
    EXPECT_EQ(f->BtnClose->Top(), 123);
    EXPECT_EQ(f->ClientHeight(), 156);
    // Only once.
    Scan(*f, L"https://www.facebook.com/jane.doe.42");
    EXPECT_EQ(f->Panel1->Height(), 115);
    EXPECT_EQ(f->BtnScan->Top(), 123);
}

TEST_F(FindUserIdWindow, NumericProfileLinkShowsTheCommonLink) {
    auto f = Open();
    Scan(*f, L"https://www.facebook.com/profile.php?id=100004000000099&sk=about");
    EXPECT_EQ(f->EdtLink->Text(), L"https://www.facebook.com/profile.php?id=100004000000099");
    EXPECT_EQ(f->EdtUID->Text(), L"100004000000099");
    EXPECT_EQ(f->EdtPID->Text(), L"https://www.facebook.com/100004000000099");
    EXPECT_EQ(f->CmbPIDFmt->ItemIndex(), 1);
    EXPECT_EQ(LastLinkFormat, 0);

    // With another link type chosen, that type is shown.
    f->CmbPIDFmt->SetItemIndex(2);
    f->CmbPIDFmtSelect(f->CmbPIDFmt);
    EXPECT_EQ(LastLinkFormat, 2);
    EXPECT_EQ(f->EdtPID->Text(), L"https://m.facebook.com/100004000000099");
    Scan(*f, L"https://www.facebook.com/profile.php?id=100004000000099");
    EXPECT_EQ(f->EdtPID->Text(), L"https://m.facebook.com/100004000000099");
    f->CmbPIDFmt->SetItemIndex(3);
    f->CmbPIDFmtSelect(f->CmbPIDFmt);
    EXPECT_EQ(f->EdtPID->Text(), L"https://www.fb.com/100004000000099");
}

TEST_F(FindUserIdWindow, FailuresAreWordedOnTheStatusLine) {
    auto f = Open();
    Scan(*f, L"   ");
    EXPECT_EQ(f->LblMsg->Caption(), kEmpty);
    Scan(*f, L"https://example.com/jane.doe.42");
    EXPECT_EQ(f->LblMsg->Caption(), kInvalid);
    EXPECT_TRUE(f->EdtLink->Focused());
    Scan(*f, L"https://www.facebook.com/?ref=logo");
    EXPECT_EQ(f->LblMsg->Caption(), kInvalid);

    struct {
        const wchar_t* link;
        const wchar_t* canonical;
    } noId[] = {
        {L"https://www.facebook.com/bad.id", L"https://www.facebook.com/bad.id"},  // "12ab" from the page
        {L"https://www.facebook.com/gone.user", L"https://www.facebook.com/gone.user"},  // 404
        {L"https://www.facebook.com/no.markers", L"https://www.facebook.com/no.markers"},
        {L"https://www.facebook.com/pages/NoId", L"https://www.facebook.com/pages/NoId"},
        {L"https://www.facebook.com/messages/thread/5", L"https://www.facebook.com/messages/thread/5"},
    };
    for (const auto& c : noId) {
        Scan(*f, c.link);
        EXPECT_EQ(f->EdtLink->Text(), c.canonical);
        EXPECT_EQ(f->LblMsg->Caption(), kNoId) << c.link;
        EXPECT_EQ(f->EdtUID->Text(), L"") << c.link;
        EXPECT_EQ(f->EdtPID->Hint(), L"") << c.link;
        EXPECT_TRUE(ResultsDisabled(*f)) << c.link;
        EXPECT_TRUE(f->BtnScan->Enabled() && f->EdtLink->Enabled() && f->CmbPIDFmt->Enabled());
    }
}

TEST_F(FindUserIdWindow, EditingClearsTheResults) {
    auto f = Open();
    Scan(*f, L"https://www.facebook.com/groups/555666");
    ASSERT_EQ(f->EdtUID->Text(), L"555666");
    f->EdtLink->SetText(L"https://www.facebook.com/groups/555667");
    EXPECT_EQ(f->LblMsg->Caption(), kEdited);
    EXPECT_EQ(f->EdtUID->Text(), L"");
    EXPECT_EQ(f->EdtPID->Text(), L"");
    EXPECT_EQ(f->EdtPID->Hint(), L"");
    EXPECT_TRUE(ResultsDisabled(*f));
    // A link type chosen now has no ID to show.
    f->CmbPIDFmt->SetItemIndex(1);
    f->CmbPIDFmtSelect(f->CmbPIDFmt);
    EXPECT_EQ(f->EdtPID->Text(), L"");
}

TEST_F(FindUserIdWindow, SampleRowStaysWhileTheLastLinkIsRestored) {
    LastUserLink = L"https://www.facebook.com/events/999";
    LastLinkFormat = 4;
    auto f = Open();
    EXPECT_EQ(f->EdtLink->Text(), LastUserLink);
    EXPECT_EQ(f->CmbPIDFmt->ItemIndex(), 4);
    EXPECT_TRUE(f->LblTestFBLink->Visible());
    EXPECT_EQ(f->Panel1->Height(), 128);
    EXPECT_EQ(f->ClientHeight(), 169);
    EXPECT_EQ(f->LblMsg->Caption(), kShown);

    f->EdtLink->SetText(L"x");
    EXPECT_FALSE(f->LblTestFBLink->Visible());
    EXPECT_EQ(f->Panel1->Height(), 115);
    EXPECT_EQ(f->BtnTestUID->Top(), 123);
    EXPECT_EQ(f->ClientHeight(), 156);
}

TEST_F(FindUserIdWindow, SampleLinkLogsInFirstWhenNobodyIs) {
    LoggedInUserId.clear();
    LoggedInUsername.clear();
    auto f = Open();
    f->LblTestFBLinkClick(f->LblTestFBLink);
    EXPECT_EQ(logins_, 1);
    EXPECT_EQ(f->EdtLink->Text(), SampleProfileLink());
    EXPECT_EQ(f->EdtUID->Text(), L"100004000000077");
    // Scan goes on after the login whatever its outcome.
    Scan(*f, L"https://www.facebook.com/events/31");
    EXPECT_EQ(logins_, 2);
    EXPECT_EQ(f->EdtUID->Text(), L"31");
}

TEST_F(FindUserIdWindow, TheUsersOwnLinkNeedsNoPage) {
    auto f = Open();
    Scan(*f, L"facebook.com");  // no "/" after the domain: the logged-in user
    EXPECT_EQ(f->EdtLink->Text(), L"https://www.facebook.com/me.myself");
    EXPECT_EQ(f->EdtUID->Text(), L"100004000000001");
}

TEST_F(FindUserIdWindow, CopyButtonsUseTheClipboard) {
    auto f = Open();
    Scan(*f, L"https://www.facebook.com/jane.doe.42");
    SetClipboardText(L"before");
    f->BtnCopyUID->Click();
    EXPECT_EQ(ClipboardText(), L"100004000000042");
    f->BtnCopyPID->Click();
    EXPECT_EQ(ClipboardText(), L"https://www.facebook.com/profile.php?id=100004000000042");
    EXPECT_EQ(f->EdtPID->SelStart(), 1);
    EXPECT_EQ(f->EdtPID->SelLength(), 0);

    f->BtnTestUID->Click();
    ASSERT_EQ(shell_.size(), 1u);
    EXPECT_EQ(shell_[0].owner, GetDesktopWindow());
    EXPECT_EQ(shell_[0].verb, L"Open");
    EXPECT_EQ(shell_[0].file, L"https://www.facebook.com/profile.php?id=100004000000042");
    EXPECT_EQ(shell_[0].show, 5);
}

TEST_F(FindUserIdWindow, DragsAreTestedAndDropsAnalysed) {
    auto f = Open();
    DWORD effect = DROPEFFECT_LINK;
    f->DropURLTarget1Enter(L"https://WWW.FB.COM/groups/77", effect);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_LINK));
    EXPECT_TRUE(f->DropShowImage());

    for (const wchar_t* refused : {L"https://example.com/groups/77", L"https://www.facebook.com/?ref=logo"}) {
        effect = DROPEFFECT_LINK;
        f->DropURLTarget1Enter(refused, effect);
        EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE)) << refused;
        EXPECT_FALSE(f->DropShowImage());
    }
    // Refused while an analysis runs.
    f->BtnScan->SetEnabled(false);
    effect = DROPEFFECT_LINK;
    f->DropURLTarget1Enter(L"https://www.facebook.com/groups/77", effect);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
    f->BtnScan->SetEnabled(true);

    LoggedInUserId.clear();
    f->DropURLTarget1Drop(L"https://www.facebook.com/groups/77", effect);
    EXPECT_TRUE(f->EdtUID->Text().empty()) << "analysed once the drop has returned";
    PumpUntil([&] { return !f->EdtUID->Text().empty(); });
    EXPECT_EQ(logins_, 0);  // no login step for drops
    EXPECT_EQ(f->EdtLink->Text(), L"https://www.facebook.com/groups/77");
    EXPECT_EQ(f->EdtUID->Text(), L"77");
}

TEST_F(FindUserIdWindow, OpenedModallyAndClosedByEsc) {
    ShowSearchLinksForm(nullptr);
    ASSERT_TRUE(SearchLinksFormExists());
    bool existed = false;
    UINT_PTR guard = SetTimer(nullptr, 0, 5000, nullptr);
    bool timedOut = false;
    Application.OnMessage = [&](MSG& m) {
        if (m.message == WM_TIMER && m.wParam == guard && FrmFindFacebookUserID) {
            timedOut = true;
            PostMessageW(FrmFindFacebookUserID->Handle(), WM_CLOSE, 0, 0);
        }
        return false;
    };
    UINT_PTR esc = SetTimer(nullptr, 0, 200, nullptr);
    auto onEsc = Application.OnMessage;
    Application.OnMessage = [&, onEsc](MSG& m) {
        if (m.message == WM_TIMER && m.wParam == esc && FrmFindFacebookUserID) {
            existed = UserIdFormExists();
            KillTimer(nullptr, esc);
            formstest::PostKey(FrmFindFacebookUserID->EdtLink->Handle(), VK_ESCAPE);
        }
        return onEsc(m);
    };
    OpenFindUserIdWindow(nullptr);
    Application.OnMessage = nullptr;
    KillTimer(nullptr, guard);
    EXPECT_FALSE(timedOut);
    EXPECT_TRUE(existed);
    EXPECT_FALSE(UserIdFormExists());
    EXPECT_FALSE(SearchLinksFormExists());
}
