#include "StartupChecks.h"

#include <cstdlib>
#include <vector>

#include "classlib/Application.h"
#include "classlib/Files.h"
#include "classlib/Hooks.h"
#include "classlib/Raii.h"
#include "engine/Constants.h"

namespace app {

const wchar_t* const AppMutexName = L"Korvelink";

namespace {
const wchar_t* const IEServerKey = L"CLSID\\{0002DF01-0000-0000-C000-000000000046}\\LocalServer32";
}

WindowsVersion GetWindowsVersion() {
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    OSVERSIONINFOW vi = {sizeof(vi)};
    auto rtl = reinterpret_cast<RtlGetVersionFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    if (!rtl || rtl(&vi) != 0) {
        vi = {sizeof(vi)};
        GetVersionExW(&vi);
    }
    return {vi.dwMajorVersion, vi.dwMinorVersion};
}

int CheckWindowsVersion(WindowsVersion v) {
    if (v.major > 5 || (v.major == 5 && v.minor >= 1)) return 0;
    cls::Application.MessageBox(L"Korvelink requires Windows XP or higher to run.", L"Error",
                                MB_ICONERROR);
    return 1;
}

int CreateAppMutex() {
    HANDLE h = CreateMutexW(nullptr, TRUE, AppMutexName);
    if (!h) {
        cls::Application.MessageBox(L"Error creating application mutex", L"Error", MB_ICONERROR);
        return 2;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(h);
        cls::Application.MessageBox(
            L"Korvelink is already running and is available in the taskbar or system tray.",
            L"Korvelink already running", MB_ICONINFORMATION);
        return 3;
    }
    return 0;  // kept open: Windows releases it when the process ends
}

int CheckIEVersion(WindowsVersion v, int ieMajorVersion) {
    if (v.major != 5 || (v.minor != 1 && v.minor != 2)) return 0;
    if (ieMajorVersion >= 7) return 0;
    int answer = cls::Application.MessageBox(
        L"Korvelink requires Internet Explorer 7 or higher installed in your\n"
        L"computer to run the application and load Facebook API engine.\n\n"
        L"Click OK to download the necessary component.",
        L"Required component not found", MB_YESNO | MB_ICONEXCLAMATION);
    if (answer == IDYES)
        cls::ShellExecuteStr(cls::Application.MainFormHandle, L"Open",
                             engine::AppFolder + L"ie8prereqxp.html", L"", L"", SW_SHOW);
    return 6;
}

int GetFileMajorVersion(const std::wstring& fileName) {
    if (fileName.empty()) return 0;
    try {
        DWORD dummy = 0;
        DWORD size = GetFileVersionInfoSizeW(fileName.c_str(), &dummy);
        if (size == 0) return 0;
        std::vector<BYTE> buf(size);
        if (!GetFileVersionInfoW(fileName.c_str(), 0, size, buf.data())) return 0;
        VS_FIXEDFILEINFO* info = nullptr;
        UINT len = 0;
        if (!VerQueryValueW(buf.data(), L"\\", reinterpret_cast<void**>(&info), &len) || !info ||
            len < sizeof(VS_FIXEDFILEINFO))
            return 0;
        return static_cast<int>(info->dwFileVersionMS >> 16);
    } catch (...) {
        return 0;
    }
}

std::wstring ResolveIEExecutable(const std::wstring& registeredPath,
                                 const std::wstring& programFilesFolder,
                                 const std::function<bool(const std::wstring&)>& fileExists) {
    std::wstring path;
    if (registeredPath.size() >= 2) {
        path = registeredPath;
        if (path.front() == L'"') path.erase(0, 1);
        if (!path.empty() && path.back() == L'"') path.pop_back();
        if (!fileExists(path)) path.clear();
    }
    // Without a Program Files folder the fallback would be a relative path
    // searched from the current folder: there is no fallback then.
    if (path.empty() && !programFilesFolder.empty()) {
        path = programFilesFolder + L"Internet Explorer\\iexplore.exe";
        if (!fileExists(path)) path.clear();
    }
    return path;
}

int GetIEMajorVersion() {
    std::wstring registered;
    cls::RegKey key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, IEServerKey, 0, KEY_READ, key.put()) == ERROR_SUCCESS) {
        DWORD type = 0, bytes = 0;
        if (RegQueryValueExW(key.get(), nullptr, nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS &&
            (type == REG_SZ || type == REG_EXPAND_SZ) && bytes > 0) {
            std::wstring v(bytes / sizeof(wchar_t) + 1, L'\0');
            if (RegQueryValueExW(key.get(), nullptr, nullptr, &type,
                                 reinterpret_cast<BYTE*>(v.data()), &bytes) == ERROR_SUCCESS)
                registered = v.c_str();  // up to the first NUL
        }
    }
    std::wstring path = ResolveIEExecutable(registered, engine::ProgramFilesFolder,
                                            [](const std::wstring& f) { return cls::FileExists(f); });
    return path.empty() ? -1 : GetFileMajorVersion(path);
}

void Halt(int exitCode) { std::exit(exitCode); }

void RunStartupChecks() {
    WindowsVersion v = GetWindowsVersion();
    if (int code = CheckWindowsVersion(v)) Halt(code);
    if (int code = CreateAppMutex()) Halt(code);
    if (v.major == 5 && (v.minor == 1 || v.minor == 2))
        if (int code = CheckIEVersion(v, GetIEMajorVersion())) Halt(code);
}

}  // namespace app
