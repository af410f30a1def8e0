#include "Files.h"

#include <windows.h>

#include "Raii.h"

namespace cls {

namespace {
bool IsDelim(wchar_t c) { return c == L'\\' || c == L':'; }

std::wstring Z(std::wstring_view s) { return std::wstring(s); }
}  // namespace

std::wstring IncludeTrailingPathDelimiter(std::wstring_view path) {
    std::wstring r(path);
    if (r.empty() || r.back() != PathDelim) r += PathDelim;
    return r;
}

std::wstring ExcludeTrailingPathDelimiter(std::wstring_view path) {
    std::wstring r(path);
    if (!r.empty() && r.back() == PathDelim) r.pop_back();
    return r;
}

std::wstring ExtractFilePath(std::wstring_view fileName) {
    size_t i = fileName.size();
    while (i > 0 && !IsDelim(fileName[i - 1])) --i;
    return std::wstring(fileName.substr(0, i));
}

std::wstring ExtractFileName(std::wstring_view fileName) {
    size_t i = fileName.size();
    while (i > 0 && !IsDelim(fileName[i - 1])) --i;
    return std::wstring(fileName.substr(i));
}

std::wstring ExtractFileExt(std::wstring_view fileName) {
    for (size_t i = fileName.size(); i > 0; --i) {
        wchar_t c = fileName[i - 1];
        if (IsDelim(c)) break;
        if (c == L'.') return std::wstring(fileName.substr(i - 1));
    }
    return {};
}

std::wstring ChangeFileExt(std::wstring_view fileName, std::wstring_view ext) {
    std::wstring cur = ExtractFileExt(fileName);
    return std::wstring(fileName.substr(0, fileName.size() - cur.size())) + std::wstring(ext);
}

bool FileExists(std::wstring_view fileName) {
    if (fileName.empty()) return false;
    DWORD a = GetFileAttributesW(Z(fileName).c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(std::wstring_view dir) {
    if (dir.empty()) return false;
    DWORD a = GetFileAttributesW(Z(dir).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool ForceDirectories(std::wstring_view dir) {
    std::wstring d = ExcludeTrailingPathDelimiter(dir);
    if (d.empty()) return false;
    if (DirectoryExists(d)) return true;
    std::wstring parent = ExtractFilePath(d);
    // Stop at a drive root ("C:\", "C:") or a name without a parent.
    if (parent.size() > 0 && parent != d && !(parent.size() <= 3 && parent.find(L':') != std::wstring::npos)) {
        if (!ForceDirectories(parent)) return false;
    }
    return CreateDirectoryW(d.c_str(), nullptr) || DirectoryExists(d);
}

bool RemoveFile(std::wstring_view fileName) {
    return ::DeleteFileW(Z(fileName).c_str()) != 0;
}

bool ReadFileBytes(std::wstring_view fileName, std::string& data) {
    data.clear();
    FileHandle f(CreateFileW(Z(fileName).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f) return false;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(f.get(), &size) || size.QuadPart > 0x7FFFFFFF) return false;
    data.resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < data.size()) {
        DWORD got = 0;
        if (!ReadFile(f.get(), data.data() + done, static_cast<DWORD>(data.size() - done), &got, nullptr))
            return false;
        if (got == 0) break;
        done += got;
    }
    data.resize(done);
    return true;
}

bool WriteAll(HANDLE f, std::string_view data) {
    size_t done = 0;
    while (done < data.size()) {
        DWORD put = 0;
        if (!WriteFile(f, data.data() + done, static_cast<DWORD>(data.size() - done), &put, nullptr) || put == 0)
            return false;
        done += put;
    }
    return true;
}

bool WriteFileBytes(std::wstring_view fileName, std::string_view data) {
    FileHandle f(CreateFileW(Z(fileName).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    return f && WriteAll(f.get(), data);
}

bool WriteFileAtomic(std::wstring_view fileName, std::string_view data) {
    std::wstring target(fileName);
    std::wstring temp;
    FileHandle f;
    // A name that is already taken is drawn again rather than overwritten.
    for (unsigned attempt = 0; attempt < 100 && !f; ++attempt) {
        temp = target + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" +
               std::to_wstring(GetTickCount() + attempt) + L".tmp";
        f.reset(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    if (!f) return false;
    bool ok = WriteAll(f.get(), data) && FlushFileBuffers(f.get());
    f.reset();
    if (ok)
        ok = MoveFileExW(temp.c_str(), target.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!ok) ::DeleteFileW(temp.c_str());
    return ok;
}

std::wstring GetModuleFileNameStr() {
    std::wstring buf(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return {};
        if (n < buf.size()) {
            buf.resize(n);
            return buf;
        }
        buf.resize(buf.size() * 2);
    }
}

}  // namespace cls
