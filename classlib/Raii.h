// Owners for Win32 handles, GDI objects, registry keys and COM pointers:
// one small template instead of a close call on every path.
#pragma once
#include <windows.h>
#include <objbase.h>
#include <utility>

namespace cls {

template <typename T, typename Traits>
class UniqueResource {
public:
    UniqueResource() = default;
    explicit UniqueResource(T h) : h_(h) {}
    ~UniqueResource() { reset(); }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& o) noexcept : h_(o.release()) {}
    UniqueResource& operator=(UniqueResource&& o) noexcept {
        if (this != &o) reset(o.release());
        return *this;
    }

    T get() const { return h_; }
    explicit operator bool() const { return Traits::Valid(h_); }
    T release() { return std::exchange(h_, Traits::Invalid()); }
    void reset(T h = Traits::Invalid()) {
        if (Traits::Valid(h_)) Traits::Close(h_);
        h_ = h;
    }
    // For APIs that return the handle through an out parameter.
    T* put() {
        reset();
        return &h_;
    }

private:
    T h_ = Traits::Invalid();
};

struct KernelHandleTraits {
    static HANDLE Invalid() { return nullptr; }
    static bool Valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { CloseHandle(h); }
};
// CreateFile reports failure with INVALID_HANDLE_VALUE, most others with
// null; both count as empty.
struct FileHandleTraits : KernelHandleTraits {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
};
struct FindHandleTraits : FileHandleTraits {
    static void Close(HANDLE h) { FindClose(h); }
};
template <typename G>
struct GdiTraits {
    static G Invalid() { return nullptr; }
    static bool Valid(G h) { return h != nullptr; }
    static void Close(G h) { DeleteObject(h); }
};
struct RegKeyTraits {
    static HKEY Invalid() { return nullptr; }
    static bool Valid(HKEY h) { return h != nullptr; }
    static void Close(HKEY h) { RegCloseKey(h); }
};
struct IconTraits {
    static HICON Invalid() { return nullptr; }
    static bool Valid(HICON h) { return h != nullptr; }
    static void Close(HICON h) { DestroyIcon(h); }
};
struct WindowTraits {
    static HWND Invalid() { return nullptr; }
    static bool Valid(HWND h) { return h != nullptr; }
    static void Close(HWND h) { DestroyWindow(h); }
};

using Handle = UniqueResource<HANDLE, KernelHandleTraits>;
using FileHandle = UniqueResource<HANDLE, FileHandleTraits>;
using FindHandle = UniqueResource<HANDLE, FindHandleTraits>;
using RegKey = UniqueResource<HKEY, RegKeyTraits>;
using Icon = UniqueResource<HICON, IconTraits>;
using Window = UniqueResource<HWND, WindowTraits>;
using Bitmap = UniqueResource<HBITMAP, GdiTraits<HBITMAP>>;
using Brush = UniqueResource<HBRUSH, GdiTraits<HBRUSH>>;
using Pen = UniqueResource<HPEN, GdiTraits<HPEN>>;
using Font = UniqueResource<HFONT, GdiTraits<HFONT>>;
using Region = UniqueResource<HRGN, GdiTraits<HRGN>>;

// A memory device context; selections made through Select are undone
// before the context is deleted.
class MemoryDC {
public:
    explicit MemoryDC(HDC compatible = nullptr) : dc_(CreateCompatibleDC(compatible)) {}
    ~MemoryDC() {
        if (old_) SelectObject(dc_, old_);
        if (dc_) DeleteDC(dc_);
    }
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    HDC get() const { return dc_; }
    void SelectBitmap(HBITMAP b) {
        HGDIOBJ prev = SelectObject(dc_, b);
        if (!old_) old_ = prev;
    }

private:
    HDC dc_;
    HGDIOBJ old_ = nullptr;
};

// Reference-counted COM pointer.
template <typename I>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    explicit ComPtr(I* p, bool addRef = false) : p_(p) {
        if (p_ && addRef) p_->AddRef();
    }
    ComPtr(const ComPtr& o) : p_(o.p_) {
        if (p_) p_->AddRef();
    }
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ~ComPtr() { reset(); }
    ComPtr& operator=(ComPtr o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }

    I* get() const { return p_; }
    I* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    void reset() {
        if (p_) std::exchange(p_, nullptr)->Release();
    }
    I** put() {
        reset();
        return &p_;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }
    I* detach() { return std::exchange(p_, nullptr); }

    template <typename Q>
    ComPtr<Q> As(REFIID iid) const {
        ComPtr<Q> q;
        if (p_) p_->QueryInterface(iid, q.put_void());
        return q;
    }

private:
    I* p_ = nullptr;
};

// Runs a call when the scope ends, for clean-ups that have no handle type.
template <typename F>
class ScopeExit {
public:
    explicit ScopeExit(F f) : f_(std::move(f)) {}
    ~ScopeExit() {
        if (armed_) f_();
    }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;
    void Dismiss() { armed_ = false; }

private:
    F f_;
    bool armed_ = true;
};

}  // namespace cls
