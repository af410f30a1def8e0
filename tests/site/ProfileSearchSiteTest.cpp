// Profile IDs scraped from the mobile site's pages and the user's picture,
// over the real HTTPS path.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "classlib/Files.h"
#include "engine/Constants.h"
#include "engine/ProfileSearch.h"
#include "SiteSupport.h"
#include "tests/support/TempFolder.h"

using namespace site_support;

namespace {

const engine::TLoggedInUser Nobody{};

class ProfileSearchOverSite : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SiteIsRunning()) << "run through tests/fakesite/run-with-site.sh";
        engine::CacheFolder = dir_.Path() + L"Cache\\";
    }
    void TearDown() override { engine::CacheFolder = saved_; }

    // Requests the site answered during Run, "GET" ones only.
    template <typename F>
    std::vector<std::string> GetsDuring(F run) {
        const size_t before = SiteRequests().size();
        run();
        std::vector<std::string> after = SiteRequests(), gets;
        for (size_t i = before; i < after.size(); ++i)
            if (after[i].rfind("GET ", 0) == 0) gets.push_back(after[i]);
        return gets;
    }
    bool CacheIsEmpty() const {
        WIN32_FIND_DATAW data;
        HANDLE h = FindFirstFileW((engine::CacheFolder + L"*.tmp").c_str(), &data);
        if (h == INVALID_HANDLE_VALUE) return true;
        FindClose(h);
        return false;
    }

    testing_support::TempFolder dir_;
    std::wstring saved_ = engine::CacheFolder;
};

TEST_F(ProfileSearchOverSite, IdsFromMobileProfilePages) {
    struct {
        const wchar_t* name;
        const wchar_t* id;
    } cases[] = {
        {L"jane.doe.42", L"100004000000042"},  // add-friend link on a later line wins
        {L"facebook", L"100004000000077"},     // profileID= inside an escaped attribute
        {L"bad.id", L"12ab"},
        {L"no.markers", L""},
        {L"gone.user", L""},  // 404
        {L"never.heard.of", L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(engine::FetchUserId(c.name, engine::plkName, Nobody), c.id) << c.name;
        EXPECT_TRUE(CacheIsEmpty()) << c.name;
    }
}

TEST_F(ProfileSearchOverSite, LinkToIdFetchesOnlyForNames) {
    std::wstring id;
    auto gets = GetsDuring([&] {
        auto link = engine::ParseProfileLink(L"https://www.facebook.com/jane.doe.42?fref=ts", Nobody);
        id = engine::FetchUserId(link.Part, link.Kind, Nobody);
    });
    EXPECT_EQ(id, L"100004000000042");
    EXPECT_EQ(gets, std::vector<std::string>{"GET https://m.facebook.com/jane.doe.42 200"});

    gets = GetsDuring([&] {
        auto link = engine::ParseProfileLink(L"https://www.facebook.com/profile.php?id=4&sk=about", Nobody);
        id = engine::FetchUserId(link.Part, link.Kind, Nobody);
    });
    EXPECT_EQ(id, L"4");
    EXPECT_TRUE(gets.empty());

    // The logged-in user's own name needs no page either.
    const engine::TLoggedInUser me{L"100004000000001", L"jane.doe.42"};
    gets = GetsDuring([&] { id = engine::FetchUserId(L"jane.doe.42", engine::plkName, me); });
    EXPECT_EQ(id, L"100004000000001");
    EXPECT_TRUE(gets.empty());

    // A name that cannot be a path is never sent.
    gets = GetsDuring([&] { id = engine::FetchUserId(L"x:y@evil.example", engine::plkName, Nobody); });
    EXPECT_EQ(id, L"");
    EXPECT_TRUE(gets.empty());
}

TEST_F(ProfileSearchOverSite, PictureIsStored) {
    const std::wstring file = engine::CacheFolder + L"100004000000001.jpg";
    std::vector<std::string> gets;
    bool ok = false;
    gets = GetsDuring([&] { ok = engine::DownloadProfilePicture(file, L"100004000000001"); });
    EXPECT_TRUE(ok);
    EXPECT_EQ(gets, std::vector<std::string>{
                        "GET https://graph.facebook.com/100004000000001/picture?height=74&width=74 200"});
    std::string stored;
    ASSERT_TRUE(cls::ReadFileBytes(file, stored));
    EXPECT_TRUE(stored == Fixture("profile.jpg"));
}

TEST_F(ProfileSearchOverSite, FailedPictureLeavesNoFile) {
    for (const wchar_t* id : {L"100004000000043" /* empty body */, L"100004000000044" /* 404 */}) {
        const std::wstring file = engine::CacheFolder + id + L".jpg";
        EXPECT_FALSE(engine::DownloadProfilePicture(file, id)) << id;
        EXPECT_FALSE(cls::FileExists(file)) << id;
    }
    // An ID that is not a number is not sent.
    const std::wstring file = engine::CacheFolder + L"x.jpg";
    auto gets = GetsDuring([&] { EXPECT_FALSE(engine::DownloadProfilePicture(file, L"1/../2")); });
    EXPECT_TRUE(gets.empty());
    EXPECT_FALSE(cls::FileExists(file));
}

}  // namespace
