// A list of text lines, loaded from and saved to files.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace cls {

// How the bytes of a file are turned into text.
enum class TextEncoding {
    Default,  // a byte-order mark selects UTF-8 or UTF-16; otherwise the system code page
    UTF8,     // UTF-8; a leading byte-order mark is skipped on load and written on save
};

// Decodes a whole file's bytes under the rule of Encoding.
std::wstring DecodeText(std::string_view bytes, TextEncoding encoding);
// Splits at CR LF, CR or LF; a final line break does not add an empty line.
std::vector<std::wstring> SplitLines(std::wstring_view text);

class TStringList {
public:
    TStringList() = default;

    int Count() const { return static_cast<int>(lines_.size()); }
    const std::wstring& operator[](int i) const { return lines_.at(i); }
    std::wstring& operator[](int i) { return lines_.at(i); }
    const std::vector<std::wstring>& Lines() const { return lines_; }

    int Add(std::wstring_view s);
    void Insert(int index, std::wstring_view s);
    void Delete(int index);
    void Clear() { lines_.clear(); }
    // First line equal to S (case-sensitive), or -1.
    int IndexOf(std::wstring_view s) const;

    // Every line followed by CR LF.
    std::wstring Text() const;
    void SetText(std::wstring_view text);

    // False when the file cannot be read; the list is then empty.
    bool LoadFromFile(std::wstring_view fileName, TextEncoding encoding = TextEncoding::UTF8);
    // UTF-8 with a byte-order mark, CR LF line ends, written atomically.
    bool SaveToFile(std::wstring_view fileName) const;

private:
    std::vector<std::wstring> lines_;
};

}  // namespace cls
