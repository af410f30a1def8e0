#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Version.h"
#include "app/Links.h"
#include "classlib/Application.h"
#include "classlib/Bitmap.h"
#include "classlib/Button.h"
#include "classlib/Edit.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Hooks.h"
#include "classlib/Image.h"
#include "classlib/Label.h"
#include "forms/uFrmAbout.h"
#include "tests/classlib/FormsTestSupport.h"

using namespace app;
using namespace cls;
using formstest::Pump;
using formstest::PumpUntil;

namespace {

struct Shell {
    HWND owner;
    std::wstring verb, file, params;
    int show;
};

class AboutWindow : public ::testing::Test {
protected:
    AboutWindow()
        : shellHook_(ShellExecuteHook, [this](HWND owner, const std::wstring& verb, const std::wstring& file,
                                              const std::wstring& params, const std::wstring&, int show) {
              shells_.push_back({owner, verb, file, params, show});
              return INT_PTR(42);
          }) {
        Application.Initialize();
    }
    ~AboutWindow() override { Pump(10); }

    formstest::CommonControls6 cc6_;
    std::vector<Shell> shells_;
    ScopedHook<ShellExecuteFunc> shellHook_;
};

// Runs Action once the modal loop that Open starts is running.
void WhileModal(const std::function<void()>& open, const std::function<void()>& action) {
    UINT_PTR timer = SetTimer(nullptr, 0, 100, nullptr);
    int ticks = 0;
    Application.OnMessage = [&](MSG& m) {
        if (m.message == WM_TIMER && m.wParam == timer) {
            if (++ticks == 1) action();
            if (ticks == 50 && FrmAbout) PostMessageW(FrmAbout->Handle(), WM_CLOSE, 0, 0);  // guard
            return true;
        }
        return false;
    };
    open();
    Application.OnMessage = nullptr;
    KillTimer(nullptr, timer);
    EXPECT_LT(ticks, 50) << "closed by the guard";
}

// Dark pixels of a label, as its parent draws it on white, whose right
// neighbour is dark too: strokes at least two pixels wide.
int WideInkOf(TLabel* label) {
    TWinControl* parent = label->Parent();
    TBitmap shot(parent->ClientWidth(), parent->ClientHeight());
    SendMessageW(parent->Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(shot.DC()), PRF_CLIENT);
    GdiFlush();
    const RECT b = label->BoundsRect();
    int ink = 0;
    for (int y = b.top; y < b.bottom; ++y)
        for (int x = b.left; x + 1 < b.right; ++x)
            ink += (shot.Pixel(x, y) & 0xFF) < 128 && (shot.Pixel(x + 1, y) & 0xFF) < 128;
    return ink;
}

}  // namespace

TEST(AboutTexts, VersionAndAddress) {
    EXPECT_EQ(AboutVersionText(), std::wstring(L"Version ") + KORVELINK_VERSION_WTEXT + L" - Free");
    EXPECT_EQ(AboutAddressText(L"https://korvelink.example/"), L"korvelink.example/");
    EXPECT_EQ(AboutAddressText(L"http://a.example/x//y"), L"a.example/x//y") << "only the first \"//\"";
    EXPECT_EQ(AboutAddressText(L"korvelink.example"), L"korvelink.example");
}

TEST_F(AboutWindow, OpensCompactWithItsTexts) {
    TFrmAbout form;
    EXPECT_EQ(form.Caption(), L"About Korvelink");
    EXPECT_EQ(form.Label1->Caption(), L"Korvelink");
    EXPECT_EQ(form.Label2->Caption(), AboutVersionText());
    EXPECT_EQ(form.Label4->Caption(), AboutAddressText(HomePageLink));
    EXPECT_EQ(form.Label4->Font().Color(), TColor(8404992));
    EXPECT_TRUE(form.Memo1->ReadOnly());
    EXPECT_EQ(form.BtnAceptar->ModalResult, mrOk);
    // The credits lie below the panel's visible part.
    EXPECT_EQ(form.ClientHeight(), 126);
    EXPECT_EQ(form.Panel1->Height(), 85);
    for (TButton* b : {form.BtnDonate, form.BtnCreditos, form.BtnAceptar}) EXPECT_EQ(b->Top(), 93);
    EXPECT_GE(form.Label5->Top(), form.Panel1->Height());
    EXPECT_GE(form.Memo1->Top(), form.Panel1->Height());
}

TEST_F(AboutWindow, TheProgramsNameIsDrawnBold) {
    TFrmAbout form;
    auto* regular = New<TLabel>(form.Panel1, {.Left = 200, .Top = 10, .Font = TFontSpec{.Height = -13}},
                                {.Caption = L"Korvelink", .Transparent = true});
    ASSERT_EQ(form.Label1->Font().Height(), -13);
    // Regular strokes at this size are mostly one pixel wide, bold ones two.
    const int bold = WideInkOf(form.Label1), plain = WideInkOf(regular);
    EXPECT_GT(bold, plain * 3 / 2 + 5) << "bold " << bold << ", regular " << plain;
}

TEST_F(AboutWindow, CreditsEnlargeTheWindowAndHideTheirButton) {
    TFrmAbout form;
    form.Show();
    PumpUntil([&] { return GetFocus() == form.BtnDonate->Handle(); });
    EXPECT_EQ(GetFocus(), form.BtnDonate->Handle()) << "Donate has the focus";
    form.BtnCreditos->Click();
    EXPECT_EQ(form.ClientHeight(), 218);
    EXPECT_EQ(form.Panel1->Height(), 177);
    for (TButton* b : {form.BtnDonate, form.BtnAceptar}) EXPECT_EQ(b->Top(), 185);
    EXPECT_FALSE(form.BtnCreditos->Visible());
    EXPECT_EQ(form.BtnDonate->Left(), 157);
    EXPECT_EQ(GetFocus(), form.BtnDonate->Handle());
    EXPECT_LE(form.Memo1->Top() + form.Memo1->Height(), form.Panel1->Height()) << "the credits show now";
}

TEST_F(AboutWindow, DonateAndHomePageOpenInTheBrowser) {
    TFrmAbout form;
    form.BtnDonate->Click();
    ASSERT_EQ(shells_.size(), 1u);
    EXPECT_EQ(shells_[0].owner, Application.Handle());
    EXPECT_EQ(shells_[0].verb, L"Open");
    EXPECT_EQ(shells_[0].file, DonationLink);
    EXPECT_EQ(shells_[0].show, SW_SHOW);
    form.Label4->DoClick();
    ASSERT_EQ(shells_.size(), 2u);
    EXPECT_EQ(shells_[1].owner, GetDesktopWindow());
    EXPECT_EQ(shells_[1].file, HomePageLink);
    EXPECT_EQ(shells_[1].show, SW_SHOWNORMAL);
    EXPECT_EQ(form.ModalResult(), mrNone) << "the window stays open";
    // The address is underlined while the pointer is on it.
    form.Label4->DoMouseMove(0, 3, 3);
    EXPECT_TRUE(form.Label4->Font().Style() & fsUnderline);
    form.Label4->DoMouseLeave();
    EXPECT_FALSE(form.Label4->Font().Style() & fsUnderline);
}

TEST_F(AboutWindow, OpenedModallyAndClosedWithEsc) {
    TForm main(nullptr, {.WindowClass = L"TAboutTestMain", .ClientWidth = 300, .ClientHeight = 200});
    main.Show();
    bool seen = false;
    WhileModal([&] { OpenAboutWindow(&main); },
               [&] {
                   ASSERT_NE(FrmAbout, nullptr);
                   seen = FrmAbout->Modal() && FrmAbout->PopupParent() == &main;
                   formstest::PostKey(GetFocus(), VK_ESCAPE);
               });
    EXPECT_TRUE(seen);
    EXPECT_EQ(FrmAbout, nullptr) << "the variable is cleared with the window";
}
