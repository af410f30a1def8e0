// Text clipboard formats and the text data format, which holds one text in
// 8-bit and 16-bit form and converts through the code page of a locale.
#pragma once
#include <string>

#include "dragdrop/DragDropFormats.h"

namespace dragdrop {

// 8-bit text: reading stops at the first NUL, writing adds one.
class TCustomAnsiTextClipboardFormat : public TCustomAnsiStringClipboardFormat {
public:
    explicit TCustomAnsiTextClipboardFormat(CLIPFORMAT id) : TCustomAnsiStringClipboardFormat(id) { TrimZeroes = true; }
    static const ClipboardFormatClass ClassInfo;
    int GetSize() const override;
    const std::string& Text() const { return GetString(); }
    void SetText(std::string s) { SetString(std::move(s)); }
};

class TAnsiTextClipboardFormat : public TCustomAnsiTextClipboardFormat {
public:
    TAnsiTextClipboardFormat() : TCustomAnsiTextClipboardFormat(CF_TEXT) {}
    static const ClipboardFormatClass ClassInfo;
    const ClipboardFormatClass& Class() const override { return ClassInfo; }
    CLIPFORMAT GetClipboardFormat() const override { return CF_TEXT; }
};

class TOEMTextClipboardFormat : public TCustomAnsiTextClipboardFormat {
public:
    TOEMTextClipboardFormat() : TCustomAnsiTextClipboardFormat(CF_OEMTEXT) {}
    static const ClipboardFormatClass ClassInfo;
    const ClipboardFormatClass& Class() const override { return ClassInfo; }
    CLIPFORMAT GetClipboardFormat() const override { return CF_OEMTEXT; }
};

class TRichTextClipboardFormat : public TCustomAnsiTextClipboardFormat {
public:
    TRichTextClipboardFormat() : TCustomAnsiTextClipboardFormat(Id()) {}
    static const ClipboardFormatClass ClassInfo;
    const ClipboardFormatClass& Class() const override { return ClassInfo; }
    CLIPFORMAT GetClipboardFormat() const override { return Id(); }
    static CLIPFORMAT Id();
};

// 16-bit text.
class TCustomUnicodeTextClipboardFormat : public TCustomSimpleClipboardFormat {
public:
    using TCustomSimpleClipboardFormat::TCustomSimpleClipboardFormat;
    static const ClipboardFormatClass ClassInfo;
    const std::wstring& Text() const { return text_; }
    void SetText(std::wstring s) { text_ = std::move(s); }
    void Clear() override { text_.clear(); }
    bool HasData() const override { return !text_.empty(); }
    bool ReadData(const void* value, int size) override;
    bool WriteData(void* value, int size) override;
    int GetSize() const override;

private:
    std::wstring text_;
};

class TUnicodeTextClipboardFormat : public TCustomUnicodeTextClipboardFormat {
public:
    TUnicodeTextClipboardFormat() : TCustomUnicodeTextClipboardFormat(CF_UNICODETEXT) {}
    static const ClipboardFormatClass ClassInfo;
    const ClipboardFormatClass& Class() const override { return ClassInfo; }
    CLIPFORMAT GetClipboardFormat() const override { return CF_UNICODETEXT; }
};

class TCSVClipboardFormat : public TCustomStringListClipboardFormat {
public:
    TCSVClipboardFormat() : TCustomStringListClipboardFormat(Id()) {}
    static const ClipboardFormatClass ClassInfo;
    const ClipboardFormatClass& Class() const override { return ClassInfo; }
    CLIPFORMAT GetClipboardFormat() const override { return Id(); }
    static CLIPFORMAT Id();
};

class TLocaleClipboardFormat : public TCustomDWORDClipboardFormat {
public:
    TLocaleClipboardFormat() : TCustomDWORDClipboardFormat(CF_LOCALE) {}
    static const ClipboardFormatClass ClassInfo;
    const ClipboardFormatClass& Class() const override { return ClassInfo; }
    CLIPFORMAT GetClipboardFormat() const override { return CF_LOCALE; }
    LCID Locale() const { return GetValueDWORD(); }
    void SetLocale(LCID v) { SetValueDWORD(v); }
    bool HasData() const override { return Locale() != 0; }
};

class TTextDataFormat : public TCustomDataFormat {
public:
    using TCustomDataFormat::TCustomDataFormat;
    static const DataFormatClass ClassInfo;
    const DataFormatClass& Class() const override { return ClassInfo; }

    // Made from the other text when only that one is set.
    std::string AnsiText();
    void SetAnsiText(const std::string& value);
    std::wstring UnicodeText();
    void SetUnicodeText(const std::wstring& value);
    std::wstring Text() { return UnicodeText(); }
    void SetText(const std::wstring& value) { SetUnicodeText(value); }
    // The locale set, else the thread's.
    LCID GetLocale() const;
    void SetLocale(LCID value);

    void Clear() override;
    bool Assign(TClipboardFormat& source) override;
    bool AssignTo(TClipboardFormat& dest) override;
    bool HasData() const override;
    bool NeedsData() const override;

private:
    std::wstring unicodeText_;
    std::string ansiText_;
    bool needAnsi_ = true, needUnicode_ = true;
    LCID locale_ = 0;
};

// The ANSI code page of a locale; 0 (the system's) when it has none.
UINT LocaleCodePage(LCID locale);
// Plain text as an RTF document; RTF source is passed through.
std::string MakeRTF(const std::wstring& text);

}  // namespace dragdrop
