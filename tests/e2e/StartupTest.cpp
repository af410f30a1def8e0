#include <gtest/gtest.h>

#include "ProgramDriver.h"
#include "classlib/Files.h"

using namespace e2e;

namespace {
const wchar_t* const MainWindowClass = L"TFrmKorvelink";
const wchar_t* const DialogClass = L"#32770";
// Wine's per-program Windows version, set for Korvelink.exe only.
const wchar_t* const VersionKey = L"Software\\Wine\\AppDefaults\\Korvelink.exe";
const wchar_t* const IEServerKey = L"CLSID\\{0002DF01-0000-0000-C000-000000000046}\\LocalServer32";

// The box a refused start shows, closed with the given button; returns what
// the box said.
MessageBoxContent AnswerBox(RunningProgram& p, int button) {
    HWND box = p.WaitForWindow(DialogClass);
    EXPECT_NE(box, nullptr) << "no message box appeared";
    if (!box) return {};
    MessageBoxContent c = ReadMessageBox(box);
    ClickDialogButton(box, button);
    return c;
}

// Each start finds the settings of a first start, reminder off.
class Startup : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(WriteFirstStartSettings()); }
};
}  // namespace

TEST_F(Startup, MainWindowOpensAndClosesCleanly) {
    RunningProgram p;
    ASSERT_TRUE(p.Started());
    HWND w = p.WaitForWindow(MainWindowClass);
    ASSERT_NE(w, nullptr);
    wchar_t caption[64] = {};
    GetWindowTextW(w, caption, 64);
    EXPECT_STREQ(caption, L"Korvelink");
    RECT rc;
    GetClientRect(w, &rc);
    EXPECT_EQ(rc.right, 532);
    EXPECT_EQ(rc.bottom, 203);
    // The close button only hides the window to the notification area.
    PostMessageW(w, WM_CLOSE, 0, 0);
    EXPECT_EQ(p.WaitForExit(500), static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_FALSE(IsWindowVisible(w));
    ExitProgram(w);
    EXPECT_EQ(p.WaitForExit(), 0u);
}

TEST_F(Startup, SecondInstanceIsTurnedAwayAndFirstKeepsRunning) {
    RunningProgram first;
    ASSERT_TRUE(first.Started());
    HWND w = first.WaitForWindow(MainWindowClass);
    ASSERT_NE(w, nullptr);

    RunningProgram second;
    ASSERT_TRUE(second.Started());
    MessageBoxContent box = AnswerBox(second, IDOK);
    EXPECT_EQ(box.caption, L"Korvelink already running");
    EXPECT_EQ(box.text, L"Korvelink is already running and is available in the taskbar or system tray.");
    EXPECT_EQ(second.WaitForExit(), 3u);
    EXPECT_EQ(second.WaitForWindow(MainWindowClass, 200), nullptr);

    EXPECT_TRUE(first.IsRunning());
    EXPECT_TRUE(IsWindow(w));
    ExitProgram(w);
    EXPECT_EQ(first.WaitForExit(), 0u);
}

TEST_F(Startup, NameHeldByAnotherKindOfObjectStopsWithCode2) {
    // An event of the same name makes the mutex creation itself fail.
    HANDLE squatter = CreateEventW(nullptr, TRUE, FALSE, L"Korvelink");
    ASSERT_NE(squatter, nullptr);
    RunningProgram p;
    ASSERT_TRUE(p.Started());
    MessageBoxContent box = AnswerBox(p, IDOK);
    EXPECT_EQ(box.caption, L"Error");
    EXPECT_EQ(box.text, L"Error creating application mutex");
    EXPECT_EQ(p.WaitForExit(), 2u);
    CloseHandle(squatter);
}

TEST_F(Startup, WindowsOlderThanXpStopsWithCode1) {
    ScopedRegistryString version(HKEY_CURRENT_USER, VersionKey, L"Version", L"win2k");
    RunningProgram p;
    ASSERT_TRUE(p.Started());
    MessageBoxContent box = AnswerBox(p, IDOK);
    EXPECT_EQ(box.caption, L"Error");
    EXPECT_EQ(box.text, L"Korvelink requires Windows XP or higher to run.");
    EXPECT_EQ(p.WaitForExit(), 1u);
}

TEST_F(Startup, XpWithOldBrowserOffersThePageAndStopsWithCode6) {
    ScopedRegistryString version(HKEY_CURRENT_USER, VersionKey, L"Version", L"winxp");
    // A registered browser without a version resource counts as version 0.
    std::wstring page = cls::ExtractFilePath(ProgramPath()) + L"ie8prereqxp.html";
    ASSERT_TRUE(cls::FileExists(page));
    ScopedRegistryString server(HKEY_CLASSES_ROOT, IEServerKey, nullptr, L"\"" + page + L"\"");

    RunningProgram p;
    ASSERT_TRUE(p.Started());
    MessageBoxContent box = AnswerBox(p, IDNO);
    EXPECT_EQ(box.caption, L"Required component not found");
    EXPECT_EQ(box.text,
              L"Korvelink requires Internet Explorer 7 or higher installed in your\n"
              L"computer to run the application and load Facebook API engine.\n\n"
              L"Click OK to download the necessary component.");
    EXPECT_EQ(p.WaitForExit(), 6u);
}

TEST_F(Startup, XpWithCurrentBrowserStarts) {
    ScopedRegistryString version(HKEY_CURRENT_USER, VersionKey, L"Version", L"winxp");
    RunningProgram p;
    ASSERT_TRUE(p.Started());
    HWND w = p.WaitForWindow(MainWindowClass);
    ASSERT_NE(w, nullptr) << "Wine's own browser should pass the version check";
    ExitProgram(w);
    EXPECT_EQ(p.WaitForExit(), 0u);
}
