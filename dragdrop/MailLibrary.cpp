#include "dragdrop/MailLibrary.h"

#include "classlib/Strings.h"
#include "dragdrop/DragDrop.h"

namespace dragdrop {

namespace {

HMODULE g_module = nullptr;
MailLibraryEntryPoints g_entryPoints;
std::wstring g_testFolder, g_testName;

// The system's text for an error code, without its line break and final dot.
std::wstring SystemMessage(DWORD code) {
    wchar_t* buffer = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text(buffer ? buffer : L"", n);
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() <= L' ' || text.back() == L'.')) text.pop_back();
    return text;
}

std::string Narrow(const std::wstring& s) { return cls::WideToUtf8(s); }

[[noreturn]] void Fail(const char* format, const std::string& a, const std::string& b, const std::string& c = {}) {
    std::string message(format);
    size_t at = 0;
    for (const std::string* arg : {&a, &b, &c}) {
        if ((at = message.find("%s", at)) == std::string::npos) break;
        message.replace(at, 2, *arg);
        at += arg->size();
    }
    throw EDragDrop(message);
}

template <typename F>
void Bind(F& entryPoint, const char* exportName) {
    FARPROC p = GetProcAddress(g_module, exportName);
    if (!p) {
        const DWORD error = GetLastError();
        Fail("Failed to get %s entry point for %s: %s", Narrow(MailLibraryName()), exportName,
             Narrow(SystemMessage(error)));
    }
    entryPoint = reinterpret_cast<F>(reinterpret_cast<void*>(p));
}

}  // namespace

const std::wstring& MailLibraryName() {
    static const std::wstring systemName = L"mapi32.dll";
    return g_testName.empty() ? systemName : g_testName;
}

std::wstring MailLibraryPath() {
    std::wstring folder = g_testFolder;
    if (g_testName.empty()) {
        folder.resize(MAX_PATH);
        UINT n = GetSystemDirectoryW(folder.data(), MAX_PATH);
        if (n >= MAX_PATH) {
            folder.resize(n);
            n = GetSystemDirectoryW(folder.data(), n);
        }
        folder.resize(n < folder.size() ? n : 0);
    }
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    return folder + MailLibraryName();
}

const MailLibraryEntryPoints& LoadMailLibrary() {
    if (!g_module) {
        // Only a full path: a bare name would be looked for in the
        // program's and the current folder too.
        const std::wstring path = MailLibraryPath();
        HMODULE module = nullptr;
        DWORD error = ERROR_PATH_NOT_FOUND;
        if (path.find(L'\\') != std::wstring::npos) {
            // No "insert a disk" box for a library on removable media.
            UINT oldMode = SetErrorMode(SEM_NOOPENFILEERRORBOX);
            module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
            error = GetLastError();
            SetErrorMode(oldMode);
        }
        if (reinterpret_cast<UINT_PTR>(module) <= 32)
            Fail("%s: %s", Narrow(SystemMessage(error)), Narrow(MailLibraryName()));
        g_module = module;
    }
    MailLibraryEntryPoints& e = g_entryPoints;
    Bind(e.MAPIGetDefaultMalloc, "MAPIGetDefaultMalloc@0");
    Bind(e.MAPIInitialize, "MAPIInitialize");
    Bind(e.MAPIUninitialize, "MAPIUninitialize");
    Bind(e.MAPIAllocateBuffer, "MAPIAllocateBuffer");
    Bind(e.MAPIAllocateMore, "MAPIAllocateMore");
    Bind(e.MAPIFreeBuffer, "MAPIFreeBuffer");
    Bind(e.OpenIMsgOnIStg, "OpenIMsgOnIStg@44");
    Bind(e.OpenIMsgSession, "OpenIMsgSession@12");
    Bind(e.CloseIMsgSession, "CloseIMsgSession@4");
    return e;
}

void SetMailLibraryForTesting(const std::wstring& folder, const std::wstring& name) {
    if (g_module) FreeLibrary(g_module);
    g_module = nullptr;
    g_entryPoints = {};
    g_testFolder = folder;
    g_testName = name;
}

}  // namespace dragdrop
