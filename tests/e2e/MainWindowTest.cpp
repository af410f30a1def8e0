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

// Starts where a first start would: no history, the settings of a first
// start.
bool ForgetSettings() {
    DeleteFileW((ProgramDataFolder() + L"Historial.dat").c_str());
    return WriteFirstStartSettings();
}

}  // namespace

TEST(MainWindow, EnterInTheLinkBoxSearchesTheSite) {
    if (!_wgetenv(L"KORVELINK_FAKESITE_LOG")) GTEST_SKIP() << "needs tests/fakesite/run-with-site.sh";
    ASSERT_TRUE(ForgetSettings());
    RunningProgram p;
    ASSERT_TRUE(p.Started());
    HWND w = p.WaitForWindow(MainWindowClass);
    ASSERT_NE(w, nullptr);
    HWND edit = FindChildWindow(w, L"Edit");
    ASSERT_NE(edit, nullptr);
    Sleep(500);
    EXPECT_TRUE(testing_support::SaveWindowScreenshot(w, ArtifactsFolder() + L"main-window.png"));

    // The user clicks into the link box and types.
    const std::wstring typed = L"https://www.facebook.com/video.php?v=10150000000101&ref=e2e";
    ASSERT_TRUE(ClickInto(w, edit)) << "the link box did not take the focus";
    // A link that is no video link first: refused on the message bar, with
    // the whole text selected, so typing replaces it.
    const std::wstring profile = L"https://www.facebook.com/profile.php?id=4";
    TypeText(profile);
    ASSERT_TRUE(WaitUntil([&] { return WindowText(edit) == profile; }, 3000))
        << "the box holds: " << cls::WideToUtf8(WindowText(edit));
    PressKey(VK_RETURN);
    Sleep(700);
    EXPECT_TRUE(testing_support::SaveWindowScreenshot(w, ArtifactsFolder() + L"main-window-message.png"));
    TypeText(typed);
    ASSERT_TRUE(WaitUntil([&] { return WindowText(edit) == typed; }, 3000))
        << "the box holds: " << cls::WideToUtf8(WindowText(edit));
    PressKey(VK_RETURN);

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
