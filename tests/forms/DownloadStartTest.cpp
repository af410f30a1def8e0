#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "classlib/Files.h"
#include "forms/DownloadStart.h"
#include "forms/VideoPanel.h"
#include "forms/uFrmDownloading.h"
#include "tests/support/TempFolder.h"

using namespace app;
using testing_support::TempFolder;

namespace {

TEST(DownloadFileNames, UnsafeAndControlCharactersBecomeUnderscores) {
    struct Case {
        std::wstring in, out;
    } cases[] = {
        {L"a/b\\c:d*e\"f<g>h|i?j&k.l", L"a_b_c_d_e_f_g_h_i_j_k_l"},
        {L"Tab\there\r\nnew", L"Tab_here__new"},
        {std::wstring(L"nul\0x", 5) + L"\x1F\x7F", L"nul_x_\x7F"},
        {L"Caf\u00E9 \u00B4\u00B4 \U0001F600", L"Caf\u00E9 \u00B4\u00B4 \U0001F600"},
        {L"", L""},
    };
    for (const auto& c : cases) EXPECT_EQ(SanitizeFileName(c.in), c.out) << c.in;
}

TEST(DownloadFileNames, LongTitleKeepsItsFirst66CharactersAndThreeUnderscores) {
    // ShortTitle cut the title and trimmed it before adding "...".
    std::wstring shortTitle = std::wstring(60, L'x') + L" y.z/w...";
    EXPECT_EQ(DownloadFileName(shortTitle, L"hd", L"https://cdn/v.mp4?x=1"),
              std::wstring(60, L'x') + L" y_z_w___ (HD).mp4");
}

TEST(DownloadFileNames, ExtensionComesFromTheAddressOnlyWhenItIsAKnownMediaType) {
    struct Case {
        std::wstring address;
        bool snapshot;
        std::wstring ext;
    } cases[] = {
        {L"https://video.xx.fbcdn.net/v/t42/clip.mp4?oh=1&oe=2", false, L".mp4"},
        {L"https://video.xx.fbcdn.net/v/clip.MP4", false, L".MP4"},  // case kept
        {L"https://video.xx.fbcdn.net/v/clip.WebM?x", false, L".WebM"},
        {L"https://video.xx.fbcdn.net/v/a.m4v", false, L".m4v"},
        {L"https://video.xx.fbcdn.net/v/a.ts", false, L".ts"},
        {L"https://video.xx.fbcdn.net/v/a.3gp", false, L".3gp"},
        {L"https://video.xx.fbcdn.net/v/setup.exe", false, L".mp4"},
        {L"https://video.xx.fbcdn.net/v/a.jpg", false, L".mp4"},
        {L"https://video.xx.fbcdn.net/v/clip?name=a.flv", false, L".mp4"},  // the query does not count
        {L"https://video.xx.fbcdn.net/stream/100/clip", false, L".mp4"},     // ".net/stream/100/clip"
        {L"https://scontent.xx.fbcdn.net/p/snap.JPEG?a=b", true, L".JPEG"},
        {L"https://scontent.xx.fbcdn.net/p/snap.webp", true, L".webp"},
        {L"https://scontent.xx.fbcdn.net/p/snap.png", true, L".png"},
        {L"https://scontent.xx.fbcdn.net/p/snap.gif", true, L".gif"},
        {L"https://scontent.xx.fbcdn.net/p/snap.bmp", true, L".bmp"},
        {L"https://scontent.xx.fbcdn.net/p/snap.mp4", true, L".jpg"},
        {L"https://scontent.xx.fbcdn.net/p/snap.hta", true, L".jpg"},
        {L"https://scontent.xx.fbcdn.net/p/snap", true, L".jpg"},
    };
    for (const auto& c : cases) EXPECT_EQ(MediaExtension(c.address, c.snapshot), c.ext) << c.address;
}

TEST(DownloadFileNames, KindGivesTheSuffix) {
    EXPECT_EQ(DownloadFileName(L"My: clip?", L"sd", L"https://h/a.flv"), L"My_ clip_ (SD).flv");
    EXPECT_EQ(DownloadFileName(L"T", L"hd", L"https://h/a.mp4"), L"T (HD).mp4");
    EXPECT_EQ(DownloadFileName(L"T", L"snapshot", L"https://h/a.png?x=1"), L"T (snapshot).png");
}

TEST(DownloadFileNames, TakenNamesAreNumbered) {
    TempFolder tmp;
    const std::wstring dir = tmp.Path();
    EXPECT_EQ(MakeUniqueFileName(dir, L"clip (SD)", L".mp4"), dir + L"clip (SD).mp4");
    tmp.Write(L"clip (SD).mp4", "x");
    EXPECT_EQ(MakeUniqueFileName(dir, L"clip (SD)", L".mp4"), dir + L"clip (SD) (1).mp4");
    tmp.Write(L"clip (SD) (1).mp4", "x");
    EXPECT_EQ(MakeUniqueFileName(dir, L"clip (SD)", L".mp4"), dir + L"clip (SD) (2).mp4");
    // Another extension is another name.
    EXPECT_EQ(MakeUniqueFileName(dir, L"clip (SD)", L".flv"), dir + L"clip (SD).flv");
}

TEST(DownloadFileNames, AFolderOfTheNameCountsAsTaken) {
    TempFolder tmp;
    ASSERT_TRUE(CreateDirectoryW(tmp.File(L"snap (snapshot).jpg").c_str(), nullptr));
    EXPECT_EQ(MakeUniqueFileName(tmp.Path(), L"snap (snapshot)", L".jpg"), tmp.File(L"snap (snapshot) (1).jpg"));
}

TEST(ResultLines, KindAndAddress) {
    EXPECT_EQ(ResultLineKind(L"https://h/a.mp4?x=1&src=sd&"), L"sd");
    EXPECT_EQ(ResultLineKind(L"https://h/a.mp4&src=hd&y=2&src=sd&"), L"sd");  // the marker that ends it
    EXPECT_EQ(ResultLineKind(L"https://h/a.jpg&src=snapshot&"), L"snapshot");
    EXPECT_EQ(ResultLineKind(L"https://h/a.jpg&src=snapshot"), L"");
    EXPECT_EQ(ResultLineKind(L"https://h/a.jpg"), L"");
    EXPECT_EQ(MediaAddressOf(L"https://h/a.mp4?x=1&SRC=SD&&src=sd&", L"sd"), L"https://h/a.mp4?x=1&SRC=SD&");
}

TEST(ByteSizes, EachRangeHasItsUnitAndDecimals) {
    struct Case {
        int64_t size;
        std::wstring text;
    } cases[] = {
        {0, L"0 bytes"},
        {1023, L"1.023 bytes"},
        {1024, L"1,00 KB"},
        {1536, L"1,50 KB"},
        {10239, L"10,00 KB"},  // 9.999 KB still takes two decimals
        {10240, L"10,0 KB"},
        {102400, L"100 KB"},
        {1048575, L"1.024 KB"},
        {1048576, L"1,00 MB"},
        {15 * 1048576LL + 524288, L"15,5 MB"},
        {500 * 1048576LL, L"500 MB"},
        {1073741824LL, L"1,00 GB"},
        {50 * 1073741824LL, L"50,0 GB"},
        {2048 * 1073741824LL, L"2.048 GB"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatByteSizeWith(c.size, L",", L"."), c.text) << c.size;
}

TEST(Progress, PositionIsRoundedHalfToEvenAndKeptInRange) {
    struct Case {
        int64_t readed, total;
        int position;
    } cases[] = {
        {0, 1000, 0},     {125, 1000, 12}, {375, 1000, 38}, {1000, 1000, 100},
        {5000, 1000, 100},  // more than announced
        {500, 0, 0},        // no size
        {500, -1, 0},
        {int64_t(3) << 32, int64_t(6) << 32, 50},  // past 4 GiB
    };
    for (const auto& c : cases) EXPECT_EQ(ProgressPosition(c.readed, c.total, 100), c.position) << c.readed;
}

TEST(ShellPrograms, ExplorerAndRundllByFullPath) {
    wchar_t win[MAX_PATH], sys[MAX_PATH];
    GetWindowsDirectoryW(win, MAX_PATH);
    GetSystemDirectoryW(sys, MAX_PATH);
    EXPECT_EQ(ExplorerPath(), cls::IncludeTrailingPathDelimiter(win) + L"explorer.exe");
    EXPECT_EQ(Rundll32Path(), cls::IncludeTrailingPathDelimiter(sys) + L"rundll32.exe");
}

TEST(DownloadHint, FieldsJoinedByTwoAcuteAccents) {
    EXPECT_EQ(JoinDownloadHint({L"1", L"https://h/a", L"f.mp4", L"T"}),
              L"1\u00B4\u00B4https://h/a\u00B4\u00B4f.mp4\u00B4\u00B4T");
}

}  // namespace
