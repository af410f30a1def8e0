// The whole main road on the real program, with real keyboard and mouse
// input: a video link typed and searched on the fake site, its standard-
// definition stream downloaded through the download window into the user's
// Documents\Korvelink, the history written and shown in the drop-down, the
// window closed to the notification area and the program ended from the
// icon's menu. Pictures of each step go to the build's artifacts folder.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ProgramDriver.h"
#include "classlib/Files.h"
#include "classlib/Strings.h"
#include "tests/support/Screenshot.h"

using namespace e2e;

namespace {

const wchar_t* const MainWindowClass = L"TFrmKorvelink";
const wchar_t* const DownloadWindowClass = L"TFrmDownloading";
const std::wstring kLink = L"https://www.facebook.com/video.php?v=10150000000101";
const std::string kTitle = "Ben \"The Chef\" Cooks Pasta 'Al Dente' & More";
const std::wstring kSdFile = L"Ben _The Chef_ Cooks Pasta 'Al Dente' _ More (SD).mp4";
constexpr size_t kSdSize = 262161;
// Where the standard-definition link sits on a result panel with a
// snapshot, an SD and an HD row.
constexpr POINT kSdLabel = {243, 97};

// Where the program downloads in this prefix.
std::wstring DownloadFolder() { return ShellFolder(CSIDL_PERSONAL) + L"Korvelink\\"; }

void DeleteFilesIn(const std::wstring& folder) {
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((folder + L"*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW((folder + fd.cFileName).c_str());
    } while (FindNextFileW(h, &fd));
    FindClose(h);
}

std::string SitePattern(size_t size) {
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>(i % 251);
    return s;
}

// The visible direct children of a window with the class name.
std::vector<HWND> VisibleChildren(HWND parent, const std::wstring& className) {
    std::vector<HWND> r;
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (IsWindowVisible(c) && ClassOf(c) == className) r.push_back(c);
    return r;
}

// One item of a list view of another process, read through memory of that
// process: the message's pointers are the other process's.
struct RemoteItem {
    std::wstring text;
    int image = -1;
};
RemoteItem ReadListItem(HWND list, int index) {
    RemoteItem r;
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    cls::Handle process(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid));
    if (!process) return r;
    struct Block {
        LVITEMW item;
        wchar_t text[260];
    };
    auto* remote = static_cast<Block*>(
        VirtualAllocEx(process.get(), nullptr, sizeof(Block), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!remote) return r;
    Block local = {};
    local.item.mask = LVIF_TEXT | LVIF_IMAGE;
    local.item.iItem = index;
    local.item.pszText = remote->text;
    local.item.cchTextMax = 260;
    if (WriteProcessMemory(process.get(), remote, &local, sizeof(local), nullptr) &&
        SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote)) &&
        ReadProcessMemory(process.get(), remote, &local, sizeof(local), nullptr)) {
        local.text[259] = L'\0';
        r.text = local.text;
        r.image = local.item.iImage;
    }
    VirtualFreeEx(process.get(), remote, 0, MEM_RELEASE);
    return r;
}

}  // namespace

TEST(MainRoad, SearchDownloadHistoryTrayAndExit) {
    if (!_wgetenv(L"KORVELINK_FAKESITE_LOG")) GTEST_SKIP() << "needs tests/fakesite/run-with-site.sh";
    const std::wstring data = ProgramDataFolder(), downloads = DownloadFolder();
    ASSERT_FALSE(data.empty());
    ASSERT_FALSE(downloads.empty());
    // A first start: no history, no earlier downloads.
    ASSERT_TRUE(WriteFirstStartSettings());
    DeleteFileW((data + L"Historial.dat").c_str());
    DeleteFilesIn(data + L"Miniaturas\\");
    DeleteFilesIn(downloads);

    RunningProgram p;
    ASSERT_TRUE(p.Started());
    HWND w = p.WaitForWindow(MainWindowClass);
    ASSERT_NE(w, nullptr);
    HWND edit = FindChildWindow(w, L"Edit");
    HWND results = FindChildWindow(w, L"TScrollBox");
    ASSERT_NE(edit, nullptr);
    ASSERT_NE(results, nullptr);
    Sleep(1500);

    // Type the link and press Enter.
    ASSERT_TRUE(ClickInto(w, edit)) << "the link box did not take the focus";
    TypeText(kLink);
    ASSERT_TRUE(WaitUntil([&] { return WindowText(edit) == kLink; }, 5000))
        << "the box holds: " << cls::WideToUtf8(WindowText(edit));
    PressKey(VK_RETURN);

    // The result panel: a window of its own in the results area.
    HWND panel = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] {
            // The first search of a run offers the login; the user declines.
            if (HWND login = p.WaitForWindow(L"TFrmLogin", 0)) PostMessageW(login, WM_CLOSE, 0, 0);
            // The start panel goes when the search starts.
            std::vector<HWND> panels = VisibleChildren(results, L"TPanel");
            panel = panels.size() == 1 ? panels[0] : nullptr;
            RECT pr;
            return panel && GetWindowRect(panel, &pr) && pr.bottom - pr.top == 160 && IsWindowEnabled(edit);
        },
        20000));
    // The message bar slides away after a search that found something.
    Sleep(1500);
    EXPECT_TRUE(testing_support::SaveWindowScreenshot(w, ArtifactsFolder() + L"result-panel.png"));
    RECT pr;
    GetWindowRect(panel, &pr);
    RECT ar;
    GetClientRect(results, &ar);
    MapWindowPoints(results, nullptr, reinterpret_cast<POINT*>(&ar), 2);
    EXPECT_EQ(pr.top, ar.top) << "the first panel sits at the top of the results area";

    // Click the standard-definition link with the mouse.
    POINT label = {kSdLabel.x + 30, kSdLabel.y + 8};
    ClientToScreen(panel, &label);
    ASSERT_TRUE(ClickAt(label));
    HWND dw = p.WaitForWindow(DownloadWindowClass, 10000);
    ASSERT_NE(dw, nullptr) << "no download window";
    EXPECT_TRUE(WaitUntil([&] { return WindowText(dw) == L"Download Complete"; }, 20000))
        << cls::WideToUtf8(WindowText(dw));
    Sleep(300);
    EXPECT_TRUE(testing_support::SaveWindowScreenshot(dw, ArtifactsFolder() + L"download-window.png"));

    std::string bytes;
    ASSERT_TRUE(cls::ReadFileBytes(downloads + kSdFile, bytes)) << "nothing in " << cls::WideToUtf8(downloads);
    EXPECT_TRUE(bytes == SitePattern(kSdSize)) << bytes.size() << " bytes";
    std::string history;
    ASSERT_TRUE(cls::ReadFileBytes(data + L"Historial.dat", history));
    EXPECT_EQ(history, "\xEF\xBB\xBF" "10150000000101>" + kTitle + "\r\n");

    // The download window's "Close" button.
    HWND close = nullptr;
    for (HWND b : VisibleChildren(dw, L"Button"))
        if (WindowText(b) == L"Close") close = b;
    ASSERT_NE(close, nullptr);
    PostMessageW(close, BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dw); }, 5000));
    // The link now plays the file.
    Sleep(300);
    EXPECT_TRUE(testing_support::SaveWindowScreenshot(w, ArtifactsFolder() + L"result-panel-downloaded.png"));

    // An empty link box and Down: the history drop-down with the video.
    ASSERT_TRUE(ClickInto(w, edit));
    SelectAllByKeyboard();
    PressKey(VK_DELETE);
    ASSERT_TRUE(WaitUntil([&] { return WindowText(edit).empty(); }, 3000));
    PressKey(VK_DOWN);
    HWND list = FindChildWindow(w, WC_LISTVIEWW);
    ASSERT_NE(list, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(list) && SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) == 1; },
                          5000));
    Sleep(300);
    EXPECT_TRUE(testing_support::SaveWindowScreenshot(w, ArtifactsFolder() + L"history-dropdown.png"));
    RemoteItem item = ReadListItem(list, 0);
    EXPECT_EQ(cls::WideToUtf8(item.text), " " + kTitle);
    // Image 0 is the default picture; the video's thumbnail comes after it.
    EXPECT_GE(item.image, 1);
    PressKey(VK_ESCAPE);

    // The close button only hides the window: the icon stays.
    PostMessageW(w, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(w); }, 3000));
    EXPECT_EQ(p.WaitForExit(700), static_cast<DWORD>(STILL_ACTIVE));

    // A click on the icon brings the window back.
    POINT icon = TrayIconPoint();
    ASSERT_GE(icon.x, 0) << "no notification area";
    ASSERT_TRUE(ClickAt(icon));
    EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(w) != FALSE; }, 5000));

    // Hidden again, the icon's menu ends the program: its last item, Exit.
    PostMessageW(w, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(w); }, 3000));
    ASSERT_TRUE(PickFromIconMenu(icon, VK_UP));
    EXPECT_EQ(p.WaitForExit(), 0u);
}
