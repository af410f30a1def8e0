// The folders the whole program works in, computed once at start-up, and the
// reader of the start-up setting file "Init.dat".
#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include <string_view>

namespace engine {

// Each ends with one "\" when it could be determined; ProgramFilesFolder and
// DocumentsFolder are empty when the system does not know them.
extern std::wstring AppFolder;           // the executable's folder
extern std::wstring CacheFolder;         // temporary pages and pictures; removed at exit
extern std::wstring ProgramFilesFolder;
extern std::wstring DocumentsFolder;
extern std::wstring DataFolder;          // settings and history
extern std::wstring ThumbnailsFolder;

// Sets all six folders; the executable's folder decides the rest. Creates
// nothing on disk: the writers create the folders they need.
void InitializeFolders();
// The same with the given folder taken as the executable's folder.
void ComputeFoldersFrom(std::wstring_view appFolder);

// The system's temporary folder with a trailing "\".
std::wstring GetTempFolder();
// GetTempFolder over any GetTempPathW-like call. When the call fails, its
// answer does not fit or is not absolute, an absolute folder that is known
// to exist is used instead, so the cache never lands in the current folder.
std::wstring GetTempFolderFrom(const std::function<DWORD(DWORD, wchar_t*)>& getTempPath);

// A standard shell folder (CSIDL number) with a trailing "\"; empty when unknown.
std::wstring GetShellFolderPath(int csidl);

// A key of section "General" of AppFolder + "Init.dat", its value exactly as
// written after the "="; empty when the file or the key is missing.
std::wstring ReadInitSetting(std::wstring_view key);

}  // namespace engine
