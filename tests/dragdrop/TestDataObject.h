// A data object holding media, as another program's drag source would.
#pragma once
#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "dragdrop/Medium.h"

namespace dragdrop_test {

// Everything a stream holds, read from its start.
inline std::string StreamBytes(IStream* s) {
    STATSTG st{};
    s->Stat(&st, STATFLAG_NONAME);
    std::string out(st.cbSize.LowPart, '\0');
    s->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
    ULONG n = 0;
    if (!out.empty()) s->Read(out.data(), static_cast<ULONG>(out.size()), &n);
    out.resize(n);
    return out;
}

class TestDataObject : public IDataObject {
public:
    TestDataObject() = default;
    virtual ~TestDataObject() {
        for (auto& e : entries_) e.lender ? void(e.lender->Release()) : ReleaseStgMedium(&e.medium);
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

    // Lends the block itself: the medium's release object owns it (and
    // frees it when the last reference goes), not the receiver.
    IUnknown* Lend(CLIPFORMAT cf, const std::string& bytes, LONG lindex) {
        Put(cf, HGlobalMedium(bytes), lindex);
        CreateStreamOnHGlobal(entries_.back().medium.hGlobal, TRUE, &entries_.back().lender);
        return entries_.back().lender;
    }

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
            if ((out->pUnkForRelease = e->lender)) e->lender->AddRef();
            out->hGlobal = e->lender ? e->medium.hGlobal : OleDuplicateData(e->medium.hGlobal, fe->cfFormat, 0);
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
        IStream* lender = nullptr;
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

// A format list that never ends: always one more bitmap.
struct EndlessFormats : IEnumFORMATETC {
    ULONG NextCalls = 0;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** obj) override { return *obj = this, S_OK; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives on the test's stack
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE Next(ULONG, FORMATETC* fe, ULONG* fetched) override {
        ++NextCalls;
        *fe = FORMATETC{CF_BITMAP, nullptr, DVASPECT_CONTENT, -1, TYMED_GDI};
        return *fetched = 1, S_OK;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Reset() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Clone(IEnumFORMATETC**) override { return E_NOTIMPL; }
};

// The same data object listing what it offers, as a real source does.
class OfferingDataObject : public TestDataObject {
public:
    void Offer(CLIPFORMAT cf, const std::string& bytes) {
        PutBytes(cf, bytes);
        offered_.push_back(FORMATETC{cf, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL});
    }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD dir, IEnumFORMATETC** out) override {
        if (dir != DATADIR_GET) return E_NOTIMPL;
        return SHCreateStdEnumFmtEtc(static_cast<UINT>(offered_.size()), offered_.data(), out);
    }

private:
    std::vector<FORMATETC> offered_;
};

}  // namespace dragdrop_test
