#include "History.h"

#include <windows.h>

#include <algorithm>

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
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// The part before the first ">", empty for a line without one.
std::wstring LineId(std::wstring_view line) {
    size_t p = line.find(L'>');
    return p == npos ? std::wstring() : std::wstring(line.substr(0, p));
}

// The same for a line of the file's bytes: ">" is one byte in UTF-8 and
// never part of a longer sequence.
std::string_view LineIdBytes(std::string_view line) {
    size_t p = line.find('>');
    return p == std::string_view::npos ? std::string_view() : line.substr(0, p);
}

// Every character of a blank text is 32 or less, which in UTF-8 are
// single bytes.
bool IsBlank(std::string_view bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) <= 32; });
}

void DeleteThumbnail(std::wstring_view id) {
    std::wstring f = HistoryThumbnailFile(id);
    if (!f.empty() && cls::FileExists(f)) cls::RemoveFile(f);
}

// The thumbnails of these IDs.
void DeleteThumbnails(const std::vector<std::wstring>& ids) {
    if (ids.empty()) return;
    std::set<std::wstring> present = ListThumbnails();
    for (const std::wstring& id : ids)
        if (present.count(cls::LowerCase(id) + L".jpg")) DeleteThumbnail(id);
}

// Visits the lines of the history file from the first, read in pieces and
// cut as the string list cuts them (CR LF, CR or LF; a byte-order mark
// skipped), so a large file costs one pass and little memory. False when
// the file cannot be opened or read, or is larger than any history that is
// loaded; the file is closed again on return.
template <class F>
bool ForEachHistoryLine(F&& visit) {
    cls::FileHandle f(CreateFileW(HistoryFileName().c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f) return false;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(f.get(), &size) || static_cast<uint64_t>(size.QuadPart) > kMaxLoadableHistoryBytes)
        return false;
    uint64_t total = 0;
    std::string chunk(64 * 1024, '\0'), line;
    bool first = true, afterCr = false;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(f.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr)) return false;
        if (got == 0) break;
        // A file that grew past the limit while it was read.
        if ((total += got) > kMaxLoadableHistoryBytes) return false;
        std::string_view rest(chunk.data(), got);
        if (first && rest.starts_with(kUtf8Bom)) rest.remove_prefix(kUtf8Bom.size());
        first = false;
        while (!rest.empty()) {
            if (afterCr && rest[0] == '\n') rest.remove_prefix(1);
            afterCr = false;
            size_t end = rest.find_first_of("\r\n");
            if (end == std::string_view::npos) {
                line.append(rest);
                break;
            }
            line.append(rest.substr(0, end));
            visit(std::string_view(line));
            line.clear();
            afterCr = rest[end] == '\r';
            rest.remove_prefix(end + 1);
        }
    }
    if (!line.empty()) visit(std::string_view(line));
    return true;
}

// What the routines that need entries ask: the file has lines and not all
// of them are blank. False also when it cannot be read.
bool HistoryHasEntries() {
    bool any = false;
    return ForEachHistoryLine([&](std::string_view l) { any = any || !IsBlank(l); }) && any;
}

// A line as the string list writes it back: UTF-8 that was not valid comes
// out as the characters it was read as.
void AppendLine(std::string& out, std::string_view line) {
    if (std::all_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        out.append(line);
    else
        out += cls::WideToUtf8(cls::Utf8ToWide(line));
    out += "\r\n";
}

bool SaveHistory(const std::string& text) { return cls::WriteFileAtomic(HistoryFileName(), text); }

// An entry has an ID and a title that is not blank.
bool IsEntry(const std::optional<THistoryEntry>& e) { return e && !e->Id.empty() && !cls::Trim(e->Title).empty(); }

std::wstring FoldForSearch(std::wstring_view s) { return RemoveAccents(cls::LowerCase(s)); }
}  // namespace

std::wstring HistoryFileName() { return engine::DataFolder + L"Historial.dat"; }

std::wstring HistoryThumbnailFile(std::wstring_view id) {
    return engine::IsValidVideoId(id) ? engine::ThumbnailsFolder + std::wstring(id) + L".jpg"
                                      : std::wstring();
}

std::set<std::wstring> ListThumbnails() {
    std::set<std::wstring> names;
    WIN32_FIND_DATAW fd;
    cls::FindHandle find(FindFirstFileW((engine::ThumbnailsFolder + L"*.jpg").c_str(), &fd));
    if (!find) return names;
    do
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.insert(cls::LowerCase(fd.cFileName));
    while (FindNextFileW(find.get(), &fd));
    return names;
}

std::wstring CanonicalVideoAddress(const std::wstring& id) { return engine::VideoPageAddress(id); }

std::optional<THistoryEntry> ParseHistoryLine(std::wstring_view line) {
    size_t p = line.find(L'>');
    if (p == npos || cls::Trim(line).empty()) return std::nullopt;
    return THistoryEntry{std::wstring(line.substr(0, p)), std::wstring(line.substr(p + 1))};
}

void AgregarEnHistorial(const std::wstring& id, const std::wstring& title) {
    std::wstring line = id + L">" + title;
    // A line break would split the entry into two lines of the file.
    for (wchar_t& c : line)
        if (c == L'\r' || c == L'\n') c = L' ';
    const std::string idBytes = cls::WideToUtf8(id);
    std::string text(kUtf8Bom);
    AppendLine(text, cls::WideToUtf8(line));
    // Every older line of this ID goes: the file keeps one per ID.
    auto keep = [&](std::string_view l) {
        if (LineIdBytes(l) != idBytes) AppendLine(text, l);
    };
    if (cls::FileExists(HistoryFileName()) && !ForEachHistoryLine(keep)) return;
    cls::ForceDirectories(engine::DataFolder);
    SaveHistory(text);
}

void SubirAPosicionUnoEnHistorial(const std::wstring& id) {
    const std::string idBytes = cls::WideToUtf8(id);
    std::string text(kUtf8Bom), rest;
    bool found = false;
    auto move = [&](std::string_view l) {
        if (!found && LineIdBytes(l) == idBytes) {
            found = true;
            AppendLine(text, l);
        } else {
            AppendLine(rest, l);
        }
    };
    if (!ForEachHistoryLine(move) || !found) return;
    SaveHistory(text + rest);
}

std::vector<THistoryEntry> LoadAndCleanHistory() {
    std::vector<THistoryEntry> entries;
    if (!HistoryHasEntries()) return entries;
    std::string text(kUtf8Bom);
    std::vector<std::wstring> dropped;
    int kept = 0;
    auto clean = [&](std::string_view l) {
        // Blank lines and lines without ">" go; past the newest 30 the
        // others go with their thumbnails.
        if (IsBlank(l) || l.find('>') == std::string_view::npos) return;
        if (kept == kMaxHistoryEntries) {
            std::wstring id = cls::Utf8ToWide(LineIdBytes(l));
            if (engine::IsValidVideoId(id)) dropped.push_back(std::move(id));
            return;
        }
        ++kept;
        AppendLine(text, l);
        auto e = ParseHistoryLine(cls::Utf8ToWide(l));
        if (IsEntry(e)) entries.push_back({e->Id, cls::Trim(e->Title)});
    };
    if (!ForEachHistoryLine(clean)) return {};
    DeleteThumbnails(dropped);
    SaveHistory(text);
    return entries;
}

THistoryFilter FilterHistory(const std::wstring& text) {
    THistoryFilter r;
    r.ByLink = engine::IsVideoLink(text);
    if (!HistoryHasEntries()) return r;
    const std::string id = r.ByLink ? cls::WideToUtf8(engine::ExtractVideoId(text)) : std::string();
    const std::wstring needle = r.ByLink ? std::wstring() : FoldForSearch(text);
    if (!r.ByLink && needle.empty()) return r;
    // Nothing changes here, so the file is not written.
    ForEachHistoryLine([&](std::string_view l) {
        size_t p = l.find('>');
        if (p == 0 || p == std::string_view::npos || IsBlank(l.substr(p + 1))) return;
        if (r.ByLink ? l.substr(0, p) != id : FoldForSearch(cls::Utf8ToWide(l.substr(p + 1))).find(needle) == npos)
            return;
        r.Entries.push_back({cls::Utf8ToWide(l.substr(0, p)), cls::Utf8ToWide(l.substr(p + 1))});
    });
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
        if (c < L'\u00C0') {  // below every letter of the table
            r += c;
            continue;
        }
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
    bool any = false;
    std::set<std::wstring> ids;
    auto collect = [&](std::string_view l) {
        any = any || !IsBlank(l);
        std::wstring line = cls::Utf8ToWide(l);
        std::wstring id = line.find(L'>') == npos ? cls::Trim(line) : LineId(line);
        // An ID that could not name a thumbnail matches no file.
        if (engine::IsValidVideoId(id)) ids.insert(cls::LowerCase(id));
    };
    if (cls::FileExists(HistoryFileName()) && !ForEachHistoryLine(collect)) return;
    if (!any) {
        if (cls::DirectoryExists(thumbs)) DeleteFolderTree(thumbs);
        return;
    }
    if (!cls::DirectoryExists(thumbs)) return;
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
    WIN32_FILE_ATTRIBUTE_DATA info;
    if (!GetFileAttributesExW(source.c_str(), GetFileExInfoStandard, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    // Every keystroke in the link box reads the whole history.
    if (info.nFileSizeHigh != 0 || info.nFileSizeLow > kMaxHistoryFileBytes) return false;
    std::string bytes;
    if (!cls::ReadFileBytes(source, bytes) || bytes.size() > kMaxHistoryFileBytes || !IsUtf8Text(bytes))
        return false;
    // Written beside the old file and then swapped in, never half-copied.
    return cls::ForceDirectories(engine::DataFolder) && cls::WriteFileAtomic(HistoryFileName(), bytes);
}

bool RemoveHistoryEntries(const std::set<std::wstring>& ids) {
    cls::TStringList kept;
    std::set<std::wstring> seen;
    std::vector<std::wstring> removed;
    auto sort = [&](std::string_view l) {
        auto e = ParseHistoryLine(cls::Utf8ToWide(l));
        if (!IsEntry(e)) return;
        std::wstring id = cls::Trim(e->Id);
        if (ids.count(id)) removed.push_back(id);
        // A repeated ID keeps its newest line, as adding it again would.
        else if (seen.insert(id).second) kept.Add(id + L">" + cls::Trim(e->Title));
    };
    const std::wstring file = HistoryFileName();
    if (cls::FileExists(file) && !ForEachHistoryLine(sort)) return false;
    bool ok = kept.Count() > 0 ? kept.SaveToFile(file)
                               : DeleteFileW(file.c_str()) || !cls::FileExists(file);
    if (ok)
        for (const auto& id : removed) DeleteThumbnail(id);
    return ok;
}

}  // namespace app
