// A fresh folder under the prefix's temporary folder, deleted with
// everything in it when the test ends.
#pragma once
#include <string>

namespace testing_support {

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // With a trailing delimiter.
    const std::wstring& Path() const { return path_; }
    std::wstring File(const std::wstring& name) const { return path_ + name; }
    // Writes raw bytes to a file in the folder and returns its full name.
    std::wstring Write(const std::wstring& name, const std::string& bytes) const;
    std::string Read(const std::wstring& name) const;

private:
    std::wstring path_;
};

void DeleteTree(const std::wstring& folder);

}  // namespace testing_support
