// Light timers without a window of their own: every timer of the process
// ticks through one hidden window owned by a shared handler, which exists
// from the first timer's creation to the last one's destruction.
// GUI thread only.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <unordered_set>

namespace components {

// Receives the messages of a window made by AllocateHWnd.
class TMessageTarget {
public:
    // May free the target (and with it the window) while running, as long
    // as it touches nothing of the target afterwards.
    virtual LRESULT HandleMessage(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) = 0;

protected:
    ~TMessageTarget() = default;
};

// A hidden top-level window (so it also receives broadcasts) whose messages
// go to Target. Messages arriving before or after the target is attached go
// to DefWindowProcW.
HWND AllocateHWnd(TMessageTarget* target);
void DeallocateHWnd(HWND wnd);

class TSimpleTimer;
using TTimerEvent = std::function<void(TSimpleTimer* sender)>;

class TSimpleTimerHandler final : public TMessageTarget {
public:
    TSimpleTimerHandler();
    ~TSimpleTimerHandler();
    TSimpleTimerHandler(const TSimpleTimerHandler&) = delete;
    TSimpleTimerHandler& operator=(const TSimpleTimerHandler&) = delete;

    void AddTimer(TSimpleTimer* timer);
    void RemoveTimer(TSimpleTimer* timer);
    bool IsLive(const TSimpleTimer* timer) const;

    uint32_t RefCount() const { return refCount_; }
    uint32_t ActiveCount() const { return activeCount_; }
    HWND WindowHandle() const { return window_; }

    LRESULT HandleMessage(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) override;

private:
    friend class TSimpleTimer;
    uint32_t refCount_ = 0;
    uint32_t activeCount_ = 0;  // kept up to date; nothing decides on it
    HWND window_ = nullptr;
    // A tick only reaches a timer that is still alive: a stale or foreign
    // WM_TIMER is dropped instead of being taken for an object.
    std::unordered_set<const TSimpleTimer*> live_;
};

// The process's shared handler, or null while no timer exists.
TSimpleTimerHandler* SharedTimerHandler();

class TSimpleTimer {
public:
    TSimpleTimer();
    TSimpleTimer(uint32_t interval, TTimerEvent onTimer);
    virtual ~TSimpleTimer();
    TSimpleTimer(const TSimpleTimer&) = delete;
    TSimpleTimer& operator=(const TSimpleTimer&) = delete;

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    // Milliseconds. 0 stops a running timer but leaves Enabled set, so a
    // later non-zero interval starts it again.
    uint32_t Interval() const { return interval_; }
    void SetInterval(uint32_t value);
    const TTimerEvent& OnTimer() const { return onTimer_; }
    // Clearing the event stops the timer but leaves Enabled set.
    void SetOnTimer(TTimerEvent value);
    // The id given to SetTimer; a tick's wParam.
    UINT_PTR Id() const { return id_; }

    bool AutoDisable = false;  // stop after the first tick
    int32_t Tag = 0;

protected:
    virtual void DoTimer();

private:
    friend class TSimpleTimerHandler;
    bool Start();
    bool Stop(bool clearEnabled);

    UINT_PTR id_;
    bool enabled_ = false;
    uint32_t interval_ = 1000;
    TTimerEvent onTimer_;
};

}  // namespace components
