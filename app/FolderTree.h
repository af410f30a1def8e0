// Removal of whole folders and of single folder entries. A junction or a
// directory symbolic link is always removed itself: nothing is ever deleted
// through one, so a link planted in the cache or the thumbnail folder cannot
// make the program empty the folder it points to.
#pragma once
#include <windows.h>
#include <functional>
#include <string>

namespace app {

// Null means RemoveDirectoryW; tests watch which folders and links go.
extern std::function<bool(const std::wstring&)> RemoveDirectoryHook;

// A file is deleted, a directory link removed as a directory; a real
// directory is left alone (false).
bool DeleteFolderEntry(const std::wstring& path, DWORD attributes);
// True when the folder does not exist; otherwise removes every entry that
// is neither hidden nor system, recursing into real sub-folders, and gives
// the result of removing the folder itself.
bool DeleteFolderTree(const std::wstring& folder);

}  // namespace app
