// WinInet's own proxy, TLS and keep-alive path to the fake site, below the
// engine: what every later site test relies on.
#include <gtest/gtest.h>

#include <string>

#include "SiteSupport.h"

using namespace site_support;

namespace {

class WinInetPath : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SiteIsRunning()) << "run through tests/fakesite/run-with-site.sh"; }
};

TEST_F(WinInetPath, PageArrivesWholeOverTheProxyAndTls) {
    RawResponse r = RawGet(L"https://www.facebook.com/video.php?v=10150000000101");
    ASSERT_TRUE(r.sent) << r.error;
    EXPECT_EQ(r.status, 200u);
    const std::string page = Fixture("video-10150000000101.html");
    ASSERT_FALSE(page.empty());
    EXPECT_TRUE(r.hasLength);
    EXPECT_EQ(r.length, static_cast<int64_t>(page.size()));
    EXPECT_EQ(r.body, page);
    EXPECT_EQ(CountRequests("GET https://www.facebook.com/video.php?v=10150000000101 200"), 1u);
}

// Every host the certificate names, wildcards included, is trusted.
TEST_F(WinInetPath, EverySiteHostIsTrusted) {
    for (const wchar_t* host : {L"www.facebook.com", L"m.facebook.com", L"graph.facebook.com", L"facebook.com",
                                L"www.fb.com", L"video.xx.fbcdn.net", L"scontent.xx.fbcdn.net",
                                L"static.xx.fbcdn.net" /* only *.xx.fbcdn.net */,
                                L"lookaside.fbcdn.net" /* only *.fbcdn.net */}) {
        RawResponse r = RawGet(std::wstring(L"https://") + host + L"/probe.txt");
        EXPECT_TRUE(r.sent) << r.error;
        EXPECT_EQ(r.body, "fake site probe\n") << host;
    }
}

TEST_F(WinInetPath, CertificateForAnotherNameIsRefused) {
    RawResponse r = RawGet(L"https://unlisted.fakesite.test/probe.txt");
    EXPECT_FALSE(r.sent);
    EXPECT_EQ(r.error, static_cast<DWORD>(ERROR_INTERNET_SEC_CERT_CN_INVALID));
    EXPECT_TRUE(r.body.empty());
    // The tunnel was opened, but no request went through it.
    EXPECT_EQ(CountRequests("CONNECT unlisted.fakesite.test:443 200"), 1u);
    EXPECT_EQ(CountRequests("GET https://unlisted.fakesite.test/probe.txt 200"), 0u);
}

TEST_F(WinInetPath, CertificateOfAnUntrustedAuthorityIsRefused) {
    RawResponse r = RawGet(L"https://rogue.fakesite.test/probe.txt");
    EXPECT_FALSE(r.sent);
    // Windows says "invalid CA"; Wine reports the failed chain as a failed
    // revocation check.
    EXPECT_TRUE(r.error == ERROR_INTERNET_INVALID_CA || r.error == ERROR_INTERNET_SEC_CERT_REV_FAILED) << r.error;
    EXPECT_EQ(CountRequests("GET https://rogue.fakesite.test/probe.txt 200"), 0u);
}

TEST_F(WinInetPath, ConnectionIsKeptAcrossRequests) {
    const size_t tunnelsBefore = CountRequests("CONNECT m.facebook.com:443 200");
    const size_t getsBefore = CountRequests("GET https://m.facebook.com/probe.txt 200");
    InternetHandle session = OpenSession();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(RawGet(session.get(), L"https://m.facebook.com/probe.txt").status, 200u);
    EXPECT_EQ(CountRequests("GET https://m.facebook.com/probe.txt 200") - getsBefore, 3u);
    EXPECT_LE(CountRequests("CONNECT m.facebook.com:443 200") - tunnelsBefore, 1u);
}

TEST_F(WinInetPath, PlainRequestsAreProxiedToo) {
    RawResponse r = RawGet(L"http://update.korvelink.test/download/KV.currver");
    EXPECT_EQ(r.status, 200u);
    EXPECT_EQ(r.body, Fixture("KV.currver"));
}

TEST_F(WinInetPath, UnknownPagesAre404WithABody) {
    RawResponse r = RawGet(L"https://www.facebook.com/no/such/page");
    EXPECT_EQ(r.status, 404u);
    EXPECT_TRUE(r.hasLength);
    EXPECT_NE(r.body.find("Page Not Found"), std::string::npos);
}

// Wine sends the request and then finds no answer: no status, no size.
TEST_F(WinInetPath, UnreachableHostsGiveNoAnswer) {
    for (const wchar_t* url : {L"https://www.example.com/probe.txt", L"http://update.invalid/download/KV.currver"}) {
        RawResponse r = RawGet(url);
        EXPECT_EQ(r.status, 0u) << url;
        EXPECT_FALSE(r.hasLength) << url;
        EXPECT_TRUE(r.body.empty()) << url;
    }
}

struct StreamCase {
    const wchar_t* query;
    bool hasLength;
    size_t bodySize;
};

TEST_F(WinInetPath, GeneratedStreamsFollowTheirQuery) {
    const size_t size = 70001;
    const StreamCase cases[] = {
        {L"", true, size},
        {L"?nolength=1", false, size},
        {L"?chunked=1", false, size},
        {L"?short=1000", true, size - 1000},
        {L"?trickle=1&chunk=20000", true, size},
    };
    for (const auto& c : cases) {
        RawResponse r = RawGet(L"https://video.xx.fbcdn.net/stream/70001/v.mp4" + std::wstring(c.query));
        EXPECT_EQ(r.status, 200u) << c.query;
        EXPECT_EQ(r.hasLength, c.hasLength) << c.query;
        if (c.hasLength) {
            EXPECT_EQ(r.length, static_cast<int64_t>(size)) << c.query;
        }
        EXPECT_EQ(r.body.size(), c.bodySize) << c.query;
        EXPECT_TRUE(r.body == PatternBytes(0, c.bodySize)) << c.query;
    }
}

TEST_F(WinInetPath, StreamRoutesOfTheFixturesHaveTheirSizes) {
    RawResponse r = RawGet(L"https://video.xx.fbcdn.net/v/t42.1790-2/10150000000103_sd.mp4?oh=00_AfD5&oe=65F1C2D5");
    EXPECT_EQ(r.status, 200u);
    EXPECT_EQ(r.length, 4099);
    EXPECT_TRUE(r.body == PatternBytes(0, 4099));
}

}  // namespace
