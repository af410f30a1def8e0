#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/Links.h"
#include "classlib/Application.h"
#include "classlib/Button.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Files.h"
#include "classlib/Hooks.h"
#include "classlib/Image.h"
#include "classlib/Label.h"
#include "classlib/Timer.h"
#include "engine/Constants.h"
#include "forms/Settings.h"
#include "forms/uFrmDonate.h"
#include "tests/classlib/FormsTestSupport.h"
#include "tests/support/TempFolder.h"

using namespace app;
using namespace cls;
using formstest::Pump;
using formstest::PumpUntil;
using testing_support::TempFolder;

namespace {

const std::wstring kMessage =
    L"Korvelink is free. If you like this application and you wish, please make a donation of any amount, which "
    L"will help the author in the development of this and other projects in the present and for the future. Your "
    L"support is greatly appreciated!";

struct ShellCall {
    HWND owner;
    std::wstring verb, file, params, dir;
    int show;
};

class DonateWindow : public ::testing::Test {
protected:
    DonateWindow()
        : data_(engine::DataFolder),
          shellHook_(ShellExecuteHook,
                     [this](HWND owner, const std::wstring& verb, const std::wstring& file, const std::wstring& params,
                            const std::wstring& dir, int show) -> INT_PTR {
                         shell_.push_back({owner, verb, file, params, dir, show});
                         return 42;
                     }) {
        Application.Initialize();
        engine::DataFolder = tmp_.Path() + L"data\\";
        main_ = std::make_unique<TForm>(nullptr, TFormProps{.Caption = L"main"});
        main_->Show();
    }
    ~DonateWindow() override {
        main_->Hide();
        Pump(10);
        engine::DataFolder = data_;
    }

    // Shows the Donate window through the main window's routine and runs
    // the steps on it, one per timer tick once it is up, so the modal loop
    // handles what each step asked for before the next; they must close it.
    void RunShowDonateForm(int mode, const std::vector<std::function<void(TFrmDonate&)>>& steps) {
        UINT_PTR timer = SetTimer(nullptr, 0, 50, nullptr);
        size_t next = 0;
        DWORD start = GetTickCount();
        Application.OnMessage = [&](MSG& m) {
            if (m.message != WM_TIMER || m.wParam != timer || !FrmDonate) return false;
            if (next < steps.size() && IsWindowVisible(FrmDonate->Handle())) {
                steps[next++](*FrmDonate);
            } else if (GetTickCount() - start > 5000) {
                ADD_FAILURE() << "the steps left the window open";
                FrmDonate->BtnAceptar->SetEnabled(true);
                FrmDonate->SetModalResult(mrClose);
            }
            return false;
        };
        ShowDonateForm(main_.get(), mode);
        Application.OnMessage = nullptr;
        KillTimer(nullptr, timer);
        EXPECT_EQ(next, steps.size());
    }

    static void RunOutCountdown(TFrmDonate& f) {
        for (int i = 0; i < TFrmDonate::CountdownSeconds; ++i) f.Tmr->DoTimer();
    }

    formstest::CommonControls6 cc6_;
    TempFolder tmp_;
    std::wstring data_;
    std::unique_ptr<TForm> main_;
    std::vector<ShellCall> shell_;
    ScopedHook<ShellExecuteFunc> shellHook_;
};

}  // namespace

TEST_F(DonateWindow, FormResource) {
    TFrmDonate f;
    EXPECT_EQ(f.Caption(), L"Donate");
    EXPECT_EQ(f.ClientWidth(), 430);
    EXPECT_EQ(f.ClientHeight(), 181);
    EXPECT_EQ(f.BorderStyle(), bsDialog);
    EXPECT_EQ(f.BorderIcons(), biSystemMenu);
    EXPECT_TRUE(GetWindowLongW(f.Handle(), GWL_STYLE) & WS_SYSMENU);
    EXPECT_EQ(f.Position(), poMainFormCenter);
    EXPECT_TRUE(f.KeyPreview);
    EXPECT_EQ(f.FMode, 1);

    EXPECT_EQ(f.Panel1->Align(), alTop);
    EXPECT_EQ(f.Panel1->Height(), 140);
    EXPECT_EQ(f.Panel1->BevelOuter(), bvNone);
    EXPECT_EQ(f.Label1->Caption(), kMessage);
    EXPECT_TRUE(f.Label1->WordWrap());
    EXPECT_EQ(f.Label1->Left(), 8);
    EXPECT_EQ(f.Label1->Top(), 10);
    EXPECT_EQ(f.Label1->Width(), 414);
    EXPECT_EQ(f.Label1->Height(), 54);
    EXPECT_EQ(f.Image1->Left(), 130);
    EXPECT_EQ(f.Image1->Top(), 65);
    EXPECT_EQ(f.Image1->Width(), 170);
    EXPECT_EQ(f.Image1->Height(), 59);
    EXPECT_EQ(f.Image1->Cursor(), crHandPoint);
    EXPECT_EQ(f.Bevel1->Align(), alTop);

    EXPECT_EQ(f.BtnAceptar->Caption(), L"OK");
    EXPECT_EQ(f.BtnAceptar->ModalResult, mrClose);
    EXPECT_EQ(f.BtnAceptar->Left(), 347);
    EXPECT_EQ(f.BtnAceptar->Top(), 148);
    EXPECT_EQ(f.BtnDonate->Caption(), L"Donate");
    EXPECT_TRUE(f.BtnDonate->Default());
    EXPECT_EQ(f.BtnDonate->Left(), 266);
    EXPECT_EQ(f.ChkNoMostrarMsg->Caption(), L"Do not show this message at startup");
    EXPECT_LE(f.ChkNoMostrarMsg->Left() + f.ChkNoMostrarMsg->Width(), f.BtnDonate->Left());
    EXPECT_EQ(f.Tmr->Interval(), 1000u);
    EXPECT_FALSE(f.Tmr->Enabled());
}

TEST_F(DonateWindow, ThePictureIsTheStoredDonateButton) {
    if (!FindResourceW(GetModuleHandleW(nullptr), L"KV_DONATE", RT_RCDATA))
        GTEST_SKIP() << "app/res/Periphery.rc is not linked into this executable";
    TFrmDonate f;
    ASSERT_NE(f.Image1->Graphic(), nullptr);
    EXPECT_EQ(f.Image1->Picture().Width(), 170);
    EXPECT_EQ(f.Image1->Picture().Height(), 59);
}

TEST_F(DonateWindow, TheReminderCountsDownOneStepPerTick) {
    TFrmDonate f;
    f.FMode = 2;
    f.Show();
    ASSERT_TRUE(PumpUntil([&] { return f.Tmr->Enabled(); }));
    EXPECT_TRUE(f.ChkNoMostrarMsg->Visible());
    EXPECT_FALSE(f.BtnAceptar->Enabled());
    EXPECT_EQ(DonateCountdown, 5);
    std::vector<std::wstring> captions{f.BtnAceptar->Caption()};
    for (int i = 0; i < 5; ++i) {
        EXPECT_FALSE(f.CloseQuery()) << "closable at " << captions.back();
        EXPECT_FALSE(f.BtnAceptar->Enabled());
        f.Tmr->DoTimer();
        captions.push_back(f.BtnAceptar->Caption());
    }
    EXPECT_EQ(captions, (std::vector<std::wstring>{L"(5)", L"(4)", L"(3)", L"(2)", L"(1)", L"OK"}));
    EXPECT_TRUE(f.BtnAceptar->Enabled());
    EXPECT_FALSE(f.Tmr->Enabled());
    EXPECT_EQ(DonateCountdown, 0);
    EXPECT_TRUE(f.CloseQuery());
    f.Hide();
}

TEST_F(DonateWindow, TheTimerStepsEverySecond) {
    TFrmDonate f;
    f.FMode = 2;
    f.Show();
    ASSERT_TRUE(PumpUntil([&] { return f.Tmr->Enabled(); }));
    const DWORD start = GetTickCount();
    ASSERT_TRUE(PumpUntil([&] { return f.BtnAceptar->Caption() == L"(4)"; }, 3000));
    const DWORD first = GetTickCount() - start;
    EXPECT_GE(first, 900u);
    EXPECT_LE(first, 1600u);
    EXPECT_FALSE(f.BtnAceptar->Enabled());
    f.Hide();
}

TEST_F(DonateWindow, ComingBackToTheReminderRestartsTheCountdown) {
    TFrmDonate f;
    f.FMode = 2;
    f.Show();
    ASSERT_TRUE(PumpUntil([&] { return f.Tmr->Enabled(); }));
    f.Tmr->DoTimer();
    f.Tmr->DoTimer();
    ASSERT_EQ(f.BtnAceptar->Caption(), L"(3)");
    // The user goes to another window (the browser) and comes back.
    SendMessageW(f.Handle(), WM_ACTIVATE, WA_INACTIVE, 0);
    SendMessageW(f.Handle(), WM_ACTIVATE, WA_CLICKACTIVE, 0);
    EXPECT_EQ(f.BtnAceptar->Caption(), L"(5)");
    EXPECT_EQ(DonateCountdown, 5);
    EXPECT_FALSE(f.BtnAceptar->Enabled());
    EXPECT_TRUE(f.Tmr->Enabled());
    // Also once the countdown had ended.
    RunOutCountdown(f);
    ASSERT_TRUE(f.BtnAceptar->Enabled());
    SendMessageW(f.Handle(), WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(f.BtnAceptar->Caption(), L"(5)");
    EXPECT_FALSE(f.BtnAceptar->Enabled());
    f.Hide();
}

TEST_F(DonateWindow, DonatingOpensThePageAndKeepsTheWindow) {
    TFrmDonate f;
    f.FMode = 2;
    f.Show();
    ASSERT_TRUE(PumpUntil([&] { return f.Tmr->Enabled(); }));
    f.BtnDonate->Click();
    f.Image1->DoClick();
    ASSERT_EQ(shell_.size(), 2u);
    for (const ShellCall& c : shell_) {
        EXPECT_EQ(c.owner, Application.Handle());
        EXPECT_EQ(c.verb, L"Open");
        EXPECT_EQ(c.file, DonationLink);
        EXPECT_EQ(c.params, L"");
        EXPECT_EQ(c.show, SW_SHOW);
    }
    EXPECT_EQ(f.ModalResult(), mrNone);
    EXPECT_TRUE(IsWindowVisible(f.Handle()));
    f.Hide();
}

TEST_F(DonateWindow, TheReminderIgnoresEveryCloseUntilItsCountdownEnds) {
    std::vector<bool> open;
    auto stillOpen = [&](TFrmDonate& f) { open.push_back(IsWindowVisible(f.Handle()) && f.ModalResult() == mrNone); };
    RunShowDonateForm(2, {
        [&](TFrmDonate& f) {
            EXPECT_TRUE(f.ChkNoMostrarMsg->Visible());
            EXPECT_EQ(f.PopupParent(), main_.get());
            EXPECT_FALSE(IsWindowEnabled(main_->Handle()));
            formstest::PostKey(f.Handle(), VK_ESCAPE);
        },
        [&](TFrmDonate& f) {
            stillOpen(f);
            PostMessageW(f.Handle(), WM_CLOSE, 0, 0);
        },
        [&](TFrmDonate& f) {
            stillOpen(f);
            // Enter presses the default button: donate, not close.
            formstest::PostKey(f.BtnDonate->Handle(), VK_RETURN);
        },
        [&](TFrmDonate& f) {
            stillOpen(f);
            RunOutCountdown(f);
            formstest::PostKey(f.Handle(), VK_ESCAPE);
        },
    });
    EXPECT_EQ(open, (std::vector<bool>{true, true, true}));
    ASSERT_NE(FrmDonate, nullptr);  // released, not yet freed
    EXPECT_EQ(FrmDonate->ModalResult(), mrCancel);
    EXPECT_EQ(shell_.size(), 1u);
    EXPECT_TRUE(PumpUntil([] { return FrmDonate == nullptr; }));
}

TEST_F(DonateWindow, TheReminderWritesTheCheckBoxState) {
    for (bool tick : {true, false}) {
        RunShowDonateForm(2, {[&](TFrmDonate& f) {
                              f.ChkNoMostrarMsg->SetChecked(tick);
                              RunOutCountdown(f);
                              f.BtnAceptar->Click();
                          }});
        EXPECT_EQ(LeerArchivoConfig(L"NoMostrarMsgDonar"), tick ? L"1" : L"0");
        // The window is released; its variable does not outlive it.
        EXPECT_TRUE(PumpUntil([] { return FrmDonate == nullptr; }));
    }
}

TEST_F(DonateWindow, FromTheMenuItClosesAtOnceAndWritesNothing) {
    EscribirArchivoConfig(L"NoMostrarMsgDonar", L"1");
    const std::wstring config = ConfigFileName();
    std::string before;
    ASSERT_TRUE(ReadFileBytes(config, before));
    bool okAtOnce = false, boxHidden = false, timerOff = false;
    RunShowDonateForm(1, {[&](TFrmDonate& f) {
                          okAtOnce = f.BtnAceptar->Enabled() && f.BtnAceptar->Caption() == L"OK";
                          boxHidden = !f.ChkNoMostrarMsg->Visible();
                          timerOff = !f.Tmr->Enabled();
                          formstest::PostKey(f.Handle(), VK_ESCAPE);
                      }});
    EXPECT_TRUE(okAtOnce);
    EXPECT_TRUE(boxHidden);
    EXPECT_TRUE(timerOff);
    std::string after;
    ASSERT_TRUE(ReadFileBytes(config, after));
    EXPECT_EQ(after, before);
    EXPECT_TRUE(PumpUntil([] { return FrmDonate == nullptr; }));
}

TEST_F(DonateWindow, OpenDonateWindowReportsTheBoxOnlyWhenShown) {
    UINT_PTR timer = SetTimer(nullptr, 0, 30, nullptr);
    Application.OnMessage = [&](MSG& m) {
        if (m.message == WM_TIMER && m.wParam == timer && FrmDonate && IsWindowVisible(FrmDonate->Handle())) {
            FrmDonate->ChkNoMostrarMsg->SetChecked(true);
            if (FrmDonate->FMode == 2) RunOutCountdown(*FrmDonate);
            FrmDonate->BtnAceptar->Click();
        }
        return false;
    };
    std::optional<bool> menu = OpenDonateWindow(main_.get(), 1);
    std::optional<bool> reminder = OpenDonateWindow(main_.get(), 2);
    Application.OnMessage = nullptr;
    KillTimer(nullptr, timer);
    EXPECT_FALSE(menu.has_value());
    ASSERT_TRUE(reminder.has_value());
    EXPECT_TRUE(*reminder);
    // Nothing written by this routine itself.
    EXPECT_FALSE(FileExists(ConfigFileName()));
    Pump(20);
}
