#include "dragdrop/DragDropText.h"

#include <cstdio>
#include <cstring>

#include "classlib/Strings.h"

namespace dragdrop {

namespace {
RegisteredFormatId g_rtf(L"Rich Text Format");
RegisteredFormatId g_csv(L"CSV");
}  // namespace

CLIPFORMAT TRichTextClipboardFormat::Id() { return g_rtf.Get(); }
CLIPFORMAT TCSVClipboardFormat::Id() { return g_csv.Get(); }

const ClipboardFormatClass TCustomAnsiTextClipboardFormat::ClassInfo{
    L"TCustomAnsiTextClipboardFormat", &TCustomAnsiStringClipboardFormat::ClassInfo, nullptr, ddRead, nullptr};
const ClipboardFormatClass TAnsiTextClipboardFormat::ClassInfo{
    L"TAnsiTextClipboardFormat", &TCustomAnsiTextClipboardFormat::ClassInfo,
    &MakeClipboardFormat<TAnsiTextClipboardFormat>, ddRead, nullptr};
const ClipboardFormatClass TOEMTextClipboardFormat::ClassInfo{
    L"TOEMTextClipboardFormat", &TCustomAnsiTextClipboardFormat::ClassInfo,
    &MakeClipboardFormat<TOEMTextClipboardFormat>, ddRead, nullptr};
const ClipboardFormatClass TRichTextClipboardFormat::ClassInfo{
    L"TRichTextClipboardFormat", &TCustomAnsiTextClipboardFormat::ClassInfo,
    &MakeClipboardFormat<TRichTextClipboardFormat>, ddRead, nullptr};
const ClipboardFormatClass TCustomUnicodeTextClipboardFormat::ClassInfo{
    L"TCustomUnicodeTextClipboardFormat", &TCustomSimpleClipboardFormat::ClassInfo, nullptr, ddRead, nullptr};
const ClipboardFormatClass TUnicodeTextClipboardFormat::ClassInfo{
    L"TUnicodeTextClipboardFormat", &TCustomUnicodeTextClipboardFormat::ClassInfo,
    &MakeClipboardFormat<TUnicodeTextClipboardFormat>, ddRead, nullptr};
const ClipboardFormatClass TCSVClipboardFormat::ClassInfo{
    L"TCSVClipboardFormat", &TCustomStringListClipboardFormat::ClassInfo, &MakeClipboardFormat<TCSVClipboardFormat>,
    ddRead, nullptr};
const ClipboardFormatClass TLocaleClipboardFormat::ClassInfo{
    L"TLocaleClipboardFormat", &TCustomDWORDClipboardFormat::ClassInfo, &MakeClipboardFormat<TLocaleClipboardFormat>,
    ddRead, nullptr};

int TCustomAnsiTextClipboardFormat::GetSize() const {
    const std::string& s = GetString();
    return static_cast<int>(s.size()) + ((s.empty() || s.back() != '\0') ? 1 : 0);
}

bool TCustomUnicodeTextClipboardFormat::ReadData(const void* value, int size) {
    text_.assign(static_cast<size_t>(std::max(size, 0) / 2), L'\0');
    if (!text_.empty()) std::memcpy(text_.data(), value, text_.size() * 2);
    return true;
}

bool TCustomUnicodeTextClipboardFormat::WriteData(void* value, int size) {
    if (size < 0 || static_cast<size_t>(size) > (text_.size() + 1) * 2) return false;
    std::memcpy(value, text_.c_str(), size);
    return true;
}

int TCustomUnicodeTextClipboardFormat::GetSize() const {
    size_t chars = text_.size() + ((text_.empty() || text_.back() != L'\0') ? 1 : 0);
    return static_cast<int>(chars * 2);
}

// ---- text data format ----

UINT LocaleCodePage(LCID locale) {
    wchar_t buf[7] = {};
    if (!GetLocaleInfoW(locale, LOCALE_IDEFAULTANSICODEPAGE, buf, 7)) return 0;
    int cp = cls::StrToIntDef(buf, -1);
    return cp < 0 ? 0 : static_cast<UINT>(cp);
}

namespace {
void MapTextFormats() {
    struct Access : TTextDataFormat {
        static void Map(const ClipboardFormatClass& c, int priority) {
            MapClipboardFormat(TTextDataFormat::ClassInfo, c, priority, ccWriteToDataFormat | ccReadFromDataFormat);
        }
    };
    Access::Map(TAnsiTextClipboardFormat::ClassInfo, 0);
    Access::Map(TLocaleClipboardFormat::ClassInfo, 0);
    Access::Map(TUnicodeTextClipboardFormat::ClassInfo, -1);
    Access::Map(TOEMTextClipboardFormat::ClassInfo, 0);
    Access::Map(TRichTextClipboardFormat::ClassInfo, 0);
}
}  // namespace

const DataFormatClass TTextDataFormat::ClassInfo{L"TTextDataFormat", &TCustomDataFormat::ClassInfo,
                                                 &MakeDataFormat<TTextDataFormat>, &MapTextFormats};

LCID TTextDataFormat::GetLocale() const { return locale_ != 0 ? locale_ : GetThreadLocale(); }

void TTextDataFormat::SetLocale(LCID value) {
    Changing();
    locale_ = value;
}

void TTextDataFormat::SetAnsiText(const std::string& value) {
    Changing();
    ansiText_ = value;
    unicodeText_.clear();
    needAnsi_ = false;
    needUnicode_ = true;
    if (locale_ == 0) locale_ = GetThreadLocale();
}

void TTextDataFormat::SetUnicodeText(const std::wstring& value) {
    Changing();
    unicodeText_ = value;
    ansiText_.clear();
    needUnicode_ = false;
    needAnsi_ = true;
}

std::string TTextDataFormat::AnsiText() {
    if (needAnsi_ && !needUnicode_) {
        // Sized by the conversion itself: a double-byte code page needs more
        // bytes than the text has characters.
        UINT cp = LocaleCodePage(GetLocale());
        int n = unicodeText_.empty() ? 0
                                     : WideCharToMultiByte(cp, 0, unicodeText_.data(),
                                                           static_cast<int>(unicodeText_.size()), nullptr, 0,
                                                           nullptr, nullptr);
        ansiText_.assign(static_cast<size_t>(std::max(n, 0)), '\0');
        if (n > 0)
            WideCharToMultiByte(cp, 0, unicodeText_.data(), static_cast<int>(unicodeText_.size()), ansiText_.data(),
                                n, nullptr, nullptr);
    }
    return ansiText_;
}

std::wstring TTextDataFormat::UnicodeText() {
    if (needUnicode_ && !needAnsi_) {
        UINT cp = LocaleCodePage(GetLocale());
        int n = ansiText_.empty() ? 0
                                  : MultiByteToWideChar(cp, 0, ansiText_.data(), static_cast<int>(ansiText_.size()),
                                                        nullptr, 0);
        unicodeText_.assign(static_cast<size_t>(std::max(n, 0)), L'\0');
        if (n > 0)
            MultiByteToWideChar(cp, 0, ansiText_.data(), static_cast<int>(ansiText_.size()), unicodeText_.data(), n);
    }
    return unicodeText_;
}

void TTextDataFormat::Clear() {
    Changing();
    unicodeText_.clear();
    ansiText_.clear();
    needAnsi_ = needUnicode_ = true;
}

bool TTextDataFormat::Assign(TClipboardFormat& source) {
    if (auto* a = dynamic_cast<TAnsiTextClipboardFormat*>(&source)) {
        ansiText_ = a->Text();
        needAnsi_ = false;
        if (!ansiText_.empty() && unicodeText_.empty()) needUnicode_ = true;
    } else if (auto* u = dynamic_cast<TUnicodeTextClipboardFormat*>(&source)) {
        unicodeText_ = u->Text();
        needUnicode_ = false;
        if (!unicodeText_.empty() && ansiText_.empty()) needAnsi_ = true;
    } else if (auto* l = dynamic_cast<TLocaleClipboardFormat*>(&source)) {
        SetLocale(l->Locale());
    } else {
        return TCustomDataFormat::Assign(source);
    }
    return true;
}

bool TTextDataFormat::AssignTo(TClipboardFormat& dest) {
    if (auto* a = dynamic_cast<TAnsiTextClipboardFormat*>(&dest)) {
        a->SetText(AnsiText());
    } else if (auto* r = dynamic_cast<TRichTextClipboardFormat*>(&dest)) {
        r->SetText(MakeRTF(Text()));
    } else if (auto* u = dynamic_cast<TUnicodeTextClipboardFormat*>(&dest)) {
        u->SetText(UnicodeText());
    } else if (auto* o = dynamic_cast<TOEMTextClipboardFormat*>(&dest)) {
        std::string oem;
        if (HasData()) {
            std::wstring t = Text();
            oem.assign(t.size(), '\0');
            if (!t.empty()) CharToOemBuffW(t.c_str(), oem.data(), static_cast<DWORD>(t.size()));
        }
        o->SetText(oem);
    } else if (auto* l = dynamic_cast<TLocaleClipboardFormat*>(&dest)) {
        l->SetLocale(GetLocale());
    } else {
        return TCustomDataFormat::AssignTo(dest);
    }
    return true;
}

bool TTextDataFormat::HasData() const {
    return (!needAnsi_ && !ansiText_.empty()) || (!needUnicode_ && !unicodeText_.empty());
}

bool TTextDataFormat::NeedsData() const {
    return (needAnsi_ && ansiText_.empty()) || (needUnicode_ && unicodeText_.empty());
}

std::string MakeRTF(const std::wstring& text) {
    if (text.size() >= 5 && cls::SameText(text.substr(0, 5), L"{\\rtf")) return cls::WideToCodePage(text, CP_ACP);
    std::string out = "{\\rtf1\\ansi {\\*\\generator dragdrop}";
    char buf[32];
    for (wchar_t wc : text) {
        unsigned c = wc;
        if (c == 9) out += "\\tab ";
        else if (c == 13) out += "\\par ";
        else if (c == '\\' || c == '{' || c == '}') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 32 && c <= 126) out += static_cast<char>(c);
        else if (c < 128) {
            std::snprintf(buf, sizeof buf, "\\'%.2x", c);
            out += buf;
        } else {
            unsigned char low = static_cast<unsigned char>(c & 0xFF);
            bool plain = low >= 32 && !(low >= '0' && low <= '9') && low != '\\' && low != '{' && low != '}';
            std::snprintf(buf, sizeof buf, "\\u%d", static_cast<int>(static_cast<int16_t>(c)));
            out += buf;
            out += plain ? static_cast<char>(low) : '?';
        }
    }
    out += '}';
    return out;
}

// ---- registration ----

namespace {
int g_textUnitCount = 0;
}

void RegisterTextUnit() {
    if (g_textUnitCount++ > 0) return;
    TCustomDataFormat::RegisterDataFormat(TTextDataFormat::ClassInfo);
    for (auto* c : {&TAnsiTextClipboardFormat::ClassInfo, &TUnicodeTextClipboardFormat::ClassInfo,
                    &TRichTextClipboardFormat::ClassInfo, &TOEMTextClipboardFormat::ClassInfo,
                    &TCSVClipboardFormat::ClassInfo, &TLocaleClipboardFormat::ClassInfo})
        TClipboardFormat::RegisterFormat(*c);
}

void UnregisterTextUnit() {
    if (g_textUnitCount > 0) --g_textUnitCount;
}

}  // namespace dragdrop
