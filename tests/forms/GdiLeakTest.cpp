#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "classlib/Button.h"
#include "classlib/Label.h"
#include "classlib/Raii.h"
#include "forms/DownloadStart.h"
#include "tests/forms/DownloadTestSupport.h"
#include "tests/support/GdiObjects.h"

using namespace app;
using namespace downloadtest;
using testing_support::CountGdiObjects;
using testing_support::GdiObjects;

namespace {

// A leak grows the count with every window; Wine's own caches may grow it
// once in a while, so less than one object per window is no leak.
void ExpectNoGrowthPerWindow(const GdiObjects& before, const GdiObjects& after, int windows) {
    EXPECT_LT(after.Bitmaps() - before.Bitmaps(), windows)
        << "bitmaps " << before.Bitmaps() << " -> " << after.Bitmaps() << " over " << windows << " windows";
    EXPECT_LT(after.Total - before.Total, windows)
        << "GDI objects " << before.Total << " -> " << after.Total << " over " << windows << " windows";
}

// The count is only worth trusting when it follows what is made and freed.
TEST(GdiObjectsTest, CountsWhatThisProcessMakesAndFrees) {
    const GdiObjects before = CountGdiObjects();
    std::vector<cls::Bitmap> bitmaps;
    for (int i = 0; i < 100; ++i) bitmaps.emplace_back(CreateBitmap(4, 4, 1, 32, nullptr));
    std::vector<cls::Brush> brushes;
    for (int i = 0; i < 10; ++i) brushes.emplace_back(CreateSolidBrush(RGB(i, 0, 0)));
    const GdiObjects made = CountGdiObjects();
    EXPECT_EQ(made.Bitmaps() - before.Bitmaps(), 100);
    EXPECT_EQ(made.ByType[testing_support::gdiBrush] - before.ByType[testing_support::gdiBrush], 10);
    EXPECT_EQ(made.Total - before.Total, 110);

    bitmaps.clear();
    brushes.clear();
    const GdiObjects after = CountGdiObjects();
    EXPECT_EQ(after.Bitmaps(), before.Bitmaps());
    EXPECT_EQ(after.Total, before.Total);
}

class GdiLeakTest : public DownloadFixture {
protected:
    void SetUp() override {
        if (!SiteAvailable()) GTEST_SKIP() << "needs the fake site (tests/fakesite/run-with-site.sh)";
    }

    // One download window from a new result panel, run to its end and closed.
    void DownloadAndClose(int i) {
        TVideoPanel* panel =
            Panel({L"https://video.xx.fbcdn.net/stream/20000/clip.mp4?n=" + std::to_wstring(i) + L"&src=sd&"});
        DownloadLabelClick(panel->Links().at(0).Label);
        ASSERT_NE(FrmDownloading, nullptr);
        ASSERT_TRUE(WaitForEnd());
        ASSERT_EQ(FrmDownloading->Phase(), TDownloadPhase::Complete);
        FrmDownloading->BtnCancelar->Click();
        ASSERT_TRUE(WaitFor([] { return !DownloadFormExists; }));
        delete panel;
        formstest::Pump(10);
    }
};

TEST_F(GdiLeakTest, ClosedDownloadWindowsLeaveNoGdiObjects) {
    // The first window registers its class and fills the system's caches.
    ASSERT_NO_FATAL_FAILURE(DownloadAndClose(0));
    const GdiObjects before = CountGdiObjects();
    for (int i = 1; i <= 20; ++i) ASSERT_NO_FATAL_FAILURE(DownloadAndClose(i));
    ExpectNoGrowthPerWindow(before, CountGdiObjects(), 20);
}

}  // namespace
