// A video ID through the engine's scrapers against the site's pages, over
// the real HTTPS path: result lines, titles and the stored thumbnail.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "classlib/Files.h"
#include "classlib/StringList.h"
#include "classlib/Strings.h"
#include "engine/Constants.h"
#include "engine/VideoScraper.h"
#include "SiteSupport.h"
#include "tests/support/TempFolder.h"

using namespace site_support;
using Lines = std::vector<std::wstring>;

namespace {

const std::wstring Stream = L"https://video.xx.fbcdn.net/v/t42.1790-2/";
const std::wstring Picture = L"https://scontent.xx.fbcdn.net/v/t15.5256-10/";

class VideoScraperOverSite : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SiteIsRunning()) << "run through tests/fakesite/run-with-site.sh";
        engine::CacheFolder = dir_.Path() + L"Cache\\";
        engine::ThumbnailsFolder = dir_.Path() + L"Miniaturas\\";
    }
    void TearDown() override {
        engine::CacheFolder = saved_[0];
        engine::ThumbnailsFolder = saved_[1];
    }

    void Search(const std::wstring& id) {
        engine::FetchVideoInfo(id, results_, title_, shortTitle_);
        engine::FetchVideoSnapshot(id, results_);
    }
    std::wstring Thumbnail(const std::wstring& id) const { return engine::ThumbnailsFolder + id + L".jpg"; }
    // Files left in the cache folder (the temporary pages must be gone).
    int CacheFiles() const {
        int n = 0;
        WIN32_FIND_DATAW data;
        HANDLE h = FindFirstFileW((engine::CacheFolder + L"*").c_str(), &data);
        if (h == INVALID_HANDLE_VALUE) return 0;
        do n += !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
        while (FindNextFileW(h, &data));
        FindClose(h);
        return n;
    }

    testing_support::TempFolder dir_;
    std::wstring saved_[2] = {engine::CacheFolder, engine::ThumbnailsFolder};
    cls::TStringList results_;
    std::wstring title_ = L"unset", shortTitle_ = L"unset";
};

struct VideoCase {
    const wchar_t* id;
    Lines results;
    std::wstring title, shortTitle;
    bool thumbnail;  // the snapshot is stored as the video's thumbnail
};

TEST_F(VideoScraperOverSite, SearchesGiveResultsTitlesAndThumbnails) {
    const std::wstring longTitle = L"Highlights of the Saturday Night Derby as the Reds Beat the Blues 3-1";
    const std::wstring emoji = cls::Utf8ToWide("Cat \xF0\x9F\x98\xBA plays piano \xE2\x80\x94 \xC3\xB1\x61nd\xC3\xBA \xF0\x9F\x8E\xB9");
    const VideoCase cases[] = {
        // Entities in the header; the header wins over the caption.
        {L"10150000000101",
         {Stream + L"10150000000101_sd.mp4?efg=eyJybHIiOjQ0OH0&oh=00_AfA1&oe=65F1C2D3&src=sd&",
          Stream + L"10150000000101_hd.mp4?efg=eyJybHIiOjk4NH0&oh=00_AfB2&oe=65F1C2D3&src=hd&",
          Picture + L"10150000000101_n.jpg?_nc_cat=104&_nc_ohc=Xy7&oh=00_AfC&oe=65F3&src=snapshot&"},
         L"Ben \"The Chef\" Cooks Pasta 'Al Dente' & More", L"Ben \"The Chef\" Cooks Pasta 'Al Dente' & More", true},
        // Caption with links and spans; both keys on one line, hd first:
        // sd is still listed first. A png snapshot is listed, not stored.
        {L"10150000000102",
         {Stream + L"10150000000102_sd.mp4?oh=00_AfC3&oe=65F1C2D4&src=sd&",
          Stream + L"10150000000102_hd.mp4?oh=00_AfC4&oe=65F1C2D4&src=hd&",
          Picture + L"10150000000102_n.png?oh=00_AfG&oe=65F4&src=snapshot&"},
         L"Ana & Bo with Carla at Lake Tahoe", L"Ana & Bo with Carla at Lake Tahoe", false},
        // Cut after 66 characters, the blank at the cut trimmed; JPG in
        // capitals is not stored.
        {L"10150000000103",
         {Stream + L"10150000000103_sd.mp4?oh=00_AfD5&oe=65F1C2D5&src=sd&",
          Picture + L"10150000000103_n.JPG?oh=00_AfH&oe=65F5&src=snapshot&"},
         longTitle, longTitle.substr(0, 65) + L"...", false},
        // Escaped percent forms in the address; a UTF-8 title; no snapshot.
        {L"10150000000104",
         {Stream + L"10150000000104_sd.mp4?efg=eyJybHIiOjMwMH0==&oh=00_AfE6&oe=65F1C2D6&src=sd&"},
         emoji, emoji, false},
        // The login wall: nothing but the fallback title.
        {L"10150000000105", {}, L"Video 10150000000105", L"Video 10150000000105", false},
        // Everything far down and on separate lines: hd comes first; the
        // first header wins and keeps the entity the decoder leaves alone.
        {L"10150000000106",
         {Stream + L"10150000000106_hd.mp4?oh=00_AfF7&oe=65F1C2D7&src=hd&",
          Stream + L"10150000000106_sd.mp4?oh=00_AfF8&oe=65F1C2D7&src=sd&",
          Picture + L"s960x960/10150000000106_n.jpg?stp=dst-jpg&oe=65F6&src=snapshot&"},
         L"Late &lt;3 Header", L"Late &lt;3 Header", true},
        // A 404 page: its header is taken, no streams.
        {L"10150000000107", {}, L"Sorry, this content isn't available right now",
         L"Sorry, this content isn't available right now", false},
    };
    const std::string jpeg = Fixture("snapshot.jpg");
    ASSERT_FALSE(jpeg.empty());
    for (const auto& c : cases) {
        SCOPED_TRACE(cls::WideToUtf8(c.id));
        results_.Clear();
        Search(c.id);
        EXPECT_EQ(results_.Lines(), c.results);
        EXPECT_EQ(title_, c.title);
        EXPECT_EQ(shortTitle_, c.shortTitle);
        std::string stored;
        EXPECT_EQ(cls::ReadFileBytes(Thumbnail(c.id), stored), c.thumbnail);
        if (c.thumbnail) {
            EXPECT_TRUE(stored == jpeg);
        }
        EXPECT_EQ(CacheFiles(), 0);
    }
}

TEST_F(VideoScraperOverSite, PagesAreFetchedInOrderThroughTheTunnel) {
    const size_t before = SiteRequests().size();
    Search(L"10150000000106");
    std::vector<std::string> after = SiteRequests();
    std::vector<std::string> gets;
    for (size_t i = before; i < after.size(); ++i)
        if (after[i].rfind("GET ", 0) == 0) gets.push_back(after[i]);
    EXPECT_EQ(gets, (std::vector<std::string>{
                        "GET https://www.facebook.com/video.php?v=10150000000106 200",
                        "GET https://www.facebook.com/video/embed?video_id=10150000000106 200",
                        "GET https://scontent.xx.fbcdn.net/v/t15.5256-10/s960x960/10150000000106_n.jpg"
                        "?stp=dst-jpg&oe=65F6 200"}));
}

TEST_F(VideoScraperOverSite, ThumbnailIsFetchedAgainOnlyWhenEmpty) {
    const std::string picture =
        "GET https://scontent.xx.fbcdn.net/v/t15.5256-10/10150000000101_n.jpg?_nc_cat=104&_nc_ohc=Xy7&oh=00_AfC&oe=65F3 200";
    ASSERT_TRUE(cls::ForceDirectories(engine::ThumbnailsFolder));

    ASSERT_TRUE(cls::WriteFileBytes(Thumbnail(L"10150000000101"), "x"));
    size_t fetched = CountRequests(picture);
    engine::FetchVideoSnapshot(L"10150000000101", results_);
    EXPECT_EQ(CountRequests(picture), fetched);
    std::string stored;
    cls::ReadFileBytes(Thumbnail(L"10150000000101"), stored);
    EXPECT_EQ(stored, "x");

    ASSERT_TRUE(cls::WriteFileBytes(Thumbnail(L"10150000000101"), ""));
    engine::FetchVideoSnapshot(L"10150000000101", results_);
    EXPECT_EQ(CountRequests(picture), fetched + 1);
    cls::ReadFileBytes(Thumbnail(L"10150000000101"), stored);
    EXPECT_TRUE(stored == Fixture("snapshot.jpg"));
    // Listed both times.
    EXPECT_EQ(results_.Count(), 2);
}

}  // namespace
