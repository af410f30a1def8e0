#include "VideoScraper.h"

#include "classlib/Files.h"
#include "classlib/Strings.h"
#include "Constants.h"
#include "FBapi.h"
#include "PageFetch.h"

namespace engine {

std::wstring SiteScheme = L"https://";

namespace {

constexpr auto npos = std::wstring::npos;
constexpr size_t kShortTitleLength = 66;

const std::wstring_view kHeaderMarker = L"<h2 class=\"uiHeaderTitle\"";
const std::wstring_view kCaptionMarker = L"class=\"hasCaption\">";
const std::wstring_view kSnapshotMarker = L"style=\"background-image: url(";

std::wstring WithoutBackslashes(std::wstring s) {
    std::erase(s, L'\\');
    return s;
}

}  // namespace

std::wstring VideoPageAddress(const std::wstring& id) {
    return SiteScheme + WebHost + L"/video.php?v=" + id;
}

std::wstring EmbedPageAddress(const std::wstring& id) {
    return SiteScheme + WebHost + L"/video/embed?video_id=" + id;
}

std::wstring ShortTitle(const std::wstring& title) {
    if (title.size() <= kShortTitleLength) return title;
    size_t cut = kShortTitleLength;
    // Never leave half of a surrogate pair behind.
    if (title[cut - 1] >= 0xD800 && title[cut - 1] <= 0xDBFF) --cut;
    return cls::Trim(std::wstring_view(title).substr(0, cut)) + L"...";
}

std::wstring ChooseVideoTitle(const std::wstring& header, const std::wstring& caption,
                              const std::wstring& id) {
    if (!header.empty()) return header;
    if (!caption.empty()) return caption;
    return L"Video " + id;
}

bool TVideoInfoScanner::FeedStream(const std::wstring& line, std::wstring_view key,
                                   std::wstring_view kind) {
    std::wstring marker = L"\"" + std::wstring(key) + L"\":\"";
    size_t p = line.find(marker);
    if (p == npos) return false;
    size_t start = p + marker.size();
    size_t end = line.find(L'"', start);
    std::wstring address = end == npos ? std::wstring() : line.substr(start, end - start);
    results_.Add(WithoutBackslashes(std::move(address)) + std::wstring(kind));
    return true;
}

bool TVideoInfoScanner::Feed(const std::wstring& line) {
    if (!sdFound_) sdFound_ = FeedStream(line, L"sd_src", L"&src=sd&");
    if (!hdFound_) hdFound_ = FeedStream(line, L"hd_src", L"&src=hd&");

    if (!headerFound_) {
        if (size_t p = line.find(kHeaderMarker); p != npos) {
            size_t g = line.find(L'>', p + kHeaderMarker.size());
            size_t e = g == npos ? npos : line.find(L"</h2>", g + 1);
            if (e != npos) {
                header_ = cls::Trim(DecodeHtmlEntities(std::wstring_view(line).substr(g + 1, e - g - 1)));
                headerFound_ = true;
            }
        }
    }

    if (!captionFound_) {
        if (size_t p = line.find(kCaptionMarker); p != npos) {
            std::wstring_view c = std::wstring_view(line).substr(p + kCaptionMarker.size());
            if (size_t s = c.find(L"</span"); s != npos) c = c.substr(0, s);
            caption_ = StripHtml(c);
            captionFound_ = true;
        }
    }

    return !(sdFound_ && hdFound_ && headerFound_ && captionFound_);
}

std::wstring FindSnapshotAddress(std::wstring_view line) {
    size_t p = line.find(kSnapshotMarker);
    if (p == npos) return {};
    size_t start = p + kSnapshotMarker.size();
    size_t end = line.find(L')', start);
    if (end == npos) return {};
    std::wstring_view a = line.substr(start, end - start);
    if (!cls::StartsWith(a, L"http")) return {};
    return WithoutBackslashes(std::wstring(a));
}

std::wstring SnapshotExtension(std::wstring_view address) {
    return cls::ExtractFileExt(address.substr(0, address.find(L'?')));
}

bool IsJpegSnapshot(std::wstring_view address) { return SnapshotExtension(address) == L".jpg"; }

void FetchVideoInfo(const std::wstring& id, cls::TStringList& results, std::wstring& title,
                    std::wstring& shortTitle) {
    // The ID becomes part of an address and of a file name.
    if (!IsValidVideoId(id)) return;
    TVideoInfoScanner scanner(results);
    if (!FetchPageLines(VideoPageAddress(id), [&](const std::wstring& line) { return scanner.Feed(line); }))
        return;
    title = ChooseVideoTitle(scanner.Header(), scanner.Caption(), id);
    shortTitle = ShortTitle(title);
}

void FetchVideoSnapshot(const std::wstring& id, cls::TStringList& results) {
    if (!IsValidVideoId(id)) return;
    FetchPageLines(EmbedPageAddress(id), [&](const std::wstring& line) {
        std::wstring address = FindSnapshotAddress(line);
        if (address.empty()) return true;
        if (IsJpegSnapshot(address)) {
            std::wstring name = id + L".jpg";
            if (ThumbnailNeedsFetch(ThumbnailsFolder + name)) DownloadToThumbnailFolder(name, address);
        }
        results.Add(address + L"&src=snapshot&");
        return false;
    });
}

}  // namespace engine
