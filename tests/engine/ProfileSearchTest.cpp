#include "engine/ProfileSearch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/FBapi.h"

namespace {

using engine::TLoggedInUser;

const TLoggedInUser Nobody{};
const TLoggedInUser Full{L"100004000000001", L"Jane.Doe"};
const TLoggedInUser IdOnly{L"100004000000001", L""};

struct ParseCase {
    const wchar_t* link;
    const TLoggedInUser* user;
    int kind;
    const wchar_t* part;
};

TEST(ParseProfileLink, KindsInTheirOrder) {
    const ParseCase cases[] = {
        {L"https://www.facebook.com/media/set/?set=vb.123456&type=2", &Nobody, 4, L"123456"},
        {L"https://www.facebook.com/media/set/?set=o.77&type=2", &Nobody, 6, L"77"},
        {L"https://www.facebook.com/media/set/?set=p.88&type=2", &Nobody, 7, L"88"},
        // vb. wins over o. when both occur.
        {L"https://www.facebook.com/media/set/?set=o.1&x=set=vb.2", &Nobody, 4, L"2"},
        {L"https://www.facebook.com/profile.php?id=4&sk=photos", &Nobody, 2, L"4"},
        {L"https://www.facebook.com/pages/Some-Page/123", &Nobody, 3, L"Some-Page/123"},
        {L"https://www.facebook.com/pages/NoId/", &Nobody, 3, L"NoId"},
        {L"https://www.facebook.com/people/Jo-Smith/100004000000002", &Nobody, 5, L"Jo-Smith/100004000000002"},
        {L"https://www.facebook.com/groups/555666/?ref=bookmarks", &Nobody, 8, L"555666"},
        {L"https://www.facebook.com/events/999/", &Nobody, 9, L"999"},
        {L"https://www.facebook.com/messages/thread/42", &Nobody, 10, L"thread/42"},
        {L"https://www.facebook.com/video.php?set=vb.31&type=3", &Nobody, 11, L"31"},
        // A media link without its set marker falls through to the later tests.
        {L"https://www.facebook.com/media/albums", &Nobody, 1, L"media"},
        {L"https://www.facebook.com/Some.User/about?ref=x", &Nobody, 1, L"Some.User"},
        {L"https://www.facebook.com/Some.User.", &Nobody, 1, L"Some.User"},
        // Markers in any case; the part keeps its own.
        {L"https://www.facebook.com/PAGES/Mixed-Case/12", &Nobody, 3, L"Mixed-Case/12"},
        {L"https://www.facebook.com/Profile.PHP?ID=77", &Nobody, 2, L"77"},
    };
    for (const auto& c : cases) {
        auto r = engine::ParseProfileLink(c.link, *c.user);
        EXPECT_EQ(r.Kind, c.kind) << c.link;
        EXPECT_EQ(r.Part, c.part) << c.link;
    }
}

TEST(ParseProfileLink, DomainTestIsCaseSensitiveAndMarkersCountOnlyAfterIt) {
    // Without the lower-case domain the link stands for the logged-in user.
    auto r = engine::ParseProfileLink(L"https://www.FACEBOOK.com/someone", Full);
    EXPECT_EQ(r.Kind, 1);
    EXPECT_EQ(r.Part, L"Jane.Doe");
    // "pages/" before the domain does not count.
    r = engine::ParseProfileLink(L"https://pages/x.facebook.com/someone", Nobody);
    EXPECT_EQ(r.Kind, 1);
    EXPECT_EQ(r.Part, L"someone");
}

TEST(ParseProfileLink, PercentDecodedAndTrimmed) {
    auto r = engine::ParseProfileLink(L"  https%3A%2F%2Fwww.facebook.com%2Fprofile.php%3Fid%3D55  ", Nobody);
    EXPECT_EQ(r.Kind, 2);
    EXPECT_EQ(r.Part, L"55");
}

TEST(ParseProfileLink, LoggedInFallbacks) {
    const ParseCase cases[] = {
        {L"no domain here", &Full, 1, L"Jane.Doe"},
        {L"no domain here", &IdOnly, 2, L"100004000000001"},
        {L"no domain here", &Nobody, 0, L""},
        {L"https://www.facebook.com/", &Full, 1, L"Jane.Doe"},
        {L"https://www.facebook.com/   ", &IdOnly, 2, L"100004000000001"},
        {L"https://www.facebook.com/", &Nobody, 0, L""},
        {L"", &Nobody, 0, L""},
    };
    for (const auto& c : cases) {
        auto r = engine::ParseProfileLink(c.link, *c.user);
        EXPECT_EQ(r.Kind, c.kind) << c.link;
        EXPECT_EQ(r.Part, c.part) << c.link;
    }
}

TEST(ParseProfileLink, EmptyPartIsNoKind) {
    for (const wchar_t* link : {L"https://www.facebook.com/?ref=logo", L"https://www.facebook.com/profile.php?id=&x",
                                L"https://www.facebook.com/groups/?x=1"}) {
        auto r = engine::ParseProfileLink(link, Full);
        EXPECT_EQ(r.Kind, 0) << link;
        EXPECT_EQ(r.Part, L"") << link;
    }
}

TEST(FetchUserId, IdFromTheLinkWithoutFetch) {
    // MobileHost unreachable: any fetch would come back empty.
    const std::wstring saved = engine::MobileHost;
    engine::MobileHost = L"unreachable.invalid";
    struct {
        const wchar_t* part;
        int kind;
        const wchar_t* id;
    } cases[] = {
        {L"4", 2, L"4"},
        {L"12ab", 2, L"12ab"},  // checked by the caller
        {L"123", 4, L"123"},
        {L"77", 6, L"77"},
        {L"88", 7, L"88"},
        {L"555", 8, L"555"},
        {L"999", 9, L"999"},
        {L"thread/42", 10, L"thread/42"},
        {L"31", 11, L"31"},
        {L"Name/123", 3, L"123"},
        {L"Name/", 3, L""},
        {L"Name", 3, L""},
        {L"Jo/100004000000002", 5, L"100004000000002"},
        {L"Jo", 5, L""},
    };
    for (const auto& c : cases) EXPECT_EQ(engine::FetchUserId(c.part, c.kind, Nobody), c.id) << c.part;
    engine::MobileHost = saved;
}

TEST(FetchUserId, LoggedInUserWithoutFetch) {
    EXPECT_EQ(engine::FetchUserId(L"Jane.Doe", 1, Full), L"100004000000001");
    EXPECT_EQ(engine::FetchUserId(L"100004000000001", 1, IdOnly), L"100004000000001");
    // An empty username matches nothing.
    EXPECT_EQ(engine::FetchUserId(L"", 1, IdOnly), L"");
    // Matching needs a logged-in ID.
    const std::wstring saved = engine::MobileHost;
    engine::MobileHost = L"unreachable.invalid";
    EXPECT_EQ(engine::FetchUserId(L"Jane.Doe", 1, TLoggedInUser{L"", L"Jane.Doe"}), L"");
    engine::MobileHost = saved;
}

TEST(IsProfileName, OnlyPlainNames) {
    for (const wchar_t* ok : {L"jane.doe", L"Some-Page_2", L"a", L"1000"}) EXPECT_TRUE(engine::IsProfileName(ok)) << ok;
    for (const wchar_t* bad : {L"", L".", L"..", L"a/b", L"a\\b", L"x:y@evil", L"a b", L"caf\u00e9", L"a%2f"})
        EXPECT_FALSE(engine::IsProfileName(bad)) << bad;
}

std::wstring Scan(const std::vector<std::wstring>& lines) {
    engine::TProfileIdScanner s;
    for (const auto& l : lines) s.Feed(l);
    return s.Id();
}

TEST(ProfileIdScanner, EachMarkerWithItsStop) {
    struct {
        const wchar_t* line;
        const wchar_t* id;
    } cases[] = {
        {L"<a href=\"/a/mobile/friends/profile_add_friend.php?subjectid=101&gfid=x\">", L"101"},
        {L"<a href=\"/removefriend.php?friend_id=102&unref=x\">", L"102"},
        {L"<a href=\"/privacy/touch/block/confirm/?bid=103&ret=1\">", L"103"},
        {L"<a href=\"/a/subscribe.php?id=104&gfid=x\">", L"104"},
        {L"<a href=\"/a/subscriptions/remove?subject_id=105&x\">", L"105"},
        {L"<a href=\"/messages/thread/106/?refid=17\">", L"106"},
        {L"<a href=\"/mbasic/more/?owner_id=107\">", L"107"},
        {L"<a href=\"/a/profile.php?fan&id=108&origin=page\">", L"108"},
        {L"<a href=\"/a/profile.php?unfan&id=109&x\">", L"109"},
        {L"<a href=\"/pages/more/110/\">", L"110"},
        {L"<a href=\"/save/story/basic/?object_id=111&x\">", L"111"},
        {L"x profileID=112&y", L"112"},
        {L"x profileid=113&y", L"113"},
        {L"<A HREF=\"/REMOVEFRIEND.PHP?FRIEND_ID= 114 &x\">", L"114"},
        // A marker without its stop on the same line gives nothing.
        {L"<a href=\"/removefriend.php?friend_id=115", L""},
        {L"<a href=\"/mbasic/more/?owner_id=116&x", L""},
        {L"nothing to see", L""},
    };
    for (const auto& c : cases) EXPECT_EQ(Scan({c.line}), c.id) << c.line;
}

TEST(ProfileIdScanner, AddFriendLinkWinsWhereverItIs) {
    std::vector<std::wstring> page(30, L"<div>filler</div>");
    page[9] = L"<a href=\"/privacy/touch/block/confirm/?bid=300&x\">";
    page[19] = L"<a href=\"/a/mobile/friends/profile_add_friend.php?subjectid=100&x\">";
    EXPECT_EQ(Scan(page), L"100");
    // The later add-friend link replaces the earlier one.
    page[25] = L"<a href=\"/a/mobile/friends/profile_add_friend.php?subjectid=101&x\">";
    EXPECT_EQ(Scan(page), L"101");
}

TEST(ProfileIdScanner, OtherMarkersOnlyWhileNothingFound) {
    EXPECT_EQ(Scan({L"<a href=\"/a/subscribe.php?id=1&x\">", L"<a href=\"/removefriend.php?friend_id=2&x\">"}), L"1");
    // In one line the earlier marker of the list wins.
    EXPECT_EQ(Scan({L"profileid=9& <a href=\"/removefriend.php?friend_id=2&x\">"}), L"2");
}

}  // namespace
