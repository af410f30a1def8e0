// Links as dragged data: the browser's "UniformResourceLocator" format, the
// URL data format that gathers a link and its title from the formats a
// browser or the shell offers, internet shortcut (".url") files, and the
// drop target the windows place to accept dragged links.
#pragma once
#include <windows.h>

#include <string>
#include <string_view>

#include "dragdrop/DragDropText.h"
#include "dragdrop/DropTarget.h"

namespace dragdrop {

// "UniformResourceLocator": one 8-bit link.
class TAnsiURLClipboardFormat : public TCustomAnsiTextClipboardFormat {
public:
    TAnsiURLClipboardFormat() : TCustomAnsiTextClipboardFormat(Id()) {}
    static const ClipboardFormatClass ClassInfo;
    const ClipboardFormatClass& Class() const override { return ClassInfo; }
    static CLIPFORMAT Id();
    CLIPFORMAT GetClipboardFormat() const override { return Id(); }
    const std::string& URL() const { return Text(); }
    void SetURL(std::string s) { SetText(std::move(s)); }
};

// One link (8-bit, system code page) and its title (the shortcut's name
// without extension).
class TURLDataFormat : public TCustomDataFormat {
public:
    using TCustomDataFormat::TCustomDataFormat;
    static const DataFormatClass ClassInfo;
    const DataFormatClass& Class() const override { return ClassInfo; }

    const std::string& URL() const { return url_; }
    void SetURL(const std::string& value);
    const std::wstring& Title() const { return title_; }
    void SetTitle(const std::wstring& value);

    void Clear() override;
    bool Assign(TClipboardFormat& source) override;
    bool AssignTo(TClipboardFormat& dest) override;
    bool HasData() const override { return !url_.empty() || !title_.empty(); }
    // Reading goes on until both the link and the title are known.
    bool NeedsData() const override { return url_.empty() || title_.empty(); }

private:
    static void MapFormats();
    std::string url_;
    std::wstring title_;
};

// Shortcut files come from other programs: only this much of one is read.
constexpr size_t kMaxURLShortcutSize = 64 * 1024;

// The link of the first "[InternetShortcut]" section of a shortcut's bytes
// (a byte-order mark selects UTF-8 or UTF-16, else the system code page).
bool ParseURLShortcut(std::string_view contents, std::string& url);
// The same for a file; at most kMaxURLShortcutSize bytes are read. Throws
// EDragDrop when the file cannot be opened; anything but a disk file
// (a pipe, a device) gives false without being read.
bool ReadURLShortcutFile(const std::wstring& fileName, std::string& url);
bool ReadURLShortcutString(const std::string& contents, std::string& url);
// A file name for a shortcut to Name (a title or a link), ".url" included.
std::string MakeURLShortcutFileName(const std::string& name);
// "C:\a\b.URL" -> ".URL": from the last dot after the last '\' or ':'.
std::wstring FileExtension(const std::wstring& fileName);

// Accepts dragged links; the link is read on entry.
class TDropURLTarget : public TCustomDropMultiTarget {
public:
    explicit TDropURLTarget(cls::TComponent* owner = nullptr);
    ~TDropURLTarget() override;
    const std::string& URL() const { return urlFormat_->URL(); }
    const std::wstring& Title() const { return urlFormat_->Title(); }

protected:
    // A source naming no effect is linked to.
    LONG GetPreferredDropEffect() override;

private:
    TURLDataFormat* urlFormat_;
};

// The unit's registrations; run once, from the library's start-up.
void RegisterInternetUnit();
void UnregisterInternetUnit();

}  // namespace dragdrop
