#include "engine/Constants.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <vector>

#include "classlib/Files.h"
#include "classlib/Strings.h"
#include "tests/support/TempFolder.h"

namespace engine {
namespace {

using testing_support::TempFolder;

// The folders are process-wide: every test leaves them as it found them.
class ConstantsTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = {AppFolder, CacheFolder, ProgramFilesFolder, DocumentsFolder, DataFolder, ThumbnailsFolder};
    }
    void TearDown() override {
        AppFolder = saved_[0], CacheFolder = saved_[1], ProgramFilesFolder = saved_[2];
        DocumentsFolder = saved_[3], DataFolder = saved_[4], ThumbnailsFolder = saved_[5];
    }
    static std::vector<std::wstring> All() {
        return {AppFolder, CacheFolder, ProgramFilesFolder, DocumentsFolder, DataFolder, ThumbnailsFolder};
    }
    static std::wstring UserDataFolder() {
        return cls::IncludeTrailingPathDelimiter(GetShellFolderPath(CSIDL_APPDATA)) + L"Korvelink\\";
    }

private:
    std::vector<std::wstring> saved_;
};

std::string Utf16LeWithBom(std::wstring_view text) {
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : text) bytes += {char(c & 0xFF), char(c >> 8)};
    return bytes;
}

bool EndsWithOneDelimiter(const std::wstring& s) {
    return cls::EndsWith(s, L"\\") && !cls::EndsWith(s, L"\\\\");
}

TEST_F(ConstantsTest, InitializeFoldersFromTheExecutable) {
    InitializeFolders();
    std::wstring exe = cls::GetModuleFileNameStr();
    EXPECT_EQ(AppFolder + cls::ExtractFileName(exe), exe);
    EXPECT_EQ(CacheFolder, GetTempFolder() + L"KorvelinkCache\\");
    EXPECT_EQ(ProgramFilesFolder, GetShellFolderPath(CSIDL_PROGRAM_FILES));
    EXPECT_EQ(DocumentsFolder, GetShellFolderPath(CSIDL_PERSONAL));
    for (const auto& f : All()) EXPECT_TRUE(EndsWithOneDelimiter(f)) << f;
    EXPECT_EQ(ThumbnailsFolder, DataFolder + L"Miniaturas\\");
}

TEST_F(ConstantsTest, InitDatSelectsThePortableDataFolder) {
    struct Case {
        std::string content;
        bool portable;
    } cases[] = {
        {"[General]\r\nUbicacionData=App\r\n", true},
        {"\xEF\xBB\xBF[General]\r\nUbicacionData=App\r\n", true},
        {Utf16LeWithBom(L"[General]\r\nUbicacionData=App\r\n"), true},
        {"[general]\nubicaciondata=App", true},
        {"[General]\r\nUbicacionData=app\r\n", false},
        // The value counts as the file holds it; blanks around the key do not.
        {"[General]\r\nUbicacionData= App\r\n", false},
        {"[General]\r\nUbicacionData=App \r\n", false},
        {"[General]\r\n  UbicacionData =App\r\n", true},
        {"[General]\r\nUbicacionData=App2\r\n", false},
        {"[General]\r\nUbicacionData=Application\r\n", false},
        {"[General]\r\nUbicacionData=\r\n", false},
        {"[General]\r\nOtra=App\r\n", false},
        {"[Otra]\r\nUbicacionData=App\r\n", false},
        {"", false},
    };
    for (const auto& c : cases) {
        TempFolder app;
        app.Write(L"Init.dat", c.content);
        ComputeFoldersFrom(app.Path());
        EXPECT_EQ(DataFolder, c.portable ? app.Path() : UserDataFolder()) << c.content;
        EXPECT_EQ(ThumbnailsFolder, DataFolder + L"Miniaturas\\");
    }
}

TEST_F(ConstantsTest, MissingInitDatSelectsTheUserDataFolder) {
    TempFolder tmp;
    ComputeFoldersFrom(tmp.Path() + L"nowhere");
    EXPECT_EQ(AppFolder, tmp.Path() + L"nowhere\\");
    EXPECT_EQ(ReadInitSetting(L"UbicacionData"), L"");
    EXPECT_EQ(DataFolder, UserDataFolder());
    EXPECT_TRUE(EndsWithOneDelimiter(DataFolder));
}

TEST_F(ConstantsTest, ReadInitSettingReadsSectionGeneral) {
    TempFolder app;
    app.Write(L"Init.dat", "[Other]\r\nKey=no\r\n[General]\r\nKey=  some value \r\nEmpty=\r\n");
    AppFolder = app.Path();
    EXPECT_EQ(ReadInitSetting(L"Key"), L"  some value ");
    EXPECT_EQ(ReadInitSetting(L"Empty"), L"");
    EXPECT_EQ(ReadInitSetting(L"Missing"), L"");
}

TEST_F(ConstantsTest, ComputingFoldersCreatesNothing) {
    TempFolder tmp;
    std::wstring cache = GetTempFolder() + L"KorvelinkCache\\";
    bool cacheExisted = cls::DirectoryExists(cache);
    bool userDataExisted = cls::DirectoryExists(UserDataFolder());

    ComputeFoldersFrom(tmp.Path() + L"app\\");
    EXPECT_FALSE(cls::DirectoryExists(AppFolder));
    EXPECT_EQ(cls::DirectoryExists(CacheFolder), cacheExisted);
    EXPECT_EQ(cls::DirectoryExists(DataFolder), userDataExisted);

    tmp.Write(L"Init.dat", "[General]\r\nUbicacionData=App\r\n");
    ComputeFoldersFrom(tmp.Path());
    EXPECT_EQ(DataFolder, tmp.Path());
    EXPECT_FALSE(cls::DirectoryExists(ThumbnailsFolder));
}

TEST_F(ConstantsTest, TempFolderTakesTheAnswerUpToItsNul) {
    DWORD asked = 0;
    auto fake = [&](std::wstring_view answer, DWORD result) {
        return [&asked, answer, result](DWORD size, wchar_t* buf) {
            asked = size;
            answer.copy(buf, answer.size());
            return result;
        };
    };
    EXPECT_EQ(GetTempFolderFrom(fake(L"C:\\Temp\\", 8)), L"C:\\Temp\\");
    EXPECT_EQ(asked, 260u);
    EXPECT_EQ(GetTempFolderFrom(fake(L"C:\\Temp", 7)), L"C:\\Temp\\");
    EXPECT_EQ(GetTempFolderFrom(fake(std::wstring_view(L"D:\\T\\\0junk", 10), 5)), L"D:\\T\\");
    EXPECT_EQ(GetTempFolderFrom(fake(L"\\\\server\\share\\tmp", 17)), L"\\\\server\\share\\tmp\\");
}

// A failed, overlong or relative answer must never make the cache a
// relative folder.
TEST_F(ConstantsTest, TempFolderFallsBackToAnExistingAbsoluteFolder) {
    auto answer = [](std::wstring_view text, DWORD result) {
        return [text, result](DWORD, wchar_t* buf) {
            text.copy(buf, text.size());
            return result;
        };
    };
    std::wstring fallbacks[] = {
        GetTempFolderFrom(answer(L"", 0)),
        GetTempFolderFrom(answer(L"", 300)),
        GetTempFolderFrom(answer(L"tmp\\", 4)),
        GetTempFolderFrom(answer(L"\\tmp\\", 5)),
    };
    for (const auto& f : fallbacks) {
        EXPECT_EQ(f, fallbacks[0]);
        EXPECT_TRUE(cls::EndsWith(f, L"\\Temp\\")) << f;
        EXPECT_TRUE(EndsWithOneDelimiter(f)) << f;
        EXPECT_EQ(f.substr(1, 2), L":\\") << f;
        EXPECT_TRUE(cls::DirectoryExists(f)) << f;
    }
}

TEST_F(ConstantsTest, ShellFolderPath) {
    std::wstring docs = GetShellFolderPath(CSIDL_PERSONAL);
    EXPECT_TRUE(EndsWithOneDelimiter(docs)) << docs;
    EXPECT_TRUE(cls::DirectoryExists(docs)) << docs;
    EXPECT_EQ(GetShellFolderPath(0x7F), L"");
}

}  // namespace
}  // namespace engine
