#include "engine/VideoScraper.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "classlib/Files.h"
#include "classlib/Strings.h"
#include "engine/Constants.h"
#include "engine/FBapi.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TempFolder.h"

namespace {

using Lines = std::vector<std::wstring>;
using testing_support::LoopbackResponse;
using TextPair = std::pair<std::wstring, std::wstring>;

struct ScanResult {
    Lines results;
    std::wstring title;
    int linesRead = 0;
};

// Feeds lines the way the page frame does, stopping when the scanner asks.
ScanResult ScanInfo(const Lines& lines) {
    cls::TStringList list;
    engine::TVideoInfoScanner scanner(list);
    ScanResult r;
    for (const auto& line : lines) {
        ++r.linesRead;
        if (!scanner.Feed(line)) break;
    }
    r.results = list.Lines();
    r.title = engine::ChooseVideoTitle(scanner.Header(), scanner.Caption(), L"7");
    return r;
}

TEST(VideoInfoScanner, StreamLines) {
    const struct {
        Lines page, expected;
    } cases[] = {
        {{L"{\"hd_src\":\"https://h/hd.mp4\",\"sd_src\":\"https://h/sd.mp4\"}"},
         {L"https://h/sd.mp4&src=sd&", L"https://h/hd.mp4&src=hd&"}},
        {{L"\"hd_src\":\"https://h/hd.mp4\"", L"x", L"\"sd_src\":\"https://h/sd.mp4\""},
         {L"https://h/hd.mp4&src=hd&", L"https://h/sd.mp4&src=sd&"}},
        {{L"\"sd_src\":null,\"hd_src\":null,\"SD_SRC\":\"a\""}, {}},
        {{L"\"sd_src\":\"\",\"hd_src\":\"https://h/cut"}, {L"&src=sd&", L"&src=hd&"}},
        {{L"\"sd_src\":\"https:\\/\\/host\\/v.mp4?a=1&b=2\""}, {L"https://host/v.mp4?a=1&b=2&src=sd&"}},
        // The first occurrence wins, on the line and across lines.
        {{L"\"sd_src\":\"a\" \"sd_src\":\"b\"", L"\"sd_src\":\"c\""}, {L"a&src=sd&"}},
    };
    for (const auto& c : cases) EXPECT_EQ(ScanInfo(c.page).results, c.expected) << c.page[0];
}

TEST(VideoInfoScanner, Title) {
    const struct {
        Lines page;
        std::wstring title;
    } cases[] = {
        // The header wins over a caption; the first of each counts.
        {{L"<div class=\"hasCaption\">A <a href=\"/u\">Ann</a> <br />caption</span> rest",
          L"<h2 class=\"uiHeaderTitle\" id=\"t\"> Tom &amp;amp; Jerry </h2>", L"<h2 class=\"uiHeaderTitle\">Later</h2>"},
         L"Tom & Jerry"},
        {{L"<span class=\"hasCaption\">Only a caption", L"<p class=\"hasCaption\">Later"}, L"Only a caption"},
        // A header marker without its closing tag does not count.
        {{L"<h2 class=\"uiHeaderTitle\">broken", L"<h2 class=\"uiHeaderTitle\">Good</h2>"}, L"Good"},
        // The ">" is searched from 25 characters past the marker's start.
        {{L"<h2 class=\"uiHeaderTitle\">A>B</h2>"}, L"A>B"},
        {{L"<h2 class=\"uiHeaderTitle\"> </h2>", L"class=\"hasCaption\"> <br /></span>x"}, L"Video 7"},
        {{L"nothing"}, L"Video 7"},
    };
    for (const auto& c : cases) EXPECT_EQ(ScanInfo(c.page).title, c.title) << c.page[0];
}

TEST(VideoInfoScanner, StopsOnceEverythingIsFound) {
    EXPECT_EQ(ScanInfo({L"\"sd_src\":\"s\" <h2 class=\"uiHeaderTitle\">T</h2>", L"\"hd_src\":\"h\" class=\"hasCaption\">C",
                        L"\"sd_src\":\"late\""})
                  .linesRead,
              2);
    EXPECT_EQ(ScanInfo({L"\"sd_src\":\"s\",\"hd_src\":\"h\" <h2 class=\"uiHeaderTitle\">T</h2>", L"x"}).linesRead, 2);
}

TEST(ShortTitle, CutsPast66Units) {
    const std::wstring a60(60, L'a');
    const TextPair cases[] = {
        {std::wstring(66, L'a'), std::wstring(66, L'a')},
        {a60 + L"bcdefghijk", a60 + L"bcdefg..."},
        // Blanks at the cut are trimmed before the dots.
        {a60 + L"abcd   tail", a60 + L"abcd..."},
        // An emoji whose first half is the 66th unit is left out whole...
        {a60 + L"bcdef\U0001F600zz", a60 + L"bcdef..."},
        // ...and one ending at the 66th unit stays whole.
        {a60 + L"bcde\U0001F600zz", a60 + L"bcde\U0001F600..."},
    };
    for (const auto& c : cases) EXPECT_EQ(engine::ShortTitle(c.first), c.second) << c.first.size();
}

TEST(SnapshotScan, FindsTheAddress) {
    const TextPair cases[] = {
        {L"<i style=\"background-image: url(https:\\/\\/p\\/s.jpg?x=1&y=2);\">", L"https://p/s.jpg?x=1&y=2"},
        {L"a style=\"background-image: url(http://p/a.png) b", L"http://p/a.png"},
        // Only the first marker of a line counts.
        {L"style=\"background-image: url(x) style=\"background-image: url(http://p/a)", L""},
        {L"style=\"background-image: url('https://p/s.jpg')", L""},
        {L"style=\"background-image: url(HTTPS://p/s.jpg)", L""},
        {L"style=\"background-image: url(https://p/s.jpg", L""},
        {L"style=\"background-image:url(https://p/s.jpg)", L""},
    };
    for (const auto& c : cases) EXPECT_EQ(engine::FindSnapshotAddress(c.first), c.second) << c.first;
}

TEST(SnapshotScan, ExtensionDecidesTheThumbnail) {
    const struct {
        std::wstring address, extension;
        bool jpeg;
    } cases[] = {
        {L"https://p/s.jpg?x=1&y=2", L".jpg", true},
        {L"https://p/s.JPG", L".JPG", false},
        {L"https://p/s.png?a.jpg", L".png", false},
        // No dot in the path: the extension runs from the host's last dot.
        {L"https://pics.example.com/abc", L".com/abc", false},
        {L"https://pics.example.jpg", L".jpg", true},
        {L"https://p/a.jpg:large", L"", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(engine::SnapshotExtension(c.address), c.extension) << c.address;
        EXPECT_EQ(engine::IsJpegSnapshot(c.address), c.jpeg) << c.address;
    }
}

// The site over plain HTTP on loopback, the engine's folders in a temporary
// folder; everything is put back afterwards.
class VideoSite : public ::testing::Test {
protected:
    void SetUp() override {
        engine::CacheFolder = dir_.Path() + L"Cache\\";
        engine::ThumbnailsFolder = dir_.Path() + L"Thumbs\\";
        engine::WebHost = L"127.0.0.1:" + std::to_wstring(server_.Port());
        engine::SiteScheme = L"http://";
    }
    void TearDown() override {
        engine::CacheFolder = saved_[0];
        engine::ThumbnailsFolder = saved_[1];
        engine::WebHost = saved_[2];
        engine::SiteScheme = saved_[3];
    }
    size_t RequestsFor(const std::string& path) const {
        size_t n = 0;
        for (const auto& r : server_.Requests()) n += r.path == path;
        return n;
    }
    // The embed page shows a picture of the server.
    void ServeSnapshot(const std::string& path) {
        server_.On("/video/embed?video_id=123",
                   LoopbackResponse::Ok("<html>\n<div style=\"background-image: url(" +
                                        cls::WideToUtf8(server_.Url(path)) + ");\"></div>\n"));
    }
    std::string Thumbnail() const {
        std::string data;
        cls::ReadFileBytes(engine::ThumbnailsFolder + L"123.jpg", data);
        return data;
    }

    testing_support::TempFolder dir_;
    testing_support::LoopbackServer server_;
    std::wstring saved_[4] = {engine::CacheFolder, engine::ThumbnailsFolder, engine::WebHost, engine::SiteScheme};
    cls::TStringList results_;
    std::wstring title_ = L"old", shortTitle_ = L"old";
};

TEST_F(VideoSite, InfoFromMarkersOnLaterLines) {
    server_.On("/video.php?v=123",
               LoopbackResponse::Ok("<html>\n<h2 class=\"uiHeaderTitle\">" + std::string(70, 'T') +
                                    "</h2>\nx = {\"hd_src\":\"http:\\/\\/cdn\\/hd.mp4?a=1&amp;b=2\",\n"
                                    "\"sd_src\":\"http:\\/\\/cdn\\/sd.mp4\"}\n"));
    engine::FetchVideoInfo(L"123", results_, title_, shortTitle_);
    EXPECT_EQ(results_.Lines(), (Lines{L"http://cdn/hd.mp4?a=1&b=2&src=hd&", L"http://cdn/sd.mp4&src=sd&"}));
    EXPECT_EQ(title_, std::wstring(70, L'T'));
    EXPECT_EQ(shortTitle_, std::wstring(66, L'T') + L"...");

    server_.On("/video.php?v=456", LoopbackResponse::Ok("<html>nothing</html>\n"));
    engine::FetchVideoInfo(L"456", results_, title_, shortTitle_);
    EXPECT_EQ(results_.Count(), 2);
    EXPECT_EQ(title_, L"Video 456");
    EXPECT_EQ(shortTitle_, L"Video 456");
}

TEST_F(VideoSite, UnreachableSiteTouchesNothing) {
    engine::WebHost = L"127.0.0.1:" + std::to_wstring(testing_support::LoopbackServer::UnusedPort());
    results_.Add(L"kept");
    engine::FetchVideoInfo(L"123", results_, title_, shortTitle_);
    engine::FetchVideoSnapshot(L"123", results_);
    EXPECT_EQ(results_.Lines(), Lines{L"kept"});
    EXPECT_EQ(title_, L"old");
    EXPECT_EQ(shortTitle_, L"old");
    EXPECT_TRUE(cls::DirectoryExists(engine::CacheFolder));
}

TEST_F(VideoSite, JpegSnapshotBecomesTheThumbnailWhenMissingOrEmpty) {
    server_.On("/video.php?v=123", LoopbackResponse::Ok("\"sd_src\":\"http://cdn/sd.mp4\"\n"));
    server_.On("/s.jpg", LoopbackResponse::Ok("JPEG"));
    ServeSnapshot("/s.jpg?x=1");
    engine::FetchVideoInfo(L"123", results_, title_, shortTitle_);
    engine::FetchVideoSnapshot(L"123", results_);
    EXPECT_EQ(results_.Lines(), (Lines{L"http://cdn/sd.mp4&src=sd&", server_.Url("/s.jpg?x=1") + L"&src=snapshot&"}));
    EXPECT_EQ(Thumbnail(), "JPEG");

    cls::WriteFileBytes(engine::ThumbnailsFolder + L"123.jpg", "");
    engine::FetchVideoSnapshot(L"123", results_);
    EXPECT_EQ(Thumbnail(), "JPEG");
    EXPECT_EQ(RequestsFor("/s.jpg?x=1"), 2u);

    cls::WriteFileBytes(engine::ThumbnailsFolder + L"123.jpg", "x");
    engine::FetchVideoSnapshot(L"123", results_);
    EXPECT_EQ(Thumbnail(), "x");
    EXPECT_EQ(RequestsFor("/s.jpg?x=1"), 2u);
    EXPECT_EQ(results_.Count(), 4);
}

TEST_F(VideoSite, AnIdThatIsNotAVideoIdFetchesNothing) {
    // Such an ID can come from a hand-edited history line.
    ServeSnapshot("/s.jpg");
    server_.On("/s.jpg", LoopbackResponse::Ok("JPEG"));
    for (const wchar_t* id : {L"..\\x", L"", L"12a", L"123/../1"}) {
        engine::FetchVideoInfo(id, results_, title_, shortTitle_);
        engine::FetchVideoSnapshot(id, results_);
    }
    EXPECT_EQ(server_.RequestCount(), 0u);
    EXPECT_EQ(results_.Count(), 0);
    EXPECT_EQ(title_, L"old");
}

TEST_F(VideoSite, OtherExtensionsAreListedNotStored) {
    for (const char* path : {"/s.JPG", "/s.png"}) {
        server_.On(path, LoopbackResponse::Ok("PIC"));
        ServeSnapshot(path);
        cls::TStringList results;
        engine::FetchVideoSnapshot(L"123", results);
        EXPECT_EQ(results.Lines(), Lines{server_.Url(path) + L"&src=snapshot&"}) << path;
        EXPECT_EQ(RequestsFor(path), 0u) << path;
    }
    EXPECT_FALSE(cls::FileExists(engine::ThumbnailsFolder + L"123.jpg"));
}

}  // namespace
