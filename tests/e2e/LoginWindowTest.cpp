// The login window on the real program: the first search of a run offers
// it, the user presses Esc, and the search goes on to its result panel.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "ProgramDriver.h"
#include "classlib/Files.h"
#include "classlib/Strings.h"
#include "tests/support/Screenshot.h"

using namespace e2e;

namespace {

// Parent's own child windows of a class in z-order, "(off)" when disabled.
std::wstring ChildTexts(HWND parent, const wchar_t* className, bool visibleOnly = false) {
    std::wstring r;
    for (HWND c = FindWindowExW(parent, nullptr, className, nullptr); c; c = FindWindowExW(parent, c, className, nullptr))
        if (!visibleOnly || IsWindowVisible(c)) r += L"[" + WindowText(c) + (IsWindowEnabled(c) ? L"]" : L" (off)]");
    return r;
}

}  // namespace

TEST(LoginWindow, FirstSearchOffersItAndEscGoesOnWithTheSearch) {
    if (!_wgetenv(L"KORVELINK_FAKESITE_LOG")) GTEST_SKIP() << "needs tests/fakesite/run-with-site.sh";
    ASSERT_TRUE(WriteFirstStartSettings());

    RunningProgram p;
    HWND w = p.WaitForWindow(L"TFrmKorvelink");
    ASSERT_NE(w, nullptr);
    HWND edit = FindChildWindow(w, L"Edit"), results = FindChildWindow(w, L"TScrollBox");
    Sleep(1000);
    const std::wstring link = L"https://www.facebook.com/video.php?v=10150000000101";
    ASSERT_TRUE(ClickInto(w, edit)) << "the link box did not take the focus";
    TypeText(link);
    ASSERT_TRUE(WaitUntil([&] { return WindowText(edit) == link; }, 5000))
        << "the box holds: " << cls::WideToUtf8(WindowText(edit));
    PressKey(VK_RETURN);

    HWND login = p.WaitForWindow(L"TFrmLogin");
    ASSERT_NE(login, nullptr) << "no login window before the first search";
    EXPECT_EQ(WindowText(login), L"Facebook Account");
    // The control here announces the navigation but never completes a page:
    // busy. A control that cannot be made or cannot navigate: load-failed.
    Sleep(3000);
    const std::wstring buttons = ChildTexts(login, L"Button");
    std::printf("login window buttons: %ls\n", buttons.c_str());
    const bool busy = buttons == L"[Remember email/phone (off)][Log In (off)][Close (off)]";
    const bool failed = buttons == L"[Remember email/phone (off)][Refresh][Close]";
    EXPECT_TRUE(busy || failed) << cls::WideToUtf8(buttons);
    RecordProperty("login_state", busy ? "busy" : failed ? "load-failed" : "other");
    EXPECT_TRUE(testing_support::SaveWindowScreenshot(login, ArtifactsFolder() + L"login-window.png"));

    SetForegroundWindow(login);
    Sleep(300);
    PressKey(VK_ESCAPE);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(login) || !IsWindowVisible(login); }, 5000));
    EXPECT_TRUE(WaitUntil([&] { return !ChildTexts(results, L"TPanel", true).empty() && IsWindowEnabled(edit); },
                          20000));
    ExitProgram(w);
    EXPECT_EQ(p.WaitForExit(), 0u);
}
