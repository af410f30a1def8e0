// The engine's HTTP component over the real proxy and TLS path.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "classlib/Files.h"
#include "engine/HTTPGet.h"
#include "SiteSupport.h"
#include "tests/support/TempFolder.h"

using engine::THTTPGet;
using namespace site_support;

namespace {

class HttpGetOverSite : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SiteIsRunning()) << "run through tests/fakesite/run-with-site.sh"; }

    // A synchronous file fetch, as the engine's page fetches make them.
    void FetchFile(const std::wstring& url, bool binaryData = false) {
        THTTPGet get(nullptr);
        get.WaitThread = true;
        get.BinaryData = binaryData;
        get.URL = url;
        get.FileName = file_;
        get.OnDoneFile = [this](THTTPGet*, const std::wstring&, int64_t size) { doneSize_ = size; };
        get.OnError = [this](THTTPGet*) { ++errors_; };
        get.OnProgress = [this](cls::TThread*, int64_t total, int64_t readed) {
            lastTotal_ = total;
            lastReaded_ = readed;
            ++progress_;
        };
        get.GetFile();
        status_ = get.StatusCode();
    }

    testing_support::TempFolder dir_;
    std::wstring file_ = dir_.File(L"body.bin");
    int64_t doneSize_ = -1, lastTotal_ = -1, lastReaded_ = -1;
    int errors_ = 0, progress_ = 0, status_ = 0;
};

TEST_F(HttpGetOverSite, PageIsStoredWhole) {
    FetchFile(L"https://www.facebook.com/video.php?v=10150000000106");
    const std::string page = Fixture("video-10150000000106.html");
    EXPECT_EQ(errors_, 0);
    EXPECT_EQ(doneSize_, static_cast<int64_t>(page.size()));
    EXPECT_EQ(status_, 200);
    EXPECT_TRUE(dir_.Read(L"body.bin") == page);
}

// The page fetch scans whatever arrived, so an error page must arrive whole.
TEST_F(HttpGetOverSite, ErrorPageArrivesWithItsStatus) {
    FetchFile(L"https://www.facebook.com/video.php?v=10150000000107");
    EXPECT_EQ(status_, 404);
    EXPECT_TRUE(dir_.Read(L"body.bin") == Fixture("video-404.html"));
}

TEST_F(HttpGetOverSite, StreamReportsProgressUpToItsSize) {
    FetchFile(L"https://video.xx.fbcdn.net/v/t42.1790-2/10150000000101_sd.mp4?efg=eyJybHIiOjQ0OH0&oh=00_AfA1");
    EXPECT_EQ(doneSize_, 262161);
    EXPECT_GT(progress_, 1);
    EXPECT_EQ(lastTotal_, 262161);
    EXPECT_EQ(lastReaded_, 262161);
    EXPECT_TRUE(dir_.Read(L"body.bin") == PatternBytes(0, 262161));
}

TEST_F(HttpGetOverSite, BinaryDataRefusesAStreamWithoutSize) {
    FetchFile(L"https://video.xx.fbcdn.net/stream/5000/v.mp4?nolength=1", true);
    EXPECT_EQ(errors_, 1);
    EXPECT_EQ(doneSize_, -1);
    EXPECT_FALSE(cls::FileExists(file_));
}

TEST_F(HttpGetOverSite, ShortBodyFails) {
    FetchFile(L"https://video.xx.fbcdn.net/stream/9000/v.mp4?short=100");
    EXPECT_EQ(errors_, 1);
    EXPECT_EQ(lastReaded_, 8900);
}

TEST_F(HttpGetOverSite, StringTransferOverTls) {
    THTTPGet get(nullptr);
    get.WaitThread = true;
    get.URL = L"https://graph.facebook.com/probe.txt";
    std::wstring text;
    get.OnDoneString = [&](THTTPGet*, const std::wstring& s) { text = s; };
    get.GetString();
    EXPECT_EQ(text, L"fake site probe\n");
}

}  // namespace
