#include "TempFolder.h"

#include <windows.h>
#include <gtest/gtest.h>

#include "classlib/Files.h"

namespace testing_support {

TempFolder::TempFolder() {
    wchar_t tmp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, tmp);
    static unsigned counter = 0;
    for (;;) {
        path_ = cls::IncludeTrailingPathDelimiter(tmp) + L"kvtest-" +
                std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter) + L"\\";
        if (CreateDirectoryW(path_.c_str(), nullptr)) break;
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            ADD_FAILURE() << "cannot create a temporary folder";
            break;
        }
    }
}

TempFolder::~TempFolder() { DeleteTree(path_); }

std::wstring TempFolder::Write(const std::wstring& name, const std::string& bytes) const {
    std::wstring f = path_ + name;
    EXPECT_TRUE(cls::WriteFileBytes(f, bytes));
    return f;
}

std::string TempFolder::Read(const std::wstring& name) const {
    std::string data;
    EXPECT_TRUE(cls::ReadFileBytes(path_ + name, data));
    return data;
}

void DeleteTree(const std::wstring& folder) {
    std::wstring dir = cls::IncludeTrailingPathDelimiter(folder);
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((dir + L"*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::wstring n = fd.cFileName;
            if (n == L"." || n == L"..") continue;
            std::wstring full = dir + n;
            if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                DeleteTree(full);
            else if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveDirectoryW(full.c_str());
            else {
                SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(full.c_str());
            }
        } while (FindNextFileW(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryW(cls::ExcludeTrailingPathDelimiter(dir).c_str());
}

}  // namespace testing_support
