// What the login window reads out of saved pages of the mobile site, the
// username page's link and the session details it builds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "classlib/StringList.h"
#include "classlib/Strings.h"
#include "forms/LoginPage.h"
#include "tests/forms/LoginTestSupport.h"

using namespace app;

namespace {

TLoginPage Scan(const wchar_t* resource) {
    return ScanLoginPage(cls::SplitLines(DecodeDocumentBytes(logintest::PageBytes(resource))));
}

}  // namespace

TEST(LoginPage, SavedPagesAreRecognised) {
    const std::wstring m = L"https://m.facebook.com/logout.php?";
    struct Case {
        const wchar_t* page;
        bool loggedIn, failed, wrong;
        std::wstring id, name, logout;
    } cases[] = {
        {L"LOGINPAGE_LOGIN", false, false, false, L"", L"", L""},
        {L"LOGINPAGE_OWNER", true, false, false, L"100004000000001", L"Jane Doe",
         m + L"h=AfdQ2f&t=1448000000&ref_component=mbasic_footer"},
        // The name did not fit on the link's line.
        {L"LOGINPAGE_NEXTLINE", true, false, false, L"100004000000002", L"Jane Doe", m + L"h=Bx9&t=1448000001"},
        {L"LOGINPAGE_UNNAMED", true, false, false, L"100004000000003", L"Facebook User", m + L"h=Cc1"},
        {L"LOGINPAGE_WRONG", false, false, true, L"", L"", L""},
        {L"LOGINPAGE_ERROR", false, true, false, L"", L"", L""},
        {L"LOGINPAGE_LOGOUTNOID", false, false, false, L"", L"Jane Doe", m + L"h=Dd2&t=1"},
        {L"LOGINPAGE_IDNOLOGOUT", false, false, false, L"100004000000001", L"", L""},
        // Served as UTF-8: read as such, not in the ANSI code page.
        {L"LOGINPAGE_NONASCII", true, false, false, L"100004000000004", L"Jos\u00e9 M\u00fcller \u0402\u043e\u0440\u0452\u0435",
         m + L"h=Ee3"},
        // An ID that is not a number would go into file names and addresses.
        {L"LOGINPAGE_BADID", false, false, false, L"\"1000x4000\"", L"Jane Doe", m + L"h=Ff4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(cls::WideToUtf8(c.page));
        TLoginPage p = Scan(c.page);
        EXPECT_EQ(p.LoggedIn(), c.loggedIn);
        EXPECT_EQ(p.Failed, c.failed);
        EXPECT_EQ(p.WrongCredentials, c.wrong);
        EXPECT_EQ(p.UserId, c.id);
        EXPECT_EQ(p.DisplayName, c.name);
        EXPECT_EQ(p.LogoutUrl, c.logout);
    }
    EXPECT_TRUE(ScanLoginPage({}).Failed);
}

TEST(LoginPage, IdSourcesAndNameRulesLineByLine) {
    const std::wstring logout = L"<a href=\"/logout.php?h=1\">Log Out (A)</a>";
    struct Case {
        std::vector<std::wstring> lines;
        std::wstring id, name;
        std::wstring query = L"h=1";
    } cases[] = {
        // The owner beats every composer form; then the order of the forms.
        {{L"action=/composer/mbasic/?av=6&", L"action=/composer/mbasic/?__av=3&", L"{\"OWNER\": 9 ,", logout}, L"9", L"A"},
        {{L"action=/composer/mbasic/?av=6&", L"ACTION=\"/composer/mbasic/?av=5&", logout}, L"5", L"A"},
        {{L"action=/composer/mbasic/?av=6&", L"action=\"/composer/mbasic/?__av=4&x", logout}, L"4", L"A"},
        {{L"action=/composer/mbasic/?av= 6 &", logout}, L"6", L"A"},
        // A later line replaces an earlier one; a marker without its stop gives nothing.
        {{L"\"owner\":7,", L"\"owner\":8,", L"\"owner\":9", logout}, L"8", L"A"},
        // Percent-escaped text is decoded before the markers are sought.
        {{L"action%3D%2Fcomposer%2Fmbasic%2F%3Fav%3D12%26", logout}, L"12", L"A"},
        // "(" without ")" after it: the name is on the next line.
        {{L"<a href=\"/logout.php?h=1\">Log Out (", L"(B) x"}, L"", L"B"},
        // A ")" but no "(" after the ">": no name from here.
        {{L"(x) <a href=\"/logout.php?h=1\">Log Out", L"(C)"}, L"", L"Facebook User"},
        // No quote: the ">" is sought from the line's start.
        {{L"<a href=/logout.php?h=1>Log Out (D)"}, L"", L"D", L""},
        // No ">" at all: the address only.
        {{L"/logout.php?h=1\""}, L"", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(cls::WideToUtf8(c.lines.front()));
        TLoginPage p = ScanLoginPage(c.lines);
        EXPECT_EQ(p.UserId, c.id);
        EXPECT_EQ(p.DisplayName, c.name);
        EXPECT_EQ(p.LogoutUrl, L"https://m.facebook.com/logout.php?" + c.query);
    }
}

TEST(LoginPage, DocumentBytesAreUtf8WhenValidElseAnsi) {
    EXPECT_EQ(DecodeDocumentBytes("\xEF\xBB\xBFJos\xC3\xA9"), L"Jos\u00e9");
    EXPECT_EQ(DecodeDocumentBytes("\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD"), L"\u0418\u0432\u0430\u043d");
    EXPECT_EQ(DecodeDocumentBytes("Jos\xE9"), cls::CodePageToWide("Jos\xE9", CP_ACP));
    EXPECT_EQ(DecodeDocumentBytes(""), L"");
}

TEST(LoginPage, UsernameOfTheProfileNameLink) {
    const std::wstring m = L"<a class=\"_2dpe _1ayn\" href=\"";
    struct Case {
        std::wstring line, name;
    } cases[] = {
        {m + L"https://www.facebook.com/Jane.Doe.42\">", L"Jane.Doe.42"},
        {m + L" https://m.facebook.com/jane2?ref=bookmarks\">", L"jane2"},
        {m + L"https://www.facebook.com/jane#top\">", L"jane"},
        {m + L"https://www.facebook.com/jane/about\">", L"jane"},
        {m + L"https://www.facebook.com/jane x\">", L"jane"},
        // Anything else would be put into addresses and the details text.
        {m + L"https://www.facebook.com/jane%2Fdoe\">", L""},
        {m + L"https://www.facebook.com/j\u00e4ne\">", L""},
        {m + L"https://www.facebook.com/\">", L""},
        {m + L"https://www.example.com/jane\">", L""},
        {L"<a class=\"_2dpe\" href=\"https://www.facebook.com/jane\">", L""},
    };
    for (const Case& c : cases) EXPECT_EQ(UsernameFromLine(c.line), c.name) << cls::WideToUtf8(c.line);
}

TEST(LoginPage, SessionDetailsByteForByte) {
    EXPECT_EQ(SessionDetailsText(L"Jane Doe", L"Jane.Doe.42", L"100004000000001"),
              L"*** Facebook Session Details for Jane Doe ***\n\nName: Jane Doe\n\nUsername: jane.doe.42\n\n"
              L"UID: 100004000000001\n\nProfile links:\n\nhttps://www.facebook.com/jane.doe.42\n\n"
              L"https://www.facebook.com/profile.php?id=100004000000001\n\n"
              L"https://www.facebook.com/100004000000001\n\nhttps://m.facebook.com/100004000000001\n\n"
              L"https://www.fb.com/100004000000001\n\nVideos link:\n\n"
              L"https://www.facebook.com/media/set/?set=vb.100004000000001&type=2\n");
    EXPECT_EQ(SessionDetailsText(L"Jane Doe", L"", L"7"),
              L"*** Facebook Session Details for Jane Doe ***\n\nName: Jane Doe\n\nUID: 7\n\nProfile links:\n\n"
              L"https://www.facebook.com/profile.php?id=7\n\nhttps://www.facebook.com/7\n\n"
              L"https://m.facebook.com/7\n\nhttps://www.fb.com/7\n\nVideos link:\n\n"
              L"https://www.facebook.com/media/set/?set=vb.7&type=2\n");
    EXPECT_EQ(ProfileAddress(L"Jane.Doe", L"7"), L"https://www.facebook.com/jane.doe");
    EXPECT_EQ(ProfileAddress(L"", L"7"), L"https://www.facebook.com/profile.php?id=7");
}
