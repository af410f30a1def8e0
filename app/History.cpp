#include "History.h"

#include <windows.h>

#include "FolderTree.h"
#include "classlib/Files.h"
#include "classlib/Raii.h"
#include "classlib/StringList.h"
#include "classlib/Strings.h"
#include "engine/Constants.h"
#include "engine/FBapi.h"
#include "engine/VideoScraper.h"

namespace app {

namespace {
constexpr auto npos = std::wstring::npos;

// The part before the first ">", empty for a line without one.
std::wstring LineId(std::wstring_view line) {
    size_t p = line.find(L'>');
    return p == npos ? std::wstring() : std::wstring(line.substr(0, p));
}

void DeleteThumbnail(std::wstring_view id) {
    std::wstring f = HistoryThumbnailFile(id);
    if (!f.empty() && cls::FileExists(f)) cls::RemoveFile(f);
}

// False when the file is missing, unreadable or blank.
bool LoadHistory(cls::TStringList& list) {
    return cls::FileExists(HistoryFileName()) && list.LoadFromFile(HistoryFileName()) &&
           list.Count() > 0 && !cls::Trim(list.Text()).empty();
}

// Loads the file when it exists; false only when it exists but cannot be read.
bool LoadIfPresent(cls::TStringList& list) {
    return !cls::FileExists(HistoryFileName()) || list.LoadFromFile(HistoryFileName());
}

bool IsEntry(const std::optional<THistoryEntry>& e) { return e && !e->Id.empty() && !e->Title.empty(); }

std::wstring FoldForSearch(std::wstring_view s) { return RemoveAccents(cls::LowerCase(s)); }
}  // namespace

std::wstring HistoryFileName() { return engine::DataFolder + L"Historial.dat"; }

std::wstring HistoryThumbnailFile(std::wstring_view id) {
    return engine::IsValidVideoId(id) ? engine::ThumbnailsFolder + std::wstring(id) + L".jpg"
                                      : std::wstring();
}

std::wstring CanonicalVideoAddress(const std::wstring& id) { return engine::VideoPageAddress(id); }

std::optional<THistoryEntry> ParseHistoryLine(std::wstring_view line) {
    size_t p = line.find(L'>');
    if (p == npos || cls::Trim(line).empty()) return std::nullopt;
    return THistoryEntry{std::wstring(line.substr(0, p)), std::wstring(line.substr(p + 1))};
}

void AgregarEnHistorial(const std::wstring& id, const std::wstring& title) {
    cls::TStringList list;
    if (!LoadIfPresent(list)) return;
    std::wstring line = id + L">" + title;
    // A line break would split the entry into two lines of the file.
    for (wchar_t& c : line)
        if (c == L'\r' || c == L'\n') c = L' ';
    int i = 0;
    while (i < list.Count() && LineId(list[i]) != id) ++i;
    if (i < list.Count()) list.Delete(i);
    list.Insert(0, line);
    cls::ForceDirectories(engine::DataFolder);
    list.SaveToFile(HistoryFileName());
}

void SubirAPosicionUnoEnHistorial(const std::wstring& id) {
    cls::TStringList list;
    if (!cls::FileExists(HistoryFileName()) || !list.LoadFromFile(HistoryFileName())) return;
    for (int i = 0; i < list.Count(); ++i) {
        if (LineId(list[i]) != id) continue;
        std::wstring line = list[i];
        list.Delete(i);
        list.Insert(0, line);
        list.SaveToFile(HistoryFileName());
        return;
    }
}

std::vector<THistoryEntry> LoadAndCleanHistory() {
    std::vector<THistoryEntry> entries;
    cls::TStringList list;
    if (!LoadHistory(list)) return entries;
    for (int i = list.Count() - 1; i >= 0; --i)
        if (!ParseHistoryLine(list[i])) list.Delete(i);
    while (list.Count() > kMaxHistoryEntries) {
        DeleteThumbnail(LineId(list[list.Count() - 1]));
        list.Delete(list.Count() - 1);
    }
    for (const auto& line : list.Lines())
        if (auto e = ParseHistoryLine(line); IsEntry(e)) entries.push_back({e->Id, cls::Trim(e->Title)});
    list.SaveToFile(HistoryFileName());
    return entries;
}

THistoryFilter FilterHistory(const std::wstring& text) {
    THistoryFilter r;
    r.ByLink = engine::IsVideoLink(text);
    cls::TStringList list;
    if (!LoadHistory(list)) return r;
    std::wstring id = r.ByLink ? engine::ExtractVideoId(text) : std::wstring();
    std::wstring needle = r.ByLink ? std::wstring() : FoldForSearch(text);
    for (const auto& line : list.Lines()) {
        auto e = ParseHistoryLine(line);
        if (!IsEntry(e)) continue;
        bool match = r.ByLink ? e->Id == id
                              : !needle.empty() && FoldForSearch(e->Title).find(needle) != npos;
        if (match) r.Entries.push_back(*e);
    }
    list.SaveToFile(HistoryFileName());
    return r;
}

std::wstring HistoryCaption(std::wstring_view title, int mode, bool windowsXP, size_t maxLength) {
    if (mode != 1) return cls::Trim(title);
    if (windowsXP) return L" " + cls::Trim(title);
    if (title.size() <= maxLength) return L" " + std::wstring(title);
    size_t cut = maxLength;
    if (cut > 0 && IS_HIGH_SURROGATE(title[cut - 1])) --cut;
    return L" " + cls::Trim(title.substr(0, cut)) + L"...";
}

std::wstring HistoryCountText(int count, bool filtered) {
    return std::wstring(filtered ? L"Result: " : L"Total ") + cls::IntToStr(count) +
           (count == 1 ? L" video link clicked recently" : L" video links clicked recently");
}

std::wstring RemoveAccents(std::wstring_view s) {
    static const struct {
        std::wstring_view from;
        const wchar_t* to;
    } kTable[] = {
        {L"ÀÁÂÃÄÅ", L"A"}, {L"Æ", L"AE"}, {L"Ç", L"C"},     {L"ÈÉÊË", L"E"},   {L"ÌÍÎÏ", L"I"},
        {L"Ð", L"D"},      {L"Ñ", L"N"},  {L"ÒÓÔÕÖØ", L"O"}, {L"ÙÚÛÜ", L"U"},   {L"ÝŸ", L"Y"},
        {L"àáâãäå", L"a"}, {L"æ", L"ae"}, {L"ç", L"c"},     {L"èéêë", L"e"},   {L"ìíîï", L"i"},
        {L"ð", L"d"},      {L"ñ", L"n"},  {L"òóôõöø", L"o"}, {L"ùúûü", L"u"},   {L"ýÿ", L"y"},
        {L"Œ", L"OE"},     {L"œ", L"oe"}, {L"Š", L"S"},     {L"š", L"s"},      {L"Ž", L"Z"},
        {L"ž", L"z"},
    };
    std::wstring r;
    r.reserve(s.size());
    for (wchar_t c : s) {
        const wchar_t* to = nullptr;
        for (const auto& row : kTable)
            if (row.from.find(c) != npos) to = row.to;
        if (to) r += to;
        else r += c;
    }
    return r;
}

void DeleteUnusedThumbnails() {
    const std::wstring& thumbs = engine::ThumbnailsFolder;
    cls::TStringList list;
    if (!LoadIfPresent(list)) return;
    if (list.Count() == 0 || cls::Trim(list.Text()).empty()) {
        if (cls::DirectoryExists(thumbs)) DeleteFolderTree(thumbs);
        return;
    }
    if (!cls::DirectoryExists(thumbs)) return;
    std::set<std::wstring> ids;
    for (const auto& line : list.Lines()) {
        std::wstring id = line.find(L'>') == npos ? cls::Trim(line) : LineId(line);
        // An ID that could not name a thumbnail matches no file.
        if (engine::IsValidVideoId(id)) ids.insert(cls::LowerCase(id));
    }
    std::wstring dir = cls::IncludeTrailingPathDelimiter(thumbs);
    WIN32_FIND_DATAW fd;
    cls::FindHandle find(FindFirstFileW((dir + L"*").c_str(), &fd));
    if (!find) return;
    do {
        std::wstring name = fd.cFileName;
        DWORD a = fd.dwFileAttributes;
        if ((a & FILE_ATTRIBUTE_DIRECTORY) && !(a & FILE_ATTRIBUTE_REPARSE_POINT)) continue;
        if (!ids.count(cls::LowerCase(cls::ChangeFileExt(name, L""))))
            DeleteFolderEntry(dir + name, a);
    } while (FindNextFileW(find.get(), &fd));
}

bool BackupHistory(const std::wstring& target) {
    return CopyFileW(HistoryFileName().c_str(), target.c_str(), FALSE) != 0;
}

bool IsUtf8Text(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    for (size_t i = 0; i < bytes.size();) {
        unsigned c = static_cast<unsigned char>(bytes[i]);
        if (c == 0) return false;
        if (c < 0x80) {
            ++i;
            continue;
        }
        // Lead byte: number of continuation bytes and the range of the first
        // one, which rules out overlong forms, surrogates and values past
        // U+10FFFF.
        size_t n;
        unsigned lo = 0x80, hi = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) n = 1;
        else if (c >= 0xE0 && c <= 0xEF) n = 2, lo = c == 0xE0 ? 0xA0 : 0x80, hi = c == 0xED ? 0x9F : 0xBF;
        else if (c >= 0xF0 && c <= 0xF4) n = 3, lo = c == 0xF0 ? 0x90 : 0x80, hi = c == 0xF4 ? 0x8F : 0xBF;
        else return false;
        if (bytes.size() - i <= n) return false;
        for (size_t k = 1; k <= n; ++k, lo = 0x80, hi = 0xBF) {
            unsigned d = static_cast<unsigned char>(bytes[i + k]);
            if (d < lo || d > hi) return false;
        }
        i += n + 1;
    }
    return true;
}

bool ImportHistory(const std::wstring& source) {
    std::string bytes;
    if (!cls::ReadFileBytes(source, bytes) || !IsUtf8Text(bytes)) return false;
    // Written beside the old file and then swapped in, never half-copied.
    return cls::ForceDirectories(engine::DataFolder) && cls::WriteFileAtomic(HistoryFileName(), bytes);
}

bool RemoveHistoryEntries(const std::set<std::wstring>& ids) {
    cls::TStringList list, kept;
    if (!LoadIfPresent(list)) return false;
    std::set<std::wstring> seen;
    std::vector<std::wstring> removed;
    for (const auto& line : list.Lines()) {
        auto e = ParseHistoryLine(line);
        if (!IsEntry(e)) continue;
        std::wstring id = cls::Trim(e->Id);
        if (ids.count(id)) removed.push_back(id);
        // A repeated ID keeps its newest line, as adding it again would.
        else if (seen.insert(id).second) kept.Add(id + L">" + cls::Trim(e->Title));
    }
    const std::wstring file = HistoryFileName();
    bool ok = kept.Count() > 0 ? kept.SaveToFile(file)
                               : DeleteFileW(file.c_str()) || !cls::FileExists(file);
    if (ok)
        for (const auto& id : removed) DeleteThumbnail(id);
    return ok;
}

}  // namespace app
