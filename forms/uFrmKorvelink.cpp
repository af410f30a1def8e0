// The main window's frame: creation, settings, window position, always on
// top, activation, the donation reminder, the menu commands, the
// notification icon, closing and the clean-up at the end.
#include "uFrmKorvelink.h"

#include <exception>
#include <vector>

#include "Settings.h"
#include "DownloadState.h"
#include "uFrmAbout.h"
#include "uFrmActualizador.h"
#include "uFrmDestinationFolder.h"
#include "uFrmDonate.h"
#include "uFrmDownloading.h"
#include "uFrmFindFacebookUserID.h"
#include "uFrmLogin.h"
#include "uFrmSearchFacebookVideoLinks.h"
#include "app/FolderTree.h"
#include "app/History.h"
#include "app/Links.h"
#include "app/StartupChecks.h"
#include "classlib/Application.h"
#include "classlib/Dialogs.h"
#include "classlib/Edit.h"
#include "forms/LinkDropTarget.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Files.h"
#include "classlib/Hooks.h"
#include "classlib/Image.h"
#include "classlib/Label.h"
#include "classlib/ListView.h"
#include "classlib/Menus.h"
#include "classlib/Raii.h"
#include "classlib/ScrollBox.h"
#include "classlib/SpeedButton.h"
#include "classlib/Strings.h"
#include "classlib/Timer.h"
#include "classlib/ToolBar.h"
#include "components/TaskbarProgress.h"
#include "components/TrayIcon.h"
#include "engine/Constants.h"
#include "engine/PageFetch.h"

namespace app {

using namespace cls;

bool FirstActivation = true;
bool AskLoginBeforeSearch = true;
bool SuppressLinkChange = false;
bool TaskbarProgressAvailable = false;

TFrmKorvelink* FrmKorvelink = nullptr;

namespace {

const wchar_t* const EdgePackagesKey =
    L"SOFTWARE\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\CurrentVersion\\AppModel\\"
    L"PackageRepository\\Packages";
const wchar_t* const DragDropNote =
    L"Notes about drag and drop: If you use Internet Explorer, first run this web browser as admin for this "
    L"feature work correctly.";
const wchar_t* const EdgeNote = L" The new Microsoft Edge is currently unsupported.";

// Wine places a window asked to be topmost just under the topmost windows
// it owns (its tooltips), which leaves it an ordinary window. Freed of its
// owned windows for the call, it goes to the top as asked.
struct OwnedWindows {
    HWND owner;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectOwned(HWND w, LPARAM lp) {
    auto* o = reinterpret_cast<OwnedWindows*>(lp);
    if (GetWindow(w, GW_OWNER) == o->owner) o->windows.push_back(w);
    return TRUE;
}

void ForceTopmost(HWND window, UINT flags) {
    OwnedWindows owned{window, {}};
    EnumThreadWindows(GetCurrentThreadId(), &CollectOwned, reinterpret_cast<LPARAM>(&owned));
    for (HWND w : owned.windows) SetWindowLongPtrW(w, GWLP_HWNDPARENT, 0);
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, flags);
    for (HWND w : owned.windows) SetWindowLongPtrW(w, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(window));
}

}  // namespace

// --- pure helpers -------------------------------------------------------------------

POINT CenteredWindowPosition(int screenWidth, int screenHeight, int width, int height) {
    return {(screenWidth - width) / 2, (screenHeight - height) / 2};
}

TStartPlacement ResolveStartPlacement(const std::wstring& remember, const std::wstring& top,
                                      const std::wstring& left, POINT centred,
                                      const std::function<bool(POINT)>& onMonitor) {
    TStartPlacement r;
    r.Position = centred;
    if (remember != L"1") {
        r.WriteKeys = true;
        return r;
    }
    r.Remember = true;
    auto writeCentred = [&] {
        r.Position = centred;
        r.WriteKeys = true;
        r.TopText = IntToStr(centred.y);
        r.LeftText = IntToStr(centred.x);
        return r;
    };
    std::wstring t = Trim(top), l = Trim(left);
    if (t.empty() || l.empty()) return writeCentred();
    std::optional<int> y = TryStrToInt(t), x = TryStrToInt(l);
    if (!x || !y) return writeCentred();
    // A monitor that has gone since the position was saved would leave the
    // window where nobody can reach it.
    if (!onMonitor({*x, *y})) return writeCentred();
    r.Position = {*x, *y};
    return r;
}

bool IsEdgePackageName(const std::wstring& name) { return StartsWith(name, L"Microsoft.MicrosoftEdge"); }

TInfoPanelLayout InfoPanelLayout(int designTop, DWORD windowsMajor, int ieMajor, bool edgeInstalled) {
    TInfoPanelLayout r;
    r.Top = designTop;
    if (windowsMajor < 6) return r;
    if (ieMajor >= 9) {
        r.Top = 44;
        r.NoteVisible = true;
        r.Note = DragDropNote;
    }
    if (edgeInstalled) {
        r.Top = 38;
        r.NoteVisible = true;
        r.Note = std::wstring(DragDropNote) + EdgeNote;
    }
    return r;
}

// --- creation --------------------------------------------------------------------------

TFrmKorvelink::TFrmKorvelink(TComponent* owner) : TForm(owner) {
    CreateControls();
    DoCreate();
}

TFrmKorvelink::~TFrmKorvelink() {
    // OnDestroy runs while the form's own fields still exist.
    DoDestroy();
    DisconnectResultPanels();
    Application.OnActivate = nullptr;
    Application.OnDeactivate = nullptr;
    UserIdLoginHook = nullptr;
    if (engine::PageFetchOwner == this) engine::PageFetchOwner = nullptr;
    if (FrmKorvelink == this) FrmKorvelink = nullptr;
    // The drop target goes before the library it needs.
    FreeLinkDropTarget(DropURLTarget1);
}

void TFrmKorvelink::FormCreate(TComponent*) {
    SetCaption(L"Korvelink");
    Application.SetTitle(Caption());
    // The user-ID window asks for a login the way the main window does.
    UserIdLoginHook = [this] { MostrarFrmLogin(false); };
    TrayIcon1->SetHint(L"Korvelink");
    MnuAcercaDe->SetCaption(L"About Korvelink...");

    FirstActivation = true;
    Timer4->SetEnabled(false);
    Application.OnActivate = Method(this, &TFrmKorvelink::ApplicationActivate);
    Application.OnDeactivate = Method(this, &TFrmKorvelink::ApplicationDeactivate);

    ShowLoggedOutAccountTexts();

    PnlMsgs->Hide();
    PnlHistorial->Hide();
    PnlMsgs->SetTop(ClientHeight());
    ImgDuration->Hide();
    ImgThumbDefault->Hide();
    SuppressLinkChange = false;

    // The history drop-down hangs under the link box, one pixel over it.
    PnlHistorial->SetBounds(CoolBar1->Left() + ToolBar1->Left() + EdtEnlace->Left(),
                            ToolBar1->Top() + EdtEnlace->Top() + EdtEnlace->Height() - 1, EdtEnlace->Width(),
                            PnlHistorial->Height());
    BtnOcultar->SetLeft(PnlHistorial->Width() - BtnOcultar->Width() - 4);

    PnlInfoInicio->SetBevelInner(bvNone);
    PnlInfoInicio->SetBevelOuter(bvNone);
    AskLoginBeforeSearch = true;

    ApplySettings();

    WindowsVersion version = GetWindowsVersion();
    if (version.major == 5 && version.minor == 1) {
        PnlHistorial->SetHeight(161);
        LstHistorial->SetHotTrackStyles(htHandPoint | htUnderlineHot);
    }

    SetBorderStyle(bsSingle);
    SetBorderIcons(biSystemMenu | biMinimize);

    PnlMsgs->SetBounds(0, ClientHeight(), ClientWidth(), PnlMsgs->Height());
    BtnOcultar2->SetLeft(PnlMsgs->Width() - BtnOcultar2->Width() - 1);
    LblLimpiarHistorial->SetLeft(PnlMsgs->Width() - 225);
    LblMensaje->SetWidth(BtnOcultar2->Left() - LblMensaje->Left() - 4);

    DownloadFormLeft = -1;
    DownloadFormTop = -1;
    DownloadFormExists = false;
    DownloadRunning = false;

    SaveDialog1->InitialDir = engine::DocumentsFolder;
    OpenDialog1->InitialDir = engine::DocumentsFolder;

    // Never throws: a shell object that fails counts as no taskbar list.
    TaskbarProgressAvailable = components::InitializeTaskbarAPI();
    ConnectResultPanels();

    Label4->Hide();
    bool newer = version.major >= 6;
    TInfoPanelLayout layout = InfoPanelLayout(PnlInfoInicio->Top(), version.major, newer ? GetIEMajorVersion() : 0,
                                              newer && IsEdgeInstalled());
    PnlInfoInicio->SetTop(layout.Top);
    if (layout.NoteVisible) {
        Label4->SetCaption(layout.Note);
        Label4->Show();
    }
}

bool TFrmKorvelink::IsEdgeInstalled() {
    HKEY raw = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, EdgePackagesKey, 0, KEY_READ, &raw) != ERROR_SUCCESS) return false;
    cls::RegKey key(raw);
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        LONG r = RegEnumKeyExW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (r == ERROR_MORE_DATA) continue;
        if (r != ERROR_SUCCESS) return false;
        if (IsEdgePackageName(std::wstring(name, length))) return true;
    }
}

// --- settings ------------------------------------------------------------------------

void TFrmKorvelink::ApplySettings() {
    POINT centred = CenteredWindowPosition(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), Width(),
                                           Height());
    auto onMonitor = [this](POINT p) {
        RECT r = {p.x, p.y, p.x + Width(), p.y + Height()};
        return MonitorFromRect(&r, MONITOR_DEFAULTTONULL) != nullptr;
    };
    TStartPlacement placement =
        ResolveStartPlacement(LeerArchivoConfig(L"PosicionFormRecordar"), LeerArchivoConfig(L"PosicionFormSuperior"),
                              LeerArchivoConfig(L"PosicionFormIzquierda"), centred, onMonitor);
    if (placement.Remember) MnuRecordarPosicionVentana->SetChecked(true);
    SetBounds(placement.Position.x, placement.Position.y, Width(), Height());
    if (placement.WriteKeys) {
        EscribirArchivoConfig(L"PosicionFormSuperior", placement.TopText);
        EscribirArchivoConfig(L"PosicionFormIzquierda", placement.LeftText);
    }

    if (LeerArchivoConfig(L"SiempreVisible") == L"1") {
        MnuSiempreVisible->SetChecked(true);
        MnuSiempreVisibleClick(MnuSiempreVisible);
    }

    if (LeerArchivoConfig(L"PrimeraInstalacion") == L"1") {
        TrayIcon1->ShowBalloonHint(L"Welcome to Korvelink!",
                                   L"This is the first time you run the program. Click here to log in with your "
                                   L"Facebook account...",
                                   components::bitNone, 10);
        EscribirArchivoConfig(L"PrimeraInstalacion", L"0");
    }

    std::wstring defaultFolder = engine::DocumentsFolder + L"Korvelink\\";
    DownloadFolder = ResolveDownloadFolder(LeerArchivoConfig(L"CarpetaDestino"), engine::DocumentsFolder,
                                           [](const std::wstring& d) { return DirectoryExists(d); });
    if (DownloadFolder == defaultFolder) ForceDirectories(DownloadFolder);

    SearchEngineIndex = ParseSearchEngineIndex(LeerArchivoConfig(L"MotorBusqueda"));
    SearchKind = ParseSearchKind(LeerArchivoConfig(L"TipoBusqueda"));
    if (std::optional<bool> keep = ParseKeepSearchFormOpen(LeerArchivoConfig(L"NoCerrarFormBuscarLinks")))
        KeepSearchFormOpen = *keep;
}

void TFrmKorvelink::MnuRecordarPosicionVentanaClick(TComponent*) {
    if (MnuRecordarPosicionVentana->Checked()) {
        EscribirArchivoConfig(L"PosicionFormSuperior", IntToStr(Top()));
        EscribirArchivoConfig(L"PosicionFormIzquierda", IntToStr(Left()));
        EscribirArchivoConfig(L"PosicionFormRecordar", L"1");
    } else {
        EscribirArchivoConfig(L"PosicionFormSuperior", L"");
        EscribirArchivoConfig(L"PosicionFormIzquierda", L"");
        EscribirArchivoConfig(L"PosicionFormRecordar", L"0");
    }
}

void TFrmKorvelink::WMExitSizeMove(TMessage&) {
    bool remember = MnuRecordarPosicionVentana->Checked();
    EscribirArchivoConfig(L"PosicionFormSuperior", remember ? IntToStr(Top()) : L"");
    EscribirArchivoConfig(L"PosicionFormIzquierda", remember ? IntToStr(Left()) : L"");
}

void TFrmKorvelink::MnuSiempreVisibleClick(TComponent* sender) {
    auto* item = dynamic_cast<TMenuItem*>(sender);
    bool onTop = item && item->Checked();
    const UINT flags = SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW;
    SetWindowPos(Handle(), onTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, flags);
    if (onTop && !(GetWindowLongW(Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST)) ForceTopmost(Handle(), flags);
    EscribirArchivoConfig(L"SiempreVisible", onTop ? L"1" : L"0");
}

// --- activation and the donation reminder ---------------------------------------------

void TFrmKorvelink::ApplicationActivate(TComponent*) {
    // The notification icon activates the program from inside the window's
    // showing, before it is on screen and while no control of it can take
    // the focus: act once it is there.
    if (Visible() && !IsWindowVisible(Handle())) {
        if (!activationFocusPosted_) PostMessageW(Handle(), CM_FOCUSFORACTIVATION, 0, 0);
        activationFocusPosted_ = true;
        return;
    }
    FocusForActivation();
}

void TFrmKorvelink::WMFocusForActivation(TMessage& msg) {
    msg.Handled = true;
    activationFocusPosted_ = false;
    if (Application.Active()) FocusForActivation();
}

void TFrmKorvelink::FocusForActivation() {
    if (FirstActivation) {
        FirstActivation = false;
        ScllVideos->SetFocus();
        return;
    }
    SelectLinkBox();
}

void TFrmKorvelink::SelectLinkBox() {
    if (IsWindowVisible(Handle()) && EdtEnlace->Enabled() && EdtEnlace->CanFocus()) {
        EdtEnlace->SetFocus();
        EdtEnlace->SelectAll();
    }
}

void TFrmKorvelink::ApplicationDeactivate(TComponent*) { HideHistoryPanel(); }

void TFrmKorvelink::FormActivate(TComponent*) {
    if (!donateFormCreated_ && LeerArchivoConfig(L"NoMostrarMsgDonar") != L"1") Timer4->SetEnabled(true);
}

void TFrmKorvelink::Timer4Timer(TComponent*) {
    Timer4->SetEnabled(false);
    // Never a modal window inside a search or another modal window: ask
    // again once the main window is free.
    if (searching_ || ModalWindowOpen()) {
        Timer4->SetEnabled(true);
        return;
    }
    if (!donateFormCreated_ && LeerArchivoConfig(L"NoMostrarMsgDonar") != L"1") ShowDonateForm(2);
}

void TFrmKorvelink::ShowDonateForm(int mode) {
    HideHistoryPanel();
    donateFormCreated_ = true;
    if (std::optional<bool> dontShow = OpenDonateWindow(mode))
        EscribirArchivoConfig(L"NoMostrarMsgDonar", *dontShow ? L"1" : L"0");
}

bool TFrmKorvelink::ModalWindowOpen() const {
    // A modal window or message box disables the window it was opened from.
    return HandleAllocated() && !IsWindowEnabled(const_cast<TFrmKorvelink*>(this)->Handle());
}

// --- menu commands -----------------------------------------------------------------------

void TFrmKorvelink::PrepareModalWindow(bool freeSearchWindow) {
    HideHistoryPanel();
    OcultarPnlMsgs();
    if (freeSearchWindow && SearchLinksFormExists()) FreeSearchLinksForm();
}

void TFrmKorvelink::FocusLinkBox() { EdtEnlace->SetFocus(); }

void TFrmKorvelink::CaretToEnd() { EdtEnlace->SetSelStart(static_cast<int>(EdtEnlace->Text().size())); }

void TFrmKorvelink::ShowLoggedOutAccountTexts() {
    MnuLogin->SetCaption(L"Facebook Account...");
    BtnUsuario->SetHint(L"Click here to log into Facebook...");
}

void TFrmKorvelink::OpenAddress(const wchar_t* address) {
    ShellExecuteStr(Application.Handle(), L"Open", address, L"", L"", SW_SHOW);
}

void TFrmKorvelink::MnuSalirClick(TComponent*) {
    // A transfer must not outlive the window: its partial file goes too.
    AbortDownloadForExit();
    TrayIcon1->SetIconVisible(false);
    Close();
}

void TFrmKorvelink::PopItemSalirClick(TComponent* sender) { MnuSalirClick(sender); }

void TFrmKorvelink::MnuLoginClick(TComponent*) { MostrarFrmLogin(true); }

void TFrmKorvelink::BtnUsuarioClick(TComponent*) {
    HideHistoryPanel();
    OcultarPnlMsgs();
    MostrarFrmLogin(true);
}

void TFrmKorvelink::WebPublicVideoSearch1Click(TComponent*) {
    HideHistoryPanel();
    OcultarPnlMsgs();
    ShowSearchLinksForm();
}

void TFrmKorvelink::FindFacebookUserID1Click(TComponent*) {
    PrepareModalWindow(true);
    OpenFindUserIdWindow();
    FocusLinkBox();
}

void TFrmKorvelink::MnuSelDestFolderClick(TComponent*) {
    PrepareModalWindow(true);
    OpenDestinationFolderWindow();
    FocusLinkBox();
}

void TFrmKorvelink::MnuLimpiarHistorialClick(TComponent*) {
    PrepareModalWindow(true);
    LblLimpiarHistorialClick(nullptr);
}

void TFrmKorvelink::MnuCheckUpdatesClick(TComponent*) {
    PrepareModalWindow(true);
    OpenUpdaterWindow();
    FocusLinkBox();
}

void TFrmKorvelink::MnuDonarClick(TComponent*) {
    HideHistoryPanel();
    ShowDonateForm(1);
}

void TFrmKorvelink::MnuAcercaDeClick(TComponent*) {
    PrepareModalWindow(true);
    OpenAboutWindow();
    FocusLinkBox();
}

void TFrmKorvelink::GoogleChromeWebBrowser1Click(TComponent*) { OpenAddress(BrowserDownloadLink); }
void TFrmKorvelink::KLiteCodecPack1Click(TComponent*) { OpenAddress(CodecPackDownloadLink); }
void TFrmKorvelink::MnuFacebook2Click(TComponent*) { OpenAddress(SocialPageLink); }
void TFrmKorvelink::MnuSitioOficialClick(TComponent*) { OpenAddress(HomePageLink); }

// Backup and import of the history: uFrmKorvelinkHistory.cpp.

// --- the windows this one opens --------------------------------------------------------------

void TFrmKorvelink::OpenLoginWindow(bool showWelcome) { app::OpenLoginWindow(this, showWelcome); }
void TFrmKorvelink::OpenFindUserIdWindow() { app::OpenFindUserIdWindow(this); }
void TFrmKorvelink::OpenDestinationFolderWindow() { app::OpenDestinationFolderWindow(this); }
void TFrmKorvelink::OpenUpdaterWindow() { app::OpenUpdaterWindow(this); }
void TFrmKorvelink::OpenAboutWindow() { app::OpenAboutWindow(this); }
std::optional<bool> TFrmKorvelink::OpenDonateWindow(int mode) { return app::OpenDonateWindow(this, mode); }
void TFrmKorvelink::ShowSearchLinksForm() { app::ShowSearchLinksForm(this); }
bool TFrmKorvelink::SearchLinksFormExists() const { return app::SearchLinksFormExists(); }
void TFrmKorvelink::FreeSearchLinksForm() { app::FreeSearchLinksForm(); }
bool TFrmKorvelink::UserIdFormExists() const { return app::UserIdFormExists(); }

// --- notification icon and closing -----------------------------------------------------------

void TFrmKorvelink::TrayIcon1Click(components::TTrayIcon*) { PopItemMostrarAplicacionClick(nullptr); }

void TFrmKorvelink::PopItemMostrarAplicacionClick(TComponent*) {
    Application.Restore();
    Show();
    SetWindowState(wsNormal);
    Application.BringToFront();
    // The window came back active before it was on screen, when the focus
    // could only go to the window itself; and with another of its windows
    // left open the program never stopped being active, so no activation
    // comes to move it.
    SelectLinkBox();
}

void TFrmKorvelink::TrayIcon1BalloonHintClick(components::TTrayIcon*) {
    // The login window is modal: not inside a search or another modal window.
    if (searching_ || ModalWindowOpen()) return;
    BtnUsuarioClick(nullptr);
}

void TFrmKorvelink::FormCloseQuery(TComponent*, bool& canClose) {
    // Only a window the notification area can give back is hidden there.
    if (TrayIcon1->IconVisible() && TrayIcon1->IconAdded()) {
        Hide();
        canClose = false;
    }
}

void TFrmKorvelink::WMQueryEndSession(TMessage& msg) {
    // Hiding to the notification area must never hold up the end of the
    // session.
    msg.Result = TRUE;
    msg.Handled = true;
}

void TFrmKorvelink::FormDestroy(TComponent*) {
    // The program is ending: what cannot be cleaned up now stays until the
    // next run cleans it.
    try {
        DeleteFolderTree(engine::CacheFolder);
    } catch (...) {
        // Left for the next run.
    }
    try {
        DeleteUnusedThumbnails();
    } catch (...) {
        // Left for the next run.
    }
}

void TFrmKorvelink::ShowException(const std::exception& e) {
    Application.MessageBox(Utf8ToWide(e.what()), Caption(), MB_ICONERROR);
}

}  // namespace app
