// A video ID turned into what the result panel shows: the stream addresses
// and the title from the video page, the snapshot picture from the embed
// page. The scanners are fed one decoded line at a time.
#pragma once
#include <string>
#include <string_view>

#include "classlib/StringList.h"

namespace engine {

// Scheme of the site's page addresses; tests aim it at a plain-HTTP server.
extern std::wstring SiteScheme;  // "https://"

std::wstring VideoPageAddress(const std::wstring& id);  // .../video.php?v=ID
std::wstring EmbedPageAddress(const std::wstring& id);  // .../video/embed?video_id=ID

// Adds up to two stream lines (address + "&src=sd&" / "&src=hd&") and gives
// the title and its short form. Without a page nothing is touched.
void FetchVideoInfo(const std::wstring& id, cls::TStringList& results, std::wstring& title,
                    std::wstring& shortTitle);
// Adds at most one snapshot line (address + "&src=snapshot&") and stores a
// JPEG snapshot as the video's thumbnail when that is missing or empty.
void FetchVideoSnapshot(const std::wstring& id, cls::TStringList& results);

// The title cut for the panel: past 66 UTF-16 units the first 66 (65 when
// the 66th starts a surrogate pair), trimmed, plus "...".
std::wstring ShortTitle(const std::wstring& title);

// The title rule: the header, else the caption, else "Video " + ID.
std::wstring ChooseVideoTitle(const std::wstring& header, const std::wstring& caption,
                              const std::wstring& id);

// Scans the video page: each of the four items is taken from the first line
// that has it; a line may give several.
class TVideoInfoScanner {
public:
    explicit TVideoInfoScanner(cls::TStringList& results) : results_(results) {}
    // False once all four items were found.
    bool Feed(const std::wstring& line);

    const std::wstring& Header() const { return header_; }
    const std::wstring& Caption() const { return caption_; }
    bool HeaderFound() const { return headerFound_; }
    bool CaptionFound() const { return captionFound_; }

private:
    bool FeedStream(const std::wstring& line, std::wstring_view key, std::wstring_view kind);

    cls::TStringList& results_;
    bool sdFound_ = false, hdFound_ = false, headerFound_ = false, captionFound_ = false;
    std::wstring header_, caption_;
};

// The snapshot address in one line of the embed page (backslashes removed),
// or empty when the line gives none.
std::wstring FindSnapshotAddress(std::wstring_view line);
// The extension of the address before its "?", by the file-name rule: a "/"
// does not end it, so a path without a dot gives ".host/path".
std::wstring SnapshotExtension(std::wstring_view address);
// Whether the snapshot may be stored as the thumbnail: that extension is
// exactly ".jpg".
bool IsJpegSnapshot(std::wstring_view address);

}  // namespace engine
