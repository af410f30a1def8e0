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
#include "classlib/Files.h"
#include "classlib/Hooks.h"
#include "classlib/Label.h"
#include "engine/Constants.h"
#include "forms/Settings.h"
#include "forms/uFrmSearchFacebookVideoLinks.h"
#include "tests/classlib/FormsTestSupport.h"
#include "tests/support/TempFolder.h"

using namespace app;
using namespace cls;
using formstest::Pump;
using formstest::PumpUntil;
using testing_support::TempFolder;

namespace {

const std::wstring kHint = L"Please enter any word to search Facebook public video links on the Web.";
const std::wstring kEmpty = L"Keyword field is empty. Please enter the required data.";
const std::wstring kSearch = L"https://www.google.com/search?";

struct ShellCall {
    HWND owner;
    std::wstring verb, file, params, dir;
    int show;
};

class SearchLinksWindow : public ::testing::Test {
protected:
    SearchLinksWindow()
        : data_(engine::DataFolder),
          engine_(SearchEngineIndex),
          kind_(SearchKind),
          keep_(KeepSearchFormOpen),
          keyword_(LastSearchKeyword),
          shellHook_(ShellExecuteHook,
                     [this](HWND owner, const std::wstring& verb, const std::wstring& file, const std::wstring& params,
                            const std::wstring& dir, int show) -> INT_PTR {
                         shell_.push_back({owner, verb, file, params, dir, show});
                         return 42;
                     }) {
        Application.Initialize();
        engine::DataFolder = tmp_.Path() + L"data\\";
        SearchEngineIndex = 1;
        SearchKind = 1;
        KeepSearchFormOpen = false;
        LastSearchKeyword.clear();
        main_ = std::make_unique<TForm>(nullptr, TFormProps{.Caption = L"main"});
        main_->Show();
    }
    ~SearchLinksWindow() override {
        FreeSearchLinksForm();
        Pump(20);
        main_->Hide();
        engine::DataFolder = data_;
        SearchEngineIndex = engine_;
        SearchKind = kind_;
        KeepSearchFormOpen = keep_;
        LastSearchKeyword = keyword_;
    }

    TFrmSearchFacebookVideoLinks* Open() {
        ShowSearchLinksForm(main_.get());
        return FrmSearchFacebookVideoLinks;
    }
    // Waits until the closed window has been freed.
    static bool Gone(HWND window) {
        return PumpUntil([&] { return !IsWindow(window); });
    }
    // The selection as the user makes it: the list tells its parent.
    static void Pick(TComboBox* combo, int index) {
        SendMessageW(combo->Handle(), CB_SETCURSEL, index, 0);
        SendMessageW(GetParent(combo->Handle()), WM_COMMAND,
                     MAKEWPARAM(GetDlgCtrlID(combo->Handle()), CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(combo->Handle()));
    }

    formstest::CommonControls6 cc6_;
    TempFolder tmp_;
    std::wstring data_;
    int engine_, kind_;
    bool keep_;
    std::wstring keyword_;
    std::unique_ptr<TForm> main_;
    std::vector<ShellCall> shell_;
    ScopedHook<ShellExecuteFunc> shellHook_;
};

BOOL CALLBACK CountSearchWindows(HWND window, LPARAM count) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (std::wstring(name) == TFrmSearchFacebookVideoLinks::WindowClass) ++*reinterpret_cast<int*>(count);
    return TRUE;
}

}  // namespace

// --- plain routines -----------------------------------------------------------

TEST(SearchLinksLogic, SearchAddresses) {
    struct Row {
        const wchar_t* keyword;
        int engine, type;
        const wchar_t* query;
    } rows[] = {
        // Blanks around go, one between becomes "+".
        {L"  funny cats  ", 0, 0, L"&as_q=funny+cats&as_epq=%22video+php+v%22&as_sitesearch=facebook.com/video"},
        {L"funny cats", 1, 1, L"hl=en&as_q=funny+cats&as_epq=%22type+2%22&as_sitesearch=facebook.com/media"},
        {L"x", SearchEngineSeparator, 0, L"&as_q=x&as_epq=%22video+php+v%22&as_sitesearch=facebook.com/video"},
        {L"x", 15, 0, L"hl=zh-CN&as_q=x&as_epq=%22video+php+v%22&as_sitesearch=facebook.com/video"},
        {L"two  blanks", 85, 1, L"hl=zu&as_q=two++blanks&as_epq=%22type+2%22&as_sitesearch=facebook.com/media"},
        // What would end or change the query is escaped.
        {L"a&b=c#d", 26, 0, L"hl=fr&as_q=a%26b%3Dc%23d&as_epq=%22video+php+v%22&as_sitesearch=facebook.com/video"},
        {L"1+1 100%", 0, 0, L"&as_q=1%2B1+100%25&as_epq=%22video+php+v%22&as_sitesearch=facebook.com/video"},
        {L"café crème", 26, 0, L"hl=fr&as_q=caf%C3%A9+cr%C3%A8me&as_epq=%22video+php+v%22&as_sitesearch=facebook.com/video"},
        {L"日本", 41, 1, L"hl=ja&as_q=%E6%97%A5%E6%9C%AC&as_epq=%22type+2%22&as_sitesearch=facebook.com/media"},
        {L"\"quoted\" <b>", 0, 0, L"&as_q=%22quoted%22+%3Cb%3E&as_epq=%22video+php+v%22&as_sitesearch=facebook.com/video"},
        {L"tab\there", 0, 0, L"&as_q=tab%09here&as_epq=%22video+php+v%22&as_sitesearch=facebook.com/video"},
        {L"A-Z_a.z~0", 0, 0, L"&as_q=A-Z_a.z~0&as_epq=%22video+php+v%22&as_sitesearch=facebook.com/video"},
        // Indexes outside the lists: no language, and album links.
        {L"x", -1, -1, L"&as_q=x&as_epq=%22type+2%22&as_sitesearch=facebook.com/media"},
        {L"x", 86, 2, L"&as_q=x&as_epq=%22type+2%22&as_sitesearch=facebook.com/media"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(BuildSearchAddress(r.keyword, r.engine, r.type), kSearch + r.query) << r.keyword << " " << r.engine;
}

TEST(SearchLinksLogic, EngineList) {
    const auto& engines = SearchEngines();
    ASSERT_EQ(engines.size(), 86u);
    EXPECT_EQ(static_cast<int>(engines.size()), SearchEngineCount);
    EXPECT_EQ(std::wstring(engines[0].Caption), L"Google");
    EXPECT_EQ(std::wstring(engines[0].Language), L"");
    EXPECT_EQ(std::wstring(engines[SearchEngineSeparator].Caption), std::wstring(90, L'-'));
    EXPECT_EQ(std::wstring(engines[SearchEngineSeparator].Language), L"");
    struct Spot {
        int index;
        const wchar_t* caption;
        const wchar_t* language;
    } spots[] = {
        {1, L"Google English", L"hl=en"},         {16, L"Google Chinese (Traditional)", L"hl=zh-TW"},
        {21, L"Google English", L"hl=en"},        {33, L"Google Hebrew", L"hl=iw"},
        {55, L"Google Norwegian (Nynorsk)", L"hl=nn"}, {60, L"Google Portuguese (Portugal)", L"hl=pt-PT"},
        {85, L"Google Zulu", L"hl=zu"},
    };
    for (const Spot& s : spots) {
        EXPECT_EQ(std::wstring(engines[s.index].Caption), s.caption) << s.index;
        EXPECT_EQ(std::wstring(engines[s.index].Language), s.language) << s.index;
    }
    // Every language entry names one language for its "hl" value.
    for (size_t i = 3; i < engines.size(); ++i) {
        std::wstring caption = engines[i].Caption, language = engines[i].Language;
        EXPECT_EQ(caption.rfind(L"Google ", 0), 0u) << i;
        EXPECT_EQ(language.rfind(L"hl=", 0), 0u) << i;
        EXPECT_GE(language.size(), 5u) << i;
    }
}

// --- the window ---------------------------------------------------------------

TEST_F(SearchLinksWindow, FormResource) {
    TFrmSearchFacebookVideoLinks* f = Open();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->Caption(), L"Search Facebook Video Links");
    EXPECT_EQ(f->ClientWidth(), 409);
    EXPECT_EQ(f->ClientHeight(), 156);
    EXPECT_EQ(f->BorderStyle(), bsDialog);
    EXPECT_EQ(f->Position(), poMainFormCenter);
    EXPECT_TRUE(f->KeyPreview);
    EXPECT_EQ(f->Panel1->Align(), alTop);
    EXPECT_EQ(f->Panel1->Height(), 115);
    EXPECT_EQ(f->Panel1->BevelOuter(), bvNone);
    EXPECT_EQ(f->Label3->Caption(), L"Keyword:");
    EXPECT_EQ(f->Label1->Caption(), L"Engine:");
    EXPECT_EQ(f->Label2->Caption(), L"Type:");
    auto at = [](TControl* c, int left, int top) { return c->Left() == left && c->Top() == top; };
    EXPECT_TRUE(at(f->EdtKeyword, 89, 7));
    EXPECT_EQ(f->EdtKeyword->Width(), 312);
    EXPECT_TRUE(at(f->CmbEngine, 89, 59));
    EXPECT_EQ(f->CmbEngine->Width(), 312);
    EXPECT_TRUE(at(f->CmbType, 89, 33));
    EXPECT_TRUE(at(f->LblMsg, 8, 89));
    EXPECT_EQ(f->LblMsg->Caption(), kHint);
    EXPECT_EQ(f->CmbEngine->Count(), 86);
    ASSERT_EQ(f->CmbType->Count(), 2);
    EXPECT_EQ(f->CmbType->Item(0), L"Video Links");
    EXPECT_EQ(f->CmbType->Item(1), L"Video Album Links");
    for (TComboBox* c : {f->CmbEngine, f->CmbType})
        EXPECT_TRUE(GetWindowLongW(c->Handle(), GWL_STYLE) & CBS_DROPDOWNLIST);
    EXPECT_EQ(f->Bevel1->Align(), alTop);
    EXPECT_EQ(f->BtnSearch->Caption(), L"Search");
    EXPECT_TRUE(f->BtnSearch->Default());
    EXPECT_TRUE(at(f->BtnSearch, 245, 123));
    EXPECT_EQ(f->BtnCancel->Caption(), L"Close");
    EXPECT_EQ(f->BtnCancel->ModalResult, mrClose);
    EXPECT_TRUE(at(f->BtnCancel, 326, 123));
    EXPECT_EQ(f->ChkDontClose->Caption(), L"Do not close this window when searching");
    EXPECT_TRUE(at(f->ChkDontClose, 8, 127));
    EXPECT_LE(f->ChkDontClose->Left() + f->ChkDontClose->Width(), f->BtnSearch->Left());
    EXPECT_LE(f->BtnCancel->Left() + f->BtnCancel->Width(), 409);
    // Opened fresh: nothing typed yet, the first engine and kind.
    EXPECT_EQ(f->EdtKeyword->Text(), L"");
    EXPECT_EQ(f->CmbEngine->ItemIndex(), 0);
    EXPECT_EQ(f->CmbType->ItemIndex(), 0);
    EXPECT_FALSE(f->ChkDontClose->Checked());
}

TEST_F(SearchLinksWindow, OpensWithTheLastChoices) {
    LastSearchKeyword = L" last words ";
    SearchEngineIndex = 27;
    SearchKind = 2;
    KeepSearchFormOpen = true;
    TFrmSearchFacebookVideoLinks* f = Open();
    EXPECT_EQ(f->EdtKeyword->Text(), L" last words ");
    EXPECT_EQ(f->CmbEngine->ItemIndex(), 26);
    EXPECT_EQ(f->CmbEngine->Text(), L"Google French");
    EXPECT_EQ(f->CmbType->ItemIndex(), 1);
    EXPECT_TRUE(f->ChkDontClose->Checked());
    // Creating the window changed no hint text on the way.
    EXPECT_EQ(f->LblMsg->Caption(), kHint);
}

TEST_F(SearchLinksWindow, SearchOpensTheQueryStoresTheChoicesAndCloses) {
    TFrmSearchFacebookVideoLinks* f = Open();
    HWND window = f->Handle();
    f->EdtKeyword->SetText(L"  cats dogs ");
    Pick(f->CmbEngine, 26);
    Pick(f->CmbType, 1);
    f->BtnSearch->Click();
    ASSERT_EQ(shell_.size(), 1u);
    EXPECT_EQ(shell_[0].owner, Application.Handle());
    EXPECT_EQ(shell_[0].verb, L"Open");
    EXPECT_EQ(shell_[0].file,
              kSearch + L"hl=fr&as_q=cats+dogs&as_epq=%22type+2%22&as_sitesearch=facebook.com/media");
    EXPECT_EQ(shell_[0].params, L"");
    EXPECT_EQ(shell_[0].dir, L"");
    EXPECT_EQ(shell_[0].show, 5);
    EXPECT_EQ(LeerArchivoConfig(L"MotorBusqueda"), L"27");
    EXPECT_EQ(LeerArchivoConfig(L"TipoBusqueda"), L"2");
    EXPECT_EQ(LeerArchivoConfig(L"NoCerrarFormBuscarLinks"), L"0");
    EXPECT_EQ(SearchEngineIndex, 27);
    EXPECT_EQ(SearchKind, 2);
    EXPECT_FALSE(KeepSearchFormOpen);
    EXPECT_EQ(LastSearchKeyword, L"  cats dogs ");
    EXPECT_FALSE(SearchLinksFormExists());
    EXPECT_TRUE(Gone(window));

    // The next opening is a new window with those choices.
    f = Open();
    EXPECT_EQ(f->EdtKeyword->Text(), L"  cats dogs ");
    EXPECT_EQ(f->CmbEngine->ItemIndex(), 26);
    EXPECT_EQ(f->CmbType->ItemIndex(), 1);
}

TEST_F(SearchLinksWindow, WithKeepOpenTickedTheWindowStays) {
    TFrmSearchFacebookVideoLinks* f = Open();
    f->EdtKeyword->SetText(L"news");
    f->ChkDontClose->SetChecked(true);
    f->BtnSearch->Click();
    f->EdtKeyword->SetText(L"more news");
    f->BtnSearch->Click();
    Pump(50);
    ASSERT_EQ(shell_.size(), 2u);
    EXPECT_EQ(shell_[1].file, kSearch + L"&as_q=more+news&as_epq=%22video+php+v%22&as_sitesearch=facebook.com/video");
    EXPECT_EQ(FrmSearchFacebookVideoLinks, f);
    EXPECT_TRUE(IsWindowVisible(f->Handle()));
    EXPECT_EQ(LeerArchivoConfig(L"NoCerrarFormBuscarLinks"), L"1");
    EXPECT_TRUE(KeepSearchFormOpen);
}

TEST_F(SearchLinksWindow, AnEmptyKeywordIsRefusedAfterStoringOnlyTheKeepOpenChoice) {
    TFrmSearchFacebookVideoLinks* f = Open();
    ASSERT_TRUE(PumpUntil([&] { return f->Active(); }));
    f->EdtKeyword->SetText(L" \t ");
    Pick(f->CmbEngine, 5);
    f->ChkDontClose->SetChecked(true);
    f->BtnSearch->Click();
    EXPECT_TRUE(shell_.empty());
    EXPECT_EQ(f->LblMsg->Caption(), kEmpty);
    EXPECT_TRUE(f->EdtKeyword->Focused());
    EXPECT_EQ(LeerArchivoConfig(L"NoCerrarFormBuscarLinks"), L"1");
    EXPECT_EQ(LeerArchivoConfig(L"MotorBusqueda"), L"");
    EXPECT_EQ(LeerArchivoConfig(L"TipoBusqueda"), L"");
    EXPECT_EQ(SearchEngineIndex, 1);
    EXPECT_EQ(LastSearchKeyword, L"");
    // Unticked, the refusal still keeps the window.
    f->ChkDontClose->SetChecked(false);
    f->BtnSearch->Click();
    Pump(50);
    EXPECT_EQ(FrmSearchFacebookVideoLinks, f);
    EXPECT_EQ(LeerArchivoConfig(L"NoCerrarFormBuscarLinks"), L"0");
    // Typing brings the hint back.
    f->EdtKeyword->SetText(L"c");
    EXPECT_EQ(f->LblMsg->Caption(), kHint);
}

TEST_F(SearchLinksWindow, TheSeparatorNeverStaysSelected) {
    TFrmSearchFacebookVideoLinks* f = Open();
    ASSERT_TRUE(PumpUntil([&] { return f->Active(); }));
    Pick(f->CmbEngine, 2);
    EXPECT_EQ(f->CmbEngine->ItemIndex(), 0);

    f->CmbEngine->SetFocus();
    ASSERT_TRUE(f->CmbEngine->Focused());
    struct Step {
        int from;
        WORD key;
        int to;
    } steps[] = {
        {1, VK_DOWN, 3}, {1, VK_RIGHT, 3}, {3, VK_UP, 1}, {3, VK_LEFT, 1}, {0, VK_DOWN, 1}, {4, VK_UP, 3},
    };
    for (const Step& s : steps) {
        f->CmbEngine->SetItemIndex(s.from);
        formstest::PostKey(f->CmbEngine->Handle(), s.key);
        EXPECT_TRUE(PumpUntil([&] { return f->CmbEngine->ItemIndex() == s.to; }, 1000))
            << s.from << " key " << s.key << " gave " << f->CmbEngine->ItemIndex();
    }
}

TEST_F(SearchLinksWindow, CloseAndEscDestroyTheWindow) {
    TFrmSearchFacebookVideoLinks* f = Open();
    HWND window = f->Handle();
    f->BtnCancel->Click();
    EXPECT_FALSE(SearchLinksFormExists());
    EXPECT_TRUE(Gone(window));

    f = Open();
    window = f->Handle();
    ASSERT_TRUE(PumpUntil([&] { return f->Active(); }));
    formstest::PostKey(f->EdtKeyword->Handle(), VK_ESCAPE);
    EXPECT_TRUE(Gone(window));
    EXPECT_FALSE(SearchLinksFormExists());

    f = Open();
    window = f->Handle();
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Gone(window));
    EXPECT_FALSE(SearchLinksFormExists());
    EXPECT_TRUE(shell_.empty());
}

TEST_F(SearchLinksWindow, OnlyOneWindowExistsAndFreeingItIsImmediate) {
    TFrmSearchFacebookVideoLinks* f = Open();
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(SearchLinksFormExists());
    EXPECT_EQ(f->PopupParent(), main_.get());
    EXPECT_TRUE(IsWindowVisible(f->Handle()));
    // Non-modal: the main window stays usable.
    EXPECT_TRUE(IsWindowEnabled(main_->Handle()));
    f->EdtKeyword->SetText(L"typed");
    main_->BringToFront();
    SetActiveWindow(main_->Handle());

    EXPECT_EQ(Open(), f);
    EXPECT_EQ(f->EdtKeyword->Text(), L"typed");
    EXPECT_TRUE(PumpUntil([&] { return f->EdtKeyword->Focused(); }));
    int windows = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountSearchWindows, reinterpret_cast<LPARAM>(&windows));
    EXPECT_EQ(windows, 1);

    HWND window = f->Handle();
    FreeSearchLinksForm();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(SearchLinksFormExists());
    FreeSearchLinksForm();  // nothing left to free
}
