// HTML as dragged data: the "HTML Format" clipboard format (CF_HTML, which
// also feeds the text data format), the mail text format
// "Internet Message (rfc822/rfc1522)", and the HTML data format.
#pragma once
#include <string>
#include <string_view>

#include "dragdrop/DragDropText.h"

namespace dragdrop {

// True when the text, upper-cased the way the system does it, holds "<HTML".
bool IsHTML(const std::wstring& text);

// A plain text wrapped as a CF_HTML document, UTF-8, with its four offsets
// counted in bytes of that UTF-8 text. Line breaks are made CR LF first, as
// the lines of the format would make them, so the offsets stay true.
std::string WrapCFHTML(const std::wstring& text);

// What a dropped CF_HTML document (UTF-8) holds as text: the fragment, else
// the document part, else the whole text. Offsets that do not lie inside
// the data count as missing.
std::wstring ExtractCFHTML(std::string_view document);

// "HTML Format": the document's lines, written and read as UTF-8.
class THTMLClipboardFormat : public TCustomStringListClipboardFormat {
public:
    THTMLClipboardFormat() : TCustomStringListClipboardFormat(Id()) {}
    static const ClipboardFormatClass ClassInfo;
    const ClipboardFormatClass& Class() const override { return ClassInfo; }
    static CLIPFORMAT Id();
    CLIPFORMAT GetClipboardFormat() const override { return Id(); }
    cls::TStringList& HTML() { return Lines(); }

    bool HasData() const override;
    bool Assign(TCustomDataFormat& source) override;
    bool AssignTo(TCustomDataFormat& dest) override;
    void Clear() override;
    bool ReadData(const void* value, int size) override;
    bool WriteData(void* value, int size) override;
    int GetSize() const override;

private:
    // The bytes as dropped, which the offsets count, and the text of the
    // lines they gave; used while the lines still hold that text.
    std::string dropped_;
    std::wstring droppedText_;
};

// "Internet Message (rfc822/rfc1522)": a mail message as text lines.
class TRFC822ClipboardFormat : public TCustomStringListClipboardFormat {
public:
    TRFC822ClipboardFormat() : TCustomStringListClipboardFormat(Id()) {}
    static const ClipboardFormatClass ClassInfo;
    const ClipboardFormatClass& Class() const override { return ClassInfo; }
    static CLIPFORMAT Id();
    CLIPFORMAT GetClipboardFormat() const override { return Id(); }
    cls::TStringList& Text() { return Lines(); }

    bool Assign(TCustomDataFormat& source) override;
    bool AssignTo(TCustomDataFormat& dest) override;
};

// An HTML document as lines.
class THTMLDataFormat : public TCustomDataFormat {
public:
    using TCustomDataFormat::TCustomDataFormat;
    static const DataFormatClass ClassInfo;
    const DataFormatClass& Class() const override { return ClassInfo; }

    cls::TStringList& HTML() { return html_; }
    void SetHTML(const cls::TStringList& value) { html_ = value; }

    void Clear() override;
    bool Assign(TClipboardFormat& source) override;
    bool AssignTo(TClipboardFormat& dest) override;
    bool HasData() const override { return html_.Count() > 0; }
    bool NeedsData() const override { return html_.Count() == 0; }

private:
    static void MapFormats();
    cls::TStringList html_;
};

}  // namespace dragdrop
