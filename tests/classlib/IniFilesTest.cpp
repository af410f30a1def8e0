#include <gtest/gtest.h>

#include <windows.h>

#include "classlib/Files.h"
#include "classlib/IniFiles.h"
#include "tests/support/TempFolder.h"

using namespace cls;
using namespace std::string_literals;
using testing_support::TempFolder;

namespace {
const std::string kBom = "\xEF\xBB\xBF";

const char kSample[] =
    "; leading comment\r\n"
    "orphan=before any section\r\n"
    "[Main]\r\n"
    "  Name  =  Some Value  \r\n"
    "url=http://x/?a=b&c=d\r\n"
    "dup=first\r\n"
    "DUP=second\r\n"
    "; key=commented\r\n"
    "no equals sign here\r\n"
    "=no key\r\n"
    "empty=\r\n"
    "\r\n"
    "  [ Other ]  \r\n"
    "n=42\r\n"
    "[main]\r\n"
    "later=merged into Main\r\n";
}  // namespace

TEST(TMemIniFile, ParsingRules) {
    TempFolder tmp;
    TMemIniFile ini(tmp.Write(L"a.ini", kSample));
    struct Case {
        const wchar_t *section, *key, *want;
    } cases[] = {
        {L"Main", L"Name", L"Some Value"},          // blanks around "=" ignored
        {L"MAIN", L"name", L"Some Value"},          // names without case
        {L"main", L"url", L"http://x/?a=b&c=d"},    // split at the first "="
        {L"Main", L"dup", L"first"},                // first duplicate wins
        {L"Main", L"empty", L""},
        {L"Main", L"later", L"merged into Main"},   // repeated section continues the first
        {L"Other", L"n", L"42"},                    // section name trimmed
        {L"Main", L"key", L"<def>"},                // comment
        {L"Main", L"orphan", L"<def>"},             // before the first section
        {L"Main", L"no equals sign here", L"<def>"},
        {L"Main", L"", L"<def>"},
        {L"Missing", L"n", L"<def>"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ini.ReadString(c.section, c.key, L"<def>"), c.want) << c.section << L"/" << c.key;
    EXPECT_EQ(ini.ReadSection(L"main"), (std::vector<std::wstring>{L"Name", L"url", L"dup", L"empty", L"later"}));
    EXPECT_TRUE(ini.SectionExists(L"OTHER"));
    EXPECT_FALSE(ini.SectionExists(L"orphan"));
    EXPECT_TRUE(ini.ValueExists(L"other", L"N"));
    EXPECT_FALSE(ini.ValueExists(L"other", L"m"));
}

TEST(TMemIniFile, EncodingsAndLineEnds) {
    struct Case {
        const char* name;
        std::string bytes;
        TextEncoding encoding;
    } cases[] = {
        {"utf8 bom crlf", kBom + "[S]\r\nk=caf\xC3\xA9\r\n", TextEncoding::UTF8},
        {"utf8 no bom lf", "[S]\nk=caf\xC3\xA9\n", TextEncoding::UTF8},
        {"utf8 bom under default", kBom + "[S]\rk=caf\xC3\xA9", TextEncoding::Default},
        {"ansi mixed ends", "[X]\r\n[S]\nk=caf\xE9\r", TextEncoding::Default},
        {"utf16 le", "\xFF\xFE[\0S\0]\0\n\0k\0=\0c\0a\0f\0\xE9\0"s, TextEncoding::Default},
        {"utf16 be", "\xFE\xFF\0[\0S\0]\0\r\0\n\0k\0=\0c\0a\0f\0\xE9"s, TextEncoding::Default},
    };
    TempFolder tmp;
    for (const auto& c : cases) {
        TMemIniFile ini(tmp.Write(L"e.ini", c.bytes), c.encoding);
        EXPECT_EQ(ini.ReadString(L"S", L"k", L""), L"café") << c.name;
    }
}

TEST(TMemIniFile, TypedValues) {
    TempFolder tmp;
    TMemIniFile ini(tmp.Write(L"t.ini", "[T]\nzero=0\none=1\nneg=-7\nbig=99999999999\nword=yes\nblank=\n"));
    EXPECT_EQ(ini.ReadInteger(L"T", L"neg", 5), -7);
    EXPECT_EQ(ini.ReadInteger(L"T", L"big", 5), 5);
    EXPECT_EQ(ini.ReadInteger(L"T", L"word", 5), 5);
    EXPECT_EQ(ini.ReadInteger(L"T", L"missing", 5), 5);
    struct Case {
        const wchar_t* key;
        bool def, want;
    } bools[] = {
        {L"zero", true, false}, {L"one", false, true},  {L"neg", false, true}, {L"big", false, true},
        {L"word", true, true},  {L"word", false, false}, {L"blank", true, true}, {L"missing", false, false},
    };
    for (const auto& c : bools) EXPECT_EQ(ini.ReadBool(L"T", c.key, c.def), c.want) << c.key << c.def;

    ini.WriteBool(L"T", L"zero", true);
    ini.WriteBool(L"T", L"one", false);
    ini.WriteInteger(L"T", L"neg", -12);
    EXPECT_EQ(ini.ReadString(L"T", L"zero", L""), L"1");
    EXPECT_EQ(ini.ReadString(L"T", L"one", L""), L"0");
    EXPECT_EQ(ini.ReadInteger(L"T", L"neg", 0), -12);
}

TEST(TMemIniFile, WriteThenUpdateFileLayout) {
    TempFolder tmp;
    TMemIniFile ini(tmp.Write(L"w.ini", kBom + "[A]\nx=1\ndup=first\ndup=second\n[B]\ny=2\n"), TextEncoding::UTF8);
    ini.WriteString(L"a", L"DUP", L"Changed");  // changes the first, keeps its name
    ini.WriteString(L"A", L"new", L"Été");       // new key at the end of its section
    ini.WriteString(L"C", L"z", L"3");           // new section at the end
    ini.WriteString(L"B", L"y", L"Line1\r\nLine2\rLine3\n");
    ini.WriteString(L"B\r\nx", L"k\ny", L"v");  // names are cleaned too
    ASSERT_TRUE(ini.UpdateFile());
    EXPECT_EQ(tmp.Read(L"w.ini"), kBom +
                                      "[A]\r\nx=1\r\ndup=Changed\r\ndup=second\r\nnew=\xC3\x89t\xC3\xA9\r\n"
                                      "\r\n[B]\r\ny=Line1  Line2 Line3\r\n"
                                      "\r\n[C]\r\nz=3\r\n"
                                      "\r\n[B  x]\r\nk y=v\r\n");

    TMemIniFile back(tmp.File(L"w.ini"), TextEncoding::UTF8);
    EXPECT_EQ(back.ReadString(L"A", L"dup", L""), L"Changed");
    EXPECT_EQ(back.ReadString(L"A", L"NEW", L""), L"Été");
    EXPECT_EQ(back.ReadString(L"b", L"Y", L""), L"Line1  Line2 Line3");
    EXPECT_EQ(back.ReadString(L"B  x", L"k y", L""), L"v");
    EXPECT_EQ(back.ReadString(L"C", L"z", L""), L"3");
}

TEST(TMemIniFile, WrittenValuesReadBackAsAfterReload) {
    TempFolder tmp;
    TMemIniFile ini(tmp.File(L"r.ini"));
    ini.WriteString(L" S ", L" key ", L"  padded = value  ");
    EXPECT_EQ(ini.ReadString(L"S", L"key", L""), L"padded = value");
    ASSERT_TRUE(ini.UpdateFile());
    EXPECT_EQ(TMemIniFile(tmp.File(L"r.ini")).ReadString(L"S", L"key", L""), L"padded = value");
}

TEST(TMemIniFile, KeysTheParserCannotReadBackAreNotWritten) {
    TempFolder tmp;
    TMemIniFile ini(tmp.File(L"k.ini"));
    ini.WriteString(L"S", L"ok", L"1");
    for (const wchar_t* key : {L"a=b", L"[x]", L"[x", L";c", L"", L" \r\n "}) {
        ini.WriteString(L"S", key, L"bad");
        EXPECT_FALSE(ini.ValueExists(L"S", key)) << key;
    }
    ini.WriteString(L"New", L"=", L"x");
    EXPECT_FALSE(ini.SectionExists(L"New"));  // nothing written, so no empty section either
    ASSERT_TRUE(ini.UpdateFile());
    EXPECT_EQ(tmp.Read(L"k.ini"), "[S]\r\nok=1\r\n");
}

TEST(TMemIniFile, DeleteKeyAndEraseSection) {
    TempFolder tmp;
    TMemIniFile ini(tmp.Write(L"d.ini", "[A]\nk=1\nK=2\nj=3\n[B]\nk=4\n[b]\nm=5\n"));
    ini.DeleteKey(L"a", L"k");
    EXPECT_FALSE(ini.ValueExists(L"A", L"k"));  // the duplicate does not resurface
    EXPECT_EQ(ini.ReadSection(L"A"), std::vector<std::wstring>{L"j"});
    ini.EraseSection(L"B");
    EXPECT_FALSE(ini.SectionExists(L"b"));
    EXPECT_EQ(ini.ReadString(L"B", L"m", L"gone"), L"gone");
    ini.DeleteKey(L"Missing", L"k");  // harmless
    ASSERT_TRUE(ini.UpdateFile());
    EXPECT_EQ(tmp.Read(L"d.ini"), "[A]\r\nj=3\r\n");
    // A section after an erased one is still found, under any case.
    ini.WriteString(L"C", L"x", L"7");
    ini.EraseSection(L"a");
    EXPECT_EQ(ini.ReadString(L"c", L"x", L""), L"7");
    EXPECT_FALSE(ini.SectionExists(L"A"));
}

TEST(TMemIniFile, DefaultEncodingSavesAsItWasRead) {
    struct Case {
        const char* name;
        std::string bytes, want;
    } cases[] = {
        {"ansi", "[S]\nk=caf\xE9\n", "[S]\r\nk=caf\xE9\r\n"},
        {"utf8 bom", kBom + "[S]\nk=caf\xC3\xA9\n", kBom + "[S]\r\nk=caf\xC3\xA9\r\n"},
        {"utf16 le", "\xFF\xFE[\0S\0]\0\n\0k\0=\0\xE9\0"s,
         "\xFF\xFE[\0S\0]\0\r\0\n\0k\0=\0\xE9\0\r\0\n\0"s},
        {"utf16 be saved as le", "\xFE\xFF\0[\0S\0]\0\n\0k\0=\0\xE9"s,
         "\xFF\xFE[\0S\0]\0\r\0\n\0k\0=\0\xE9\0\r\0\n\0"s},
    };
    TempFolder tmp;
    for (const auto& c : cases) {
        TMemIniFile ini(tmp.Write(L"s.ini", c.bytes));
        ASSERT_TRUE(ini.UpdateFile()) << c.name;
        EXPECT_EQ(tmp.Read(L"s.ini"), c.want) << c.name;
    }
    // A new file under Default gets the system code page; under UTF8 a BOM.
    TMemIniFile fresh(tmp.File(L"new.ini"));
    fresh.WriteString(L"S", L"k", L"café");
    ASSERT_TRUE(fresh.UpdateFile());
    EXPECT_EQ(tmp.Read(L"new.ini"), "[S]\r\nk=caf\xE9\r\n");
    TMemIniFile ansiAsUtf8(tmp.Write(L"u.ini", "[S]\nk=v\n"), TextEncoding::UTF8);
    ASSERT_TRUE(ansiAsUtf8.UpdateFile());
    EXPECT_EQ(tmp.Read(L"u.ini"), kBom + "[S]\r\nk=v\r\n");
}

TEST(TMemIniFile, UpdateFileIntoMissingFolderFailsAndLeavesNothing) {
    TempFolder tmp;
    TMemIniFile ini(tmp.File(L"missing\\x.ini"));
    ini.WriteString(L"S", L"k", L"v");
    EXPECT_FALSE(ini.UpdateFile());
    EXPECT_FALSE(DirectoryExists(tmp.File(L"missing")));
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((tmp.Path() + L"*").c_str(), &fd);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    int entries = 0;
    do ++entries;
    while (FindNextFileW(h, &fd));
    FindClose(h);
    EXPECT_EQ(entries, 2);  // only "." and ".."
}

TEST(TMemIniFile, FailedSaveKeepsTheOldFile) {
    TempFolder tmp;
    std::wstring file = tmp.Write(L"keep.ini", "[S]\r\nk=old\r\n");
    TMemIniFile ini(file);
    ini.WriteString(L"S", L"k", L"new");
    // Another process holding the file open without delete sharing blocks
    // the replace, as an editor or a virus scanner would.
    HANDLE h = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(ini.UpdateFile());
    CloseHandle(h);
    EXPECT_EQ(tmp.Read(L"keep.ini"), "[S]\r\nk=old\r\n");
    ASSERT_TRUE(ini.UpdateFile());  // and works once the file is free
    EXPECT_EQ(tmp.Read(L"keep.ini"), "[S]\r\nk=new\r\n");
}
