// The login window on the real program: the first search of a run offers
// it, the user presses Esc, and the search goes on to its result panel. Its
// picture goes to the build's artifacts folder.
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

// The texts of Parent's own child windows of a class, in z-order, each
// marked when disabled.
std::wstring ChildTexts(HWND parent, const wchar_t* className) {
    std::wstring r;
    for (HWND c = FindWindowExW(parent, nullptr, className, nullptr); c;
         c = FindWindowExW(parent, c, className, nullptr))
        r += L"[" + WindowText(c) + (IsWindowEnabled(c) ? L"]" : L" (off)]");
    return r;
}

bool HasVisibleChild(HWND parent, const wchar_t* className) {
    for (HWND c = FindWindowExW(parent, nullptr, className, nullptr); c;
         c = FindWindowExW(parent, c, className, nullptr))
        if (IsWindowVisible(c)) return true;
    return false;
}

}  // namespace

TEST(LoginWindow, FirstSearchOffersItAndEscGoesOnWithTheSearch) {
    if (!_wgetenv(L"KORVELINK_FAKESITE_LOG")) GTEST_SKIP() << "needs tests/fakesite/run-with-site.sh";
    const wchar_t* appData = _wgetenv(L"APPDATA");
    ASSERT_NE(appData, nullptr);
    const std::wstring data = cls::IncludeTrailingPathDelimiter(appData) + L"Korvelink\\";
    cls::ForceDirectories(data);
    DeleteFileW((data + L"Historial.dat").c_str());
    ASSERT_TRUE(cls::WriteFileBytes(data + L"Config.ini", "\xEF\xBB\xBF[General]\r\nNoMostrarMsgDonar=1\r\n"));

    RunningProgram p;
    ASSERT_TRUE(p.Started());
    HWND w = p.WaitForWindow(L"TFrmKorvelink");
    ASSERT_NE(w, nullptr);
    HWND edit = FindChildWindow(w, L"Edit");
    ASSERT_NE(edit, nullptr);
    Sleep(1000);
    const std::wstring link = L"https://www.facebook.com/video.php?v=10150000000101";
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(link.c_str()));
    SetForegroundWindow(w);
    Sleep(300);
    PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 1);
    PostMessageW(edit, WM_KEYUP, VK_RETURN, 0xC0000001);

    HWND login = p.WaitForWindow(L"TFrmLogin");
    ASSERT_NE(login, nullptr) << "no login window before the first search";
    EXPECT_EQ(WindowText(login), L"Facebook Account");
    // Whatever the control does with the page, the window settles in the
    // busy state (the page never completes) or the load-failed one.
    Sleep(3000);
    const std::wstring buttons = ChildTexts(login, L"Button");
    std::printf("login window buttons: %ls\n", buttons.c_str());
    const bool busy = buttons == L"[Remember email/phone (off)][Log In (off)][Close (off)]";
    const bool failed = buttons == L"[Remember email/phone (off)][Refresh][Close]";
    EXPECT_TRUE(busy || failed) << cls::WideToUtf8(buttons);
    RecordProperty("login_state", busy ? "busy" : failed ? "load-failed" : "other");
    EXPECT_TRUE(testing_support::SaveWindowScreenshot(login, ArtifactsFolder() + L"login-window.png"));

    // Esc closes it, whether or not any control could take the focus.
    SetForegroundWindow(login);
    Sleep(300);
    PressKey(VK_ESCAPE);
    if (!WaitUntil([&] { return !IsWindow(login) || !IsWindowVisible(login); }, 3000)) {
        std::printf("typed Esc did not reach the window; posting it\n");
        PostMessageW(login, WM_KEYDOWN, VK_ESCAPE, 1);
        PostMessageW(login, WM_KEYUP, VK_ESCAPE, 0xC0000001);
    }
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(login) || !IsWindowVisible(login); }, 5000));

    HWND results = FindChildWindow(w, L"TScrollBox");
    ASSERT_NE(results, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return HasVisibleChild(results, L"TPanel") && IsWindowEnabled(edit); },
                          20000));
    ExitProgram(w);
    EXPECT_EQ(p.WaitForExit(), 0u);
}
