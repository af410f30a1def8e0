#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "Version.h"
#include "app/StartupChecks.h"
#include "classlib/Files.h"
#include "classlib/Hooks.h"
#include "engine/Constants.h"
#include "tests/support/TempFolder.h"

using namespace app;

namespace {
struct Box {
    std::wstring text, caption;
    UINT flags;
};
struct ShellCall {
    std::wstring verb, file, params, dir;
    int show;
};

// Records every box and shell call and answers boxes with Answer.
struct Recorder {
    explicit Recorder(int answer = IDOK)
        : boxHook(cls::MessageBoxHook,
                  [this, answer](HWND, const std::wstring& t, const std::wstring& c, UINT f) {
                      boxes.push_back({t, c, f});
                      return answer;
                  }),
          shellHook(cls::ShellExecuteHook,
                    [this](HWND, const std::wstring& v, const std::wstring& f, const std::wstring& p,
                           const std::wstring& d, int s) -> INT_PTR {
                        shells.push_back({v, f, p, d, s});
                        return 42;
                    }) {}
    std::vector<Box> boxes;
    std::vector<ShellCall> shells;
    cls::ScopedHook<cls::MessageBoxFunc> boxHook;
    cls::ScopedHook<cls::ShellExecuteFunc> shellHook;
};
}  // namespace

TEST(StartupChecks, WindowsVersionBelowXpIsRefused) {
    struct Case {
        DWORD major, minor;
        int code;
    } cases[] = {{4, 90, 1}, {5, 0, 1}, {5, 1, 0}, {5, 2, 0}, {6, 0, 0}, {6, 1, 0}, {10, 0, 0}};
    for (const auto& c : cases) {
        Recorder r;
        EXPECT_EQ(CheckWindowsVersion({c.major, c.minor}), c.code) << c.major << "." << c.minor;
        if (c.code == 0) {
            EXPECT_TRUE(r.boxes.empty());
        } else {
            ASSERT_EQ(r.boxes.size(), 1u);
            EXPECT_EQ(r.boxes[0].text, L"Korvelink requires Windows XP or higher to run.");
            EXPECT_EQ(r.boxes[0].caption, L"Error");
            EXPECT_EQ(r.boxes[0].flags, 16u);
        }
    }
}

TEST(StartupChecks, BrowserCheckOnlyOnXpAndServer2003) {
    struct Case {
        DWORD major, minor;
        int ie;
        bool box;
    } cases[] = {
        {5, 1, 6, true},  {5, 2, 6, true},   {5, 1, 0, true},  {5, 1, -1, true},
        {5, 1, 7, false}, {5, 2, 11, false}, {6, 0, -1, false}, {10, 0, 0, false},
    };
    for (const auto& c : cases) {
        Recorder r(IDNO);
        int code = CheckIEVersion({c.major, c.minor}, c.ie);
        EXPECT_EQ(code, c.box ? 6 : 0) << c.major << "." << c.minor << " ie " << c.ie;
        EXPECT_EQ(r.boxes.size(), c.box ? 1u : 0u);
        EXPECT_TRUE(r.shells.empty()) << "answering No opens nothing";
    }
}

TEST(StartupChecks, BrowserBoxYesOpensThePageBesideTheProgramAndStillStops) {
    std::wstring saved = engine::AppFolder;
    engine::AppFolder = L"C:\\Programs\\Korvelink\\";
    Recorder r(IDYES);
    EXPECT_EQ(CheckIEVersion({5, 1}, 6), 6);
    engine::AppFolder = saved;

    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_EQ(r.boxes[0].caption, L"Required component not found");
    EXPECT_EQ(r.boxes[0].flags, 52u);
    EXPECT_EQ(r.boxes[0].text,
              L"Korvelink requires Internet Explorer 7 or higher installed in your\n"
              L"computer to run the application and load Facebook API engine.\n\n"
              L"Click OK to download the necessary component.");
    ASSERT_EQ(r.shells.size(), 1u);
    EXPECT_EQ(r.shells[0].verb, L"Open");
    EXPECT_EQ(r.shells[0].file, L"C:\\Programs\\Korvelink\\ie8prereqxp.html");
    EXPECT_EQ(r.shells[0].params, L"");
    EXPECT_EQ(r.shells[0].dir, L"");
    EXPECT_EQ(r.shells[0].show, SW_SHOW);
}

TEST(StartupChecks, BrowserExecutableResolution) {
    const std::wstring pf = L"C:\\Program Files\\";
    const std::wstring fallback = pf + L"Internet Explorer\\iexplore.exe";
    struct Case {
        const wchar_t* registered;
        std::wstring programFiles;
        std::set<std::wstring> existing;
        std::wstring want;
    } cases[] = {
        {L"\"C:\\ie\\iexplore.exe\"", pf, {L"C:\\ie\\iexplore.exe", fallback}, L"C:\\ie\\iexplore.exe"},
        {L"C:\\ie\\iexplore.exe", pf, {L"C:\\ie\\iexplore.exe"}, L"C:\\ie\\iexplore.exe"},
        {L"\"C:\\gone\\iexplore.exe\"", pf, {fallback}, fallback},   // missing file falls back
        {L"", pf, {fallback}, fallback},
        {L"x", pf, {L"x", fallback}, fallback},                       // too short to be a path
        {L"\"C:\\gone.exe\"", pf, {}, L""},
        // Without a Program Files folder there is no relative fallback.
        {L"", L"", {L"Internet Explorer\\iexplore.exe"}, L""},
    };
    for (const auto& c : cases) {
        auto exists = [&](const std::wstring& f) { return c.existing.count(f) > 0; };
        EXPECT_EQ(ResolveIEExecutable(c.registered, c.programFiles, exists), c.want) << c.registered;
    }
}

TEST(StartupChecks, FileMajorVersion) {
    std::wstring here = cls::ExtractFilePath(cls::GetModuleFileNameStr());
    EXPECT_EQ(GetFileMajorVersion(here + L"Korvelink.exe"), KORVELINK_VERSION_MAJOR) << "the program's own version resource";
    EXPECT_EQ(GetFileMajorVersion(here + L"ie8prereqxp.html"), 0);
    EXPECT_EQ(GetFileMajorVersion(here + L"no-such-file.exe"), 0);
    EXPECT_EQ(GetFileMajorVersion(L""), 0);
}

TEST(StartupChecks, WineRegistersABrowserWithAVersion) {
    engine::InitializeFolders();
    EXPECT_GE(GetIEMajorVersion(), 7);
}

TEST(StartupChecks, RealWindowsVersionIsReported) {
    WindowsVersion v = GetWindowsVersion();
    EXPECT_GE(v.major, 5u);
}
