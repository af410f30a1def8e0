// Program entry: folders, start-up checks, then the main window's loop.
#include <windows.h>

#include "StartupChecks.h"
#include "classlib/Application.h"
#include "components/TaskbarProgress.h"
#include "dragdrop/DragDrop.h"
#include "engine/Constants.h"
#include "engine/PageFetch.h"
#include "forms/uFrmKorvelink.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    engine::InitializeFolders();
    app::RunStartupChecks();

    // The main window makes the taskbar progress, a COM object of the
    // shell, while it is created.
    dragdrop::Initialize();

    cls::Application.Initialize();
    cls::Application.MainFormOnTaskBar = true;
    cls::Application.CreateForm(app::FrmKorvelink);
    engine::PageFetchOwner = app::FrmKorvelink;
    if (cls::Application.ShowMainForm) app::FrmKorvelink->Show();
    int code = cls::Application.Run();
    delete app::FrmKorvelink;

    // The shell's object goes before OLE does.
    components::ReleaseTaskbarAPI();
    dragdrop::Finalize();
    return code;
}
