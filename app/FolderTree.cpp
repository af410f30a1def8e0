#include "FolderTree.h"

#include "classlib/Files.h"
#include "classlib/Raii.h"

namespace app {

std::function<bool(const std::wstring&)> RemoveDirectoryHook;

namespace {
bool RemoveDir(const std::wstring& dir) {
    return RemoveDirectoryHook ? RemoveDirectoryHook(dir) : RemoveDirectoryW(dir.c_str()) != 0;
}
bool IsLink(DWORD a) { return (a & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
}  // namespace

bool DeleteFolderEntry(const std::wstring& path, DWORD attributes) {
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return DeleteFileW(path.c_str()) != 0;
    return IsLink(attributes) && RemoveDir(path);
}

bool DeleteFolderTree(const std::wstring& folder) {
    try {
        std::wstring dir = cls::ExcludeTrailingPathDelimiter(folder);
        DWORD a = GetFileAttributesW(dir.c_str());
        if (a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_DIRECTORY)) return true;
        if (!IsLink(a)) {
            WIN32_FIND_DATAW fd;
            cls::FindHandle find(FindFirstFileW((dir + L"\\*.*").c_str(), &fd));
            if (find) {
                do {
                    std::wstring name = fd.cFileName, full = dir + L"\\" + name;
                    DWORD fa = fd.dwFileAttributes;
                    if (name == L"." || name == L".." ||
                        (fa & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)))
                        continue;
                    if ((fa & FILE_ATTRIBUTE_DIRECTORY) && !IsLink(fa))
                        DeleteFolderTree(full);
                    else
                        DeleteFolderEntry(full, fa);
                } while (FindNextFileW(find.get(), &fd));
            }
        }
        return RemoveDir(dir);
    } catch (...) {
        return false;
    }
}

}  // namespace app
