// Owners for the memory OLE hands around during a drag: global memory
// blocks, their locks, and storage media.
#pragma once
#include <windows.h>
#include <objidl.h>
#include <ole2.h>
#include <utility>

#include "classlib/Raii.h"

namespace dragdrop {

struct HGlobalTraits {
    static HGLOBAL Invalid() { return nullptr; }
    static bool Valid(HGLOBAL h) { return h != nullptr; }
    static void Close(HGLOBAL h) { GlobalFree(h); }
};
using HGlobal = cls::UniqueResource<HGLOBAL, HGlobalTraits>;

// The drag-and-drop library hands out movable, zero-filled blocks only.
inline HGlobal AllocGlobal(SIZE_T size) { return HGlobal(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size)); }

// Locks a block for the scope; Data() is null when the lock failed.
class GlobalLockGuard {
public:
    explicit GlobalLockGuard(HGLOBAL h) : h_(h), p_(h ? ::GlobalLock(h) : nullptr) {}
    ~GlobalLockGuard() {
        if (p_) ::GlobalUnlock(h_);
    }
    GlobalLockGuard(const GlobalLockGuard&) = delete;
    GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;
    void* Data() const { return p_; }

private:
    HGLOBAL h_;
    void* p_;
};

// A STGMEDIUM released with ReleaseStgMedium when the owner goes.
class StgMedium {
public:
    StgMedium() = default;
    ~StgMedium() { reset(); }
    StgMedium(const StgMedium&) = delete;
    StgMedium& operator=(const StgMedium&) = delete;
    StgMedium(StgMedium&& o) noexcept : m_(o.release()) {}

    STGMEDIUM& get() { return m_; }
    const STGMEDIUM& get() const { return m_; }
    STGMEDIUM* operator->() { return &m_; }
    // For calls that fill the medium: anything held is released first.
    STGMEDIUM* put() {
        reset();
        return &m_;
    }
    STGMEDIUM release() { return std::exchange(m_, STGMEDIUM{}); }
    void reset() {
        if (m_.tymed != TYMED_NULL) ReleaseStgMedium(&m_);
        m_ = STGMEDIUM{};
    }

private:
    STGMEDIUM m_{};
};

}  // namespace dragdrop
