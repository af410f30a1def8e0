// A timer that runs OnTimer every Interval milliseconds on the GUI thread
// while Enabled; made and used on that thread only. Each timer has its own
// hidden message window, so the timer message leads straight to its object.
#pragma once
#include <windows.h>

#include "classlib/Component.h"
#include "classlib/Events.h"
#include "classlib/Raii.h"

namespace cls {

class TTimer : public TComponent {
public:
    struct Props {
        std::wstring Name;
        unsigned Interval = 1000;
        bool Enabled = true;
    };

    explicit TTimer(TComponent* owner = nullptr);
    ~TTimer() override;
    void SetProps(const Props& props);

    unsigned Interval() const { return interval_; }
    // Starts the count again.
    void SetInterval(unsigned ms);
    bool Enabled() const { return enabled_; }
    // Enabling a running timer changes nothing; stopping and starting again
    // starts a new count.
    void SetEnabled(bool enabled);

    TNotifyEvent OnTimer;
    virtual void DoTimer();

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void Update();

    unsigned interval_ = 1000;
    bool enabled_ = true;
    cls::Window window_;
};

// Makes a timer of a form resource.
TTimer* NewTimer(TComponent* owner, const TTimer::Props& props);

}  // namespace cls
