#include "uFrmDestinationFolder.h"

#include <memory>

#include "classlib/Button.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Files.h"
#include "classlib/Hooks.h"
#include "classlib/Label.h"
#include "classlib/Raii.h"
#include "components/FolderPathBar.h"
#include "forms/Settings.h"

namespace app {

using namespace cls;

TFrmDestinationFolder* FrmDestinationFolder = nullptr;

std::wstring ShortFolderPath(const std::wstring& folder) {
    const DWORD needed = GetShortPathNameW(folder.c_str(), nullptr, 0);
    if (!needed) return folder;
    std::wstring out(needed, L'\0');
    const DWORD got = GetShortPathNameW(folder.c_str(), out.data(), needed);
    if (!got || got >= needed) return folder;
    out.resize(got);
    return out;
}

TFrmDestinationFolder::TFrmDestinationFolder(TComponent* owner) : TForm(owner) {
    CreateControls();
    DoCreate();
}

void TFrmDestinationFolder::CreateControls() {
    CreateHandle({
        .WindowClass = WindowClass,
        .ClientWidth = DesignClientWidth,
        .ClientHeight = DesignClientHeight,
        .BorderStyle = bsDialog,
        .BorderIcons = biSystemMenu,
        .Position = poMainFormCenter,
        .KeyPreview = true,
    });
    OnCreate = Method(this, &TFrmDestinationFolder::FormCreate);
    OnKeyDown = Method(this, &TFrmDestinationFolder::FormKeyDown);

    Panel1 = NewOwned<TPanel>(this, this, {.Name = L"Panel1", .Height = 73, .Align = alTop}, {.BevelOuter = bvNone});
    Label1 = NewOwned<TLabel>(this, Panel1, {.Name = L"Label1", .Left = 8, .Top = 13, .Width = 250, .Height = 13},
                              {.Caption = L"Current download folder:", .AutoSize = false});
    components::PathBarColors colors;
    const TColor values[components::ciColorCount] = {15921906, 14935011, 16643818, 16046502, 16643818, 16441260,
                                                     9408399,  11632444, 9598820,  15388572, clBlack};
    for (int i = 0; i < components::ciColorCount; ++i) colors.C[i] = values[i];
    FolderPathBar1 = NewOwned<components::TFolderPathBar>(
        this, Panel1,
        {.Name = L"FolderPathBar1", .Left = 8, .Top = 33, .Width = 393, .Height = 25, .Color = clWindow,
         .TabOrder = 0},
        {.Colors = colors,
         .ComputerAsDefault = true,
         .DirMustExist = true,
         .EmptyPathIcon = 8,
         .EmptyPathText = L"Equipo",
         .NewFolderName = L"New Folder",
         .SpecialFolders = components::spDesktop | components::spDocuments});
    Bevel1 = NewOwned<TBevel>(this, this, {.Name = L"Bevel1", .Top = 73, .Height = 2, .Align = alTop},
                              {.Shape = bsTopLine});
    BtnAbrir = NewOwned<TButton>(
        this, this, {.Name = L"BtnAbrir", .Left = 8, .Top = 81, .Width = 75, .Height = 25, .TabOrder = 1},
        {.Caption = L"Open", .ModalResult = mrClose});
    BtnAbrir->OnClick = Method(this, &TFrmDestinationFolder::BtnAbrirClick);
    BtnAceptar = NewOwned<TButton>(
        this, this, {.Name = L"BtnAceptar", .Left = 245, .Top = 81, .Width = 75, .Height = 25, .TabOrder = 2},
        {.Caption = L"OK", .ModalResult = mrOk});
    BtnAceptar->OnClick = Method(this, &TFrmDestinationFolder::BtnAceptarClick);
    BtnCancelar = NewOwned<TButton>(
        this, this, {.Name = L"BtnCancelar", .Left = 326, .Top = 81, .Width = 75, .Height = 25, .TabOrder = 3},
        {.Caption = L"Cancel", .ModalResult = mrCancel});
}

void TFrmDestinationFolder::FormCreate(TComponent*) { SetCaption(L"Download Folder"); }

void TFrmDestinationFolder::BtnAbrirClick(TComponent*) {
    const std::wstring folder = FolderPathBar1->Path();
    if (folder.empty()) return;
    if (!DirectoryExists(folder)) ForceDirectories(folder);  // a failure shows as nothing opening
    if (!DirectoryExists(folder)) return;
    ShellExecuteStr(Handle(), L"Open", L"Explorer", L"\"" + ShortFolderPath(folder) + L"\"", {}, SW_SHOW);
}

void TFrmDestinationFolder::BtnAceptarClick(TComponent*) {
    const std::wstring folder = FolderPathBar1->Path();
    // A bar that never got a folder has nothing to store ("\" is no folder).
    if (folder.empty()) return;
    DownloadFolder = IncludeTrailingPathDelimiter(folder);
    EscribirArchivoConfig(L"CarpetaDestino", DownloadFolder);
}

void TFrmDestinationFolder::FormKeyDown(TComponent*, WORD& key, TShiftState) {
    if (key == VK_ESCAPE) Close();
}

void OpenDestinationFolderWindow(TForm* mainForm) {
    std::unique_ptr<TFrmDestinationFolder> form(new TFrmDestinationFolder(nullptr));
    FrmDestinationFolder = form.get();
    cls::ScopeExit clear([] { FrmDestinationFolder = nullptr; });
    // Ignored when that folder is gone: the bar keeps the one it started with.
    form->FolderPathBar1->SetPath(DownloadFolder);
    form->SetPopupParent(mainForm);
    form->ShowModal();
}

}  // namespace app
