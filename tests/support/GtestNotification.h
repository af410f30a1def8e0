// GoogleTest's own threads wait on a Notification built from std::mutex and
// std::condition_variable, which the win32 thread model of the toolchain
// lacks. This one, over a Win32 event, is put in its place: the build
// includes this header ahead of every GoogleTest source and test.
#pragma once

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
public:
    Notification();
    ~Notification();
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;

    void Notify();
    void WaitForNotification();

private:
    void* event_;  // a manual-reset event; no <windows.h> in every test
};

}  // namespace internal
}  // namespace testing
