// The main window's decisions that need no window: start position, settings
// values, the start panel's note, link analysis, and the settings file.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "classlib/Files.h"
#include "classlib/IniFiles.h"
#include "classlib/Strings.h"
#include "engine/Constants.h"
#include "forms/Settings.h"
#include "forms/uFrmKorvelink.h"
#include "tests/support/TempFolder.h"

using namespace app;

namespace {

TEST(MainWindowLogic, StartPlacementFromSettings) {
    const POINT centred = {370, 380};
    struct Row {
        const wchar_t *remember, *top, *left;
        bool onMonitor;
        bool ticked;
        POINT pos;
        bool write;
        const wchar_t *topText, *leftText;
    };
    const Row rows[] = {
        // Not remembered: centred, both keys emptied.
        {L"", L"10", L"20", true, false, centred, true, L"", L""},
        {L"0", L"10", L"20", true, false, centred, true, L"", L""},
        {L"yes", L"10", L"20", true, false, centred, true, L"", L""},
        // Remembered and usable: restored as stored (trimmed), nothing written.
        {L"1", L" 100 ", L"\t120", true, true, {120, 100}, false, L"", L""},
        {L"1", L"-8", L"-8", true, true, {-8, -8}, false, L"", L""},
        // Remembered but empty or not a number: centred, centred values written.
        {L"1", L"", L"120", true, true, centred, true, L"380", L"370"},
        {L"1", L"100", L"  ", true, true, centred, true, L"380", L"370"},
        {L"1", L"100", L"abc", true, true, centred, true, L"380", L"370"},
        {L"1", L"12x", L"40", true, true, centred, true, L"380", L"370"},
        {L"1", L"99999999999", L"40", true, true, centred, true, L"380", L"370"},
        // A place no monitor shows any more.
        {L"1", L"-5000", L"9000", false, true, centred, true, L"380", L"370"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::wstring(r.remember) + L"|" + r.top + L"|" + r.left);
        TStartPlacement p =
            ResolveStartPlacement(r.remember, r.top, r.left, centred, [&](POINT) { return r.onMonitor; });
        EXPECT_EQ(p.Remember, r.ticked);
        EXPECT_EQ(p.Position.x, r.pos.x);
        EXPECT_EQ(p.Position.y, r.pos.y);
        EXPECT_EQ(p.WriteKeys, r.write);
        if (r.write) {
            EXPECT_EQ(p.TopText, r.topText);
            EXPECT_EQ(p.LeftText, r.leftText);
        }
    }
}

TEST(MainWindowLogic, CentredPositionRoundsTowardZero) {
    EXPECT_EQ(CenteredWindowPosition(1280, 1024, 537, 247).x, 371);
    EXPECT_EQ(CenteredWindowPosition(1280, 1024, 537, 247).y, 388);
    // Wider than the screen: a negative place, halved toward zero.
    EXPECT_EQ(CenteredWindowPosition(800, 600, 1001, 600).x, -100);
}

TEST(MainWindowLogic, SearchSettingsValues) {
    struct Row {
        const wchar_t* value;
        int engine, kind;
        std::optional<bool> keep;
    };
    const Row rows[] = {
        {L"1", 1, 1, true},     {L"2", 2, 2, std::nullopt}, {L"86", 86, 1, std::nullopt},
        {L"0", 1, 1, false},    {L"87", 1, 1, std::nullopt}, {L"-3", 1, 1, std::nullopt},
        {L"x", 1, 1, std::nullopt}, {L"", 1, 1, std::nullopt}, {L" 5 ", 5, 1, std::nullopt},
        {L"2147483648", 1, 1, std::nullopt},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.value);
        EXPECT_EQ(ParseSearchEngineIndex(r.value), r.engine);
        EXPECT_EQ(ParseSearchKind(r.value), r.kind);
        EXPECT_EQ(ParseKeepSearchFormOpen(r.value), r.keep);
    }
}

TEST(MainWindowLogic, DownloadFolderFromSettings) {
    auto exists = [](const std::wstring& d) { return d == L"C:\\Videos" || d == L"C:\\"; };
    EXPECT_EQ(ResolveDownloadFolder(L"C:\\Videos\\", L"C:\\Docs\\", exists), L"C:\\Videos");
    EXPECT_EQ(ResolveDownloadFolder(L"C:\\Videos", L"C:\\Docs\\", exists), L"C:\\Videos");
    EXPECT_EQ(ResolveDownloadFolder(L"C:\\Gone", L"C:\\Docs\\", exists), L"C:\\Docs\\Korvelink\\");
    EXPECT_EQ(ResolveDownloadFolder(L"", L"C:\\Docs\\", exists), L"C:\\Docs\\Korvelink\\");
}

TEST(MainWindowLogic, StartPanelNote) {
    const std::wstring ie =
        L"Notes about drag and drop: If you use Internet Explorer, first run this web browser as admin for this "
        L"feature work correctly.";
    struct Row {
        DWORD major;
        int ie;
        bool edge;
        int top;
        std::wstring note;  // empty: hidden
    };
    const Row rows[] = {
        {5, 9, true, 60, L""},  // XP: never a note
        {6, 8, false, 60, L""},
        {6, -1, false, 60, L""},
        {6, 9, false, 44, ie},
        {10, 11, false, 44, ie},
        {10, 11, true, 38, ie + L" The new Microsoft Edge is currently unsupported."},
        {10, 0, true, 38, ie + L" The new Microsoft Edge is currently unsupported."},
    };
    for (const Row& r : rows) {
        TInfoPanelLayout l = InfoPanelLayout(60, r.major, r.ie, r.edge);
        EXPECT_EQ(l.Top, r.top) << r.major << "/" << r.ie << "/" << r.edge;
        EXPECT_EQ(l.NoteVisible, !r.note.empty());
        EXPECT_EQ(l.Note, r.note);
    }
}

TEST(MainWindowLogic, EdgePackages) {
    EXPECT_TRUE(IsEdgePackageName(L"Microsoft.MicrosoftEdge_44.19041.1266.0_neutral__8wekyb3d8bbwe"));
    EXPECT_TRUE(IsEdgePackageName(L"Microsoft.MicrosoftEdge.Stable_1.0"));
    EXPECT_FALSE(IsEdgePackageName(L"microsoft.microsoftedge_44"));
    EXPECT_FALSE(IsEdgePackageName(L"Windows.Microsoft.MicrosoftEdge"));
    EXPECT_FALSE(IsEdgePackageName(L"Microsoft.Windows.Photos"));
}

TEST(MainWindowLogic, LinkAnalysis) {
    struct Row {
        const wchar_t* typed;  // as the box holds it after lower-casing
        TLinkKind kind;
        const wchar_t* id;
    };
    const Row rows[] = {
        {L"", TLinkKind::Empty, L""},
        {L" \t  ", TLinkKind::Empty, L""},
        {L"facebook", TLinkKind::SiteHome, L""},
        {L"  fb.com ", TLinkKind::SiteHome, L""},
        {L"https://www.facebook.com/", TLinkKind::SiteHome, L""},
        {L"https://www.facebook.com/profile.php?id=4", TLinkKind::Invalid, L""},
        {L"https://www.example.com/video.php?v=123", TLinkKind::Invalid, L""},
        {L"https://www.facebook.com/video.php?v=", TLinkKind::Invalid, L""},
        {L"https://www.facebook.com/video.php?v=12a", TLinkKind::Invalid, L""},
        // Accepted and taken apart on the same text, decoded once.
        {L"https://www.facebook.com/x%25/videos/123", TLinkKind::Video, L"123"},
        {L"https://www.facebook.com/video.php?v%253d91", TLinkKind::Invalid, L""},
        {L"https://www.facebook.com/video.php?v=10150000000101", TLinkKind::Video, L"10150000000101"},
        {L" https://www.fb.com/video.php?v=77 ", TLinkKind::Video, L"77"},
        {L"https://m.facebook.com/someone/videos/vb.1/555/", TLinkKind::Video, L"555"},
    };
    for (const Row& r : rows) {
        TLinkVerdict v = ClassifyLink(NormalizeLinkText(r.typed));
        EXPECT_EQ(v.Kind, r.kind) << r.typed;
        EXPECT_EQ(v.VideoId, r.id) << r.typed;
    }
}

TEST(MainWindowLogic, ShortDomainRewrittenInAnyCase) {
    EXPECT_EQ(NormalizeLinkText(L"  HTTPS://WWW.FB.COM/VIDEO.PHP?V=1 "), L"HTTPS://WWW.facebook.com/VIDEO.PHP?V=1");
    EXPECT_EQ(NormalizeLinkText(L"Fb.Com/a fB.cOm/b"), L"facebook.com/a facebook.com/b");
    EXPECT_EQ(NormalizeLinkText(L"https://www.facebook.com/x"), L"https://www.facebook.com/x");
}

TEST(MainWindowLogic, NoResultsMessages) {
    EXPECT_EQ(NoVideoResultsMessage(true), L"No video results in the URL.");
    EXPECT_EQ(NoVideoResultsMessage(false),
              L"No video results in the URL. Try again by logging in with your Facebook account.");
}

// --- the settings file ------------------------------------------------------------------

class ConfigFile : public ::testing::Test {
protected:
    ConfigFile() : saved_(engine::DataFolder) { engine::DataFolder = tmp_.Path() + L"Data\\Sub\\"; }
    ~ConfigFile() override { engine::DataFolder = saved_; }
    testing_support::TempFolder tmp_;
    std::wstring saved_;
};

TEST_F(ConfigFile, EachKeyIsWrittenAtOnceAndReadAnew) {
    EXPECT_EQ(LeerArchivoConfig(L"CarpetaDestino"), L"");  // no file yet
    EscribirArchivoConfig(L"CarpetaDestino", L"C:\\Vídeos");  // creates the folders
    EscribirArchivoConfig(L"MotorBusqueda", L"7");
    EXPECT_EQ(LeerArchivoConfig(L"CarpetaDestino"), L"C:\\Vídeos");
    EXPECT_EQ(LeerArchivoConfig(L"MotorBusqueda"), L"7");
    EXPECT_EQ(LeerArchivoConfig(L"UltimaCuenta"), L"");

    // Another writer changes the file: the next read sees it.
    cls::TMemIniFile other(ConfigFileName(), cls::TextEncoding::UTF8);
    other.WriteString(L"General", L"MotorBusqueda", L"9");
    ASSERT_TRUE(other.UpdateFile());
    EXPECT_EQ(LeerArchivoConfig(L"MotorBusqueda"), L"9");

    std::string bytes;
    ASSERT_TRUE(cls::ReadFileBytes(ConfigFileName(), bytes));
    EXPECT_TRUE(bytes.starts_with("\xEF\xBB\xBF[General]\r\n"));
    EXPECT_NE(bytes.find("CarpetaDestino=C:\\V\xC3\xAD" "deos\r\n"), std::string::npos);
}

TEST_F(ConfigFile, LineBreaksNeverSplitAKey) {
    EscribirArchivoConfig(L"UltimaCuenta", L"me@example.org\r\nPosicionFormRecordar=1");
    EscribirArchivoConfig(L"Key\nWith", L"break\r");
    EXPECT_EQ(LeerArchivoConfig(L"PosicionFormRecordar"), L"");
    EXPECT_EQ(LeerArchivoConfig(L"UltimaCuenta"), L"me@example.org  PosicionFormRecordar=1");
    EXPECT_EQ(LeerArchivoConfig(L"Key With"), L"break");
    std::string bytes;
    ASSERT_TRUE(cls::ReadFileBytes(ConfigFileName(), bytes));
    // A section line and two keys, each ending its own line.
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 3);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\r'), 3);
}

TEST_F(ConfigFile, UnwritableDataFolderIsIgnored) {
    // The data folder's place is taken by a file.
    std::wstring blocker = tmp_.Write(L"Data", "not a folder");
    engine::DataFolder = blocker + L"\\";
    EXPECT_NO_THROW(EscribirArchivoConfig(L"SiempreVisible", L"1"));
    EXPECT_EQ(LeerArchivoConfig(L"SiempreVisible"), L"");
    EXPECT_TRUE(cls::FileExists(blocker));
}

}  // namespace
