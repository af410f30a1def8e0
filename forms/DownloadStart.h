// From a click on a result panel's link label to a running download: the
// file-name rules, the label handlers and the start of the transfer in the
// download window.
#pragma once
#include <string>
#include <string_view>

#include "classlib/Controls.h"
#include "classlib/Label.h"

namespace app {

// Every character that cannot or should not be in a file name ("/", "\",
// ":", "*", the double quote, "<", ">", "|", "?", "&", "." and control
// characters) becomes "_". Dots go too: the only dot of a name built here
// is the one of the extension added afterwards.
std::wstring SanitizeFileName(std::wstring_view text);

// Folder + Name + Ext when nothing of that name exists there, else the
// first of Name + " (1)", " (2)", ... that is free. A folder of that name
// takes the name as much as a file does.
std::wstring MakeUniqueFileName(const std::wstring& folder, const std::wstring& name,
                                const std::wstring& ext);

// Whether Ext (with its dot, any case) is one the program saves streams
// (or, for the snapshot, pictures) under.
bool IsKnownMediaExtension(std::wstring_view ext, bool snapshot);
// The extension of the address's path (before its "?") when it is a known
// one, case kept; otherwise ".mp4" for streams and ".jpg" for the snapshot.
// A server never decides what program "Play" starts.
std::wstring MediaExtension(const std::wstring& address, bool snapshot);

// " (snapshot)", " (SD)" or " (HD)" for a result line's kind.
std::wstring KindSuffix(const std::wstring& kind);
// The file name a link label downloads into.
std::wstring DownloadFileName(const std::wstring& shortTitle, const std::wstring& kind,
                              const std::wstring& address);

// Fills the download window (creating it when there is none), picks a free
// name in Folder, puts the video at the top of the history and starts the
// transfer. Any failure leaves the click without further effect.
void StartDownload(const std::wstring& fileName, const std::wstring& folder, const std::wstring& url,
                   const std::wstring& id, const std::wstring& title, cls::TLabel* linkLabel);

// The handlers of a result panel's link labels.
void DownloadLabelClick(cls::TComponent* sender);
void DownloadLabelMouseMove(cls::TComponent* sender, cls::TShiftState shift, int x, int y);
void DownloadLabelMouseLeave(cls::TComponent* sender);

constexpr cls::TColor LinkLabelColor = 0x333333;
constexpr cls::TColor LinkLabelHoverColor = 0xD66C33;

}  // namespace app
