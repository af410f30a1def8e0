#include "Timer.h"

#include "classlib/Application.h"

namespace cls {

namespace {
const wchar_t* const TimerClass = L"TTimerWindow";
constexpr UINT_PTR TimerId = 1;
}  // namespace

TTimer::TTimer(TComponent* owner) : TComponent(owner) {
    HINSTANCE inst = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc = {sizeof(wc)};
    if (!GetClassInfoExW(inst, TimerClass, &wc)) {
        wc = {sizeof(wc)};
        wc.lpfnWndProc = &TTimer::WndProc;
        wc.hInstance = inst;
        wc.lpszClassName = TimerClass;
        RegisterClassExW(&wc);
    }
    window_.reset(CreateWindowExW(0, TimerClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, inst, nullptr));
    SetWindowLongPtrW(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    Update();
}

TTimer::~TTimer() {
    if (window_) {
        KillTimer(window_.get(), TimerId);
        SetWindowLongPtrW(window_.get(), GWLP_USERDATA, 0);
    }
}

void TTimer::SetProps(const Props& p) {
    Name = p.Name;
    interval_ = p.Interval;
    enabled_ = p.Enabled;
    Update();
}

void TTimer::SetInterval(unsigned ms) {
    if (ms == interval_) return;
    interval_ = ms;
    Update();
}

void TTimer::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    Update();
}

void TTimer::Update() {
    if (!window_) return;
    KillTimer(window_.get(), TimerId);
    if (enabled_ && interval_ > 0) SetTimer(window_.get(), TimerId, interval_, nullptr);
}

void TTimer::DoTimer() {
    if (OnTimer) OnTimer(this);
}

LRESULT CALLBACK TTimer::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_TIMER && wp == TimerId) {
        if (auto* timer = reinterpret_cast<TTimer*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)))
            GuardedDispatch([&]() -> LRESULT {
                timer->DoTimer();
                return 0;
            });
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

TTimer* NewTimer(TComponent* owner, const TTimer::Props& props) {
    auto* timer = new TTimer(owner);
    timer->SetProps(props);
    return timer;
}

}  // namespace cls
