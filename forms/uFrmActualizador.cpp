#include "forms/uFrmActualizador.h"

#include <windows.h>

#include <exception>
#include <memory>

#include "app/FolderTree.h"
#include "app/Links.h"
#include "classlib/Application.h"
#include "classlib/Button.h"
#include "classlib/Files.h"
#include "classlib/Hooks.h"
#include "classlib/IniFiles.h"
#include "classlib/Label.h"
#include "classlib/Strings.h"
#include "engine/Constants.h"
#include "engine/HTTPGet.h"

namespace app {

using namespace cls;

TFrmActualizador* FrmActualizador = nullptr;
std::wstring UpdateFileURL = UpdateVersionFileLink;

namespace {

const wchar_t* const ProductName = L"Korvelink";
const wchar_t* const InfoSection = L"Info";
const wchar_t* const CheckingText = L"Checking for updates, please wait...";
const wchar_t* const FailedText = L"An error has occurred while trying to run the updater.";

// The version file is a few lines; anything far bigger is not one.
constexpr int64_t VersionFileMaxBytes = 64 * 1024;

void DeleteLocalCopy(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) DeleteFolderEntry(path, attributes);
}

std::optional<std::wstring> ReadInfoValue(const TMemIniFile& ini, const wchar_t* key) {
    if (!ini.ValueExists(InfoSection, key)) return std::nullopt;
    return ini.ReadString(InfoSection, key, L"");
}

}  // namespace

std::wstring UpdateFileName() { return engine::CacheFolder + L"kvup.currver"; }

// --- plain routines -----------------------------------------------------------

bool IsWebAddress(const std::wstring& address) {
    size_t skip;
    if (StartsText(address, L"https://"))
        skip = 8;
    else if (StartsText(address, L"http://"))
        skip = 7;
    else
        return false;
    for (wchar_t c : address)
        if (c <= 32 || c == 127 || c == L'"' || c == L'\\') return false;
    size_t hostEnd = address.find_first_of(L"/?#", skip);
    if (hostEnd == std::wstring::npos) hostEnd = address.size();
    return hostEnd > skip;
}

TUpdateInfo EvaluateVersionInfo(const std::optional<std::wstring>& number, const std::optional<std::wstring>& text,
                                const std::optional<std::wstring>& link, int currentNumber) {
    TUpdateInfo info;
    if (!number || !text || !link) return info;
    const int newest = StrToInt(*number);
    if (newest <= currentNumber) {
        info.State = TUpdateState::UpToDate;
        return info;
    }
    // The file comes over plain HTTP: only a web page may reach the shell.
    if (!IsWebAddress(*link)) return info;
    info.State = TUpdateState::Newer;
    info.VersionText = *text;
    info.DownloadLink = *link;
    return info;
}

TUpdateInfo EvaluateVersionFile(const TMemIniFile& ini, int currentNumber) {
    return EvaluateVersionInfo(ReadInfoValue(ini, L"AppCurrentVersionNumber"),
                               ReadInfoValue(ini, L"AppCurrentVersionText"), ReadInfoValue(ini, L"AppDownloadLink"),
                               currentNumber);
}

std::wstring UpdateStatusText(const TUpdateInfo& info) {
    switch (info.State) {
        case TUpdateState::Newer:
            return std::wstring(ProductName) + L" " + info.VersionText + L" is available for download.";
        case TUpdateState::UpToDate: return std::wstring(ProductName) + L" is up to date.";
        case TUpdateState::Failed: break;
    }
    return FailedText;
}

// --- the window ---------------------------------------------------------------

TFrmActualizador::TFrmActualizador(TComponent* owner) : TForm(owner) {
    CreateControls();
    DoCreate();
}

void TFrmActualizador::CreateControls() {
    CreateHandle({
        .WindowClass = WindowClass,
        .ClientWidth = DesignClientWidth,
        .ClientHeight = DesignClientHeight,
        .BorderStyle = bsSingle,
        .BorderIcons = 0,
        .Position = poMainFormCenter,
        .KeyPreview = true,
    });
    OnCreate = Method(this, &TFrmActualizador::FormCreate);
    OnActivate = Method(this, &TFrmActualizador::FormActivate);
    OnKeyDown = Method(this, &TFrmActualizador::FormKeyDown);
    // No close box, but Alt+F4 still asks: nothing closes the window while
    // it waits for the server.
    SetMessageHandler(WM_CLOSE, [this](TMessage& m) {
        if (checkStarted_ && !checkDone_) m.Handled = true;
    });

    // The version text comes from the server: an "&" in it is shown as is.
    LblEstado = New<TLabel>(this, {.Name = L"LblEstado", .Left = 8, .Top = 10, .Width = 321, .Height = 13},
                            {.AutoSize = false, .ShowAccelChar = false});

    BtnDescargar = New<TButton>(this, {.Name = L"BtnDescargar", .Left = 173, .Top = 33, .TabOrder = 0},
                                {.Caption = L"Download", .ModalResult = mrOk});
    BtnDescargar->OnClick = Method(this, &TFrmActualizador::BtnDescargarClick);

    BtnCerrar = New<TButton>(this, {.Name = L"BtnCerrar", .Left = 254, .Top = 33, .TabOrder = 1},
                             {.Caption = L"Close", .ModalResult = mrClose});
}

void TFrmActualizador::FormCreate(TComponent*) {
    SetCaption(L"Korvelink Updater");
    LblEstado->SetCaption(L"");
    BtnDescargar->Hide();
    BtnCerrar->Hide();
}

void TFrmActualizador::FormActivate(TComponent*) {
    // The window is activated again each time the user comes back to it,
    // even while the check waits for the server: it runs once.
    if (checkStarted_) return;
    checkStarted_ = true;
    CheckForUpdates();
}

TUpdateInfo TFrmActualizador::FetchVersionInfo() {
    const std::wstring local = UpdateFileName();
    if (!DirectoryExists(engine::CacheFolder) && !ForceDirectories(engine::CacheFolder)) return {};
    std::unique_ptr<engine::THTTPGet> http(new engine::THTTPGet(this));
    http->WaitThread = true;
    http->UseCache = false;
    http->MaxBytes = VersionFileMaxBytes;
    http->FileName = local;
    http->URL = UpdateFileURL;
    http->GetFile();
    // An error page or a cut-off file says nothing about the newest version.
    const bool whole = http->ArrivedWhole();
    http.reset();
    if (!whole || !FileExists(local)) return {};
    TMemIniFile ini(local);
    return EvaluateVersionFile(ini);
}

void TFrmActualizador::CheckForUpdates() {
    checkStarted_ = true;
    auto alive = alive_;
    LblEstado->SetCaption(CheckingText);
    Application.ProcessMessages();
    if (!*alive) return;
    const std::wstring local = UpdateFileName();
    DeleteLocalCopy(local);

    TUpdateInfo info;
    std::exception_ptr error;
    try {
        info = FetchVersionInfo();
    } catch (...) {
        // Reported once the window shows its outcome.
        error = std::current_exception();
        info = {};
    }
    DeleteLocalCopy(local);
    if (*alive) ShowOutcome(info);
    if (error) std::rethrow_exception(error);
}

void TFrmActualizador::ShowOutcome(const TUpdateInfo& info) {
    BtnCerrar->Show();
    LblEstado->SetCaption(UpdateStatusText(info));
    if (info.State == TUpdateState::Newer) {
        BtnDescargar->Show();
        BtnDescargar->SetHint(info.DownloadLink);
        BtnDescargar->SetFocus();
    } else {
        BtnCerrar->SetFocus();
    }
    checkDone_ = true;
}

void TFrmActualizador::FormKeyDown(TComponent*, WORD& key, TShiftState) {
    if (key == VK_ESCAPE && BtnCerrar->Visible()) Close();
}

void TFrmActualizador::BtnDescargarClick(TComponent*) {
    const std::wstring link = BtnDescargar->Hint();
    if (IsWebAddress(link)) ShellExecuteStr(Application.Handle(), L"Open", link, L"", L"", SW_SHOW);
}

void OpenUpdaterWindow(TForm* mainForm) {
    FrmActualizador = new TFrmActualizador(nullptr);
    FrmActualizador->SetPopupParent(mainForm);
    try {
        FrmActualizador->ShowModal();
    } catch (...) {
        // The window goes in any case.
    }
    TFrmActualizador* form = FrmActualizador;
    FrmActualizador = nullptr;
    form->Free();
}

}  // namespace app
