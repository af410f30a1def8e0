// The one way the engine reads the site's pages: fetched synchronously into a
// temporary file of the cache folder, read back as UTF-8 lines, each line
// entity-decoded and handed to a scanner, then deleted. Also the entity
// decoder, the caption tag stripper and the thumbnail download.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "classlib/Component.h"

namespace engine {

// Owner of the HTTP components of page and picture fetches; the application
// points it at its main window. Null is allowed (nothing owns them then).
extern cls::TComponent* PageFetchOwner;

// A page or picture bigger than this is cut off and counts as failed.
constexpr int64_t PageFetchMaxBytes = 32 * 1024 * 1024;

// Receives each decoded line in order; returns false to stop reading.
using TLineScanner = std::function<bool(const std::wstring& line)>;

// Fetches Url into a fresh temporary file of CacheFolder and hands its lines
// to Scan, whatever the transfer's result. The file is deleted afterwards,
// also when Scan throws. False when no page file was stored (the scanner then
// saw nothing).
bool FetchPageLines(const std::wstring& url, const TLineScanner& scan);

// A name drawn by Draw that does not exist yet in Folder; empty when every
// one of Attempts draws was taken.
std::wstring DrawFreeFileName(const std::wstring& folder, const std::function<std::wstring()>& draw,
                              int attempts);

// The fixed entity table, rules applied in order, letters in any case.
std::wstring DecodeHtmlEntities(std::wstring_view text);

// Caption text without its link, icon and span markup, trimmed.
std::wstring StripHtml(std::wstring_view text);

// A bare file name: not empty, no path or drive part, no "..", none of
// <>"|?* and no control character.
bool IsPlainFileName(std::wstring_view name);

// True when the thumbnail should be (re)fetched: it is missing or empty.
bool ThumbnailNeedsFetch(const std::wstring& path);

// Stores the body of Url as ThumbnailsFolder + Name. A name that is not
// plain is refused; a failed or empty download leaves no file behind.
void DownloadToThumbnailFolder(const std::wstring& name, const std::wstring& url);

}  // namespace engine
