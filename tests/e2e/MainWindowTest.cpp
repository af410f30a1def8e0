// The real program's main window driven with real input: a video link is
// typed into the link box, Enter searches the fake site, and the box ends
// up holding the video's canonical address. Pictures of the window go to
// the build's artifacts folder.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

#include "ProgramDriver.h"
#include "classlib/Files.h"
#include "classlib/Strings.h"
#include "tests/support/Screenshot.h"

using namespace e2e;

namespace {

const wchar_t* const MainWindowClass = L"TFrmKorvelink";

// The fake site's request log, through Wine's drive for the Unix root.
std::string SiteLog() {
    const wchar_t* unix = _wgetenv(L"KORVELINK_FAKESITE_LOG");
    if (!unix) return {};
    std::wstring path = L"Z:" + cls::ReplaceAll(unix, L"/", L"\\");
    std::string bytes;
    cls::ReadFileBytes(path, bytes);
    return bytes;
}

// Starts where a first start would: no settings, no history.
void ForgetSettings() {
    if (const wchar_t* appData = _wgetenv(L"APPDATA")) {
        std::wstring data = cls::IncludeTrailingPathDelimiter(appData) + L"Korvelink\\";
        DeleteFileW((data + L"Config.ini").c_str());
        DeleteFileW((data + L"Historial.dat").c_str());
    }
}

}  // namespace

TEST(MainWindow, EnterInTheLinkBoxSearchesTheSite) {
    if (!_wgetenv(L"KORVELINK_FAKESITE_LOG")) GTEST_SKIP() << "needs tests/fakesite/run-with-site.sh";
    ForgetSettings();
    RunningProgram p;
    ASSERT_TRUE(p.Started());
    HWND w = p.WaitForWindow(MainWindowClass);
    ASSERT_NE(w, nullptr);
    HWND edit = FindChildWindow(w, L"Edit");
    ASSERT_NE(edit, nullptr);
    Sleep(500);
    EXPECT_TRUE(testing_support::SaveWindowScreenshot(w, ArtifactsFolder() + L"main-window.png"));

    // The user brings the window forward, clicks into the link box and types.
    const std::wstring typed = L"https://www.facebook.com/video.php?v=10150000000101&ref=e2e";
    SetForegroundWindow(w);
    Sleep(200);
    RECT r;
    GetWindowRect(edit, &r);
    ClickAt({(r.left + r.right) / 2, (r.top + r.bottom) / 2});
    Sleep(200);
    // A link that is no video link first: refused on the message bar, with
    // the whole text selected, so typing replaces it.
    const std::wstring profile = L"https://www.facebook.com/profile.php?id=4";
    TypeText(profile);
    if (WaitUntil([&] { return WindowText(edit) == profile; }, 3000)) {
        PressKey(VK_RETURN);
        Sleep(700);
        EXPECT_TRUE(testing_support::SaveWindowScreenshot(w, ArtifactsFolder() + L"main-window-message.png"));
    }
    TypeText(typed);
    bool realInput = WaitUntil([&] { return WindowText(edit) == typed; }, 3000);
    if (realInput) {
        PressKey(VK_RETURN);
    } else {
        // Keys posted straight to the box when the desktop's input does not
        // reach it.
        SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
        for (wchar_t c : typed) PostMessageW(edit, WM_CHAR, c, 1);
        ASSERT_TRUE(WaitUntil([&] { return WindowText(edit) == typed; }, 3000));
        PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 1);
        PostMessageW(edit, WM_KEYUP, VK_RETURN, 0xC0000001);
    }
    RecordProperty("keyboard", realInput ? "SendInput" : "posted WM_CHAR/WM_KEYDOWN");
    std::printf("keyboard input: %s\n", realInput ? "SendInput" : "posted messages");

    const std::wstring canonical = L"https://www.facebook.com/video.php?v=10150000000101";
    EXPECT_TRUE(WaitUntil(
        [&] {
            // The first search of a run offers the login; the user declines.
            if (HWND login = p.WaitForWindow(L"TFrmLogin", 0)) PostMessageW(login, WM_CLOSE, 0, 0);
            std::string log = SiteLog();
            return WindowText(edit) == canonical &&
                   log.find("/video.php?v=10150000000101 -> 200") != std::string::npos &&
                   log.find("/video/embed?video_id=10150000000101 -> 200") != std::string::npos;
        },
        20000))
        << "box: " << cls::WideToUtf8(WindowText(edit));
    // Done searching: the box is usable again.
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(edit) != FALSE; }, 10000));
    Sleep(800);
    EXPECT_TRUE(testing_support::SaveWindowScreenshot(w, ArtifactsFolder() + L"main-window-searched.png"));

    // File > Exit ends the program.
    ExitProgram(w);
    EXPECT_EQ(p.WaitForExit(), 0u);
}
