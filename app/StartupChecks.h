// The checks made before the main window exists. Each check shows its box
// and returns the exit code the process must end with, or 0 to go on.
#pragma once
#include <windows.h>
#include <functional>
#include <string>

namespace app {

struct WindowsVersion {
    DWORD major = 0, minor = 0;
};

// The version Windows really runs, not the one an old manifest is told.
WindowsVersion GetWindowsVersion();

int CheckWindowsVersion(WindowsVersion v);
// Creates the named mutex with initial ownership; the handle stays open for
// the life of the process.
int CreateAppMutex();
// Only Windows XP and Server 2003 need the browser check.
int CheckIEVersion(WindowsVersion v, int ieMajorVersion);

int GetFileMajorVersion(const std::wstring& fileName);
int GetIEMajorVersion();
// The browser executable from the registered path, else the Program Files
// one; empty when neither names an existing file.
std::wstring ResolveIEExecutable(const std::wstring& registeredPath,
                                 const std::wstring& programFilesFolder,
                                 const std::function<bool(const std::wstring&)>& fileExists);

extern const wchar_t* const AppMutexName;

// All checks in order; ends the process (running static finalisation) when
// one fails.
void RunStartupChecks();
[[noreturn]] void Halt(int exitCode);

}  // namespace app
