#include "components/SimpleTimer.h"

#include <memory>

#include "classlib/Application.h"

namespace components {

namespace {

const wchar_t UtilWindowClass[] = L"ComponentsUtilWindow";

LRESULT CALLBACK UtilWindowProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* target = reinterpret_cast<TMessageTarget*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
    if (!target) return DefWindowProcW(wnd, msg, wp, lp);
    // The tray icon's clicks and the timers run the windows' handlers here.
    return cls::GuardedDispatch([&] { return target->HandleMessage(wnd, msg, wp, lp); });
}

std::unique_ptr<TSimpleTimerHandler> TimerHandler;

TSimpleTimerHandler* AcquireTimerHandler(TSimpleTimer* timer) {
    if (!TimerHandler) TimerHandler = std::make_unique<TSimpleTimerHandler>();
    TimerHandler->AddTimer(timer);
    return TimerHandler.get();
}

void ReleaseTimerHandler(TSimpleTimer* timer) {
    if (!TimerHandler) return;
    TimerHandler->RemoveTimer(timer);
    if (TimerHandler->RefCount() == 0) TimerHandler.reset();
}

}  // namespace

HWND AllocateHWnd(TMessageTarget* target) {
    HINSTANCE inst = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc = {sizeof(wc)};
    if (!GetClassInfoExW(inst, UtilWindowClass, &wc)) {
        wc = {sizeof(wc)};
        wc.lpfnWndProc = &UtilWindowProc;
        wc.hInstance = inst;
        wc.lpszClassName = UtilWindowClass;
        RegisterClassExW(&wc);
    }
    // A tool window never shows a taskbar button, even if someone shows it.
    HWND wnd = CreateWindowExW(WS_EX_TOOLWINDOW, UtilWindowClass, L"", WS_POPUP, 0, 0, 0, 0,
                               nullptr, nullptr, inst, nullptr);
    if (wnd) SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(target));
    return wnd;
}

void DeallocateHWnd(HWND wnd) {
    if (!wnd) return;
    // Detach first: the target is going away and must not see WM_DESTROY.
    SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
    DestroyWindow(wnd);
}

TSimpleTimerHandler::TSimpleTimerHandler() { window_ = AllocateHWnd(this); }

TSimpleTimerHandler::~TSimpleTimerHandler() { DeallocateHWnd(window_); }

void TSimpleTimerHandler::AddTimer(TSimpleTimer* timer) {
    ++refCount_;
    live_.insert(timer);
}

void TSimpleTimerHandler::RemoveTimer(TSimpleTimer* timer) {
    if (refCount_ > 0) --refCount_;
    live_.erase(timer);
}

bool TSimpleTimerHandler::IsLive(const TSimpleTimer* timer) const { return live_.count(timer) != 0; }

LRESULT TSimpleTimerHandler::HandleMessage(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != WM_TIMER) return DefWindowProcW(wnd, msg, wp, lp);
    auto* timer = reinterpret_cast<TSimpleTimer*>(wp);
    if (!IsLive(timer)) return 0;
    if (timer->AutoDisable) timer->Stop(true);
    // The event may free the timer, or the last timer and this handler.
    timer->DoTimer();
    return 0;
}

TSimpleTimerHandler* SharedTimerHandler() { return TimerHandler.get(); }

TSimpleTimer::TSimpleTimer() : TSimpleTimer(1000, nullptr) {}

TSimpleTimer::TSimpleTimer(uint32_t interval, TTimerEvent onTimer)
    : id_(reinterpret_cast<UINT_PTR>(this)), interval_(interval) {
    SetOnTimer(std::move(onTimer));
    AcquireTimerHandler(this);
}

TSimpleTimer::~TSimpleTimer() {
    if (enabled_) Stop(true);
    ReleaseTimerHandler(this);
}

void TSimpleTimer::SetEnabled(bool value) {
    if (value)
        Start();
    else
        Stop(true);
}

void TSimpleTimer::SetInterval(uint32_t value) {
    if (value == interval_) return;
    interval_ = value;
    if (!enabled_) return;
    if (interval_ == 0)
        Stop(false);
    else
        Start();
}

void TSimpleTimer::SetOnTimer(TTimerEvent value) {
    onTimer_ = std::move(value);
    if (!onTimer_ && enabled_) Stop(false);
}

void TSimpleTimer::DoTimer() {
    if (onTimer_) onTimer_(this);
}

bool TSimpleTimer::Start() {
    if (interval_ == 0) return false;
    if (enabled_) Stop(true);
    TSimpleTimerHandler* h = TimerHandler.get();
    if (!h || !SetTimer(h->window_, id_, interval_, nullptr)) return false;
    enabled_ = true;
    ++h->activeCount_;
    return true;
}

bool TSimpleTimer::Stop(bool clearEnabled) {
    if (clearEnabled) enabled_ = false;
    TSimpleTimerHandler* h = TimerHandler.get();
    if (!h || !KillTimer(h->window_, id_)) return false;
    if (h->activeCount_ > 0) --h->activeCount_;
    return true;
}

}  // namespace components
