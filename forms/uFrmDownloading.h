// The download window: one transfer at a time into the download folder,
// with its progress on a drawn bar and on the main window's taskbar button,
// ending as complete, cancelled or failed; then the file can be played or
// shown in its folder, or the transfer restarted.
#pragma once
#include <cstdint>
#include <string>

#include "classlib/Forms.h"

namespace cls {
class TBevel;
class TButton;
class TImage;
class TLabel;
class TPanel;
class TThread;
class TTimer;
}  // namespace cls

namespace components {
class TDrawnProgressBar;
}

namespace engine {
class THTTPGet;
}

namespace app {

// Where the window's transfer stands. The handlers decide by it alone; the
// buttons' captions follow from it ("Cancel", "Canceling...", then "Close"
// with "Restart", "Try Again" or "Open Folder").
enum class TDownloadPhase { Running, Canceling, Canceled, Failed, Complete };

class TFrmDownloading : public cls::TForm {
public:
    explicit TFrmDownloading(cls::TComponent* owner = nullptr);
    ~TFrmDownloading() override;

    static constexpr const wchar_t* WindowClass = L"TFrmDownloading";
    static constexpr int DesignClientWidth = 425;
    static constexpr int DesignClientHeight = 135;

    cls::TPanel* Panel1 = nullptr;
    cls::TImage* ImgThumbnail = nullptr;
    cls::TImage* ImgThumbDef = nullptr;
    cls::TLabel* Label1 = nullptr;
    components::TDrawnProgressBar* DrawnProgressBar1 = nullptr;
    cls::TLabel* Label2 = nullptr;
    cls::TBevel* Bevel1 = nullptr;
    cls::TButton* BtnPlay = nullptr;
    cls::TButton* BtnOpen = nullptr;
    cls::TButton* BtnCancelar = nullptr;

    engine::THTTPGet* HG = nullptr;
    // The link label that started the download; null once its panel is gone.
    cls::TLabel* Lbl1 = nullptr;

    // Resets the window and starts the transfer of HG->URL into
    // HG->FileName. While the previous transfer is still ending, the start
    // waits for it.
    void Dwld();
    // Shows the end state of the transfer.
    void FinishDownload();

    void HGProgress(cls::TThread* sender, int64_t totalSize, int64_t readed);
    void HGDoneFile(engine::THTTPGet* sender, const std::wstring& fileName, int64_t fileSize);
    void HGError(engine::THTTPGet* sender);

    // A transfer runs or is about to start.
    bool TransferActive() const;
    TDownloadPhase Phase() const { return phase_; }
    // For the program's exit: stops the transfer, waits for its worker,
    // deletes the partial file and lets the window close.
    void AbortForExit();

    void FormCreate(cls::TComponent* sender);
    void FormCloseQuery(cls::TComponent* sender, bool& canClose);
    void FormClose(cls::TComponent* sender, cls::TCloseAction& action);
    void FormDestroy(cls::TComponent* sender);
    void FormMouseMove(cls::TComponent* sender, cls::TShiftState shift, int x, int y);
    void BtnCancelarClick(cls::TComponent* sender);
    void BtnOpenClick(cls::TComponent* sender);
    void BtnPlayClick(cls::TComponent* sender);

private:
    void CreateControls();
    void SetPhase(TDownloadPhase phase);
    bool Ended() const;
    void CancelDownload();
    void StartTransfer();
    void CancelPendingStart();
    void DetachTransfer();
    // Aborts a running transfer and waits (bounded) until its worker has
    // ended, so its file is closed.
    void AbortAndWait();
    void DeleteDownloadFile();
    void SetCloseCommandEnabled(bool enabled);
    void ShowErrorTexts(const std::wstring& caption, const std::wstring& ext);
    void RaiseBarToMinimum();
    void SetEndTaskbarState(int inactiveState, bool active);

    TDownloadPhase phase_ = TDownloadPhase::Running;
    cls::TTimer* startTimer_ = nullptr;
    bool startPending_ = false;
    bool exitClosing_ = false;
    bool closing_ = false;
    int runId_ = 0;
    int finishingDepth_ = 0;  // FinishDownload is on the stack
    int handlerDepth_ = 0;    // a handler that pumps messages is on the stack
};

extern TFrmDownloading* FrmDownloading;
extern bool DownloadCanceled;
extern bool DownloadFailed;

// "1,023 bytes", "9.77 KB", "1.5 MB" ... in the user's number format.
std::wstring FormatByteSize(int64_t size);
// The same with the given separators.
std::wstring FormatByteSizeWith(int64_t size, const std::wstring& decimalSep, const std::wstring& thousandSep);
// Readed / Total of Max, rounded half to even, kept within 0..Max; 0 when
// the total is not known.
int ProgressPosition(int64_t readed, int64_t total, int max);
// The texts of a transfer: streams saved as .mp4 or .flv are videos.
bool IsVideoExtension(const std::wstring& ext);
bool IsPictureExtension(const std::wstring& ext);

// Opens a downloaded file with its program, offering the alternatives when
// it has none or the file is gone.
void PlayDownloadedFile(const std::wstring& path);
// Explorer with the file selected, else its folder, else a message.
void ShowFileInFolder(const std::wstring& path);
// Explorer on the file's folder, else a message.
void OpenDownloadFolder(const std::wstring& path);
std::wstring ExplorerPath();
std::wstring Rundll32Path();
extern const wchar_t* const CodecPackAddress;

// For the main window's Exit: a running download is aborted, its worker
// waited for and its partial file deleted; the download window goes.
void AbortDownloadForExit();

}  // namespace app
