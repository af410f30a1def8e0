#include <gtest/gtest.h>

#include <stdexcept>

#include "classlib/StringList.h"
#include "tests/support/TempFolder.h"

using namespace cls;
using namespace std::string_literals;
using testing_support::TempFolder;

TEST(DecodeText, ByteOrderMarksAndCodePages) {
    using enum TextEncoding;
    struct Case {
        const char* name;
        std::string bytes;
        TextEncoding encoding;
        std::wstring want;
    } cases[] = {
        {"utf8 without bom", "caf\xC3\xA9", UTF8, L"café"},
        {"utf8 bom skipped", "\xEF\xBB\xBF" "caf\xC3\xA9", UTF8, L"café"},
        {"utf8 bom only", "\xEF\xBB\xBF", UTF8, L""},
        {"utf8 ignores a utf16 bom", "\xFF\xFE" "a"s, UTF8, L"\xFFFD\xFFFD" L"a"},
        {"default utf8 bom", "\xEF\xBB\xBF" "caf\xC3\xA9", Default, L"café"},
        {"default utf16 le", "\xFF\xFE" "a\0\xE9\0\xAC\x20"s, Default, L"aé€"},
        {"default utf16 be", "\xFE\xFF\0a\0\xE9\x20\xAC"s, Default, L"aé€"},
        {"default utf16 odd byte dropped", "\xFF\xFE" "a\0b"s, Default, L"a"},
        {"default ansi 1252", "caf\xE9 \x80", Default, L"café €"},
        {"empty", "", Default, L""},
    };
    for (const auto& c : cases) EXPECT_EQ(DecodeText(c.bytes, c.encoding), c.want) << c.name;
}

TEST(SplitLines, EveryLineBreakKind) {
    using V = std::vector<std::wstring>;
    struct Case {
        const wchar_t* text;
        V want;
    } cases[] = {
        {L"", {}},
        {L"a", {L"a"}},
        {L"a\r\nb\r\n", {L"a", L"b"}},
        {L"a\rb\r", {L"a", L"b"}},
        {L"a\nb\n", {L"a", L"b"}},
        {L"a\r\nb\nc\rd", {L"a", L"b", L"c", L"d"}},
        {L"\r\n", {L""}},
        {L"a\n\nb", {L"a", L"", L"b"}},
        {L"a\n\r\nb", {L"a", L"", L"b"}},
        {L"a\r\rb", {L"a", L"", L"b"}},
        {L"a\n\r", {L"a", L""}},  // LF then a lone CR: two breaks
        {L"a\r\n\r\n", {L"a", L""}},
    };
    for (const auto& c : cases) EXPECT_EQ(SplitLines(c.text), c.want) << testing::PrintToString(c.text);
}

TEST(TStringList, EditingAndBounds) {
    TStringList l;
    EXPECT_EQ(l.Add(L"b"), 0);
    EXPECT_EQ(l.Add(L"d"), 1);
    l.Insert(0, L"a");
    l.Insert(2, L"c");
    l.Insert(4, L"e");  // at Count appends
    EXPECT_EQ(l.Lines(), (std::vector<std::wstring>{L"a", L"b", L"c", L"d", L"e"}));
    l.Delete(4);
    l.Delete(0);
    EXPECT_EQ(l.Text(), L"b\r\nc\r\nd\r\n");
    EXPECT_EQ(l.IndexOf(L"c"), 1);
    EXPECT_EQ(l.IndexOf(L"C"), -1);

    EXPECT_THROW(l.Insert(-1, L"x"), std::out_of_range);
    EXPECT_THROW(l.Insert(4, L"x"), std::out_of_range);
    EXPECT_THROW(l.Delete(3), std::out_of_range);
    EXPECT_THROW(l.Delete(-1), std::out_of_range);
    EXPECT_THROW(l[3], std::out_of_range);
    EXPECT_EQ(l.Text(), L"b\r\nc\r\nd\r\n");  // failed calls changed nothing

    l.SetText(L"x\ny");
    EXPECT_EQ(l.Text(), L"x\r\ny\r\n");
    l.Clear();
    EXPECT_EQ(l.Count(), 0);
    EXPECT_EQ(l.Text(), L"");
}

TEST(TStringList, LoadSkipsBomAndSaveWritesUtf8WithBomAndCrLf) {
    TempFolder tmp;
    TStringList l;
    ASSERT_TRUE(l.LoadFromFile(tmp.Write(L"in.txt", "\xEF\xBB\xBF" "\xC3\xA9t\xC3\xA9\nmixed\r\nends\r")));
    EXPECT_EQ(l.Lines(), (std::vector<std::wstring>{L"été", L"mixed", L"ends"}));

    ASSERT_TRUE(l.SaveToFile(tmp.File(L"out.txt")));
    EXPECT_EQ(tmp.Read(L"out.txt"), "\xEF\xBB\xBF" "\xC3\xA9t\xC3\xA9\r\nmixed\r\nends\r\n");

    TStringList ansi;
    ASSERT_TRUE(ansi.LoadFromFile(tmp.Write(L"ansi.txt", "caf\xE9"), TextEncoding::Default));
    EXPECT_EQ(ansi.Text(), L"café\r\n");
}

TEST(TStringList, LoadOfMissingFileFailsAndEmptiesTheList) {
    TempFolder tmp;
    TStringList l;
    l.Add(L"old");
    EXPECT_FALSE(l.LoadFromFile(tmp.File(L"missing.txt")));
    EXPECT_EQ(l.Count(), 0);
    EXPECT_FALSE(l.SaveToFile(tmp.File(L"no\\such\\folder.txt")));
}
