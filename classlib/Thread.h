// Worker threads that hand work to the GUI thread. Synchronize runs a call
// on the GUI thread while the worker waits; the termination handler also
// runs there, after Execute has returned. The GUI thread is the one that
// initialised the process (the one running static initialisation).
#pragma once
#include <windows.h>
#include <atomic>
#include <exception>
#include <functional>

#include "Raii.h"

namespace cls {

class TThread {
public:
    explicit TThread(bool createSuspended);
    // Stops a running thread and waits for it. A derived class whose
    // Execute uses its own members calls StopAndWait in its own destructor,
    // while those members still exist.
    virtual ~TThread();
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    void Start();
    void Terminate() { terminated_ = true; }
    bool Terminated() const { return terminated_; }
    bool Finished() const { return finished_; }
    // Waits for the end of Execute. On the GUI thread, synchronised calls of
    // the worker keep running meanwhile, so waiting cannot deadlock them.
    DWORD WaitFor();

    // Freed by the worker itself once the termination handler has run.
    bool FreeOnTerminate = false;
    std::function<void(TThread* sender)> OnTerminate;
    int ReturnValue = 0;
    // An exception that escaped Execute, kept for the termination handler.
    std::exception_ptr FatalException;

    static bool IsGuiThread();
    // Runs Call on the GUI thread and waits for it; any exception it raises
    // is raised again in the calling thread.
    static void Synchronize(const std::function<void()>& call);

protected:
    virtual void Execute() = 0;
    virtual void DoTerminate();
    void StopAndWait();

private:
    static DWORD WINAPI ThreadProc(void* self);

    Handle handle_;
    DWORD threadId_ = 0;
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    bool started_ = false;
};

}  // namespace cls
