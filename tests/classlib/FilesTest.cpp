#include <gtest/gtest.h>

#include <windows.h>

#include "classlib/Files.h"
#include "tests/support/TempFolder.h"

using namespace cls;
using namespace std::string_literals;
using testing_support::TempFolder;

TEST(Files, TrailingDelimiter) {
    struct Case {
        const wchar_t *path, *included, *excluded;
    } cases[] = {
        {L"C:\\a", L"C:\\a\\", L"C:\\a"},
        {L"C:\\a\\", L"C:\\a\\", L"C:\\a"},
        {L"", L"\\", L""},
        {L"a/", L"a/\\", L"a/"},  // only the backslash counts
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IncludeTrailingPathDelimiter(c.path), c.included) << c.path;
        EXPECT_EQ(ExcludeTrailingPathDelimiter(c.path), c.excluded) << c.path;
    }
}

TEST(Files, NameParts) {
    struct Case {
        const wchar_t *name, *path, *file, *ext;
    } cases[] = {
        {L"C:\\dir\\file.txt", L"C:\\dir\\", L"file.txt", L".txt"},
        {L"C:\\a.b\\c", L"C:\\a.b\\", L"c", L""},
        {L"C:\\dir\\.hidden", L"C:\\dir\\", L".hidden", L".hidden"},
        {L"C:file.tar.gz", L"C:", L"file.tar.gz", L".gz"},
        {L"name.", L"", L"name.", L"."},
        {L"plain", L"", L"plain", L""},
        {L"C:\\dir\\", L"C:\\dir\\", L"", L""},
        {L"", L"", L"", L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExtractFilePath(c.name), c.path) << c.name;
        EXPECT_EQ(ExtractFileName(c.name), c.file) << c.name;
        EXPECT_EQ(ExtractFileExt(c.name), c.ext) << c.name;
    }
}

TEST(Files, ChangeFileExt) {
    EXPECT_EQ(ChangeFileExt(L"C:\\d\\a.txt", L".ini"), L"C:\\d\\a.ini");
    EXPECT_EQ(ChangeFileExt(L"C:\\d.x\\a", L".ini"), L"C:\\d.x\\a.ini");
    EXPECT_EQ(ChangeFileExt(L"a.tar.gz", L""), L"a.tar");
    EXPECT_EQ(ChangeFileExt(L"C:\\d\\.hidden", L".x"), L"C:\\d\\.x");
}

TEST(Files, ExistsTellsFilesFromFolders) {
    TempFolder tmp;
    std::wstring file = tmp.Write(L"f.txt", "x");
    EXPECT_TRUE(FileExists(file));
    EXPECT_FALSE(DirectoryExists(file));
    EXPECT_TRUE(DirectoryExists(tmp.Path()));
    EXPECT_TRUE(DirectoryExists(ExcludeTrailingPathDelimiter(tmp.Path())));
    EXPECT_FALSE(FileExists(ExcludeTrailingPathDelimiter(tmp.Path())));
    EXPECT_FALSE(FileExists(tmp.File(L"none")));
    EXPECT_FALSE(DirectoryExists(tmp.File(L"none")));
    EXPECT_FALSE(FileExists(L""));
    EXPECT_FALSE(DirectoryExists(L""));
    EXPECT_TRUE(RemoveFile(file));
    EXPECT_FALSE(FileExists(file));
    EXPECT_FALSE(RemoveFile(file));
}

TEST(Files, ForceDirectories) {
    TempFolder tmp;
    std::wstring deep = tmp.File(L"a\\b\\c");
    EXPECT_TRUE(ForceDirectories(deep));
    EXPECT_TRUE(DirectoryExists(deep));
    EXPECT_TRUE(ForceDirectories(deep + L"\\"));  // already there
    EXPECT_TRUE(ForceDirectories(tmp.Path()));

    tmp.Write(L"blocker", "");
    EXPECT_FALSE(ForceDirectories(tmp.File(L"blocker")));
    EXPECT_FALSE(ForceDirectories(tmp.File(L"blocker\\sub")));
    EXPECT_FALSE(DirectoryExists(tmp.File(L"blocker\\sub")));
    EXPECT_FALSE(ForceDirectories(L""));
}

TEST(Files, WriteFileAtomicReplacesAndLeavesNoTempFile) {
    TempFolder tmp;
    std::wstring file = tmp.Write(L"t.dat", "old content that is longer");
    std::string big(200000, 'x');
    big[12345] = '\0';
    ASSERT_TRUE(WriteFileAtomic(file, big));
    EXPECT_EQ(tmp.Read(L"t.dat"), big);
    ASSERT_TRUE(WriteFileAtomic(file, ""));
    EXPECT_EQ(tmp.Read(L"t.dat"), "");
    ASSERT_TRUE(WriteFileAtomic(tmp.File(L"new.dat"), "n"));
    EXPECT_EQ(tmp.Read(L"new.dat"), "n");

    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((tmp.Path() + L"*.tmp").c_str(), &fd);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE) << "left behind: " << fd.cFileName;
    if (h != INVALID_HANDLE_VALUE) FindClose(h);
}

TEST(Files, ReadFileBytes) {
    TempFolder tmp;
    std::string data = "stale";
    EXPECT_FALSE(ReadFileBytes(tmp.File(L"missing"), data));
    EXPECT_EQ(data, "");
    EXPECT_FALSE(ReadFileBytes(ExcludeTrailingPathDelimiter(tmp.Path()), data));
    tmp.Write(L"bin", "\0\xFF\r\n"s);
    ASSERT_TRUE(ReadFileBytes(tmp.File(L"bin"), data));
    EXPECT_EQ(data, "\0\xFF\r\n"s);
}
