#include <gtest/gtest.h>

#include "classlib/Strings.h"

using namespace cls;

TEST(Strings, TrimRemovesControlCharactersAndBlanksOnly) {
    EXPECT_EQ(Trim(L" \t\r\n abc \x01\x1f"), L"abc");
    EXPECT_EQ(Trim(L"\x20\x21\x20"), L"!");
    EXPECT_EQ(Trim(L"\x00a0x\x00a0"), L"\x00a0x\x00a0");  // no-break space is above 32
    EXPECT_EQ(Trim(L"   "), L"");
    EXPECT_EQ(Trim(L""), L"");
    EXPECT_EQ(TrimLeft(L"  a  "), L"a  ");
    EXPECT_EQ(TrimRight(L"  a  "), L"  a");
}

TEST(Strings, CaseMappingFollowsTheSystem) {
    EXPECT_EQ(LowerCase(L"HTTPS://WWW.Example.COM/ÀÉÎ"), L"https://www.example.com/àéî");
    EXPECT_EQ(UpperCase(L"straße"), L"STRAßE");  // one unit stays one unit
    EXPECT_TRUE(SameText(L"Video.PHP", L"video.php"));
    EXPECT_FALSE(SameText(L"video", L"videos"));
}

TEST(Strings, PosIsOneBasedAndSafe) {
    EXPECT_EQ(Pos(L"b", L"abcb"), 2u);
    EXPECT_EQ(Pos(L"b", L"abcb", 3), 4u);
    EXPECT_EQ(Pos(L"b", L"abcb", 5), 0u);
    EXPECT_EQ(Pos(L"b", L"abcb", 0), 0u);
    EXPECT_EQ(Pos(L"", L"abc"), 0u);
    EXPECT_EQ(Pos(L"abcd", L"abc"), 0u);
    EXPECT_EQ(Copy(L"abcdef", 2, 3), L"bcd");
    EXPECT_EQ(Copy(L"abcdef", 5, 100), L"ef");
    EXPECT_EQ(Copy(L"abcdef", 7), L"");
    EXPECT_EQ(Copy(L"abcdef", 0, 2), L"ab");
    EXPECT_EQ(After(L"a=b=c", L"="), L"b=c");
    EXPECT_EQ(After(L"abc", L"x"), L"");
    EXPECT_TRUE(StartsText(L"HTTPS://x", L"https://"));
    EXPECT_FALSE(StartsText(L"http", L"https://"));
    EXPECT_TRUE(EndsWith(L"file.jpg", L".jpg"));
    EXPECT_FALSE(EndsWith(L"g", L".jpg"));
}

TEST(Strings, ReplaceAll) {
    struct Case {
        const wchar_t *text, *from, *to;
        bool ignoreCase;
        const wchar_t* want;
    } cases[] = {
        {L"fb.com/x fb.com/y", L"fb.com", L"site.com", false, L"site.com/x site.com/y"},
        {L"FB.com/x Fb.CoM/y", L"fb.com", L"site.com", true, L"site.com/x site.com/y"},
        {L"FB.com/X", L"fb.com", L"site.com", false, L"FB.com/X"},
        {L"aaa", L"aa", L"b", false, L"ba"},       // no overlapping matches
        {L"aaa", L"a", L"aa", false, L"aaaaaa"},   // replacement is not searched again
        {L"abc", L"", L"x", false, L"abc"},
        {L"ÉCOLE école", L"école", L"x", true, L"x x"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReplaceAll(c.text, c.from, c.to, c.ignoreCase), c.want) << c.text;
}

TEST(Strings, Utf8RoundTripKeepsEveryPlane) {
    std::wstring w = L"a\x00e9\x4e2d\xd83d\xde00z";  // é, a CJK letter, an emoji
    std::string u = WideToUtf8(w);
    EXPECT_EQ(u, "a\xc3\xa9\xe4\xb8\xad\xf0\x9f\x98\x80z");
    EXPECT_EQ(Utf8ToWide(u), w);
    EXPECT_EQ(Utf8ToWide(""), L"");
    // Broken sequences turn into replacement characters, never into a crash.
    EXPECT_FALSE(Utf8ToWide("\xff\xfe\xc3").empty());
}

TEST(Strings, Numbers) {
    EXPECT_EQ(StrToIntDef(L" 42 ", -1), 42);
    EXPECT_EQ(StrToIntDef(L"-7", 0), -7);
    EXPECT_EQ(StrToIntDef(L"4x", -1), -1);
    EXPECT_EQ(StrToIntDef(L"", -1), -1);
    EXPECT_EQ(StrToIntDef(L"-", -1), -1);
    EXPECT_EQ(StrToIntDef(L"2147483648", -1), -1);
    EXPECT_EQ(StrToIntDef(L"-2147483648", 0), INT32_MIN);
    EXPECT_EQ(StrToInt64Def(L"5368709120", 0), 5368709120LL);
    EXPECT_EQ(StrToInt64Def(L"99999999999999999999", -1), -1);
    EXPECT_TRUE(IsAsciiDigits(L"0123"));
    EXPECT_FALSE(IsAsciiDigits(L""));
    EXPECT_FALSE(IsAsciiDigits(L"12a"));
    EXPECT_FALSE(IsAsciiDigits(L"\xff11"));  // full-width digit one
}
