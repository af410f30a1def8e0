// What the login window reads out of saved pages of the mobile site, the
// username page's link and the session details it builds.
#include <gtest/gtest.h>

#include "classlib/StringList.h"
#include "classlib/Strings.h"
#include "forms/LoginPage.h"
#include "tests/forms/LoginTestSupport.h"

using namespace app;

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
        {L"LOGINPAGE_NEXTLINE", true, false, false, L"100004000000002", L"Jane Doe", m + L"h=Bx9&t=1448000001"},
        {L"LOGINPAGE_UNNAMED", true, false, false, L"100004000000003", L"Facebook User", m + L"h=Cc1"},
        {L"LOGINPAGE_WRONG", false, false, true, L"", L"", L""},
        {L"LOGINPAGE_ERROR", false, true, false, L"", L"", L""},
        {L"LOGINPAGE_LOGOUTNOID", false, false, false, L"", L"Jane Doe", m + L"h=Dd2&t=1"},
        {L"LOGINPAGE_IDNOLOGOUT", false, false, false, L"100004000000001", L"", L""},
        // Served as UTF-8, not in the ANSI code page.
        {L"LOGINPAGE_NONASCII", true, false, false, L"100004000000004",
         L"Jos\u00e9 M\u00fcller \u0402\u043e\u0440\u0452\u0435", m + L"h=Ee3"},
        // Not a number: it would go into file names and addresses.
        {L"LOGINPAGE_BADID", false, false, false, L"\"1000x4000\"", L"Jane Doe", m + L"h=Ff4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(cls::WideToUtf8(c.page));
        TLoginPage p = ScanLoginPage(cls::SplitLines(DecodeDocumentBytes(logintest::PageBytes(c.page))));
        EXPECT_EQ(std::tuple(p.LoggedIn(), p.Failed, p.WrongCredentials), std::tuple(c.loggedIn, c.failed, c.wrong));
        EXPECT_EQ(p.UserId, c.id);
        EXPECT_EQ(p.DisplayName, c.name);
        EXPECT_EQ(p.LogoutUrl, c.logout);
    }
    EXPECT_TRUE(ScanLoginPage({}).Failed);
    EXPECT_EQ(DecodeDocumentBytes("Jos\xE9"), cls::CodePageToWide("Jos\xE9", CP_ACP));
}

TEST(LoginPage, IdOrderAndNameRulesLineByLine) {
    const std::wstring logout = L"<a href=\"/logout.php?h=1\">Log Out (A)</a>";
    struct Case {
        std::vector<std::wstring> lines;
        std::wstring id, name;
    } cases[] = {
        // The owner, then the composer forms in their order; later lines win.
        {{L"action=/composer/mbasic/?av=6&", L"action=/composer/mbasic/?__av=3&", L"{\"OWNER\": 9 ,", logout}, L"9", L"A"},
        {{L"action=/composer/mbasic/?av=6&", L"ACTION=\"/composer/mbasic/?av=5&", logout}, L"5", L"A"},
        {{L"action=/composer/mbasic/?av=6&", L"action=\"/composer/mbasic/?__av=4&", logout}, L"4", L"A"},
        {{L"\"owner\":7,", L"\"owner\":8,", L"\"owner\":9", logout}, L"8", L"A"},
        {{L"action%3D%2Fcomposer%2Fmbasic%2F%3Fav%3D12%26", logout}, L"12", L"A"},
        // "(" without ")" after the ">": the name is on the next line.
        {{L"<a href=\"/logout.php?h=1\">Log Out (", L"(B) x"}, L"", L"B"},
        // A ")" but no "(" after the ">": no name from here.
        {{L"(x) <a href=\"/logout.php?h=1\">Log Out", L"(C)"}, L"", L"Facebook User"},
        {{L"/logout.php?h=1\""}, L"", L""},
    };
    for (const Case& c : cases) {
        TLoginPage p = ScanLoginPage(c.lines);
        EXPECT_EQ(std::tuple(p.UserId, p.DisplayName, p.LogoutUrl),
                  std::tuple(c.id, c.name, std::wstring(L"https://m.facebook.com/logout.php?h=1")))
            << cls::WideToUtf8(c.lines.front());
    }
}

TEST(LoginPage, UsernameOfTheProfileNameLink) {
    const std::wstring m = L"<a class=\"_2dpe _1ayn\" href=\" https://www.facebook.com/";
    for (auto [tail, name] : {std::pair{L"Jane.Doe.42\">", L"Jane.Doe.42"}, std::pair{L"jane2?ref=b\">", L"jane2"},
                              std::pair{L"jane#top\">", L"jane"}, std::pair{L"jane/about\">", L"jane"},
                              std::pair{L"jane x\">", L"jane"}, std::pair{L"jane%2Fdoe\">", L""},
                              std::pair{L"j\u00e4ne\">", L""}, std::pair{L"\">", L""}})
        EXPECT_EQ(UsernameFromLine(m + tail), name) << cls::WideToUtf8(tail);
    EXPECT_EQ(UsernameFromLine(L"<a class=\"_2dpe\" href=\"https://www.facebook.com/jane\">"), L"");
}

TEST(LoginPage, SessionDetailsByteForByte) {
    EXPECT_EQ(SessionDetailsText(L"Jane Doe", L"Jane.Doe.42", L"100004000000001"),
              L"*** Facebook Session Details for Jane Doe ***\n\nName: Jane Doe\n\nUsername: jane.doe.42\n\n"
              L"UID: 100004000000001\n\nProfile links:\n\nhttps://www.facebook.com/jane.doe.42\n\n"
              L"https://www.facebook.com/profile.php?id=100004000000001\n\n"
              L"https://www.facebook.com/100004000000001\n\nhttps://m.facebook.com/100004000000001\n\n"
              L"https://www.fb.com/100004000000001\n\nVideos link:\n\n"
              L"https://www.facebook.com/media/set/?set=vb.100004000000001&type=2\n");
    EXPECT_EQ(SessionDetailsText(L"Ann", L"", L"7"),
              L"*** Facebook Session Details for Ann ***\n\nName: Ann\n\nUID: 7\n\nProfile links:\n\n"
              L"https://www.facebook.com/profile.php?id=7\n\nhttps://www.facebook.com/7\n\n"
              L"https://m.facebook.com/7\n\nhttps://www.fb.com/7\n\nVideos link:\n\n"
              L"https://www.facebook.com/media/set/?set=vb.7&type=2\n");
    EXPECT_EQ(ProfileAddress(L"", L"7"), L"https://www.facebook.com/profile.php?id=7");
}
