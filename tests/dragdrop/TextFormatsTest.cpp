#include <gtest/gtest.h>

#include "TestDataObject.h"
#include "TestFormats.h"
#include "dragdrop/DragDropHTML.h"
#include "dragdrop/DragDropText.h"

using namespace dragdrop;
using namespace dragdrop_test;

namespace {

std::string Wide(const std::wstring& s, bool terminated = true) {
    return std::string(reinterpret_cast<const char*>(s.c_str()), (s.size() + (terminated ? 1 : 0)) * 2);
}
std::string Dword(DWORD v) { return std::string(reinterpret_cast<const char*>(&v), 4); }

const LCID kRussian = MAKELCID(MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT), SORT_DEFAULT);

TEST(TextFormats, MapOrderPutsUnicodeFirst) {
    TestComponent owner;
    TTextDataFormat text(&owner);
    auto& formats = text.CompatibleFormats();
    std::vector<CLIPFORMAT> ids;
    for (int i = 0; i < formats.Count(); ++i) ids.push_back(formats.Formats(i)->GetClipboardFormat());
    // The mail and HTML formats map themselves last.
    EXPECT_EQ(ids, (std::vector<CLIPFORMAT>{CF_UNICODETEXT, TRichTextClipboardFormat::Id(), CF_OEMTEXT, CF_LOCALE,
                                            CF_TEXT, TRFC822ClipboardFormat::Id(), THTMLClipboardFormat::Id()}));
    EXPECT_EQ(TCSVClipboardFormat::Id(), RegisterClipboardFormatW(L"CSV"));
    EXPECT_EQ(GetClipboardFormatNameStr(TRichTextClipboardFormat::Id()), L"Rich Text Format");
}

TEST(TextFormats, DropWithBothTextsFillsBoth) {
    TestComponent owner;
    TTextDataFormat text(&owner);
    TestDataObject obj;
    obj.PutBytes(CF_TEXT, std::string("ansi\0", 5));
    obj.PutStream(CF_UNICODETEXT, Wide(L"wide"));
    ASSERT_TRUE(text.GetData(&obj));
    EXPECT_EQ(text.AnsiText(), "ansi");
    EXPECT_EQ(text.UnicodeText(), std::wstring(L"wide\0", 5));  // the block's NUL comes along
    EXPECT_FALSE(text.NeedsData());
}

TEST(TextFormats, AnsiOnlyDropConvertsInTheDropsLocale) {
    TestComponent owner;
    TTextDataFormat text(&owner);
    TestDataObject obj;
    obj.PutBytes(CF_TEXT, "\xCF\xF0\xE8");  // unterminated, cp1251
    obj.PutBytes(CF_LOCALE, Dword(kRussian));
    ASSERT_TRUE(text.GetData(&obj));
    EXPECT_EQ(text.GetLocale(), kRussian);
    EXPECT_EQ(text.UnicodeText(), L"\u041F\u0440\u0438");
    EXPECT_TRUE(text.HasData());

    text.SetUnicodeText(L"\u041F\u0440\u0438");
    EXPECT_EQ(text.AnsiText(), "\xCF\xF0\xE8");
    text.Clear();
    EXPECT_FALSE(text.HasData());
    EXPECT_TRUE(text.NeedsData());
    EXPECT_EQ(text.GetLocale(), kRussian);  // kept by Clear
}

TEST(TextFormats, DoubleByteConversionKeepsEveryByte) {
    TestComponent owner;
    TTextDataFormat text(&owner);
    text.SetLocale(MAKELCID(MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT), SORT_DEFAULT));
    if (LocaleCodePage(text.GetLocale()) != 932) GTEST_SKIP() << "no Japanese code page";
    text.SetUnicodeText(L"\u65E5\u672C");
    EXPECT_EQ(text.AnsiText(), "\x93\xFA\x96\x7B");
}

TEST(TextFormats, WritingTerminatesOnce) {
    TUnicodeTextClipboardFormat u;
    u.SetText(L"ab");
    EXPECT_EQ(u.GetSize(), 6);
    STGMEDIUM m{};
    FORMATETC any = u.FormatEtc();
    any.tymed = 0xFFFFFFFF;
    ASSERT_TRUE(u.SetDataToMedium(any, m));
    StgMedium owner;
    *owner.put() = m;
    EXPECT_EQ(GlobalSize(owner->hGlobal), 6u);
    char big[8];
    EXPECT_FALSE(u.WriteData(big, 8));
    u.SetText(std::wstring(L"ab\0", 3));
    EXPECT_EQ(u.GetSize(), 6);

    TAnsiTextClipboardFormat a;
    a.SetText("abc");
    EXPECT_EQ(a.GetSize(), 4);
    a.SetText(std::string("abc\0", 4));
    EXPECT_EQ(a.GetSize(), 4);
    TestDataObject obj;
    obj.PutBytes(CF_TEXT, std::string("ab\0cd", 5));
    ASSERT_TRUE(a.GetData(&obj));
    EXPECT_EQ(a.Text(), "ab");

    // An odd byte at the end of a wide block is dropped.
    TestDataObject odd;
    odd.PutBytes(CF_UNICODETEXT, std::string("a\0b", 3));
    ASSERT_TRUE(u.GetData(&odd));
    EXPECT_EQ(u.Text(), L"a");
}

TEST(TextFormats, DataFormatFillsClipboardFormats) {
    TestComponent owner;
    TTextDataFormat text(&owner);
    text.SetLocale(kRussian);
    text.SetText(L"x{y}");
    TAnsiTextClipboardFormat a;
    TRichTextClipboardFormat r;
    TOEMTextClipboardFormat o;
    TLocaleClipboardFormat l;
    TCSVClipboardFormat csv;
    EXPECT_TRUE(text.AssignTo(a));
    EXPECT_TRUE(text.AssignTo(r));
    EXPECT_TRUE(text.AssignTo(o));
    EXPECT_TRUE(text.AssignTo(l));
    EXPECT_FALSE(text.AssignTo(csv));
    EXPECT_EQ(a.Text(), "x{y}");
    EXPECT_EQ(r.Text(), "{\\rtf1\\ansi {\\*\\generator dragdrop}x\\{y\\}}");
    EXPECT_EQ(o.Text(), "x{y}");
    EXPECT_EQ(l.Locale(), kRussian);
}

TEST(MakeRTF, EscapesEachKindOfCharacter) {
    const std::string head = "{\\rtf1\\ansi {\\*\\generator dragdrop}";
    struct { std::wstring in; std::string body; } cases[] = {
        {L"a{b}\\c", "a\\{b\\}\\\\c"},
        {L"\t\r\n\x7F", "\\tab \\par \\'0a\\'7f"},
        {L"\u00E9", "\\u233\xE9"},
        {L"\u4E2D", "\\u20013-"},
        {L"\uFFFD", "\\u-3\xFD"},
        {L"\u0130", "\\u304?"},  // low byte 0x30 is a digit
        {L"\u0108", "\\u264?"},  // low byte below 32
    };
    for (auto& c : cases) EXPECT_EQ(MakeRTF(c.in), head + c.body + "}");
    EXPECT_EQ(MakeRTF(L"{\\RTF1 keep}"), "{\\RTF1 keep}");
    EXPECT_EQ(MakeRTF(L""), head + "}");
}

}  // namespace
