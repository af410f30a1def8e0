#include "engine/FBapi.h"

#include <gtest/gtest.h>
#include <set>

namespace engine {
namespace {

const std::wstring D = L"https://www.facebook.com";

TEST(FBapiTest, RecognisesSiteLinks) {
    struct Case {
        std::wstring link;
        bool site, home;
    } cases[] = {
        {L"facebook", false, true},
        {L"fb", false, true},
        {L"  fb\t", false, true},
        {L"facebook.com", true, true},
        {L"facebook.com/", true, true},
        {L"facebook%2Ecom", true, true},
        {L"http://www.facebook.com/", true, true},
        {L"https://www.facebook.com/", true, true},
        {L"https://www.facebook.com", true, false},
        {L"facebook.com//", true, false},
        {L"http://facebook.com/", true, false},
        {L"www.facebook.com", true, false},
        {L"https://m.facebook.com/", true, false},
        {L"xfacebook.comx", true, false},
        {D + L"/someone", true, false},
        {L"Facebook", false, false},
        {L"FACEBOOK.COM", false, false},
        {L"fb.com", false, false},
        {L"", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsFacebookLink(c.link), c.site) << c.link;
        EXPECT_EQ(IsSiteHomeLink(c.link), c.home) << c.link;
    }
}

// An empty ID means "not a video link": both answers must agree.
TEST(FBapiTest, VideoLinksAndIds) {
    struct Case {
        std::wstring link, id;
    } cases[] = {
        {D + L"/video.php?v=123", L"123"},
        {D + L"/video.php?v=123&set=a.1", L"123"},
        {D + L"/video.php?v=123#top", L"123"},
        {L"  " + D + L"/video.php?v=123 x  ", L"123"},
        {D + L"/video.php?v=123/", L"123"},
        {D + L"/photo.php?v=55", L"55"},
        {D + L"/photo.php?fbid=5&set=a.1&v=77", L"77"},
        {D + L"/someone/videos/vb.123/456/", L"456"},
        {D + L"/someone/videos/a.12/456", L"456"},
        {D + L"/someone/videos/789", L"789"},
        {D + L"/someone/videos/789/", L"789"},
        {D + L"/someone/videos/789/?nav=5", L"789"},
        {D + L"/video/embed?video_id=321", L"321"},
        {D + L"/video/embed?video_id=321&v=654", L"654"},
        {D + L"/story.php?story_fbid=999&id=1", L"999"},
        {L"https://l.example.com/l.php?u=https%3A%2F%2Fwww.facebook.com%2Fvideo.php%3Fv%3D42%26x%3D1", L"42"},
        // Percent escapes: accepted and ID come from the text decoded once.
        {L"https://%25.facebook.com/video.php?v=123", L"123"},
        {D + L"/video.php%3Fv%3D88", L"88"},
        {D + L"%2Fvideo.php?v=%38%39", L"89"},
        {D + L"/video.php?v=90%2526x", L"90"},
        {D + L"/video.php?v%253D91", L""},
        {L"https://www.facebook%2Ecom/videos/%25/92", L""},
        // Not video links.
        {D + L"/story.php?id=1", L""},
        {D + L"/video/embed?v=1", L""},
        {D + L"/profile.php?v=123", L""},
        {D + L"/video.php?nav=1", L""},
        {D + L"/video.php?v=", L""},
        {D + L"/video.php?v=12a", L""},
        {D + L"/someone/videos/abc/", L""},
        {D + L"/someone/videos/", L""},
        {L"HTTPS://WWW.FACEBOOK.COM/video.php?v=123", L""},
        {L"https://www.fb.com/video.php?v=123", L""},
        {L"www.facebook.com?v=1&/videos/2", L""},
        // The markers are searched after the domain's "/", which this one is.
        {L"facebook.com/videos/123", L""},
        {L"", L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExtractVideoId(c.link), c.id) << c.link;
        EXPECT_EQ(IsVideoLink(c.link), !c.id.empty()) << c.link;
    }
}

TEST(FBapiTest, ValidVideoIdsAreAsciiDigits) {
    EXPECT_TRUE(IsValidVideoId(L"0"));
    EXPECT_TRUE(IsValidVideoId(L"10200271954219923"));
    for (std::wstring_view bad : {L"", L"12a", L" 12", L"-1", L"1.5", L"\uFF11\uFF12"})
        EXPECT_FALSE(IsValidVideoId(bad)) << std::wstring(bad);
}

TEST(FBapiTest, FollowsTheHostVariables) {
    std::wstring site = SiteDomain, web = WebHost;
    SiteDomain = L"example.org";
    WebHost = L"web.example.org";
    EXPECT_TRUE(IsSiteHomeLink(L"https://web.example.org/"));
    EXPECT_FALSE(IsSiteHomeLink(L"https://www.facebook.com/"));
    EXPECT_EQ(ExtractVideoId(L"example.org/video.php?v=5"), L"5");
    EXPECT_FALSE(IsVideoLink(D + L"/video.php?v=5"));
    EXPECT_EQ(ShortWebHost(), L"web.fb.com");
    SiteDomain = site;
    WebHost = web;
    EXPECT_EQ(ShortWebHost(), L"www.fb.com");
}

TEST(FBapiTest, TruncateAtDelimiters) {
    struct Case {
        std::wstring in, out;
    } cases[] = {
        {L"123?x", L"123"}, {L"123.", L"123"},   {L"&", L""},        {L"", L""},
        {L"12#3&4", L"12"}, {L"12/.", L"12"},    {L"12./", L"12."},  {L"1..", L"1."},
        {L"12\"", L"12"},   {L"12\\", L"12"},    {L"12\"\\/.", L"12"}, {L"a.b", L"a.b"},
        {L"12\"/", L"12"},     {L"12/\"", L"12/"},
    };
    for (auto c : cases) {
        std::wstring s = c.in;
        TruncateAtDelimiters(s);
        EXPECT_EQ(s, c.out) << c.in;
    }
    for (wchar_t d : std::wstring_view(L"&?#%|,;][)( ")) {
        std::wstring s = std::wstring(L"5") + d + L"6";
        TruncateAtDelimiters(s);
        EXPECT_EQ(s, L"5") << int(d);
    }
}

TEST(FBapiTest, DecodeUrl) {
    struct Case {
        std::wstring in, out;
    } cases[] = {
        {L"%41%42", L"AB"},
        {L"a+b", L"a b"},
        {L"%C3%A9", L"\u00C3\u00A9"},
        {L"%ff", L"\u00FF"},
        {L"%2B", L"+"},
        {L"x%4", L"x%"},
        {L"x%", L"x%"},
        {L"%zz", L"S"},  // (35 * 16 + 35) mod 256
        {L"%%41", L"T1"},
        {L"\u00E9 plain", L"\u00E9 plain"},
        {L"", L""},
    };
    for (const auto& c : cases) EXPECT_EQ(DecodeUrl(c.in), c.out) << c.in;
    EXPECT_EQ(DecodeUrl(L"a%00b"), std::wstring(L"a\0b", 3));
}

TEST(FBapiTest, ParseHexDigit) {
    struct Case {
        wchar_t c;
        int v;
    } cases[] = {
        {L'0', 0},    {L'9', 9},   {L'A', 10},  {L'F', 15},   {L'a', 10},     {L'f', 15},
        {L'G', 16},   {L'z', 35},  {L'@', 16},  {L'`', 41},   {L' ', 240},    {L'\0', 208},
        {L'\u00E9', 146},
    };
    for (auto c : cases) EXPECT_EQ(ParseHexDigit(c.c), c.v) << int(c.c);
}

TEST(FBapiTest, RandomFileNamesAreSixDigits) {
    std::set<std::wstring> names;
    std::set<wchar_t> digits;
    for (int i = 0; i < 200; ++i) {
        std::wstring n = MakeRandomFileName();
        ASSERT_EQ(n.size(), 6u) << n;
        ASSERT_TRUE(IsValidVideoId(n)) << n;
        names.insert(n);
        digits.insert(n.begin(), n.end());
    }
    EXPECT_GT(names.size(), 1u);
    EXPECT_EQ(digits.size(), 10u);
}

}  // namespace
}  // namespace engine
