#include "forms/LoginPage.h"

#include <windows.h>

#include "classlib/Strings.h"
#include "engine/FBapi.h"
#include "engine/PageFetch.h"
#include "forms/uFrmFindFacebookUserID.h"

namespace app {

using cls::LowerCase;
using cls::Trim;

namespace {

constexpr auto npos = std::wstring::npos;

const wchar_t* const LogoutMarker = L"/logout.php?";
const wchar_t* const OwnerMarker = L"\"owner\":";
// The composer forms' markers, in the order their IDs are preferred.
const wchar_t* const ComposerMarkers[] = {
    L"action=/composer/mbasic/?__av=",
    L"action=\"/composer/mbasic/?__av=",
    L"action=\"/composer/mbasic/?av=",
    L"action=/composer/mbasic/?av=",
};
const wchar_t* const WrongCredentialsMarker = L"class=\"t u j v\"";
const wchar_t* const ErrorPageMarker = L"ErrorPageTemplate.css";
const wchar_t* const UsernameMarker = L"class=\"_2dpe _1ayn\" href=\"";
const wchar_t* const UsernamePath = L"/953104518345678120578173348956906163785496";
const wchar_t* const UnnamedUser = L"Facebook User";

std::wstring DecodeLine(const std::wstring& line) { return engine::DecodeHtmlEntities(engine::DecodeUrl(line)); }

std::wstring Web(const std::wstring& path) { return L"https://" + engine::WebHost + path; }

// The text after Marker up to Stop, trimmed, taken from Line at the place
// the marker has in Lower; nothing when the marker or the stop is missing.
bool ValueAfter(const std::wstring& line, const std::wstring& lower, std::wstring_view marker, wchar_t stop,
                std::wstring& value) {
    size_t p = lower.find(marker);
    if (p == npos) return false;
    size_t start = p + marker.size();
    size_t end = line.find(stop, start);
    if (end == npos) return false;
    value = Trim(std::wstring_view(line).substr(start, end - start));
    return true;
}

// The text between the first "(" at or after From and the next ")".
bool Parenthesised(const std::wstring& line, size_t from, std::wstring& name) {
    size_t open = line.find(L'(', from);
    if (open == npos) return false;
    size_t close = line.find(L')', open + 1);
    if (close == npos) return false;
    name = line.substr(open + 1, close - open - 1);
    return true;
}

// The logout link of a line: the address and the display name beside it,
// which the site writes after the link's ">" in parentheses, or on the
// next line when it did not fit.
void ReadLogoutLink(const std::wstring& line, const std::wstring* nextLine, TLoginPage& page) {
    size_t p = line.find(LogoutMarker);
    if (p == npos) return;
    size_t start = p + std::wcslen(LogoutMarker);
    size_t quote = line.find(L'"', start);
    page.LogoutUrl = L"https://" + engine::MobileHost + LogoutMarker +
                     (quote == npos ? std::wstring() : line.substr(start, quote - start));
    size_t gt = line.find(L'>', quote == npos ? 0 : quote);
    if (gt == npos) return;
    size_t open = line.find(L'(', gt + 1);
    bool closeAfterOpen = open != npos && line.find(L')', open + 1) != npos;
    if (closeAfterOpen) {
        Parenthesised(line, gt + 1, page.DisplayName);
    } else if (open != npos || line.find(L')') == npos) {
        if (nextLine) Parenthesised(DecodeLine(*nextLine), 0, page.DisplayName);
    }
    if (page.DisplayName.empty()) page.DisplayName = UnnamedUser;
}

bool IsUsernameChar(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'.';
}

}  // namespace

std::wstring DecodeDocumentBytes(std::string_view bytes) {
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    if (bytes.empty()) return {};
    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                                nullptr, 0);
    if (n > 0) return cls::Utf8ToWide(bytes);
    return cls::CodePageToWide(bytes, CP_ACP);
}

bool TLoginPage::LoggedIn() const { return !Failed && !LogoutUrl.empty() && IsNumber(UserId); }

TLoginPage ScanLoginPage(const std::vector<std::wstring>& lines) {
    TLoginPage page;
    bool errorPage = false;
    for (const std::wstring& l : lines)
        if (l.find(ErrorPageMarker) != npos) errorPage = true;
    if (lines.empty() || errorPage) {
        page.Failed = true;
        return page;
    }

    std::wstring owner, composer[4];
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::wstring line = DecodeLine(lines[i]);
        ReadLogoutLink(line, i + 1 < lines.size() ? &lines[i + 1] : nullptr, page);
        const std::wstring lower = LowerCase(line);
        ValueAfter(line, lower, OwnerMarker, L',', owner);
        for (int k = 0; k < 4; ++k) ValueAfter(line, lower, ComposerMarkers[k], L'&', composer[k]);
        if (lower.find(WrongCredentialsMarker) != npos) page.WrongCredentials = true;
    }
    page.UserId = composer[3];
    for (const std::wstring* id : {&owner, &composer[0], &composer[1], &composer[2]})
        if (!id->empty()) {
            page.UserId = *id;
            break;
        }
    return page;
}

std::wstring UsernameFromLine(const std::wstring& line) {
    size_t p = line.find(UsernameMarker);
    if (p == npos) return {};
    size_t start = p + std::wcslen(UsernameMarker);
    size_t quote = line.find(L'"', start);
    std::wstring link = Trim(std::wstring_view(line).substr(start, quote == npos ? npos : quote - start));
    const std::wstring domain = engine::SiteDomain + L"/";
    size_t d = link.find(domain);
    if (link.empty() || d == npos) return {};
    std::wstring name = link.substr(d + domain.size());
    // A query, fragment, deeper path or blank is no part of the name.
    name = name.substr(0, name.find_first_of(L"?#/ \t"));
    if (name.empty()) return {};
    for (wchar_t c : name)
        if (!IsUsernameChar(c)) return {};
    return name;
}

std::wstring UsernamePageAddress() { return Web(UsernamePath); }

std::wstring SessionDetailsText(const std::wstring& d, const std::wstring& username, const std::wstring& id) {
    const std::wstring lf = L"\n", gap = L"\n\n";
    std::wstring s = L"*** Facebook Session Details for " + d + L" ***" + gap + L"Name: " + d;
    if (!username.empty()) s += gap + L"Username: " + LowerCase(username);
    s += gap + L"UID: " + id;
    s += gap + L"Profile links:" + gap;
    if (!username.empty()) s += LowerCase(Web(L"/" + username)) + gap;
    s += Web(L"/profile.php?id=" + id) + gap;
    s += Web(L"/" + id) + gap;
    s += L"https://" + engine::MobileHost + L"/" + id + gap;
    s += L"https://" + engine::ShortWebHost() + L"/" + id;
    s += gap + L"Videos link:" + gap;
    s += Web(L"/media/set/?set=vb." + id + L"&type=2");
    return s + lf;
}

std::wstring ProfileAddress(const std::wstring& username, const std::wstring& id) {
    if (!username.empty()) return LowerCase(Web(L"/" + username));
    return Web(L"/profile.php?id=" + id);
}

}  // namespace app
