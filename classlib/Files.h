// File and folder helpers over the wide Win32 file API.
#pragma once
#include <windows.h>
#include <string>
#include <string_view>
#include <cstdint>

namespace cls {

constexpr wchar_t PathDelim = L'\\';

std::wstring IncludeTrailingPathDelimiter(std::wstring_view path);
std::wstring ExcludeTrailingPathDelimiter(std::wstring_view path);
// Up to and including the last "\" or ":"; empty when there is none.
std::wstring ExtractFilePath(std::wstring_view fileName);
std::wstring ExtractFileName(std::wstring_view fileName);
// From the last "." that follows the last "\" or ":", dot included; empty
// when the name part holds no dot.
std::wstring ExtractFileExt(std::wstring_view fileName);
std::wstring ChangeFileExt(std::wstring_view fileName, std::wstring_view ext);

bool FileExists(std::wstring_view fileName);       // a file, not a folder
bool DirectoryExists(std::wstring_view dir);       // a folder
// Creates the folder with every missing parent; true when it exists after.
bool ForceDirectories(std::wstring_view dir);
bool RemoveFile(std::wstring_view fileName);

// Whole-file reads and writes; ReadFileBytes returns false when the file
// cannot be opened or read.
bool ReadFileBytes(std::wstring_view fileName, std::string& data);
bool WriteFileBytes(std::wstring_view fileName, std::string_view data);
// Writes all of Data to an open file, however many calls that takes.
bool WriteAll(HANDLE file, std::string_view data);
// Writes a temporary file in the same folder, flushes it and then replaces
// the target, so readers see either the old or the new content, never half.
bool WriteFileAtomic(std::wstring_view fileName, std::string_view data);

std::wstring GetModuleFileNameStr();  // full path of the running executable

}  // namespace cls
