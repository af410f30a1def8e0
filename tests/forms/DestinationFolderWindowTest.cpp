#include <gtest/gtest.h>

#include <windows.h>
#include <ole2.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "classlib/Application.h"
#include "classlib/Button.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Files.h"
#include "classlib/Hooks.h"
#include "classlib/Label.h"
#include "components/FolderPathBar.h"
#include "engine/Constants.h"
#include "forms/Settings.h"
#include "forms/uFrmDestinationFolder.h"
#include "tests/classlib/FormsTestSupport.h"
#include "tests/support/TempFolder.h"

using namespace app;
using namespace cls;
using formstest::Pump;
using testing_support::TempFolder;

namespace {

struct Shell {
    HWND owner;
    std::wstring verb, file, params;
    int show;
};

class DestinationFolderWindow : public ::testing::Test {
protected:
    DestinationFolderWindow()
        : data_(engine::DataFolder),
          download_(DownloadFolder),
          shellHook_(ShellExecuteHook, [this](HWND owner, const std::wstring& verb, const std::wstring& file,
                                              const std::wstring& params, const std::wstring&, int show) {
              shells_.push_back({owner, verb, file, params, show});
              return INT_PTR(42);
          }) {
        Application.Initialize();
        ole_ = SUCCEEDED(OleInitialize(nullptr));
        engine::DataFolder = tmp_.Path() + L"data\\";
        DownloadFolder = tmp_.Path() + L"old";
        CreateDirectoryW(DownloadFolder.c_str(), nullptr);
    }
    ~DestinationFolderWindow() override {
        Pump(10);
        engine::DataFolder = data_;
        DownloadFolder = download_;
        if (ole_) OleUninitialize();
    }

    std::wstring MakeDir(const std::wstring& name) {
        const std::wstring path = tmp_.Path() + name;
        CreateDirectoryW(path.c_str(), nullptr);
        return path;
    }
    bool ConfigWritten() { return FileExists(ConfigFileName()); }

    // Opens the window modally and runs Action once its loop runs.
    void WhileOpen(const std::function<void(TFrmDestinationFolder&)>& action, TForm* main) {
        UINT_PTR timer = SetTimer(nullptr, 0, 100, nullptr);
        int ticks = 0;
        Application.OnMessage = [&](MSG& m) {
            if (m.message != WM_TIMER || m.wParam != timer) return false;
            if (++ticks == 1 && FrmDestinationFolder) action(*FrmDestinationFolder);
            if (ticks == 50 && FrmDestinationFolder) PostMessageW(FrmDestinationFolder->Handle(), WM_CLOSE, 0, 0);
            return true;
        };
        OpenDestinationFolderWindow(main);
        Application.OnMessage = nullptr;
        KillTimer(nullptr, timer);
        EXPECT_LT(ticks, 50) << "closed by the guard";
        EXPECT_EQ(FrmDestinationFolder, nullptr);
    }

    formstest::CommonControls6 cc6_;
    TempFolder tmp_;
    std::wstring data_, download_;
    bool ole_ = false;
    std::vector<Shell> shells_;
    ScopedHook<ShellExecuteFunc> shellHook_;
};

}  // namespace

TEST_F(DestinationFolderWindow, Controls) {
    TFrmDestinationFolder form;
    EXPECT_EQ(form.Caption(), L"Download Folder");
    EXPECT_EQ(form.ClientWidth(), 409);
    EXPECT_EQ(form.ClientHeight(), 114);
    EXPECT_EQ(form.Label1->Caption(), L"Current download folder:");
    components::TFolderPathBar* bar = form.FolderPathBar1;
    EXPECT_EQ(bar->BoundsRect().left, 8);
    EXPECT_EQ(bar->BoundsRect().top, 33);
    EXPECT_EQ(bar->Width(), 393);
    EXPECT_TRUE(bar->DirMustExist());
    EXPECT_EQ(bar->EmptyPathIcon(), 8);
    EXPECT_EQ(bar->EmptyPathText(), L"Equipo");
    EXPECT_EQ(bar->NewFolderName(), L"New Folder");
    EXPECT_EQ(bar->ColorOf(components::ciBtnPenShade1), TColor(9598820));
    EXPECT_FALSE(bar->Path().empty()) << "the folder it starts with";
    EXPECT_EQ(form.BtnAbrir->ModalResult, mrClose);
    EXPECT_EQ(form.BtnAceptar->ModalResult, mrOk);
    EXPECT_EQ(form.BtnCancelar->ModalResult, mrCancel);
}

TEST_F(DestinationFolderWindow, OkStoresTheFolderWithItsDelimiter) {
    const std::wstring chosen = MakeDir(L"chosen");
    TFrmDestinationFolder form;
    form.FolderPathBar1->SetPath(chosen);
    form.BtnAceptar->Click();
    EXPECT_EQ(form.ModalResult(), mrOk);
    EXPECT_EQ(DownloadFolder, chosen + L"\\");
    EXPECT_EQ(LeerArchivoConfig(L"CarpetaDestino"), chosen + L"\\");
    // The next start reads it back without the delimiter.
    EXPECT_EQ(ResolveDownloadFolder(LeerArchivoConfig(L"CarpetaDestino"), L"C:\\Docs\\",
                                    [](const std::wstring& d) { return DirectoryExists(d); }),
              chosen);
}

TEST_F(DestinationFolderWindow, CancelChangesNothing) {
    const std::wstring before = DownloadFolder;
    TFrmDestinationFolder form;
    form.FolderPathBar1->SetPath(MakeDir(L"other"));
    form.BtnCancelar->Click();
    EXPECT_EQ(form.ModalResult(), mrCancel);
    EXPECT_EQ(DownloadFolder, before);
    EXPECT_FALSE(ConfigWritten());
}

TEST_F(DestinationFolderWindow, OkWithoutAFolderStoresNothing) {
    const std::wstring before = DownloadFolder;
    TFrmDestinationFolder form;
    form.FolderPathBar1->SetDirMustExist(false);
    form.FolderPathBar1->SetPath(L"");
    ASSERT_EQ(form.FolderPathBar1->Path(), L"");
    form.BtnAceptar->Click();
    EXPECT_EQ(DownloadFolder, before) << "not \"\\\"";
    EXPECT_FALSE(ConfigWritten());
}

TEST_F(DestinationFolderWindow, OpenCreatesAMissingFolderAndShowsIt) {
    const std::wstring before = DownloadFolder;
    const std::wstring folder = MakeDir(L"A long folder name");
    TFrmDestinationFolder form;
    form.FolderPathBar1->SetPath(folder);
    RemoveDirectoryW(folder.c_str());
    ASSERT_FALSE(DirectoryExists(folder));
    form.BtnAbrir->Click();
    EXPECT_TRUE(DirectoryExists(folder));
    ASSERT_EQ(shells_.size(), 1u);
    EXPECT_EQ(shells_[0].owner, form.Handle());
    EXPECT_EQ(shells_[0].file, L"Explorer");
    const std::wstring shortName = ShortFolderPath(folder + L"\\");
    EXPECT_EQ(shells_[0].params, L"\"" + shortName + L"\"");
    EXPECT_EQ(GetFileAttributesW(shortName.c_str()), GetFileAttributesW(folder.c_str())) << "the same folder";
    EXPECT_EQ(shells_[0].show, SW_SHOW);
    EXPECT_EQ(form.ModalResult(), mrClose);
    EXPECT_EQ(DownloadFolder, before);
    EXPECT_FALSE(ConfigWritten());
}

TEST_F(DestinationFolderWindow, OpenedOnTheDownloadFolderAndOkStoresTheChoice) {
    TForm main(nullptr, {.WindowClass = L"TDestTestMain", .ClientWidth = 300, .ClientHeight = 200});
    main.Show();
    const std::wstring start = DownloadFolder, chosen = MakeDir(L"picked");
    std::wstring shown;
    WhileOpen(
        [&](TFrmDestinationFolder& f) {
            shown = f.FolderPathBar1->Path();
            EXPECT_TRUE(f.Modal());
            EXPECT_EQ(f.PopupParent(), &main);
            f.FolderPathBar1->SetPath(chosen);
            f.BtnAceptar->Click();
        },
        &main);
    EXPECT_EQ(shown, start + L"\\") << "the bar starts at the download folder";
    EXPECT_EQ(DownloadFolder, chosen + L"\\");
    EXPECT_EQ(LeerArchivoConfig(L"CarpetaDestino"), chosen + L"\\");
}

TEST_F(DestinationFolderWindow, MissingDownloadFolderKeepsTheBarsOwnAndEscCloses) {
    TForm main(nullptr, {.WindowClass = L"TDestTestMain", .ClientWidth = 300, .ClientHeight = 200});
    main.Show();
    DownloadFolder = tmp_.Path() + L"gone";
    std::wstring shown;
    WhileOpen(
        [&](TFrmDestinationFolder& f) {
            shown = f.FolderPathBar1->Path();
            formstest::PostKey(GetFocus(), VK_ESCAPE);
        },
        &main);
    EXPECT_FALSE(shown.empty());
    EXPECT_NE(shown, tmp_.Path() + L"gone\\");
    EXPECT_EQ(DownloadFolder, tmp_.Path() + L"gone");
    EXPECT_FALSE(ConfigWritten());
}
