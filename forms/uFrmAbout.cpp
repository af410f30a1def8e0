#include "uFrmAbout.h"

#include <algorithm>
#include <memory>

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
#include "classlib/Raii.h"
#include "classlib/Strings.h"

namespace app {

using namespace cls;

TFrmAbout* FrmAbout = nullptr;

namespace {

const wchar_t* const kNotice = L"Not affiliated with Facebook.";
const std::vector<std::wstring> kCredits = {
    L"libjpeg - Independent JPEG Group - https://www.ijg.org/",
    L"zlib - Jean-loup Gailly and Mark Adler - https://zlib.net/",
    L"MinGW-w64 - the MinGW-w64 project - https://www.mingw-w64.org/",
    L"Wine - the Wine project - https://www.winehq.org/",
};

// The program's icon at SIZE pixels with its transparency, for the picture.
std::unique_ptr<TBitmap> ProgramPicture(int size) {
    cls::Icon icon(static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), L"MAINICON", IMAGE_ICON, size, size, 0)));
    if (!icon) return nullptr;
    // Drawn on black and on white: the difference is each pixel's coverage.
    TBitmap onBlack(size, size), onWhite(size, size);
    onBlack.Fill(MakeBGRA(0, 0, 0));
    onWhite.Fill(MakeBGRA(255, 255, 255));
    DrawIconEx(onBlack.DC(), 0, 0, icon.get(), size, size, 0, nullptr, DI_NORMAL);
    DrawIconEx(onWhite.DC(), 0, 0, icon.get(), size, size, 0, nullptr, DI_NORMAL);
    GdiFlush();
    auto out = std::make_unique<TBitmap>(size, size);
    out->SetHasAlpha(true);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const uint32_t b = onBlack.Pixel(x, y), w = onWhite.Pixel(x, y);
            const int alpha = std::clamp(255 - (int((w >> 8) & 0xFF) - int((b >> 8) & 0xFF)), 0, 255);
            auto channel = [&](int shift) {
                return alpha ? uint8_t(std::min(255, int((b >> shift) & 0xFF) * 255 / alpha)) : uint8_t(0);
            };
            out->SetPixel(x, y, MakeBGRA(channel(16), channel(8), channel(0), uint8_t(alpha)));
        }
    return out;
}

}  // namespace

std::wstring AboutVersionText() { return std::wstring(L"Version ") + KORVELINK_VERSION_WTEXT + L" - Free"; }

std::wstring AboutAddressText(const std::wstring& address) {
    const size_t at = address.find(L"//");
    return at == std::wstring::npos ? address : address.substr(at + 2);
}

TFrmAbout::TFrmAbout(TComponent* owner) : TForm(owner) {
    CreateControls();
    DoCreate();
}

void TFrmAbout::CreateControls() {
    CreateHandle({
        .WindowClass = WindowClass,
        .ClientWidth = DesignClientWidth,
        .ClientHeight = 218,
        .BorderStyle = bsDialog,
        .BorderIcons = biSystemMenu,
        .Position = poMainFormCenter,
        .KeyPreview = true,
        .Font = {.Name = L"Tahoma"},
    });
    OnCreate = Method(this, &TFrmAbout::FormCreate);
    OnActivate = Method(this, &TFrmAbout::FormActivate);
    OnKeyDown = Method(this, &TFrmAbout::FormKeyDown);

    Panel1 = NewOwned<TPanel>(this, this, {.Name = L"Panel1", .Height = 177, .Align = alTop, .Color = clWindow},
                              {.BevelOuter = bvNone});
    Image1 = NewOwned<TImage>(this, Panel1, {.Name = L"Image1", .Left = 10, .Top = 10, .Width = 64, .Height = 64},
                              {.Transparent = true});
    if (auto picture = ProgramPicture(64)) Image1->SetGraphic(std::move(picture));
    Label1 = NewOwned<TLabel>(this, Panel1,
                              {.Name = L"Label1", .Left = 86, .Top = 10, .Font = TFontSpec{.Height = -13, .Style = fsBold}},
                              {.Transparent = true});
    Label2 = NewOwned<TLabel>(this, Panel1, {.Name = L"Label2", .Left = 86, .Top = 30}, {.Transparent = true});
    Label3 = NewOwned<TLabel>(this, Panel1, {.Name = L"Label3", .Left = 86, .Top = 46}, {.Transparent = true});
    Label4 = NewOwned<TLabel>(
        this, Panel1,
        {.Name = L"Label4", .Left = 86, .Top = 62, .Cursor = crHandPoint, .Font = TFontSpec{.Color = 8404992}},
        {.Transparent = true, .ShowAccelChar = false});
    Label4->OnClick = Method(this, &TFrmAbout::Label4Click);
    Label4->OnMouseMove = Method(this, &TFrmAbout::Label4MouseMove);
    Label4->OnMouseLeave = Method(this, &TFrmAbout::Label4MouseLeave);
    Label5 = NewOwned<TLabel>(this, Panel1, {.Name = L"Label5", .Left = 10, .Top = 91},
                              {.Caption = L"Special thanks:", .Transparent = true});
    Memo1 = NewOwned<TMemo>(
        this, Panel1,
        {.Name = L"Memo1", .Left = 10, .Top = 108, .Width = 302, .Height = 61, .Font = TFontSpec{.Style = fsItalic},
         .TabOrder = 3},
        {.Lines = kCredits, .ReadOnly = true, .WordWrap = true, .ScrollBars = ssVertical});
    Bevel1 = NewOwned<TBevel>(this, this, {.Name = L"Bevel1", .Top = 177, .Height = 2, .Align = alTop},
                              {.Shape = bsTopLine});
    BtnDonate = NewOwned<TButton>(
        this, this, {.Name = L"BtnDonate", .Left = 76, .Top = 185, .Width = 75, .Height = 25, .TabOrder = 0},
        {.Caption = L"Donate"});
    BtnDonate->OnClick = Method(this, &TFrmAbout::BtnDonateClick);
    BtnCreditos = NewOwned<TButton>(
        this, this, {.Name = L"BtnCreditos", .Left = 157, .Top = 185, .Width = 75, .Height = 25, .TabOrder = 1},
        {.Caption = L"Credits"});
    BtnCreditos->OnClick = Method(this, &TFrmAbout::BtnCreditosClick);
    BtnAceptar = NewOwned<TButton>(
        this, this, {.Name = L"BtnAceptar", .Left = 238, .Top = 185, .Width = 75, .Height = 25, .TabOrder = 2},
        {.Caption = L"OK", .ModalResult = mrOk});
}

void TFrmAbout::Layout(int panelHeight, int buttonsTop, int clientHeight) {
    SetClientHeight(clientHeight);
    Panel1->SetHeight(panelHeight);
    for (TButton* b : {BtnDonate, BtnCreditos, BtnAceptar}) b->SetTop(buttonsTop);
}

void TFrmAbout::FormCreate(TComponent*) {
    SetCaption(L"About Korvelink");
    Label1->SetCaption(L"Korvelink");
    Label3->SetCaption(kNotice);
    Label2->SetCaption(AboutVersionText());
    Label4->SetCaption(AboutAddressText(HomePageLink));
    // The credits stay below the visible area until asked for.
    Layout(85, 93, 126);
}

void TFrmAbout::FormActivate(TComponent*) { BtnDonate->SetFocus(); }

void TFrmAbout::BtnCreditosClick(TComponent*) {
    Layout(177, 185, 218);
    BtnCreditos->Hide();
    BtnDonate->SetLeft(157);
    BtnDonate->SetFocus();
}

void TFrmAbout::BtnDonateClick(TComponent*) {
    ShellExecuteStr(Application.Handle(), L"Open", DonationLink, {}, {}, SW_SHOW);
}

void TFrmAbout::Label4Click(TComponent*) {
    ShellExecuteStr(GetDesktopWindow(), L"Open", HomePageLink, {}, {}, SW_SHOWNORMAL);
}

void TFrmAbout::Label4MouseMove(TComponent*, TShiftState, int, int) {
    Label4->Font().SetStyle(Label4->Font().Style() | fsUnderline);
}

void TFrmAbout::Label4MouseLeave(TComponent*) { Label4->Font().SetStyle(Label4->Font().Style() & ~fsUnderline); }

void TFrmAbout::FormKeyDown(TComponent*, WORD& key, TShiftState) {
    if (key == VK_ESCAPE) Close();
}

void OpenAboutWindow(TForm* mainForm) {
    std::unique_ptr<TFrmAbout> form(new TFrmAbout(nullptr));
    FrmAbout = form.get();
    cls::ScopeExit clear([] { FrmAbout = nullptr; });
    form->SetPopupParent(mainForm);
    form->ShowModal();
}

}  // namespace app
