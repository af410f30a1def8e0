#include "StringList.h"

#include <windows.h>
#include <stdexcept>

#include "Files.h"
#include "Strings.h"

namespace cls {

namespace {
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::wstring Utf16ToWide(std::string_view bytes, bool bigEndian) {
    std::wstring r(bytes.size() / 2, L'\0');  // an odd last byte is dropped
    for (size_t i = 0; i < r.size(); ++i) {
        auto lo = static_cast<unsigned char>(bytes[2 * i + (bigEndian ? 1 : 0)]);
        auto hi = static_cast<unsigned char>(bytes[2 * i + (bigEndian ? 0 : 1)]);
        r[i] = static_cast<wchar_t>(lo | (hi << 8));
    }
    return r;
}
}  // namespace

std::wstring DecodeText(std::string_view bytes, TextEncoding encoding) {
    if (bytes.starts_with(kUtf8Bom)) return Utf8ToWide(bytes.substr(kUtf8Bom.size()));
    if (encoding == TextEncoding::UTF8) return Utf8ToWide(bytes);
    if (bytes.starts_with("\xFF\xFE")) return Utf16ToWide(bytes.substr(2), false);
    if (bytes.starts_with("\xFE\xFF")) return Utf16ToWide(bytes.substr(2), true);
    return CodePageToWide(bytes, CP_ACP);
}

std::vector<std::wstring> SplitLines(std::wstring_view text) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of(L"\r\n", start);
        if (end == std::wstring_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, end - start));
        start = end + (text.substr(end, 2) == L"\r\n" ? 2 : 1);
    }
    return lines;
}

int TStringList::Add(std::wstring_view s) {
    lines_.emplace_back(s);
    return Count() - 1;
}

void TStringList::Insert(int index, std::wstring_view s) {
    if (index < 0 || index > Count()) throw std::out_of_range("TStringList::Insert: index out of range");
    lines_.emplace(lines_.begin() + index, s);
}

void TStringList::Delete(int index) {
    if (index < 0 || index >= Count()) throw std::out_of_range("TStringList::Delete: index out of range");
    lines_.erase(lines_.begin() + index);
}

int TStringList::IndexOf(std::wstring_view s) const {
    for (int i = 0; i < Count(); ++i)
        if (lines_[i] == s) return i;
    return -1;
}

std::wstring TStringList::Text() const {
    std::wstring r;
    for (const auto& line : lines_) r += line + L"\r\n";
    return r;
}

void TStringList::SetText(std::wstring_view text) { lines_ = SplitLines(text); }

bool TStringList::LoadFromFile(std::wstring_view fileName, TextEncoding encoding) {
    lines_.clear();
    std::string bytes;
    if (!ReadFileBytes(fileName, bytes)) return false;
    SetText(DecodeText(bytes, encoding));
    return true;
}

bool TStringList::SaveToFile(std::wstring_view fileName) const {
    return WriteFileAtomic(fileName, std::string(kUtf8Bom) + WideToUtf8(Text()));
}

}  // namespace cls
