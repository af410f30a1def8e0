#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "components/SimpleTimer.h"
#include "Pump.h"

using components::SharedTimerHandler;
using components::TSimpleTimer;
using components_test::PumpFor;
using components_test::PumpUntil;

TEST(SimpleTimer, NewTimerIsStoppedWithItsInterval) {
    TSimpleTimer a;
    TSimpleTimer b(250, [](TSimpleTimer*) {});
    EXPECT_FALSE(a.Enabled());
    EXPECT_EQ(a.Interval(), 1000u);
    EXPECT_FALSE(b.Enabled());
    EXPECT_EQ(b.Interval(), 250u);
    EXPECT_EQ(a.Id(), reinterpret_cast<UINT_PTR>(&a));
    ASSERT_NE(SharedTimerHandler(), nullptr);
    EXPECT_EQ(SharedTimerHandler()->RefCount(), 2u);
    EXPECT_EQ(SharedTimerHandler()->ActiveCount(), 0u);
}

TEST(SimpleTimer, EnablingWithZeroIntervalLeavesItStopped) {
    int ticks = 0;
    TSimpleTimer t(0, [&](TSimpleTimer*) { ++ticks; });
    t.SetEnabled(true);
    EXPECT_FALSE(t.Enabled());
    EXPECT_EQ(SharedTimerHandler()->ActiveCount(), 0u);
}

TEST(SimpleTimer, ZeroIntervalPausesButKeepsEnabled) {
    int ticks = 0;
    TSimpleTimer t(10, [&](TSimpleTimer*) { ++ticks; });
    t.SetEnabled(true);
    ASSERT_TRUE(PumpUntil([&] { return ticks >= 1; }));
    t.SetInterval(0);
    EXPECT_TRUE(t.Enabled());
    EXPECT_EQ(SharedTimerHandler()->ActiveCount(), 0u);
    int before = ticks;
    PumpFor(80);
    EXPECT_EQ(ticks, before);

    t.SetInterval(20);
    EXPECT_TRUE(t.Enabled());
    EXPECT_EQ(SharedTimerHandler()->ActiveCount(), 1u);
    EXPECT_TRUE(PumpUntil([&] { return ticks >= before + 2; }));

    t.SetEnabled(false);
    EXPECT_FALSE(t.Enabled());
    EXPECT_EQ(SharedTimerHandler()->ActiveCount(), 0u);
}

TEST(SimpleTimer, ClearingTheEventPausesButKeepsEnabled) {
    TSimpleTimer t(10, [](TSimpleTimer*) {});
    t.SetEnabled(true);
    EXPECT_EQ(SharedTimerHandler()->ActiveCount(), 1u);
    t.SetOnTimer(nullptr);
    EXPECT_TRUE(t.Enabled());
    EXPECT_EQ(SharedTimerHandler()->ActiveCount(), 0u);
    // Disabling a paused timer must not drive the count below zero.
    t.SetEnabled(false);
    EXPECT_EQ(SharedTimerHandler()->ActiveCount(), 0u);
}

TEST(SimpleTimer, RestartingDoesNotCountTwice) {
    TSimpleTimer t(50, [](TSimpleTimer*) {});
    t.SetEnabled(true);
    t.SetEnabled(true);
    t.SetInterval(60);
    EXPECT_EQ(SharedTimerHandler()->ActiveCount(), 1u);
}

TEST(SimpleTimer, OneShotTicksOnceAndMayRearm) {
    std::vector<bool> enabledSeen;
    TSimpleTimer t(5, nullptr);
    t.SetOnTimer([&](TSimpleTimer* s) {
        enabledSeen.push_back(s->Enabled());
        if (enabledSeen.size() == 1) s->SetEnabled(true);
    });
    t.AutoDisable = true;
    t.SetEnabled(true);
    ASSERT_TRUE(PumpUntil([&] { return enabledSeen.size() >= 2; }));
    PumpFor(60);
    EXPECT_EQ(enabledSeen, (std::vector<bool>{false, false}));
    EXPECT_FALSE(t.Enabled());
    EXPECT_EQ(SharedTimerHandler()->ActiveCount(), 0u);
}

TEST(SimpleTimer, LastTimerTakesTheHiddenWindowAlong) {
    ASSERT_EQ(SharedTimerHandler(), nullptr);
    auto t = std::make_unique<TSimpleTimer>();
    HWND first = SharedTimerHandler()->WindowHandle();
    ASSERT_TRUE(IsWindow(first));
    auto u = std::make_unique<TSimpleTimer>();
    EXPECT_EQ(SharedTimerHandler()->WindowHandle(), first);
    t.reset();
    EXPECT_TRUE(IsWindow(first));
    u.reset();
    EXPECT_EQ(SharedTimerHandler(), nullptr);
    EXPECT_FALSE(IsWindow(first));

    int ticks = 0;
    TSimpleTimer again(5, [&](TSimpleTimer*) { ++ticks; });
    ASSERT_NE(SharedTimerHandler(), nullptr);
    EXPECT_TRUE(IsWindow(SharedTimerHandler()->WindowHandle()));
    again.SetEnabled(true);
    EXPECT_TRUE(PumpUntil([&] { return ticks > 0; }));
}

TEST(SimpleTimer, TimerMayFreeItselfAndTheHandlerInItsTick) {
    ASSERT_EQ(SharedTimerHandler(), nullptr);
    bool ticked = false;
    auto* t = new TSimpleTimer(5, nullptr);
    t->SetOnTimer([&](TSimpleTimer* s) {
        ticked = true;
        delete s;
    });
    t->SetEnabled(true);
    ASSERT_TRUE(PumpUntil([&] { return ticked; }));
    EXPECT_EQ(SharedTimerHandler(), nullptr);
}

TEST(SimpleTimer, EachTickReachesItsOwnTimer) {
    std::vector<TSimpleTimer*> senders;
    auto log = [&](TSimpleTimer* s) { senders.push_back(s); };
    TSimpleTimer a(15, log), b(15, log);
    HWND wnd = SharedTimerHandler()->WindowHandle();
    SendMessageW(wnd, WM_TIMER, b.Id(), 0);
    SendMessageW(wnd, WM_TIMER, a.Id(), 0);
    EXPECT_EQ(senders, (std::vector<TSimpleTimer*>{&b, &a}));

    senders.clear();
    a.SetEnabled(true);
    b.SetEnabled(true);
    ASSERT_TRUE(PumpUntil([&] {
        int na = 0, nb = 0;
        for (auto* s : senders) (s == &a ? na : nb)++;
        return na >= 3 && nb >= 3;
    }));
    b.SetEnabled(false);
    PumpFor(20);  // a tick of b may still have been queued
    senders.clear();
    PumpFor(60);
    for (auto* s : senders) EXPECT_EQ(s, &a);
}

TEST(SimpleTimer, ForeignOrStaleTickIsIgnored) {
    int aliveTicks = 0, goneTicks = 0;
    TSimpleTimer alive(1000, [&](TSimpleTimer*) { ++aliveTicks; });
    auto* gone = new TSimpleTimer(1000, [&](TSimpleTimer*) { ++goneTicks; });
    gone->AutoDisable = true;
    UINT_PTR staleId = gone->Id();
    delete gone;
    HWND wnd = SharedTimerHandler()->WindowHandle();

    int notATimer = 0;
    SendMessageW(wnd, WM_TIMER, staleId, 0);
    SendMessageW(wnd, WM_TIMER, reinterpret_cast<WPARAM>(&notATimer), 0);
    SendMessageW(wnd, WM_TIMER, 0, 0);
    SendMessageW(wnd, WM_TIMER, 0xDEADBEEF, 0);
    EXPECT_EQ(goneTicks, 0);
    EXPECT_EQ(aliveTicks, 0);
    EXPECT_EQ(notATimer, 0);
    // The window still works for the timer that is alive.
    SendMessageW(wnd, WM_TIMER, alive.Id(), 0);
    EXPECT_EQ(aliveTicks, 1);
}
