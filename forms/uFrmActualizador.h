// The update window: fetches the version file from the update server,
// compares its number with the program's own and offers the newer
// version's download page.
#pragma once
#include "Version.h"
#include <optional>
#include <string>

#include "classlib/Forms.h"

namespace cls {
class TButton;
class TLabel;
class TMemIniFile;
}  // namespace cls

namespace app {

// The program's version 4.2.5.141 in the update server's numbering.
constexpr int AppVersionNumber = KORVELINK_VERSION_NUMBER;

// Where the version file is fetched from; tests point it at other hosts.
extern std::wstring UpdateFileURL;
// The local copy of the version file in the cache folder.
std::wstring UpdateFileName();

enum class TUpdateState { Failed, UpToDate, Newer };

struct TUpdateInfo {
    TUpdateState State = TUpdateState::Failed;
    std::wstring VersionText;
    std::wstring DownloadLink;
};

// An address the browser may be handed: http:// or https:// with a host,
// and no blank or control character anywhere.
bool IsWebAddress(const std::wstring& address);
// The outcome of the three values of section "Info" (missing ones unset).
// A newer version whose download address is not a web address is a
// failure; a number that is not a decimal integer raises EConvertError.
TUpdateInfo EvaluateVersionInfo(const std::optional<std::wstring>& number,
                                const std::optional<std::wstring>& text,
                                const std::optional<std::wstring>& link, int currentNumber = AppVersionNumber);
TUpdateInfo EvaluateVersionFile(const cls::TMemIniFile& ini, int currentNumber = AppVersionNumber);
// The status line shown for an outcome.
std::wstring UpdateStatusText(const TUpdateInfo& info);

class TFrmActualizador : public cls::TForm {
public:
    explicit TFrmActualizador(cls::TComponent* owner = nullptr);

    static constexpr const wchar_t* WindowClass = L"TFrmActualizador";
    static constexpr int DesignClientWidth = 337;
    static constexpr int DesignClientHeight = 64;

    cls::TLabel* LblEstado = nullptr;
    cls::TButton* BtnDescargar = nullptr;  // its hint holds the download address
    cls::TButton* BtnCerrar = nullptr;

    // The check runs while the window is shown; true once it has ended.
    bool CheckDone() const { return checkDone_; }
    // Fetches and reads the version file and shows the outcome. An error
    // raised on the way (a version number that is not an integer) is raised
    // again once the outcome shows.
    void CheckForUpdates();

private:
    // The form resource: the window, its controls and their event bindings.
    void CreateControls();

    void FormCreate(cls::TComponent* sender);
    void FormActivate(cls::TComponent* sender);
    void FormKeyDown(cls::TComponent* sender, WORD& key, cls::TShiftState shift);
    void BtnDescargarClick(cls::TComponent* sender);

    TUpdateInfo FetchVersionInfo();
    void ShowOutcome(const TUpdateInfo& info);

    bool checkStarted_ = false;
    bool checkDone_ = false;
};

extern TFrmActualizador* FrmActualizador;

// Help > Check for Updates...: the window shown modally over MainForm and
// freed again.
void OpenUpdaterWindow(cls::TForm* mainForm);

}  // namespace app
