#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include "app/History.h"
#include "classlib/Files.h"
#include "classlib/Raii.h"
#include "classlib/StringList.h"
#include "classlib/Strings.h"
#include "engine/Constants.h"
#include "tests/support/TempFolder.h"

using namespace app;
using testing_support::TempFolder;
using Lines = std::vector<std::wstring>;

namespace {

class History : public ::testing::Test {
protected:
    History() : data_(engine::DataFolder), thumbs_(engine::ThumbnailsFolder) {
        engine::DataFolder = tmp_.Path() + L"data\\";
        engine::ThumbnailsFolder = engine::DataFolder + L"Miniaturas\\";
    }
    ~History() override {
        engine::DataFolder = data_;
        engine::ThumbnailsFolder = thumbs_;
    }

    // Raw bytes, so the tests also see what was written and how.
    void WriteHistory(const std::string& bytes) {
        ASSERT_TRUE(cls::ForceDirectories(engine::DataFolder));
        ASSERT_TRUE(cls::WriteFileBytes(HistoryFileName(), bytes));
    }
    std::string HistoryBytes() {
        std::string b;
        cls::ReadFileBytes(HistoryFileName(), b);
        return b;
    }
    Lines HistoryLines() {
        cls::TStringList l;
        l.LoadFromFile(HistoryFileName());
        return l.Lines();
    }
    void MakeThumb(const std::wstring& name) {
        ASSERT_TRUE(cls::ForceDirectories(engine::ThumbnailsFolder));
        ASSERT_TRUE(cls::WriteFileBytes(engine::ThumbnailsFolder + name, "jpg"));
    }
    bool HasThumb(const std::wstring& name) { return cls::FileExists(engine::ThumbnailsFolder + name); }

    TempFolder tmp_;
    std::wstring data_, thumbs_;
};

std::string Utf8(const std::wstring& s) { return cls::WideToUtf8(s); }

Lines Ids(const std::vector<THistoryEntry>& entries) {
    Lines r;
    for (const auto& e : entries) r.push_back(e.Id);
    return r;
}

}  // namespace

TEST(HistoryText, ParseLine) {
    struct Case {
        const wchar_t *line, *id, *title;  // id null: not an entry
    } cases[] = {
        {L"123>Title", L"123", L"Title"},
        {L"123>a > b>c", L"123", L"a > b>c"},
        {L">no id", L"", L"no id"},
        {L"123>", L"123", L""},
        {L" 1 > t ", L" 1 ", L" t "},
        {L"", nullptr, nullptr},
        {L" \t ", nullptr, nullptr},
        {L"123 no separator", nullptr, nullptr},
    };
    for (const auto& c : cases) {
        auto e = ParseHistoryLine(c.line);
        ASSERT_EQ(e.has_value(), c.id != nullptr) << c.line;
        if (e) {
            EXPECT_EQ(e->Id, c.id);
            EXPECT_EQ(e->Title, c.title);
        }
    }
}

TEST(HistoryText, RemoveAccentsFollowsTheTable) {
    EXPECT_EQ(RemoveAccents(L"ÀÁÂÃÄÅÆÇÈÉÊËÌÍÎÏÐÑÒÓÔÕÖØÙÚÛÜÝŸàáâãäåæçèéêëìíîïðñòóôõöøùúûüýÿŒœŠšŽž"),
              L"AAAAAAAECEEEEIIIIDNOOOOOOUUUUYYaaaaaaaeceeeeiiiidnoooooouuuuyyOEoeSsZz");
    EXPECT_EQ(RemoveAccents(L"× ÷ Þ þ ß ł Ć plain 123 🎬"), L"× ÷ Þ þ ß ł Ć plain 123 🎬");
    EXPECT_EQ(RemoveAccents(L""), L"");
}

TEST(HistoryText, Captions) {
    const std::wstring a54(54, L'a'), a55(55, L'a'), a56(56, L'a');
    struct Case {
        std::wstring title;
        int mode;
        bool xp;
        size_t length;
        std::wstring caption;
    } cases[] = {
        {a55, 1, false, 55, L" " + a55},
        {a56, 1, false, 55, L" " + a55 + L"..."},
        {a54, 1, false, 54, L" " + a54},
        {a55, 1, false, 54, L" " + a54 + L"..."},
        {a56 + a56, 1, true, 55, L" " + a56 + a56},                // never shortened on XP
        {L"  xp  ", 1, true, 55, L" xp"},
        {a54 + L"   tail", 1, false, 55, L" " + a54 + L"..."},     // the cut part is trimmed
        {a54 + L"🎬z", 1, false, 55, L" " + a54 + L"..."},          // no half emoji
        {a54 + L"🎬", 1, false, 56, L" " + a54 + L"🎬"},
        {L" short ", 1, false, 55, L"  short "},
        {L"  plain " + a56, 2, false, 55, L"plain " + a56},       // the clean-history window
        {L"  plain  ", 0, true, 55, L"plain"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HistoryCaption(c.title, c.mode, c.xp, c.length), c.caption) << c.title;
}

TEST(HistoryText, CountLine) {
    struct Case {
        int n;
        bool filtered;
        const wchar_t* text;
    } cases[] = {
        {0, false, L"Total 0 video links clicked recently"},
        {1, false, L"Total 1 video link clicked recently"},
        {30, false, L"Total 30 video links clicked recently"},
        {1, true, L"Result: 1 video link clicked recently"},
        {2, true, L"Result: 2 video links clicked recently"},
    };
    for (const auto& c : cases) EXPECT_EQ(HistoryCountText(c.n, c.filtered), c.text);
}

TEST(HistoryText, Utf8Check) {
    using namespace std::string_literals;
    struct Case {
        std::string bytes;
        bool ok;
    } cases[] = {
        {"", true},
        {"\xEF\xBB\xBF", true},
        {"\xEF\xBB\xBF" "1>Caf\xC3\xA9\r\n", true},
        {"1>\xF0\x9F\x8E\xAC \xE2\x82\xAC", true},  // emoji, euro sign
        {"\xF4\x8F\xBF\xBF", true},                 // U+10FFFF
        {"1>a\0b"s, false},
        {"1>caf\xE9", false},                       // Latin-1
        {"\x80", false},
        {"\xC0\xAF", false},                        // overlong "/"
        {"\xE0\x80\xAF", false},
        {"\xED\xA0\x80", false},                    // surrogate
        {"\xF4\x90\x80\x80", false},                // past U+10FFFF
        {"\xE2\x82", false},                        // cut short
        {"\xC3\xA9\xA9", false},
        {"\xFF\xFE" "1\0>\0"s, false},              // UTF-16
    };
    for (const auto& c : cases) EXPECT_EQ(IsUtf8Text(c.bytes), c.ok) << testing::PrintToString(c.bytes);
}

TEST_F(History, AddCreatesTheFolderAndWritesUtf8WithBom) {
    AgregarEnHistorial(L"1", L"Café > 🎬");
    EXPECT_EQ(HistoryBytes(), "\xEF\xBB\xBF" + Utf8(L"1>Café > 🎬") + "\r\n");
    AgregarEnHistorial(L"2", L"line\r\nbreaks\nand\rmore");
    AgregarEnHistorial(L"3", L"Ünïcödé Œuvre ÆØÅ 中文 🍿");
    EXPECT_EQ(HistoryLines(), (Lines{L"3>Ünïcödé Œuvre ÆØÅ 中文 🍿", L"2>line  breaks and more", L"1>Café > 🎬"}));
    auto entries = LoadAndCleanHistory();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].Title, L"Ünïcödé Œuvre ÆØÅ 中文 🍿");
    EXPECT_EQ(entries[2].Title, L"Café > 🎬");
}

TEST_F(History, AddAndMoveToTopKeepOneLinePerId) {
    AgregarEnHistorial(L"1", L"One");
    AgregarEnHistorial(L"2", L"Two");
    AgregarEnHistorial(L"3", L"Three");
    AgregarEnHistorial(L"2", L"Two again");
    EXPECT_EQ(HistoryLines(), (Lines{L"2>Two again", L"3>Three", L"1>One"}));
    SubirAPosicionUnoEnHistorial(L"1");
    EXPECT_EQ(HistoryLines(), (Lines{L"1>One", L"2>Two again", L"3>Three"}));
    AgregarEnHistorial(L"12", L"Twelve");  // "1" is not a prefix match
    EXPECT_EQ(HistoryLines().size(), 4u);
}

TEST_F(History, MoveToTopWritesOnlyOnAMatch) {
    WriteHistory("1>a\n2>b\n");
    SubirAPosicionUnoEnHistorial(L"9");
    EXPECT_EQ(HistoryBytes(), "1>a\n2>b\n");
    SubirAPosicionUnoEnHistorial(L"2");
    EXPECT_EQ(HistoryBytes(), "\xEF\xBB\xBF" "2>b\r\n1>a\r\n");
    std::wstring file = HistoryFileName();
    ASSERT_TRUE(DeleteFileW(file.c_str()));
    SubirAPosicionUnoEnHistorial(L"2");
    EXPECT_FALSE(cls::FileExists(file));
}

TEST_F(History, FullFillDropsBadLinesAndFilteredFillDoesNot) {
    WriteHistory(Utf8(L"\r\n1>  One  \r\n   \r\nno separator\r\n>no id\r\n2>\r\n3>Thrée>more\r\n"));
    auto filtered = FilterHistory(L"e");
    EXPECT_EQ(Ids(filtered.Entries), (Lines{L"1", L"3"}));
    EXPECT_EQ(filtered.Entries[0].Title, L"  One  ");  // the caption builder trims
    EXPECT_EQ(HistoryLines().size(), 7u);

    auto all = LoadAndCleanHistory();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].Title, L"One");
    EXPECT_EQ(all[1].Title, L"Thrée>more");
    EXPECT_EQ(HistoryLines(), (Lines{L"1>  One  ", L">no id", L"2>", L"3>Thrée>more"}));
}

TEST_F(History, AddKeepsOneLinePerIdAndBlankTitlesAreNoEntries) {
    WriteHistory("123>a\r\n5>x\r\n123>b\r\n123>\x01\r\n");
    AgregarEnHistorial(L"123", L"c");
    EXPECT_EQ(HistoryLines(), (Lines{L"123>c", L"5>x"}));

    WriteHistory("7>\x01\r\n8> \t \r\n9>ok \x02\n");
    EXPECT_TRUE(FilterHistory(CanonicalVideoAddress(L"7")).Entries.empty());
    EXPECT_EQ(Ids(FilterHistory(L"ok").Entries), Lines{L"9"});
    EXPECT_EQ(HistoryBytes(), "7>\x01\r\n8> \t \r\n9>ok \x02\n");  // a filter writes nothing
    auto all = LoadAndCleanHistory();
    EXPECT_EQ(Ids(all), Lines{L"9"});
    EXPECT_EQ(all[0].Title, L"ok");
}

TEST_F(History, LinesAreCutAsTheStringListCutsThemWhateverTheirLength) {
    // A CR LF split where the file is read in pieces, and every kind of end.
    std::string text = "\xEF\xBB\xBF" "101>" + std::string(65536 - 3 - 4 - 1, 'a') + "\r\n102>b\r103>c\n\n104>d";
    WriteHistory(text);
    EXPECT_EQ(Ids(FilterHistory(L"b").Entries), Lines{L"102"});
    auto all = LoadAndCleanHistory();
    EXPECT_EQ(Ids(all), (Lines{L"101", L"102", L"103", L"104"}));
    EXPECT_EQ(all[0].Title.size(), 65536u - 8);
    EXPECT_EQ(HistoryLines().size(), 4u);
}

TEST_F(History, NoFileMeansNoEntriesAndNoFile) {
    EXPECT_TRUE(LoadAndCleanHistory().empty());
    EXPECT_TRUE(FilterHistory(L"a").Entries.empty());
    EXPECT_FALSE(cls::FileExists(HistoryFileName()));
    WriteHistory("  \r\n\r\n");
    EXPECT_TRUE(LoadAndCleanHistory().empty());
    EXPECT_EQ(HistoryBytes(), "  \r\n\r\n");  // a blank file is left as it is
}

TEST_F(History, AFileBeyondTheLoadLimitIsNeitherShownNorWritten) {
    // Valid entries up to just past the limit: every routine that read it
    // would find matches, cap it, add to it or clean thumbnails by it.
    std::string text = "\xEF\xBB\xBF";
    for (long long id = 10150000000001; text.size() <= kMaxLoadableHistoryBytes; ++id)
        text += std::to_string(id) + ">Video about a lake\r\n";
    WriteHistory(text);
    MakeThumb(L"10150000000001.jpg");
    MakeThumb(L"99.jpg");  // of no entry

    EXPECT_TRUE(FilterHistory(L"lake").Entries.empty());
    EXPECT_TRUE(LoadAndCleanHistory().empty());
    AgregarEnHistorial(L"10150000000002", L"New title");
    SubirAPosicionUnoEnHistorial(L"10150000000002");
    EXPECT_FALSE(RemoveHistoryEntries({L"10150000000001"}));
    DeleteUnusedThumbnails();
    EXPECT_TRUE(HistoryBytes() == text);  // not EXPECT_EQ: megabytes in a failure
    EXPECT_TRUE(HasThumb(L"10150000000001.jpg") && HasThumb(L"99.jpg"));

    // At the limit it is a history like any other.
    text.resize(text.rfind("\r\n", kMaxLoadableHistoryBytes - 2) + 2);
    WriteHistory(text);
    EXPECT_EQ(FilterHistory(L"lake").Entries.size(), static_cast<size_t>(std::count(text.begin(), text.end(), '\n')));
    EXPECT_EQ(LoadAndCleanHistory().size(), 30u);
}

TEST_F(History, FullFillKeepsTheNewest30AndDeletesTheOthersThumbnails) {
    std::string text;
    for (int i = 1; i <= 35; ++i) {
        text += "10" + std::to_string(i) + ">Video " + std::to_string(i) + "\r\n";
        MakeThumb(L"10" + std::to_wstring(i) + L".jpg");
    }
    WriteHistory(text);
    auto entries = LoadAndCleanHistory();
    ASSERT_EQ(entries.size(), 30u);
    EXPECT_EQ(entries.front().Id, L"101");
    EXPECT_EQ(entries.back().Id, L"1030");
    EXPECT_EQ(HistoryLines().size(), 30u);
    EXPECT_EQ(HistoryLines().back(), L"1030>Video 30");
    for (int i = 1; i <= 35; ++i) EXPECT_EQ(HasThumb(L"10" + std::to_wstring(i) + L".jpg"), i <= 30) << i;
}

TEST_F(History, FilterByVideoLinkMatchesTheExactId) {
    WriteHistory("12>Short\r\n123>Wanted\r\n1234>Longer\r\n9>Mentions 123\r\n");
    // The address the drop-down puts in the link box finds its own entry.
    ASSERT_TRUE(CanonicalVideoAddress(L"123").starts_with(L"https://"));
    auto r = FilterHistory(CanonicalVideoAddress(L"123"));
    EXPECT_TRUE(r.ByLink);
    EXPECT_EQ(r.CaptionLength(), kCaptionLength);
    EXPECT_EQ(Ids(r.Entries), Lines{L"123"});
    EXPECT_TRUE(FilterHistory(CanonicalVideoAddress(L"5")).Entries.empty());
}

TEST_F(History, FilterByTextIgnoresCaseAndAccents) {
    WriteHistory(Utf8(L"1>Elan vital\r\n2>ÉLAN\r\n3>The Æon Flux\r\n4>E lan\r\n5>Aeon\r\n"));
    struct Case {
        const wchar_t* text;
        Lines ids;
    } cases[] = {
        {L"élan", {L"1", L"2"}}, {L"ELAN", {L"1", L"2"}}, {L"aeon", {L"3", L"5"}},
        {L"æon", {L"3", L"5"}},  {L"flux", {L"3"}},       {L"", {}},
        {L"zzz", {}},
    };
    for (const auto& c : cases) {
        auto r = FilterHistory(c.text);
        EXPECT_FALSE(r.ByLink);
        EXPECT_EQ(r.CaptionLength(), kTextFilterCaptionLength);
        EXPECT_EQ(Ids(r.Entries), c.ids) << c.text;
    }
}

TEST_F(History, Backup) {
    const std::wstring target = tmp_.File(L"backup.kvhist");
    EXPECT_FALSE(BackupHistory(target));  // no history yet
    WriteHistory("1>One\r\n");
    tmp_.Write(L"backup.kvhist", "old backup");
    EXPECT_TRUE(BackupHistory(target));
    EXPECT_EQ(tmp_.Read(L"backup.kvhist"), "1>One\r\n");
    EXPECT_FALSE(BackupHistory(tmp_.File(L"missing\\backup.kvhist")));
}

TEST_F(History, ImportTakesOnlyText) {
    using namespace std::string_literals;
    EXPECT_TRUE(ImportHistory(tmp_.Write(L"first.kvhist", "5>Five\r\n")));  // creates the data folder
    EXPECT_EQ(HistoryBytes(), "5>Five\r\n");
    struct Case {
        std::string bytes;
        bool ok;
    } cases[] = {
        {"\xEF\xBB\xBF" + Utf8(L"1>Café 🎬\r\n"), true},
        {"2>Two\n3>Three", true},
        {"", true},
        {"\x89PNG\r\n\x1A\n\0\0\0\rIHDR"s, false},
        {"1>caf\xE9\r\n", false},
    };
    for (const auto& c : cases) {
        WriteHistory("9>old\r\n");
        EXPECT_EQ(ImportHistory(tmp_.Write(L"in.kvhist", c.bytes)), c.ok) << c.bytes;
        EXPECT_EQ(HistoryBytes(), c.ok ? c.bytes : "9>old\r\n");
    }
    EXPECT_FALSE(ImportHistory(tmp_.File(L"missing.kvhist")));
    EXPECT_FALSE(ImportHistory(tmp_.Path()));  // a folder
    EXPECT_EQ(HistoryBytes(), "9>old\r\n");
    // Nothing but the history file is left behind in the data folder.
    WIN32_FIND_DATAW fd;
    cls::FindHandle find(FindFirstFileW((engine::DataFolder + L"*.tmp").c_str(), &fd));
    EXPECT_FALSE(find);
}

TEST_F(History, ImportTakesAtMostOneMebibyte) {
    std::string full;
    for (int i = 0; full.size() < kMaxHistoryFileBytes; ++i) full += std::to_string(i) + ">Video\r\n";
    full.resize(kMaxHistoryFileBytes);
    for (const auto& [bytes, ok] : {std::pair{full, true}, {full + "x", false}, {full + full, false}}) {
        WriteHistory("9>old\r\n");
        EXPECT_EQ(ImportHistory(tmp_.Write(L"in.kvhist", bytes)), ok) << bytes.size();
        EXPECT_EQ(HistoryBytes(), ok ? bytes : "9>old\r\n") << bytes.size();
    }
}

TEST_F(History, RemoveChosenEntries) {
    WriteHistory(" 1 >  One \r\n2>Two\r\n\r\n3>Three\r\n1>Older one\r\n");
    for (auto id : {L"1.jpg", L"2.jpg", L"3.jpg"}) MakeThumb(id);
    ASSERT_TRUE(RemoveHistoryEntries({L"2"}));
    EXPECT_EQ(HistoryLines(), (Lines{L"1>One", L"3>Three"}));
    EXPECT_TRUE(HasThumb(L"1.jpg") && HasThumb(L"3.jpg"));
    EXPECT_FALSE(HasThumb(L"2.jpg"));

    ASSERT_TRUE(RemoveHistoryEntries({L"1", L"3"}));
    EXPECT_FALSE(cls::FileExists(HistoryFileName()));
    EXPECT_FALSE(HasThumb(L"1.jpg") || HasThumb(L"3.jpg"));
    EXPECT_TRUE(RemoveHistoryEntries({L"1"}));  // no file: nothing to do
}

TEST_F(History, FailedWriteOfTheCleanKeepsEverything) {
    WriteHistory("1>One\r\n2>Two\r\n");
    MakeThumb(L"2.jpg");
    {
        // Held open without delete sharing, the file cannot be replaced.
        std::wstring file = HistoryFileName();
        cls::FileHandle lock(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(lock);
        EXPECT_FALSE(RemoveHistoryEntries({L"2"}));
    }
    EXPECT_EQ(HistoryBytes(), "1>One\r\n2>Two\r\n");
    EXPECT_TRUE(HasThumb(L"2.jpg"));
}

TEST_F(History, IdsThatAreNoVideoIdsNeverNameAFile) {
    // "..\..\x.jpg" from the thumbnail folder is this file.
    const std::wstring outside = tmp_.Write(L"x.jpg", "precious");
    EXPECT_EQ(HistoryThumbnailFile(L"..\\..\\x"), L"");
    EXPECT_EQ(HistoryThumbnailFile(L"123"), engine::ThumbnailsFolder + L"123.jpg");

    std::string text;
    for (int i = 1; i <= 30; ++i) text += std::to_string(i) + ">Video\r\n";
    ASSERT_TRUE(ImportHistory(tmp_.Write(L"evil.kvhist", text + "..\\..\\x>Oldest\r\n")));
    MakeThumb(L"5.jpg");
    EXPECT_EQ(FilterHistory(L"oldest").Entries.size(), 1u);  // kept as text
    EXPECT_EQ(LoadAndCleanHistory().size(), 30u);              // capped away...
    EXPECT_TRUE(cls::FileExists(outside));                     // ...touching nothing

    ASSERT_TRUE(ImportHistory(tmp_.Write(L"evil.kvhist", "..\\..\\x>Evil\r\n5>Five\r\n")));
    ASSERT_TRUE(RemoveHistoryEntries({L"..\\..\\x", L"5"}));
    EXPECT_FALSE(cls::FileExists(HistoryFileName()));
    EXPECT_FALSE(HasThumb(L"5.jpg"));
    EXPECT_TRUE(cls::FileExists(outside));

    ASSERT_TRUE(ImportHistory(tmp_.Write(L"evil.kvhist", "..\\..\\x>Evil\r\n")));
    MakeThumb(L"x.jpg");
    DeleteUnusedThumbnails();
    EXPECT_FALSE(HasThumb(L"x.jpg"));  // matches no line
    EXPECT_TRUE(cls::FileExists(outside));
}

TEST_F(History, UnusedThumbnailsWithoutHistoryTakeTheWholeFolder) {
    for (const char* text : std::initializer_list<const char*>{"", "  \r\n \r\n", nullptr}) {
        if (text) WriteHistory(text);
        MakeThumb(L"1.jpg");
        ASSERT_TRUE(cls::ForceDirectories(engine::ThumbnailsFolder + L"sub\\deeper"));
        DeleteUnusedThumbnails();
        EXPECT_FALSE(cls::DirectoryExists(engine::ThumbnailsFolder)) << (text ? text : "no file");
        std::wstring file = HistoryFileName();
        DeleteFileW(file.c_str());
    }
    DeleteUnusedThumbnails();  // neither history nor folder
    EXPECT_FALSE(cls::DirectoryExists(engine::ThumbnailsFolder));
}

TEST_F(History, UnusedThumbnailsAreThoseOfNoHistoryLine) {
    WriteHistory("1>One\r\n22>Two\r\n 7 \r\n>no id\r\n");
    for (auto n : {L"1.jpg", L"22.JPG", L"1.png", L"7.jpg", L"3.jpg", L"abc.jpg", L"22", L"2.jpg"})
        MakeThumb(n);
    ASSERT_TRUE(cls::ForceDirectories(engine::ThumbnailsFolder + L"sub"));
    MakeThumb(L"sub\\3.jpg");  // folders are skipped
    ASSERT_TRUE(SetFileAttributesW((engine::ThumbnailsFolder + L"3.jpg").c_str(), FILE_ATTRIBUTE_HIDDEN));
    DeleteUnusedThumbnails();
    for (auto n : {L"1.jpg", L"22.JPG", L"1.png", L"7.jpg", L"22", L"sub\\3.jpg"}) EXPECT_TRUE(HasThumb(n)) << n;
    for (auto n : {L"3.jpg", L"abc.jpg", L"2.jpg"}) EXPECT_FALSE(HasThumb(n)) << n;
    EXPECT_EQ(HistoryLines().size(), 4u);  // the file is only read
}
