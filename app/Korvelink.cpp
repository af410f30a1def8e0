// Program entry: folders, start-up checks, then the main window's loop.
#include <windows.h>

#include "StartupChecks.h"
#include "classlib/Application.h"
#include "engine/Constants.h"
#include "forms/uFrmKorvelink.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    engine::InitializeFolders();
    app::RunStartupChecks();

    cls::Application.Initialize();
    cls::Application.MainFormOnTaskBar = true;
    app::FrmKorvelink = new app::TFrmKorvelink();
    cls::Application.MainFormHandle = app::FrmKorvelink->Handle();
    app::FrmKorvelink->Show();
    int code = cls::Application.Run();
    delete app::FrmKorvelink;
    app::FrmKorvelink = nullptr;
    return code;
}
