// Recognition of the site's links, video IDs out of them, percent-decoding
// and the names of temporary page files.
#pragma once
#include <string>
#include <string_view>

namespace engine {

// Variables rather than constants so that tests can aim the engine at other
// hosts; no setting of the program changes them.
extern std::wstring SiteDomain;   // the site's domain, lower case, no host label
extern std::wstring WebHost;      // the web site's host
extern std::wstring MobileHost;   // the mobile site's host
extern std::wstring PictureHost;  // the picture service's host

// The short form of the domain under the host label of WebHost.
std::wstring ShortWebHost();

// The link tests trim the text and percent-decode it first; every search is
// case-sensitive.
bool IsFacebookLink(std::wstring_view link);
// Only the site's name or its home address.
bool IsSiteHomeLink(std::wstring_view link);
// One of the video link forms, carrying a valid video ID.
bool IsVideoLink(std::wstring_view link);
// The video ID of a video link; empty for anything else.
std::wstring ExtractVideoId(std::wstring_view link);
// The site's video IDs are decimal digit strings.
bool IsValidVideoId(std::wstring_view id);

// Cuts the text before its first delimiter character and drops a trailing
// ".", "/", "\" and double quote, in that order, at most one of each.
void TruncateAtDelimiters(std::wstring& text);

// Six random decimal digits, re-seeded from the performance counter on every
// call, so two names made within one counter tick can be equal.
std::wstring MakeRandomFileName();

// "%XY" becomes the one character (XY mod 256), "+" a blank; escaped UTF-8
// sequences are not combined.
std::wstring DecodeUrl(std::wstring_view text);
// 0-15 for hexadecimal digits; other characters give whatever the same
// arithmetic gives, which DecodeUrl folds modulo 256.
int ParseHexDigit(wchar_t c);

}  // namespace engine
