#include "forms/uFrmDonate.h"

#include <windows.h>

#include "app/Links.h"
#include "classlib/Application.h"
#include "classlib/Button.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Hooks.h"
#include "classlib/Image.h"
#include "classlib/Label.h"
#include "classlib/Picture.h"
#include "classlib/Strings.h"
#include "classlib/Timer.h"
#include "forms/Settings.h"

namespace app {

using namespace cls;

TFrmDonate* FrmDonate = nullptr;
int DonateCountdown = 0;

namespace {
const wchar_t* const DonatePicture = L"KV_DONATE";
}

TFrmDonate::TFrmDonate(TComponent* owner) : TForm(owner) {
    CreateControls();
    DoCreate();
}

TFrmDonate::~TFrmDonate() {
    // The opener only keeps the variable as a mark; it must not point at a
    // freed window.
    if (FrmDonate == this) FrmDonate = nullptr;
}

void TFrmDonate::CreateControls() {
    CreateHandle({
        .WindowClass = WindowClass,
        .ClientWidth = DesignClientWidth,
        .ClientHeight = DesignClientHeight,
        .BorderStyle = bsDialog,
        .BorderIcons = 0,
        .Position = poMainFormCenter,
        .KeyPreview = true,
    });
    OnCreate = Method(this, &TFrmDonate::FormCreate);
    OnShow = Method(this, &TFrmDonate::FormShow);
    OnActivate = Method(this, &TFrmDonate::FormActivate);
    OnCloseQuery = Method(this, &TFrmDonate::FormCloseQuery);
    OnKeyDown = Method(this, &TFrmDonate::FormKeyDown);

    Panel1 = New<TPanel>(this, {.Name = L"Panel1", .Height = 140, .Align = alTop, .TabOrder = 0},
                         {.BevelOuter = bvNone});
    Label1 = New<TLabel>(Panel1, {.Name = L"Label1", .Left = 8, .Top = 10, .Width = 414, .Height = 54},
                         {.AutoSize = false, .WordWrap = true});
    Image1 = New<TImage>(Panel1,
                         {.Name = L"Image1", .Left = 130, .Top = 65, .Width = 170, .Height = 59,
                          .Cursor = crHandPoint});
    Image1->OnClick = Method(this, &TFrmDonate::BtnDonateClick);
    HINSTANCE module = GetModuleHandleW(nullptr);
    if (FindResourceW(module, DonatePicture, RT_RCDATA)) {
        try {
            TPicture picture;
            picture.LoadFromResource(module, DonatePicture);
            Image1->AssignPicture(picture);
        } catch (...) {
            // Without it the picture is an empty (still clickable) area.
        }
    }

    Bevel1 = New<TBevel>(this, {.Name = L"Bevel1", .Top = 140, .Height = 2, .Align = alTop}, {.Shape = bsTopLine});

    BtnAceptar = New<TButton>(this, {.Name = L"BtnAceptar", .Left = 347, .Top = 148, .TabOrder = 3},
                              {.Caption = L"OK", .ModalResult = mrClose});
    BtnDonate = New<TButton>(this, {.Name = L"BtnDonate", .Left = 266, .Top = 148, .TabOrder = 2},
                             {.Caption = L"Donate", .Default = true});
    BtnDonate->OnClick = Method(this, &TFrmDonate::BtnDonateClick);
    ChkNoMostrarMsg = New<TCheckBox>(
        this, {.Name = L"ChkNoMostrarMsg", .Left = 8, .Top = 153, .Width = 240, .TabOrder = 1},
        {.Caption = L"Do not show this message at startup"});

    Tmr = NewTimer(this, {.Name = L"Tmr", .Interval = 1000});
    Tmr->OnTimer = Method(this, &TFrmDonate::TmrTimer);
}

void TFrmDonate::FormCreate(TComponent*) {
    SetCaption(L"Donate");
    Label1->SetCaption(
        L"Korvelink is free. If you like this application and you wish, please make a donation of any amount, "
        L"which will help the author in the development of this and other projects in the present and for the "
        L"future. Your support is greatly appreciated!");
    BtnDonate->SetCaption(L"Donate");
    SetBorderIcons(biSystemMenu);
    Tmr->SetEnabled(false);
}

void TFrmDonate::FormShow(TComponent*) { ChkNoMostrarMsg->SetVisible(FMode != 1); }

void TFrmDonate::FormActivate(TComponent*) {
    if (FMode != 1) {
        BtnAceptar->SetEnabled(false);
        DonateCountdown = CountdownSeconds;
        BtnAceptar->SetCaption(L"(" + IntToStr(DonateCountdown) + L")");
        // Stopped first, so the first step comes a whole second later.
        Tmr->SetEnabled(false);
        Tmr->SetEnabled(true);
    } else {
        BtnAceptar->SetEnabled(true);
        ChkNoMostrarMsg->Hide();
    }
}

void TFrmDonate::TmrTimer(TComponent*) {
    --DonateCountdown;
    if (DonateCountdown > 0) {
        BtnAceptar->SetCaption(L"(" + IntToStr(DonateCountdown) + L")");
        return;
    }
    BtnAceptar->SetCaption(L"OK");
    BtnAceptar->SetEnabled(true);
    Tmr->SetEnabled(false);
}

void TFrmDonate::FormCloseQuery(TComponent*, bool& canClose) { canClose = BtnAceptar->Enabled(); }

void TFrmDonate::FormKeyDown(TComponent*, WORD& key, TShiftState) {
    if (key == VK_ESCAPE) Close();
}

void TFrmDonate::BtnDonateClick(TComponent*) {
    ShellExecuteStr(Application.Handle(), L"Open", DonationLink, L"", L"", SW_SHOW);
}

std::optional<bool> OpenDonateWindow(TForm* mainForm, int mode) {
    auto* form = new TFrmDonate(nullptr);
    FrmDonate = form;
    form->FMode = mode;
    form->SetPopupParent(mainForm);
    std::optional<bool> dontShow;
    try {
        form->ShowModal();
        if (form->ChkNoMostrarMsg->Visible()) dontShow = form->ChkNoMostrarMsg->Checked();
    } catch (...) {
        // Nothing to remember from a window that failed.
    }
    form->Release();
    return dontShow;
}

void ShowDonateForm(TForm* mainForm, int mode) {
    if (std::optional<bool> dontShow = OpenDonateWindow(mainForm, mode))
        EscribirArchivoConfig(L"NoMostrarMsgDonar", *dontShow ? L"1" : L"0");
}

}  // namespace app
