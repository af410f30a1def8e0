#include "FBapi.h"

#include <windows.h>
#include <cstdint>

#include "classlib/Strings.h"

namespace engine {

std::wstring SiteDomain = L"facebook.com";
std::wstring WebHost = L"www.facebook.com";
std::wstring MobileHost = L"m.facebook.com";
std::wstring PictureHost = L"graph.facebook.com";

namespace {

constexpr auto npos = std::wstring::npos;

std::wstring Prepare(std::wstring_view link) { return DecodeUrl(cls::Trim(link)); }

// "v=" inside another parameter ("nav=5") is not the video parameter.
size_t FindVParam(std::wstring_view text, size_t from = 0) {
    for (size_t p = text.find(L"v=", from); p != npos; p = text.find(L"v=", p + 1))
        if (p > 0 && (text[p - 1] == L'?' || text[p - 1] == L'&')) return p;
    return npos;
}

bool HasVideoMarkers(std::wstring_view text) {
    size_t p = text.find(SiteDomain + L"/");
    if (p == npos) return false;
    size_t start = p + SiteDomain.size() + 1;
    auto has = [&](std::wstring_view marker) { return text.find(marker, start) != npos; };
    return ((has(L"photo.php?") || has(L"video.php?")) && FindVParam(text, start) != npos) ||
           (has(L"video/embed?") && has(L"video_id=")) ||
           (has(L"story.php?") && has(L"story_fbid=")) || has(L"/videos/");
}

// The ID as the link gives it, valid or not.
std::wstring ExtractIdCandidate(std::wstring_view text) {
    if (text.find(SiteDomain + L"/") == npos) return {};
    std::wstring r;
    size_t p;
    if ((p = FindVParam(text)) != npos) {
        r = text.substr(p + 2);
    } else if ((p = text.find(L"video_id=")) != npos) {
        r = text.substr(p + 9);
    } else if ((p = text.find(L"story_fbid=")) != npos) {
        r = text.substr(p + 11);
    } else if ((p = text.find(L"/videos/")) != npos) {
        r = text.substr(p + 8);
        // Skip a media-set prefix such as "a.123/" or "vb.123/".
        size_t dot = r.find(L'.'), slash = r.find(L'/');
        if ((dot == 1 || dot == 2) && slash != npos) r.erase(0, slash + 1);
    }
    TruncateAtDelimiters(r);
    return cls::Trim(r);
}

uint32_t randSeed;

uint32_t RandomBelow(uint32_t n) {
    randSeed = randSeed * 134775813u + 1;
    return static_cast<uint32_t>((static_cast<uint64_t>(randSeed) * n) >> 32);
}

}  // namespace

std::wstring ShortWebHost() {
    std::wstring label = cls::EndsWith(WebHost, SiteDomain)
                             ? WebHost.substr(0, WebHost.size() - SiteDomain.size())
                             : std::wstring();
    return label + L"fb.com";
}

bool IsFacebookLink(std::wstring_view link) { return cls::Contains(Prepare(link), SiteDomain); }

bool IsSiteHomeLink(std::wstring_view link) {
    std::wstring t = Prepare(link);
    return t == L"facebook" || t == L"fb" || t == SiteDomain || t == SiteDomain + L"/" ||
           t == L"http://" + WebHost + L"/" || t == L"https://" + WebHost + L"/";
}

bool IsVideoLink(std::wstring_view link) { return !ExtractVideoId(link).empty(); }

std::wstring ExtractVideoId(std::wstring_view link) {
    // Markers and ID come from the same text, decoded once: decoding it
    // again could turn an accepted link into one without an ID.
    std::wstring t = Prepare(link);
    if (!HasVideoMarkers(t)) return {};
    std::wstring id = ExtractIdCandidate(t);
    return IsValidVideoId(id) ? id : std::wstring();
}

bool IsValidVideoId(std::wstring_view id) { return cls::IsAsciiDigits(id); }

void TruncateAtDelimiters(std::wstring& text) {
    for (wchar_t c : std::wstring_view(L"&?#%|,;][)( "))
        if (size_t p = text.find(c); p != npos) text.erase(p);
    for (wchar_t c : std::wstring_view(L"./\\\""))
        if (!text.empty() && text.back() == c) text.pop_back();
}

std::wstring MakeRandomFileName() {
    LARGE_INTEGER counter;
    randSeed = QueryPerformanceCounter(&counter) ? static_cast<uint32_t>(counter.QuadPart)
                                                 : GetTickCount();
    std::wstring name;
    for (int i = 0; i < 6; ++i) name += static_cast<wchar_t>(L'0' + RandomBelow(10));
    return name;
}

std::wstring DecodeUrl(std::wstring_view text) {
    std::wstring r;
    r.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (c == L'%') {
            if (i + 2 >= text.size()) {  // a cut-off escape
                r += L'%';
                break;
            }
            r += static_cast<wchar_t>((ParseHexDigit(text[i + 1]) * 16 + ParseHexDigit(text[i + 2])) % 256);
            i += 2;
        } else {
            r += c == L'+' ? L' ' : c;
        }
    }
    return r;
}

int ParseHexDigit(wchar_t c) {
    int v = c;
    if (v < 48) return v + 208;
    if (v <= 64) return v - 48;
    if (v <= 96) return v - 55;
    return v - 87;
}

}  // namespace engine
