#include "IniFiles.h"

#include <windows.h>
#include <algorithm>
#include <utility>

#include "Files.h"
#include "Strings.h"

namespace cls {

namespace {
// A line break inside a name or value would split it into two lines of
// the file; trimming matches what the parser gives back on reload.
std::wstring Clean(std::wstring_view s, bool trim = true) {
    std::wstring r(s);
    std::replace_if(r.begin(), r.end(), [](wchar_t c) { return c == L'\r' || c == L'\n'; }, L' ');
    return trim ? Trim(r) : r;
}

// Keys the parser would read back as something else.
bool WritableKey(const std::wstring& key) {
    return !key.empty() && key.find(L'=') == std::wstring::npos && key[0] != L'[' && key[0] != L';';
}

// A file read as UTF-16 of either byte order is written back as UTF-16 LE.
std::string EncodeUtf16Le(std::wstring_view text) {
    std::string r = "\xFF\xFE";
    for (wchar_t c : text) {
        r += static_cast<char>(c & 0xFF);
        r += static_cast<char>((c >> 8) & 0xFF);
    }
    return r;
}
}  // namespace

TMemIniFile::TMemIniFile(std::wstring_view fileName, TextEncoding encoding, TIniValues values)
    : fileName_(fileName), encoding_(encoding), values_(values) {
    std::string bytes;
    if (!ReadFileBytes(fileName_, bytes)) return;
    if (bytes.starts_with("\xEF\xBB\xBF"))
        saved_ = Saved::Utf8Bom;
    else if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF"))
        saved_ = Saved::Utf16Le;

    Section* current = nullptr;
    for (const auto& raw : SplitLines(DecodeText(bytes, encoding))) {
        std::wstring line = Trim(raw);
        if (line.empty() || line[0] == L';') continue;
        if (line.front() == L'[' && line.back() == L']') {
            std::wstring name = Trim(std::wstring_view(line).substr(1, line.size() - 2));
            current = Find(name);  // a repeated section continues the first
            if (!current) current = &AddSection(std::move(name));
            continue;
        }
        size_t eq = line.find(L'=');
        if (!current || eq == std::wstring::npos) continue;
        std::wstring key = Trim(std::wstring_view(line).substr(0, eq));
        // The line's own trimming must not reach into a value kept as written.
        std::wstring value = values_ == TIniValues::AsWritten ? raw.substr(raw.find(L'=') + 1)
                                                              : Trim(std::wstring_view(line).substr(eq + 1));
        if (!key.empty()) current->entries.push_back({key, std::move(value)});
    }
}

const TMemIniFile::Section* TMemIniFile::Find(std::wstring_view section) const {
    auto it = index_.find(LowerCase(section));
    return it == index_.end() ? nullptr : &sections_[it->second];
}

TMemIniFile::Section& TMemIniFile::AddSection(std::wstring name) {
    index_.emplace(LowerCase(name), sections_.size());
    return sections_.emplace_back(Section{std::move(name), {}});
}

void TMemIniFile::RebuildIndex() {
    index_.clear();
    for (size_t i = 0; i < sections_.size(); ++i) index_.emplace(LowerCase(sections_[i].name), i);
}

TMemIniFile::Section* TMemIniFile::Find(std::wstring_view section) {
    return const_cast<Section*>(std::as_const(*this).Find(section));
}

namespace {
template <typename S>
auto FindEntry(S* section, std::wstring_view key) -> decltype(&section->entries[0]) {
    if (section)
        for (auto& e : section->entries)
            if (SameText(e.key, key)) return &e;
    return nullptr;
}
}  // namespace

std::wstring TMemIniFile::ReadString(std::wstring_view section, std::wstring_view key,
                                     std::wstring_view def) const {
    const auto* e = FindEntry(Find(section), key);
    return e ? e->value : std::wstring(def);
}

int TMemIniFile::ReadInteger(std::wstring_view section, std::wstring_view key, int def) const {
    return StrToIntDef(ReadString(section, key, L""), def);
}

bool TMemIniFile::ReadBool(std::wstring_view section, std::wstring_view key, bool def) const {
    std::wstring v = ReadString(section, key, L"");
    int64_t n = StrToInt64Def(v, 0);
    if (n != StrToInt64Def(v, 1)) return def;  // not a number
    return n != 0;
}

void TMemIniFile::WriteString(std::wstring_view section, std::wstring_view key, std::wstring_view value) {
    std::wstring name = Clean(section), k = Clean(key), v = Clean(value, values_ == TIniValues::Trimmed);
    if (!WritableKey(k)) return;
    Section* s = Find(name);
    if (!s) s = &AddSection(name);
    if (auto* e = FindEntry(s, k))
        e->value = v;
    else
        s->entries.push_back({k, v});
}

void TMemIniFile::WriteInteger(std::wstring_view section, std::wstring_view key, int value) {
    WriteString(section, key, IntToStr(value));
}

void TMemIniFile::WriteBool(std::wstring_view section, std::wstring_view key, bool value) {
    WriteString(section, key, value ? L"1" : L"0");
}

bool TMemIniFile::SectionExists(std::wstring_view section) const { return Find(section) != nullptr; }

bool TMemIniFile::ValueExists(std::wstring_view section, std::wstring_view key) const {
    return FindEntry(Find(section), key) != nullptr;
}

std::vector<std::wstring> TMemIniFile::ReadSection(std::wstring_view section) const {
    std::vector<std::wstring> keys;
    if (const Section* s = Find(section))
        for (const auto& e : s->entries)
            if (std::none_of(keys.begin(), keys.end(), [&](const auto& k) { return SameText(k, e.key); }))
                keys.push_back(e.key);
    return keys;
}

void TMemIniFile::DeleteKey(std::wstring_view section, std::wstring_view key) {
    if (Section* s = Find(section))
        std::erase_if(s->entries, [&](const Entry& e) { return SameText(e.key, key); });
}

void TMemIniFile::EraseSection(std::wstring_view section) {
    if (std::erase_if(sections_, [&](const Section& s) { return SameText(s.name, section); })) RebuildIndex();
}

bool TMemIniFile::UpdateFile() const {
    std::wstring text;
    for (const auto& s : sections_) {
        if (!text.empty()) text += L"\r\n";
        text += L"[" + s.name + L"]\r\n";
        for (const auto& e : s.entries) text += e.key + L"=" + e.value + L"\r\n";
    }
    std::string bytes;
    if (encoding_ == TextEncoding::UTF8 || saved_ == Saved::Utf8Bom)
        bytes = "\xEF\xBB\xBF" + WideToUtf8(text);
    else if (saved_ == Saved::Utf16Le)
        bytes = EncodeUtf16Le(text);
    else
        bytes = WideToCodePage(text, CP_ACP);
    return WriteFileAtomic(fileName_, bytes);
}

}  // namespace cls
