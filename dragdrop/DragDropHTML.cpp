#include "dragdrop/DragDropHTML.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>

#include "classlib/Strings.h"

namespace dragdrop {

namespace {

RegisteredFormatId g_htmlFormat{L"HTML Format"};
RegisteredFormatId g_rfc822Format{L"Internet Message (rfc822/rfc1522)"};

constexpr TConversionCapabilities kBoth = ccWriteToDataFormat | ccReadFromDataFormat;

// Each "%08u" becomes exactly eight digits, so the header keeps its length.
constexpr char kHeaderTemplate[] =
    "Version:0.9\r\nStartHTML:%08u\r\nEndHTML:%08u\r\nStartFragment:%08u\r\nEndFragment:%08u\r\n";
constexpr size_t kHeaderLength = 97;
constexpr std::string_view kOpening = "<HTML>\r\n<BODY>\r\n<!--StartFragment-->";
constexpr std::string_view kClosing = "<!--EndFragment-->\r\n</BODY>\r\n</HTML>";

// Lone CR and lone LF become CR LF.
std::wstring WithCRLF(const std::wstring& text) {
    std::wstring r;
    r.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r') {
            r += L"\r\n";
            if (i + 1 < text.size() && text[i + 1] == L'\n') ++i;
        } else if (text[i] == L'\n') {
            r += L"\r\n";
        } else {
            r += text[i];
        }
    }
    return r;
}

// The offset written at KeyEnd, right after its key; none when its digits
// are missing or name a place beyond the data.
std::optional<size_t> OffsetAfter(std::string_view document, size_t keyEnd) {
    uint64_t value = 0;
    size_t i = keyEnd;
    for (; i < document.size() && document[i] >= '0' && document[i] <= '9'; ++i) {
        value = value * 10 + static_cast<uint64_t>(document[i] - '0');
        if (value > document.size()) return std::nullopt;  // also stops any overflow
    }
    if (i == keyEnd) return std::nullopt;
    return static_cast<size_t>(value);
}

// The part between the offsets of one key pair: the whole document when a
// key is missing, nothing when the offsets are unusable.
std::string_view PairPart(std::string_view document, std::string_view startKey, std::string_view endKey) {
    size_t startKeyAt = document.find(startKey), endKeyAt = document.find(endKey);
    if (startKeyAt == std::string_view::npos || endKeyAt == std::string_view::npos) return document;
    auto start = OffsetAfter(document, startKeyAt + startKey.size());
    auto end = OffsetAfter(document, endKeyAt + endKey.size());
    if (!start || !end || *start >= *end) return {};
    return document.substr(*start, *end - *start);
}

TTextDataFormat* AsText(TCustomDataFormat& format) {
    return format.Class().InheritsFrom(TTextDataFormat::ClassInfo) ? static_cast<TTextDataFormat*>(&format)
                                                                    : nullptr;
}

void MapHTMLToText() {
    TClipboardFormat::MapToDataFormat(THTMLClipboardFormat::ClassInfo, TTextDataFormat::ClassInfo, 3, kBoth);
}
void MapRFC822ToText() {
    TClipboardFormat::MapToDataFormat(TRFC822ClipboardFormat::ClassInfo, TTextDataFormat::ClassInfo, 2, kBoth);
}

}  // namespace

bool IsHTML(const std::wstring& text) { return cls::UpperCase(text).find(L"<HTML") != std::wstring::npos; }

std::string WrapCFHTML(const std::wstring& text) {
    const std::string body = cls::WideToUtf8(WithCRLF(text));
    const size_t startFragment = kHeaderLength + kOpening.size();
    const size_t endFragment = startFragment + body.size();
    const size_t endHTML = endFragment + kClosing.size();
    char header[kHeaderLength + 32];
    std::snprintf(header, sizeof header, kHeaderTemplate, static_cast<unsigned>(kHeaderLength),
                  static_cast<unsigned>(endHTML), static_cast<unsigned>(startFragment),
                  static_cast<unsigned>(endFragment));
    std::string result = header;
    result.append(kOpening).append(body).append(kClosing);
    return result;
}

std::wstring ExtractCFHTML(std::string_view document) {
    std::string_view part = PairPart(document, "StartFragment:", "EndFragment:");
    if (part.empty()) part = PairPart(document, "StartHTML:", "EndHTML:");
    if (part.empty()) part = document;
    return cls::Utf8ToWide(part);
}

// ---- "HTML Format" ----

const ClipboardFormatClass THTMLClipboardFormat::ClassInfo{L"THTMLClipboardFormat",
                                                           &TCustomStringListClipboardFormat::ClassInfo,
                                                           &MakeClipboardFormat<THTMLClipboardFormat>, ddRead,
                                                           &MapHTMLToText};

CLIPFORMAT THTMLClipboardFormat::Id() { return g_htmlFormat.Get(); }

bool THTMLClipboardFormat::HasData() const { return Lines().Count() > 0 && IsHTML(Lines().Text()); }

void THTMLClipboardFormat::Clear() {
    TCustomStringListClipboardFormat::Clear();
    dropped_.clear();
    droppedText_.clear();
}

bool THTMLClipboardFormat::Assign(TCustomDataFormat& source) {
    TTextDataFormat* text = AsText(source);
    if (!text) return TCustomStringListClipboardFormat::Assign(source);
    std::wstring value = text->Text();
    Clear();
    Lines().SetText(IsHTML(value) ? value : cls::Utf8ToWide(WrapCFHTML(value)));
    return true;
}

bool THTMLClipboardFormat::AssignTo(TCustomDataFormat& dest) {
    TTextDataFormat* text = AsText(dest);
    if (!text) return TCustomStringListClipboardFormat::AssignTo(dest);
    const std::wstring lines = Lines().Text();
    text->SetText(!dropped_.empty() && lines == droppedText_ ? ExtractCFHTML(dropped_)
                                                              : ExtractCFHTML(cls::WideToUtf8(lines)));
    return true;
}

bool THTMLClipboardFormat::ReadData(const void* value, int size) {
    auto* p = static_cast<const char*>(value);
    size_t n = static_cast<size_t>(std::max(size, 0));
    if (const void* z = std::memchr(p, 0, n)) n = static_cast<const char*>(z) - p;
    dropped_.assign(p, n);
    Lines().SetText(cls::Utf8ToWide(dropped_));
    droppedText_ = Lines().Text();
    return true;
}

int THTMLClipboardFormat::GetSize() const { return static_cast<int>(cls::WideToUtf8(Lines().Text()).size()) + 1; }

bool THTMLClipboardFormat::WriteData(void* value, int size) {
    std::string s = cls::WideToUtf8(Lines().Text());
    if (size < 0 || static_cast<size_t>(size) != s.size() + 1) return false;
    std::memcpy(value, s.c_str(), size);
    return true;
}

// ---- "Internet Message (rfc822/rfc1522)" ----

const ClipboardFormatClass TRFC822ClipboardFormat::ClassInfo{L"TRFC822ClipboardFormat",
                                                             &TCustomStringListClipboardFormat::ClassInfo,
                                                             &MakeClipboardFormat<TRFC822ClipboardFormat>, ddRead,
                                                             &MapRFC822ToText};

CLIPFORMAT TRFC822ClipboardFormat::Id() { return g_rfc822Format.Get(); }

bool TRFC822ClipboardFormat::Assign(TCustomDataFormat& source) {
    TTextDataFormat* text = AsText(source);
    if (!text) return TCustomStringListClipboardFormat::Assign(source);
    Lines().SetText(text->Text());
    return true;
}

bool TRFC822ClipboardFormat::AssignTo(TCustomDataFormat& dest) {
    TTextDataFormat* text = AsText(dest);
    if (!text) return TCustomStringListClipboardFormat::AssignTo(dest);
    text->SetText(Lines().Text());
    return true;
}

// ---- the HTML data format ----

const DataFormatClass THTMLDataFormat::ClassInfo{L"THTMLDataFormat", &TCustomDataFormat::ClassInfo,
                                                 &MakeDataFormat<THTMLDataFormat>, &THTMLDataFormat::MapFormats};

void THTMLDataFormat::MapFormats() { MapClipboardFormat(ClassInfo, THTMLClipboardFormat::ClassInfo, 0, kBoth); }

void THTMLDataFormat::Clear() {
    Changing();
    html_.Clear();
}

bool THTMLDataFormat::Assign(TClipboardFormat& source) {
    if (!source.Class().InheritsFrom(THTMLClipboardFormat::ClassInfo)) return TCustomDataFormat::Assign(source);
    html_ = static_cast<THTMLClipboardFormat&>(source).HTML();
    return true;
}

bool THTMLDataFormat::AssignTo(TClipboardFormat& dest) {
    if (!dest.Class().InheritsFrom(THTMLClipboardFormat::ClassInfo)) return TCustomDataFormat::AssignTo(dest);
    static_cast<THTMLClipboardFormat&>(dest).HTML() = html_;
    return true;
}

}  // namespace dragdrop
