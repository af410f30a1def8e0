// The download-folder window: shows and changes the folder new downloads go
// to with a folder path bar, and opens that folder in Explorer.
#pragma once
#include <string>

#include "classlib/Forms.h"

namespace cls {
class TBevel;
class TButton;
class TLabel;
class TPanel;
}  // namespace cls

namespace components {
class TFolderPathBar;
}

namespace app {

class TFrmDestinationFolder : public cls::TForm {
public:
    explicit TFrmDestinationFolder(cls::TComponent* owner = nullptr);

    static constexpr const wchar_t* WindowClass = L"TFrmDestinationFolder";
    static constexpr int DesignClientWidth = 409;
    static constexpr int DesignClientHeight = 114;

    cls::TPanel* Panel1 = nullptr;
    cls::TLabel* Label1 = nullptr;
    components::TFolderPathBar* FolderPathBar1 = nullptr;
    cls::TBevel* Bevel1 = nullptr;
    cls::TButton* BtnAbrir = nullptr;
    cls::TButton* BtnAceptar = nullptr;
    cls::TButton* BtnCancelar = nullptr;

    void BtnAbrirClick(cls::TComponent* sender);
    void BtnAceptarClick(cls::TComponent* sender);

private:
    void CreateControls();

    void FormCreate(cls::TComponent* sender);
    void FormKeyDown(cls::TComponent* sender, WORD& key, cls::TShiftState shift);
};

extern TFrmDestinationFolder* FrmDestinationFolder;

// The folder's short (8.3) form for Explorer's command line; the folder
// itself when the system has no short form for it.
std::wstring ShortFolderPath(const std::wstring& folder);

// Shows the download-folder window modally over the main window, its bar at
// DownloadFolder; OK stores the chosen folder in DownloadFolder and in
// "CarpetaDestino".
void OpenDestinationFolderWindow(cls::TForm* mainForm);

}  // namespace app
