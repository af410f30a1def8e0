#include "Thread.h"

#include <stdexcept>

namespace cls {

namespace {

const UINT WM_SYNCHRONIZE = WM_APP + 0x51;
const DWORD guiThreadId = GetCurrentThreadId();

struct SyncCall {
    const std::function<void()>* call;
    std::exception_ptr error;
};

LRESULT CALLBACK SyncWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_SYNCHRONIZE) {
        auto* sc = reinterpret_cast<SyncCall*>(lp);
        try {
            (*sc->call)();
        } catch (...) {
            sc->error = std::current_exception();
        }
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// The hidden window through which workers reach the GUI thread; created
// on the GUI thread the first time a thread object is made there.
HWND SyncWindow() {
    static HWND wnd = [] {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = SyncWndProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"KorvelinkThreadSync";
        RegisterClassW(&wc);
        return CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               wc.hInstance, nullptr);
    }();
    return wnd;
}

}  // namespace

bool TThread::IsGuiThread() { return GetCurrentThreadId() == guiThreadId; }

void TThread::Synchronize(const std::function<void()>& call) {
    if (IsGuiThread()) {
        call();
        return;
    }
    SyncCall sc{&call, nullptr};
    // A sent message is delivered whenever the GUI thread looks at its queue,
    // in the main loop, in modal loops and in the fetch wait alike.
    SendMessageW(SyncWindow(), WM_SYNCHRONIZE, 0, reinterpret_cast<LPARAM>(&sc));
    if (sc.error) std::rethrow_exception(sc.error);
}

TThread::TThread(bool createSuspended) {
    if (IsGuiThread()) SyncWindow();
    handle_.reset(CreateThread(nullptr, 0, &TThread::ThreadProc, this, CREATE_SUSPENDED, &threadId_));
    if (!handle_) throw std::runtime_error("Thread creation error");
    if (!createSuspended) Start();
}

TThread::~TThread() { StopAndWait(); }

void TThread::StopAndWait() {
    if (!handle_ || GetCurrentThreadId() == threadId_ || finished_) return;
    // The derived part may already be gone: nothing of it may run now.
    OnTerminate = nullptr;
    FreeOnTerminate = false;
    Terminate();
    Start();
    WaitFor();
}

void TThread::Start() {
    if (started_) return;
    started_ = true;
    ResumeThread(handle_.get());
}

DWORD TThread::WaitFor() {
    if (GetCurrentThreadId() == threadId_) return 0;
    HANDLE h = handle_.get();
    if (IsGuiThread()) {
        for (;;) {
            DWORD r = MsgWaitForMultipleObjects(1, &h, FALSE, INFINITE, QS_SENDMESSAGE);
            if (r == WAIT_OBJECT_0) break;
            // Delivers pending sent messages (the worker's Synchronize calls)
            // without taking anything else off the queue.
            MSG msg;
            PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
    } else {
        WaitForSingleObject(h, INFINITE);
    }
    return static_cast<DWORD>(ReturnValue);
}

void TThread::DoTerminate() {
    if (OnTerminate) OnTerminate(this);
}

DWORD WINAPI TThread::ThreadProc(void* p) {
    auto* self = static_cast<TThread*>(p);
    try {
        if (!self->terminated_) self->Execute();
    } catch (...) {
        self->FatalException = std::current_exception();
    }
    bool freeSelf = self->FreeOnTerminate;
    try {
        if (self->OnTerminate) Synchronize([self] { self->DoTerminate(); });
    } catch (...) {
        // Nobody on this thread could hear of it, and the thread must still
        // finish and free itself.
    }
    self->finished_ = true;
    if (freeSelf) delete self;
    return 0;
}

}  // namespace cls
