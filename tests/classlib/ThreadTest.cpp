#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <vector>

#include "classlib/Application.h"
#include "classlib/Thread.h"

using cls::TThread;

namespace {
class CountingThread : public TThread {
public:
    CountingThread(int steps, std::vector<DWORD>* syncThreads)
        : TThread(true), steps_(steps), syncThreads_(syncThreads) {}
    ~CountingThread() override { StopAndWait(); }
    std::atomic<int> done{0};

protected:
    void Execute() override {
        for (int i = 0; i < steps_ && !Terminated(); ++i) {
            Synchronize([this] { syncThreads_->push_back(GetCurrentThreadId()); });
            ++done;
        }
    }

private:
    int steps_;
    std::vector<DWORD>* syncThreads_;
};

// Pumps messages until the condition holds or a second has passed.
template <typename F>
bool PumpUntil(F cond) {
    DWORD start = GetTickCount();
    while (!cond() && GetTickCount() - start < 5000) {
        cls::Application.ProcessMessages();
        Sleep(1);
    }
    return cond();
}
}  // namespace

TEST(Thread, SynchronizedCallsAndTerminationRunOnTheGuiThread) {
    std::vector<DWORD> syncThreads;
    DWORD terminateThread = 0;
    auto* t = new CountingThread(5, &syncThreads);
    t->OnTerminate = [&](TThread*) { terminateThread = GetCurrentThreadId(); };
    t->Start();
    // WaitFor on the GUI thread must serve the worker's synchronised calls.
    t->WaitFor();
    EXPECT_EQ(t->done, 5);
    ASSERT_EQ(syncThreads.size(), 5u);
    for (DWORD id : syncThreads) EXPECT_EQ(id, GetCurrentThreadId());
    EXPECT_EQ(terminateThread, GetCurrentThreadId());
    delete t;
}

TEST(Thread, FreeOnTerminateDeletesAfterTheHandlerRan) {
    static std::atomic<int> destroyed{0};
    struct Worker : TThread {
        Worker() : TThread(true) {}
        ~Worker() override { ++destroyed; }
        void Execute() override { ReturnValue = 7; }
    };
    destroyed = 0;
    auto* w = new Worker;
    w->FreeOnTerminate = true;
    int seen = -1;
    w->OnTerminate = [&](TThread* s) { seen = s->ReturnValue; };
    w->Start();
    EXPECT_TRUE(PumpUntil([] { return destroyed == 1; }));
    EXPECT_EQ(seen, 7);
}

TEST(Thread, ExceptionsAreKeptForTheTerminationHandler) {
    struct Thrower : TThread {
        Thrower() : TThread(true) {}
        void Execute() override {
            Synchronize([] { throw std::runtime_error("from gui"); });
        }
    };
    Thrower t;
    bool sawError = false;
    t.OnTerminate = [&](TThread* s) { sawError = static_cast<bool>(s->FatalException); };
    t.Start();
    t.WaitFor();
    EXPECT_TRUE(sawError) << "an exception on the GUI thread is raised again in the worker";
}

TEST(Thread, DestroyingStopsARunningThreadAndAnUnstartedOne) {
    std::vector<DWORD> syncThreads;
    {
        CountingThread endless(1000000, &syncThreads);
        endless.Start();
        PumpUntil([&] { return endless.done > 3; });
    }  // must not hang
    EXPECT_LT(syncThreads.size(), 1000000u);
    { CountingThread never(5, &syncThreads); }
    SUCCEED();
}

TEST(Application, ProcessMessagesPutsAQuitMessageBack) {
    PostQuitMessage(5);
    cls::Application.ProcessMessages();
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 5u);
}
