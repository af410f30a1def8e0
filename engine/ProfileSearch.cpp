#include "ProfileSearch.h"

#include <memory>

#include "classlib/Files.h"
#include "classlib/Strings.h"
#include "FBapi.h"
#include "HTTPGet.h"
#include "PageFetch.h"
#include "VideoScraper.h"

namespace engine {

namespace {

constexpr auto npos = std::wstring::npos;
constexpr int kPictureSize = 74;

struct TMarker {
    std::wstring_view text;  // lower case: the page line is matched lower-cased
    wchar_t stop;
};

const TMarker kMarkers[] = {
    {L"href=\"/a/mobile/friends/profile_add_friend.php?subjectid=", L'&'},
    {L"href=\"/removefriend.php?friend_id=", L'&'},
    {L"href=\"/privacy/touch/block/confirm/?bid=", L'&'},
    {L"href=\"/a/subscribe.php?id=", L'&'},
    {L"href=\"/a/subscriptions/remove?subject_id=", L'&'},
    {L"href=\"/messages/thread/", L'/'},
    {L"href=\"/mbasic/more/?owner_id=", L'"'},
    {L"href=\"/a/profile.php?fan&id=", L'&'},
    {L"href=\"/a/profile.php?unfan&id=", L'&'},
    {L"href=\"/pages/more/", L'/'},
    {L"href=\"/save/story/basic/?object_id=", L'&'},
    {L"profileid=", L'&'},
};

// The ID a marker gives in the line, or nothing.
bool TryMarker(const std::wstring& line, const std::wstring& low, const TMarker& m, std::wstring& id) {
    size_t p = low.find(m.text);
    if (p == npos) return false;
    size_t s = p + m.text.size();
    size_t e = line.find(m.stop, s);
    if (e == npos) return false;
    id = cls::Trim(std::wstring_view(line).substr(s, e - s));
    return true;
}

TProfileLink FromLoggedInUser(const TLoggedInUser& user) {
    if (!user.Username.empty()) return {user.Username, plkName};
    if (!user.Id.empty()) return {user.Id, plkProfileId};
    return {};
}

bool Has(const std::wstring& low, std::wstring_view what, size_t from) { return low.find(what, from) != npos; }

}  // namespace

TProfileLink ParseProfileLink(std::wstring_view link, const TLoggedInUser& user) {
    const std::wstring t = DecodeUrl(cls::Trim(link));
    const std::wstring domain = SiteDomain + L"/";
    const size_t d = t.find(domain);
    if (d == npos) return FromLoggedInUser(user);

    const size_t start = d + domain.size();
    const std::wstring low = cls::LowerCase(t);
    // Everything after the first occurrence of Marker in the rest.
    auto after = [&](std::wstring_view marker) { return t.substr(low.find(marker, start) + marker.size()); };

    TProfileLink r;
    const bool media = Has(low, L"media/", start);
    if (media && Has(low, L"set=vb.", start)) r = {after(L"set=vb."), plkVideoSet};
    else if (media && Has(low, L"set=o.", start)) r = {after(L"set=o."), plkAlbumSet};
    else if (media && Has(low, L"set=p.", start)) r = {after(L"set=p."), plkPhotoSet};
    else if (Has(low, L"profile.php?", start) && Has(low, L"id=", start)) r = {after(L"id="), plkProfileId};
    else if (Has(low, L"pages/", start)) r = {after(L"pages/"), plkPages};
    else if (Has(low, L"people/", start)) r = {after(L"people/"), plkPeople};
    else if (Has(low, L"groups/", start)) r = {after(L"groups/"), plkGroups};
    else if (Has(low, L"events/", start)) r = {after(L"events/"), plkEvents};
    else if (Has(low, L"messages/", start)) r = {after(L"messages/"), plkMessages};
    else if (Has(low, L"video.php?", start) && Has(low, L"set=vb.", start)) r = {after(L"set=vb."), plkVideoPhpSet};
    else if (std::wstring rest = t.substr(start); !cls::Trim(rest).empty()) r = {rest.substr(0, rest.find(L'/')), plkName};
    else r = FromLoggedInUser(user);

    TruncateAtDelimiters(r.Part);
    // "facebook.com/?ref=x" names nobody; a search for it would scrape some
    // other profile's ID off the home page.
    if (r.Part.empty()) r.Kind = plkNone;
    return r;
}

bool IsProfileName(std::wstring_view part) {
    if (part.empty() || part.find_first_not_of(L'.') == std::wstring_view::npos) return false;
    for (wchar_t c : part)
        if (!((c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'.' ||
              c == L'-' || c == L'_'))
            return false;
    return true;
}

std::wstring MobileProfileAddress(const std::wstring& part) { return SiteScheme + MobileHost + L"/" + part; }

std::wstring ProfilePictureAddress(const std::wstring& userId) {
    const std::wstring size = cls::IntToStr(kPictureSize);
    return SiteScheme + PictureHost + L"/" + userId + L"/picture?height=" + size + L"&width=" + size;
}

void TProfileIdScanner::Feed(const std::wstring& line) {
    const std::wstring low = cls::LowerCase(line);
    std::wstring id;
    if (TryMarker(line, low, kMarkers[0], id)) id_ = id;
    for (size_t i = 1; i < std::size(kMarkers) && id_.empty(); ++i)
        if (TryMarker(line, low, kMarkers[i], id)) id_ = id;
}

std::wstring FetchUserId(const std::wstring& part, int kind, const TLoggedInUser& user) {
    switch (kind) {
        case plkProfileId:
        case plkVideoSet:
        case plkAlbumSet:
        case plkPhotoSet:
        case plkGroups:
        case plkEvents:
        case plkMessages:
        case plkVideoPhpSet:
            return part;
        case plkPages:
        case plkPeople: {
            size_t slash = part.rfind(L'/');
            if (slash == npos || slash + 1 == part.size()) return {};
            return part.substr(slash + 1);
        }
        default:
            break;
    }
    if (part.empty()) return {};
    if ((part == user.Username || part == user.Id) && !user.Id.empty()) return user.Id;
    // The part becomes the path of the address.
    if (!IsProfileName(part)) return {};

    TProfileIdScanner scanner;
    FetchPageLines(MobileProfileAddress(part), [&](const std::wstring& line) {
        scanner.Feed(line);
        return true;
    });
    return scanner.Id();
}

bool DownloadProfilePicture(const std::wstring& fileName, const std::wstring& userId) {
    // The ID goes into the address.
    if (!cls::IsAsciiDigits(userId)) return false;
    try {
        cls::ForceDirectories(cls::ExtractFilePath(fileName));
    } catch (...) {
        // The transfer then fails and says so.
    }
    bool ok = false;
    {
        std::unique_ptr<THTTPGet> http(new THTTPGet(PageFetchOwner));
        http->WaitThread = true;
        http->UseCache = false;
        http->MaxBytes = PageFetchMaxBytes;
        http->FileName = fileName;
        http->URL = ProfilePictureAddress(userId);
        http->GetFile();
        ok = http->ArrivedWhole();
    }
    if (ok && cls::FileExists(fileName) && GetFileSize64(fileName) > 0) return true;
    cls::RemoveFile(fileName);
    return false;
}

}  // namespace engine
