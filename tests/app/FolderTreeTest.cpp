#include <gtest/gtest.h>

#include <windows.h>
#include <vector>

#include "app/FolderTree.h"
#include "app/History.h"
#include "classlib/Files.h"
#include "classlib/Hooks.h"
#include "engine/Constants.h"
#include "tests/support/TempFolder.h"

using namespace app;
using testing_support::TempFolder;

namespace {

bool IsDirectoryLink(const std::wstring& path) {
    DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) && (a & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Wine makes neither symbolic links nor junctions itself, but shows a Unix
// symbolic link to a folder as a directory link; it is made and removed
// with the Unix tools, which Wine starts like any program.
std::string UnixName(const std::wstring& path) {
    using Func = char*(CDECL*)(const wchar_t*);
    auto f = reinterpret_cast<Func>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name"));
    char* name = f ? f(path.c_str()) : nullptr;
    std::string r = name ? name : "";
    if (name) HeapFree(GetProcessHeap(), 0, name);
    return r;
}

void RunUnixTool(const std::wstring& tool, const std::string& args) {
    std::wstring cmd = L"/bin/" + tool + L" " + std::wstring(args.begin(), args.end());
    STARTUPINFOW si{sizeof si};
    PROCESS_INFORMATION pi{};
    if (CreateProcessW((L"Z:\\bin\\" + tool).c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       nullptr, &si, &pi)) {
        WaitForSingleObject(pi.hProcess, 5000);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
}

// Waits for a change made by another process.
bool WaitFor(const std::function<bool()>& done) {
    for (int i = 0; i < 100 && !done(); ++i) Sleep(50);
    return done();
}

// Symbolic links came after XP, whose headers the build uses: bound here.
bool CreateDirectorySymbolicLink(const std::wstring& link, const std::wstring& target) {
    using Func = BOOLEAN(WINAPI*)(const wchar_t*, const wchar_t*, DWORD);
    constexpr DWORD kDirectory = 0x1, kAllowUnprivileged = 0x2;
    auto f = reinterpret_cast<Func>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "CreateSymbolicLinkW"));
    return f && f(link.c_str(), target.c_str(), kDirectory | kAllowUnprivileged);
}

class DirectoryLink {
public:
    DirectoryLink(const std::wstring& link, const std::wstring& target) : link_(link) {
        if (CreateDirectorySymbolicLink(link, target) && IsDirectoryLink(link))
            return;
        std::string from = UnixName(target), to = UnixName(link);
        if (from.empty() || to.empty()) return;
        RunUnixTool(L"ln", "-s \"" + from + "\" \"" + to + "\"");
        WaitFor([&] { return IsDirectoryLink(link); });
    }
    ~DirectoryLink() {
        if (!IsDirectoryLink(link_) || RemoveDirectoryW(link_.c_str())) return;
        std::string name = UnixName(link_);
        if (!name.empty()) RunUnixTool(L"rm", "-f \"" + name + "\"");
        WaitFor([&] { return !IsDirectoryLink(link_); });
    }
    bool Made() const { return IsDirectoryLink(link_); }

private:
    std::wstring link_;
};

// Records every folder removal and still removes.
struct RemovalLog {
    RemovalLog()
        : hook(RemoveDirectoryHook, [this](const std::wstring& d) {
              removed.push_back(d);
              return RemoveDirectoryW(d.c_str()) != 0;
          }) {}
    std::vector<std::wstring> removed;
    cls::ScopedHook<std::function<bool(const std::wstring&)>> hook;
};

// Points the data and thumbnail folders into a test folder for one scope.
struct ThumbnailsIn {
    explicit ThumbnailsIn(const std::wstring& data) {
        engine::DataFolder = data;
        engine::ThumbnailsFolder = data + L"Miniaturas\\";
    }
    ~ThumbnailsIn() {
        engine::DataFolder = data_;
        engine::ThumbnailsFolder = thumbs_;
    }
    std::wstring data_ = engine::DataFolder, thumbs_ = engine::ThumbnailsFolder;
};

}  // namespace

TEST(FolderTree, RemovesNestedFolders) {
    TempFolder tmp;
    const std::wstring root = tmp.File(L"root");
    ASSERT_TRUE(cls::ForceDirectories(root + L"\\a\\b\\c"));
    ASSERT_TRUE(cls::ForceDirectories(root + L"\\empty"));
    for (auto f : {L"\\f.txt", L"\\a\\f.jpg", L"\\a\\b\\c\\deep.dat", L"\\a\\b\\noext"})
        ASSERT_TRUE(cls::WriteFileBytes(root + f, "x"));
    EXPECT_TRUE(DeleteFolderTree(root + L"\\"));
    EXPECT_FALSE(cls::DirectoryExists(root));
    EXPECT_TRUE(DeleteFolderTree(root));                  // missing
    EXPECT_TRUE(DeleteFolderTree(tmp.Write(L"file", "x")));  // a file is no folder
    EXPECT_TRUE(cls::FileExists(tmp.File(L"file")));
}

TEST(FolderTree, LeavesHiddenAndSystemEntries) {
    TempFolder tmp;
    const std::wstring root = tmp.File(L"root");
    ASSERT_TRUE(cls::ForceDirectories(root + L"\\sub"));
    for (auto f : {L"\\hidden", L"\\sub\\system", L"\\sub\\plain", L"\\plain"})
        ASSERT_TRUE(cls::WriteFileBytes(root + f, "x"));
    SetFileAttributesW((root + L"\\hidden").c_str(), FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesW((root + L"\\sub\\system").c_str(), FILE_ATTRIBUTE_SYSTEM);
    EXPECT_FALSE(DeleteFolderTree(root));
    EXPECT_TRUE(cls::FileExists(root + L"\\hidden"));
    EXPECT_TRUE(cls::FileExists(root + L"\\sub\\system"));
    EXPECT_FALSE(cls::FileExists(root + L"\\plain") || cls::FileExists(root + L"\\sub\\plain"));
}

TEST(FolderTree, EntryRemovalNeverEmptiesARealFolder) {
    TempFolder tmp;
    ASSERT_TRUE(cls::ForceDirectories(tmp.File(L"dir")));
    tmp.Write(L"dir\\keep", "x");
    EXPECT_FALSE(DeleteFolderEntry(tmp.File(L"dir"), GetFileAttributesW(tmp.File(L"dir").c_str())));
    EXPECT_TRUE(cls::FileExists(tmp.File(L"dir\\keep")));
    const std::wstring f = tmp.Write(L"f", "x");
    EXPECT_TRUE(DeleteFolderEntry(f, GetFileAttributesW(f.c_str())));
    EXPECT_FALSE(cls::FileExists(f));
}

TEST(FolderTree, LinksAreRemovedNotFollowed) {
    TempFolder tmp;
    const std::wstring target = tmp.File(L"target"), root = tmp.File(L"root"), outer = tmp.File(L"outer");
    ASSERT_TRUE(cls::ForceDirectories(target + L"\\inner"));
    ASSERT_TRUE(cls::ForceDirectories(root));
    tmp.Write(L"target\\precious.jpg", "x");
    tmp.Write(L"target\\inner\\more.jpg", "x");
    tmp.Write(L"root\\plain.jpg", "x");
    DirectoryLink inside(root + L"\\link", target), asFolder(outer, target);
    if (!inside.Made() || !asFolder.Made()) GTEST_SKIP() << "no directory link can be made here";

    RemovalLog log;
    DeleteFolderTree(root);
    DeleteFolderTree(outer);  // the folder given is itself a link
    // Nothing inside either link was touched; the links themselves went.
    EXPECT_EQ(log.removed, (std::vector<std::wstring>{root + L"\\link", root, outer}));
    EXPECT_FALSE(cls::FileExists(root + L"\\plain.jpg"));
    EXPECT_TRUE(cls::FileExists(target + L"\\precious.jpg"));
    EXPECT_TRUE(cls::FileExists(target + L"\\inner\\more.jpg"));
}

TEST(FolderTree, UnusedThumbnailLinksAreRemovedNotFollowed) {
    TempFolder tmp;
    ThumbnailsIn folders(tmp.File(L"data\\"));
    const std::wstring target = tmp.File(L"target"), dir = cls::ExcludeTrailingPathDelimiter(engine::ThumbnailsFolder);
    ASSERT_TRUE(cls::ForceDirectories(dir) && cls::ForceDirectories(target));
    tmp.Write(L"target\\2.jpg", "x");
    AgregarEnHistorial(L"1", L"One");
    {
        DirectoryLink link(dir + L"\\abc", target);
        if (link.Made()) {
            RemovalLog log;
            DeleteUnusedThumbnails();
            EXPECT_EQ(log.removed, std::vector<std::wstring>{dir + L"\\abc"});
        }
    }
    std::wstring file = HistoryFileName();
    DeleteFileW(file.c_str());
    {
        DirectoryLink link(dir + L"\\def", target);
        if (link.Made()) {
            RemovalLog log;
            DeleteUnusedThumbnails();  // no history: the whole folder
            EXPECT_EQ(log.removed, (std::vector<std::wstring>{dir + L"\\def", dir}));
        }
    }
    EXPECT_TRUE(cls::FileExists(target + L"\\2.jpg"));
}
