// A stand-in for the main window as the result panel and the download
// window see it: a results area, the camera image list, the placeholder
// picture and recorders for every call they make on it, the message boxes,
// the shell and the taskbar.
#pragma once
#include <gtest/gtest.h>

#include <windows.h>
#include <shobjidl.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "classlib/Application.h"
#include "classlib/Bitmap.h"
#include "classlib/Files.h"
#include "classlib/Forms.h"
#include "classlib/Hooks.h"
#include "classlib/Image.h"
#include "classlib/ImgList.h"
#include "classlib/Raii.h"
#include "classlib/ScrollBox.h"
#include "classlib/StringList.h"
#include "components/TaskbarProgress.h"
#include "engine/Constants.h"
#include "engine/HTTPGet.h"
#include "forms/DownloadState.h"
#include "forms/Settings.h"
#include "forms/VideoPanel.h"
#include "forms/uFrmDownloading.h"
#include "tests/classlib/FormsTestSupport.h"
#include "tests/support/TempFolder.h"
#include "tests/support/RecordingTaskbarList.h"

namespace downloadtest {

using RecordingTaskbarList = testing_support::RecordingTaskbarList;

struct Box {
    std::wstring text, caption;
    UINT flags;
};

struct ShellCall {
    std::wstring verb, file, params, dir;
    int show;
};

// Camera pictures of the stand-in image list: plain colours, so a test
// can tell which one an icon shows.
constexpr uint32_t SnapshotPixel = cls::MakeBGRA(0xFF, 0, 0);
constexpr uint32_t VideoPixel = cls::MakeBGRA(0, 0, 0xFF);

inline std::wstring ToWinePath(const char* unixPath) {
    std::wstring out = L"Z:";
    for (const char* p = unixPath; *p; ++p) out += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
    return out;
}

// Byte i of a generated body is i % 251.
inline std::string SitePattern(size_t size) {
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>(i % 251);
    return s;
}

inline bool SiteAvailable() { return std::getenv("KORVELINK_FAKESITE_PORT") != nullptr; }

// The requests the fake site answered, one "METHOD URL STATUS" per line.
inline std::vector<std::wstring> SiteRequests() {
    engine::THTTPGet get(nullptr);
    get.WaitThread = true;
    get.URL = L"http://fakesite.control/requests";
    std::wstring text;
    get.OnDoneString = [&](engine::THTTPGet*, const std::wstring& r) { text = r; };
    get.GetString();
    return cls::SplitLines(text);
}

inline int CountRequests(const std::wstring& urlPart) {
    int n = 0;
    for (const std::wstring& line : SiteRequests())
        if (line.rfind(L"GET ", 0) == 0 && line.find(urlPart) != std::wstring::npos) ++n;
    return n;
}

class DownloadFixture : public ::testing::Test {
protected:
    DownloadFixture()
        : boxHook_(cls::MessageBoxHook,
                   [this](HWND, const std::wstring& text, const std::wstring& caption, UINT flags) {
                       boxes.push_back({text, caption, flags});
                       return boxAnswer;
                   }),
          shellHook_(cls::ShellExecuteHook,
                     [this](HWND, const std::wstring& verb, const std::wstring& file, const std::wstring& params,
                            const std::wstring& dir, int show) -> INT_PTR {
                         shell.push_back({verb, file, params, dir, show});
                         return shellResult;
                     }) {
        cls::Application.Initialize();
        saved_ = {engine::DataFolder, engine::ThumbnailsFolder, engine::CacheFolder, app::DownloadFolder};
        engine::DataFolder = tmp_.Path() + L"data\\";
        engine::ThumbnailsFolder = engine::DataFolder + L"Miniaturas\\";
        engine::CacheFolder = tmp_.Path() + L"cache\\";
        cls::ForceDirectories(engine::ThumbnailsFolder);
        // As read from the settings: without its trailing delimiter.
        downloadDir = tmp_.Path() + L"Videos";
        app::DownloadFolder = downloadDir;

        app::DownloadFormExists = false;
        app::DownloadRunning = false;
        app::DownloadFormLeft = -1;
        app::DownloadFormTop = -1;

        main = new cls::TForm(nullptr, {.Caption = L"Main", .Left = 300, .Top = 200, .ClientWidth = 532,
                                        .ClientHeight = 203, .BorderStyle = cls::bsSingle});
        results = cls::NewOwned<cls::TScrollBox>(main, main, {.Align = cls::alClient, .Color = cls::clWhite});
        cameras = cls::NewImageList(main, {.Width = 13, .Height = 10});
        for (uint32_t pixel : {SnapshotPixel, VideoPixel}) {
            cls::TBitmap b(13, 10);
            b.Fill(pixel);
            cameras->AddGraphic(b);
        }
        thumbDefault = cls::NewOwned<cls::TImage>(main, main, {.Width = 174, .Height = 130, .Visible = false});
        auto placeholder = std::make_unique<cls::TBitmap>(174, 130);
        placeholder->Fill(cls::MakeBGRA(0x80, 0x80, 0x80));
        thumbDefault->SetGraphic(std::move(placeholder));
        main->Show();

        app::VideoPanelHost = {};
        app::VideoPanelHost.MainForm = main;
        app::VideoPanelHost.ResultsArea = results;
        app::VideoPanelHost.CameraImages = cameras;
        app::VideoPanelHost.ThumbDefault = thumbDefault;
        app::VideoPanelHost.HideHistoryDropDown = [this] { ++hideHistoryCalls; };
        app::VideoPanelHost.OcultarPnlMsgs = [this] { ++hideMessageCalls; };
        app::VideoPanelHost.WorkAnimationVisible = [this] { return animationVisible; };
        app::VideoPanelHost.SetDownloadMenusEnabled = [this](bool enabled) { menusEnabled = enabled; };
        app::VideoPanelHost.TaskbarProgressAvailable = [] { return components::IsTaskbarAPIAvailable(); };

        components::ReleaseTaskbarAPI();
        components::TaskbarListFactory = [this](cls::ComPtr<ITaskbarList3>& list) {
            list = cls::ComPtr<ITaskbarList3>(&taskbar, true);
            return S_OK;
        };
        components::InitializeTaskbarAPI();
    }

    ~DownloadFixture() override {
        if (app::FrmDownloading) app::AbortDownloadForExit();
        formstest::Pump(20);
        delete main;
        formstest::Pump(10);
        components::ReleaseTaskbarAPI();
        components::TaskbarListFactory = nullptr;
        app::VideoPanelHost = {};
        engine::DataFolder = saved_[0];
        engine::ThumbnailsFolder = saved_[1];
        engine::CacheFolder = saved_[2];
        app::DownloadFolder = saved_[3];
        cls::Application.ActivateApp(false);
    }

    // Pumps until the condition holds; the transfers here end in well
    // under a second, so a long wait means a fault.
    template <class Pred>
    bool WaitFor(Pred done, DWORD ms = 15000) {
        return formstest::PumpUntil(done, ms);
    }
    bool WaitForEnd() {
        return WaitFor([] { return !app::DownloadRunning; });
    }

    app::TVideoPanel* Panel(const std::vector<std::wstring>& lines, const std::wstring& id = L"10150000000101",
                            const std::wstring& title = L"A clip") {
        cls::TStringList list;
        for (const auto& l : lines) list.Add(l);
        return app::CreateVideoPanel(list, id, title, title);
    }

    std::wstring Downloaded(const std::wstring& name) const {
        return cls::IncludeTrailingPathDelimiter(downloadDir) + name;
    }

    testing_support::TempFolder tmp_;
    std::wstring downloadDir;
    cls::TForm* main = nullptr;
    cls::TScrollBox* results = nullptr;
    cls::TImageList* cameras = nullptr;
    cls::TImage* thumbDefault = nullptr;
    RecordingTaskbarList taskbar;

    std::vector<Box> boxes;
    int boxAnswer = IDNO;
    std::vector<ShellCall> shell;
    INT_PTR shellResult = 42;
    int hideHistoryCalls = 0;
    int hideMessageCalls = 0;
    bool animationVisible = false;
    bool menusEnabled = true;

private:
    cls::ScopedHook<cls::MessageBoxFunc> boxHook_;
    cls::ScopedHook<cls::ShellExecuteFunc> shellHook_;
    std::vector<std::wstring> saved_;
};

}  // namespace downloadtest
