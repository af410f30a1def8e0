// The real main window in a test: its folders in a temporary folder, the
// shell's icon requests, message boxes and shell calls recorded, and the
// windows it would open replaced by records of their opening.
#pragma once
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "classlib/Application.h"
#include "classlib/Edit.h"
#include "classlib/Hooks.h"
#include "classlib/IniFiles.h"
#include "classlib/StringList.h"
#include "components/TrayIcon.h"
#include "engine/Constants.h"
#include "engine/PageFetch.h"
#include "forms/LoginState.h"
#include "forms/Settings.h"
#include "forms/uFrmKorvelink.h"
#include "tests/classlib/FormsTestSupport.h"
#include "tests/support/TempFolder.h"

namespace mainwin_test {

class TTestMainWindow : public app::TFrmKorvelink {
public:
    std::vector<bool> loginWindows;     // ShowWelcome of each login window
    std::vector<std::wstring> opened;   // the other modal windows, by name
    std::vector<int> donateModes;
    std::optional<bool> donateAnswer;   // the check box the Donate window gives back
    bool userIdWindow = false;
    int searchWindowShown = 0;
    std::function<void()> insideLogin;  // runs while the login window is "open"
    // The result panels made.
    int panels = 0;
    std::vector<std::wstring> panelLines;
    std::wstring panelId, panelTitle;

protected:
    void OpenLoginWindow(bool showWelcome) override {
        loginWindows.push_back(showWelcome);
        if (insideLogin) insideLogin();
    }
    void OpenFindUserIdWindow() override { opened.push_back(L"FindUserId"); }
    void OpenDestinationFolderWindow() override { opened.push_back(L"DestinationFolder"); }
    void OpenUpdaterWindow() override { opened.push_back(L"Updater"); }
    void OpenAboutWindow() override { opened.push_back(L"About"); }
    std::optional<bool> OpenDonateWindow(int mode) override {
        donateModes.push_back(mode);
        return donateAnswer;
    }
    void OpenCleanHistoryWindow() override { opened.push_back(L"CleanHistory"); }
    void ShowSearchLinksForm() override { ++searchWindowShown; }
    bool UserIdFormExists() const override { return userIdWindow; }
    void CreateVideoPanel(const cls::TStringList& list, const std::wstring& id, const std::wstring& title,
                          const std::wstring& shortTitle) override {
        ++panels;
        panelLines = list.Lines();
        panelId = id;
        panelTitle = title;
        TFrmKorvelink::CreateVideoPanel(list, id, title, shortTitle);
    }
};

struct ShellCall {
    DWORD message;
    components::TNotifyIconDataEx data;
};

struct Box {
    std::wstring text, caption;
};

struct Launch {
    std::wstring verb, file;
    int show;
};

// Runs a call from the message queue: posted before a search starts, it
// runs while the search waits for its pages.
class QueuedCall {
public:
    QueuedCall() {
        window_ = CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc));
    }
    ~QueuedCall() { DestroyWindow(window_); }
    QueuedCall(const QueuedCall&) = delete;
    QueuedCall& operator=(const QueuedCall&) = delete;

    void Post(std::function<void()> call) {
        call_ = std::move(call);
        PostMessageW(window_, WM_APP, 0, 0);
    }
    bool Ran() const { return ran_; }

private:
    static LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
        auto* self = reinterpret_cast<QueuedCall*>(GetWindowLongPtrW(h, GWLP_USERDATA));
        if (msg == WM_APP && self) {
            self->ran_ = true;
            if (self->call_) self->call_();
            return 0;
        }
        return DefWindowProcW(h, msg, wp, lp);
    }
    HWND window_;
    std::function<void()> call_;
    bool ran_ = false;
};

class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest()
        : trayHook_(components::ShellNotifyIconHook,
                    [this](DWORD message, const components::TNotifyIconDataEx& data) {
                        shell_.push_back({message, data});
                        return TRUE;
                    }),
          boxHook_(cls::MessageBoxHook,
                   [this](HWND, const std::wstring& text, const std::wstring& caption, UINT) {
                       boxes_.push_back({text, caption});
                       return IDOK;
                   }),
          launchHook_(cls::ShellExecuteHook,
                      [this](HWND, const std::wstring& verb, const std::wstring& file, const std::wstring&,
                             const std::wstring&, int show) -> INT_PTR {
                          launches_.push_back({verb, file, show});
                          return 42;
                      }),
          saved_{engine::DataFolder, engine::ThumbnailsFolder, engine::CacheFolder, engine::DocumentsFolder} {
        cls::Application.Initialize();
        engine::DataFolder = tmp_.Path() + L"Data\\";
        engine::ThumbnailsFolder = engine::DataFolder + L"Miniaturas\\";
        engine::CacheFolder = tmp_.Path() + L"Cache\\";
        engine::DocumentsFolder = tmp_.Path() + L"Docs\\";
        app::LoggedInUserId.clear();
        app::LoggedInUsername.clear();
        app::LoggedInDisplayName.clear();
        app::LoginJustCompleted = false;
    }
    ~MainWindowTest() override {
        CloseWindow();
        engine::DataFolder = saved_[0];
        engine::ThumbnailsFolder = saved_[1];
        engine::CacheFolder = saved_[2];
        engine::DocumentsFolder = saved_[3];
        app::LoggedInUserId.clear();
    }

    // Window: TTestMainWindow or a test's own variant of it.
    template <class Window = TTestMainWindow>
    Window& Open() {
        CloseWindow();
        auto form = std::make_unique<Window>();
        Window& window = *form;
        form_ = std::move(form);
        cls::Application.SetMainForm(form_.get());
        app::FrmKorvelink = form_.get();
        engine::PageFetchOwner = form_.get();
        form_->Show();
        formstest::Pump(30);
        return window;
    }
    void CloseWindow() {
        if (!form_) return;
        form_.reset();
        formstest::Pump(10);
        formstest::TakeQuit();
    }

    static bool SiteRunning() { return _wgetenv(L"KORVELINK_FAKESITE_PORT") != nullptr; }

    // The value of a key of "Config.ini", or nothing when the key is absent.
    static std::optional<std::wstring> Config(const std::wstring& key) {
        cls::TMemIniFile ini(app::ConfigFileName(), cls::TextEncoding::UTF8);
        if (!ini.ValueExists(L"General", key)) return std::nullopt;
        return ini.ReadString(L"General", key, L"");
    }

    // Balloons the icon was asked to show.
    std::vector<components::TNotifyIconDataEx> Balloons() const {
        std::vector<components::TNotifyIconDataEx> r;
        for (const auto& c : shell_)
            if (c.message == NIM_MODIFY && (c.data.uFlags & NIF_INFO) && c.data.szInfo[0]) r.push_back(c.data);
        return r;
    }

    // Types a key into the link box as the keyboard would.
    void PressKey(WORD key) {
        formstest::PostKey(form_->EdtEnlace->Handle(), key);
        formstest::Pump(20);
    }
    void WaitForSearch() {
        EXPECT_TRUE(formstest::PumpUntil([&] { return !form_->Searching(); }, 20000));
        formstest::Pump(20);
    }

    formstest::CommonControls6 cc6_;
    testing_support::TempFolder tmp_;
    cls::ScopedHook<components::ShellNotifyIconFunc> trayHook_;
    cls::ScopedHook<cls::MessageBoxFunc> boxHook_;
    cls::ScopedHook<cls::ShellExecuteFunc> launchHook_;
    std::vector<ShellCall> shell_;
    std::vector<Box> boxes_;
    std::vector<Launch> launches_;
    std::wstring saved_[4];
    std::unique_ptr<TTestMainWindow> form_;
};

}  // namespace mainwin_test
