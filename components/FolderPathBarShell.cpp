#include "components/FolderPathBarShell.h"

#include <shellapi.h>

#include "classlib/Application.h"
#include "classlib/Strings.h"

namespace components {

namespace {

bool IsDotEntry(const wchar_t* name) {
    return (name[0] == L'.' && name[1] == 0) || (name[0] == L'.' && name[1] == L'.' && name[2] == 0);
}

ShellItemInfo InfoOfPidl(LPCITEMIDLIST pidl, UINT flags) {
    ShellItemInfo info;
    if (!pidl) return info;
    SHFILEINFOW sfi{};
    if (!SHGetFileInfoW(reinterpret_cast<LPCWSTR>(pidl), FILE_ATTRIBUTE_NORMAL, &sfi, sizeof(sfi),
                        flags | SHGFI_PIDL))
        return info;
    info.Ok = true;
    sfi.szDisplayName[MAX_PATH - 1] = 0;
    info.DisplayName = sfi.szDisplayName;
    info.Icon = sfi.iIcon;
    return info;
}

}  // namespace

Pidl PathToPidl(const std::wstring& path) {
    cls::ComPtr<IShellFolder> desktop;
    if (FAILED(SHGetDesktopFolder(desktop.put())) || !desktop) return {};
    std::wstring name = path;  // ParseDisplayName wants a writable string
    LPITEMIDLIST pidl = nullptr;
    ULONG eaten = 0;
    if (FAILED(desktop->ParseDisplayName(nullptr, nullptr, name.data(), &eaten, &pidl, nullptr))) {
        if (pidl) CoTaskMemFree(pidl);
        return {};
    }
    return Pidl(pidl);
}

ShellItemInfo FolderInfo(const std::wstring& path) {
    Pidl pidl = PathToPidl(path);
    return InfoOfPidl(pidl.get(), SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_DISPLAYNAME | SHGFI_TYPENAME);
}

int FolderIconIndex(const std::wstring& path) {
    Pidl pidl = PathToPidl(path);
    ShellItemInfo info = InfoOfPidl(pidl.get(), SHGFI_SYSICONINDEX | SHGFI_DISPLAYNAME | SHGFI_TYPENAME);
    return info.Ok ? info.Icon : -1;
}

std::wstring DisplayNameOfPath(const std::wstring& path) {
    SHFILEINFOW sfi{};
    if (!SHGetFileInfoW(path.c_str(), 0, &sfi, sizeof(sfi), SHGFI_DISPLAYNAME)) return {};
    sfi.szDisplayName[MAX_PATH - 1] = 0;
    return sfi.szDisplayName;
}

ShellItemInfo ComputerFolderInfo() {
    Pidl pidl;
    if (FAILED(SHGetSpecialFolderLocation(cls::Application.Handle(), CSIDL_DRIVES, pidl.put()))) return {};
    return InfoOfPidl(pidl.get(), SHGFI_DISPLAYNAME | SHGFI_SYSICONINDEX);
}

std::wstring SpecialFolderPath(int csidl) {
    wchar_t buffer[MAX_PATH + 1] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, 0, buffer))) return {};
    buffer[MAX_PATH] = 0;
    return buffer;
}

HIMAGELIST SystemImageList(const std::wstring& path, bool large) {
    SHFILEINFOW sfi{};
    const UINT flags = SHGFI_SYSICONINDEX | (large ? 0 : SHGFI_SMALLICON);
    return reinterpret_cast<HIMAGELIST>(SHGetFileInfoW(path.c_str(), 0, &sfi, sizeof(sfi), flags));
}

bool HasVisibleSubfolder(const std::wstring& folder) {
    WIN32_FIND_DATAW fd;
    cls::FindHandle find(FindFirstFileW((folder + L"\\*.*").c_str(), &fd));
    if (!find) return false;
    do {
        if (fd.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) continue;
        if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !IsDotEntry(fd.cFileName)) return true;
    } while (FindNextFileW(find.get(), &fd));
    return false;
}

std::vector<std::wstring> ListSubfolders(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW fd;
    cls::FindHandle find(FindFirstFileW((folder + L"*.*").c_str(), &fd));
    if (!find) return names;
    do {
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) continue;
        if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !IsDotEntry(fd.cFileName))
            names.push_back(fd.cFileName);
    } while (FindNextFileW(find.get(), &fd));
    return names;
}

std::wstring ExtractFileDrive(std::wstring_view path) {
    if (path.size() >= 2 && path[1] == L':') return std::wstring(path.substr(0, 2));
    if (path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\') {
        // Up to the share's end: two backslashes, server, "\", share.
        size_t server = path.find(L'\\', 2);
        if (server == std::wstring_view::npos) return std::wstring(path);
        size_t share = path.find(L'\\', server + 1);
        return std::wstring(path.substr(0, share));
    }
    return {};
}

std::vector<std::wstring> LogicalDriveRoots() {
    std::vector<std::wstring> roots;
    const DWORD needed = GetLogicalDriveStringsW(0, nullptr);
    if (!needed) return roots;
    std::wstring buffer(needed + 1, L'\0');
    const DWORD got = GetLogicalDriveStringsW(static_cast<DWORD>(buffer.size()), buffer.data());
    // A failure, or a list that grew meanwhile, lists no drives rather than
    // ending the menu.
    if (!got || got > buffer.size()) return roots;
    for (const wchar_t* p = buffer.c_str(); *p; p += wcslen(p) + 1) roots.emplace_back(p);
    return roots;
}

UINT DriveTypeOf(const std::wstring& path) { return GetDriveTypeW((ExtractFileDrive(path) + L"\\").c_str()); }

int DriveNumber(std::wstring_view root) {
    if (root.empty()) return -1;
    wchar_t c = root[0];
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    return c - L'A';
}

bool DriveReady(const std::wstring& root) {
    const int number = DriveNumber(root);
    if (number < 0 || number > 25) return false;
    // No "insert a disk" box for an empty drive.
    const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    const std::wstring drive = std::wstring(1, wchar_t(L'A' + number)) + L":\\";
    ULARGE_INTEGER total{};
    const bool ok = GetDiskFreeSpaceExW(drive.c_str(), nullptr, &total, nullptr) != FALSE;
    SetErrorMode(oldMode);
    return ok;
}

bool DriveListed(const std::wstring& root, bool netDiskWait) {
    if (!netDiskWait && DriveTypeOf(root) == DRIVE_REMOTE) return true;
    return DriveReady(root);
}

}  // namespace components
