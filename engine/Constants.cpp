#include "Constants.h"

#include <shlobj.h>

#include "classlib/Files.h"
#include "classlib/IniFiles.h"
#include "classlib/Strings.h"

namespace engine {

std::wstring AppFolder, CacheFolder, ProgramFilesFolder, DocumentsFolder, DataFolder,
    ThumbnailsFolder;

namespace {

bool IsAbsolutePath(std::wstring_view p) {
    bool drive = p.size() >= 3 && p[1] == L':' && (p[2] == L'\\' || p[2] == L'/') &&
                 ((p[0] >= L'A' && p[0] <= L'Z') || (p[0] >= L'a' && p[0] <= L'z'));
    return drive || cls::StartsWith(p, L"\\\\");
}

// The per-user temporary folder of the profile if it exists, else the one
// in the Windows folder, which always does.
std::wstring FallbackTempFolder() {
    std::wstring local = GetShellFolderPath(CSIDL_LOCAL_APPDATA);
    if (!local.empty() && cls::DirectoryExists(local + L"Temp")) return local + L"Temp\\";
    wchar_t win[MAX_PATH + 1] = {};
    GetWindowsDirectoryW(win, MAX_PATH);
    return cls::IncludeTrailingPathDelimiter(win) + L"Temp\\";
}

}  // namespace

std::wstring GetTempFolderFrom(const std::function<DWORD(DWORD, wchar_t*)>& getTempPath) {
    wchar_t buf[MAX_PATH + 1] = {};
    DWORD n = getTempPath(MAX_PATH, buf);
    if (n == 0 || n > MAX_PATH) return FallbackTempFolder();
    std::wstring path(buf);  // up to the first NUL
    return IsAbsolutePath(path) ? cls::IncludeTrailingPathDelimiter(path) : FallbackTempFolder();
}

std::wstring GetTempFolder() { return GetTempFolderFrom(::GetTempPathW); }

std::wstring GetShellFolderPath(int csidl) {
    wchar_t buf[MAX_PATH + 1] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buf))) return {};
    return cls::IncludeTrailingPathDelimiter(buf);
}

std::wstring ReadInitSetting(std::wstring_view key) {
    std::wstring file = AppFolder + L"Init.dat";
    if (!cls::FileExists(file)) return {};
    // The value as the file holds it: " App" is not "App".
    cls::TMemIniFile ini(file, cls::TextEncoding::Default, cls::TIniValues::AsWritten);
    return ini.ReadString(L"General", key, L"");
}

void ComputeFoldersFrom(std::wstring_view appFolder) {
    AppFolder = cls::IncludeTrailingPathDelimiter(appFolder);
    CacheFolder = GetTempFolder() + L"KorvelinkCache\\";
    ProgramFilesFolder = GetShellFolderPath(CSIDL_PROGRAM_FILES);
    DocumentsFolder = GetShellFolderPath(CSIDL_PERSONAL);
    // Only the exact "App" makes a portable installation.
    if (ReadInitSetting(L"UbicacionData") == L"App")
        DataFolder = AppFolder;
    else
        DataFolder = cls::IncludeTrailingPathDelimiter(GetShellFolderPath(CSIDL_APPDATA)) + L"Korvelink\\";
    ThumbnailsFolder = DataFolder + L"Miniaturas\\";
}

void InitializeFolders() { ComputeFoldersFrom(cls::ExtractFilePath(cls::GetModuleFileNameStr())); }

}  // namespace engine
