#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <vector>

#include "classlib/Application.h"
#include "classlib/Hooks.h"
#include "components/TaskbarProgress.h"
#include "tests/support/RecordingTaskbarList.h"

using namespace components;

namespace {

class TaskbarProgress : public ::testing::Test {
protected:
    void SetUp() override {
        ReleaseTaskbarAPI();
        savedMain_ = cls::Application.MainFormHandle;
        cls::Application.MainFormHandle = reinterpret_cast<HWND>(0x1234);
    }
    void TearDown() override {
        ReleaseTaskbarAPI();
        cls::Application.MainFormHandle = savedMain_;
    }
    // Hands out Fake and counts how often an object was asked for.
    TaskbarListFactoryFunc FakeFactory() {
        return [this](cls::ComPtr<ITaskbarList3>& list) {
            ++created;
            list = cls::ComPtr<ITaskbarList3>(&fake, true);
            return S_OK;
        };
    }
    testing_support::RecordingTaskbarList fake;
    int created = 0;

private:
    HWND savedMain_ = nullptr;
};

void ExpectEveryCallRefused() {
    EXPECT_FALSE(IsTaskbarAPIAvailable());
    EXPECT_FALSE(SetTaskbarProgressState(tpsNormal));
    EXPECT_FALSE(SetTaskbarProgressValue(1, 2));
}

}  // namespace

TEST(TaskbarProgressFlag, MapsStatesToShellFlags) {
    const struct {
        int state;
        TBPFLAG flag;
    } cases[] = {
        {tpsNone, TBPF_NOPROGRESS}, {tpsIndeterminate, TBPF_INDETERMINATE}, {tpsNormal, TBPF_NORMAL},
        {tpsError, TBPF_ERROR},     {tpsPaused, TBPF_PAUSED},               {5, TBPF_NOPROGRESS},
        {-1, TBPF_NOPROGRESS},      {8, TBPF_NOPROGRESS},
    };
    for (const auto& c : cases) EXPECT_EQ(TaskbarProgressFlag(c.state), c.flag) << c.state;
    EXPECT_EQ(TaskbarProgressFlag(tpsError), 4);
    EXPECT_EQ(TaskbarProgressFlag(tpsPaused), 8);
}

TEST_F(TaskbarProgress, WithoutTheShellObjectEverythingIsRefused) {
    cls::ScopedHook<TaskbarListFactoryFunc> hook(TaskbarListFactory, [&](cls::ComPtr<ITaskbarList3>&) {
        ++created;
        return REGDB_E_CLASSNOTREG;
    });
    ExpectEveryCallRefused();
    EXPECT_FALSE(InitializeTaskbarAPI());
    ExpectEveryCallRefused();
    // Not being available is not remembered: a later call asks again.
    EXPECT_FALSE(InitializeTaskbarAPI());
    EXPECT_EQ(created, 2);
}

TEST_F(TaskbarProgress, ObjectThatFailsOrThrowsIsNotKept) {
    fake.initResult = E_FAIL;
    {
        cls::ScopedHook<TaskbarListFactoryFunc> hook(TaskbarListFactory, FakeFactory());
        EXPECT_FALSE(InitializeTaskbarAPI());
        ExpectEveryCallRefused();
        EXPECT_EQ(fake.refs, 1);
    }
    cls::ScopedHook<TaskbarListFactoryFunc> hook(
        TaskbarListFactory,
        [](cls::ComPtr<ITaskbarList3>&) -> HRESULT { throw std::runtime_error("no shell"); });
    EXPECT_FALSE(InitializeTaskbarAPI());
    ExpectEveryCallRefused();
}

TEST_F(TaskbarProgress, DrivesTheMainWindowsButton) {
    cls::ScopedHook<TaskbarListFactoryFunc> hook(TaskbarListFactory, FakeFactory());
    ASSERT_TRUE(InitializeTaskbarAPI());
    EXPECT_TRUE(InitializeTaskbarAPI());
    EXPECT_EQ(created, 1);
    EXPECT_TRUE(IsTaskbarAPIAvailable());

    EXPECT_TRUE(SetTaskbarProgressState(tpsPaused));
    EXPECT_TRUE(SetTaskbarProgressState(42));
    EXPECT_TRUE(SetTaskbarProgressValue(3'000'000'000'000ull, 6'000'000'000'000ull));
    ASSERT_EQ(fake.states.size(), 2u);
    EXPECT_EQ(fake.states[0].wnd, reinterpret_cast<HWND>(0x1234));
    EXPECT_EQ(fake.states[0].flags, TBPF_PAUSED);
    EXPECT_EQ(fake.states[1].flags, TBPF_NOPROGRESS);
    ASSERT_EQ(fake.values.size(), 1u);
    EXPECT_EQ(fake.values[0].wnd, reinterpret_cast<HWND>(0x1234));
    EXPECT_EQ(fake.values[0].done, 3'000'000'000'000ull);
    EXPECT_EQ(fake.values[0].total, 6'000'000'000'000ull);

    fake.callResult = S_FALSE;  // only S_OK counts as accepted
    EXPECT_FALSE(SetTaskbarProgressState(tpsNormal));
    EXPECT_FALSE(SetTaskbarProgressValue(1, 2));

    ReleaseTaskbarAPI();
    EXPECT_EQ(fake.refs, 1);
    ExpectEveryCallRefused();
}

// Wine may or may not offer the taskbar list; either way the routines
// must agree with themselves and not fail.
TEST_F(TaskbarProgress, RealShellObject) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    cls::Window wnd(CreateWindowExW(0, L"STATIC", L"progress", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                    nullptr, nullptr, nullptr, nullptr));
    cls::Application.MainFormHandle = wnd.get();
    bool available = InitializeTaskbarAPI();
    EXPECT_EQ(IsTaskbarAPIAvailable(), available);
    if (available) {
        EXPECT_TRUE(InitializeTaskbarAPI());
        // Whatever the shell answers, the calls return without harm.
        bool state = SetTaskbarProgressState(tpsNormal);
        bool value = SetTaskbarProgressValue(50, 100);
        SetTaskbarProgressState(tpsNone);
        std::printf("taskbar list available; state %d, value %d\n", state, value);
    } else {
        ExpectEveryCallRefused();
        std::printf("taskbar list not available\n");
    }
    ReleaseTaskbarAPI();
    EXPECT_FALSE(IsTaskbarAPIAvailable());
    wnd.reset();
    CoUninitialize();
}
