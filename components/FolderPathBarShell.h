// The shell and file-system look-ups of the folder path bar: item ID lists,
// display names and system icons, standard shell folders, sub-folders and drives.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <string>
#include <string_view>
#include <vector>

#include "classlib/Raii.h"

namespace components {

// An item ID list the shell allocated; freed with the task allocator.
struct PidlTraits {
    static LPITEMIDLIST Invalid() { return nullptr; }
    static bool Valid(LPITEMIDLIST p) { return p != nullptr; }
    static void Close(LPITEMIDLIST p) { CoTaskMemFree(p); }
};
using Pidl = cls::UniqueResource<LPITEMIDLIST, PidlTraits>;

// The item ID list of a path, parsed by the desktop folder; empty on failure.
Pidl PathToPidl(const std::wstring& path);

struct ShellItemInfo {
    bool Ok = false;
    std::wstring DisplayName;
    int Icon = -1;  // system image index
};
// Name and small icon of a folder through its item ID list (the look-up the
// menus use); not Ok when the path cannot be parsed.
ShellItemInfo FolderInfo(const std::wstring& path);
// The system image index of a folder's icon, or -1.
int FolderIconIndex(const std::wstring& path);
// The shell's display name of a path given as text; empty on failure.
std::wstring DisplayNameOfPath(const std::wstring& path);
// Name and icon of the shell's computer folder.
ShellItemInfo ComputerFolderInfo();

// The path of a standard shell folder by CSIDL; empty on failure.
std::wstring SpecialFolderPath(int csidl);
// The shell's system image list, small icons unless asked for large; null
// on failure. The list is shared by the process and must not be destroyed.
HIMAGELIST SystemImageList(const std::wstring& path, bool large);

// Whether Folder holds a sub-folder that is neither hidden nor a system one
// (the search stops at the first).
bool HasVisibleSubfolder(const std::wstring& folder);
// The names of Folder's sub-folders that are not hidden (system ones are
// kept), in the order the file system gives them. Folder ends in "\".
std::vector<std::wstring> ListSubfolders(const std::wstring& folder);

// "C:" of "C:\x", "\\srv\share" of a network path; empty otherwise.
std::wstring ExtractFileDrive(std::wstring_view path);
// The drive roots the system reports ("C:\", "D:\", ...); empty on failure.
std::vector<std::wstring> LogicalDriveRoots();
// GetDriveTypeW of the path's drive.
UINT DriveTypeOf(const std::wstring& path);
// 0 for A, 1 for B, ... of a root's first letter; -1 for an empty root.
int DriveNumber(std::wstring_view root);
// Whether the drive answers for its size, without the system's box for a
// drive without media.
bool DriveReady(const std::wstring& root);
// Whether a root menu lists the drive: unprobed network drives unless asked
// to wait for them, else only ready ones.
bool DriveListed(const std::wstring& root, bool netDiskWait);

}  // namespace components
