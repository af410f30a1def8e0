#include "forms/uFrmDownloading.h"

#include <windows.h>

#include <cmath>

#include "app/StartupChecks.h"
#include "classlib/Application.h"
#include "classlib/Button.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Files.h"
#include "classlib/Hooks.h"
#include "classlib/Image.h"
#include "classlib/Label.h"
#include "classlib/Picture.h"
#include "classlib/Strings.h"
#include "classlib/Thread.h"
#include "classlib/Timer.h"
#include "components/DrawnProgressBar.h"
#include "components/TaskbarProgress.h"
#include "engine/HTTPGet.h"
#include "forms/DownloadState.h"
#include "forms/VideoPanel.h"

namespace app {

using namespace cls;
using components::tpsError;
using components::tpsIndeterminate;
using components::tpsNone;
using components::tpsPaused;

TFrmDownloading* FrmDownloading = nullptr;
bool DownloadCanceled = false;
bool DownloadFailed = false;

const wchar_t* const CodecPackAddress = L"https://www.codecguide.com/download_k-lite_codec_pack_full.htm";

namespace {

// Long enough for any worker to notice an abort; short enough that a
// stuck one never hangs the program's exit.
constexpr DWORD TransferEndTimeoutMs = 10000;

const wchar_t* const FolderMissingText = L"The download folder does not exist or was moved/renamed manually.";
const wchar_t* const FolderMissingCaption = L"Download folder not available";

bool TaskbarOn() {
    if (VideoPanelHost.TaskbarProgressAvailable) return VideoPanelHost.TaskbarProgressAvailable();
    return components::IsTaskbarAPIAvailable();
}

void TaskbarState(int state) {
    if (TaskbarOn()) components::SetTaskbarProgressState(state);
}

void TaskbarValue(uint64_t current, uint64_t max) {
    if (TaskbarOn()) components::SetTaskbarProgressValue(current, max);
}

void FlashMainWindow() {
    if (HWND main = Application.MainFormHandle) FlashWindow(main, TRUE);
}

std::wstring ShortPath(const std::wstring& path) {
    wchar_t buffer[MAX_PATH * 2];
    DWORD n = GetShortPathNameW(path.c_str(), buffer, MAX_PATH * 2);
    if (n == 0 || n >= MAX_PATH * 2) return path;
    return std::wstring(buffer, n);
}

// A folder as Explorer's argument. A trailing "\" before the closing quote
// would escape it, so it goes, except on a drive's root, which needs no quotes.
std::wstring FolderArgument(const std::wstring& folder) {
    std::wstring dir = ExcludeTrailingPathDelimiter(ShortPath(folder));
    if (!dir.empty() && dir.back() == L':') return dir + L"\\";
    return L"\"" + dir + L"\"";
}

INT_PTR RunExplorer(const std::wstring& params) {
    return ShellExecuteStr(Application.Handle(), L"Open", ExplorerPath(), params, {}, SW_SHOWNORMAL);
}

std::wstring LocaleText(LCTYPE type, const wchar_t* fallback) {
    wchar_t buffer[16] = {};
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer, 16) <= 0) return fallback;
    return buffer;
}

std::wstring FormatNumber(double value, int decimals, const std::wstring& decimalSep,
                          const std::wstring& thousandSep) {
    uint64_t scale = 1;
    for (int i = 0; i < decimals; ++i) scale *= 10;
    // Halves away from zero, as the number format has always rounded.
    const auto scaled = static_cast<uint64_t>(std::round(value * static_cast<double>(scale)));
    const std::wstring whole = std::to_wstring(scaled / scale);
    std::wstring out;
    for (size_t i = 0; i < whole.size(); ++i) {
        if (i > 0 && (whole.size() - i) % 3 == 0) out += thousandSep;
        out += whole[i];
    }
    if (decimals > 0) {
        std::wstring fraction = std::to_wstring(scaled % scale);
        out += decimalSep + std::wstring(decimals - fraction.size(), L'0') + fraction;
    }
    return out;
}

}  // namespace

// --- plain routines -----------------------------------------------------------

std::wstring FormatByteSizeWith(int64_t size, const std::wstring& decimalSep, const std::wstring& thousandSep) {
    if (size < 0) size = 0;
    const double kb = static_cast<double>(size) / 1024;
    const double mb = kb / 1024;
    const double gb = mb / 1024;
    auto f = [&](double v, int decimals, const wchar_t* unit) {
        return FormatNumber(v, decimals, decimalSep, thousandSep) + unit;
    };
    if (kb < 1) return f(static_cast<double>(size), 0, L" bytes");
    if (kb < 10) return f(kb, 2, L" KB");
    if (kb < 100) return f(kb, 1, L" KB");
    if (mb < 1) return f(kb, 0, L" KB");
    if (mb < 10) return f(mb, 2, L" MB");
    if (mb < 100) return f(mb, 1, L" MB");
    if (gb < 1) return f(mb, 0, L" MB");
    if (gb < 10) return f(gb, 2, L" GB");
    if (gb < 100) return f(gb, 1, L" GB");
    return f(gb, 0, L" GB");
}

std::wstring FormatByteSize(int64_t size) {
    return FormatByteSizeWith(size, LocaleText(LOCALE_SDECIMAL, L"."), LocaleText(LOCALE_STHOUSAND, L","));
}

int ProgressPosition(int64_t readed, int64_t total, int max) {
    if (total <= 0 || max <= 0) return 0;
    const double position = std::nearbyint(static_cast<double>(readed) / static_cast<double>(total) * max);
    if (position < 0) return 0;
    if (position > max) return max;
    return static_cast<int>(position);
}

bool IsVideoExtension(const std::wstring& ext) { return ext == L".mp4" || ext == L".flv"; }

bool IsPictureExtension(const std::wstring& ext) { return ext == L".jpg" || ext == L".jpeg"; }

std::wstring ExplorerPath() {
    wchar_t buffer[MAX_PATH] = {};
    UINT n = GetWindowsDirectoryW(buffer, MAX_PATH);
    std::wstring dir = n > 0 && n < MAX_PATH ? std::wstring(buffer, n) : L"C:\\Windows";
    return IncludeTrailingPathDelimiter(dir) + L"explorer.exe";
}

std::wstring Rundll32Path() {
    wchar_t buffer[MAX_PATH] = {};
    UINT n = GetSystemDirectoryW(buffer, MAX_PATH);
    std::wstring dir = n > 0 && n < MAX_PATH ? std::wstring(buffer, n) : L"C:\\Windows\\System32";
    return IncludeTrailingPathDelimiter(dir) + L"rundll32.exe";
}

void ShowFileInFolder(const std::wstring& path) {
    if (FileExists(path)) {
        RunExplorer(L"/select, \"" + ShortPath(path) + L"\"");
        return;
    }
    const std::wstring folder = ExtractFilePath(path);
    if (!folder.empty() && DirectoryExists(folder)) {
        RunExplorer(FolderArgument(folder));
        return;
    }
    Application.MessageBox(FolderMissingText, FolderMissingCaption, MB_ICONWARNING);
}

void OpenDownloadFolder(const std::wstring& path) {
    const std::wstring folder = ExtractFilePath(path);
    if (!folder.empty() && DirectoryExists(folder))
        RunExplorer(FolderArgument(folder));
    else
        Application.MessageBox(FolderMissingText, FolderMissingCaption, MB_ICONWARNING);
}

void PlayDownloadedFile(const std::wstring& path) {
    if (!FileExists(path)) {
        if (Application.MessageBox(L"The video file does not exist or was moved/renamed manually. Do you want to "
                                   L"open the download folder?",
                                   L"Video file not available", MB_YESNO | MB_ICONWARNING) == IDYES)
            OpenDownloadFolder(path);
        return;
    }
    const INT_PTR result = ShellExecuteStr(Application.Handle(), L"Open", L"\"" + path + L"\"", {},
                                           ExtractFilePath(path), SW_SHOWNORMAL);
    if (result == SE_ERR_NOASSOC) {
        const std::wstring ext = UpperCase(ExtractFileExt(path).substr(ExtractFileExt(path).empty() ? 0 : 1));
        const std::wstring text =
            L"Apparently there is no associated player to open " + ext +
            L" video files in your system. Do you want to download the additional component \"K-Lite Codec Pack "
            L"Full (Free)\" in order to play this and other formats?\n\nClick Yes to visit external homepage of "
            L"\"K-Lite Codec Pack Full (Free)\".\nClick No to search a compatible player in your system.\nClick "
            L"Cancel to open the download folder.";
        switch (Application.MessageBox(text, L"No player associated", MB_YESNOCANCEL | MB_ICONWARNING)) {
            case IDYES:
                ShellExecuteStr(Application.Handle(), L"Open", CodecPackAddress, {}, {}, SW_SHOWNORMAL);
                break;
            case IDNO:
                ShellExecuteStr(Application.Handle(), L"Open", Rundll32Path(), L"shell32.dll,OpenAs_RunDLL " + path,
                                {}, SW_SHOWNORMAL);
                break;
            default:
                ShowFileInFolder(path);
                break;
        }
        return;
    }
    if (result <= 32) {
        if (Application.MessageBox(
                L"Unable to play the video file from the application. Do you want to open the download folder?",
                L"Unable to play the file", MB_YESNO | MB_ICONWARNING) == IDYES)
            OpenDownloadFolder(path);
    }
}

void AbortDownloadForExit() {
    if (TFrmDownloading* form = FrmDownloading) form->AbortForExit();
    DownloadRunning = false;
}

// --- the window ------------------------------------------------------------------

TFrmDownloading::TFrmDownloading(TComponent* owner) : TForm(owner) {
    CreateControls();
    DoCreate();
}

TFrmDownloading::~TFrmDownloading() {
    // OnDestroy runs while the form's own fields still exist.
    DoDestroy();
}

void TFrmDownloading::CreateControls() {
    CreateHandle({
        .WindowClass = WindowClass,
        .Caption = L"Download Manager",
        .ClientWidth = DesignClientWidth,
        .ClientHeight = DesignClientHeight,
        .BorderStyle = bsDialog,
        .BorderIcons = biSystemMenu,
        .Position = poDesigned,
    });
    Panel1 = NewOwned<TPanel>(this, this, {.Name = L"Panel1", .Width = 425, .Height = 94, .Align = alTop},
                              {.BevelOuter = bvNone});
    ImgThumbnail = NewOwned<TImage>(this, Panel1,
                                    {.Name = L"ImgThumbnail", .Left = 8, .Top = 8, .Width = 97, .Height = 73},
                                    {.Stretch = true});
    ImgThumbDef = NewOwned<TImage>(
        this, Panel1, {.Name = L"ImgThumbDef", .Left = 8, .Top = 8, .Width = 97, .Height = 73, .Visible = false},
        {.Stretch = true});
    HINSTANCE module = GetModuleHandleW(nullptr);
    if (FindResourceW(module, L"KV_DOWNLOAD_THUMBDEF", RT_RCDATA)) {
        try {
            TPicture picture;
            picture.LoadFromResource(module, L"KV_DOWNLOAD_THUMBDEF");
            ImgThumbDef->AssignPicture(picture);
        } catch (...) {
            // Without it a missing thumbnail shows as an empty box.
        }
    }
    Label1 = NewOwned<TLabel>(
        this, Panel1, {.Name = L"Label1", .Left = 116, .Top = 8, .Width = 301, .Height = 27, .ShowHint = true},
        {.AutoSize = false, .WordWrap = true, .ShowAccelChar = false});
    DrawnProgressBar1 = NewOwned<components::TDrawnProgressBar>(
        this, Panel1, {.Name = L"DrawnProgressBar1", .Left = 116, .Top = 38, .Width = 301, .Height = 17},
        {.MarqueeSize = 40, .MarqueeFade = 30, .MarqueeSpeed = 1, .AltMode = true,
         .Orientation = components::vpbHorizontal, .Percentage = false, .ShowPosText = false});
    DrawnProgressBar1->SetColor(clLime);
    Label2 = NewOwned<TLabel>(this, Panel1, {.Name = L"Label2", .Left = 116, .Top = 68}, {.AutoSize = true});
    Bevel1 = NewOwned<TBevel>(this, this, {.Name = L"Bevel1", .Top = 94, .Height = 2, .Align = alTop},
                              {.Shape = bsTopLine});
    BtnPlay = NewOwned<TButton>(
        this, this, {.Name = L"BtnPlay", .Left = 180, .Top = 102, .Width = 75, .Height = 25, .TabOrder = 0},
        {.Caption = L"Play"});
    BtnOpen = NewOwned<TButton>(
        this, this, {.Name = L"BtnOpen", .Left = 261, .Top = 102, .Width = 75, .Height = 25, .TabOrder = 1},
        {.Caption = L"Open Folder"});
    BtnCancelar = NewOwned<TButton>(
        this, this, {.Name = L"BtnCancelar", .Left = 342, .Top = 102, .Width = 75, .Height = 25, .TabOrder = 2},
        {.Caption = L"Cancel"});

    startTimer_ = NewTimer(this, {.Interval = 10, .Enabled = false});
    startTimer_->OnTimer = [this](TComponent*) {
        // Starts a transfer asked for while the previous one was ending.
        if (!HG || HG->Busy()) return;
        startTimer_->SetEnabled(false);
        if (!startPending_) return;
        startPending_ = false;
        StartTransfer();
    };

    OnCreate = Method(this, &TFrmDownloading::FormCreate);
    OnCloseQuery = Method(this, &TFrmDownloading::FormCloseQuery);
    OnClose = Method(this, &TFrmDownloading::FormClose);
    OnDestroy = Method(this, &TFrmDownloading::FormDestroy);
    OnMouseMove = Method(this, &TFrmDownloading::FormMouseMove);
    Panel1->OnMouseMove = Method(this, &TFrmDownloading::FormMouseMove);
    BtnCancelar->OnClick = Method(this, &TFrmDownloading::BtnCancelarClick);
    BtnOpen->OnClick = Method(this, &TFrmDownloading::BtnOpenClick);
    BtnPlay->OnClick = Method(this, &TFrmDownloading::BtnPlayClick);
}

void TFrmDownloading::FormCreate(TComponent*) {
    SetCaption(L"Download Manager");
    ImgThumbDef->Hide();
    HG = new engine::THTTPGet(this);
    SetPhase(TDownloadPhase::Running);
}

bool TFrmDownloading::TransferActive() const { return startPending_ || (HG && HG->Busy()); }

void TFrmDownloading::SetPhase(TDownloadPhase phase) {
    phase_ = phase;
    switch (phase) {
        case TDownloadPhase::Running:
            // BtnOpen is hidden meanwhile and keeps its last caption.
            BtnCancelar->SetCaption(L"Cancel");
            break;
        case TDownloadPhase::Canceling:
            BtnCancelar->SetCaption(L"Canceling...");
            break;
        case TDownloadPhase::Canceled:
            BtnCancelar->SetCaption(L"Close");
            BtnOpen->SetCaption(L"Restart");
            break;
        case TDownloadPhase::Failed:
            BtnCancelar->SetCaption(L"Close");
            BtnOpen->SetCaption(L"Try Again");
            break;
        case TDownloadPhase::Complete:
            BtnCancelar->SetCaption(L"Close");
            BtnOpen->SetCaption(L"Open Folder");
            break;
    }
}

bool TFrmDownloading::Ended() const {
    return phase_ != TDownloadPhase::Running && phase_ != TDownloadPhase::Canceling;
}

void TFrmDownloading::SetCloseCommandEnabled(bool enabled) {
    if (!HandleAllocated()) return;
    if (HMENU menu = GetSystemMenu(Handle(), FALSE))
        EnableMenuItem(menu, SC_CLOSE, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void TFrmDownloading::Dwld() {
    ++runId_;
    DownloadRunning = true;
    DrawnProgressBar1->SetMax(100);
    SetCaption(L"Initializing Download");
    Label2->SetCaption(IsVideoExtension(ExtractFileExt(HG->FileName)) ? L"Getting video information, please wait..."
                                                                      : L"Getting snapshot information, please wait...");
    SetPhase(TDownloadPhase::Running);
    BtnCancelar->SetEnabled(true);
    BtnPlay->Hide();
    BtnOpen->Hide();
    DrawnProgressBar1->SetPosition(0);
    TaskbarValue(0, DrawnProgressBar1->Max());
    DrawnProgressBar1->SetColor(clLime);
    DrawnProgressBar1->SetMarquee(true);
    TaskbarState(tpsIndeterminate);
    SetCloseCommandEnabled(true);

    HG->UseCache = false;
    HG->OnProgress = Method(this, &TFrmDownloading::HGProgress);
    HG->OnError = Method(this, &TFrmDownloading::HGError);
    HG->OnDoneFile = Method(this, &TFrmDownloading::HGDoneFile);
    DownloadCanceled = false;
    DownloadFailed = false;

    // Restart clicked while the last transfer's end is still being shown:
    // its worker has not let go of the component yet.
    if (HG->Busy()) {
        startPending_ = true;
        startTimer_->SetEnabled(true);
        return;
    }
    StartTransfer();
}

void TFrmDownloading::StartTransfer() {
    try {
        HG->GetFile();
    } catch (...) {
        // No worker: nothing will report an end, so show it now.
        DownloadFailed = true;
        FinishDownload();
    }
}

void TFrmDownloading::CancelPendingStart() {
    startPending_ = false;
    if (startTimer_) startTimer_->SetEnabled(false);
}

void TFrmDownloading::HGProgress(TThread*, int64_t totalSize, int64_t readed) {
    if (totalSize <= 0) {
        // No size announced: the bar keeps moving without a position.
        SetCaption(FormatByteSize(readed) + L" Downloaded");
        Label2->SetCaption(L"Downloaded " + FormatByteSize(readed) + L" of unknown total size");
        if (!DrawnProgressBar1->Marquee()) DrawnProgressBar1->SetMarquee(true);
        return;
    }
    try {
        if (DrawnProgressBar1->Marquee()) DrawnProgressBar1->SetMarquee(false);
        const int position = ProgressPosition(readed, totalSize, DrawnProgressBar1->Max());
        DrawnProgressBar1->SetPosition(position);
        Label2->SetCaption(L"Downloaded " + FormatByteSize(readed) + L" of " + FormatByteSize(totalSize) + L" (" +
                           IntToStr(position) + L"%)");
        SetCaption(IntToStr(position) + L"% Downloaded");
    } catch (...) {
        // One step not shown must not end the transfer, as it would when
        // thrown back to the worker through its synchronised call.
    }
    TaskbarValue(DrawnProgressBar1->Position(), DrawnProgressBar1->Max());
}

void TFrmDownloading::HGDoneFile(engine::THTTPGet*, const std::wstring&, int64_t) { FinishDownload(); }

void TFrmDownloading::HGError(engine::THTTPGet*) {
    // A body without an announced size ends here too; it counts only when
    // its read loop reached a clean end on a good status.
    DownloadFailed = !HG->ArrivedWhole();
    FinishDownload();
}

void TFrmDownloading::RaiseBarToMinimum() {
    if (DrawnProgressBar1->Position() < 2) DrawnProgressBar1->SetPosition(2);
}

void TFrmDownloading::SetEndTaskbarState(int inactiveState, bool active) {
    if (active) {
        TaskbarState(tpsNone);
        return;
    }
    if (DrawnProgressBar1->Position() == 2) TaskbarValue(2, DrawnProgressBar1->Max());
    TaskbarState(inactiveState);
}

void TFrmDownloading::ShowErrorTexts(const std::wstring& caption, const std::wstring& ext) {
    SetCaption(caption);
    Label2->SetCaption(IsVideoExtension(ext) ? L"Error when trying to download the video."
                                             : L"Error when trying to download the snapshot.");
    BtnOpen->Show();
    BtnOpen->SetFocus();
}

void TFrmDownloading::DeleteDownloadFile() {
    if (HG && !HG->FileName.empty() && FileExists(HG->FileName)) RemoveFile(HG->FileName);
}

void TFrmDownloading::FinishDownload() {
    ++finishingDepth_;
    ++handlerDepth_;
    const int run = runId_;
    auto alive = alive_;

    const std::wstring file = HG->FileName;
    const std::wstring ext = ExtractFileExt(file);
    const bool exists = FileExists(file);
    const int64_t size = exists ? engine::GetFileSize64(file) : -1;
    BtnCancelar->SetEnabled(true);
    SetPhase(DownloadCanceled                          ? TDownloadPhase::Canceled
             : DownloadFailed || size == 0 || !exists ? TDownloadPhase::Failed
                                                      : TDownloadPhase::Complete);
    DrawnProgressBar1->SetMarquee(false);

    const WindowsVersion version = GetWindowsVersion();
    if ((version.major == 5 || (version.major == 6 && version.minor == 0)) && !Application.Active())
        FlashMainWindow();
    const bool active = Application.Active();

    if (DownloadCanceled) {
        DeleteDownloadFile();
        DrawnProgressBar1->SetColor(clYellow);
        RaiseBarToMinimum();
        SetEndTaskbarState(tpsPaused, active);
        SetCaption(L"Download Canceled");
        Label2->SetCaption(L"Download canceled manually.");
        BtnOpen->Show();
        BtnCancelar->SetFocus();
    } else if (DownloadFailed || size == 0) {
        const bool empty = !DownloadFailed;
        DeleteDownloadFile();
        DrawnProgressBar1->SetColor(clRed);
        RaiseBarToMinimum();
        SetEndTaskbarState(tpsError, active);
        ShowErrorTexts(L"Download Error", ext);
        if (empty) TaskbarState(active ? tpsNone : tpsError);
    } else if (exists) {
        if (!active) FlashMainWindow();
        DrawnProgressBar1->SetPosition(DrawnProgressBar1->Max());
        if (!active)
            TaskbarValue(DrawnProgressBar1->Max(), DrawnProgressBar1->Max());
        else
            TaskbarState(tpsNone);
        const bool picture = IsPictureExtension(ext);
        const std::wstring verb = picture ? L"View" : L"Play";
        BtnPlay->SetCaption(verb);
        if (Lbl1) {
            Lbl1->SetCaption(ReplaceAll(Lbl1->Caption(), L"Download", verb, true));
            Lbl1->HelpKeyword = file;
        }
        SetCaption(L"Download Complete");
        Label2->SetCaption(L"Download completed successfully.");
        BtnPlay->Show();
        BtnOpen->Show();
        BtnPlay->SetFocus();
    } else {
        // Nothing arrived at all; painted as the other errors are.
        DrawnProgressBar1->SetColor(clRed);
        RaiseBarToMinimum();
        SetEndTaskbarState(tpsError, active);
        ShowErrorTexts(L"Download error", ext);
    }

    Application.ProcessMessages();
    if (!*alive) return;
    --finishingDepth_;
    --handlerDepth_;
    // A restart clicked meanwhile owns the running state now.
    if (run == runId_) {
        DownloadRunning = false;
        SetCloseCommandEnabled(true);
    }
}

void TFrmDownloading::CancelDownload() {
    ++handlerDepth_;
    auto alive = alive_;
    SetPhase(TDownloadPhase::Canceling);
    SetCloseCommandEnabled(false);
    Application.ProcessMessages();
    if (!*alive) return;
    --handlerDepth_;
    // The transfer may have ended, or the window been closed, meanwhile.
    if (exitClosing_ || closing_ || phase_ != TDownloadPhase::Canceling) return;
    DownloadCanceled = true;
    BtnCancelar->SetEnabled(false);
    if (!HG->Busy()) {
        // Nothing runs that could report the end.
        CancelPendingStart();
        FinishDownload();
        return;
    }
    HG->Abort();
}

void TFrmDownloading::DetachTransfer() {
    if (!HG) return;
    HG->OnProgress = nullptr;
    HG->OnError = nullptr;
    HG->OnDoneFile = nullptr;
}

void TFrmDownloading::AbortAndWait() {
    // While its completion is on the stack the worker has ended already.
    if (!HG || !HG->Busy() || finishingDepth_ > 0) return;
    DetachTransfer();
    HG->Abort();
    // The worker's last calls arrive as sent messages; nothing else is
    // taken off the queue meanwhile.
    const DWORD start = GetTickCount();
    while (HG->Busy() && GetTickCount() - start < TransferEndTimeoutMs) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_SENDMESSAGE);
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

void TFrmDownloading::AbortForExit() {
    exitClosing_ = true;
    CancelPendingStart();
    if (HG && HG->Busy() && finishingDepth_ == 0) {
        AbortAndWait();
        DeleteDownloadFile();
    }
    DownloadRunning = false;
    // One of the window's own handlers is still on the stack: it must not
    // be freed under it.
    if (handlerDepth_ > 0) {
        Hide();
        return;
    }
    Free();
}

void TFrmDownloading::FormCloseQuery(TComponent*, bool& canClose) {
    if (exitClosing_) {
        canClose = true;
        return;
    }
    if (phase_ == TDownloadPhase::Running) {
        canClose = false;
        CancelDownload();
        return;
    }
    if (phase_ == TDownloadPhase::Canceling) {
        // Closing while the transfer stops: it ends here, and its file goes.
        AbortAndWait();
        CancelPendingStart();
        if (HG->Busy()) {
            canClose = false;
            return;
        }
        DeleteDownloadFile();
        DownloadRunning = false;
        canClose = true;
        return;
    }
    canClose = !TransferActive() && finishingDepth_ == 0;
}

void TFrmDownloading::FormClose(TComponent*, TCloseAction& action) {
    action = caFree;
    closing_ = true;
    // Remembered now, so a window opened before this one is freed finds it.
    DownloadFormLeft = Left();
    DownloadFormTop = Top();
    if (FrmDownloading == this) FrmDownloading = nullptr;
}

void TFrmDownloading::FormDestroy(TComponent*) {
    CancelPendingStart();
    // Only the window that is FrmDownloading (or was the last one) speaks
    // for the download state; an older one being freed late does not.
    const bool current = FrmDownloading == this || FrmDownloading == nullptr;
    if (current && VideoPanelHost.SetDownloadMenusEnabled) VideoPanelHost.SetDownloadMenusEnabled(true);
    Lbl1 = nullptr;
    if (current) TaskbarState(tpsNone);
    if (HG) {
        if (HG->Busy() && finishingDepth_ == 0) {
            AbortAndWait();
            DeleteDownloadFile();
        }
        DetachTransfer();
        delete HG;
        HG = nullptr;
    }
    DownloadFormTop = Top();
    DownloadFormLeft = Left();
    if (current) {
        DownloadFormExists = false;
        DownloadRunning = false;
        if (!(VideoPanelHost.WorkAnimationVisible && VideoPanelHost.WorkAnimationVisible()) &&
            VideoPanelHost.OcultarPnlMsgs)
            VideoPanelHost.OcultarPnlMsgs();
        FrmDownloading = nullptr;
    }
}

void TFrmDownloading::FormMouseMove(TComponent*, TShiftState, int, int) {
    if (TaskbarOn() && Ended()) TaskbarState(tpsNone);
}

void TFrmDownloading::BtnCancelarClick(TComponent*) {
    if (phase_ == TDownloadPhase::Running)
        CancelDownload();
    else if (Ended())
        Close();
}

void TFrmDownloading::BtnOpenClick(TComponent*) {
    if (phase_ == TDownloadPhase::Canceled || phase_ == TDownloadPhase::Failed) {
        Dwld();
        return;
    }
    if (phase_ != TDownloadPhase::Complete) return;
    ++handlerDepth_;
    const int run = runId_;
    auto alive = alive_;
    ShowFileInFolder(HG->FileName);
    if (!*alive) return;
    --handlerDepth_;
    // A download started from a result label meanwhile keeps its window.
    if (run == runId_) Close();
}

void TFrmDownloading::BtnPlayClick(TComponent*) {
    ++handlerDepth_;
    const int run = runId_;
    auto alive = alive_;
    PlayDownloadedFile(HG->FileName);
    if (!*alive) return;
    --handlerDepth_;
    if (run == runId_) Close();
}

}  // namespace app
