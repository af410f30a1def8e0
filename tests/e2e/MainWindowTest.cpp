// The real program's main window driven with real input: a video link is
// typed into the link box, Enter searches the fake site, and the box ends
// up holding the video's canonical address; brought back from the
// notification area, the window takes typing in the link box. Pictures of
// the window go to the build's artifacts folder.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>
#include <utility>

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

// The main window of the started program and its link box; null for what
// did not come.
std::pair<HWND, HWND> MainWindowAndLinkBox(const RunningProgram& p) {
    HWND w = p.Started() ? p.WaitForWindow(MainWindowClass) : nullptr;
    return {w, w ? FindChildWindow(w, L"Edit") : nullptr};
}

}  // namespace

TEST(MainWindow, EnterInTheLinkBoxSearchesTheSite) {
    if (!_wgetenv(L"KORVELINK_FAKESITE_LOG")) GTEST_SKIP() << "needs tests/fakesite/run-with-site.sh";
    ASSERT_TRUE(ForgetSettings());
    RunningProgram p;
    const auto [w, edit] = MainWindowAndLinkBox(p);
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

// Closed with its title-bar button the window goes to the notification
// area; brought back by a click on the icon or the icon's "Show", typing
// goes straight into the link box and replaces what it held. The first
// round starts with the focus in the results area, where the first start
// puts it; the second with the focus in the box.
TEST(MainWindow, BackFromTheNotificationAreaTypingGoesToTheLinkBox) {
    ASSERT_TRUE(ForgetSettings());
    RunningProgram p;
    const auto [w, edit] = MainWindowAndLinkBox(p);
    ASSERT_NE(edit, nullptr);
    EXPECT_TRUE(WaitForFocus(w, FindChildWindow(w, L"TScrollBox")));

    const struct {
        const char* restore;
        bool fromMenu;
        std::wstring typed;
    } rounds[] = {{"a click on the icon", false, L"first round"}, {"Show on the icon's menu", true, L"second"}};
    for (const auto& round : rounds) {
        SCOPED_TRACE(round.restore);
        ASSERT_TRUE(BringToFront(w));
        POINT close = CloseButtonPoint(w);
        ASSERT_GE(close.x, 0) << "no close button";
        ASSERT_TRUE(ClickAt(close));
        ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(w); }, 3000)) << "the close button did not hide it";
        ASSERT_EQ(p.WaitForExit(300), static_cast<DWORD>(STILL_ACTIVE));

        POINT icon = TrayIconPoint();
        ASSERT_GE(icon.x, 0) << "no notification area";
        // "Show" is the menu's first item.
        ASSERT_TRUE(round.fromMenu ? PickFromIconMenu(icon, VK_DOWN) : ClickAt(icon));
        ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(w) != FALSE; }, 5000)) << "the window stayed hidden";
        EXPECT_TRUE(WaitForFocus(w, edit));
        TypeText(round.typed);
        EXPECT_TRUE(WaitUntil([&] { return WindowText(edit) == round.typed; }, 3000))
            << "the box holds: " << cls::WideToUtf8(WindowText(edit));
    }
    Sleep(300);
    EXPECT_TRUE(testing_support::SaveWindowScreenshot(w, ArtifactsFolder() + L"main-window-restored.png"));
    ExitProgram(w);
    EXPECT_EQ(p.WaitForExit(), 0u);
}
