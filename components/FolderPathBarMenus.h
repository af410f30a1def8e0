// The folder menus and the edit mode of the folder path bar: the order of
// sub-folders, the root menu's entries, free names for new folders and the
// paths the edit box accepts.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>


namespace components {

// What a root menu item stands for besides a folder path.
constexpr const wchar_t* NewFolderEntry = L"*";
constexpr const wchar_t* SeparatorEntry = L"- ";

// The "Create folder failed" text, followed by the system error code.
constexpr const wchar_t* CreateFolderFailedText = L"Create folder failed. An error occured. ErrorCode: ";

// Negative, 0 or positive as A sorts before, with or after B: letters A-Z
// without case, digit runs by their value (a2 before a10).
int NaturalCompare(std::wstring_view a, std::wstring_view b);
// Sub-folder names in natural order.
void SortNatural(std::vector<std::wstring>& names);

// Base + Name, or Base + Name + " 2", " 3", ... the first that does not exist.
std::wstring UniqueFolderName(const std::wstring& base, const std::wstring& name,
                              const std::function<bool(const std::wstring&)>& exists);

// The root menu's entries in order: hidden ancestors (deepest first) and a
// separator, the new-folder marker and a separator, the standard shell folders, a
// separator, the favourites, a separator, the drives.
std::vector<std::wstring> RootMenuEntries(const std::vector<std::wstring>& hiddenAncestors, bool showNewFolder,
                                          const std::vector<std::wstring>& specialFolders,
                                          const std::vector<std::wstring>& favorites,
                                          const std::vector<std::wstring>& drives);
// The CSIDLs of the standard shell folders chosen, in menu order.
std::vector<int> SpecialFolderIds(unsigned char specialFolders);

// A path that names its drive or server ("C:\...", "\\server\share..."), so
// that nothing typed lands relative to whatever the current folder is.
bool IsAbsoluteFolderPath(std::wstring_view path);

}  // namespace components
