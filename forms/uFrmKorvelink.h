// The program's main window: the tool bar with the link box, the results
// area, the sliding message bar, the place of the history drop-down, the
// settings file, the menus and the notification icon. Its code is split
// over uFrmKorvelink.cpp (frame, settings, menus), uFrmKorvelinkForm.cpp
// (the form resource), uFrmKorvelinkMessages.cpp (message bar),
// uFrmKorvelinkSearch.cpp (link analysis and search),
// uFrmKorvelinkResults.cpp (what the result panels and the download window
// reach of it) and uFrmKorvelinkHistory.cpp (the history drop-down and
// commands).
#pragma once
#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "classlib/Forms.h"

namespace cls {
class TBevel;
class TEdit;
class TImage;
class TImageList;
class TLabel;
class TListView;
class TMainMenu;
class TMenuItem;
class TOpenDialog;
class TPanel;
class TPopupMenu;
class TSaveDialog;
class TScrollBox;
class TSpeedButton;
class TStringList;
class TTimer;
class TToolBar;
class TToolButton;
}  // namespace cls

namespace components {
class TTrayIcon;
}

namespace dragdrop {
class TDropURLTarget;
}

namespace app {

// State of the main window's unit.
extern bool FirstActivation;       // cleared by the program's first activation
extern bool AskLoginBeforeSearch;  // the first search of a run offers the login
extern bool SuppressLinkChange;    // the link box is being changed by code
extern bool TaskbarProgressAvailable;

// Message kinds of the message bar.
constexpr int MsgInformation = 1;
constexpr int MsgError = 2;
constexpr int MsgWorking = 3;

// Posted to the main window to search a dropped link once the drop is over.
constexpr UINT CM_SEARCHDROPPEDLINK = WM_APP + 0x310;
// Posted to the main window by an activation that came while the window
// was still on its way to the screen.
constexpr UINT CM_FOCUSFORACTIVATION = WM_APP + 0x312;

// --- pure helpers ----------------------------------------------------------------

// Where a window of the given outer size sits centred on the screen.
POINT CenteredWindowPosition(int screenWidth, int screenHeight, int width, int height);

// The start position from the settings and the keys to write back.
struct TStartPlacement {
    bool Remember = false;  // "Remember Current Window Position" ticked
    POINT Position = {};
    bool WriteKeys = false;  // Top and Left texts below go to the settings
    std::wstring TopText, LeftText;
};
// OnMonitor tells whether the window at a position would show on a monitor.
TStartPlacement ResolveStartPlacement(const std::wstring& remember, const std::wstring& top,
                                      const std::wstring& left, POINT centred,
                                      const std::function<bool(POINT)>& onMonitor);

// An installed package of the new system browser.
bool IsEdgePackageName(const std::wstring& name);

// The start panel's place and its drag-and-drop note.
struct TInfoPanelLayout {
    int Top = 0;
    bool NoteVisible = false;
    std::wstring Note;
};
TInfoPanelLayout InfoPanelLayout(int designTop, DWORD windowsMajor, int ieMajor, bool edgeInstalled);

// The link box text trimmed, with the short form of the site's domain
// written as the full one (any case).
std::wstring NormalizeLinkText(const std::wstring& text);

enum class TLinkKind { Empty, SiteHome, Invalid, Video };
struct TLinkVerdict {
    TLinkKind Kind = TLinkKind::Empty;
    std::wstring VideoId;  // set for Video only
};
// What the analysis makes of a normalised link.
TLinkVerdict ClassifyLink(const std::wstring& normalised);

std::wstring NoVideoResultsMessage(bool loggedIn);

// ----------------------------------------------------------------------------------

class TFrmKorvelink : public cls::TForm {
public:
    explicit TFrmKorvelink(cls::TComponent* owner = nullptr);
    ~TFrmKorvelink() override;

    static constexpr const wchar_t* WindowClass = L"TFrmKorvelink";
    static constexpr int DesignClientWidth = 532;
    static constexpr int DesignClientHeight = 203;
    // The start panel's designed place, before the note moves it up.
    static constexpr int InfoPanelDesignTop = 52;
    // The built-in video of "Test a link now!".
    static constexpr const wchar_t* SampleVideoId = L"10200271954219923";

    // --- controls ------------------------------------------------------------------
    cls::TImageList* ImageList1 = nullptr;  // tool bar
    cls::TImageList* ImageList2 = nullptr;  // history drop-down, 60 by 45
    cls::TImageList* ImageList3 = nullptr;  // result panels' link icons, 13 by 10
    cls::TMainMenu* MainMenu1 = nullptr;
    cls::TMenuItem* MnuArchivo = nullptr;
    cls::TMenuItem* MnuSalir = nullptr;
    cls::TMenuItem* MnuOpciones = nullptr;
    cls::TMenuItem* MnuLogin = nullptr;
    cls::TMenuItem* ools1 = nullptr;
    cls::TMenuItem* SearchPublicVideoLinks1 = nullptr;
    cls::TMenuItem* FindFacebookUserID1 = nullptr;
    cls::TMenuItem* N6 = nullptr;
    cls::TMenuItem* MnuSelDestFolder = nullptr;
    cls::TMenuItem* MnuHistorial = nullptr;
    cls::TMenuItem* MnuLimpiarHistorial = nullptr;
    cls::TMenuItem* MnuRespaldarHistorial = nullptr;
    cls::TMenuItem* MnuImportarHistorial = nullptr;
    cls::TMenuItem* N3 = nullptr;
    cls::TMenuItem* MnuSiempreVisible = nullptr;
    cls::TMenuItem* MnuRecordarPosicionVentana = nullptr;
    cls::TMenuItem* MnuAyuda = nullptr;
    cls::TMenuItem* DownloadRecommendedTools1 = nullptr;
    cls::TMenuItem* GoogleChromeWebBrowser1 = nullptr;
    cls::TMenuItem* KLiteCodecPack1 = nullptr;
    cls::TMenuItem* N1 = nullptr;
    cls::TMenuItem* MnuCheckUpdates = nullptr;
    cls::TMenuItem* MnuFacebook2 = nullptr;
    cls::TMenuItem* MnuSitioOficial = nullptr;
    cls::TMenuItem* N7 = nullptr;
    cls::TMenuItem* MnuDonar = nullptr;
    cls::TMenuItem* MnuAcercaDe = nullptr;
    cls::TPopupMenu* PopupMenu2 = nullptr;
    cls::TMenuItem* PopItemMostrarAplicacion = nullptr;
    cls::TMenuItem* N8 = nullptr;
    cls::TMenuItem* PopItemSalir = nullptr;

    cls::TPanel* CoolBar1 = nullptr;
    cls::TToolBar* ToolBar1 = nullptr;
    cls::TToolButton* BtnHistorial = nullptr;
    cls::TEdit* EdtEnlace = nullptr;
    cls::TToolButton* BtnAnalizar = nullptr;
    cls::TToolButton* BtnUsuario = nullptr;

    cls::TScrollBox* ScllVideos = nullptr;
    cls::TPanel* PnlInfoInicio = nullptr;
    cls::TLabel* Label2 = nullptr;
    cls::TLabel* LblTestFBLink = nullptr;
    cls::TLabel* Label4 = nullptr;

    cls::TPanel* PnlMsgs = nullptr;
    cls::TBevel* Bevel1 = nullptr;
    cls::TImage* ImgMsg1 = nullptr;
    cls::TImage* ImgMsg2 = nullptr;
    cls::TImage* ImgProcesando = nullptr;
    cls::TLabel* LblMensaje = nullptr;
    cls::TSpeedButton* BtnOcultar2 = nullptr;

    cls::TPanel* PnlHistorial = nullptr;
    cls::TListView* LstHistorial = nullptr;
    cls::TPanel* Panel1 = nullptr;
    cls::TLabel* Label1 = nullptr;
    cls::TLabel* LblLimpiarHistorial = nullptr;
    cls::TSpeedButton* BtnOcultar = nullptr;

    cls::TImage* ImgDuration = nullptr;
    cls::TImage* ImgThumbDefault = nullptr;
    cls::TOpenDialog* OpenDialog1 = nullptr;
    cls::TSaveDialog* SaveDialog1 = nullptr;
    cls::TTimer* Timer1 = nullptr;  // message bar up
    cls::TTimer* Timer2 = nullptr;  // message bar auto-hide
    cls::TTimer* Timer3 = nullptr;  // message bar down
    cls::TTimer* Timer4 = nullptr;  // donation reminder
    components::TTrayIcon* TrayIcon1 = nullptr;

    // --- frame, settings, menus -------------------------------------------------------
    void ApplySettings();
    // A package of the new system browser is registered for the machine.
    static bool IsEdgeInstalled();
    // Mode 1 from the menu, 2 as the reminder.
    void ShowDonateForm(int mode);
    // A Donate window was made in this run: the reminder never comes again.
    bool DonateFormCreated() const { return donateFormCreated_; }
    // Opens or raises the non-modal video-link search window.
    virtual void ShowSearchLinksForm();

    void FormCreate(cls::TComponent* sender);
    void FormActivate(cls::TComponent* sender);
    void FormCloseQuery(cls::TComponent* sender, bool& canClose);
    void FormDestroy(cls::TComponent* sender);
    void WMExitSizeMove(cls::TMessage& msg);
    void WMQueryEndSession(cls::TMessage& msg);
    void ApplicationActivate(cls::TComponent* sender);
    void ApplicationDeactivate(cls::TComponent* sender);
    void Timer4Timer(cls::TComponent* sender);

    void MnuSalirClick(cls::TComponent* sender);
    void MnuLoginClick(cls::TComponent* sender);
    void WebPublicVideoSearch1Click(cls::TComponent* sender);
    void FindFacebookUserID1Click(cls::TComponent* sender);
    void MnuSelDestFolderClick(cls::TComponent* sender);
    void MnuLimpiarHistorialClick(cls::TComponent* sender);
    void MnuRespaldarHistorialClick(cls::TComponent* sender);
    void MnuImportarHistorialClick(cls::TComponent* sender);
    void MnuSiempreVisibleClick(cls::TComponent* sender);
    void MnuRecordarPosicionVentanaClick(cls::TComponent* sender);
    void GoogleChromeWebBrowser1Click(cls::TComponent* sender);
    void KLiteCodecPack1Click(cls::TComponent* sender);
    void MnuCheckUpdatesClick(cls::TComponent* sender);
    void MnuFacebook2Click(cls::TComponent* sender);
    void MnuSitioOficialClick(cls::TComponent* sender);
    void MnuDonarClick(cls::TComponent* sender);
    void MnuAcercaDeClick(cls::TComponent* sender);
    void BtnUsuarioClick(cls::TComponent* sender);
    void TrayIcon1Click(components::TTrayIcon* sender);
    void TrayIcon1BalloonHintClick(components::TTrayIcon* sender);
    void PopItemMostrarAplicacionClick(cls::TComponent* sender);
    void PopItemSalirClick(cls::TComponent* sender);

    // --- message bar -------------------------------------------------------------------
    void MostrarPnlMsgs(const std::wstring& text, int kind);
    void OcultarPnlMsgs();
    void Timer1Timer(cls::TComponent* sender);
    void Timer2Timer(cls::TComponent* sender);
    void Timer3Timer(cls::TComponent* sender);
    void BtnOcultar2Click(cls::TComponent* sender);
    // The kind of the message shown last (0 before the first).
    int MessageKind() const { return messageKind_; }

    // --- link road -----------------------------------------------------------------------
    // Mode 1: Text is a link to check; mode 2: Text is a video ID.
    void AnalyzeLink(const std::wstring& text, int mode);
    void SearchVideos(const std::wstring& videoId);
    // Shows the login window modally; ShowWelcome when the user asked for it.
    void MostrarFrmLogin(bool showWelcome);
    void FreeVideoPanels();
    // "Download Folder...", "History" and "Clean History...": off while a
    // download window exists.
    void SetDownloadMenusEnabled(bool enabled);
    bool HasVideoPanels() const;
    // A search is running (its pages are being fetched).
    bool Searching() const { return searching_; }

    void EdtEnlaceChange(cls::TComponent* sender);
    void EdtEnlaceClick(cls::TComponent* sender);
    void EdtEnlaceKeyDown(cls::TComponent* sender, WORD& key, cls::TShiftState shift);
    void EdtEnlaceKeyPress(cls::TComponent* sender, wchar_t& key);
    void EdtEnlaceMouseDown(cls::TComponent* sender, cls::TMouseButton button, cls::TShiftState shift, int x,
                            int y);
    void BtnAnalizarClick(cls::TComponent* sender);
    void LblTestFBLinkClick(cls::TComponent* sender);
    void BtnOcultarClick(cls::TComponent* sender);
    void PnlVideoMouseDown(cls::TComponent* sender, cls::TMouseButton button, cls::TShiftState shift, int x,
                           int y);

    // The URL drop target's events, given the dragged link: Effect becomes
    // DROPEFFECT_NONE to refuse it.
    void DropURLTarget1Enter(const std::wstring& url, DWORD& effect);
    void DropURLTarget1Drop(const std::wstring& url, DWORD& effect);
    // Whether the drag image is on (the drop target's ShowImage).
    bool DropShowImage() const { return dropShowImage_; }
    // Takes links dragged onto the window to the two events above.
    dragdrop::TDropURLTarget* DropURLTarget1 = nullptr;

    // --- history drop-down -------------------------------------------------------------
    void HideHistoryPanel();
    void ShowHistoryPanel();
    void ShowHistoryPanelIfNotEmpty();
    void FillHistoryListFiltered(const std::wstring& text);
    void LlenarLstHistorialTodos(cls::TListView* listView, bool checkAll, int mode);
    void BtnHistorialClick(cls::TComponent* sender);
    void LblLimpiarHistorialClick(cls::TComponent* sender);
    void LblLimpiarHistorialMouseMove(cls::TComponent* sender, cls::TShiftState shift, int x, int y);
    void LblLimpiarHistorialMouseLeave(cls::TComponent* sender);
    void LstHistorialKeyDown(cls::TComponent* sender, WORD& key, cls::TShiftState shift);
    void LstHistorialMouseDown(cls::TComponent* sender, cls::TMouseButton button, cls::TShiftState shift, int x,
                               int y);
    void LstHistorialInfoTip(cls::TComponent* sender, int item, std::wstring& tip);
    void LstHistorialExit(cls::TComponent* sender);
    void Panel1MouseDown(cls::TComponent* sender, cls::TMouseButton button, cls::TShiftState shift, int x, int y);

protected:
    // The windows this one opens; each is shown modally (or, for the search
    // window, raised) and freed again by these.
    virtual void OpenLoginWindow(bool showWelcome);
    virtual void OpenFindUserIdWindow();
    virtual void OpenDestinationFolderWindow();
    virtual void OpenUpdaterWindow();
    virtual void OpenAboutWindow();
    // The state of the "do not show" check box when the window showed it.
    virtual std::optional<bool> OpenDonateWindow(int mode);
    virtual void OpenCleanHistoryWindow();
    virtual bool SearchLinksFormExists() const;
    virtual void FreeSearchLinksForm();
    virtual bool UserIdFormExists() const;
    // Builds the result panel of a search that found something.
    virtual void CreateVideoPanel(const cls::TStringList& list, const std::wstring& id, const std::wstring& title,
                                  const std::wstring& shortTitle);

private:
    // The form resource: the window, its controls and their event bindings.
    void CreateControls();
    void CreateMenus();
    void CreateToolBar();
    void CreateResultsArea();
    void CreateMessageBar();
    void CreateHistoryPanel();
    void LoadPictures();
    // The result panels and the download window reach this window through
    // the video panel host, filled here and emptied when this window goes.
    void ConnectResultPanels();
    void DisconnectResultPanels();
    void BindHistoryEvents();

    // The history drop-down's pictures: all but the default one go; a
    // thumbnail file is added and its index returned (0 when it cannot be
    // read).
    void ClearHistoryImages();
    int AddHistoryThumbnail(const std::wstring& file);
    // The picture of each entry for one fill (0 without a thumbnail): the
    // thumbnails folder is listed once and each thumbnail added once.
    std::function<int(const std::wstring& id)> HistoryPictures();
    // Enter or a click on the drop-down: the selected entry is searched.
    void OpenSelectedHistoryEntry();

    // Steps shared by the commands that open a modal window.
    void PrepareModalWindow(bool freeSearchWindow);
    void FocusLinkBox();
    // The link box focused with its whole text selected, when the window
    // shows and the box is enabled.
    void SelectLinkBox();
    // The focus an activation gives: the results area the first time, the
    // link box afterwards.
    void FocusForActivation();
    void WMFocusForActivation(cls::TMessage& msg);
    void CaretToEnd();
    void ShowLoggedOutAccountTexts();
    void OpenAddress(const wchar_t* address);
    void SetSearchControlsEnabled(bool enabled);
    void FinishSearch(const std::wstring& videoId);
    void SearchDroppedLink(cls::TMessage& msg);
    // A modal window is open above this one (it disables the main window).
    bool ModalWindowOpen() const;
    void ShowException(const std::exception& e);

    bool searching_ = false;
    bool donateFormCreated_ = false;
    bool activationFocusPosted_ = false;
    bool dropShowImage_ = false;
    int messageKind_ = 0;
    std::wstring droppedVideoId_;
};

extern TFrmKorvelink* FrmKorvelink;

}  // namespace app
