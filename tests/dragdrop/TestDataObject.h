// A data object holding media, as another program's drag source would.
#pragma once
#include <windows.h>
#include <ole2.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "dragdrop/Medium.h"

namespace dragdrop_test {

class TestDataObject : public IDataObject {
public:
    TestDataObject() = default;
    virtual ~TestDataObject() {
        for (auto& e : entries_)
            if (!e.lender) ReleaseStgMedium(&e.medium);  // a lent block is its owner's to free
    }

    // Takes the medium over.
    void Put(CLIPFORMAT cf, STGMEDIUM medium, LONG lindex = -1) {
        entries_.push_back({FORMATETC{cf, nullptr, DVASPECT_CONTENT, lindex, medium.tymed}, medium});
    }
    void PutBytes(CLIPFORMAT cf, const std::string& bytes) { Put(cf, HGlobalMedium(bytes)); }
    void PutStream(CLIPFORMAT cf, const std::string& bytes) { Put(cf, StreamMedium(bytes)); }

    static STGMEDIUM HGlobalMedium(const std::string& bytes) {
        STGMEDIUM m{};
        m.tymed = TYMED_HGLOBAL;
        m.hGlobal = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
        if (!bytes.empty()) {
            void* p = GlobalLock(m.hGlobal);
            memcpy(p, bytes.data(), bytes.size());
            GlobalUnlock(m.hGlobal);
        }
        return m;
    }
    static STGMEDIUM StreamMedium(const std::string& bytes) {
        STGMEDIUM m{};
        m.tymed = TYMED_ISTREAM;
        CreateStreamOnHGlobal(nullptr, TRUE, &m.pstm);
        ULONG n = 0;
        if (!bytes.empty()) m.pstm->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &n);
        return m;
    }

    // Hands out the memory itself, with Owner as the release object: the
    // block stays the source's, valid only while Owner is referenced.
    void Lend(CLIPFORMAT cf, const std::string& bytes, IUnknown* owner, LONG lindex = -1) {
        Put(cf, HGlobalMedium(bytes), lindex);
        entries_.back().lender = owner;
    }
    HGLOBAL Block(CLIPFORMAT cf) const { return Stored(cf) ? Stored(cf)->hGlobal : nullptr; }

    int GetDataCalls = 0;
    const STGMEDIUM* Stored(CLIPFORMAT cf) const {
        for (auto& e : entries_)
            if (e.fe.cfFormat == cf) return &e.medium;
        return nullptr;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** obj) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDataObject)) {
            *obj = static_cast<IDataObject*>(this);
            AddRef();
            return S_OK;
        }
        *obj = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs_; }  // lives on the test's stack

    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* fe, STGMEDIUM* out) override {
        ++GetDataCalls;
        const Entry* e = Find(*fe);
        if (!e) return DV_E_FORMATETC;
        *out = STGMEDIUM{};
        out->tymed = e->medium.tymed;
        switch (e->medium.tymed) {
        case TYMED_HGLOBAL:
            if (e->lender) {
                out->hGlobal = e->medium.hGlobal;
                out->pUnkForRelease = e->lender;
                e->lender->AddRef();
                break;
            }
            out->hGlobal = OleDuplicateData(e->medium.hGlobal, fe->cfFormat, 0);
            break;
        case TYMED_ISTREAM:
            out->pstm = e->medium.pstm;
            out->pstm->AddRef();
            break;
        case TYMED_ISTORAGE:
            out->pstg = e->medium.pstg;
            out->pstg->AddRef();
            break;
        default:
            return DV_E_TYMED;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* fe) override { return Find(*fe) ? S_OK : DV_E_FORMATETC; }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        out->ptd = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC* fe, STGMEDIUM* m, BOOL release) override {
        if (!release) return E_NOTIMPL;
        FORMATETC copy = *fe;
        copy.tymed = m->tymed;
        entries_.push_back({copy, *m});
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    struct Entry {
        FORMATETC fe;
        STGMEDIUM medium;
        IUnknown* lender = nullptr;
    };
    const Entry* Find(const FORMATETC& fe) const {
        for (auto& e : entries_)
            if (e.fe.cfFormat == fe.cfFormat && (e.fe.tymed & fe.tymed) && (fe.lindex == -1 || fe.lindex == e.fe.lindex))
                return &e;
        return nullptr;
    }
    std::vector<Entry> entries_;
    ULONG refs_ = 1;
};

// ---- sources that lie ----

// A stream stating Claimed bytes that delivers Real bytes of 'x' (without
// end when Real is UINT64_MAX); counts what it hands out.
class LyingStream : public IStream {
public:
    LyingStream(ULONGLONG claimed, ULONGLONG real) : claimed_(claimed), real_(real) {}
    virtual ~LyingStream() = default;
    ULONGLONG Delivered = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** obj) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IStream) ||
            IsEqualIID(riid, IID_ISequentialStream)) {
            *obj = static_cast<IStream*>(this);
            AddRef();
            return S_OK;
        }
        *obj = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG n = --refs_;
        if (n == 0) delete this;
        return n;
    }
    HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* read) override {
        ULONG n = static_cast<ULONG>(std::min<ULONGLONG>(cb, real_ - pos_));
        memset(pv, 'x', n);
        pos_ += n;
        Delivered += n;
        if (read) *read = n;
        return n < cb ? S_FALSE : S_OK;
    }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* pos) override {
        if (origin == STREAM_SEEK_SET) pos_ = static_cast<ULONGLONG>(move.QuadPart);
        if (pos) pos->QuadPart = pos_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* st, DWORD) override {
        *st = STATSTG{};
        st->type = STGTY_STREAM;
        st->cbSize.QuadPart = claimed_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return STG_E_ACCESSDENIED; }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }

    // A medium holding a new lying stream; the medium owns it.
    static STGMEDIUM Medium(ULONGLONG claimed, ULONGLONG real) {
        STGMEDIUM m{};
        m.tymed = TYMED_ISTREAM;
        m.pstm = new LyingStream(claimed, real);
        return m;
    }

private:
    ULONGLONG claimed_, real_, pos_ = 0;
    ULONG refs_ = 1;
};

// An enumerator whose Next never runs out: always one more bitmap.
class EndlessFormats : public IEnumFORMATETC {
public:
    ULONG NextCalls = 0;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** obj) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IEnumFORMATETC)) {
            *obj = this;
            AddRef();
            return S_OK;
        }
        *obj = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs_; }  // lives on the test's stack
    HRESULT STDMETHODCALLTYPE Next(ULONG, FORMATETC* fe, ULONG* fetched) override {
        ++NextCalls;
        *fe = FORMATETC{CF_BITMAP, nullptr, DVASPECT_CONTENT, -1, TYMED_GDI};
        if (fetched) *fetched = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Reset() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Clone(IEnumFORMATETC**) override { return E_NOTIMPL; }

private:
    ULONG refs_ = 1;
};

// The release object of lent memory, referenced only by the media handed
// out: when the last goes, the block is overwritten and freed, as a source
// reusing its memory would.
class MemoryLender : public IUnknown {
public:
    HGLOBAL Block = nullptr;
    bool Freed = false;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** obj) override {
        if (IsEqualIID(riid, IID_IUnknown)) {
            *obj = this;
            AddRef();
            return S_OK;
        }
        *obj = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        if (--refs_ == 0 && Block) {
            memset(GlobalLock(Block), '#', GlobalSize(Block));
            GlobalUnlock(Block);
            GlobalFree(Block);
            Block = nullptr;
            Freed = true;
        }
        return refs_;
    }

private:
    ULONG refs_ = 0;
};

}  // namespace dragdrop_test

