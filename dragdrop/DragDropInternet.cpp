#include "dragdrop/DragDropInternet.h"

#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "classlib/Raii.h"
#include "classlib/Strings.h"
#include "dragdrop/DragDropFile.h"
#include "dragdrop/DragDropMail.h"

namespace dragdrop {

namespace {

RegisteredFormatId g_urlFormat{L"UniformResourceLocator"};
int g_internetUnitCount = 0;

constexpr const char* kLinkPrefixes[] = {"http://", "ftp://", "mailto:", "file:"};
constexpr std::string_view kForbiddenNameChars = "\"'*,/:<>?\\|";
constexpr size_t kMaxShortcutNameChars = 120;
constexpr std::string_view kShortcutHeader = "[InternetShortcut]";

std::string ToAnsi(std::wstring_view s) { return cls::WideToCodePage(s, CP_ACP); }
std::wstring FromAnsi(std::string_view s) { return cls::CodePageToWide(s, CP_ACP); }

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (LowerAscii(s[i]) != LowerAscii(prefix[i])) return false;
    return true;
}

bool EqualsNoCase(std::string_view a, std::string_view b) { return a.size() == b.size() && StartsWithNoCase(a, b); }

bool IsURLExtension(const std::wstring& fileName) {
    return cls::SameText(FileExtension(fileName), L".url");
}

std::wstring WithoutExtension(const std::wstring& fileName) {
    return fileName.substr(0, fileName.size() - FileExtension(fileName).size());
}

// Splits text at CR LF, CR or LF; a last line without break counts, an
// empty text has no lines.
template <typename Char>
std::vector<std::basic_string<Char>> SplitLines(std::basic_string_view<Char> text) {
    std::vector<std::basic_string<Char>> lines;
    size_t start = 0, i = 0;
    while (i < text.size()) {
        if (text[i] == Char('\r') || text[i] == Char('\n')) {
            lines.emplace_back(text.substr(start, i - start));
            if (text[i] == Char('\r') && i + 1 < text.size() && text[i + 1] == Char('\n')) ++i;
            start = ++i;
        } else {
            ++i;
        }
    }
    if (start < text.size()) lines.emplace_back(text.substr(start));
    return lines;
}

template <typename Char>
std::basic_string_view<Char> UpToNul(std::basic_string_view<Char> s) {
    return s.substr(0, std::min(s.size(), s.find(Char(0))));
}

// The lines of a shortcut as 8-bit strings, the way a text file loads:
// a byte-order mark picks the encoding, the text stops at its first NUL.
std::vector<std::string> ShortcutLines(std::string_view bytes) {
    auto starts = [&](std::string_view bom) { return bytes.substr(0, bom.size()) == bom; };
    std::wstring wide;
    if (starts("\xEF\xBB\xBF")) {
        wide = cls::CodePageToWide(UpToNul(bytes.substr(3)), CP_UTF8);
    } else if (starts("\xFF\xFE") || starts("\xFE\xFF")) {
        const bool bigEndian = bytes[0] == '\xFE';
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
            auto lo = static_cast<unsigned char>(bytes[i + (bigEndian ? 1 : 0)]);
            auto hi = static_cast<unsigned char>(bytes[i + (bigEndian ? 0 : 1)]);
            wchar_t c = static_cast<wchar_t>(lo | (hi << 8));
            if (c == 0) break;
            wide += c;
        }
    } else {
        return SplitLines<char>(UpToNul(bytes));
    }
    std::vector<std::string> lines;
    for (auto& line : SplitLines<wchar_t>(wide)) lines.push_back(ToAnsi(line));
    return lines;
}

}  // namespace

// ---- "UniformResourceLocator" ----

const ClipboardFormatClass TAnsiURLClipboardFormat::ClassInfo{L"TAnsiURLClipboardFormat",
                                                              &TCustomAnsiTextClipboardFormat::ClassInfo,
                                                              &MakeClipboardFormat<TAnsiURLClipboardFormat>, ddRead,
                                                              nullptr};

CLIPFORMAT TAnsiURLClipboardFormat::Id() { return g_urlFormat.Get(); }

// ---- shortcut files ----

std::wstring FileExtension(const std::wstring& fileName) {
    size_t dot = fileName.find_last_of(L".\\:");
    if (dot == std::wstring::npos || fileName[dot] != L'.') return {};
    return fileName.substr(dot);
}

bool ParseURLShortcut(std::string_view contents, std::string& url) {
    const auto lines = ShortcutLines(contents);
    size_t header = lines.size();
    for (size_t i = 0; i + 1 < lines.size(); ++i)
        if (EqualsNoCase(lines[i], kShortcutHeader)) {
            header = i;
            break;
        }
    for (size_t i = header + 1; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (StartsWithNoCase(line, "URL=")) {
            url = line.substr(4);
            return true;
        }
        if (!line.empty() && line[0] == '[') return false;
    }
    return false;
}

bool ReadURLShortcutString(const std::string& contents, std::string& url) { return ParseURLShortcut(contents, url); }

bool ReadURLShortcutFile(const std::wstring& fileName, std::string& url) {
    cls::FileHandle file(CreateFileW(fileName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw EDragDrop("Cannot open file \"" + ToAnsi(fileName) + "\"");
    // A pipe or device named like a shortcut could block the drag forever.
    if (GetFileType(file.get()) != FILE_TYPE_DISK) return false;
    std::string bytes(kMaxURLShortcutSize, '\0');
    size_t got = 0;
    while (got < bytes.size()) {
        DWORD n = 0;
        if (!ReadFile(file.get(), bytes.data() + got, static_cast<DWORD>(bytes.size() - got), &n, nullptr) || n == 0)
            break;
        got += n;
    }
    bytes.resize(got);
    return ParseURLShortcut(bytes, url);
}

std::string MakeURLShortcutFileName(const std::string& name) {
    std::string result = name;
    for (const char* prefix : kLinkPrefixes)
        if (StartsWithNoCase(result, prefix)) {
            result.erase(0, std::strlen(prefix));
            break;
        }
    if (result.size() > kMaxShortcutNameChars) result.resize(kMaxShortcutNameChars);
    if (size_t slash = result.find('/'); slash != std::string::npos) result.resize(slash);
    bool afterForbidden = true;  // trailing forbidden characters go entirely
    for (size_t i = result.size(); i-- > 0;) {
        if (kForbiddenNameChars.find(result[i]) == std::string_view::npos) {
            afterForbidden = false;
        } else if (afterForbidden) {
            result.erase(i, 1);
        } else {
            result[i] = ' ';
            afterForbidden = true;
        }
    }
    if (result.empty()) result = "untitled";
    return result + ".url";
}

// ---- the URL data format ----

const DataFormatClass TURLDataFormat::ClassInfo{L"TURLDataFormat", &TCustomDataFormat::ClassInfo,
                                                &MakeDataFormat<TURLDataFormat>, &TURLDataFormat::MapFormats};

void TURLDataFormat::MapFormats() {
    const auto both = ccWriteToDataFormat | ccReadFromDataFormat;
    MapClipboardFormat(ClassInfo, TAnsiFileGroupDescriptorClipboardFormat::ClassInfo, 0, both);
    MapClipboardFormat(ClassInfo, TUnicodeFileGroupDescriptorClipboardFormat::ClassInfo, -1, both);
    MapClipboardFormat(ClassInfo, TFileContentsClipboardFormat::ClassInfo, 1, both);
    MapClipboardFormat(ClassInfo, TAnsiURLClipboardFormat::ClassInfo, 2, both);
    MapClipboardFormat(ClassInfo, TAnsiTextClipboardFormat::ClassInfo, 3, both);
    MapClipboardFormat(ClassInfo, TFileClipboardFormat::ClassInfo, 4, both);
}

void TURLDataFormat::SetURL(const std::string& value) {
    Changing();
    url_ = value;
}

void TURLDataFormat::SetTitle(const std::wstring& value) {
    Changing();
    title_ = value;
}

void TURLDataFormat::Clear() {
    Changing();
    url_.clear();
    title_.clear();
}

bool TURLDataFormat::Assign(TClipboardFormat& source) {
    const ClipboardFormatClass& cls = source.Class();
    if (cls.InheritsFrom(TAnsiURLClipboardFormat::ClassInfo)) {
        if (url_.empty()) url_ = static_cast<TAnsiURLClipboardFormat&>(source).URL();
        return true;
    }
    if (cls.InheritsFrom(TAnsiTextClipboardFormat::ClassInfo)) {
        if (!url_.empty()) return false;
        const std::string& text = static_cast<TAnsiTextClipboardFormat&>(source).Text();
        size_t pos = FromAnsi(text).find(L"://");
        if (pos == std::wstring::npos || pos == 0) return false;
        url_ = text;
        return true;
    }
    if (cls.InheritsFrom(TFileClipboardFormat::ClassInfo)) {
        auto& files = static_cast<TFileClipboardFormat&>(source).Files();
        if (!url_.empty() || files.Count() == 0) return false;
        const std::wstring file = files.Get(0);
        std::string link;
        if (!IsURLExtension(file) || !ReadURLShortcutFile(file, link)) return false;
        url_ = link;
        if (title_.empty()) {
            std::wstring name = file.substr(file.find_last_of(L"\\:") + 1);  // npos + 1 is 0
            title_ = WithoutExtension(name);
        }
        return true;
    }
    if (cls.InheritsFrom(TFileContentsClipboardFormat::ClassInfo)) {
        if (!url_.empty() || title_.empty()) return false;
        std::string link;
        if (!ReadURLShortcutString(static_cast<TFileContentsClipboardFormat&>(source).Data(), link)) return false;
        url_ = link;
        return true;
    }
    if (cls.InheritsFrom(TAnsiFileGroupDescriptorClipboardFormat::ClassInfo) ||
        cls.InheritsFrom(TUnicodeFileGroupDescriptorClipboardFormat::ClassInfo)) {
        auto& group = static_cast<TFileGroupDescriptorCustomClipboardFormat&>(source);
        if (!title_.empty() || group.Count() < 1) return false;
        const std::wstring name = group.Filenames(0);  // bounded by the descriptor's field
        if (!IsURLExtension(name)) return false;
        title_ = WithoutExtension(name);
        return true;
    }
    return TCustomDataFormat::Assign(source);
}

bool TURLDataFormat::AssignTo(TClipboardFormat& dest) {
    const ClipboardFormatClass& cls = dest.Class();
    if (cls.InheritsFrom(TAnsiURLClipboardFormat::ClassInfo) || cls.InheritsFrom(TAnsiTextClipboardFormat::ClassInfo)) {
        static_cast<TCustomAnsiTextClipboardFormat&>(dest).SetText(url_);
        return true;
    }
    if (cls.InheritsFrom(TFileContentsClipboardFormat::ClassInfo)) {
        static_cast<TFileContentsClipboardFormat&>(dest).SetData(std::string(kShortcutHeader) + "\r\nURL=" + url_ +
                                                                 "\r\n");
        return true;
    }
    const bool ansi = cls.InheritsFrom(TAnsiFileGroupDescriptorClipboardFormat::ClassInfo);
    if (ansi || cls.InheritsFrom(TUnicodeFileGroupDescriptorClipboardFormat::ClassInfo)) {
        const std::string name = MakeURLShortcutFileName(title_.empty() ? url_ : ToAnsi(title_));
        const DWORD flags = FD_FILESIZE | FD_PROGRESSUI;
        const DWORD size = static_cast<DWORD>(url_.size() + 26);  // the contents written above
        if (ansi) {
            FILEGROUPDESCRIPTORA group{};
            group.cItems = 1;
            group.fgd[0].dwFlags = flags;
            group.fgd[0].nFileSizeLow = size;
            std::memcpy(group.fgd[0].cFileName, name.data(), std::min<size_t>(name.size(), MAX_PATH - 1));
            static_cast<TFileGroupDescriptorCustomClipboardFormat&>(dest).CopyFrom(&group);
        } else {
            FILEGROUPDESCRIPTORW group{};
            group.cItems = 1;
            group.fgd[0].dwFlags = flags;
            group.fgd[0].nFileSizeLow = size;
            CopyStringToWideBuffer(group.fgd[0].cFileName, FromAnsi(name), MAX_PATH - 1);
            static_cast<TFileGroupDescriptorCustomClipboardFormat&>(dest).CopyFrom(&group);
        }
        return true;
    }
    return TCustomDataFormat::AssignTo(dest);
}

// ---- the drop target ----

TDropURLTarget::TDropURLTarget(cls::TComponent* owner) : TCustomDropMultiTarget(owner) {
    DragTypes = dtCopy | dtLink;
    GetDataOnEnter = true;
    urlFormat_ = new TURLDataFormat(this);
}

TDropURLTarget::~TDropURLTarget() { delete urlFormat_; }

LONG TDropURLTarget::GetPreferredDropEffect() {
    LONG effect = TCustomDropMultiTarget::GetPreferredDropEffect();
    return effect == DROPEFFECT_NONE ? DROPEFFECT_LINK : effect;
}

// ---- registrations ----

void RegisterInternetUnit() {
    if (g_internetUnitCount++ > 0) return;
    TCustomDataFormat::RegisterDataFormat(TURLDataFormat::ClassInfo);
    RegisterHTMLMailDataFormats();
    TClipboardFormat::RegisterFormat(TAnsiURLClipboardFormat::ClassInfo);
    RegisterHTMLMailClipboardFormats();
}

void UnregisterInternetUnit() {
    if (g_internetUnitCount > 0) --g_internetUnitCount;
}

}  // namespace dragdrop
