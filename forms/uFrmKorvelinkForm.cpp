// The main window's form resource: its controls, their designed places and
// settings, its pictures and the event bindings.
#include "uFrmKorvelink.h"

#include "classlib/Dialogs.h"
#include "classlib/Edit.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Image.h"
#include "classlib/ImgList.h"
#include "classlib/Label.h"
#include "classlib/ListView.h"
#include "classlib/Menus.h"
#include "classlib/Picture.h"
#include "classlib/Raii.h"
#include "classlib/ScrollBox.h"
#include "classlib/SpeedButton.h"
#include "classlib/Timer.h"
#include "classlib/ToolBar.h"
#include "classlib/Strings.h"
#include "components/TrayIcon.h"
#include "forms/LinkDropTarget.h"
#include "forms/VideoPanel.h"

namespace app {

using namespace cls;

namespace {

constexpr TColor TextGrey = 0x333333;
constexpr TColor CloseButtonGrey = 0x969696;
constexpr TColor LinkBlue = 0xD66C33;

// Pictures stored in the program's resources.
const wchar_t* const ToolBarPictures[] = {L"KV_TB_HISTORY", L"KV_TB_SCAN", L"KV_TB_USER"};
const wchar_t* const InfoPicture = L"KV_MSG_INFO";
const wchar_t* const WarningPicture = L"KV_MSG_WARNING";
const wchar_t* const WorkingPicture = L"KV_MSG_WORK";
const wchar_t* const DefaultThumbnailPicture = L"KV_THUMB_DEFAULT";

// A missing or unreadable picture leaves the control without one.
bool LoadResourcePicture(const wchar_t* name, TPicture& picture) {
    try {
        picture.LoadFromResource(GetModuleHandleW(nullptr), name);
        return true;
    } catch (const EInvalidGraphic&) {
        return false;
    }
}

void LoadResourceImage(TImage* image, const wchar_t* name) {
    TPicture picture;
    if (LoadResourcePicture(name, picture)) image->AssignPicture(picture);
}

}  // namespace

void TFrmKorvelink::CreateControls() {
    CreateHandle({
        .WindowClass = WindowClass,
        .ClientWidth = DesignClientWidth,
        .ClientHeight = DesignClientHeight,
        .BorderStyle = bsSingle,
        .BorderIcons = biSystemMenu | biMinimize,
        // Placed by the settings.
        .Position = poDesigned,
    });
    ImageList1 = NewImageList(this, {.Name = L"ImageList1", .Width = 16, .Height = 16});
    ImageList2 = NewImageList(this, {.Name = L"ImageList2", .Width = 60, .Height = 45});
    ImageList3 = NewImageList(this, {.Name = L"ImageList3", .Width = 13, .Height = 10});

    CreateMenus();
    CreateToolBar();
    CreateResultsArea();
    CreateMessageBar();
    CreateHistoryPanel();

    ImgDuration = New<TImage>(this, {.Name = L"ImgDuration", .Left = 8, .Top = 40, .Width = 40, .Height = 16});
    ImgThumbDefault = New<TImage>(this, {.Name = L"ImgThumbDefault", .Left = 8, .Top = 60, .Width = 174,
                                         .Height = 130});

    OpenDialog1 = new TOpenDialog(this);
    OpenDialog1->Name = L"OpenDialog1";
    SaveDialog1 = new TSaveDialog(this);
    SaveDialog1->Name = L"SaveDialog1";

    Timer1 = NewTimer(this, {.Name = L"Timer1", .Interval = 10, .Enabled = false});
    Timer2 = NewTimer(this, {.Name = L"Timer2", .Interval = 5000, .Enabled = false});
    Timer3 = NewTimer(this, {.Name = L"Timer3", .Interval = 10, .Enabled = false});
    Timer4 = NewTimer(this, {.Name = L"Timer4", .Interval = 2000, .Enabled = false});
    Timer1->OnTimer = Method(this, &TFrmKorvelink::Timer1Timer);
    Timer2->OnTimer = Method(this, &TFrmKorvelink::Timer2Timer);
    Timer3->OnTimer = Method(this, &TFrmKorvelink::Timer3Timer);
    Timer4->OnTimer = Method(this, &TFrmKorvelink::Timer4Timer);

    TrayIcon1 = new components::TTrayIcon(this);
    TrayIcon1->Name = L"TrayIcon1";
    {
        HINSTANCE inst = GetModuleHandleW(nullptr);
        cls::Icon icon(static_cast<HICON>(LoadImageW(inst, L"MAINICON", IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                     GetSystemMetrics(SM_CYSMICON), 0)));
        TrayIcon1->SetIcon(icon ? icon.get() : LoadIconW(nullptr, IDI_APPLICATION));
    }
    TrayIcon1->SetPopupMenu(PopupMenu2);
    TrayIcon1->OnClick = Method(this, &TFrmKorvelink::TrayIcon1Click);
    TrayIcon1->OnBalloonHintClick = Method(this, &TFrmKorvelink::TrayIcon1BalloonHintClick);
    TrayIcon1->SetIconVisible(true);
    TrayIcon1->Loaded();

    LoadPictures();

    // Links dragged from a browser.
    DropURLTarget1 = PlaceLinkDropTarget(
        this, {.OnEnter = [this](const std::wstring& url, DWORD& effect) { DropURLTarget1Enter(url, effect); },
               .OnDrop = [this](const std::wstring& url, DWORD& effect) { DropURLTarget1Drop(url, effect); },
               .ShowImage = [this] { return DropShowImage(); }});

    OnCreate = Method(this, &TFrmKorvelink::FormCreate);
    OnActivate = Method(this, &TFrmKorvelink::FormActivate);
    OnCloseQuery = Method(this, &TFrmKorvelink::FormCloseQuery);
    OnDestroy = Method(this, &TFrmKorvelink::FormDestroy);
    SetMessageHandler(WM_EXITSIZEMOVE, Method(this, &TFrmKorvelink::WMExitSizeMove));
    SetMessageHandler(WM_QUERYENDSESSION, Method(this, &TFrmKorvelink::WMQueryEndSession));
    SetMessageHandler(CM_SEARCHDROPPEDLINK, Method(this, &TFrmKorvelink::SearchDroppedLink));
    SetMessageHandler(CM_FOCUSFORACTIVATION, Method(this, &TFrmKorvelink::WMFocusForActivation));
}

void TFrmKorvelink::CreateMenus() {
    MainMenu1 = new TMainMenu(this);
    MainMenu1->Name = L"MainMenu1";
    TMenuItem* root = MainMenu1->Items();
    auto item = [this](TMenuItem* parent, const TMenuItem::Props& props, void (TFrmKorvelink::*handler)(TComponent*)) {
        TMenuItem* i = NewItem(parent, props);
        if (handler) i->OnClick = Method(this, handler);
        return i;
    };
    using F = TFrmKorvelink;

    MnuArchivo = item(root, {.Name = L"MnuArchivo", .Caption = L"File"}, nullptr);
    MnuSalir = item(MnuArchivo, {.Name = L"MnuSalir", .Caption = L"Exit", .ShortCut = ShortCut(L'W', ssCtrl)},
                    &F::MnuSalirClick);

    MnuOpciones = item(root, {.Name = L"MnuOpciones", .Caption = L"Options"}, nullptr);
    MnuLogin = item(MnuOpciones,
                    {.Name = L"MnuLogin", .Caption = L"Facebook Account...", .ShortCut = ShortCut(L'F', ssCtrl)},
                    &F::MnuLoginClick);
    ools1 = item(MnuOpciones, {.Name = L"ools1", .Caption = L"Facebook Tools"}, nullptr);
    SearchPublicVideoLinks1 = item(ools1,
                                   {.Name = L"SearchPublicVideoLinks1", .Caption = L"Search Facebook Video Links...",
                                    .ShortCut = ShortCut(L'S', ssCtrl)},
                                   &F::WebPublicVideoSearch1Click);
    FindFacebookUserID1 = item(ools1,
                               {.Name = L"FindFacebookUserID1", .Caption = L"Find Facebook User ID...",
                                .ShortCut = ShortCut(L'U', ssCtrl)},
                               &F::FindFacebookUserID1Click);
    N6 = item(MnuOpciones, {.Name = L"N6", .Caption = L"-"}, nullptr);
    MnuSelDestFolder = item(MnuOpciones,
                            {.Name = L"MnuSelDestFolder", .Caption = L"Download Folder...",
                             .ShortCut = ShortCut(L'D', ssCtrl)},
                            &F::MnuSelDestFolderClick);
    MnuHistorial = item(MnuOpciones, {.Name = L"MnuHistorial", .Caption = L"History"}, nullptr);
    MnuLimpiarHistorial = item(MnuHistorial, {.Name = L"MnuLimpiarHistorial", .Caption = L"Clean..."},
                               &F::MnuLimpiarHistorialClick);
    MnuRespaldarHistorial = item(MnuHistorial, {.Name = L"MnuRespaldarHistorial", .Caption = L"Backup..."},
                                 &F::MnuRespaldarHistorialClick);
    MnuImportarHistorial = item(MnuHistorial, {.Name = L"MnuImportarHistorial", .Caption = L"Import..."},
                                &F::MnuImportarHistorialClick);
    N3 = item(MnuOpciones, {.Name = L"N3", .Caption = L"-"}, nullptr);
    MnuSiempreVisible = item(MnuOpciones, {.Name = L"MnuSiempreVisible", .Caption = L"Always on Top", .AutoCheck = true},
                             &F::MnuSiempreVisibleClick);
    MnuRecordarPosicionVentana = item(MnuOpciones,
                                      {.Name = L"MnuRecordarPosicionVentana",
                                       .Caption = L"Remember Current Window Position", .AutoCheck = true},
                                      &F::MnuRecordarPosicionVentanaClick);

    MnuAyuda = item(root, {.Name = L"MnuAyuda", .Caption = L"Help"}, nullptr);
    DownloadRecommendedTools1 =
        item(MnuAyuda, {.Name = L"DownloadRecommendedTools1", .Caption = L"Download Recommended Tools"}, nullptr);
    GoogleChromeWebBrowser1 = item(DownloadRecommendedTools1,
                                   {.Name = L"GoogleChromeWebBrowser1", .Caption = L"Google Chrome Web Browser"},
                                   &F::GoogleChromeWebBrowser1Click);
    KLiteCodecPack1 = item(DownloadRecommendedTools1, {.Name = L"KLiteCodecPack1", .Caption = L"K-Lite Codec Pack"},
                           &F::KLiteCodecPack1Click);
    N1 = item(MnuAyuda, {.Name = L"N1", .Caption = L"-"}, nullptr);
    MnuCheckUpdates = item(MnuAyuda, {.Name = L"MnuCheckUpdates", .Caption = L"Check for Updates..."},
                           &F::MnuCheckUpdatesClick);
    MnuFacebook2 = item(MnuAyuda, {.Name = L"MnuFacebook2", .Caption = L"Facebook"}, &F::MnuFacebook2Click);
    MnuSitioOficial = item(MnuAyuda, {.Name = L"MnuSitioOficial", .Caption = L"Homepage"}, &F::MnuSitioOficialClick);
    N7 = item(MnuAyuda, {.Name = L"N7", .Caption = L"-"}, nullptr);
    MnuDonar = item(MnuAyuda, {.Name = L"MnuDonar", .Caption = L"Donate..."}, &F::MnuDonarClick);
    MnuAcercaDe = item(MnuAyuda, {.Name = L"MnuAcercaDe", .Caption = L"About...", .ShortCut = ShortCut(VK_F1, 0)},
                       &F::MnuAcercaDeClick);
    SetMenu(MainMenu1);

    PopupMenu2 = new TPopupMenu(this);
    PopupMenu2->Name = L"PopupMenu2";
    PopItemMostrarAplicacion = item(PopupMenu2->Items(), {.Name = L"PopItemMostrarAplicacion", .Caption = L"Show"},
                                    &F::PopItemMostrarAplicacionClick);
    N8 = item(PopupMenu2->Items(), {.Name = L"N8", .Caption = L"-"}, nullptr);
    PopItemSalir = item(PopupMenu2->Items(), {.Name = L"PopItemSalir", .Caption = L"Exit"}, &F::PopItemSalirClick);
}

void TFrmKorvelink::CreateToolBar() {
    CoolBar1 = New<TPanel>(this, {.Name = L"CoolBar1", .Height = 25, .Align = alTop}, {.BevelOuter = bvNone});
    ToolBar1 = New<TToolBar>(CoolBar1, {.Name = L"ToolBar1", .Left = 4, .Top = 2, .Width = 524, .Height = 23},
                             {.Images = ImageList1, .ButtonHeight = 23});
    // Without visual styles the system tool bar leaves its background
    // unpainted; it takes the bar's colour here.
    ToolBar1->SetMessageHandler(WM_ERASEBKGND, [this](TMessage& m) {
        RECT r = ToolBar1->ClientRect();
        FillRect(reinterpret_cast<HDC>(m.WParam), &r, GetSysColorBrush(COLOR_BTNFACE));
        m.Result = 1;
        m.Handled = true;
    });
    BtnHistorial = New<TToolButton>(ToolBar1, {.Name = L"BtnHistorial", .Hint = L"Show History", .ShowHint = true},
                                    {.ImageIndex = 0});
    New<TToolButton>(ToolBar1, {.Name = L"ToolButton1"}, {.Style = tbsSeparator});
    EdtEnlace = New<TEdit>(ToolBar1, {.Name = L"EdtEnlace", .Width = 423, .Height = 21, .TabOrder = 0},
                           {.TextHint = L"Type or paste here a Facebook public video URL."});
    New<TToolButton>(ToolBar1, {.Name = L"ToolButton2"}, {.Style = tbsSeparator});
    BtnAnalizar = New<TToolButton>(ToolBar1, {.Name = L"BtnAnalizar", .Hint = L"Scan...", .ShowHint = true},
                                   {.ImageIndex = 1});
    BtnUsuario = New<TToolButton>(ToolBar1, {.Name = L"BtnUsuario", .ShowHint = true}, {.ImageIndex = 2});

    BtnHistorial->OnClick = Method(this, &TFrmKorvelink::BtnHistorialClick);
    BtnAnalizar->OnClick = Method(this, &TFrmKorvelink::BtnAnalizarClick);
    BtnUsuario->OnClick = Method(this, &TFrmKorvelink::BtnUsuarioClick);
    EdtEnlace->OnChange = Method(this, &TFrmKorvelink::EdtEnlaceChange);
    EdtEnlace->OnClick = Method(this, &TFrmKorvelink::EdtEnlaceClick);
    EdtEnlace->OnKeyDown = Method(this, &TFrmKorvelink::EdtEnlaceKeyDown);
    EdtEnlace->OnKeyPress = Method(this, &TFrmKorvelink::EdtEnlaceKeyPress);
    EdtEnlace->OnMouseDown = Method(this, &TFrmKorvelink::EdtEnlaceMouseDown);
}

void TFrmKorvelink::CreateResultsArea() {
    ScllVideos = New<TScrollBox>(this, {.Name = L"ScllVideos", .Align = alClient, .Color = clWhite, .TabOrder = 1},
                                 {.BorderStyle = bsSingle});
    ScllVideos->OnMouseDown = Method(this, &TFrmKorvelink::PnlVideoMouseDown);

    const int width = 500;
    PnlInfoInicio = New<TPanel>(ScllVideos, {.Name = L"PnlInfoInicio", .Left = 14, .Top = InfoPanelDesignTop,
                                             .Width = width, .Height = 88});
    Label2 = New<TLabel>(PnlInfoInicio, {.Name = L"Label2", .Left = 0, .Top = 0, .Width = width, .Height = 28,
                                         .Font = TFontSpec{.Color = TextGrey}},
                         {.Caption = L"Paste a Facebook video link in the text bar above or drag and drop the link "
                                     L"from your web browser to this window.",
                          .AutoSize = false,
                          .WordWrap = true,
                          .Alignment = taCenter});
    LblTestFBLink = New<TLabel>(PnlInfoInicio, {.Name = L"LblTestFBLink", .Top = 34, .Cursor = crHandPoint,
                                                .Font = TFontSpec{.Style = fsUnderline, .Color = LinkBlue}},
                                {.Caption = L"Test a link now!"});
    LblTestFBLink->SetLeft((width - LblTestFBLink->Width()) / 2);
    LblTestFBLink->OnClick = Method(this, &TFrmKorvelink::LblTestFBLinkClick);
    Label4 = New<TLabel>(PnlInfoInicio, {.Name = L"Label4", .Left = 0, .Top = 58, .Width = width, .Height = 28,
                                         .Font = TFontSpec{.Color = clGray}},
                         {.AutoSize = false, .WordWrap = true, .Alignment = taCenter});
}

void TFrmKorvelink::CreateMessageBar() {
    PnlMsgs = New<TPanel>(this, {.Name = L"PnlMsgs", .Left = 0, .Top = DesignClientHeight, .Width = DesignClientWidth,
                                 .Height = 25, .Align = alCustom, .Color = clBtnFace},
                          {.BevelOuter = bvNone});
    Bevel1 = New<TBevel>(PnlMsgs, {.Name = L"Bevel1", .Height = 2, .Align = alTop}, {.Shape = bsTopLine});
    ImgMsg1 = New<TImage>(PnlMsgs, {.Name = L"ImgMsg1", .Left = 9, .Top = 5, .Width = 16, .Height = 16});
    ImgMsg2 = New<TImage>(PnlMsgs, {.Name = L"ImgMsg2", .Left = 9, .Top = 5, .Width = 16, .Height = 16});
    ImgProcesando = New<TImage>(PnlMsgs, {.Name = L"ImgProcesando", .Left = 9, .Top = 8, .Width = 16, .Height = 11},
                                {.Transparent = true});
    LblMensaje = New<TLabel>(PnlMsgs, {.Name = L"LblMensaje", .Left = 33, .Top = 6, .Width = 470, .Height = 13,
                                       .ShowHint = true},
                             {.AutoSize = false});
    BtnOcultar2 = New<TSpeedButton>(PnlMsgs,
                                    {.Name = L"BtnOcultar2", .Left = DesignClientWidth - 17, .Top = 3, .Width = 16,
                                     .Height = 18, .Hint = L"Hide", .ShowHint = true,
                                     .Font = TFontSpec{.Name = L"Tahoma", .Height = -13, .Style = fsBold,
                                                       .Color = CloseButtonGrey}},
                                    {.Caption = L"x", .Flat = true});
    BtnOcultar2->OnClick = Method(this, &TFrmKorvelink::BtnOcultar2Click);
}

void TFrmKorvelink::CreateHistoryPanel() {
    PnlHistorial = New<TPanel>(this, {.Name = L"PnlHistorial", .Left = 31, .Top = 24, .Width = 423, .Height = 175,
                                      .Visible = false, .Color = clWhite},
                               {.BevelOuter = bvNone});
    Panel1 = New<TPanel>(PnlHistorial, {.Name = L"Panel1", .Height = 19, .Align = alBottom, .Color = clWhite},
                         {.BevelOuter = bvNone});
    LstHistorial = New<TListView>(PnlHistorial, {.Name = L"LstHistorial", .Align = alClient,
                                                 .ShowHint = true, .Color = clWhite},
                                  {.Columns = {{L"", 400}},
                                   .ShowColumnHeaders = false,
                                   .RowSelect = true,
                                   .ReadOnly = true,
                                   .HotTrack = true,
                                   .HotTrackStyles = htHandPoint,
                                   .SmallImages = ImageList2,
                                   // Typing may list thousands of matches.
                                   .OwnerData = true});
    Label1 = New<TLabel>(Panel1, {.Name = L"Label1", .Left = 5, .Top = 3});
    LblLimpiarHistorial = New<TLabel>(Panel1, {.Name = L"LblLimpiarHistorial", .Left = 307, .Top = 3,
                                               .Cursor = crHandPoint},
                                      {.Caption = L"Clean History..."});
    BtnOcultar = New<TSpeedButton>(Panel1,
                                   {.Name = L"BtnOcultar", .Left = 403, .Top = 1, .Width = 16, .Height = 17,
                                    .Hint = L"Hide", .ShowHint = true,
                                    .Font = TFontSpec{.Name = L"Tahoma", .Height = -13, .Style = fsBold,
                                                      .Color = CloseButtonGrey}},
                                   {.Caption = L"x", .Flat = true});
    LblLimpiarHistorial->OnClick = Method(this, &TFrmKorvelink::LblLimpiarHistorialClick);
    BtnOcultar->OnClick = Method(this, &TFrmKorvelink::BtnOcultarClick);
    BindHistoryEvents();
}

void TFrmKorvelink::LoadPictures() {
    for (const wchar_t* name : ToolBarPictures) {
        TPicture picture;
        if (LoadResourcePicture(name, picture)) ImageList1->AddGraphic(*picture.Graphic());
    }
    LoadResourceImage(ImgMsg1, InfoPicture);
    LoadResourceImage(ImgMsg2, WarningPicture);
    LoadResourceImage(ImgProcesando, WorkingPicture);
    LoadResourceImage(ImgThumbDefault, DefaultThumbnailPicture);
    if (ImgThumbDefault->Graphic()) ImageList2->AddGraphic(*ImgThumbDefault->Graphic());
    AddCameraPictures(*ImageList3);
}

}  // namespace app
